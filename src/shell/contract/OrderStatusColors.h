#pragma once

#include <QColor>

// The colours of order status codes, in one table for every window that paints
// them. Exchange orders and the negotiated (RPS, REPO) and conditional orders use
// different status sets, so each has its own column of the table.
enum class StatusPalette {
    ExchangeOrders, // the status cell of the orders window
    Requests,       // whole rows of the RPS and REPO and conditional orders windows
};

// The colour of a status code, or `otherwise` when the palette has none for it.
QColor OrderStatusColor(StatusPalette palette, int status, const QColor& otherwise);
// The same as a test: false when the palette has no colour for the code.
bool FindOrderStatusColor(StatusPalette palette, int status, QColor& colour);
