#pragma once

#include "monitors/ArchiveFrame.h"
#include "monitors/TFormSd.h"

#include <array>

class QLabel;
class QStatusBar;
struct TCellLook;

// "Архив сделок": the deals of past days, by date range and filter, with the totals
// line of the deals window under the table. A click on the top panel hides or shows
// the date column.
class TFormASd : public TArchiveWindow {
    Q_OBJECT

public:
    enum ColumnTag {
        kDate = 0,
        kNum = 1,
        kOrder = 2,
        kTime = 3,
        kNameBum = 4,
        kBuySell = 5,
        kPrice = 6,
        kLots = 7,
        kVolume = 8,
        kNameCli = 9,
        kFeeExch = 10,
        kFeeDepo = 11,
        kFeeBrok = 12,
        kNetPrice = 13,
        kProfit = 14,
        kNameAcc = 15,
        kNkd = 16,
        kYield = 17,
        kBrokMy = 18,
        kBrokRet = 19,
        kIdAcc = -10,
        kIdCli = -11,
        kIdBum = -12,
    };

    explicit TFormASd(QWidget* parent = nullptr);

    void CellLook(int realCol, int row, TCellLook& look) const;
    QString TotalsText() const;
    QLabel* TotalsLabel() const { return totalsLabel_; }
    QStatusBar* StatusBar() const { return statusBar_; }
    // The top panel's click: the date column hides when shown and shows when hidden.
    void Panel1Click();

    static void Register();

protected:
    QString RequestParams() const override;
    void Load() override;
    QString AskFilter(TFormFiltr& dialog, QString& caption) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void KeepTotalsWidth();

    QStatusBar* statusBar_ = nullptr;
    QLabel* totalsLabel_ = nullptr;
    std::array<double, TFormSd::kTotals> totals_{};
};
