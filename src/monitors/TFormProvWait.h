#pragma once

#include "monitors/ListSession.h"
#include "shell/contract/TChildWindow.h"

#include <QString>

#include <vector>

class QAction;
class QMenu;
class QToolBar;
class TAdvColumnGrid;
struct TCellLook;

// "Отложенные проводки": the deferred transactions still waiting, and those cancelled
// today, with their state. From here the user cancels one or copies it into a new
// transaction. Its filter is a ready fragment of request parameters, not a condition.
class TFormProvWait : public TChildWindow {
    Q_OBJECT
    // The desktop contract: read and written by name. The filter fragment holds NULs.
    Q_PROPERTY(QString SQLFilter READ SQLFilter WRITE SetSQLFilter)
    Q_PROPERTY(QString FormSettings READ FormSettings WRITE SetFormSettings)

public:
    enum ColumnTag {
        kId = 0,
        kCreateDate = 1,
        kStatusName = 2,
        kSourceName = 3,
        kDestName = 4,
        kBumName = 5,
        kSum = 6,
        kText = 7,
        kPrice = 8,
        kSourceId = -100,
        kDestId = -101,
        kStatus = -99,
        kIdBum = -200,
    };

    // Logs its list session in at once; the login event sends the first request.
    explicit TFormProvWait(QWidget* parent = nullptr);

    // Published properties. Writing the filter sends the list request at once.
    QString SQLFilter() const { return sqlFilter_; }
    void SetSQLFilter(const QString& fragment);
    QString FormSettings() const;
    void SetFormSettings(const QString& settings);

    int Tag() const override { return 0; }

    // Session events.
    void SesProvWaitLogin();
    void SesProvWaitData();
    void sesProvWaitDelData();

    // The toolbar's cancel and copy buttons.
    void BtnDelProvWaitClick();
    void BtnCopyProvClick();

    TAdvColumnGrid& GridProvWait() const { return *grid_; }
    QMenu* PopupMenu() const { return popup_; }
    QToolBar* Panel1() const { return panel_; }
    void CellLook(int realCol, int row, TCellLook& look) const;

    // Registers the window with the main window's "Отложенные проводки" command.
    static void Register();

protected:
    bool event(QEvent* e) override;

private:
    void menuFilterClick();
    void BuildPanel(QAction* filter, QAction* refresh);
    QString Cell(int tag, int row) const;

    monitorkit::ListSession sesProvWait_;
    monitorkit::ListSession sesProvWaitDel_;
    TAdvColumnGrid* grid_ = nullptr;
    QToolBar* panel_ = nullptr;
    QMenu* popup_ = nullptr;
    QString sqlFilter_;
};
