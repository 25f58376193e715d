// The login chain: what is sent, what is logged, what is reloaded when.
#include "MainFormTestSupport.h"

#include "shell/base/DateValue.h"
#include "shell/main/AboutBox.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QWindow>

namespace {

class StartupChain : public MainFormFixture {};

QStringList Without(QStringList list, const QString& prefix) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const QString& s) { return s.startsWith(prefix); }),
               list.end());
    return list;
}

} // namespace

TEST_F(StartupChain, FirstLoginLoadsEverythingLogsEachStepAndStartsWork) {
    EXPECT_EQ(Ses("SesTorg").LoginCalls(), 1);
    EXPECT_FALSE(form_->WorkStarted());
    EXPECT_TRUE(form_->StatusPanels().PanelText(3).isEmpty());

    Login();
    ASSERT_EQ(Ses("SesTorg").Sent().size(), 1u);
    EXPECT_EQ(Ses("SesTorg").Last().name, "SQLtorgBB");
    EXPECT_EQ(Ses("SesTorg").Last().params, QStringLiteral("vrs=3.72") + QChar(0));

    FeedTorg("D1", "05.03.2007", "1");
    EXPECT_EQ(form_->StatusPanels().PanelText(1), "05.03.2007");
    EXPECT_EQ(form_->StatusPanels().PanelText(2), QStringLiteral("торги открыты"));
    EXPECT_EQ(form_->Refs().TradingDate, ParseDottedDate("05.03.2007"));
    ASSERT_EQ(Ses("SesKto").Sent().size(), 1u);
    EXPECT_EQ(Ses("SesKto").Last().name, "SQLktoExt");
    EXPECT_TRUE(Ses("SesKto").Last().params.isEmpty());

    FeedKto("C1", "S1", QStringLiteral("Брокер: Дилер"), "3");
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("Брокер: Дилер"));
    EXPECT_EQ(form_->Refs().UserKind, 3);
    EXPECT_EQ(Ses("SesCli").Last().params, QStringLiteral("chto=402") + QChar(0));
    EXPECT_EQ(Ses("sesOrderStatus").Last().params,
              QStringLiteral("chto=408") + QChar(0) + QStringLiteral("BackParam=1") + QChar(0));
    const auto userInfo = Ses("sesUserInfo").Sent();
    ASSERT_EQ(userInfo.size(), 2u);
    EXPECT_EQ(userInfo[0].Param("chto"), "420");
    EXPECT_EQ(userInfo[1].Param("chto"), "421");
    EXPECT_EQ(userInfo[1].Param("BackParam"), "1");
    EXPECT_EQ(Without(AllSent(), "SesTorg"),
              QStringList({"SesAcc:SpisokBB:403", "SesAccProv:SpisokBB:407",
                           "SesBoard:SpisokBB:405", "SesBum:SpisokBB:409", "SesCli:SpisokBB:402",
                           "SesKto:SQLktoExt:", "SesTs:SpisokBB:404", "sesOrderStatus:SpisokBB:408",
                           "sesUserInfo:SpisokBB:420", "sesUserInfo:SpisokBB:421"}));
    EXPECT_EQ(form_->StatusPanels().PanelText(3), QStringLiteral("*Загрузка справочников 13%"));

    FeedReferences();
    EXPECT_TRUE(form_->WorkStarted());
    EXPECT_EQ(form_->Progress(), TMainForm::kProgressSteps);
    EXPECT_EQ(Ses("SesIzm").Last().name, "IzmenaBB");
    EXPECT_TRUE(
        form_->StatusPanels().PanelText(3).startsWith(QStringLiteral("+Cвязь установлена ")));

    const TReferenceData& refs = form_->Refs();
    EXPECT_EQ(refs.Clients.Count(), 2);
    EXPECT_EQ(refs.Accounts.Count(), 2);
    EXPECT_EQ(refs.TransactionAccounts.Count(), 1);
    EXPECT_EQ(refs.MoneyItems[0]->Name, QStringLiteral("_Деньги.ММВБ"));
    EXPECT_EQ(refs.Boards[0]->Id, 1);
    EXPECT_EQ(refs.Securities[0]->TradeCode, "GAZP");
    EXPECT_EQ(refs.OrderStatusName(11), QStringLiteral("Исполнена"));
    EXPECT_EQ(form_->Refs().AccountDisplayName(10, "A"), QStringLiteral("A (ИИС)"));
    EXPECT_EQ(&TReferenceData::Current(), &form_->Refs());

    EXPECT_EQ(LogTexts(),
              QStringList({"Установлено соединение с сервером.", "Читаем дату и состояние торгов.",
                           "Читаем идентификатор сессии и клиента", "Читаем справочник клиентов.",
                           "Читаем справочник счетов.", "Читаем справочник счетов2.",
                           "Читаем справочник площадок.", "Читаем справочник секций.",
                           "Читаем справочник бумаг.", "Читаем справочник состояний заявок.",
                           "Читаем справочник пользовательских типов.",
                           "Читаем справочник пользовательских данных.",
                           "Базовые справочники загружены. Построение интерфейса.",
                           "Построение интерфейса закончено."}));
}

TEST_F(StartupChain, PlainReconnectAsksOnlyForTheDaySessionAndOrderStates) {
    FullStart();
    Ses("SesTorg").RaiseDisconnect();
    EXPECT_FALSE(form_->WorkStarted());
    const QString panel = form_->StatusPanels().PanelText(3);
    EXPECT_TRUE(panel.startsWith('!'));
    EXPECT_TRUE(panel.endsWith(QStringLiteral(" Отбой связи")));
    EXPECT_TRUE(LogTexts().contains(QStringLiteral("Потеря связи.Обновление интерфейса.")));

    ClearAllSent();
    ClearLog();
    FullStart(); // same day, client and session
    EXPECT_EQ(AllSent(), QStringList({"SesIzm:IzmenaBB:", "SesKto:SQLktoExt:", "SesTorg:SQLtorgBB:",
                                      "sesOrderStatus:SpisokBB:408"}));
    EXPECT_TRUE(form_->WorkStarted());
    EXPECT_EQ(form_->Progress(), 2); // no dialog preparation this time
    EXPECT_EQ(form_->StatusPanels().PanelText(3).left(6), QStringLiteral("+Cвязь"));
    // The reference lists were kept through the break.
    EXPECT_EQ(form_->Refs().Securities.Count(), 1);
}

TEST_F(StartupChain, NewTradingDayReloadsTheDayListsAndRebuildsTheInterface) {
    FullStart();
    int prepared = 0;
    form_->Hooks().FilterFillTreeAcc = [&] { ++prepared; };
    ClearAllSent();
    FullStart(QStringLiteral("D2"));
    EXPECT_EQ(AllSent(),
              QStringList({"SesAcc:SpisokBB:403", "SesAccProv:SpisokBB:407",
                           "SesBoard:SpisokBB:405", "SesBum:SpisokBB:409", "SesCli:SpisokBB:402",
                           "SesIzm:IzmenaBB:", "SesKto:SQLktoExt:", "SesTorg:SQLtorgBB:",
                           "SesTs:SpisokBB:404", "sesOrderStatus:SpisokBB:408"}));
    EXPECT_EQ(prepared, 1);
    EXPECT_TRUE(form_->InterfaceBuilt());
    EXPECT_TRUE(form_->WorkStarted());
}

TEST_F(StartupChain, NewSessionOrClientReloadsUserInformationToo) {
    FullStart();
    ClearAllSent();
    FullStart(QStringLiteral("D1"), QStringLiteral("C1"), QStringLiteral("S2"));
    EXPECT_EQ(AllSent().size(), 12); // 8 references, 408, the day, the session, IzmenaBB
    ClearAllSent();
    FullStart(QStringLiteral("D1"), QStringLiteral("C2"), QStringLiteral("S2"));
    EXPECT_EQ(AllSent(),
              QStringList({"SesAcc:SpisokBB:403", "SesAccProv:SpisokBB:407", "SesCli:SpisokBB:402",
                           "SesIzm:IzmenaBB:", "SesKto:SQLktoExt:", "SesTorg:SQLtorgBB:",
                           "sesOrderStatus:SpisokBB:408", "sesUserInfo:SpisokBB:420",
                           "sesUserInfo:SpisokBB:421"}));
}

TEST_F(StartupChain, FailingRowsAreLoggedAndSkipped) {
    Login();
    FeedTorg("D1");
    FeedKto("C1", "S1");
    ClearLog();
    Ses("SesBum").FeedData(Rows({{"1", "A", "A", "B", "10", "0", "2", "", "", "7", "0"},
                                 {"2", "B", "B", "B", "abc", "0", "2", "", "", "7", "0"},
                                 {"3", "C", "C", "B", "1", "0", "2", "", "", "7", "0"}}));
    EXPECT_EQ(form_->Refs().Securities.Count(), 2);
    EXPECT_EQ(form_->Refs().Securities[1]->Id, 3);
    EXPECT_TRUE(form_->Marks().Securities);
    EXPECT_EQ(LogTexts(),
              QStringList({"Читаем справочник бумаг.",
                           "EXCEPTION Список бумаг. 'abc' is not a valid integer value"}));
    // A bad order-state code ends that whole answer.
    ClearLog();
    Ses("sesOrderStatus").FeedData(Rows({{"10", "Активна"}, {"x", "?"}, {"11", "Исп"}}));
    EXPECT_EQ(form_->Refs().OrderStatuses.Count(), 1);
    EXPECT_EQ(LogTexts().last(),
              "EXCEPTION MainForm.sesOrderStatusData. 'x' is not a valid integer value");
}

TEST_F(StartupChain, TypesSetTheirMarkOnlyValuesCompleteTheSet) {
    Login();
    FeedTorg("D1");
    FeedKto("C1", "S1");
    for (const char* s : {"SesCli", "SesAcc", "SesAccProv", "SesTs", "SesBoard", "SesBum"})
        Ses(s).FeedData(Rows({{"1", "X", "1", "", "1", "0", "0", "", "", "1", "0"}}));
    Ses("sesUserInfo").FeedData(Rows({{"1", "1", "1", "T"}}, "420"));
    EXPECT_TRUE(form_->Marks().UserInfoTypes);
    EXPECT_FALSE(form_->WorkStarted());
    // A value of an unknown type is dropped; the answer still completes the set.
    Ses("sesUserInfo").FeedData(Rows({{"5", "1", "1", "v"}, {"6", "1", "99", "lost"}}, "421"));
    EXPECT_TRUE(form_->WorkStarted());
    EXPECT_EQ(form_->Refs().UserInfoValues.Count(), 1);
}

TEST_F(StartupChain, TradingStateTextsAndAnUnreadableDate) {
    Login();
    FeedTorg("D1", "31.02.2007", "2");
    EXPECT_EQ(form_->StatusPanels().PanelText(2), QStringLiteral("торги закрыты(в архиве)"));
    EXPECT_EQ(form_->StatusPanels().PanelText(1), "31.02.2007");
    EXPECT_EQ(form_->Refs().TradingDate, 0.0);
    FeedTorg("D1", "01.03.2007", "0");
    EXPECT_EQ(form_->StatusPanels().PanelText(2), QStringLiteral("торги закрыты"));
}

TEST_F(StartupChain, AnEmptyOrBrokenSessionAnswerIsLoggedNotFatal) {
    Login();
    FeedTorg("D1");
    ClearLog();
    FeedKto("C1", "S1", "X", "не число");
    EXPECT_EQ(
        LogTexts(),
        QStringList({"Читаем идентификатор сессии и клиента",
                     "EXCEPTION MainForm.SesKtoData. 'не число' is not a valid integer value"}));
    EXPECT_TRUE(Ses("SesCli").Sent().empty());
    Ses("SesKto").FeedData(Rows({}));
    EXPECT_FALSE(form_->WorkStarted());
}

TEST_F(StartupChain, UserInformationChangeAnswers) {
    FullStart();
    ScriptedSession& s = Ses("sesUserInfo");
    auto answer = [](const QStringList& row, const QString& param3) {
        return AnswerBuilder()
            .RawRow(RowOf(row))
            .Param("chto", "1821")
            .Param("param1", "10")
            .Param("param2", "1")
            .Param("param3", param3)
            .Build();
    };
    s.FeedData(answer({"0", "", "77", ""}, QStringLiteral("Новый")));
    const TUITypeObj* type = FindObject(form_->Refs().UserInfoTypes, kKindUserInfoType, 1);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(FindUserInfo(*type, 10)->Id, 77);
    EXPECT_EQ(form_->Refs().AccountDisplayName(10, "A"), QStringLiteral("A (Новый)"));
    EXPECT_NE(FindObject(form_->Refs().UserInfoValues, kKindUserInfo, 77), nullptr);
}

TEST_F(StartupChain, StartItemsFollowStartWorkAndBreakWork) {
    TWindowCatalog::Register(WindowCommand::Deals,
                             {WindowPlacement::NewChild, [](QWidget*) { return new QWidget; }, {}});
    QAction* deals = form_->CommandAction(WindowCommand::Deals);
    QAction* orders = form_->CommandAction(WindowCommand::Orders);
    QAction* desktop = form_->DesktopMenu()->menuAction();
    EXPECT_FALSE(deals->isEnabled());
    EXPECT_FALSE(desktop->isEnabled());
    FullStart();
    EXPECT_TRUE(deals->isEnabled());
    EXPECT_FALSE(orders->isEnabled()); // its window is not in the program
    EXPECT_TRUE(desktop->isEnabled());
    Ses("SesTorg").RaiseDisconnect();
    EXPECT_FALSE(deals->isEnabled());
    EXPECT_FALSE(desktop->isEnabled());
    TWindowCatalog::Unregister(WindowCommand::Deals);
}

TEST_F(StartupChain, AnswersArrivingInsideAProgressRepaintStartWorkOnce) {
    // Every reference answers by itself on the next event loop turn, which comes
    // inside the progress repaint of whichever handler runs first.
    auto reply = [&](const char* ses, const char* chto, const QStringList& row) {
        Ses(ses).ReplyTo("SpisokBB", chto, Rows({row}, chto));
    };
    const QStringList bum = {"1", "A", "A", "B", "1", "0", "2", "", "", "7", "0"};
    reply("SesCli", "402", {"1", "A", "0"});
    reply("SesAcc", "403", {"1", "A", "1"});
    reply("SesAccProv", "407", {"1", "A", "1"});
    reply("SesTs", "404", {"7", "T", ""});
    reply("SesBoard", "405", {"B", "B", "7", "", "1"});
    reply("SesBum", "409", bum);
    reply("sesOrderStatus", "408", {"10", "A"});
    Ses("sesUserInfo").ReplyTo("SpisokBB", "420", Rows({{"1", "1", "1", "T"}}, "420"));
    Ses("sesUserInfo").ReplyTo("SpisokBB", "421", Rows({{"1", "1", "1", "v"}}, "421"));
    Login();
    FeedTorg("D1");
    FeedKto("C1", "S1");
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(form_->WorkStarted());
    EXPECT_EQ(LogTexts().count("Базовые справочники загружены. Построение интерфейса."), 1);
    EXPECT_EQ(Ses("SesIzm").SentTo("IzmenaBB").size(), 1u);
}

TEST_F(StartupChain, ALoadOvertakenByANewerAnswerLeavesTheNewerList) {
    Login();
    FeedTorg("D1");
    FeedKto("C1", "S1");
    TMainForm::SetLoadSliceMs(0); // let events run after every row
    auto bum = [](const char* id) {
        return QStringList{id, "X", "X", "B", "1", "0", "2", "", "", "7", "0"};
    };
    // The newer answer arrives while the first is being read.
    QTimer::singleShot(0, [&] { Ses("SesBum").FeedData(Rows({bum("7"), bum("8")})); });
    Ses("SesBum").FeedData(Rows({bum("1"), bum("2"), bum("3")}));
    TMainForm::SetLoadSliceMs(40);
    ASSERT_EQ(form_->Refs().Securities.Count(), 2);
    EXPECT_EQ(form_->Refs().Securities[0]->Id, 7);
    EXPECT_EQ(form_->Refs().Securities[1]->Id, 8);
    EXPECT_EQ(LogTexts().count("Читаем справочник бумаг."), 2);
}

TEST_F(StartupChain, DialogPreparationRunsInOrderOnlyWhenTheInterfaceIsStale) {
    QStringList calls;
    TStartupHooks& h = form_->Hooks();
    h.ClearReferenceTrees = [&] { calls << "clear"; };
    h.FilterFillTreeAcc = [&] { calls << "acc"; };
    h.FilterFillTreeBum = [&] { calls << "bum"; };
    h.TransactionFillControls = [&] { calls << "transaction"; };
    h.MarginAddFillTreeBum = [&] { calls << "margin-add"; };
    h.MarginLevelFillControls = [&] { calls << "margin-level"; };
    h.TariffAreaFillTree = [&] { calls << "tariff"; };
    h.CreateChat = [&] {
        calls << "chat";
        throw std::runtime_error("no chat component");
    };
    h.DiscoverPlugins = [&] { calls << "plugins"; };
    h.CloseDialogsOnBreak = [&] { calls << "break"; };
    FullStart();
    EXPECT_EQ(calls, QStringList({"clear", "acc", "bum", "transaction", "margin-add",
                                  "margin-level", "tariff", "chat", "plugins"}));
    // A chat that cannot start is logged and start-up goes on.
    EXPECT_TRUE(LogTexts().contains("EXCEPTION Запуск чата. no chat component"));
    EXPECT_TRUE(form_->WorkStarted());

    calls.clear();
    Ses("SesTorg").RaiseDisconnect();
    FullStart();
    EXPECT_EQ(calls, QStringList({"break", "chat", "plugins"}));
}

// The main window's title is the session's text alone: the program sets no display
// name, which the window system would append to every title; the window, the
// message boxes and the about box carry the program's own icon.
TEST_F(StartupChain, TitleIsTheSessionTextAloneUnderTheProductIcon) {
    ApplyProductIdentity();
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("probe"));
    // Without a display name of its own the application reports its name, and the
    // window system appends nothing.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
    QCoreApplication::setApplicationName(name);

    Login();
    FeedTorg("D1", "05.03.2007", "1");
    FeedKto("C1", "S1", QStringLiteral("Брокер: Дилер"), "3");
    form_->show();
    ASSERT_NE(form_->windowHandle(), nullptr);
    EXPECT_EQ(form_->windowHandle()->title(), QStringLiteral("Брокер: Дилер"));

    for (const QIcon& icon : {form_->windowIcon(), QApplication::windowIcon()})
        EXPECT_FALSE(icon.pixmap(32, 32).isNull());
    TAboutBox about;
    const auto* picture = about.findChild<QLabel*>(QStringLiteral("ProductIcon"));
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->pixmap().isNull());
}
