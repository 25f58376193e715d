// The orders window against the real session server with the market simulator
// running: the list arrives, a withdrawal goes out, and the changed order comes
// back through the change stream and the keyed merge; new orders join the grid.
#include "OrderTestSupport.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "shell/main/MainForm.h"
#include "support/EndToEndTest.h"

#include <gtest/gtest.h>

namespace {

using realserver::WaitUntil;

// Grid row of the order with this number, -1 when the grid has none.
int RowOfOrder(const TAdvColumnGrid& grid, const QString& number) {
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row)
        if (gridcols::TextByTag(grid, TOrderForm::kOrderNum, row) == number)
            return row;
    return -1;
}

int StatusAt(const TAdvColumnGrid& grid, int row) {
    bool ok = false;
    const int status = gridcols::TextByTag(grid, TOrderForm::kStatus, row).toInt(&ok);
    return ok ? status : -1;
}

} // namespace

using OrdersEndToEnd = realserver::EndToEndTest;

TEST_F(OrdersEndToEnd, WithdrawalComesBackThroughTheChangeStreamWhileTheMarketMoves) {
    SetEnv("ORVEX_SERVER_SIM_RATE", QStringLiteral("20"));
    auto boxes = UseBoxes<ordertest::ScriptedBoxes>();
    TOrderForm::Register();
    {
        TMainForm form;
        ASSERT_TRUE(WaitUntil([&] { return form.WorkStarted(); }, 60000));
        auto* orders = qobject_cast<TOrderForm*>(form.OpenWindow(WindowCommand::Orders));
        ASSERT_NE(orders, nullptr);
        TAdvColumnGrid& grid = orders->GridOrd();
        ASSERT_TRUE(WaitUntil([&] { return grid.RowCount() > grid.FixedRows() + 10; }, 30000));
        const int loaded = grid.RowCount();

        // An order the server will withdraw: not yet final and not filled.
        int target = -1;
        for (int row = grid.FixedRows(); row < grid.RowCount() && target < 0; ++row) {
            const int status = StatusAt(grid, row);
            if (status >= 0 && status < 20 && status != 11)
                target = row;
        }
        ASSERT_GE(target, 0) << "the demo day has no active order";
        const QString number = gridcols::TextByTag(grid, TOrderForm::kOrderNum, target);
        grid.setCurrentIndex(grid.model()->index(target - grid.FixedRows(), 1));
        ASSERT_EQ(gridcols::CurrentRow(grid), target);

        boxes->answer = MsgYes;
        ordertest::Trigger(*orders, "Снять заявку");
        ASSERT_EQ(boxes->texts.size(), 1);
        EXPECT_TRUE(boxes->texts[0].startsWith(QStringLiteral("Снять заявку №") + number));

        // The change stream reports the order; a second later the keyed request
        // brings its new state into the same grid.
        EXPECT_TRUE(WaitUntil(
            [&] {
                const int row = RowOfOrder(grid, number);
                return row >= 0 && StatusAt(grid, row) >= 20;
            },
            15000))
            << "order " << number.toStdString() << " was not withdrawn on screen";

        // The simulator's new orders arrive the same way.
        EXPECT_TRUE(WaitUntil([&] { return grid.RowCount() > loaded; }, 15000));
    }
}
