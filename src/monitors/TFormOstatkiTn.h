#pragma once

#include "monitors/ListSession.h"
#include "shell/contract/TChildWindow.h"

class QDateEdit;
class QMenu;
class QToolButton;
class TAdvColumnGrid;

// "Остатки и план поставок Т+": per date, client, account and instrument, the incoming
// balance, the current one, the delivery due and the planned balance of T+ settlement,
// for a range of dates chosen on the top panel. Each request reloads the table; while
// one is outstanding the fetch and filter buttons wait, and the answer, a lost
// connection or a failing load gives them back.
class TFormOstatkiTn : public TChildWindow {
    Q_OBJECT
    // The desktop contract: read and written by name.
    Q_PROPERTY(QString SQLFilter READ SQLFilter WRITE SetSQLFilter)
    Q_PROPERTY(QString FormSettings READ FormSettings WRITE SetFormSettings)

public:
    enum ColumnTag {
        kDate = 0,
        kInstr = 1,
        kNameCli = 2,
        kNameAcc = 3,
        kLimit = 4,
        kCurr = 5,
        kDelivery = 6,
        kPlann = 7,
        kIdAcc = -10,
        kIdCli = -11,
        kIdBum = -12,
    };

    explicit TFormOstatkiTn(QWidget* parent = nullptr);

    // Published properties. Writing the filter sends nothing: the next request uses it.
    QString SQLFilter() const { return sqlFilter_; }
    void SetSQLFilter(const QString& filter) { sqlFilter_ = filter; }
    QString FormSettings() const;
    void SetFormSettings(const QString& settings);

    int Tag() const override { return 0; }
    void RefreshList() override { SendRequest(); }

    // Session events.
    void SesAPrfLogin() { SendRequest(); }
    void SesAPrfData();
    void SesAPrfDisconnect() { SetBusy(false); }

    // "Получить данные с сервера".
    void Button1Click() { SendRequest(); }
    bool Busy() const { return busy_; }

    TAdvColumnGrid& GridAPortfel() const { return *grid_; }
    QDateEdit& DTPbegin() const { return *dateFrom_; }
    QDateEdit& DTPend() const { return *dateTo_; }
    QToolButton& Button1() const { return *fetch_; }
    QToolButton& BtnFilter() const { return *filterButton_; }
    QWidget& TopPanel() const { return *panel_; }
    QMenu* PopupMenu() const { return popup_; }

    // Registers the window with the main window's "Остатки и план поставок" command.
    static void Register();

private:
    void SendRequest();
    void SetBusy(bool busy);
    void SizeFirstColumn();
    void menuFilterClick();

    monitorkit::ListSession sesAPrf_;
    QWidget* panel_ = nullptr;
    QDateEdit* dateFrom_ = nullptr;
    QDateEdit* dateTo_ = nullptr;
    QToolButton* fetch_ = nullptr;
    QToolButton* filterButton_ = nullptr;
    TAdvColumnGrid* grid_ = nullptr;
    QMenu* popup_ = nullptr;
    QString sqlFilter_;
    bool busy_ = false;
};
