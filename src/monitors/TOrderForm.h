#pragma once

#include "shell/contract/TChildWindow.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QStatusBar;
class QToolBar;
class TAdvColumnGrid;
class TBrokerSession;
class TMetadataParser;
class TReferenceData;
struct TCellLook;

// "Заявки": the live table of the clients' exchange orders, from which a dealer
// withdraws one order, a group order, or all orders of an account or a client.
// The list stream (SesOrd) fills the grid in full or merges keyed updates; the
// withdrawals go out on their own command session (SesNDel) and come back through the
// change stream.
class TOrderForm : public TChildWindow {
    Q_OBJECT
    // The desktop contract: read and written by name.
    Q_PROPERTY(QString SQLFilter READ SQLFilter WRITE SetSQLFilter)
    Q_PROPERTY(QString FormSettings READ FormSettings WRITE SetFormSettings)
    Q_PROPERTY(
        QString InternalFilterListBum READ InternalFilterListBum WRITE SetInternalFilterListBum)
    Q_PROPERTY(
        QString InternalFilterListAcc READ InternalFilterListAcc WRITE SetInternalFilterListAcc)
    Q_PROPERTY(
        QString InternalFilterBuySell READ InternalFilterBuySell WRITE SetInternalFilterBuySell)
    Q_PROPERTY(int InternalFilterStatus READ InternalFilterStatus WRITE SetInternalFilterStatus)
    Q_PROPERTY(int RestoredComplete READ RestoredComplete WRITE SetRestoredComplete)

public:
    // Column identities of the grid.
    enum ColumnTag {
        kOrderNum = 0,
        kOrderTime = 1,
        kNameBum = 2,
        kStatusName = 3,
        kBuySell = 4,
        kTypeName = 5,
        kPrice = 6,
        kCountFirst = 7,
        kCount = 8,
        kVolume = 9,
        kNameCli = 10,
        kNameAcc = 11,
        kNkd = 12,
        kYield = 13,
        kGroup = 14,
        kIdAcc = -10,
        kIdCli = -11,
        kIdBum = -12,
        kStatus = -14,
        kOrderType = -15,
        kKeyField = -16,
    };

    explicit TOrderForm(QWidget* parent = nullptr);
    ~TOrderForm() override;

    // Published properties.
    QString SQLFilter() const { return sqlFilter_; }
    void SetSQLFilter(const QString& filter) { sqlFilter_ = filter; }
    QString FormSettings() const;
    void SetFormSettings(const QString& settings);
    QString InternalFilterListBum() const;
    void SetInternalFilterListBum(const QString& lines);
    QString InternalFilterListAcc() const;
    void SetInternalFilterListAcc(const QString& lines);
    QString InternalFilterBuySell() const { return buySell_; }
    void SetInternalFilterBuySell(const QString& code) { buySell_ = code; }
    int InternalFilterStatus() const { return statusMask_; }
    void SetInternalFilterStatus(int mask) { statusMask_ = mask; }
    int RestoredComplete() const { return 0; }
    void SetRestoredComplete(int value);

    // IMonitorWindow: the change dispatch.
    int Tag() const override { return kTagOrders; }
    void RefreshByKeys(const QStringList& keys) override;
    void RefreshList() override { SesOrdLogin(); }

    // Session events.
    void SesOrdLogin();
    void SesOrdData();
    // The row fix-up: display names of account and client, the status name.
    void AfterRowFilled(int responseRow, int gridRow);

    TAdvColumnGrid& GridOrd() const { return *grid_; }
    // The status bar's text: "Фильтр не принят сервером" while the server refuses the
    // filter, else empty.
    QString StatusText() const;
    TBrokerSession& SesOrd() const { return *sesOrd_; }
    TBrokerSession& SesNDel() const { return *sesNDel_; }
    TMetadataParser& Parser() const { return *parser_; }
    QToolBar* Panel1() const { return panel_; }
    QMenu* PopupMenu() const { return popup_; }
    QAction* ShowPanelAction() const { return showPanel_; }
    const QStringList& FilterListBum() const { return filterBum_; }
    const QStringList& FilterListAcc() const { return filterAcc_; }

    // The cell colours (the grid's look hook).
    void CellLook(int realCol, int row, TCellLook& look) const;

    // Registers the window with the main window's "Биржевые заявки" command.
    static void Register();

private:
    // The popup items, keys and toolbar buttons.
    void menuDelOrderClick();
    void menuDelGroupOrderClick();
    void menuDelAllAccOrderClick();
    void BtnDelAllCliOrdersClick();
    void menuFilterClick();
    void BtnRefreshClick() { SesOrdLogin(); }
    void menuOrderInfoClick();
    void menuShowPanelClick();

    // One row's cells by column identity, in the grid or in texts not yet stored.
    struct RowCells {
        std::function<QString(int tag)> Get;
        std::function<void(int tag, const QString& text)> Set;
    };
    void FixUpRow(int responseRow, const RowCells& cells);
    void BuildGrid();
    void BuildMenusAndPanel();
    QString FilterParams() const;
    QString Cell(int tag, int row) const;
    int CurrentDataRow() const; // -1 when the current cell is not on a data row
    bool Confirm(const QString& question);
    void SendWithdrawal(int query, const QString& param0);

    std::unique_ptr<TBrokerSession> sesOrd_;
    std::unique_ptr<TBrokerSession> sesNDel_;
    std::unique_ptr<TMetadataParser> parser_;
    TAdvColumnGrid* grid_ = nullptr;
    QToolBar* panel_ = nullptr;
    QStatusBar* statusBar_ = nullptr; // shown only while the server refuses the filter
    QMenu* popup_ = nullptr;
    QAction* showPanel_ = nullptr;
    QStringList filterBum_;
    QStringList filterAcc_;
    QString buySell_;
    int statusMask_ = 0;
    QString sqlFilter_;
};
