#pragma once

#include "monitors/ListSession.h"
#include "shell/contract/TChildWindow.h"

#include <QString>
#include <QStringList>

class QMenu;
class QToolBar;
class TAdvColumnGrid;
struct TCellLook;

// "Заявки РПС и РЕПО": the negotiated-deal orders (addressed to a named partner) and the
// REPO orders with their partner, references and REPO terms. Every answer reloads the
// whole list; a withdrawal's answer is read, and a refusal shows the server's message.
class TFormOrdersRPS : public TChildWindow {
    Q_OBJECT
    // The desktop contract: the filter condition (kept, not sent) and the layout.
    Q_PROPERTY(QString SQLFilter READ SQLFilter WRITE SetSQLFilter)
    Q_PROPERTY(QString FormSettings READ FormSettings WRITE SetFormSettings)

public:
    enum ColumnTag {
        kOrderId = 0,
        kExchangeId = 1,
        kOrderTime = 2,
        kBumName = 3,
        kStatusName = 4,
        kBuySell = 5,
        kTypeName = 6,
        kPrice = 7,
        kCount = 8,
        kCountInStock = 9,
        kVolume = 10,
        kClientName = 11,
        kAccountName = 12,
        kRef1 = 13,
        kRef2 = 14,
        kPartnerCode = 15,
        kPartnerName = 16,
        kRepoSecondDate = 17,
        kRepoRate = 18,
        kRepoTerm = 19,
        kRepoRefundRate = 20,
        kIdAcc = -100,
        kIdBum = -101,
        kStatus = -102,
        kOrderType = -103,
        kGroupId = -104,
    };

    // Sends the first list request at once; its session does not connect by itself.
    explicit TFormOrdersRPS(QWidget* parent = nullptr);

    QString SQLFilter() const { return sqlFilter_; }
    void SetSQLFilter(const QString& filter) { sqlFilter_ = filter; }
    QString FormSettings() const;
    void SetFormSettings(const QString& settings);

    int Tag() const override { return 0; }
    void RefreshList() override { sesOrdRPSLogin(); }

    // Session events.
    void sesOrdRPSLogin();
    void sesOrdRPSData();
    void sesDelRpsData();

    // Popup items.
    void menuDelOrderClick();
    void menuFilterClick();
    void menuOrderInfoClick();

    TAdvColumnGrid& GridOrdersRPS() const { return *grid_; }
    QMenu* PopupMenu() const { return popup_; }
    QToolBar* Panel1() const { return panel_; }
    void CellLook(int realCol, int row, TCellLook& look) const;

    // Registers the window with the main window's "Заявки РПС и РЕПО" command.
    static void Register();

private:
    QString Cell(int tag, int row) const;

    monitorkit::ListSession sesOrdRPS_;
    monitorkit::ListSession sesDelRps_;
    TAdvColumnGrid* grid_ = nullptr;
    QToolBar* panel_ = nullptr;
    QMenu* popup_ = nullptr;
    QStringList filterBum_;
    QStringList filterAcc_;
    QString buySell_;
    int statusMask_ = 0;
    QString sqlFilter_;
};
