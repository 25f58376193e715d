#pragma once

#include <QString>

// What the transaction lists ask of the new-transaction dialog: open it empty, or
// filled from a row (sender and receiver account ids, average price, reason, amount,
// instrument name, in this order). The dialog sets itself as the current one; without
// one the lists keep their dialog actions disabled.
class INewTransactionDialog {
public:
    virtual ~INewTransactionDialog() = default;
    virtual void OpenEmpty() = 0;
    virtual void OpenFilled(const QString& debitAccountId, const QString& creditAccountId,
                            const QString& averagePrice, const QString& reason,
                            const QString& amount, const QString& instrument) = 0;

    static INewTransactionDialog* Current() { return Slot(); }
    static void SetCurrent(INewTransactionDialog* dialog) { Slot() = dialog; }

private:
    static INewTransactionDialog*& Slot() {
        static INewTransactionDialog* dialog = nullptr;
        return dialog;
    }
};
