#pragma once

#include <QDate>
#include <QString>

class QWidget;

// What the order lists ask of the order details window: open the details of an
// exchange order (live or archive, with its trading date) or of a conditional order.
// The details window sets itself as the current opener at start-up; without one the
// lists' details items do nothing. A number that is not a decimal integer (a blank
// cell) opens nothing and sends nothing: the opener checks that.
class IOrderDetailsOpener {
public:
    virtual ~IOrderDetailsOpener() = default;
    virtual void OpenOrderDetails(const QString& orderNumber, QWidget* owner,
                                  const QDate& date) = 0;
    virtual void OpenConditionalOrderDetails(const QString& orderNumber, QWidget* owner) = 0;

    static IOrderDetailsOpener* Current() { return Slot(); }
    static void SetCurrent(IOrderDetailsOpener* opener) { Slot() = opener; }

private:
    static IOrderDetailsOpener*& Slot() {
        static IOrderDetailsOpener* opener = nullptr;
        return opener;
    }
};

inline void OpenOrderDetails(const QString& orderNumber, QWidget* owner, const QDate& date) {
    if (IOrderDetailsOpener* opener = IOrderDetailsOpener::Current())
        opener->OpenOrderDetails(orderNumber, owner, date);
}

inline void OpenConditionalOrderDetails(const QString& orderNumber, QWidget* owner) {
    if (IOrderDetailsOpener* opener = IOrderDetailsOpener::Current())
        opener->OpenConditionalOrderDetails(orderNumber, owner);
}
