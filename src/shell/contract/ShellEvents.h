#pragma once

#include <QEvent>

// Events the windows of the program exchange through the event queue.
// 1222 and 1223 are delivered at once to every window (BroadcastToWindows);
// 1238 is posted to the main window and handled after the current handler, as is the
// grids' selection-sum event 1237 (grids/GridEvents.h raises it). Qt's user range is
// the base of every number.
constexpr int kEventPendingTransactionsChanged = 1222;
constexpr int kEventTransactionsChanged = 1223;
constexpr int kEventGridSum = 1237;
constexpr int kEventDeferredMessage = 1238;

inline QEvent::Type ShellEventType(int number) {
    return static_cast<QEvent::Type>(QEvent::User + number);
}

inline QEvent::Type GridSumEventType() {
    return ShellEventType(kEventGridSum);
}
