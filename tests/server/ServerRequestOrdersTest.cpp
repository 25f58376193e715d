// Order details "SpisokIFD" (1418, 1421), the RPS and REPO orders 206 with their
// withdrawal 60, the conditional orders 208 with theirs 70.
#include "ServerTestSupport.h"

#include <QSqlQuery>

using WireText::SplitRow;

namespace {

// The pairs of a details answer as name -> value.
QMap<QString, QString> PairsOf(const EngineResult& r) {
    QMap<QString, QString> pairs;
    for (const QString& row : r.answer.rows) {
        const QStringList f = SplitRow(row);
        pairs.insert(f.value(0), f.value(1));
    }
    return pairs;
}

class ServerRequestOrdersTest : public DemoStoreTest {
protected:
    EngineResult Details(std::initializer_list<std::pair<QString, QString>> params) {
        return Pair(QStringLiteral("SpisokIFD"), params);
    }
    QString Scalar(const char* sql) {
        return store_.ScalarQuery(QString::fromUtf8(sql)).toString();
    }
};

} // namespace

TEST_F(ServerRequestOrdersTest, DetailsAnswerPairsOfTheOrderOfThatDayOrNothing) {
    const QString today =
        Scalar("SELECT MIN(order_num) FROM orders WHERE order_date = '2026-03-02'");
    const QString archived =
        Scalar("SELECT MIN(order_num) FROM orders WHERE order_date < '2026-03-02'");
    const QString archivedDay = DottedDate(
        store_
            .ScalarQuery(QStringLiteral("SELECT order_date FROM orders WHERE order_num = ?"),
                         {archived})
            .toString());
    const QString rps = Scalar("SELECT MIN(order_id) FROM rps_order");
    const QString repo = Scalar("SELECT MIN(order_id) FROM rps_order WHERE repo_rate <> ''");
    const QString cond = Scalar("SELECT MIN(order_id) FROM cond_order");
    struct Case {
        QString chto, number, day;
        QString numberName; // empty: an empty answer
    } cases[] = {
        {"1418", today, "02.03.2026", "Номер заявки"},
        {"1418", archived, archivedDay, "Номер заявки"},
        {"1418", archived, "02.03.2026", ""},             // not of that day
        {"1418", archived, "30.12.1899", "Номер заявки"}, // an unknown day: by number alone
        {"1418", rps, "02.03.2026", "Номер заявки"},
        {"1418", "999999999", "02.03.2026", ""},
        {"1418", today, "2.3.2026", ""},
        {"1418", "12a", "02.03.2026", ""},
        {"1421", cond, "", "Номер условной заявки"},
        {"1421", today, "", ""},
        {"1999", today, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.chto + ' ' + c.number + ' ' + c.day).toStdString());
        const EngineResult r = Details({{QStringLiteral("chto"), c.chto},
                                        {QStringLiteral("param0"), c.number},
                                        {QStringLiteral("param1"), c.day}});
        EXPECT_FALSE(r.refused);
        EXPECT_TRUE(r.answer.tables.isEmpty()); // no metadata
        if (c.numberName.isEmpty()) {
            EXPECT_TRUE(r.answer.rows.isEmpty());
            continue;
        }
        const QMap<QString, QString> pairs = PairsOf(r);
        EXPECT_EQ(pairs.value(c.numberName), c.number);
        EXPECT_GT(pairs.value(QStringLiteral("Комментарий")).size(), 300);
        EXPECT_GT(pairs.size(), 10);
    }
    const auto repoPairs =
        PairsOf(Details({{QStringLiteral("chto"), QStringLiteral("1418")},
                         {QStringLiteral("param0"), repo},
                         {QStringLiteral("param1"), QStringLiteral("02.03.2026")}}));
    EXPECT_EQ(repoPairs.value(QStringLiteral("Вид заявки")), QStringLiteral("РЕПО"));
    EXPECT_FALSE(repoPairs.value(QStringLiteral("Ставка РЕПО")).isEmpty());
    // RPS orders are numbered apart from exchange orders.
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM rps_order r JOIN orders o ON "
                                   "o.order_num = r.order_id")),
              0);
}

TEST_F(ServerRequestOrdersTest, ListsFollowTheInternalFilterAndRefuseWhatIsNotOne) {
    struct Case {
        const char* chto;
        const char* key;
        const char* value;
        const char* where; // over the table; nullptr: refused
    } cases[] = {
        {"206", "filter_order_status", "4", "status > 19"},
        {"206", "filter_order_status", "1", "status < 11"},
        {"206", "filter_buy_sell", "B", "buy_sell = 'B'"},
        {"206", "filter_buy_sell", "BS", "1 = 1"},
        {"208", "filter_order_status", "0", "1 = 1"},
        {"208", "filter_order_status", "2", "status = 11"},
        {"206", "filter_acc", "1 OR 1=1", nullptr},
        {"208", "filter_order_status", "9", nullptr},
        {"208", "filter_buy_sell", "X", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chto) + " " + c.key + "=" + c.value);
        const EngineResult r = Pair(QStringLiteral("SpisokBB"),
                                    {{QStringLiteral("chto"), QString::fromLatin1(c.chto)},
                                     {QString::fromLatin1(c.key), QString::fromLatin1(c.value)}});
        if (!c.where) {
            EXPECT_NE(r.answer.Table(Refusal::kTable), nullptr);
            EXPECT_TRUE(r.answer.rows.isEmpty());
            continue;
        }
        const QString table = QLatin1String(c.chto) == QLatin1String("206")
                                  ? QStringLiteral("rps_order")
                                  : QStringLiteral("cond_order");
        EXPECT_EQ(r.answer.rows.size(), Count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2")
                                                  .arg(table, QString::fromLatin1(c.where))));
        EXPECT_GT(r.answer.rows.size(), 0);
        EXPECT_EQ(
            r.answer.Table(QStringLiteral("METADATA.HEADER"))->Value(QStringLiteral("METADATA_ID")),
            QStringLiteral("SpisokBB.") + QLatin1String(c.chto));
    }
}

TEST_F(ServerRequestOrdersTest, ConditionalPeriodsTravelAsBinaryDaysOrTheServersWords) {
    const EngineResult r =
        Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("208")}});
    ASSERT_FALSE(r.answer.rows.isEmpty());
    const ResultLayout& layout = [&]() -> const ResultLayout& {
        static const ResultLayout l(QStringLiteral("SpisokBB.208"),
                                    {{QStringLiteral("ORDER_ID")},
                                     {QStringLiteral("LIFE_START_DATE_TEXT")},
                                     {QStringLiteral("LIFE_STOP_DATE_TEXT")},
                                     {QStringLiteral("ORDER_TYPE_NAME")},
                                     {QStringLiteral("ORDER_STATUS_NAME")},
                                     {QStringLiteral("IF_TEXT")},
                                     {QStringLiteral("ACTION_TEXT")},
                                     {QStringLiteral("ACC_NAME")},
                                     {QStringLiteral("ID_ACC")},
                                     {QStringLiteral("ID_BUM")},
                                     {QStringLiteral("IF_BUM")},
                                     {QStringLiteral("ORDER_STATUS")},
                                     {QStringLiteral("BUY_SELL")},
                                     {QStringLiteral("LIFE_START_DATE")},
                                     {QStringLiteral("LIFE_STOP_DATE")}});
        return l;
    }();
    int open = 0, timed = 0;
    for (const QString& row : r.answer.rows) {
        const RowReader f(layout, row);
        const double start = f.BinDouble(QStringLiteral("LIFE_START_DATE"));
        if (start == 0) {
            ++open;
            EXPECT_EQ(f.Text(QStringLiteral("LIFE_START_DATE_TEXT")),
                      QStringLiteral("С момента выставления"));
        } else {
            timed += start != std::floor(start); // a time of day
        }
        EXPECT_EQ(f.Raw(QStringLiteral("IF_BUM")), f.Raw(QStringLiteral("ID_BUM")));
    }
    EXPECT_GT(open, 0);
    EXPECT_GT(timed, 0);
}

TEST_F(ServerRequestOrdersTest, WithdrawalsCancelAWaitingOrderOnceAndExplainTheRest) {
    const QString rps = Scalar("SELECT MIN(order_id) FROM rps_order WHERE status = 27");
    const QString cond = Scalar("SELECT MIN(order_id) FROM cond_order WHERE status = 10");
    const QString filledRps = Scalar("SELECT MIN(order_id) FROM rps_order WHERE status = 11");
    struct Case {
        const char* chto;
        QString id;
        int code;
    } cases[] = {
        {"60", rps, 0},        {"60", rps, -1}, // already withdrawn
        {"60", filledRps, -1}, {"60", "1", -1}, // unknown
        {"60", "12a", -2},     {"70", cond, 0},
        {"70", cond, -1},      {"70", rps, -1}, // an RPS number is no conditional order
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chto) + " " + c.id.toStdString());
        const EngineResult r = Alt(QStringLiteral("ExecQueryBB"),
                                   {{QStringLiteral("chto"), QString::fromLatin1(c.chto)},
                                    {QStringLiteral("param0"), c.id}});
        ASSERT_FALSE(r.refused);
        EXPECT_EQ(
            r.answer.Table(QStringLiteral("METADATA.HEADER"))->Value(QStringLiteral("METADATA_ID")),
            QStringLiteral("ExecQueryBB.") + QLatin1String(c.chto));
        const QStringList f = SplitRow(r.answer.rows.value(0));
        EXPECT_EQ(f.value(0).toInt(), c.code);
        EXPECT_EQ(f.value(1).isEmpty(), c.code == 0); // a Russian reason otherwise
    }
    EXPECT_EQ(
        store_.ScalarQuery(QStringLiteral("SELECT status FROM rps_order WHERE order_id = ?"), {rps})
            .toInt(),
        20);
    EXPECT_EQ(
        store_
            .ScalarQuery(QStringLiteral("SELECT status FROM cond_order WHERE order_id = ?"), {cond})
            .toInt(),
        20);
}
