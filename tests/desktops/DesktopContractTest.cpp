// Every window class of the desktop table keeps the desktop contract; a class the
// window-factory file does not register yet is skipped by name.
#include "desktops/TDeskTopConfig.h"
#include "shell/main/WindowFactory.h"
#include "support/DesktopContractCheck.h"

#include <gtest/gtest.h>

TEST(DesktopContract, EveryRegisteredClassKeepsIt) {
    QStringList skipped;
    for (const DesktopContractRow& row : DesktopContractTable()) {
        const QString name = QLatin1String(row.ClassName);
        if (CheckDesktopContract(name) == DesktopContractResult::Skipped)
            skipped.append(name);
    }
    if (!skipped.isEmpty())
        std::printf("not registered yet, skipped: %s\n",
                    skipped.join(QStringLiteral(", ")).toUtf8().constData());
    EXPECT_FALSE(skipped.contains(QStringLiteral("TOrderForm")));
}

TEST(DesktopContract, EveryRegisteredClassIsInTheTable) {
    TDeskTopConfig store(QStringLiteral("Software\\test\\Contract"));
    RegisterDesktopWindowClasses(store);
    for (const QString& name : store.RegisteredNames()) {
        const auto& table = DesktopContractTable();
        EXPECT_TRUE(std::any_of(
            table.begin(), table.end(),
            [&](const DesktopContractRow& r) { return name == QLatin1String(r.ClassName); }))
            << name.toStdString() << " is registered but missing from the contract table";
    }
    EXPECT_EQ(DesktopContractTable().size(), 18u);
}
