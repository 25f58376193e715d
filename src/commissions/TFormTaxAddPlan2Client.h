#pragma once

#include "commissions/TaxObjects.h"

#include <QDialog>

#include <memory>

class QComboBox;
class TComboBoxIndexed;

// "Установить тарифный план для клиента": a client's plan and the two accounts its
// commissions are debited from, chosen on a working copy of the client.
class TFormTaxAddPlan2Client : public QDialog {
    Q_OBJECT
public:
    explicit TFormTaxAddPlan2Client(QWidget* parent = nullptr);
    ~TFormTaxAddPlan2Client() override;
    static TFormTaxAddPlan2Client* Instance(); // the one made at start-up, or null

    // Takes a fresh copy of the client and fills the three lists from the manager's.
    void Prepare(const TTaxLists& lists, const TTaxClient& client);
    // Prepare, then show modally; returns the modal result.
    int AssignPlan(const TTaxLists& lists, const TTaxClient& client);
    // The working copy with the chosen plan and accounts.
    const TTaxClient& TakeResult();
    // Drops every entry (they point into the manager's lists).
    void EmptyLists();

    QComboBox* cbTarifPlan() const { return plans_; }
    TComboBoxIndexed* cbAcc4Self() const { return self_; }
    TComboBoxIndexed* cbAcc4SubCli() const { return sub_; }

    // OK: refuses an empty field with "Заполните все поля!".
    void accept() override;

private:
    QComboBox* plans_ = nullptr;
    TComboBoxIndexed* self_ = nullptr;
    TComboBoxIndexed* sub_ = nullptr;
    TTaxClient work_;
    std::unique_ptr<TTaxAccount> dealAccount_; // "<Счет сделки>", made anew each showing
};
