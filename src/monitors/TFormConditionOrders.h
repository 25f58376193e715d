#pragma once

#include "monitors/ListSession.h"
#include "shell/contract/TChildWindow.h"

#include <QString>
#include <QStringList>

class QMenu;
class QToolBar;
class TAdvColumnGrid;
struct TCellLook;

// "Условные заявки": orders the server holds until a condition on a security is met
// ("Условие") and then carries out ("Действие"), each with its period of validity.
// Every answer reloads the whole list; a withdrawal's answer is read, and a refusal
// shows the server's message. The window publishes nothing of its own: a desktop keeps
// only its place.
class TFormConditionOrders : public TChildWindow {
    Q_OBJECT

public:
    enum ColumnTag {
        kOrderId = 0,
        kStartText = 1,
        kStopText = 2,
        kTypeName = 3,
        kStatusName = 4,
        kIfText = 5,
        kActionText = 6,
        kAccName = 7,
        kIdAcc = -100,
        kIdBum = -101,
        kStatus = -102,
        kBuySell = -103,
        kStartDate = -104,
        kStopDate = -105,
    };

    // Sends the first list request at once; its session does not connect by itself.
    explicit TFormConditionOrders(QWidget* parent = nullptr);

    int Tag() const override { return 0; }
    void RefreshList() override { sesConditionOrdersLogin(); }

    // Session events.
    void sesConditionOrdersLogin();
    void sesConditionOrdersData();
    void sesOrderExecData();

    // Popup items.
    void menuDelOrderClick();
    void menuFilterClick();
    void menuOrderInfoClick();

    TAdvColumnGrid& GridCondition() const { return *grid_; }
    QMenu* PopupMenu() const { return popup_; }
    QToolBar* Panel1() const { return panel_; }
    // The filter dialog's condition text, kept but neither sent nor published.
    const QString& ConditionText() const { return conditionText_; }
    void CellLook(int realCol, int row, TCellLook& look) const;

    // Registers the window with the main window's "Условные заявки" command.
    static void Register();

private:
    QString Cell(int tag, int row) const;

    monitorkit::ListSession sesConditionOrders_;
    monitorkit::ListSession sesOrderExec_;
    TAdvColumnGrid* grid_ = nullptr;
    QToolBar* panel_ = nullptr;
    QMenu* popup_ = nullptr;
    QStringList filterBum_;
    QStringList filterAcc_;
    QString buySell_;
    int statusMask_ = 0;
    QString conditionText_;
};

// A period's moment as the window shows it, "dd.mm.yyyy hh:mm"; empty for 0.
QString ConditionPeriodText(double dateValue);
