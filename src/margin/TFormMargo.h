#pragma once

#include "shell/contract/TChildWindow.h"

#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QMenu;
class QToolBar;
class TAdvColumnGrid;
class TBrokerSession;
class TMetadataParser;
struct TCellLook;

// "Учёт маржи": the one window that watches the clients under margin lending. It
// re-reads the whole list a minute after each answer, colours the rows of clients below
// a level, lists those breaches in the event box and sounds the alarm. From it the
// operator changes a client's lending mode and levels (604) and opens the client's
// marginal securities.
class TFormMargo : public TChildWindow {
    Q_OBJECT
    Q_PROPERTY(QString SQLFilter READ SQLFilter WRITE SetSQLFilter)
    Q_PROPERTY(QString FormSettings READ FormSettings WRITE SetFormSettings)

public:
    // Column identities, the answer's field order.
    enum ColumnTag {
        kIdCli = 0,
        kNameCli = 1,
        kMarginPercent = 2,
        kStartLevel = 3,
        kCriticalLevel = 4,
        kSumKredit = 5,
        kSumActives = 6,
        kMarginAccName = 7,
        kMarginModeName = 8,
        kSumSelfMoney = 9,
        kSumMaxKredit = 10,
        kSumAddKredit = 11,
        kSumNeedClose = 12,
    };
    static constexpr int kRefreshMs = 60000;

    explicit TFormMargo(QWidget* parent = nullptr);
    ~TFormMargo() override;

    // The open monitor, if any (the desktop store may have made it); null otherwise.
    static TFormMargo* Current();

    QString SQLFilter() const { return sqlFilter_; }
    void SetSQLFilter(const QString& filter) { sqlFilter_ = filter; }
    QString FormSettings() const;
    void SetFormSettings(const QString& settings);

    int Tag() const override { return 0; }

    // Session events.
    void SesMrgLogin() { Refresh(); }
    void SesMrgData();
    void SesMrgLevelData();

    // Commands.
    void Refresh();
    void ChangeLevels();
    void OpenRules();
    void ToggleSound();
    void menuSoundOffClick();
    void menuShowPanelClick();
    // "Selecting an event": the user chose an entry of the event box.
    void EventChosen(int index);

    bool SoundOff() const;
    const QStringList& ClientNumbers() const { return clients_; }
    int CriticalCount() const { return criticalCount_; }
    int StartCount() const { return startCount_; }

    TAdvColumnGrid& GridMrg() const { return *grid_; }
    QComboBox& cbEvent() const { return *events_; }
    const QTimer& RefreshTimer() const { return timer_; }
    TBrokerSession& SesMrg() const { return *sesMrg_; }
    TBrokerSession& SesMrgLevel() const { return *sesMrgLevel_; }
    QToolBar* Panel1() const { return panel_; }
    QMenu* PopupMenu() const { return popup_; }
    QAction* SoundButton() const { return soundButton_; }
    QAction* SoundOffAction() const { return soundOff_; }
    QAction* ShowPanelAction() const { return showPanel_; }

    void CellLook(int realCol, int row, TCellLook& look) const;

    // Where a new rules window goes (the main window's MDI area); without one it shows
    // on its own.
    static void SetWindowOpener(std::function<void(QWidget*)> opener);
    // Registers the window with the main window's "Учет маржи" command.
    static void Register();

private:
    void BuildGrid();
    void BuildMenusAndPanel();
    QString Cell(int tag, int row) const;
    int CurrentDataRow() const;
    void MakeCurrent(int row);
    int FindClientRow(const QString& client) const;

    std::unique_ptr<TBrokerSession> sesMrg_;
    std::unique_ptr<TBrokerSession> sesMrgLevel_;
    std::unique_ptr<TMetadataParser> parser_;
    TAdvColumnGrid* grid_ = nullptr;
    QComboBox* events_ = nullptr;
    QToolBar* panel_ = nullptr;
    QMenu* popup_ = nullptr;
    QAction* soundButton_ = nullptr;
    QAction* soundOff_ = nullptr;
    QAction* showPanel_ = nullptr;
    QTimer timer_;
    QStringList clients_;
    int criticalCount_ = 0;
    int startCount_ = 0;
    QString sqlFilter_;
};
