#pragma once

#include "shell/contract/TChildWindow.h"

#include <QString>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QMenu;
class TAdvColumnGrid;
class TBrokerSession;
struct TCellLook;

// "Проценты": every client as a row and every turnover tier as a column with the
// client's percentage, whether withholding is switched on (green rows), and the
// firm's account that receives the interest. The list comes from its own session
// (SesPercAll); the withholding switch and the account change share another
// (SesPercCmd). Publishes nothing beyond the frame of every child window.
class TFormAllBrokPercent : public TChildWindow {
    Q_OBJECT
public:
    // Design-time columns; the tier columns follow from kFirstTier.
    enum Column { kClientId = 0, kClientName = 1, kWithholding = 2, kFirstTier = 3 };
    // Grid rows: 0 the lower bounds (header), 1 the upper bounds, clients from 2.
    static constexpr int kFirstClientRow = 2;

    explicit TFormAllBrokPercent(QWidget* parent = nullptr);
    ~TFormAllBrokPercent() override;

    int Tag() const override { return 0; }

    // Remembers the current cell and asks for the whole table again.
    void ReloadInterest();
    void SesPercAllData();
    void SesPercCmdData();

    // The popup's items, the double click and the account list.
    void menuClientPercentClick();
    void menuSwitchClick();
    void CBPercAccActivated(int index);
    // Sets the switch item's caption for the current row (before the popup opens).
    void PreparePopup();
    // Makes the cell at a point of the grid's view current (a right click).
    void SelectCellAt(const QPoint& viewportPos);

    TAdvColumnGrid& PercAllGrid() const { return *grid_; }
    QComboBox& CBPercAcc() const { return *accounts_; }
    QMenu* PopupMenu() const { return popup_; }
    QAction* SwitchAction() const { return switch_; }
    TBrokerSession& SesPercAll() const { return *sesAll_; }
    TBrokerSession& SesPercCmd() const { return *sesCmd_; }
    void CellLook(int realCol, int row, TCellLook& look) const;

    // Runs the tier dialog for a client; true when a change was accepted. The shared
    // dialog by default; tests put their own.
    using TierDialogRunner =
        std::function<bool(const QString& clientId, const QString& clientName)>;
    static void SetTierDialogRunner(TierDialogRunner runner);

    // Registers the window with the main window's hidden "Проценты" command.
    static void Register();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildGrid();
    void FillAccounts();
    int CurrentClientRow() const; // -1 when the current cell is not on a client row
    void SelectCell(int row, int realCol);
    void SendCommand(const QString& request, const QString& params);

    std::unique_ptr<TBrokerSession> sesAll_;
    std::unique_ptr<TBrokerSession> sesCmd_;
    TAdvColumnGrid* grid_ = nullptr;
    QComboBox* accounts_ = nullptr;
    QMenu* popup_ = nullptr;
    QAction* switch_ = nullptr;
    bool loaded_ = false; // the first showing loads; a restore from minimized does not
    int rememberedRow_ = -1;
    int rememberedCol_ = -1;
};
