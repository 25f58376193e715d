// The deals, portfolio, position and transactions windows against the real session
// server with the market simulator running: each loads from its menu command, new
// deals join the deals table and its totals at once, changed positions merge.
#include "ListWindowTestSupport.h"
#include "monitors/TFormPos.h"
#include "monitors/TFormPrf.h"
#include "monitors/TFormProv.h"
#include "monitors/TFormSd.h"
#include "shell/main/MainForm.h"
#include "support/EndToEndTest.h"

using realserver::WaitUntil;
using namespace listtest;

namespace {

bool Loaded(const TAdvColumnGrid& grid) {
    return DataRows(grid) > 1;
}

} // namespace

using ListWindowsEndToEnd = realserver::EndToEndTest;

TEST_F(ListWindowsEndToEnd, WindowsLoadFromTheirMenusAndFollowTheMarket) {
    SetEnv("ORVEX_SERVER_SIM_RATE", QStringLiteral("20"));
    TFormSd::Register();
    TFormPrf::Register();
    TFormPos::Register();
    TFormProv::Register();
    {
        TMainForm main;
        ASSERT_TRUE(WaitUntil([&] { return main.WorkStarted(); }, 60000));

        auto* deals = qobject_cast<TFormSd*>(main.OpenWindow(WindowCommand::Deals));
        auto* portfolio = qobject_cast<TFormPrf*>(main.OpenWindow(WindowCommand::Portfolio));
        auto* position = qobject_cast<TFormPos*>(main.OpenWindow(WindowCommand::Position));
        auto* txns = qobject_cast<TFormProv*>(main.OpenWindow(WindowCommand::Transactions));
        ASSERT_TRUE(deals && portfolio && position && txns);
        ASSERT_TRUE(WaitUntil(
            [&] {
                return Loaded(deals->GridSd()) && Loaded(portfolio->GridPrf()) &&
                       Loaded(position->GridPos()) && Loaded(txns->GridProv());
            },
            30000));

        // A new deal of the simulator joins the table and the totals at once.
        const int dealRows = DataRows(deals->GridSd());
        const double turnover = deals->TotalValue(TFormSd::kTurnover);
        ASSERT_TRUE(WaitUntil([&] { return DataRows(deals->GridSd()) > dealRows; }, 20000));
        EXPECT_GT(deals->TotalValue(TFormSd::kTurnover), turnover);

        // Writing the filter again logs the session in again, which reloads the list
        // even though it is logged in already.
        deals->GridSd().ClearRows();
        deals->setProperty("SQLFilter", QString());
        EXPECT_TRUE(WaitUntil([&] { return Loaded(deals->GridSd()); }, 20000));

        // Money rows of the portfolio carry two decimals.
        bool moneyRow = false;
        TAdvColumnGrid& prf = portfolio->GridPrf();
        for (int r = 0; r < DataRows(prf) && !moneyRow; ++r)
            moneyRow = Cell(prf, TFormPrf::kIdBum, r).startsWith(QLatin1Char('-')) &&
                       Cell(prf, TFormPrf::kCurrSaldo, r).contains(QLatin1Char(','));
        EXPECT_TRUE(moneyRow);

        // A filtered transactions list, sent at once on the property write.
        txns->setProperty("SQLFilter", QStringLiteral(" AND (ID_BUM=-1)"));
        EXPECT_TRUE(WaitUntil(
            [&] {
                const TAdvColumnGrid& g = txns->GridProv();
                for (int r = 0; r < DataRows(g); ++r)
                    if (Cell(g, TFormProv::kIdBum, r) != QLatin1String("-1"))
                        return false;
                return true;
            },
            20000));
    }
}
