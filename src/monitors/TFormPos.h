#pragma once

#include "monitors/ListSession.h"
#include "shell/contract/TChildWindow.h"

#include <QStringList>

class QMenu;
class TAdvColumnGrid;
class TBrokerSession;

// "Позиция": the firm's position per instrument, summed by the server over the
// accounts the filter admits (the request asks it to group by instrument). Every
// answer reloads the table.
class TFormPos : public TChildWindow {
    Q_OBJECT
    // The desktop contract: read and written by name.
    Q_PROPERTY(QString SQLFilter READ SQLFilter WRITE SetSQLFilter)
    Q_PROPERTY(QString FormSettings READ FormSettings WRITE SetFormSettings)

public:
    enum ColumnTag {
        kInstr = 0,
        kInputPos = 1,
        kCurrPos = 2,
        kPlanPos = 3,
        kIdBum = 4, // hidden, but offered in the column dialog and saved
    };

    explicit TFormPos(QWidget* parent = nullptr);

    // Published properties. Writing the filter logs the list session in; its login
    // event sends the list request.
    QString SQLFilter() const { return sqlFilter_; }
    void SetSQLFilter(const QString& filter);
    QString FormSettings() const;
    void SetFormSettings(const QString& settings);

    int Tag() const override { return 0; }

    // Session events.
    void SesPosLogin();
    void SesPosData();

    TAdvColumnGrid& GridPos() const { return *grid_; }
    TBrokerSession& SesPos() const { return sesPos_.Session(); }
    QMenu* PopupMenu() const { return popup_; }

    // Registers the window with the main window's "Позиция" command.
    static void Register();

private:
    void menuFilterClick();

    monitorkit::ListSession sesPos_;
    TAdvColumnGrid* grid_ = nullptr;
    QMenu* popup_ = nullptr;
    QString sqlFilter_;
    // Copied from the filter dialog like the orders window does; not used.
    QStringList filterBum_;
    QStringList filterAcc_;
    QString buySell_;
    int statusMask_ = 0;
};
