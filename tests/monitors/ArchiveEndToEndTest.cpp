// The five archive windows against the real session server: each opens from its menu
// command, reads past days, and the transactions archive changes a reason for real.
#include "ListWindowTestSupport.h"
#include "monitors/TFormAOrd.h"
#include "monitors/TFormAPortfel.h"
#include "monitors/TFormAPosition.h"
#include "monitors/TFormAProv.h"
#include "monitors/TFormASd.h"
#include "monitors/TFormEditProvDesc.h"
#include "shell/base/DateValue.h"
#include "shell/main/MainForm.h"
#include "support/EndToEndTest.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>

using realserver::WaitUntil;
using namespace listtest;

using ArchiveEndToEnd = realserver::EndToEndTest;

TEST_F(ArchiveEndToEnd, ArchivesReadPastDaysAndAReasonChangeComesBack) {
    TFormAOrd::Register();
    TFormASd::Register();
    TFormAPortfel::Register();
    TFormAPosition::Register();
    TFormAProv::Register();
    const std::vector<WindowCommand> commands = {
        WindowCommand::ArchiveOrders, WindowCommand::ArchiveDeals, WindowCommand::ArchivePortfolio,
        WindowCommand::ArchivePosition, WindowCommand::ArchiveTransactions};
    {
        TMainForm main;
        ASSERT_TRUE(WaitUntil([&] { return main.WorkStarted(); }, 60000));
        const QDate today = QDate::currentDate();
        std::vector<TArchiveWindow*> windows;
        for (WindowCommand c : commands) {
            auto* w = qobject_cast<TArchiveWindow*>(main.OpenWindow(c));
            ASSERT_TRUE(w);
            // The login's first request (today) is answered before the next one goes.
            ASSERT_TRUE(
                WaitUntil([&] { return w->Button1()->isEnabled() && !w->IsBusy(); }, 30000));
            windows.push_back(w);
        }
        for (TArchiveWindow* w : windows) {
            const bool oneDay = qobject_cast<TFormAPortfel*>(w) || qobject_cast<TFormAPosition*>(w);
            w->SetDates(oneDay ? today.addDays(-1) : today.addDays(-20), today);
            w->Button1Click();
        }
        for (TArchiveWindow* w : windows)
            EXPECT_TRUE(WaitUntil([&] { return !w->IsBusy() && DataRows(w->Grid()) > 1; }, 30000))
                << w->metaObject()->className();

        auto* orders = qobject_cast<TFormAOrd*>(windows[0]);
        EXPECT_GT(ParseDottedDate(Cell(orders->Grid(), TFormAOrd::kDate, 0)), 0);
        auto* deals = qobject_cast<TFormASd*>(windows[1]);
        EXPECT_TRUE(deals->TotalsLabel()->text().startsWith(QStringLiteral("  Итого Оборот: ")));
        EXPECT_FALSE(deals->TotalsLabel()->text().contains(QStringLiteral("Оборот: 0,00")));

        // The reason change goes out as 103; the server's agreement reloads the list.
        auto* txns = qobject_cast<TFormAProv*>(windows[4]);
        TAdvColumnGrid& grid = txns->Grid();
        grid.setCurrentIndex(grid.model()->index(0, 1));
        const QString number = Cell(grid, TFormAProv::kIdPr, 0);
        TFormEditProvDesc& edit = TFormEditProvDesc::Instance();
        QTimer::singleShot(0, &edit, [&] {
            edit.meUserText()->setPlainText(QStringLiteral("Новое основание"));
            edit.accept();
        });
        Trigger(*txns->PopupMenu(), "Изменить основание");
        EXPECT_TRUE(WaitUntil(
            [&] {
                for (int r = 0; r < DataRows(grid); ++r)
                    if (Cell(grid, TFormAProv::kIdPr, r) == number)
                        return Cell(grid, TFormAProv::kReason, r) ==
                               QStringLiteral("Новое основание");
                return false;
            },
            30000));
    }
}
