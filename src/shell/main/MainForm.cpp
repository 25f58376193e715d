#include "MainForm.h"

#include "AboutBox.h"
#include "StatusPanels.h"
#include "WindowFactory.h"
#include "desktops/TDeskTopConfig.h"
#include "desktops/TDesktopMenu.h"
#include "grids/GridEvents.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/base/ProgramVersion.h"
#include "shell/base/Registry.h"
#include "shell/contract/OrderStatusColors.h"
#include "shell/contract/ShellEvents.h"
#include "shell/contract/ShellLink.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace {

TMainForm*& InstancePtr() {
    static TMainForm* form = nullptr;
    return form;
}

// Carries a deferred message box through the event queue.
class TDeferredMessageEvent : public QEvent {
public:
    explicit TDeferredMessageEvent(std::unique_ptr<TDlgMessage> message)
        : QEvent(ShellEventType(kEventDeferredMessage)), Message(std::move(message)) {}
    std::unique_ptr<TDlgMessage> Message;
};

const char* const kCommandProperty = kWindowCommandProperty;

// Images of the window list: a tick for the active window, a bar for a minimized one.
QIcon ListImage(bool active) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(active ? QColor(0, 128, 0) : QColor(0, 0, 128), 2));
    if (active) {
        p.drawLine(3, 8, 7, 12);
        p.drawLine(7, 12, 13, 4);
    } else {
        p.drawLine(3, 12, 12, 12);
    }
    return QIcon(pm);
}

QString MessageCaption(MsgKind kind) {
    switch (kind) {
    case MsgKind::Error:
        return QStringLiteral("Ошибка");
    case MsgKind::Warning:
        return QStringLiteral("Предупреждение");
    case MsgKind::Information:
        return QStringLiteral("Информация");
    case MsgKind::Question:
        return QStringLiteral("Подтверждение");
    case MsgKind::None:
        break;
    }
    return QCoreApplication::applicationName();
}

} // namespace

TMainForm* TMainForm::Instance() {
    return InstancePtr();
}

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    InstancePtr() = this;
    TReferenceData::SetCurrent(&refs_);
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Орвекс-Проф"));
    setWindowIcon(ProductIcon());
    setMinimumSize(300, 300);

    mdi_ = new QMdiArea(this);
    mdi_->setObjectName(QStringLiteral("MdiArea"));
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);

    status_ = new TStatusPanels(this);
    setStatusBar(status_);

    SetGridSumReceiver(this);
    dispatcher_ = new TChangeDispatcher([this](int tag) { return WindowsByTag(tag); }, this);
    // Child windows reach the broadcast and the deferred message through the contract.
    TShellLink::Connect({[this](int number) { BroadcastToWindows(number); },
                         [this](const QString& text, MsgKind kind, int buttons) {
                             PostDeferredMessage(text, kind, buttons);
                         }});

    CreateMenus();
    CreateSessions();
    FormCreate();
}

TMainForm::~TMainForm() {
    TShellLink::Disconnect();
    // Child windows go first: they may still read the reference data as they close.
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        delete sub;
    if (clientBrowser_)
        delete clientBrowser_.data();
    if (&TReferenceData::Current() == &refs_)
        TReferenceData::SetCurrent(nullptr);
    if (InstancePtr() == this)
        InstancePtr() = nullptr;
    if (GridSumReceiver() == this)
        SetGridSumReceiver(nullptr);
}

void TMainForm::CreateSessions() {
    // Every session of the main window parses metadata; the auto-connect ones
    // attach once FormCreate runs, so a missing server is logged, not fatal.
    sesTorg_ = std::make_unique<TMetadataSession>(QStringLiteral("SesTorg"));
    sesKto_ = std::make_unique<TMetadataSession>(QStringLiteral("SesKto"));
    sesTs_ = std::make_unique<TMetadataSession>(QStringLiteral("SesTs"));
    sesBoard_ = std::make_unique<TMetadataSession>(QStringLiteral("SesBoard"));
    sesBum_ = std::make_unique<TMetadataSession>(QStringLiteral("SesBum"));
    sesCli_ = std::make_unique<TMetadataSession>(QStringLiteral("SesCli"));
    sesAcc_ = std::make_unique<TMetadataSession>(QStringLiteral("SesAcc"));
    sesAccProv_ = std::make_unique<TMetadataSession>(QStringLiteral("SesAccProv"));
    sesOrderStatus_ = std::make_unique<TMetadataSession>(QStringLiteral("sesOrderStatus"));
    sesUserInfo_ = std::make_unique<TMetadataSession>(QStringLiteral("sesUserInfo"));
    sesIzm_ = std::make_unique<TMetadataSession>(QStringLiteral("SesIzm"));

    sesTorg_->OnLogin = [this](TBrokerSession*) { SesTorgLogin(); };
    sesTorg_->OnData = [this](TBrokerSession*) { SesTorgData(); };
    sesTorg_->OnDisconnect = [this](TBrokerSession*) { SesTorgDisconnect(); };
    // Before its login the server reports how far the preparation of its data is.
    sesTorg_->OnProcess = [this](TBrokerSession*, int total, int read) {
        if (total > 0 && read < total)
            status_->SetPanelText(
                3, QStringLiteral("*Сервер готовит данные... %1%").arg(read * 100 / total));
    };
    sesKto_->OnData = [this](TBrokerSession*) { SesKtoData(); };
    sesTs_->OnData = [this](TBrokerSession*) { SesTsData(); };
    sesBoard_->OnData = [this](TBrokerSession*) { SesBoardData(); };
    sesBum_->OnData = [this](TBrokerSession*) { SesBumData(); };
    sesCli_->OnData = [this](TBrokerSession*) { SesCliData(); };
    sesAcc_->OnData = [this](TBrokerSession*) { SesAccData(); };
    sesAccProv_->OnData = [this](TBrokerSession*) { SesAccProvData(); };
    sesOrderStatus_->OnData = [this](TBrokerSession*) { sesOrderStatusData(); };
    sesUserInfo_->OnData = [this](TBrokerSession*) { sesUserInfoData(); };
    sesIzm_->OnData = [this](TBrokerSession*) { SesIzmData(); };
    // A reference session that loses its link ends a load still reading its answer.
    for (TMetadataSession* s : {sesTs_.get(), sesBoard_.get(), sesBum_.get(), sesCli_.get(),
                                sesAcc_.get(), sesAccProv_.get()})
        s->OnDisconnect = [this](TBrokerSession* sender) { ++answerGeneration_[sender]; };
}

void TMainForm::FormCreate() {
    const QFileInfo program(QCoreApplication::applicationFilePath());
    SetLogFileName(program.absolutePath() + QLatin1Char('/') + program.completeBaseName() +
                   QStringLiteral(".log"));
    WriteLog(QStringLiteral("Запуск программы. Версия ") + kProgramVersion);
    GuardStep(QStringLiteral("MainForm.FormCreate"), [&] {
        // The auto-connect sessions attach now. The two that attach on first use
        // attach now as well: their first use comes while the server is busy with
        // the large reference answers, and attaching then would hold up the window.
        for (TMetadataSession* s : {sesTorg_.get(), sesKto_.get(), sesTs_.get(), sesBoard_.get(),
                                    sesBum_.get(), sesCli_.get(), sesAcc_.get(), sesAccProv_.get(),
                                    sesIzm_.get(), sesOrderStatus_.get(), sesUserInfo_.get()})
            s->Link();
        CreateDesktopEntries();
        sesTorg_->Login();
    });
}

// Step 5 of FormCreate: an entry for every saved desktop, and the window classes a
// desktop may hold registered with the store, which places its windows as the menus do.
void TMainForm::CreateDesktopEntries() {
    TDeskTopConfig* store = TDeskTopConfig::Instance();
    if (!store)
        return;
    desktops_ = new TDesktopMenu(*desktopMenu_, *desktopSave_, *desktopDeleteMenu_, *store, this);
    for (const QString& name : store->DesktopNames())
        desktops_->AddDesktopEntries(name);
    store->SetWindowArea(mdi_, [this](QWidget* window) { AddChildWindow(window); });
    RegisterDesktopWindowClasses(*store);
}

// ---------------------------------------------------------------------------
// Menus

QAction* TMainForm::AddCommand(QMenu* menu, const QString& caption, WindowCommand command,
                               const QKeySequence& shortcut) {
    QAction* a = menu->addAction(caption);
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    a->setEnabled(false);
    connect(a, &QAction::triggered, this, [this, command] {
        GuardStep(QStringLiteral("MainForm.OpenWindow"), [&] { OpenWindow(command); });
    });
    commandActions_[command] = a;
    return a;
}

void TMainForm::CreateMenus() {
    QMenuBar* bar = menuBar();

    QMenu* link = bar->addMenu(QStringLiteral("Соединение"));
    QAction* exit = link->addAction(QStringLiteral("Выход"));
    exit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
    connect(exit, &QAction::triggered, this, &QWidget::close);
    desktopMenu_ = link->addMenu(QStringLiteral("Рабочий стол"));
    desktopMenu_->menuAction()->setEnabled(false);
    desktopSave_ = desktopMenu_->addAction(QStringLiteral("Сохранить как..."));
    desktopDeleteMenu_ = desktopMenu_->addMenu(QStringLiteral("Удалить"));
    desktopDelete_ = desktopDeleteMenu_->menuAction();
    desktopSave_->setEnabled(false); // the desktop store wires and enables them
    desktopDelete_->setEnabled(false);
    chatAction_ = link->addAction(QStringLiteral("Чат"));
    chatAction_->setEnabled(false); // the chat component enables it

    QMenu* work = bar->addMenu(QStringLiteral("Работа"));
    QMenu* orders = work->addMenu(QStringLiteral("Заявки"));
    AddCommand(orders, QStringLiteral("Биржевые заявки"), WindowCommand::Orders,
               QKeySequence(Qt::CTRL | Qt::Key_Z));
    AddCommand(orders, QStringLiteral("Условные заявки"), WindowCommand::ConditionalOrders);
    AddCommand(orders, QStringLiteral("Заявки РПС и РЕПО"), WindowCommand::RpsRepoOrders);
    AddCommand(work, QStringLiteral("Сделки"), WindowCommand::Deals,
               QKeySequence(Qt::CTRL | Qt::Key_D));
    QMenu* portfolios = work->addMenu(QStringLiteral("Портфели"));
    AddCommand(portfolios, QStringLiteral("Портфель"), WindowCommand::Portfolio,
               QKeySequence(Qt::CTRL | Qt::Key_T));
    AddCommand(portfolios, QStringLiteral("Позиция"), WindowCommand::Position);
    AddCommand(portfolios, QStringLiteral("Фьючерсная позиция"), WindowCommand::FuturesPosition);
    QMenu* transactions = work->addMenu(QStringLiteral("Проводки"));
    AddCommand(transactions, QStringLiteral("Проводки"), WindowCommand::Transactions,
               QKeySequence(Qt::CTRL | Qt::Key_P));
    AddCommand(transactions, QStringLiteral("Отложенные проводки"),
               WindowCommand::PendingTransactions);
    AddCommand(work, QStringLiteral("Учет маржи"), WindowCommand::MarginMonitor);
    AddCommand(work, QStringLiteral("Проценты"), WindowCommand::Interest)->setVisible(false);
    AddCommand(work, QStringLiteral("Клиентские комиссии"), WindowCommand::Commissions);
    AddCommand(work, QStringLiteral("Справочник инструментов"), WindowCommand::SecuritiesReference);
    AddCommand(work, QStringLiteral("Справочник клиентов и счетов"), WindowCommand::ClientBrowser);

    QMenu* archive = bar->addMenu(QStringLiteral("Архив"));
    AddCommand(archive, QStringLiteral("Заявки"), WindowCommand::ArchiveOrders);
    AddCommand(archive, QStringLiteral("Сделки"), WindowCommand::ArchiveDeals);
    AddCommand(archive, QStringLiteral("Портфель"), WindowCommand::ArchivePortfolio);
    AddCommand(archive, QStringLiteral("Позиция"), WindowCommand::ArchivePosition);
    AddCommand(archive, QStringLiteral("Проводки"), WindowCommand::ArchiveTransactions);

    QMenu* tplus = bar->addMenu(QStringLiteral("Т+"));
    AddCommand(tplus, QStringLiteral("Остатки и план поставок"), WindowCommand::TPlusBalances);

    reportsMenu_ = bar->addMenu(QStringLiteral("Отчеты"));
    reportsMenu_->menuAction()->setVisible(false); // shown once it holds a plug-in

    windowsMenu_ = bar->addMenu(QStringLiteral("Окна"));
    connect(windowsMenu_->addAction(QStringLiteral("Свернуть все")), &QAction::triggered, this,
            &TMainForm::MinimizeAll);
    connect(windowsMenu_->addAction(QStringLiteral("Расположить каскадом")), &QAction::triggered,
            mdi_, &QMdiArea::cascadeSubWindows);
    connect(windowsMenu_->addAction(QStringLiteral("Расположить по вертикали")),
            &QAction::triggered, this, &TMainForm::TileSideBySide);
    connect(windowsMenu_->addAction(QStringLiteral("Расположить по горизонтали")),
            &QAction::triggered, this, &TMainForm::TileOneAboveTheOther);
    closeAllAction_ = windowsMenu_->addAction(QStringLiteral("Закрыть все"));
    connect(closeAllAction_, &QAction::triggered, this, &TMainForm::CloseAllWindows);
    windowListSeparator_ = windowsMenu_->addSeparator();
    connect(windowsMenu_, &QMenu::aboutToShow, this, &TMainForm::RebuildWindowList);

    QAction* about = bar->addAction(QStringLiteral("О программе"));
    connect(about, &QAction::triggered, this, &TMainForm::ShowAbout);
}

void TMainForm::SetStartItemsEnabled(bool enabled) {
    for (auto [command, action] : commandActions_)
        action->setEnabled(enabled && TWindowCatalog::Find(command) != nullptr);
    desktopMenu_->menuAction()->setEnabled(enabled);
}

QAction* TMainForm::CommandAction(WindowCommand command) const {
    auto it = commandActions_.find(command);
    return it == commandActions_.end() ? nullptr : it->second;
}

QAction* TMainForm::ActionByText(const QString& path) const {
    const QStringList parts = path.split(QLatin1Char('/'));
    QList<QAction*> actions = menuBar()->actions();
    QAction* found = nullptr;
    for (const QString& part : parts) {
        found = nullptr;
        for (QAction* a : actions)
            if (a->text() == part) {
                found = a;
                break;
            }
        if (!found)
            return nullptr;
        actions = found->menu() ? found->menu()->actions() : QList<QAction*>();
    }
    return found;
}

void TMainForm::ShowAbout() {
    if (aboutBox_) {
        if (auto* dialog = qobject_cast<QDialog*>(aboutBox_.data())) {
            dialog->exec();
            return;
        }
    }
    Services::MessageBox().Show(this, QStringLiteral("Орвекс-Проф\nВерсия ") + kProgramVersion,
                                QStringLiteral("О программе"), MsgKind::Information, MsgOk);
}

// ---------------------------------------------------------------------------
// Child windows

QMdiSubWindow* TMainForm::AddChildWindow(QWidget* window) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    const bool sized = window->testAttribute(Qt::WA_Resized);
    const QSize own = window->size();
    QMdiSubWindow* sub = mdi_->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // The window opens at its own size, or at two thirds of the frame when it has
    // none, each new one a step further down and right.
    const QSize area = mdi_->viewport()->size();
    const int frame = sub->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, sub);
    const int title = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
    const QSize outer = sized ? own + QSize(2 * frame, title + frame)
                              : QSize(area.width() * 2 / 3, area.height() * 2 / 3);
    sub->resize(outer.boundedTo(area).expandedTo(sub->minimumSizeHint()));
    const int step = 24 * (int(mdi_->subWindowList().size() - 1) % 8);
    sub->move(step, step);
    window->show();
    sub->show();
    return sub;
}

QWidget* TMainForm::OpenWindow(WindowCommand command) {
    const WindowEntry* entry = TWindowCatalog::Find(command);
    if (!entry)
        return nullptr;
    if (entry->Placement == WindowPlacement::SingleChild) {
        for (QMdiSubWindow* sub : mdi_->subWindowList()) {
            QWidget* w = sub->widget();
            if (w && w->property(kCommandProperty).toInt() == int(command) + 1) {
                if (sub->isMinimized())
                    sub->showNormal();
                else
                    sub->show();
                mdi_->setActiveSubWindow(sub);
                return w;
            }
        }
    }
    if (entry->Placement == WindowPlacement::TopLevel && clientBrowser_ &&
        clientBrowser_->property(kCommandProperty).toInt() == int(command) + 1) {
        if (clientBrowser_->isMinimized())
            clientBrowser_->showNormal();
        clientBrowser_->show();
        clientBrowser_->raise();
        clientBrowser_->activateWindow();
        clientBrowser_->setFocus();
        return clientBrowser_;
    }
    QWidget* w = entry->Create(this);
    if (!w)
        return nullptr;
    w->setProperty(kCommandProperty, int(command) + 1);
    if (entry->Placement == WindowPlacement::TopLevel) {
        w->setParent(nullptr, Qt::Window); // no owner: outside the window list
        w->setAttribute(Qt::WA_DeleteOnClose);
        clientBrowser_ = w;
        w->show();
    } else {
        AddChildWindow(w);
    }
    if (entry->AfterShow)
        entry->AfterShow(w);
    return w;
}

std::vector<IMonitorWindow*> TMainForm::WindowsByTag(int tag) const {
    std::vector<IMonitorWindow*> found;
    for (QMdiSubWindow* sub : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        // A closed window is hidden at once and freed later: it takes no more changes.
        if (sub->isHidden() || !sub->widget())
            continue;
        if (auto* w = dynamic_cast<IMonitorWindow*>(sub->widget()); w && w->Tag() == tag)
            found.push_back(w);
    }
    return found;
}

QString TMainForm::WindowListCaption(int number, const QString& caption) {
    QString text = caption;
    if (text.size() > kWindowListCaptionLimit)
        text = text.left(kWindowListCaptionLimit) + QStringLiteral(" ...");
    return QString::number(number) + QLatin1Char(' ') + text;
}

void TMainForm::RebuildWindowList() {
    const QList<QAction*> all = windowsMenu_->actions();
    const int sep = all.indexOf(windowListSeparator_);
    for (int i = sep + 1; i < all.size(); ++i) {
        windowsMenu_->removeAction(all[i]);
        delete all[i];
    }
    int n = 1;
    QMdiSubWindow* active = mdi_->activeSubWindow();
    for (QMdiSubWindow* sub : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isVisible() && !sub->isMinimized())
            continue;
        QAction* a = windowsMenu_->addAction(WindowListCaption(n, sub->windowTitle()));
        if (sub == active)
            a->setIcon(ListImage(true));
        else if (sub->isMinimized())
            a->setIcon(ListImage(false));
        QPointer<QMdiSubWindow> target(sub);
        connect(a, &QAction::triggered, this, [this, target] {
            if (target)
                ActivateWindowFromList(target);
        });
        ++n;
    }
    UpdateCloseAllEnabled();
}

void TMainForm::ActivateWindowFromList(QMdiSubWindow* sub) {
    if (sub->isMinimized())
        sub->showNormal();
    sub->raise();
    mdi_->setActiveSubWindow(sub);
}

void TMainForm::UpdateCloseAllEnabled() {
    bool any = false;
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        any = any || sub->isVisible();
    for (QWidget* w : QApplication::topLevelWidgets())
        any = any || (w != this && w->isVisible() && !qobject_cast<QMenu*>(w) &&
                      w->property(kCommandProperty).isValid());
    closeAllAction_->setEnabled(any);
}

void TMainForm::CloseAllWindows() {
    const QList<QMdiSubWindow*> subs = mdi_->subWindowList(QMdiArea::CreationOrder);
    for (auto it = subs.rbegin(); it != subs.rend(); ++it)
        (*it)->close();
    if (clientBrowser_)
        clientBrowser_->close();
}

void TMainForm::MinimizeAll() {
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        sub->showMinimized();
}

namespace {
std::vector<QMdiSubWindow*> Tileable(QMdiArea& mdi) {
    std::vector<QMdiSubWindow*> subs;
    for (QMdiSubWindow* sub : mdi.subWindowList(QMdiArea::CreationOrder))
        if (sub->isVisible() && !sub->isMinimized())
            subs.push_back(sub);
    return subs;
}

// Shares the area out in equal strips, one window each: columns for Qt::Horizontal,
// rows for Qt::Vertical.
void TileInStrips(QMdiArea& mdi, Qt::Orientation along) {
    const auto subs = Tileable(mdi);
    if (subs.empty())
        return;
    const QRect area = mdi.viewport()->rect();
    const int n = static_cast<int>(subs.size());
    const int length = along == Qt::Horizontal ? area.width() : area.height();
    for (int i = 0; i < n; ++i) {
        subs[size_t(i)]->showNormal();
        const int from = length * i / n, to = length * (i + 1) / n;
        if (along == Qt::Horizontal)
            subs[size_t(i)]->setGeometry(from, 0, to - from, area.height());
        else
            subs[size_t(i)]->setGeometry(0, from, area.width(), to - from);
    }
}
} // namespace

void TMainForm::TileSideBySide() {
    TileInStrips(*mdi_, Qt::Horizontal);
}

void TMainForm::TileOneAboveTheOther() {
    TileInStrips(*mdi_, Qt::Vertical);
}

// ---------------------------------------------------------------------------
// Services

void TMainForm::PostDeferredMessage(const QString& text, MsgKind kind, int buttons) {
    auto message = std::make_unique<TDlgMessage>(text, static_cast<quint8>(kind),
                                                 static_cast<quint16>(buttons));
    QCoreApplication::postEvent(this, new TDeferredMessageEvent(std::move(message)));
}

void TMainForm::BroadcastToWindows(int eventNumber) {
    // Every top-level window and every child window gets the event at once, in turn.
    QList<QPointer<QWidget>> targets;
    for (QWidget* w : QApplication::topLevelWidgets())
        targets.append(w);
    for (QMdiSubWindow* sub : mdi_->subWindowList(QMdiArea::CreationOrder))
        if (sub->widget())
            targets.append(sub->widget());
    for (const QPointer<QWidget>& w : targets) {
        if (!w)
            continue; // closed by an earlier receiver
        QEvent e(ShellEventType(eventNumber));
        QCoreApplication::sendEvent(w, &e);
    }
}

QColor TMainForm::StatusColor(int code, const QColor& color) {
    return OrderStatusColor(StatusPalette::Requests, code, color);
}

bool TMainForm::event(QEvent* e) {
    if (e->type() == ShellEventType(kEventDeferredMessage)) {
        auto* deferred = static_cast<TDeferredMessageEvent*>(e);
        if (auto message = std::move(deferred->Message)) {
            const auto kind = static_cast<MsgKind>(message->DialogKind);
            Services::MessageBox().Show(this, message->Name, MessageCaption(kind), kind,
                                        message->Buttons);
        }
        return true;
    }
    if (e->type() == GridSumEventType()) {
        status_->SetPanelText(4, GridSumText() + QStringLiteral("  "));
        return true;
    }
    return QMainWindow::event(e);
}

void TMainForm::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        ApplicationActivated();
    QMainWindow::changeEvent(e);
}

void TMainForm::ApplicationActivated() {
    // While the session server waits for its password, keep its window in front.
    GuardStep(QStringLiteral("MainForm.AppActivate"), [&] {
        QWidget* top = QApplication::activeWindow();
        const QString caption = top ? top->windowTitle() : QString();
        if (sesTorg_->IsAttached() && sesTorg_->GetLoginState() &&
            caption != QStringLiteral("Орвекс.Диспетчер соединений") &&
            caption != QStringLiteral("Ввод пароля"))
            Services::WindowFinder().BringToFront(QStringLiteral("Ввод пароля"));
    });
}

void TMainForm::closeEvent(QCloseEvent* e) {
    SaveWindowPlacement(*this, QStringLiteral("main"));
    CloseAllWindows();
    dispatcher_->CheckChangeTimer1().stop();
    QMainWindow::closeEvent(e);
}
