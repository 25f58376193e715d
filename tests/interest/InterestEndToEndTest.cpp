// Broker interest and the report plug-ins against the real session server: changes of
// the tiers, the withholding and the interest account survive a reload, and the sample
// plug-in the server allows appears in "Отчеты".
#include "InterestTestSupport.h"

#include "grids/TAdvColumnGrid.h"
#include "interest/TFormAllBrokPercent.h"
#include "interest/TFormUpdateBrokPercent.h"
#include "shell/base/WorkstationLocale.h"
#include "shell/main/MainForm.h"
#include "shell/plugins/PluginSupport.h"
#include "support/EndToEndTest.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QMenu>

using realserver::WaitUntil;

namespace {
std::string ServerLogTail(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().right(3000).toStdString() : std::string();
}
} // namespace

using InterestEndToEnd = realserver::EndToEndTest;

TEST_F(InterestEndToEnd, ChangesSurviveAReloadAndTheAllowedPluginIsOffered) {
    ScopedWorkstationLocale locale(WorkstationLocale::English());
    auto boxes = UseBoxes<interesttest::Boxes>();
    TFormAllBrokPercent::Register();
    {
        TMainForm form;
        TPluginSupport plugins(form.ReportsMenu(), {QFileInfo(Server()).absolutePath()});
        form.Hooks().DiscoverPlugins = [&plugins] { plugins.DiscoverPlugins(); };
        form.show(); // the window loads when it is first shown
        ASSERT_TRUE(WaitUntil([&] { return form.WorkStarted(); }, 60000));

        // The sample plug-in built beside the server is allowed by the demo store.
        EXPECT_TRUE(WaitUntil([&] { return !form.ReportsMenu()->actions().isEmpty(); }, 15000));
        EXPECT_EQ(form.ReportsMenu()->actions().value(0)->text(), QStringLiteral("Пример отчета"));

        auto* window = qobject_cast<TFormAllBrokPercent*>(form.OpenWindow(WindowCommand::Interest));
        ASSERT_NE(window, nullptr);
        TAdvColumnGrid& grid = window->PercAllGrid();
        ASSERT_TRUE(WaitUntil([&] { return grid.RowCount() > 10; }, 30000)) << ServerLogTail(Log());
        EXPECT_EQ(grid.ColCount(), 7); // four tiers
        const QString client = grid.Cell(0, 2);
        const QString before = grid.Cell(2, 2);

        // Withholding switched for the first client.
        grid.setCurrentIndex(grid.model()->index(1, 1));
        window->menuSwitchClick();
        ASSERT_TRUE(WaitUntil([&] { return grid.Cell(2, 2) != before; }, 15000))
            << "withholding of client " << client.toStdString() << " did not change";

        // New percentages through the tier dialog.
        TFormUpdateBrokPercent& dialog = TFormUpdateBrokPercent::Shared();
        dialog.setResult(-1);
        dialog.Open(client, grid.Cell(1, 2));
        ASSERT_TRUE(WaitUntil([&] { return dialog.PercGrid().RowCount() == 5; }, 15000));
        const char* const percents[] = {"40", "30.5", "30.5", "1"};
        for (int row = 1; row <= 4; ++row)
            dialog.PercGrid().SetCell(4, row, QString::fromUtf8(percents[row - 1]));
        dialog.BtnOkClick();
        ASSERT_TRUE(WaitUntil([&] { return dialog.result() == QDialog::Accepted; }, 15000))
            << boxes->texts.join(QLatin1Char('|')).toStdString();

        // The account that receives the interest.
        QComboBox& accounts = window->CBPercAcc();
        ASSERT_GE(accounts.count(), 2);
        const int other = accounts.currentIndex() == 1 ? 0 : 1;
        const int account = accounts.itemData(other).toInt();
        emit accounts.activated(other);

        // A window opened afresh reads all of it back from the store.
        auto* again = qobject_cast<TFormAllBrokPercent*>(form.OpenWindow(WindowCommand::Interest));
        ASSERT_NE(again, nullptr);
        TAdvColumnGrid& fresh = again->PercAllGrid();
        ASSERT_TRUE(WaitUntil(
            [&] {
                return fresh.RowCount() > 10 && fresh.Cell(6, 2) == QLatin1String("1") &&
                       again->CBPercAcc().currentData().toInt() == account;
            },
            15000));
        EXPECT_EQ(fresh.Cell(0, 2), client);
        EXPECT_NE(fresh.Cell(2, 2), before);
        EXPECT_EQ(fresh.Cell(3, 2), QStringLiteral("40"));
        EXPECT_EQ(fresh.Cell(4, 2), QStringLiteral("30.5"));
        EXPECT_TRUE(boxes->texts.isEmpty()) << boxes->texts.join(QLatin1Char('|')).toStdString();
    }
}
