// The portfolio, position and transactions windows: request strings, property rules,
// formats by row, the keyed change dispatch, colours and the transaction actions.
#include "ListWindowTestSupport.h"
#include "monitors/TFormPos.h"
#include "monitors/TFormPrf.h"
#include "monitors/TFormProv.h"
#include "shell/base/WorkstationLocale.h"
#include "shell/contract/ShellEvents.h"
#include "shell/main/ChangeDispatcher.h"

#include <QCoreApplication>
#include <QToolBar>

using namespace listtest;

namespace {

const QChar kNbsp(0x00A0);

class ListWindows : public ::testing::Test {
protected:
    void SetUp() override { TReferenceData::SetCurrent(&refs); }
    void TearDown() override { TReferenceData::SetCurrent(nullptr); }

    ScopedWorkstationLocale locale{WorkstationLocale::Russian()};
    ScriptedSessionHub hub;
    TReferenceData refs;
};

ScriptedAnswer Portfolio(std::initializer_list<std::pair<const char*, const char*>> rows) {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.212"))
        .Text(QStringLiteral("NAME_BUM"))
        .Float(QStringLiteral("curr_saldo"))
        .Int(QStringLiteral("ID_ACC"))
        .Text(QStringLiteral("ID_BUM"))
        .Text(QStringLiteral("KEY_FIELD"));
    for (const auto& [bum, saldo] : rows)
        b.Row({"X", QString::fromLatin1(saldo).toDouble(), 7, bum,
               QStringLiteral("7_") + QString::fromLatin1(bum)});
    return b.Build();
}

// Records what the transactions window asks of the new-transaction dialog.
struct FakeTransactionDialog : INewTransactionDialog {
    void OpenEmpty() override { calls << QStringLiteral("empty"); }
    void OpenFilled(const QString& debit, const QString& credit, const QString& price,
                    const QString& reason, const QString& amount,
                    const QString& instrument) override {
        calls << QStringList{debit, credit, price, reason, amount, instrument}.join(u'|');
    }
    QStringList calls;
};

} // namespace

TEST_F(ListWindows, PortfolioRequestsFullAndKeyedByteForByte) {
    TFormPrf form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesPrf"));
    form.setProperty("SQLFilter", QStringLiteral(" AND (ID_ACC=7)"));
    EXPECT_EQ(ses.LoginCalls(), 0); // the filter text is only stored
    EXPECT_EQ(form.property("RestoredComplete").toInt(), 0);
    form.setProperty("RestoredComplete", 1);
    EXPECT_EQ(ses.LoginCalls(), 1);
    ses.RaiseLogin();
    EXPECT_EQ(ses.Last().params,
              Pieces({"chto=212", "filter_acc=", "filter_bum=", "filter_short_long="}));

    form.setProperty("InternalFilterListAcc", QStringLiteral("7\r\n8"));
    form.setProperty("InternalFilterListBum", QStringLiteral("15\r\n-1"));
    form.setProperty("InternalFilterShortLong", QStringLiteral("L"));
    const QString longTail(300, QLatin1Char('9'));
    form.RefreshByKeys({QStringLiteral("7_15"), QStringLiteral("nokey"), QStringLiteral("7_-1"),
                        QStringLiteral("8_") + longTail});
    const QString expected =
        Pieces({"chto=213", "filter_acc=7,8", "filter_bum=15,-1", "filter_short_long=L", "param0=7",
                "param1=15", "param4=7", "param5=-1", "param6=8"}) +
        QStringLiteral("param7=") + longTail.left(255) + QChar(0) +
        Pieces({"LoopBackCount=2", "LoopBack0=UPDATE_WITH_KEY_FIELD"}) +
        QStringLiteral("LoopBack1=7_15,nokey,7_-1,8_") + longTail + QChar(0);
    EXPECT_EQ(ses.Last().params, expected);
    EXPECT_EQ(form.property("InternalFilterListBum").toString(), QStringLiteral("15\r\n-1"));
    EXPECT_EQ(form.Tag(), 4);
}

TEST_F(ListWindows, PortfolioBalancesFormatByRowAndMergeByKey) {
    TFormPrf form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesPrf"));
    form.RefreshList();
    ses.FeedData(Echo(ses, Portfolio({{"-1", "1234.5"}, {"15", "20"}, {"", "3.7"}})));
    TAdvColumnGrid& grid = form.GridPrf();
    ASSERT_EQ(DataRows(grid), 3);
    EXPECT_EQ(Cell(grid, TFormPrf::kCurrSaldo, 0), QStringLiteral("1") + kNbsp + "234,50");
    EXPECT_EQ(Cell(grid, TFormPrf::kCurrSaldo, 1), QStringLiteral("20"));
    EXPECT_EQ(Cell(grid, TFormPrf::kCurrSaldo, 2), QStringLiteral("4")); // empty id counts 0

    form.RefreshByKeys({QStringLiteral("7_15"), QStringLiteral("7_")});
    ses.FeedData(Echo(ses, Portfolio({{"15", "25"}})));
    ASSERT_EQ(DataRows(grid), 2); // "7_" was asked and not returned: its row goes
    EXPECT_EQ(Cell(grid, TFormPrf::kCurrSaldo, 1), QStringLiteral("25"));
}

TEST_F(ListWindows, FewerThanSixPortfolioKeysGoKeyedSixOrMoreReloadInFull) {
    TFormPrf form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesPrf"));
    TChangeDispatcher dispatcher([&](int tag) {
        return tag == kTagPortfolio ? std::vector<IMonitorWindow*>{&form}
                                    : std::vector<IMonitorWindow*>{};
    });
    for (const auto& [keys, chto] : {std::pair{5, "213"}, std::pair{6, "212"}}) {
        for (int k = 0; k < keys; ++k)
            dispatcher.NoteChange(3, QStringLiteral("7_%1").arg(k));
        dispatcher.CheckChangeTimer1Timer();
        EXPECT_EQ(ses.Last().Param(QStringLiteral("chto")), QString::fromLatin1(chto)) << keys;
    }
}

TEST_F(ListWindows, PositionSendsWithoutCacheWithTheGroupingClause) {
    TFormPos form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesPos"));
    form.setProperty("SQLFilter", QString());
    EXPECT_EQ(ses.LoginCalls(), 1);
    ses.RaiseLogin();
    EXPECT_EQ(ses.Last().params, Pieces({"chto=204", "fltr= group by ID_BUM,INSTR "}));
    EXPECT_EQ(form.GridPos().cursor().shape(), Qt::BusyCursor);
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.204"))
        .Text(QStringLiteral("instr"))
        .Float(QStringLiteral("curr_pos"))
        .Int(QStringLiteral("ID_BUM"));
    b.Row({"_Деньги.Фондовый", 1500.255, -1}).Row({"SBER", 70.0, 12});
    ses.FeedData(b.Build());
    EXPECT_NE(form.GridPos().cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(Cell(form.GridPos(), TFormPos::kCurrPos, 0), QStringLiteral("1") + kNbsp + "500,26");
    EXPECT_EQ(Cell(form.GridPos(), TFormPos::kCurrPos, 1), QStringLiteral("70"));

    form.setProperty("SQLFilter", QStringLiteral(" AND (ID_ACC=5) AND (TS=1)"));
    ses.RaiseLogin();
    EXPECT_EQ(ses.Last().params,
              Pieces({"chto=204", "fltr= AND (ID_ACC=5) AND (TS=1) group by ID_BUM,INSTR "}));
    // The identity column is offered and saved like a design-time one.
    EXPECT_TRUE(form.GridPos().ColumnByTag(TFormPos::kIdBum) != nullptr);
}

TEST_F(ListWindows, TransactionsLogInAtCreationSendOnFilterWriteAndOnTheBroadcast) {
    TFormProv form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesProv"));
    EXPECT_EQ(ses.LoginCalls(), 1);
    ses.RaiseLogin();
    EXPECT_EQ(ses.Last().params, Pieces({"chto=205", "fltr="}));
    form.setProperty("SQLFilter", QStringLiteral(" AND (ID_ACC_DEBET=5) AND (ID_BUM=-1)"));
    EXPECT_EQ(ses.Sent().size(), 2u);
    EXPECT_EQ(ses.Last().params,
              Pieces({"chto=205", "fltr= AND (ID_ACC_DEBET=5) AND (ID_BUM=-1)"}));
    QEvent changed(ShellEventType(kEventTransactionsChanged));
    QCoreApplication::sendEvent(&form, &changed);
    EXPECT_EQ(ses.Sent().size(), 3u);
    QEvent pending(ShellEventType(kEventPendingTransactionsChanged));
    QCoreApplication::sendEvent(&form, &pending);
    EXPECT_EQ(ses.Sent().size(), 3u);
}

TEST_F(ListWindows, NegativeTransactionsAreRedAndRowsCopyIntoTheDialog) {
    TFormProv::SetNewTransactionDialog(nullptr);
    {
        TFormProv without;
        for (const char* name : {"BtnNewProv", "BtnCopyProv"}) {
            QAction* button = without.Panel1()->findChild<QAction*>(QString::fromLatin1(name));
            ASSERT_NE(button, nullptr) << name;
            EXPECT_FALSE(button->isEnabled()) << name;
        }
    }
    FakeTransactionDialog dialog;
    TFormProv::SetNewTransactionDialog(&dialog);
    TFormProv form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesProv"));
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.205"));
    for (const char* name :
         {"id_pr", "instr", "pvol", "prim", "pprice", "ID_ACC_DEBET", "ID_ACC_KREDIT"})
        b.Text(QString::fromLatin1(name));
    b.Row({"1", "SBER", "-12,5", "", "250", "5", "0"});
    b.Row({"2", "_Деньги.Фондовый", "100", "Перевод", "", "7", "5"});
    form.SesProvLogin();
    ses.FeedData(Echo(ses, b.Build()));
    TAdvColumnGrid& grid = form.GridProv();
    const int volume = gridcols::RealByTag(grid, TFormProv::kVolume);
    const int reason = gridcols::RealByTag(grid, TFormProv::kReason);
    EXPECT_EQ(grid.CellLook(volume, 1).Background, QColor(255, 0, 0));
    EXPECT_FALSE(grid.CellLook(reason, 1).Background.isValid()); // empty cell
    EXPECT_FALSE(grid.CellLook(volume, 2).Background.isValid());

    Trigger(*form.PopupMenu(), "Новая проводка");
    form.GridProvDblClickCell(1, reason); // empty cell: nothing
    form.GridProvDblClickCell(0, volume); // header: nothing
    form.GridProvDblClickCell(2, volume);
    grid.setCurrentIndex(grid.model()->index(0, grid.DisplColIndex(volume)));
    Trigger(*form.PopupMenu(), "Копировать проводку");
    EXPECT_EQ(dialog.calls,
              (QStringList{"empty", QStringLiteral("7|5||Перевод|100|_Деньги.Фондовый"),
                           QStringLiteral("5|0|250||-12,5|SBER")}));
    TFormProv::SetNewTransactionDialog(nullptr);
}
