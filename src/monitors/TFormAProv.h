#pragma once

#include "monitors/ArchiveFrame.h"

#include <memory>

class QAction;
class QComboBox;
class TBrokerSession;

// "Проводки в архиве": past transactions by execution or creation date. A row can be
// copied into a new transaction, and its reason texts changed (command 103 on the
// window's own command session; the list is asked again when the server agrees).
class TFormAProv : public TArchiveWindow {
    Q_OBJECT

public:
    enum ColumnTag {
        kExecDate = 0,
        kIdPr = 1,
        kExecTime = 2,
        kDebitName = 3,
        kCreditName = 4,
        kInstr = 5,
        kVolume = 6,
        kReason = 7,
        kPrice = 8,
        kCreateDate = 9,
        kSymbolText = 10,
        kSpecialCodes = 11,
        kIdDebit = -10,
        kIdCredit = -20,
        kIdBum = -200,
    };

    explicit TFormAProv(QWidget* parent = nullptr);
    ~TFormAProv() override;

    // "Копировать проводку" and BtnCopyProv: the current row into the new-transaction
    // dialog, when the current cell holds text.
    void menuCopyProvClick();
    // "Изменить основание": the description dialog, then command 103.
    void menuEditDescClick();
    void SesEditProvDescData();

    QComboBox* cbListMode() const { return listMode_; }
    QAction* CopyProvAction() const { return copyProv_; }
    TBrokerSession& SesEditProvDesc() const { return *sesEditProvDesc_; }

    static void Register();

protected:
    QString RequestParams() const override;
    void Load() override;
    QString AskFilter(TFormFiltr& dialog, QString& caption) override;

private:
    std::unique_ptr<TBrokerSession> sesEditProvDesc_;
    QComboBox* listMode_ = nullptr;
    QAction* copyProv_ = nullptr;
};
