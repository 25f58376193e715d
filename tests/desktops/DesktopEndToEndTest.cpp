// A desktop saved with a filtered orders window comes back after a restart of the
// program against the real session server: in place, with its caption, columns and
// filters, and its first request carries the saved lists.
#include "desktops/TDeskTopConfig.h"
#include "desktops/TDesktopMenu.h"
#include "grids/TAdvColumnGrid.h"
#include "monitors/TOrderForm.h"
#include "shell/main/MainForm.h"
#include "support/EndToEndTest.h"

#include <QAction>
#include <QFile>
#include <QMdiSubWindow>

#include <gtest/gtest.h>

using realserver::WaitUntil;

namespace {

// The server's log lines that mention text.
QStringList LogLinesWith(const QString& log, const QString& text) {
    QFile f(log);
    QStringList lines;
    if (f.open(QIODevice::ReadOnly))
        for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')))
            if (line.contains(text))
                lines.append(line);
    return lines;
}

} // namespace

using DesktopEndToEnd = realserver::EndToEndTest;

TEST_F(DesktopEndToEnd, AFilteredOrdersWindowComesBackAfterARestart) {
    const QString log = Log();
    TOrderForm::Register();

    const QString accounts = QStringLiteral("9001\r\n9002\r\n9003");
    QRect placed;
    QString layout;
    {
        TDeskTopConfig store;
        TMainForm form;
        form.resize(1400, 1000);
        form.show();
        ASSERT_TRUE(WaitUntil([&] { return form.WorkStarted(); }, 90000));
        auto* orders = qobject_cast<TOrderForm*>(form.OpenWindow(WindowCommand::Orders));
        ASSERT_NE(orders, nullptr);
        orders->SetCaption(QStringLiteral("Мои заявки"));
        orders->SetLeft(40);
        orders->SetTop(30);
        orders->SetWidth(700);
        orders->SetHeight(400);
        orders->GridOrd().MoveColumn(0, 3);
        orders->SetInternalFilterListAcc(accounts);
        orders->SetInternalFilterStatus(3);
        orders->SetInternalFilterBuySell(QStringLiteral("S"));
        placed = orders->parentWidget()->geometry();
        layout = orders->FormSettings();
        form.Desktops()->SetNameAsker([](QString& name) {
            name = QStringLiteral("Утро");
            return true;
        });
        form.DesktopSaveAction()->trigger();
    }

    // The next start lists the desktop; choosing it opens the window as it was.
    {
        TDeskTopConfig store;
        ASSERT_EQ(store.DesktopNames(), QStringList({QStringLiteral("Утро")}));
        TMainForm form;
        form.resize(1400, 1000);
        form.show();
        ASSERT_TRUE(WaitUntil([&] { return form.WorkStarted(); }, 90000));
        QAction* entry = form.Desktops()->FindEntry(QStringLiteral("Утро"));
        ASSERT_NE(entry, nullptr);
        ASSERT_TRUE(form.DesktopMenu()->menuAction()->isEnabled());
        EXPECT_TRUE(LogLinesWith(log, QStringLiteral("9001,9002,9003")).isEmpty());
        entry->trigger();
        const std::vector<QWidget*> open = store.OpenWindows();
        ASSERT_EQ(open.size(), 1u);
        auto* orders = qobject_cast<TOrderForm*>(open.front());
        ASSERT_NE(orders, nullptr);
        EXPECT_EQ(orders->parentWidget()->geometry(), placed);
        EXPECT_EQ(orders->parentWidget()->windowTitle(), QStringLiteral("Мои заявки"));
        EXPECT_EQ(orders->FormSettings(), layout);
        EXPECT_EQ(orders->InternalFilterListAcc(), accounts);
        // The window's first request, as the server logged it, carries the lists.
        EXPECT_TRUE(WaitUntil(
            [&] { return !LogLinesWith(log, QStringLiteral("9001,9002,9003")).isEmpty(); }, 30000))
            << LogLinesWith(log, QStringLiteral("211")).join('\n').toStdString();
    }
}
