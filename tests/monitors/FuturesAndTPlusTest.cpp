// The futures positions and T+ balances windows: when each page asks for its list and
// what it sends, the money colours, the filters' asking and keeping order, the T+
// busy state and its formats by row.
#include "ListWindowTestSupport.h"
#include "filter/TFormFiltr.h"
#include "monitors/TFormOstatkiTn.h"
#include "monitors/TFormPortfelFut.h"
#include "session/wire/Cp1251.h"
#include "shell/base/Log.h"
#include "shell/base/WorkstationLocale.h"

#include <QCoreApplication>
#include <QDateEdit>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

using namespace listtest;

namespace {

const QChar kNbsp(0x00A0);

class FuturesAndTPlus : public ::testing::Test {
protected:
    void SetUp() override {
        TReferenceData::SetCurrent(&refs);
        for (int id : {5, 7}) {
            auto acc = std::make_unique<TAccObj>();
            acc->Id = id;
            acc->Name = QStringLiteral("Счет %1").arg(id);
            refs.Accounts.Append(std::move(acc));
        }
    }
    void TearDown() override {
        TReferenceData::SetCurrent(nullptr);
        if (TFormFiltr::HasInstance())
            TFormFiltr::Instance().ClearTrees();
    }
    // Leaves account 5 alone checked in the filter dialog and confirms it on show.
    void ConfirmFilterWithAccount5() {
        TFormFiltr& dialog = TFormFiltr::Instance();
        dialog.FillTreeAcc(refs);
        dialog.FillTreeBum(refs);
        TFilterTree& tree = dialog.Logic().AccTree;
        tree.SetMark(tree.Order()[2], CheckMark::Unchecked);
        QTimer::singleShot(0, &dialog, [&dialog] { dialog.ConfirmClick(); });
    }

    ScopedWorkstationLocale locale{WorkstationLocale::Russian()};
    ScriptedSessionHub hub;
    TReferenceData refs;
};

ScriptedAnswer Money(std::initializer_list<std::array<const char*, 4>> rows) {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.210"))
        .Text(QStringLiteral("NAME_ACC"))
        .Float(QStringLiteral("MONEY_FREE"))
        .Float(QStringLiteral("MONEY_SUM_DEPOSIT"))
        .Float(QStringLiteral("MONEY_TOTAL"))
        .Text(QStringLiteral("PLAN_MONEY_TOTAL"))
        .Int(QStringLiteral("ID_ACC"));
    for (const auto& r : rows)
        b.Row({"Счет", QString::fromLatin1(r[0]).toDouble(), QString::fromLatin1(r[1]).toDouble(),
               QString::fromLatin1(r[2]).toDouble(), QString::fromLatin1(r[3]), 5});
    return b.Build();
}

ScriptedAnswer Balances(std::initializer_list<std::array<const char*, 3>> rows) {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.310"))
        .Text(QStringLiteral("dtorg"))
        .Float(QStringLiteral("curr"))
        .Float(QStringLiteral("plann"))
        .Int(QStringLiteral("ID_BUM"));
    for (const auto& r : rows)
        b.Row({"02.03.2026", QString::fromLatin1(r[0]).toDouble(),
               QString::fromLatin1(r[1]).toDouble(), QString::fromLatin1(r[2]).toInt()});
    return b.Build();
}

QString Today() {
    return QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
}

} // namespace

TEST_F(FuturesAndTPlus, FuturesPagesAskForTheirListsWhenShownSwitchedRefreshedOrLoggedIn) {
    TFormPortfelFut form;
    ScriptedSession& fut = hub.Get(QStringLiteral("SesPortfelFut"));
    EXPECT_EQ(hub.Find(QStringLiteral("sesMoneyPos")), nullptr); // attaches on first use
    EXPECT_TRUE(fut.Sent().empty());
    form.show();
    QCoreApplication::processEvents();
    const QString contracts = Pieces({"chto=209", "filter_acc=", "filter_bum="});
    ASSERT_EQ(fut.Sent().size(), 1u);
    EXPECT_EQ(fut.Last().params, contracts);

    struct Step {
        const char* what;
        std::function<void()> act;
        const char* session;
        const char* params;
    };
    QTabWidget& pages = form.PageControl1();
    const std::vector<Step> steps = {
        {"money page shown", [&] { pages.setCurrentIndex(1); }, "sesMoneyPos", "chto=210"},
        {"refresh on money", [&] { form.BtnRefreshClick(); }, "sesMoneyPos", "chto=210"},
        {"money login", [&] { hub.Get("sesMoneyPos").RaiseLogin(); }, "sesMoneyPos", "chto=210"},
        {"back to contracts", [&] { pages.setCurrentIndex(0); }, "SesPortfelFut", "chto=209"},
        {"refresh on contracts", [&] { form.BtnRefreshClick(); }, "SesPortfelFut", "chto=209"},
        {"contracts login", [&] { fut.RaiseLogin(); }, "SesPortfelFut", "chto=209"},
    };
    for (const Step& step : steps) {
        std::map<ScriptedSession*, size_t> before;
        for (ScriptedSession* s : hub.Live())
            before[s] = s->Sent().size();
        step.act();
        ScriptedSession& target = hub.Get(QString::fromLatin1(step.session));
        EXPECT_EQ(target.Sent().size(), before[&target] + 1) << step.what;
        EXPECT_TRUE(target.Last().params.startsWith(QString::fromLatin1(step.params) + QChar(0)))
            << step.what;
        for (ScriptedSession* s : hub.Live()) {
            if (s != &target) {
                EXPECT_EQ(s->Sent().size(), before[s])
                    << step.what << " " << s->Name().toStdString();
            }
        }
    }
    EXPECT_EQ(hub.Get("sesMoneyPos").Last().params, Pieces({"chto=210"}));
}

TEST_F(FuturesAndTPlus, NegativeFreeAndTotalMoneyIsRedOtherCellsKeepTheirColour) {
    TFormPortfelFut form;
    form.PageControl1().setCurrentIndex(1);
    ScriptedSession& ses = hub.Get(QStringLiteral("sesMoneyPos"));
    ses.FeedData(Echo(ses, Money({{"-12345.5", "-3", "-13.5", "-1"}, {"0", "5", "5", "abc"}})));
    TAdvColumnGrid& grid = form.GridMoneyPos();
    ASSERT_EQ(DataRows(grid), 2);
    const QColor red(255, 0, 0);
    struct Case {
        int tag;
        int row;
        bool red;
    };
    for (const Case& c :
         {Case{TFormPortfelFut::kMoneyFree, 0, true}, Case{TFormPortfelFut::kMoneyTotal, 0, true},
          Case{TFormPortfelFut::kPlanMoneyTotal, 0, true},
          Case{TFormPortfelFut::kMoneySumDeposit, 0, false},
          Case{TFormPortfelFut::kMoneyFree, 1, false},
          Case{TFormPortfelFut::kPlanMoneyTotal, 1, false}}) {
        const TCellLook look =
            grid.CellLook(gridcols::RealByTag(grid, c.tag), grid.FixedRows() + c.row);
        EXPECT_EQ(look.Text == red, c.red) << c.tag << " row " << c.row;
    }
    EXPECT_EQ(Cell(grid, TFormPortfelFut::kMoneyFree, 0), QStringLiteral("-12") + kNbsp + "345,50");
    EXPECT_EQ(Cell(grid, TFormPortfelFut::kPlanMoneyTotal, 1), QStringLiteral("abc"));
    EXPECT_EQ(Cell(grid, TFormPortfelFut::kMoneyNameAcc, 0), QStringLiteral("Счет"));
    // The money grid has no instrument id, the contracts grid has.
    EXPECT_EQ(grid.ColumnByTag(TFormPortfelFut::kIdBum), nullptr);
    EXPECT_NE(form.GridPortfelFut().ColumnByTag(TFormPortfelFut::kIdBum), nullptr);
}

TEST_F(FuturesAndTPlus, FuturesFilterAsksSecuritiesThenAccountsAndSendsTheListsOnly) {
    TFormPortfelFut form;
    ScriptedSession& fut = hub.Get(QStringLiteral("SesPortfelFut"));
    ConfirmFilterWithAccount5();
    Trigger(*form.ContractsPopup(), "Фильтр");
    EXPECT_EQ(form.Condition(), QStringLiteral(" AND (ID_ACC=5)"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Фьючерсные позиции | Счет 5"));
    ASSERT_EQ(fut.Sent().size(), 1u);
    EXPECT_EQ(fut.Last().params, Pieces({"chto=209", "filter_acc=5", "filter_bum="}));
    EXPECT_EQ(form.property("InternalFilterListAcc").toString(), QStringLiteral("5"));
    // Restored lists travel with the next contracts request.
    form.setProperty("InternalFilterListBum", QStringLiteral("11\r\n12"));
    form.RefreshList();
    EXPECT_EQ(fut.Last().params, Pieces({"chto=209", "filter_acc=5", "filter_bum=11,12"}));
}

TEST_F(FuturesAndTPlus, TPlusLogsThenSendsTheRangeAndWaitsForTheAnswer) {
    QTemporaryDir dir;
    SetLogFileName(dir.filePath("w.log"));
    TFormOstatkiTn form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesAPrf"));
    form.setProperty("SQLFilter", QStringLiteral(" AND (ID_ACC=5)"));
    EXPECT_TRUE(ses.Sent().empty()); // writing the filter sends nothing
    form.DTPend().setDate(QDate::currentDate().addDays(2));
    ses.RaiseLogin();
    const QString to = QDate::currentDate().addDays(2).toString(QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(ses.Last().params, QStringLiteral("chto=310") + QChar(0) +
                                     QStringLiteral("fltr= AND (ID_ACC=5)") + QChar(0) +
                                     QStringLiteral("param0=") + Today() + QChar(0) +
                                     QStringLiteral("param1=") + to + QChar(0));
    EXPECT_TRUE(form.Busy());
    ses.FeedData(Echo(ses, Balances({{"1", "2", "3"}})));
    SetLogFileName(QString());
    QFile log(dir.filePath("w.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines = Cp1251::Decode(log.readAll()).split(QStringLiteral("\r\n"));
    QStringList texts;
    for (const QString& line : lines)
        if (!line.isEmpty())
            texts << line.section(QLatin1Char(' '), 4); // past the time and the thread
    EXPECT_EQ(texts, (QStringList{QStringLiteral("chto=310 fltr= AND (ID_ACC=5) param0=") + Today(),
                                  QStringLiteral("SesAPrfData start"),
                                  QStringLiteral("SesAPrfData end")}));
}

TEST_F(FuturesAndTPlus, TPlusButtonsComeBackOnDataDisconnectAndAFailedSend) {
    TFormOstatkiTn form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesAPrf"));
    const std::vector<std::pair<const char*, std::function<void()>>> endings = {
        {"data", [&] { ses.FeedData(Echo(ses, Balances({}))); }},
        {"disconnect", [&] { ses.RaiseDisconnect(); }},
    };
    for (const auto& [what, end] : endings) {
        form.Button1Click();
        EXPECT_FALSE(form.Button1().isEnabled()) << what;
        EXPECT_FALSE(form.BtnFilter().isEnabled()) << what;
        EXPECT_EQ(form.GridAPortfel().cursor().shape(), Qt::BusyCursor) << what;
        EXPECT_EQ(form.TopPanel().cursor().shape(), Qt::BusyCursor) << what;
        end();
        EXPECT_TRUE(form.Button1().isEnabled()) << what;
        EXPECT_TRUE(form.BtnFilter().isEnabled()) << what;
        EXPECT_NE(form.GridAPortfel().cursor().shape(), Qt::BusyCursor) << what;
    }
    ses.FailNext(QStringLiteral("server gone"));
    EXPECT_ANY_THROW(form.Button1Click());
    EXPECT_TRUE(form.Button1().isEnabled());
    EXPECT_FALSE(form.Busy());
}

TEST_F(FuturesAndTPlus, TPlusFormatsMoneyWithTwoDecimalsAndSecuritiesWholeInBothLocales) {
    struct Case {
        WorkstationLocale locale;
        QString money;
        QString security;
    };
    const std::vector<Case> cases = {
        {WorkstationLocale::Russian(), QStringLiteral("1") + kNbsp + "234,50", "-7"},
        {WorkstationLocale::English(), QStringLiteral("1,234.50"), "-7"},
    };
    for (const Case& c : cases) {
        ScopedWorkstationLocale scoped(c.locale);
        TFormOstatkiTn form;
        ScriptedSession& ses = hub.Get(QStringLiteral("SesAPrf"));
        form.Button1Click();
        ses.FeedData(Echo(ses, Balances({{"1234.5", "0", "-1"}, {"-7.2", "3", "12"}})));
        const TAdvColumnGrid& grid = form.GridAPortfel();
        ASSERT_EQ(DataRows(grid), 2);
        EXPECT_EQ(Cell(grid, TFormOstatkiTn::kCurr, 0), c.money);
        EXPECT_EQ(Cell(grid, TFormOstatkiTn::kPlann, 0),
                  c.locale.decimalSeparator == QLatin1Char(',') ? QStringLiteral("0,00")
                                                                : QStringLiteral("0.00"));
        EXPECT_EQ(Cell(grid, TFormOstatkiTn::kCurr, 1), c.security);
        EXPECT_EQ(Cell(grid, TFormOstatkiTn::kPlann, 1), QStringLiteral("3"));
    }
}

TEST_F(FuturesAndTPlus, TPlusFilterKeepsAccountsSecuritiesAndPositionInAskingOrder) {
    TFormOstatkiTn form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesAPrf"));
    ConfirmFilterWithAccount5();
    TFormFiltr::Instance().Logic().Long = false;
    Trigger(*form.PopupMenu(), "Фильтр");
    TFormFiltr::Instance().Logic().Long = true;
    EXPECT_EQ(form.SQLFilter(), QStringLiteral(" AND (ID_ACC=5) AND (curr<0 OR plann<0)"));
    EXPECT_EQ(form.windowTitle(),
              QStringLiteral("Остатки и план поставок Т+  | Счет 5 | {короткая}"));
    ASSERT_EQ(ses.Sent().size(), 1u);
    EXPECT_EQ(ses.Last().Param(QStringLiteral("fltr")), form.SQLFilter());
}
