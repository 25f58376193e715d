#pragma once

#include "monitors/ArchiveFrame.h"

// "Портфель в архиве": the closing portfolio of a past day, by filter. Balances show
// two decimals for money and none for securities.
class TFormAPortfel : public TArchiveWindow {
    Q_OBJECT

public:
    enum ColumnTag {
        kInstr = 0,
        kNameCli = 1,
        kNameAcc = 2,
        kLimit = 3,
        kCurr = 4,
        kPlann = 5,
        kAvPrice = 6,
        kVarMargin = 7,
        kBuyDeposit = 8,
        kSellDeposit = 9,
        kIdAcc = -10,
        kIdCli = -11,
        kIdBum = -12,
    };

    explicit TFormAPortfel(QWidget* parent = nullptr);

    static void Register();

protected:
    QString RequestParams() const override;
    void BeforeSend() override;
    void Load() override;
    QString AskFilter(TFormFiltr& dialog, QString& caption) override;
};
