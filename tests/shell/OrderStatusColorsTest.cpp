#include "shell/contract/OrderStatusColors.h"

#include <gtest/gtest.h>

namespace {

struct StatusColorCase {
    StatusPalette palette;
    int status;
    QColor expected; // invalid: the palette has no colour for the code
};

} // namespace

TEST(OrderStatusColors, EachPaletteColoursItsOwnCodes) {
    const QColor yellow(255, 255, 0), green(0, 255, 0), silver(192, 192, 192);
    const QColor red(255, 0, 0), lightGrey(208, 208, 208), paleRed(255, 192, 175);
    const StatusColorCase cases[] = {
        {StatusPalette::ExchangeOrders, 10, yellow},
        {StatusPalette::ExchangeOrders, 11, green},
        {StatusPalette::ExchangeOrders, 20, lightGrey},
        {StatusPalette::ExchangeOrders, 21, paleRed},
        {StatusPalette::ExchangeOrders, 22, silver},
        {StatusPalette::ExchangeOrders, 25, paleRed},
        {StatusPalette::ExchangeOrders, 26, {}},
        {StatusPalette::ExchangeOrders, 27, {}},
        {StatusPalette::ExchangeOrders, 32, {}},
        {StatusPalette::Requests, 10, yellow},
        {StatusPalette::Requests, 28, yellow},
        {StatusPalette::Requests, 31, green},
        {StatusPalette::Requests, 20, silver},
        {StatusPalette::Requests, 26, silver},
        {StatusPalette::Requests, 34, silver},
        {StatusPalette::Requests, 32, red},
        {StatusPalette::Requests, 29, {}},
        {StatusPalette::Requests, -1, {}},
    };
    const QColor keep(1, 2, 3);
    for (const StatusColorCase& c : cases) {
        QColor found;
        EXPECT_EQ(FindOrderStatusColor(c.palette, c.status, found), c.expected.isValid())
            << c.status;
        EXPECT_EQ(OrderStatusColor(c.palette, c.status, keep),
                  c.expected.isValid() ? c.expected : keep)
            << c.status;
    }
}
