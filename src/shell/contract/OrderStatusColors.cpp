#include "OrderStatusColors.h"

#include <array>

namespace {

struct StatusColorRange {
    StatusPalette palette;
    int first; // status codes first..last
    int last;
    QRgb color;
};

constexpr QRgb kYellow = 0xFFFF00;
constexpr QRgb kGreen = 0x00FF00;
constexpr QRgb kRed = 0xFF0000;
constexpr QRgb kSilver = 0xC0C0C0;
constexpr QRgb kLightGrey = 0xD0D0D0;
constexpr QRgb kPaleRed = 0xFFC0AF;

constexpr std::array kStatusColors = {
    // Exchange orders: 10 active, 11 filled, 20 withdrawn, 21/23/25 refused or withdrawn
    // by the broker, 22/24 ended with the session or expired.
    StatusColorRange{StatusPalette::ExchangeOrders, 10, 10, kYellow},
    StatusColorRange{StatusPalette::ExchangeOrders, 11, 11, kGreen},
    StatusColorRange{StatusPalette::ExchangeOrders, 20, 20, kLightGrey},
    StatusColorRange{StatusPalette::ExchangeOrders, 21, 21, kPaleRed},
    StatusColorRange{StatusPalette::ExchangeOrders, 23, 23, kPaleRed},
    StatusColorRange{StatusPalette::ExchangeOrders, 25, 25, kPaleRed},
    StatusColorRange{StatusPalette::ExchangeOrders, 22, 22, kSilver},
    StatusColorRange{StatusPalette::ExchangeOrders, 24, 24, kSilver},
    // Requests (negotiated and conditional orders).
    StatusColorRange{StatusPalette::Requests, 10, 10, kYellow},
    StatusColorRange{StatusPalette::Requests, 27, 28, kYellow},
    StatusColorRange{StatusPalette::Requests, 11, 11, kGreen},
    StatusColorRange{StatusPalette::Requests, 31, 31, kGreen},
    StatusColorRange{StatusPalette::Requests, 20, 26, kSilver},
    StatusColorRange{StatusPalette::Requests, 33, 34, kSilver},
    StatusColorRange{StatusPalette::Requests, 32, 32, kRed},
};

} // namespace

bool FindOrderStatusColor(StatusPalette palette, int status, QColor& colour) {
    for (const StatusColorRange& r : kStatusColors) {
        if (r.palette == palette && status >= r.first && status <= r.last) {
            colour = QColor::fromRgb(r.color);
            return true;
        }
    }
    return false;
}

QColor OrderStatusColor(StatusPalette palette, int status, const QColor& otherwise) {
    QColor colour;
    return FindOrderStatusColor(palette, status, colour) ? colour : otherwise;
}
