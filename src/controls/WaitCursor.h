#pragma once

#include <QWidget>

// The wait cursor on a widget for the length of a scope (a grid fill, a load).
class WaitCursor {
public:
    explicit WaitCursor(QWidget& w) : w_(w) { w_.setCursor(Qt::WaitCursor); }
    ~WaitCursor() { w_.unsetCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    QWidget& w_;
};
