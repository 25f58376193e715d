#pragma once

#include "monitors/ArchiveFrame.h"

#include <QStringList>

struct TCellLook;

// "Архив заявок": the exchange orders of past days, by date range and filter. Its
// filter travels as internal lists (accounts, securities, status mask, side); the
// condition text is kept but not sent.
class TFormAOrd : public TArchiveWindow {
    Q_OBJECT

public:
    enum ColumnTag {
        kDate = 0,
        kOrderNum = 1,
        kTime = 2,
        kNameBum = 3,
        kStatusName = 4,
        kBuySell = 5,
        kTypeName = 6,
        kPrice = 7,
        kCountFirst = 8,
        kCount = 9,
        kVolume = 10,
        kNameAcc = 11,
        kNkd = 12,
        kYield = 13,
        kNameCli = 14,
        kIdAcc = -10,
        kIdCli = -11,
        kIdBum = -12,
        kOrderType = -15,
        kStatus = -14,
    };

    explicit TFormAOrd(QWidget* parent = nullptr);

    void CellLook(int realCol, int row, TCellLook& look) const;
    // "Дополнительная информация по заявке": the details of the current row's order
    // on the row's own trading date.
    void menuOrderInfoClick();

    static void Register();

protected:
    QString RequestParams() const override;
    void Load() override;
    QString AskFilter(TFormFiltr& dialog, QString& caption) override;

private:
    QStringList filterBum_;
    QStringList filterAcc_;
    QString buySell_;
    int statusMask_ = 0;
};
