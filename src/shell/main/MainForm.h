#pragma once

#include "grids/fill/PositionFill.h"
#include "shell/base/Services.h"
#include "shell/contract/IMonitorWindow.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/main/ChangeDispatcher.h"
#include "shell/refs/ReferenceData.h"

#include <QColor>
#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class TBrokerSession;
class TDesktopMenu;
class TMetadataSession;
class TStatusPanels;

// Preparation steps that belong to the shared dialogs. Each dialog's unit sets
// its hooks when it is created; an unset hook is skipped (the progress still
// counts, so a full first load ends at 16 steps).
struct TStartupHooks {
    // While the interface is being rebuilt for a new day, session or client.
    std::function<void()> ClearReferenceTrees; // margin add-rule, filter, client browser
    // StartWork, in this order.
    std::function<void()> FilterFillTreeAcc;
    std::function<void()> FilterFillTreeBum;
    std::function<void()> TransactionFillControls;
    std::function<void()> MarginAddFillTreeBum;
    std::function<void()> MarginLevelFillControls;
    std::function<void()> ClientBrowserRebuild; // only when the browser is open
    std::function<void()> TariffAreaFillTree;
    std::function<void()> CreateChat; // throws on failure
    std::function<void()> DiscoverPlugins;
    // BreakWork: end the filter dialog as aborted and the margin copy dialog as
    // cancelled when showing, clear the copy dialog's trees.
    std::function<void()> CloseDialogsOnBreak;
    // The user-information answer changed a value the client browser shows.
    std::function<void()> ClientBrowserRepaint;
};

// Loaded marks of the reference sets.
struct TLoadedMarks {
    bool Securities = false;
    bool Boards = false;
    bool TradingSystems = false;
    bool Accounts = false;
    bool Clients = false;
    bool TransactionAccounts = false;
    bool UserInfoTypes = false;
    bool UserInfoValues = false;
    bool OrderStatuses = false;
};

// The frame of the workstation: an MDI area for the working windows, the menus,
// the status bar, the reference data, the start-up chain and the change stream.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kProgressSteps = 16;
    static constexpr int kWindowListCaptionLimit = 60;

    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The one main window of the program (null before it exists and after it is gone).
    static TMainForm* Instance();

    // --- Reference data (Part of the contract with every window) ---
    TReferenceData& Refs() { return refs_; }
    const TLoadedMarks& Marks() const { return marks_; }
    bool InterfaceBuilt() const { return interfaceBuilt_; }
    int Progress() const { return progress_; }
    TStartupHooks& Hooks() { return hooks_; }

    // --- Services for child windows ---
    void PostDeferredMessage(const QString& text, MsgKind kind, int buttons);
    void LoadGridByPosition(TBrokerSession& session, TAdvColumnGrid& grid) {
        ::LoadGridByPosition(session, grid);
    }
    void BroadcastToWindows(int eventNumber);
    static QColor StatusColor(int code, const QColor& color);
    // Makes a window a child of the MDI area and shows it.
    QMdiSubWindow* AddChildWindow(QWidget* window);
    // Open child windows with the tag, in creation order (minimized ones included).
    std::vector<IMonitorWindow*> WindowsByTag(int tag) const;
    // Runs a menu command as if chosen (tests, desktops).
    QWidget* OpenWindow(WindowCommand command);

    // --- Menus and panels (desktops and plug-ins fill their menus) ---
    QAction* CommandAction(WindowCommand command) const;
    QAction* ActionByText(const QString& path) const; // "Работа/Заявки/Биржевые заявки"
    QMenu* DesktopMenu() const { return desktopMenu_; }
    QAction* DesktopSaveAction() const { return desktopSave_; }
    QAction* DesktopDeleteAction() const { return desktopDelete_; }
    QMenu* DesktopDeleteMenu() const { return desktopDeleteMenu_; }
    // The desktop entries and their commands; null while no desktop store exists.
    TDesktopMenu* Desktops() const { return desktops_; }
    QMenu* ReportsMenu() const { return reportsMenu_; }
    QMenu* WindowsMenu() const { return windowsMenu_; }
    QAction* ChatAction() const { return chatAction_; }
    TStatusPanels& StatusPanels() const { return *status_; }
    QMdiArea& MdiArea() const { return *mdi_; }
    TChangeDispatcher& ChangeDispatcher() { return *dispatcher_; }
    void SetAboutBox(QWidget* about) { aboutBox_ = about; }

    // --- Sessions of the start-up chain (tests drive their events) ---
    TMetadataSession& SesTorg() const { return *sesTorg_; }
    TMetadataSession& SesKto() const { return *sesKto_; }
    TMetadataSession& SesTs() const { return *sesTs_; }
    TMetadataSession& SesBoard() const { return *sesBoard_; }
    TMetadataSession& SesBum() const { return *sesBum_; }
    TMetadataSession& SesCli() const { return *sesCli_; }
    TMetadataSession& SesAcc() const { return *sesAcc_; }
    TMetadataSession& SesAccProv() const { return *sesAccProv_; }
    TMetadataSession& SesOrderStatus() const { return *sesOrderStatus_; }
    TMetadataSession& SesUserInfo() const { return *sesUserInfo_; }
    TMetadataSession& SesIzm() const { return *sesIzm_; }

    // Handlers of the chain, bound to their sessions' events.
    void SesTorgLogin();
    void SesTorgData();
    void SesTorgDisconnect();
    void SesKtoData();
    void SesTsData();
    void SesBoardData();
    void SesBumData();
    void SesCliData();
    void SesAccData();
    void SesAccProvData();
    void sesOrderStatusData();
    void sesUserInfoData();
    void SesIzmData();
    // Offers the sound new deals of one answer to every deals window, in order.
    void HandNewDeals(const std::vector<TChangeRecord>& newDeals);

    // How long a reference load runs before it lets pending events run (40 ms).
    static void SetLoadSliceMs(int milliseconds);

    void CountProgress(int n);
    void CheckAllLoaded();
    void StartWork();
    void BreakWork();
    bool WorkStarted() const { return workStarted_; }

    // The program became active: while the session server waits for its password,
    // its password window is brought forward.
    void ApplicationActivated();

    static QString WindowListCaption(int number, const QString& caption);

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    // The "Окна" menu: its list, rebuilt each time the menu opens, and its commands.
    void RebuildWindowList();
    void CloseAllWindows();
    void MinimizeAll();
    void TileSideBySide();
    void TileOneAboveTheOther();

    void FormCreate();
    void CreateDesktopEntries();
    void CreateSessions();
    void CreateMenus();
    QAction* AddCommand(QMenu* menu, const QString& caption, WindowCommand command,
                        const QKeySequence& shortcut = QKeySequence());
    void SetStartItemsEnabled(bool enabled);
    void SendStaleReferenceRequests();
    void ShowAbout();
    void ActivateWindowFromList(QMdiSubWindow* sub);
    void UpdateCloseAllEnabled();
    // Runs build for every row of the session's answer; a failing row is logged
    // as rowErrorText + the error text and skipped.
    // False when a newer event of the session took over (the handler then stops).
    bool ForEachRow(TBrokerSession& session, const QString& rowErrorText,
                    const std::function<void(int row, const RowFieldReader& fields)>& build);
    QString Field(TBrokerSession& session, int row, int n);

    TReferenceData refs_;
    TLoadedMarks marks_;
    TStartupHooks hooks_;
    bool interfaceBuilt_ = false;
    bool workStarted_ = false;
    // StartWork has run for the current login; answers handled inside another
    // handler's progress repaint must not run it a second time.
    bool startedThisRound_ = false;
    // Events seen per reference session, so a loader that yielded can tell whether
    // its answer is still the current one.
    QHash<const TBrokerSession*, quint64> answerGeneration_;
    int progress_ = 0;

    std::unique_ptr<TMetadataSession> sesTorg_, sesKto_, sesTs_, sesBoard_, sesBum_, sesCli_,
        sesAcc_, sesAccProv_, sesOrderStatus_, sesUserInfo_, sesIzm_;

    QMdiArea* mdi_ = nullptr;
    TStatusPanels* status_ = nullptr;
    TChangeDispatcher* dispatcher_ = nullptr;
    std::map<WindowCommand, QAction*> commandActions_;
    QMenu* desktopMenu_ = nullptr;
    QAction* desktopSave_ = nullptr;
    QAction* desktopDelete_ = nullptr;
    QMenu* desktopDeleteMenu_ = nullptr;
    TDesktopMenu* desktops_ = nullptr;
    QMenu* reportsMenu_ = nullptr;
    QMenu* windowsMenu_ = nullptr;
    QAction* windowListSeparator_ = nullptr;
    QAction* closeAllAction_ = nullptr;
    QAction* chatAction_ = nullptr;
    QPointer<QWidget> aboutBox_;
    QPointer<QWidget> clientBrowser_;
};
