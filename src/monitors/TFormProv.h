#pragma once

#include "monitors/INewTransactionDialog.h"
#include "monitors/ListSession.h"
#include "shell/contract/TChildWindow.h"

#include <QString>

#include <vector>

class QAction;
class QMenu;
class QToolBar;
class TAdvColumnGrid;
class TBrokerSession;
struct TCellLook;

// "Проводки": today's money and security transactions between accounts. Every answer
// reloads the table; so does the broadcast that a transaction was created. From here
// the user opens the new-transaction dialog, empty or filled from a row.
class TFormProv : public TChildWindow {
    Q_OBJECT
    // The desktop contract: read and written by name.
    Q_PROPERTY(QString SQLFilter READ SQLFilter WRITE SetSQLFilter)
    Q_PROPERTY(QString FormSettings READ FormSettings WRITE SetFormSettings)

public:
    enum ColumnTag {
        kIdPr = 0,
        kTime = 1,
        kDebitName = 2,
        kCreditName = 3,
        kInstr = 4,
        kVolume = 5,
        kReason = 6,
        kPrice = 7,
        kIdDebit = -10,
        kIdCredit = -20,
        kIdBum = -200,
    };

    // Logs its list session in at once; the login event sends the first request.
    explicit TFormProv(QWidget* parent = nullptr);

    // Published properties. Writing the filter sends the list request at once.
    QString SQLFilter() const { return sqlFilter_; }
    void SetSQLFilter(const QString& filter);
    QString FormSettings() const;
    void SetFormSettings(const QString& settings);

    int Tag() const override { return 0; }

    // Session events.
    void SesProvLogin();
    void SesProvData();

    TAdvColumnGrid& GridProv() const { return *grid_; }
    TBrokerSession& SesProv() const { return sesProv_.Session(); }
    QMenu* PopupMenu() const { return popup_; }
    QToolBar* Panel1() const { return panel_; }
    void CellLook(int realCol, int row, TCellLook& look) const;

    // Copies a row into the dialog when the cell is a data cell with text.
    void GridProvDblClickCell(int row, int realCol);

    // The new-transaction dialog; without one the two dialog actions stay disabled.
    static void SetNewTransactionDialog(INewTransactionDialog* dialog) {
        INewTransactionDialog::SetCurrent(dialog);
    }

    // Registers the window with the main window's "Проводки" command.
    static void Register();

protected:
    bool event(QEvent* e) override;

private:
    void menuNewProvClick();
    void menuCopyProvClick();
    void menuFilterClick();
    void BtnRefreshClick() { SesProvLogin(); }
    void BuildPanel(const std::vector<QAction*>& items);
    QString Cell(int tag, int row) const;

    monitorkit::ListSession sesProv_;
    TAdvColumnGrid* grid_ = nullptr;
    QToolBar* panel_ = nullptr;
    QMenu* popup_ = nullptr;
    QAction* newProv_ = nullptr;
    QAction* copyProv_ = nullptr;
    QString sqlFilter_;
};
