#pragma once

#include "monitors/ListSession.h"
#include "shell/contract/TChildWindow.h"

#include <QStringList>

class QMenu;
class TAdvColumnGrid;
class TBrokerSession;

// "Портфель": the opening, current and planned balance of every account in every
// security and money, with the average price. Like the orders window it sends its
// filter as separate lists and stays current through keyed updates of the positions
// the change stream reports.
class TFormPrf : public TChildWindow {
    Q_OBJECT
    // The desktop contract: read and written by name.
    Q_PROPERTY(QString SQLFilter READ SQLFilter WRITE SetSQLFilter)
    Q_PROPERTY(QString FormSettings READ FormSettings WRITE SetFormSettings)
    Q_PROPERTY(
        QString InternalFilterListBum READ InternalFilterListBum WRITE SetInternalFilterListBum)
    Q_PROPERTY(
        QString InternalFilterListAcc READ InternalFilterListAcc WRITE SetInternalFilterListAcc)
    Q_PROPERTY(QString InternalFilterShortLong READ InternalFilterShortLong WRITE
                   SetInternalFilterShortLong)
    Q_PROPERTY(int InternalFilterStatus READ InternalFilterStatus WRITE SetInternalFilterStatus)
    Q_PROPERTY(int RestoredComplete READ RestoredComplete WRITE SetRestoredComplete)

public:
    enum ColumnTag {
        kNameBum = 0,
        kNameCli = 1,
        kNameAcc = 2,
        kInputSaldo = 3,
        kCurrSaldo = 4,
        kPlanSaldo = 5,
        kAvPrice = 6,
        kIdAcc = -10,
        kIdCli = -11,
        kIdBum = -12,
        kKeyField = -14,
    };

    explicit TFormPrf(QWidget* parent = nullptr);

    // Published properties. The filter text is only stored (the lists are sent);
    // writing RestoredComplete logs the list session in, whose login event sends.
    QString SQLFilter() const { return sqlFilter_; }
    void SetSQLFilter(const QString& filter) { sqlFilter_ = filter; }
    QString FormSettings() const;
    void SetFormSettings(const QString& settings);
    QString InternalFilterListBum() const;
    void SetInternalFilterListBum(const QString& lines);
    QString InternalFilterListAcc() const;
    void SetInternalFilterListAcc(const QString& lines);
    QString InternalFilterShortLong() const { return shortLong_; }
    void SetInternalFilterShortLong(const QString& code) { shortLong_ = code; }
    int InternalFilterStatus() const { return statusMask_; }
    void SetInternalFilterStatus(int mask) { statusMask_ = mask; }
    int RestoredComplete() const { return 0; }
    void SetRestoredComplete(int value);

    // IMonitorWindow: the change dispatch.
    int Tag() const override { return kTagPortfolio; }
    void RefreshByKeys(const QStringList& keys) override;
    void RefreshList() override { SesPrfLogin(); }

    // Session events.
    void SesPrfLogin();
    void SesPrfData();

    TAdvColumnGrid& GridPrf() const { return *grid_; }
    TBrokerSession& SesPrf() const { return sesPrf_.Session(); }
    QMenu* PopupMenu() const { return popup_; }

    // The format of a balance: two decimals for money (a negative instrument id),
    // whole units for securities; an empty id counts 0.
    static QString BalanceFormat(const QString& securityId);

    // Registers the window with the main window's "Портфель" command.
    static void Register();

private:
    void N2Click();
    QString FilterParams(int query) const;

    monitorkit::ListSession sesPrf_;
    TAdvColumnGrid* grid_ = nullptr;
    QMenu* popup_ = nullptr;
    QString sqlFilter_;
    QStringList filterBum_;
    QStringList filterAcc_;
    QString shortLong_;
    int statusMask_ = 0;
};
