// The main window's menus, window list, change stream and services.
#include "MainFormTestSupport.h"

#include "grids/GridEvents.h"
#include "grids/TAdvColumnGrid.h"
#include "shell/base/NumberText.h"
#include "shell/contract/ShellEvents.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>

namespace {

// A child window that records what the main window asks of it.
class FakeMonitor : public QWidget, public IMonitorWindow {
public:
    explicit FakeMonitor(int tag, QString side = QString()) : tag_(tag), side_(std::move(side)) {}
    int Tag() const override { return tag_; }
    void RefreshByKeys(const QStringList& keys) override { keyed.append(keys); }
    void RefreshList() override { ++fullReloads; }
    bool DealMatchesFilter(const TChangeRecord& deal) override {
        return side_.isEmpty() || deal.Field(7) == side_;
    }
    void AppendDeal(const TChangeRecord& deal) override { deals.append(deal.Field(15)); }

    QList<QStringList> keyed;
    int fullReloads = 0;
    QStringList deals;
    QList<int> events;

protected:
    bool event(QEvent* e) override {
        if (e->type() == ShellEventType(kEventTransactionsChanged) ||
            e->type() == ShellEventType(kEventPendingTransactionsChanged))
            events.append(int(e->type()) - QEvent::User);
        return QWidget::event(e);
    }

private:
    int tag_;
    QString side_;
};

class RecordingMessageBox : public IMessageBoxService {
public:
    int Show(QWidget*, const QString& text, const QString& caption, MsgKind kind, int buttons,
             bool) override {
        shown.append(text + "|" + caption + "|" + QString::number(int(kind)) + "|" +
                     QString::number(buttons));
        return MsgCancel;
    }
    QStringList shown;
};

class MainWindow : public MainFormFixture {
protected:
    FakeMonitor* Open(int tag, const QString& side = QString()) {
        auto* w = new FakeMonitor(tag, side);
        form_->AddChildWindow(w);
        return w;
    }
    QStringList Keys(int first, int count) {
        QStringList keys;
        for (int i = first; i < first + count; ++i)
            keys.append(QString::number(i));
        return keys;
    }
    void Note(int kind, const QStringList& keys) {
        for (const QString& k : keys)
            form_->ChangeDispatcher().NoteChange(kind, k);
    }
};

QString ChangeRow(const QString& kind, const QString& key, const QString& acc = QString(),
                  const QString& bum = QString(), const QString& side = QString(),
                  const QString& dealNo = QString()) {
    QStringList f(22);
    f[2] = kind;
    f[3] = key;
    f[7] = side;
    f[15] = dealNo;
    f[20] = acc;
    f[21] = bum;
    if (kind == QLatin1String("4")) // a new deal carries every number
        for (int n : {5, 8, 9, 10, 11, 12, 16, 17, 18})
            f[n] = QStringLiteral("0");
    return RowOf(f);
}

} // namespace

TEST_F(MainWindow, TenOrderKeysGoKeyedToEveryOrdersWindowElevenReloadInFull) {
    FakeMonitor* a = Open(kTagOrders);
    FakeMonitor* b = Open(kTagOrders);
    FakeMonitor* deals = Open(kTagDeals);
    Note(1, Keys(10, 10));
    Note(2, {"10"}); // a duplicate changes nothing
    EXPECT_TRUE(form_->ChangeDispatcher().CheckChangeTimer1().isActive());
    form_->ChangeDispatcher().CheckChangeTimer1Timer();
    EXPECT_FALSE(form_->ChangeDispatcher().CheckChangeTimer1().isActive());
    ASSERT_EQ(a->keyed.size(), 1);
    EXPECT_EQ(a->keyed[0].size(), 10);
    EXPECT_EQ(a->keyed[0], b->keyed[0]);
    EXPECT_EQ(a->fullReloads, 0);
    EXPECT_TRUE(deals->keyed.isEmpty());
    EXPECT_TRUE(form_->ChangeDispatcher().ChangedOrderKeys().isEmpty());

    Note(1, Keys(100, 11));
    form_->ChangeDispatcher().CheckChangeTimer1Timer();
    EXPECT_EQ(a->keyed.size(), 1);
    EXPECT_EQ(a->fullReloads, 1);
    EXPECT_EQ(b->fullReloads, 1);
}

TEST_F(MainWindow, AMarketThatNeverPausesStillReachesTheWindows) {
    // A change every quarter second never leaves the one-second pause; the keys
    // still go out once the oldest has waited two seconds.
    FakeMonitor* a = Open(kTagOrders);
    int notes = 0;
    while (a->keyed.isEmpty() && notes < 16) {
        Note(2, {QString::number(notes++)});
        QTest::qWait(250);
    }
    ASSERT_EQ(a->keyed.size(), 1);
    EXPECT_GE(a->keyed[0].size(), 7);
    EXPECT_LE(notes, 10);
    EXPECT_TRUE(form_->ChangeDispatcher().ChangedOrderKeys().isEmpty());
}

TEST_F(MainWindow, PortfolioLimitIsSixAndKeysWaitForAWindow) {
    Note(3, Keys(1, 5));
    form_->ChangeDispatcher().CheckChangeTimer1Timer();
    EXPECT_EQ(form_->ChangeDispatcher().ChangedPortfolioKeys().size(), 5); // nobody to serve
    FakeMonitor* p = Open(kTagPortfolio);
    form_->ChangeDispatcher().CheckChangeTimer1Timer();
    ASSERT_EQ(p->keyed.size(), 1);
    EXPECT_EQ(p->keyed[0], QStringList({"1", "2", "3", "4", "5"}));
    Note(3, Keys(1, 6));
    form_->ChangeDispatcher().CheckChangeTimer1Timer();
    EXPECT_EQ(p->fullReloads, 1);
    EXPECT_TRUE(form_->ChangeDispatcher().ChangedPortfolioKeys().isEmpty());
}

TEST_F(MainWindow, ChangeStreamQueuesKeysAppendsDealsAndSurvivesABadKind) {
    FullStart();
    FakeMonitor* all = Open(kTagDeals);
    FakeMonitor* sells = Open(kTagDeals, "S");
    ScriptedSession& izm = Ses("SesIzm");
    izm.FeedData(AnswerBuilder()
                     .RawRow(ChangeRow("1", "777"))
                     .RawRow(ChangeRow("3", "", "15", "3"))
                     .RawRow(ChangeRow("4", "", "", "", "B", "D1"))
                     .RawRow(ChangeRow("4", "", "", "", "S", ""))
                     .RawRow(ChangeRow("4", "", "", "", "S", "D2"))
                     .RawRow(ChangeRow("9", "ignored"))
                     .Build());
    EXPECT_EQ(beeps_, 1); // the deal without a number is left out of every window
    EXPECT_EQ(form_->ChangeDispatcher().ChangedOrderKeys(), QStringList({"777"}));
    EXPECT_EQ(form_->ChangeDispatcher().ChangedPortfolioKeys(), QStringList({"15_3"}));
    EXPECT_EQ(all->deals, QStringList({"D1", "D2"}));
    EXPECT_EQ(sells->deals, QStringList({"D2"}));

    izm.FeedData(AnswerBuilder()
                     .RawRow(ChangeRow("1", "800"))
                     .RawRow(ChangeRow("x", "801"))
                     .RawRow(ChangeRow("1", "802"))
                     .Build());
    EXPECT_EQ(beeps_, 2);
    EXPECT_EQ(form_->ChangeDispatcher().ChangedOrderKeys(), QStringList({"777", "800"}));
    izm.FeedData(AnswerBuilder().RawRow(ChangeRow("2", "803")).Build());
    EXPECT_EQ(form_->ChangeDispatcher().ChangedOrderKeys(), QStringList({"777", "800", "803"}));
}

TEST_F(MainWindow, WindowListNumbersCutsLongCaptionsAndMarksStates) {
    EXPECT_EQ(TMainForm::WindowListCaption(1, QString(61, 'x')), "1 " + QString(60, 'x') + " ...");
    EXPECT_EQ(TMainForm::WindowListCaption(2, QString(60, 'y')), "2 " + QString(60, 'y'));

    form_->show();
    FakeMonitor* a = Open(0);
    a->setWindowTitle(QStringLiteral("Заявки"));
    FakeMonitor* b = Open(0);
    b->setWindowTitle(QStringLiteral("Сделки"));
    form_->MdiArea().subWindowList()[0]->showMinimized();
    form_->MdiArea().setActiveSubWindow(form_->MdiArea().subWindowList()[1]);
    emit form_->WindowsMenu()->aboutToShow();
    emit form_->WindowsMenu()->aboutToShow(); // opening twice does not double the list
    QStringList captions;
    int icons = 0;
    bool afterSeparator = false;
    for (QAction* act : form_->WindowsMenu()->actions()) {
        if (act->isSeparator()) {
            afterSeparator = true;
            continue;
        }
        if (afterSeparator) {
            captions.append(act->text());
            icons += act->icon().isNull() ? 0 : 1;
        }
    }
    EXPECT_EQ(captions, QStringList({QStringLiteral("1 Заявки"), QStringLiteral("2 Сделки")}));
    EXPECT_EQ(icons, 2); // one minimized, one active
    EXPECT_TRUE(form_->ActionByText("Окна/Закрыть все")->isEnabled());

    form_->ActionByText("Окна/Закрыть все")->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(form_->MdiArea().subWindowList().isEmpty());
    emit form_->WindowsMenu()->aboutToShow();
    EXPECT_FALSE(form_->ActionByText("Окна/Закрыть все")->isEnabled());
}

TEST_F(MainWindow, MenusCarryTheirShortcutsAndHiddenItems) {
    EXPECT_EQ(form_->ActionByText("Соединение/Выход")->shortcut(), QKeySequence("Alt+X"));
    EXPECT_EQ(form_->ActionByText("Работа/Заявки/Биржевые заявки")->shortcut(),
              QKeySequence("Ctrl+Z"));
    EXPECT_EQ(form_->ActionByText("Работа/Сделки")->shortcut(), QKeySequence("Ctrl+D"));
    EXPECT_EQ(form_->ActionByText("Работа/Портфели/Портфель")->shortcut(), QKeySequence("Ctrl+T"));
    EXPECT_EQ(form_->ActionByText("Работа/Проводки/Проводки")->shortcut(), QKeySequence("Ctrl+P"));
    EXPECT_FALSE(form_->ActionByText("Работа/Проценты")->isVisible());
    EXPECT_FALSE(form_->ReportsMenu()->menuAction()->isVisible());
    for (const char* path : {"Архив/Заявки",
                             "Архив/Сделки",
                             "Архив/Портфель",
                             "Архив/Позиция",
                             "Архив/Проводки",
                             "Т+/Остатки и план поставок",
                             "Работа/Заявки/Условные заявки",
                             "Работа/Заявки/Заявки РПС и РЕПО",
                             "Работа/Портфели/Позиция",
                             "Работа/Портфели/Фьючерсная позиция",
                             "Работа/Проводки/Отложенные проводки",
                             "Работа/Учет маржи",
                             "Работа/Клиентские комиссии",
                             "Работа/Справочник инструментов",
                             "Работа/Справочник клиентов и счетов",
                             "Окна/Свернуть все",
                             "Окна/Расположить каскадом",
                             "Окна/Расположить по вертикали",
                             "Окна/Расположить по горизонтали",
                             "О программе"})
        EXPECT_NE(form_->ActionByText(QString::fromUtf8(path)), nullptr) << path;
}

TEST_F(MainWindow, OpeningWindowsNewSingleAndTopLevel) {
    int created = 0, shown = 0;
    TWindowCatalog::Register(WindowCommand::Orders, {WindowPlacement::NewChild,
                                                     [&](QWidget*) {
                                                         ++created;
                                                         return new FakeMonitor(kTagOrders);
                                                     },
                                                     [&](QWidget*) { ++shown; }});
    TWindowCatalog::Register(
        WindowCommand::MarginMonitor,
        {WindowPlacement::SingleChild, [&](QWidget*) { return new QWidget; }, {}});
    TWindowCatalog::Register(
        WindowCommand::ClientBrowser,
        {WindowPlacement::TopLevel, [&](QWidget*) { return new QWidget; }, {}});
    form_->OpenWindow(WindowCommand::Orders);
    form_->OpenWindow(WindowCommand::Orders);
    EXPECT_EQ(created, 2);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(form_->WindowsByTag(kTagOrders).size(), 2u);

    QWidget* margin = form_->OpenWindow(WindowCommand::MarginMonitor);
    margin->parentWidget()->showMinimized();
    EXPECT_EQ(form_->OpenWindow(WindowCommand::MarginMonitor), margin);
    EXPECT_FALSE(margin->parentWidget()->isMinimized());

    QWidget* browser = form_->OpenWindow(WindowCommand::ClientBrowser);
    EXPECT_TRUE(browser->isWindow());
    EXPECT_EQ(form_->OpenWindow(WindowCommand::ClientBrowser), browser);
    EXPECT_EQ(form_->MdiArea().subWindowList().size(), 3);       // the browser is not a child
    EXPECT_EQ(form_->OpenWindow(WindowCommand::Deals), nullptr); // not in the program
    for (auto c :
         {WindowCommand::Orders, WindowCommand::MarginMonitor, WindowCommand::ClientBrowser})
        TWindowCatalog::Unregister(c);
}

TEST_F(MainWindow, DeferredMessagesWaitForTheEventLoop) {
    auto box = std::make_shared<RecordingMessageBox>();
    Services::SetMessageBox(box);
    form_->PostDeferredMessage(QStringLiteral("Нет прав"), MsgKind::Error, MsgCancel);
    EXPECT_TRUE(box->shown.isEmpty());
    QApplication::processEvents();
    ASSERT_EQ(box->shown.size(), 1);
    EXPECT_TRUE(box->shown[0].startsWith(QStringLiteral("Нет прав|Ошибка|")));

    // A refused user-information change tells the user after the handler.
    FullStart();
    Ses("sesUserInfo")
        .FeedData(AnswerBuilder()
                      .RawRow(RowOf({"5", QStringLiteral("Отказано"), "", ""}))
                      .Param("chto", "1821")
                      .Build());
    EXPECT_EQ(box->shown.size(), 1);
    QApplication::processEvents();
    ASSERT_EQ(box->shown.size(), 2);
    EXPECT_TRUE(box->shown[1].startsWith(QStringLiteral("Отказано|")));
    Services::SetMessageBox(nullptr);
}

TEST_F(MainWindow, BroadcastAndSelectionSum) {
    FakeMonitor* w = Open(0);
    form_->BroadcastToWindows(kEventTransactionsChanged);
    form_->BroadcastToWindows(kEventPendingTransactionsChanged);
    EXPECT_EQ(w->events, QList<int>({1223, 1222}));

    PostGridSum(QStringLiteral("Сумма: 12,50"));
    EXPECT_TRUE(form_->StatusPanels().PanelText(4).isEmpty());
    QApplication::processEvents();
    EXPECT_EQ(form_->StatusPanels().PanelText(4), QStringLiteral("Сумма: 12,50  "));
}

TEST(MainWindowLooks, StatusColoursAndMessagePanelStyles) {
    const QColor keep(1, 2, 3);
    for (int c : {10, 27, 28})
        EXPECT_EQ(TMainForm::StatusColor(c, keep), QColor(255, 255, 0)) << c;
    for (int c : {11, 31})
        EXPECT_EQ(TMainForm::StatusColor(c, keep), QColor(0, 255, 0)) << c;
    for (int c : {20, 23, 26, 33, 34})
        EXPECT_EQ(TMainForm::StatusColor(c, keep), QColor(192, 192, 192)) << c;
    EXPECT_EQ(TMainForm::StatusColor(32, keep), QColor(255, 0, 0));
    for (int c : {0, 19, 29, 30, 35})
        EXPECT_EQ(TMainForm::StatusColor(c, keep), keep) << c;

    auto s = TStatusPanels::StyleMessage(QStringLiteral("!09.12.2026 10:00:00 Отбой связи"));
    EXPECT_EQ(s.color, QColor(Qt::red));
    EXPECT_EQ(s.text, QStringLiteral("09.12.2026 10:00:00 Отбой связи"));
    EXPECT_EQ(TStatusPanels::StyleMessage("*x").color, QColor(Qt::blue));
    EXPECT_EQ(TStatusPanels::StyleMessage("+x").color, QColor(Qt::darkGreen));
    EXPECT_FALSE(TStatusPanels::StyleMessage("plain").color.isValid());
    EXPECT_EQ(TStatusPanels::StyleMessage("plain").text, "plain");
    EXPECT_EQ(TStatusPanels::StyleMessage("!" + QString(600, 'a')).text.size(), 500);
}

TEST_F(MainWindow, GridByPositionFollowsColumnIdentityAndFormats) {
    TAdvColumnGrid grid;
    for (int i = 0; i < 3; ++i)
        grid.AddColumn()->Header = QString::number(i);
    grid.Loaded();
    grid.Column(2)->FloatFormat = "%.2f";
    grid.MoveColumn(2, 0);             // the user moved the price column first
    ScriptedSession& s = Ses("SesTs"); // any session of the main window will do
    s.SetAnswer(
        AnswerBuilder().RawRow(RowOf({"A", "x", "1.5"})).RawRow(RowOf({"B", "y", "n/a"})).Build());
    form_->LoadGridByPosition(form_->SesTs(), grid);
    ASSERT_EQ(grid.RowCount(), grid.FixedRows() + 2);
    const int first = grid.FixedRows();
    const int price = grid.IndexOfColumn(grid.ColumnByTag(2));
    EXPECT_EQ(grid.Cell(grid.IndexOfColumn(grid.ColumnByTag(0)), first), "A");
    EXPECT_EQ(grid.Cell(price, first), FormatNumberPrintf("%.2f", 1.5));
    EXPECT_EQ(grid.Cell(price, first + 1), "n/a"); // shown as it came

    s.SetAnswer(AnswerBuilder().Build());
    form_->LoadGridByPosition(form_->SesTs(), grid);
    EXPECT_EQ(grid.RowCount(), grid.FixedRows() + 1);
    EXPECT_TRUE(grid.Cell(price, first).isEmpty());
}

namespace {
class RecordingFinder : public IWindowFinderService {
public:
    bool BringToFront(const QString& caption) override {
        asked.append(caption);
        return false;
    }
    QStringList asked;
};
} // namespace

TEST_F(MainWindow, ActivationBringsThePasswordWindowForwardOnlyWhileItIsAwaited) {
    auto finder = std::make_shared<RecordingFinder>();
    Services::SetWindowFinder(finder);
    form_->ApplicationActivated();
    EXPECT_TRUE(finder->asked.isEmpty());
    Ses("SesTorg").SetLoginState(true);
    form_->ApplicationActivated();
    EXPECT_EQ(finder->asked, QStringList({QStringLiteral("Ввод пароля")}));
    Services::SetWindowFinder(nullptr);
}

TEST_F(MainWindow, TilingSharesTheFrameAndSkipsMinimizedWindows) {
    form_->resize(900, 700);
    form_->show();
    Open(0);
    Open(0);
    Open(0);
    const QList<QMdiSubWindow*> subs = form_->MdiArea().subWindowList(QMdiArea::CreationOrder);
    subs[2]->showMinimized();
    const QSize area = form_->MdiArea().viewport()->size();
    form_->ActionByText("Окна/Расположить по вертикали")->trigger();
    EXPECT_EQ(subs[0]->geometry(), QRect(0, 0, area.width() / 2, area.height()));
    EXPECT_EQ(subs[1]->geometry().left(), area.width() / 2);
    EXPECT_TRUE(subs[2]->isMinimized());
    form_->ActionByText("Окна/Расположить по горизонтали")->trigger();
    EXPECT_EQ(subs[0]->geometry(), QRect(0, 0, area.width(), area.height() / 2));
    EXPECT_EQ(subs[1]->geometry().top(), area.height() / 2);
    form_->ActionByText("Окна/Свернуть все")->trigger();
    EXPECT_TRUE(subs[0]->isMinimized());
    EXPECT_TRUE(subs[1]->isMinimized());
}
