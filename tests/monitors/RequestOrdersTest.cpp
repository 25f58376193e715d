// The RPS and REPO orders window and the conditional orders window against the
// scripted session: their requests byte for byte, the row fix-ups and colours, the
// withdrawal questions and the two answers, the details item.
#include "ListWindowTestSupport.h"
#include "monitors/OrderDetailsLink.h"
#include "monitors/TFormConditionOrders.h"
#include "monitors/TFormOrdersRPS.h"
#include "monitors/TOrderForm.h"
#include "shell/base/DateValue.h"
#include "shell/base/Services.h"
#include "shell/contract/ShellLink.h"

#include <QDateTime>

using namespace listtest;

namespace {

struct Boxes : IMessageBoxService {
    int Show(QWidget*, const QString& text, const QString&, MsgKind, int, bool) override {
        texts << text;
        return answer;
    }
    QStringList texts;
    int answer = MsgYes;
};

struct Opener : IOrderDetailsOpener {
    void OpenOrderDetails(const QString& number, QWidget* owner, const QDate& date) override {
        calls << QStringLiteral("1418 %1 %2")
                     .arg(number, date.toString(QStringLiteral("dd.MM.yyyy")));
        owners << owner;
    }
    void OpenConditionalOrderDetails(const QString& number, QWidget* owner) override {
        calls << QStringLiteral("1421 ") + number;
        owners << owner;
    }
    QStringList calls;
    QList<QWidget*> owners;
};

ScriptedAnswer ResultAnswer(const char* query, int code, const char* message) {
    return AnswerBuilder()
        .Metadata(QStringLiteral("ExecQueryBB.") + QLatin1String(query))
        .Int(QStringLiteral("RESULT_CODE"))
        .Text(QStringLiteral("RESULT_MSG"))
        .Row({code, message})
        .Build();
}

class RequestOrders : public ::testing::Test {
protected:
    void SetUp() override {
        refs.TradingDate = DateToValue(QDate(2026, 3, 2));
        TReferenceData::SetCurrent(&refs);
        Services::SetMessageBox(boxes);
        IOrderDetailsOpener::SetCurrent(&opener);
        TShellLink::Connect({[](int) {},
                             [this](const QString& text, MsgKind kind, int buttons) {
                                 posted << text;
                                 postedKind = kind;
                                 postedButtons = buttons;
                             }});
    }
    void TearDown() override {
        rps.reset();
        cond.reset();
        TShellLink::Disconnect();
        IOrderDetailsOpener::SetCurrent(nullptr);
        Services::SetMessageBox(nullptr);
        TReferenceData::SetCurrent(nullptr);
    }
    void LoadRps() {
        rps = std::make_unique<TFormOrdersRPS>();
        ScriptedSession& ses = hub.Get(QStringLiteral("sesOrdRPS"));
        AnswerBuilder b;
        b.Metadata(QStringLiteral("SpisokBB.206"));
        for (const char* name : {"ORDER_ID", "BUM_NAME", "ORDER_STATUS_NAME", "BUY_SELL",
                                 "ORDER_TYPE_NAME", "ORDER_PRICE", "ORDER_COUNT", "CLIENT_NAME",
                                 "ACCOUNT_NAME", "ID_ACC", "ORDER_STATUS"})
            b.Text(QString::fromLatin1(name));
        b.Row({"500000001", "SBER", "Отвергнута", "B", "РЕПО", "250,5", "10", "Иванов", "L01", "5",
               "32"});
        b.Row(
            {"500000002", "GAZP", "Частично", "S", "РПС", "160", "3", "Петров", "L02", "x", "12"});
        b.Row({"500000003", "LKOH", "Странный", "S", "РПС", "7000", "1", "", "L03", "6", "abc"});
        ses.FeedData(Echo(ses, b.Build()));
    }
    void LoadConditional() {
        cond = std::make_unique<TFormConditionOrders>();
        ScriptedSession& ses = hub.Get(QStringLiteral("sesConditionOrders"));
        const double start = DateTimeToValue(QDateTime(QDate(2026, 3, 2), QTime(10, 35), Qt::UTC));
        const double stop = DateTimeToValue(QDateTime(QDate(2026, 4, 1), QTime(18, 45), Qt::UTC));
        ses.FeedData(Echo(ses, AnswerBuilder()
                                   .Metadata(QStringLiteral("SpisokBB.208"))
                                   .Text(QStringLiteral("ORDER_ID"))
                                   .Text(QStringLiteral("LIFE_START_DATE_TEXT"))
                                   .Text(QStringLiteral("LIFE_STOP_DATE_TEXT"))
                                   .Text(QStringLiteral("ORDER_STATUS"))
                                   .Text(QStringLiteral("BUY_SELL"))
                                   .Text(QStringLiteral("ID_BUM"))
                                   .Text(QStringLiteral("IF_BUM"))
                                   .BinaryDate(QStringLiteral("LIFE_START_DATE"))
                                   .BinaryDate(QStringLiteral("LIFE_STOP_DATE"))
                                   .Row({"9000001", "02.03.2026", "01.04.2026", "10", "B", "7",
                                         "42", start, stop})
                                   .Row({"9000002", "С момента выставления", "До отмены", "32", "S",
                                         "7", "43", 0.0, 0.0})
                                   .Build()));
    }
    static void Select(TAdvColumnGrid& g, int dataRow) {
        g.setCurrentIndex(g.model()->index(dataRow, 1));
    }

    ScriptedSessionHub hub;
    TReferenceData refs;
    std::shared_ptr<Boxes> boxes = std::make_shared<Boxes>();
    Opener opener;
    QStringList posted;
    MsgKind postedKind = MsgKind::None;
    int postedButtons = 0;
    std::unique_ptr<TFormOrdersRPS> rps;
    std::unique_ptr<TFormConditionOrders> cond;
};

} // namespace

TEST_F(RequestOrders, ListRequestsGoOutAtCreationWithTheStatusMaskAsEachListWantsIt) {
    rps = std::make_unique<TFormOrdersRPS>();
    cond = std::make_unique<TFormConditionOrders>();
    ScriptedSession& r = hub.Get(QStringLiteral("sesOrdRPS"));
    ScriptedSession& c = hub.Get(QStringLiteral("sesConditionOrders"));
    // Neither session connects by itself: the window's first request attached it.
    EXPECT_EQ(r.LoginCalls(), 0);
    ASSERT_EQ(r.Sent().size(), 1u);
    EXPECT_EQ(r.Last().name, QStringLiteral("SpisokBB"));
    EXPECT_EQ(r.Last().params,
              Pieces({"chto=206", "filter_acc=", "filter_bum=", "filter_buy_sell="}));
    ASSERT_EQ(c.Sent().size(), 1u);
    EXPECT_EQ(c.Last().params, Pieces({"chto=208", "filter_acc=", "filter_bum=",
                                       "filter_order_status=0", "filter_buy_sell="}));
    // Every login sends again.
    r.RaiseLogin();
    c.RaiseLogin();
    EXPECT_EQ(r.Sent().size(), 2u);
    EXPECT_EQ(c.Sent().size(), 2u);
}

TEST_F(RequestOrders, RpsRowsTakeAccountNamesColoursAndNavyBuys) {
    LoadRps();
    TAdvColumnGrid& g = rps->GridOrdersRPS();
    ASSERT_EQ(DataRows(g), 3);
    const int status = gridcols::RealByTag(g, TFormOrdersRPS::kStatusName);
    const int price = gridcols::RealByTag(g, TFormOrdersRPS::kPrice);
    struct Case {
        int row;
        QColor background;
        QColor text;
    } cases[] = {
        {1, QColor(255, 0, 0), QColor(0, 0, 128)}, // 32 red, a buy
        {2, QColor(), QColor()},                   // 12 has no colour
        {3, QColor(), QColor()},                   // not a number counts 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        EXPECT_EQ(g.CellLook(status, c.row).Background, c.background);
        EXPECT_FALSE(g.CellLook(price, c.row).Background.isValid());
        EXPECT_EQ(g.CellLook(price, c.row).Text, c.text);
    }
    // Client and status names stay as the server sent them.
    EXPECT_EQ(Cell(g, TFormOrdersRPS::kClientName, 0), QStringLiteral("Иванов"));
    EXPECT_EQ(Cell(g, TFormOrdersRPS::kStatusName, 0), QStringLiteral("Отвергнута"));
}

TEST_F(RequestOrders, WithdrawalsAskTheirQuestionAndFollowTheResultCode) {
    struct Case {
        const char* name;
        const char* listSession;
        const char* execSession;
        const char* query;
        QString question;
    };
    const Case cases[] = {
        {"rps", "sesOrdRPS", "sesDelRps", "60",
         QStringLiteral("Снять заявку №500000001 по \"SBER\" \r\n10 лот. по 250,5\r\nтип "
                        "заявки \"РЕПО\" ?")},
        {"conditional", "sesConditionOrders", "sesOrderExec", "70",
         QStringLiteral("Снять условную заявку №9000001 ?")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes->texts.clear();
        posted.clear();
        const bool isRps = QLatin1String(c.query) == QLatin1String("60");
        isRps ? LoadRps() : LoadConditional();
        TAdvColumnGrid& g = isRps ? rps->GridOrdersRPS() : cond->GridCondition();
        QMenu& popup = *(isRps ? rps->PopupMenu() : cond->PopupMenu());
        Select(g, 0);
        boxes->answer = MsgNo;
        Trigger(popup, "Снять заявку");
        EXPECT_EQ(boxes->texts, QStringList{c.question});
        EXPECT_EQ(hub.Find(QString::fromLatin1(c.execSession)), nullptr);
        boxes->answer = MsgYes;
        Trigger(popup, "Снять заявку");
        ScriptedSession& exec = hub.Get(QString::fromLatin1(c.execSession));
        ASSERT_EQ(exec.Sent().size(), 1u);
        EXPECT_TRUE(exec.Last().command);
        EXPECT_EQ(exec.Last().params,
                  Pieces({"chto", c.query, "param0", isRps ? "500000001" : "9000001"}));

        ScriptedSession& list = hub.Get(QString::fromLatin1(c.listSession));
        const size_t sent = list.Sent().size();
        exec.FeedData(ResultAnswer(c.query, -1, "Заявка не может быть снята"));
        EXPECT_EQ(posted, QStringList{QStringLiteral("Заявка не может быть снята")});
        EXPECT_EQ(postedKind, MsgKind::Error);
        EXPECT_EQ(postedButtons, int(MsgCancel));
        EXPECT_EQ(list.Sent().size(), sent); // a refusal leaves the list as it is
        EXPECT_EQ(DataRows(g), isRps ? 3 : 2);
        exec.FeedData(ResultAnswer(c.query, 0, ""));
        EXPECT_EQ(posted.size(), 1);
        EXPECT_EQ(list.Sent().size(), sent + 1);
    }
}

TEST_F(RequestOrders, ConditionalPeriodsShowDayAndTimeOrTheServersOwnText) {
    LoadConditional();
    TAdvColumnGrid& g = cond->GridCondition();
    EXPECT_EQ(Cell(g, TFormConditionOrders::kStartText, 0), QStringLiteral("02.03.2026 10:35"));
    EXPECT_EQ(Cell(g, TFormConditionOrders::kStopText, 0), QStringLiteral("01.04.2026 18:45"));
    EXPECT_EQ(Cell(g, TFormConditionOrders::kStartText, 1),
              QStringLiteral("С момента выставления"));
    EXPECT_EQ(Cell(g, TFormConditionOrders::kStopText, 1), QStringLiteral("До отмены"));
    // "Информация по бумаге..." shows the condition's security.
    EXPECT_EQ(Cell(g, TFormConditionOrders::kIdBum, 0), QStringLiteral("42"));
    const int status = gridcols::RealByTag(g, TFormConditionOrders::kStatusName);
    EXPECT_EQ(g.CellLook(status, 1).Background, QColor(255, 255, 0));
    EXPECT_EQ(g.CellLook(status, 2).Background, QColor(255, 0, 0));
    EXPECT_EQ(g.CellLook(status, 1).Text, QColor(0, 0, 128));

    // The period columns order by day and time, not by text.
    EXPECT_EQ(ConditionPeriodText(0), QString());
    g.SetRowCount(4);
    gridcols::SetTextByTag(g, TFormConditionOrders::kStartText, 1,
                           QStringLiteral("02.03.2026 10:35"));
    gridcols::SetTextByTag(g, TFormConditionOrders::kStartText, 2,
                           QStringLiteral("01.04.2025 09:00"));
    gridcols::SetTextByTag(g, TFormConditionOrders::kStartText, 3,
                           QStringLiteral("02.03.2026 09:59"));
    g.SortByColumn(gridcols::RealByTag(g, TFormConditionOrders::kStartText), true);
    EXPECT_EQ(Cell(g, TFormConditionOrders::kStartText, 0), QStringLiteral("01.04.2025 09:00"));
    EXPECT_EQ(Cell(g, TFormConditionOrders::kStartText, 1), QStringLiteral("02.03.2026 09:59"));
}

TEST_F(RequestOrders, DetailsItemOpensTheRightKindOfDetailsForTheRowOnly) {
    LoadRps();
    LoadConditional();
    Select(rps->GridOrdersRPS(), 1);
    Trigger(*rps->PopupMenu(), "Дополнительная информация по заявке");
    Select(cond->GridCondition(), 0);
    Trigger(*cond->PopupMenu(), "Дополнительная информация по заявке");
    rps->GridOrdersRPS().setCurrentIndex(QModelIndex());
    Trigger(*rps->PopupMenu(), "Дополнительная информация по заявке");
    // The orders window passes the number of its fixed column and the trading day.
    TOrderForm orders;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesOrd"));
    orders.SesOrdLogin();
    ses.FeedData(Echo(ses, AnswerBuilder()
                               .Metadata(QStringLiteral("SpisokBB.211"))
                               .Text(QStringLiteral("ORDER_NUM"))
                               .Text(QStringLiteral("ORDER_STATUS"))
                               .Text(QStringLiteral("KEY_FIELD"))
                               .Row({"1000017", "10", "1000017"})
                               .Build()));
    Select(orders.GridOrd(), 0);
    Trigger(*orders.PopupMenu(), "Дополнительная информация по заявке");
    EXPECT_EQ(opener.calls, (QStringList{QStringLiteral("1418 500000002 02.03.2026"),
                                         QStringLiteral("1421 9000001"),
                                         QStringLiteral("1418 1000017 02.03.2026")}));
    EXPECT_EQ(opener.owners, (QList<QWidget*>{rps.get(), cond.get(), &orders}));
}
