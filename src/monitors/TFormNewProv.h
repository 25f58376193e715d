#pragma once

#include "monitors/INewTransactionDialog.h"

#include <QDialog>
#include <QString>

#include <memory>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TBrokerSession;
class TComboBoxIndexed;
class TIdNameListModel;
class TNumberEdit;
class TReferenceData;

// "Проводка": moves an amount of money or securities from a sender account to a
// receiver account, at once ("Обычная проводка") or deferred ("Отложенная проводка").
// One hidden instance lives for the whole run; the transaction lists open it empty or
// filled from a row through the INewTransactionDialog slot, which it fills while it
// exists. OK never closes it by itself: it checks the fields, sends the command and
// closes only when the server answers "0".
class TFormNewProv : public QDialog, public INewTransactionDialog {
    Q_OBJECT
public:
    static constexpr int kMaxReason = 100;
    enum TransactionType { kOrdinary = 0, kDeferred = 1 };

    explicit TFormNewProv(QWidget* parent = nullptr);
    ~TFormNewProv() override;

    // Fills the three lists from the reference data: the external counterparty first
    // when UserKind is 3, the transaction accounts, the money, then the securities
    // whose StockSubType is neither 5 nor 6. Copies ids and texts; a chosen item
    // stays chosen by its id.
    void FillControls(TReferenceData& refs);

    // INewTransactionDialog: show modally; on OK broadcast 1223 (ordinary) or 1222.
    void OpenEmpty() override;
    void OpenFilled(const QString& debitAccountId, const QString& creditAccountId,
                    const QString& averagePrice, const QString& reason, const QString& amount,
                    const QString& instrument) override;
    // The preparation of each, without showing (tests drive a shown dialog).
    void PrepareEmpty();
    void PrepareFilled(const QString& debitAccountId, const QString& creditAccountId,
                       const QString& averagePrice, const QString& reason, const QString& amount,
                       const QString& instrument);

    // OK pressed; acts only while OK is enabled.
    void BtnOkClick();
    // The late change events of the lists (the user's choices only) and of the type.
    void CbBumChange();
    void AccOutChange();
    void cbProvTypeChange();
    // The amount field entered: asks the sender's balance when it can.
    void SumEnter();
    void SesPrInsData();
    void SesPrInsDisconnect();
    void SesSaldoData();

    // The query the fields call for: 101 deferred, 100 between two accounts, 110 with
    // the external counterparty (account 0).
    static int ChooseQuery(int type, qint32 senderId, qint32 receiverId);
    // A number as the command carries it: the shortest decimal text with ".".
    static QString CommandNumber(double value);

    TComboBoxIndexed* CbBum() const { return cbBum_; }
    TComboBoxIndexed* AccOut() const { return accOut_; }
    TComboBoxIndexed* AccIn() const { return accIn_; }
    QComboBox* cbProvType() const { return provType_; }
    TNumberEdit* Sum() const { return sum_; }
    TNumberEdit* Saldo() const { return saldo_; }
    TNumberEdit* Price() const { return price_; }
    QPlainTextEdit* ProvMemo() const { return memo_; }
    QPushButton* BtnOk() const { return btnOk_; }
    QPushButton* BtnCancel() const { return btnCancel_; }
    TBrokerSession& SesPrIns() const { return *sesPrIns_; }
    TBrokerSession& SesSaldo() const { return *sesSaldo_; }
    bool Busy() const { return busy_; }

    // Cancel: always closes, a command in flight or not.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RunModal();
    void ApplyPriceRule();
    void KeepReasonShort();
    void SetBusy(bool busy);
    void Refuse(const QString& text);
    bool Chosen(const TComboBoxIndexed* box, qint32& id) const;

    TComboBoxIndexed* cbBum_ = nullptr;
    TComboBoxIndexed* accOut_ = nullptr;
    TComboBoxIndexed* accIn_ = nullptr;
    QComboBox* provType_ = nullptr;
    TNumberEdit* sum_ = nullptr;
    TNumberEdit* saldo_ = nullptr;
    TNumberEdit* price_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    TIdNameListModel* instruments_ = nullptr;
    TIdNameListModel* accounts_ = nullptr; // one model under both account lists
    std::unique_ptr<TBrokerSession> sesPrIns_;
    std::unique_ptr<TBrokerSession> sesSaldo_;
    bool busy_ = false;
    int showing_ = 0;      // counts the showings: an answer belongs to the one it was sent in
    int sentShowing_ = -1; // the showing of the command in flight, -1 when none
    int sentType_ = kOrdinary;
    QString sentQuery_;
};
