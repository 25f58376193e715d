#pragma once

#include "monitors/ListSession.h"
#include "shell/contract/TChildWindow.h"

#include <QStringList>

#include <array>
#include <vector>

class QLabel;
class QMenu;
class QStatusBar;
class TAdvColumnGrid;
class TBrokerSession;
struct TCellLook;

// "Сделки": the day's exchange deals of the firm's clients with a totals line under
// the table. Every answer of the list stream (SesSd) reloads the table; new deals
// arrive one by one from the main window's change stream and are appended and added
// to the totals without asking the server again.
class TFormSd : public TChildWindow {
    Q_OBJECT
    // The desktop contract: read and written by name.
    Q_PROPERTY(QString SQLFilter READ SQLFilter WRITE SetSQLFilter)
    Q_PROPERTY(QString FormSettings READ FormSettings WRITE SetFormSettings)

public:
    enum ColumnTag {
        kNum = 0,
        kOrder = 1,
        kTime = 2,
        kNameBum = 3,
        kBuySell = 4,
        kPrice = 5,
        kLots = 6,
        kVolume = 7,
        kNameCli = 8,
        kFeeExch = 9,
        kFeeDepo = 10,
        kFeeBrok = 11,
        kNetPrice = 12,
        kProfit = 13,
        kNameAcc = 14,
        kNkd = 15,
        kYield = 16,
        kIdAcc = -10,
        kIdCli = -11,
        kIdBum = -12,
    };

    // The running totals, in the order of the totals line.
    enum Total { kTurnover, kExchange, kDepository, kBroker, kAccrued, kProfitTotal, kTotals };

    explicit TFormSd(QWidget* parent = nullptr);

    // Published properties. Writing the filter logs the list session in; its login
    // event sends the list request.
    QString SQLFilter() const { return sqlFilter_; }
    void SetSQLFilter(const QString& filter);
    QString FormSettings() const;
    void SetFormSettings(const QString& settings);

    // IMonitorWindow: the change stream.
    int Tag() const override { return kTagDeals; }
    bool DealMatchesFilter(const TChangeRecord& deal) override;
    void AppendDeal(const TChangeRecord& deal) override { AppendDeals({deal}); }
    void AppendDeals(const std::vector<TChangeRecord>& deals) override;

    // Session events.
    void SesSdLogin();
    void SesSdData();

    // The filter as the filter dialog leaves it (not published).
    void SetDealFilter(const QStringList& securities, const QStringList& accounts,
                       const QString& buySell);

    TAdvColumnGrid& GridSd() const { return *grid_; }
    TBrokerSession& SesSd() const { return sesSd_.Session(); }
    QMenu* PopupMenu() const { return popup_; }
    double TotalValue(Total which) const { return totals_[size_t(which)]; }
    QString TotalsText() const { return TotalsLine(totals_); }
    // The totals line under a deals table, from the sums in the order of Total.
    static QString TotalsLine(const std::array<double, kTotals>& totals);
    QLabel* TotalsLabel() const { return totalsLabel_; }
    void CellLook(int realCol, int row, TCellLook& look) const;

    // The net price of a deal: price plus (a buy) or minus (a sell) the fees per
    // unit of nominal; false when the divisor is 0 or the result is no number.
    static bool NetPrice(double price, bool buy, double fees, double lots, double lotSize,
                         double nominal, double& net);

    // Registers the window with the main window's "Сделки" command.
    static void Register();

private:
    void menuFilterClick();
    void menuRefreshClick() { SesSdLogin(); }
    void AddRowToTotals(int row);
    void ShowTotals();
    int WriteDeal(const TChangeRecord& deal); // the grid row written
    QString Cell(int tag, int row) const;

    monitorkit::ListSession sesSd_;
    TAdvColumnGrid* grid_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
    QLabel* totalsLabel_ = nullptr;
    QMenu* popup_ = nullptr;
    QString sqlFilter_;
    QStringList filterBum_;
    QStringList filterAcc_;
    QString buySell_;
    int statusMask_ = 0; // copied from the filter dialog, not used
    std::array<double, kTotals> totals_{};
};
