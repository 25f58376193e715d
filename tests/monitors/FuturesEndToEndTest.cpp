// The futures positions and T+ balances windows against the real session server: each
// opens from its menu command and lists the demo data; the money page shows short
// accounts in red, the T+ window lists several dates with their deliveries.
#include "ListWindowTestSupport.h"
#include "monitors/TFormOstatkiTn.h"
#include "monitors/TFormPortfelFut.h"
#include "shell/main/MainForm.h"
#include "support/EndToEndTest.h"

#include <QDateEdit>
#include <QSet>
#include <QTabWidget>
#include <QToolButton>

using realserver::WaitUntil;
using namespace listtest;

using FuturesEndToEnd = realserver::EndToEndTest;

TEST_F(FuturesEndToEnd, FuturesWindowListsContractsAndRedMoneyOfShortAccounts) {
    TFormPortfelFut::Register();
    TFormOstatkiTn::Register();
    TMainForm main;
    main.show(); // the futures window asks for its list when it is shown
    ASSERT_TRUE(WaitUntil([&] { return main.WorkStarted(); }, 60000));
    auto* form = qobject_cast<TFormPortfelFut*>(main.OpenWindow(WindowCommand::FuturesPosition));
    ASSERT_TRUE(form);
    ASSERT_TRUE(WaitUntil([&] { return DataRows(form->GridPortfelFut()) > 1; }, 30000));
    EXPECT_FALSE(Cell(form->GridPortfelFut(), TFormPortfelFut::kFutNameBum, 0).isEmpty());

    form->PageControl1().setCurrentIndex(TFormPortfelFut::kMoneyPage);
    TAdvColumnGrid& money = form->GridMoneyPos();
    ASSERT_TRUE(WaitUntil([&] { return DataRows(money) > 1; }, 30000));
    const int free = gridcols::RealByTag(money, TFormPortfelFut::kMoneyFree);
    bool red = false;
    for (int r = money.FixedRows(); r < money.RowCount() && !red; ++r)
        red = money.CellLook(free, r).Text == QColor(255, 0, 0);
    EXPECT_TRUE(red);
}

TEST_F(FuturesEndToEnd, TPlusWindowListsSeveralDatesAndGivesItsButtonsBack) {
    TFormPortfelFut::Register();
    TFormOstatkiTn::Register();
    TMainForm main;
    main.show(); // the futures window asks for its list when it is shown
    ASSERT_TRUE(WaitUntil([&] { return main.WorkStarted(); }, 60000));
    auto* form = qobject_cast<TFormOstatkiTn*>(main.OpenWindow(WindowCommand::TPlusBalances));
    ASSERT_TRUE(form);
    TAdvColumnGrid& grid = form->GridAPortfel();
    ASSERT_TRUE(WaitUntil([&] { return DataRows(grid) > 1 && !form->Busy(); }, 30000));
    const int today = DataRows(grid);

    form->DTPend().setDate(form->DTPbegin().date().addDays(2));
    form->Button1().click();
    ASSERT_TRUE(WaitUntil([&] { return !form->Busy() && DataRows(grid) == 3 * today; }, 30000));
    QSet<QString> dates;
    bool delivery = false;
    for (int r = 0; r < DataRows(grid); ++r) {
        dates.insert(Cell(grid, TFormOstatkiTn::kDate, r));
        const QString due = Cell(grid, TFormOstatkiTn::kDelivery, r);
        delivery = delivery ||
                   (!due.isEmpty() && due != QLatin1String("0") && due != QLatin1String("0,00"));
    }
    EXPECT_EQ(dates.size(), 3);
    EXPECT_TRUE(delivery);
    EXPECT_TRUE(form->Button1().isEnabled());
    EXPECT_TRUE(form->BtnFilter().isEnabled());
}
