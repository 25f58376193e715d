// The store, the demo data and the answers of the engine.
#include "ServerTestSupport.h"

#include "server/core/Schema.h"
#include "server/core/ServerLog.h"
#include "server/core/Simulator.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTime>

using WireText::SplitRow;

namespace {
const QChar NUL(u'\0');

bool LoggedSince(qsizetype before, const QString& part) {
    const QStringList lines = ServerLog::Recent();
    for (qsizetype i = std::max<qsizetype>(0, before); i < lines.size(); ++i)
        if (lines[i].contains(part))
            return true;
    return false;
}
} // namespace

class ServerStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
};

TEST_F(ServerStoreTest, SchemaIsVersionedAndANewerDatabaseIsRefused) {
    const QString path = dir_.filePath(QStringLiteral("s.sqlite"));
    {
        Store store;
        QString error;
        ASSERT_TRUE(store.Open(path, &error)) << error.toStdString();
        EXPECT_EQ(store.SchemaVersion(), Store::CurrentSchemaVersion());
        EXPECT_TRUE(store.IsEmpty());
        EXPECT_EQ(store.ScalarQuery(QStringLiteral("PRAGMA journal_mode")).toString(),
                  QStringLiteral("wal"));
        // A body that fails leaves nothing behind.
        EXPECT_FALSE(store.Transaction([&] {
            store.SetState(QStringLiteral("x"), QStringLiteral("1"));
            return false;
        }));
        EXPECT_EQ(store.State(QStringLiteral("x"), QStringLiteral("none")), QStringLiteral("none"));
        EXPECT_TRUE(store.Transaction([&] {
            store.SetState(QStringLiteral("x"), QStringLiteral("2"));
            return true;
        }));
        EXPECT_EQ(store.NextId(QStringLiteral("n")), 1);
        EXPECT_EQ(store.NextId(QStringLiteral("n")), 2);
        store.Exec(QStringLiteral("INSERT INTO schema_version VALUES (99, 'later')"));
    }
    Store again;
    QString error;
    EXPECT_FALSE(again.Open(path, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("newer"))) << error.toStdString();
}

// A store made by an earlier server (schema 1) gains the name counter when opened; the
// counter moves with every change to a name and not with other columns.
TEST_F(ServerStoreTest, OlderStoreGainsTheNameCounter) {
    const QString path = dir_.filePath(QStringLiteral("old.sqlite"));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral(
            "CREATE TABLE schema_version (version INTEGER PRIMARY KEY, applied TEXT NOT NULL)")));
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO schema_version VALUES (1, 'earlier')")));
        for (const QString& sql : Schema::Upgrade(1))
            ASSERT_TRUE(q.exec(sql)) << sql.toStdString();
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    Store store;
    QString error;
    ASSERT_TRUE(store.Open(path, &error)) << error.toStdString();
    EXPECT_EQ(store.SchemaVersion(), 2);
    const auto counter = [&] {
        return store.ScalarQuery(QStringLiteral("SELECT version FROM name_version")).toInt();
    };
    const struct {
        const char* sql;
        int counter;
    } steps[] = {
        {"INSERT INTO client (id, name) VALUES (1, 'A')", 1},
        {"UPDATE client SET parent_id = 5 WHERE id = 1", 1},
        {"UPDATE client SET name = 'B' WHERE id = 1", 2},
        {"DELETE FROM client WHERE id = 1", 3},
    };
    EXPECT_EQ(counter(), 0);
    for (const auto& step : steps) {
        ASSERT_TRUE(store.Exec(QString::fromUtf8(step.sql))) << step.sql;
        EXPECT_EQ(counter(), step.counter) << step.sql;
    }
}

TEST_F(ServerStoreTest, DemoDataIsDeterministicAndConsistent) {
    auto make = [&](const QString& name, quint64 seed, Store& store) {
        QString error;
        EXPECT_TRUE(store.Open(dir_.filePath(name), &error));
        EXPECT_TRUE(
            DemoGenerator(store, DemoScale::Demo(), seed, QDate(2026, 3, 2)).Generate(&error))
            << error.toStdString();
    };
    Store a, b, c;
    make(QStringLiteral("a.sqlite"), 11, a);
    make(QStringLiteral("b.sqlite"), 11, b);
    make(QStringLiteral("c.sqlite"), 12, c);
    const QString digest = QStringLiteral(
        "SELECT group_concat(order_num || ':' || sec_id || ':' || acc_id || ':' || status || ':' "
        "|| price, ';') FROM (SELECT * FROM orders ORDER BY order_num)");
    const QString names = QStringLiteral("SELECT group_concat(name, ';') FROM client");
    EXPECT_EQ(a.ScalarQuery(digest), b.ScalarQuery(digest));
    EXPECT_EQ(a.ScalarQuery(names), b.ScalarQuery(names));
    EXPECT_NE(a.ScalarQuery(digest), c.ScalarQuery(digest));
    // RPS, REPO and conditional orders follow the seed as well.
    const QString requests = QStringLiteral(
        "SELECT (SELECT group_concat(order_id || ':' || acc_id || ':' || sec_id || ':' || "
        "status || ':' || repo_rate, ';') FROM rps_order) || '|' || (SELECT "
        "group_concat(order_id || ':' || acc_id || ':' || life_start || ':' || life_stop, ';') "
        "FROM cond_order)");
    EXPECT_EQ(a.ScalarQuery(requests), b.ScalarQuery(requests));
    EXPECT_NE(a.ScalarQuery(requests), c.ScalarQuery(requests));

    auto count = [&](const char* sql) {
        return a.ScalarQuery(QString::fromUtf8(sql)).toLongLong();
    };
    EXPECT_EQ(count("SELECT COUNT(*) FROM security"), 200);
    EXPECT_EQ(count("SELECT COUNT(*) FROM client"), 61);
    EXPECT_EQ(count("SELECT COUNT(*) FROM account"), 150);
    EXPECT_EQ(count("SELECT COUNT(*) FROM orders WHERE order_date = '2026-03-02'"), 400);
    EXPECT_GT(count("SELECT COUNT(*) FROM client WHERE parent_id <> 0"), 0);
    EXPECT_GT(count("SELECT COUNT(*) FROM deal WHERE deal_date = '2026-03-02'"), 100);
    EXPECT_GT(count("SELECT COUNT(*) FROM portfolio"), 150);
    EXPECT_GT(count("SELECT COUNT(*) FROM ui_value"), 0);
    // The firm's own client and its accounts exist; every reference of an order resolves;
    // every status an order can have is named; board codes are unique.
    EXPECT_EQ(a.State(QStringLiteral("client_key")), QStringLiteral("1"));
    EXPECT_GE(count("SELECT COUNT(*) FROM account WHERE client_id = 1"), 3);
    EXPECT_EQ(count("SELECT COUNT(*) FROM orders o WHERE NOT EXISTS (SELECT 1 FROM account a "
                    "WHERE a.id = o.acc_id AND a.client_id = o.cli_id) OR NOT EXISTS (SELECT 1 "
                    "FROM security s WHERE s.id = o.sec_id)"),
              0);
    EXPECT_EQ(
        count("SELECT COUNT(*) FROM orders WHERE status NOT IN (SELECT code FROM order_status)"),
        0);
    EXPECT_EQ(
        count("SELECT COUNT(*) FROM orders WHERE (status = 11) <> (qty_left = 0) AND status < 20"),
        0);
    EXPECT_EQ(
        count("SELECT COUNT(*) FROM (SELECT code FROM board GROUP BY code HAVING COUNT(*) > 1)"),
        0);
    // Every client but the firm has the whole ladder of four interest tiers.
    EXPECT_EQ(count("SELECT COUNT(*) FROM client_interest"), 60 * 4);
    // Filled lots equal the dealt lots of every order.
    EXPECT_EQ(count("SELECT COUNT(*) FROM orders o WHERE o.qty_first - o.qty_left <> "
                    "(SELECT COALESCE(SUM(qty), 0) FROM deal d WHERE d.order_num = o.order_num)"),
              0);
}

using ServerEngineTest = DemoStoreTest;

TEST_F(ServerEngineTest, StartUpRequestsAndPlugins) {
    const EngineResult day =
        Pair(QStringLiteral("SQLtorgBB"), {{QStringLiteral("vrs"), QStringLiteral("3.72")}});
    ASSERT_EQ(day.answer.rows.size(), 1);
    const QStringList f = SplitRow(day.answer.rows[0]);
    ASSERT_EQ(f.size(), 3);
    EXPECT_EQ(f[0], store_.State(QStringLiteral("trading_day_key")));
    EXPECT_EQ(f[1], QStringLiteral("02.03.2026"));
    EXPECT_EQ(f[2], QStringLiteral("1"));
    EXPECT_EQ(day.answer.echo.Value(QStringLiteral("vrs")), QStringLiteral("3.72"));

    const EngineResult who =
        engine_->Handle(session_, QStringLiteral("SQLktoExt"), QString(), false);
    const QStringList k = SplitRow(who.answer.rows.value(0));
    ASSERT_EQ(k.size(), 4);
    EXPECT_EQ(k[0], QStringLiteral("1"));
    EXPECT_FALSE(k[1].isEmpty());
    EXPECT_EQ(k[2], QStringLiteral("3"));
    EXPECT_EQ(k[3], store_.State(QStringLiteral("session_key")));

    const QStringList ok =
        SplitRow(Pair(QStringLiteral("NorvanePluginSupport"),
                      {{QStringLiteral("PluginID"), QStringLiteral("OrvexReport.DailyBalance")}})
                     .answer.rows.value(0));
    EXPECT_EQ(ok, (QStringList{QStringLiteral("OrvexReport.DailyBalance"), QStringLiteral("OK")}));
    const QStringList no = SplitRow(Pair(QStringLiteral("NorvanePluginSupport"),
                                         {{QStringLiteral("PluginID"), QStringLiteral("Other")}})
                                        .answer.rows.value(0));
    EXPECT_EQ(no.value(1), QStringLiteral("NO"));

    EngineResult sub = engine_->Handle(session_, QStringLiteral("IzmenaBB"), QString(), false);
    EXPECT_FALSE(sub.refused);
    EXPECT_TRUE(session_.subscribed);
}

TEST_F(ServerEngineTest, ReferenceListsByPosition) {
    struct Case {
        int query;
        int fields;
        const char* table;
    };
    for (const Case& c :
         {Case{402, 3, "client"}, Case{403, 3, "account"}, Case{407, 3, "account"},
          Case{404, 3, "trading_system"}, Case{405, 5, "board"}, Case{408, 2, "order_status"},
          Case{420, 4, "ui_type"}, Case{421, 4, "ui_value"}}) {
        const EngineResult r =
            Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QString::number(c.query)},
                                              {QStringLiteral("BackParam"), QStringLiteral("1")}});
        EXPECT_EQ(
            r.answer.rows.size(),
            Count(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QString::fromLatin1(c.table))))
            << c.query;
        EXPECT_EQ(r.answer.echo.Value(QStringLiteral("chto")), QString::number(c.query));
        EXPECT_EQ(r.answer.echo.Value(QStringLiteral("BackParam")), QStringLiteral("1"));
        for (const QString& row : r.answer.rows) {
            const QStringList f = SplitRow(row);
            ASSERT_EQ(f.size(), c.fields) << c.query;
            bool num = false;
            f[c.query == 405 ? 4 : 0].toInt(&num);
            EXPECT_TRUE(num) << c.query;
            EXPECT_FALSE(row.contains(QChar(u'\x03')));
        }
    }
    // Boards: code, name, trading system, -, id.
    const QStringList board =
        SplitRow(Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("405")}})
                     .answer.rows.value(0));
    EXPECT_EQ(board.value(0), QStringLiteral("EQS1"));
    EXPECT_EQ(board.value(2), QStringLiteral("1"));
    EXPECT_EQ(board.value(4), QStringLiteral("1"));
    // Sub-clients name their parent.
    const EngineResult clients =
        Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("402")}});
    int subClients = 0;
    for (const QString& row : clients.answer.rows)
        subClients += SplitRow(row)[2] != QLatin1String("0");
    EXPECT_GT(subClients, 0);
}

TEST_F(ServerEngineTest, SecuritiesCarryNamedFieldsWithBinaryDeposit) {
    const EngineResult r =
        Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("409")}});
    ASSERT_EQ(r.answer.rows.size(), 200);
    const AnswerTable* header = r.answer.Table(QStringLiteral("METADATA.HEADER"));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->Value(QStringLiteral("METADATA_ID")), QStringLiteral("SpisokBB.409"));
    const ResultLayout& layout = Engine::SecuritiesLayout();
    bool sawFuture = false;
    for (const QString& row : r.answer.rows) {
        RowReader rr(layout, row);
        ASSERT_EQ(rr.Size(), layout.Fields().size());
        const qint64 id = rr.Raw(QStringLiteral("ID_BUM")).toLongLong();
        const double buy =
            store_
                .ScalarQuery(QStringLiteral("SELECT fut_buy_deposit FROM security WHERE id = ?"),
                             {id})
                .toDouble();
        EXPECT_DOUBLE_EQ(rr.BinDouble(QStringLiteral("FUT_BUY_DEPOSIT")), buy);
        if (rr.Raw(QStringLiteral("STOCK_SUB_TYPE")) == QLatin1String("5")) {
            sawFuture = true;
            EXPECT_GT(buy, 0);
            EXPECT_GT(rr.Raw(QStringLiteral("FUT_SELL_DEPOSIT")).toDouble(), 0);
        }
    }
    EXPECT_TRUE(sawFuture);
    // The next request with NoSendMetadata gets the header alone.
    const EngineResult again =
        Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("409")},
                                          {QStringLiteral("NoSendMetadata"), QStringLiteral("1")}});
    EXPECT_TRUE(again.answer.Table(QStringLiteral("METADATA.HEADER")));
    EXPECT_FALSE(again.answer.Table(QStringLiteral("METADATA.FIELDS")));
}

TEST_F(ServerEngineTest, FullOrdersListHasEveryFieldAndEchoesItsParameters) {
    const EngineResult r = Pair(QStringLiteral("SpisokBB"),
                                {{QStringLiteral("chto"), QStringLiteral("211")},
                                 {QStringLiteral("filter_acc"), QString()},
                                 {QStringLiteral("filter_bum"), QString()},
                                 {QStringLiteral("filter_order_status"), QStringLiteral("0")},
                                 {QStringLiteral("filter_buy_sell"), QString()}});
    EXPECT_EQ(r.answer.rows.size(),
              Count(QStringLiteral("SELECT COUNT(*) FROM orders WHERE order_date = '2026-03-02'")));
    EXPECT_EQ(r.answer.echo.Items().size(), 5);
    EXPECT_EQ(r.answer.echo.Value(QStringLiteral("LoopBack0")), QString());
    const AnswerTable* header = r.answer.Table(QStringLiteral("METADATA.HEADER"));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->Value(QStringLiteral("METADATA_ID")), QStringLiteral("SpisokBB.211"));
    ASSERT_TRUE(r.answer.Table(QStringLiteral("METADATA.FIELDS")));
    const ResultLayout& layout = Engine::OrdersLayout();
    for (const char* name :
         {"ORDER_NUM",    "ORDER_TIME",      "NAME_BUM",     "ORDER_STATUS_NAME",
          "BUY_SELL",     "ORDER_TYPE_NAME", "ORDER_PRICE",  "COUNT_IN_LOT_FIRST",
          "COUNT_IN_LOT", "ORDER_VOL",       "NAME_CLI",     "NAME_ACC",
          "ORDER_NKD",    "ORDER_YIELD",     "ORDER_GROUP",  "ID_ACC",
          "ID_CLI",       "ID_BUM",          "ORDER_STATUS", "ORDER_TYPE",
          "KEY_FIELD"})
        EXPECT_GE(layout.IndexOf(QString::fromLatin1(name)), 0) << name;
    int grouped = 0;
    for (const QString& row : r.answer.rows) {
        RowReader rr(layout, row);
        ASSERT_EQ(rr.Size(), layout.Fields().size());
        const qint64 num = rr.Raw(QStringLiteral("ORDER_NUM")).toLongLong();
        EXPECT_EQ(rr.Text(QStringLiteral("KEY_FIELD")), QString::number(num));
        QSqlQuery q(store_.Db());
        q.prepare(QStringLiteral(
            "SELECT o.price, o.qty_left, o.sec_id, o.status, o.acc_id, st.name, ty.name FROM "
            "orders o LEFT JOIN order_status st ON st.code = o.status LEFT JOIN order_type ty ON "
            "ty.code = o.order_type WHERE o.order_num = ?"));
        q.addBindValue(num);
        ASSERT_TRUE(q.exec() && q.next());
        EXPECT_DOUBLE_EQ(rr.BinDouble(QStringLiteral("ORDER_PRICE")), q.value(0).toDouble());
        EXPECT_EQ(rr.BinInt(QStringLiteral("COUNT_IN_LOT")), q.value(1).toInt());
        EXPECT_EQ(rr.BinInt(QStringLiteral("ID_BUM")), q.value(2).toInt());
        EXPECT_EQ(rr.Raw(QStringLiteral("ORDER_STATUS")), q.value(3).toString());
        EXPECT_EQ(rr.Raw(QStringLiteral("ID_ACC")), q.value(4).toString());
        EXPECT_EQ(rr.Text(QStringLiteral("ORDER_STATUS_NAME")), q.value(5).toString());
        EXPECT_EQ(rr.Text(QStringLiteral("ORDER_TYPE_NAME")), q.value(6).toString());
        EXPECT_TRUE(rr.Raw(QStringLiteral("BUY_SELL")) == QLatin1String("B") ||
                    rr.Raw(QStringLiteral("BUY_SELL")) == QLatin1String("S"));
        EXPECT_EQ(rr.Raw(QStringLiteral("ORDER_TIME")).size(), 8);
        // The binary date carries the day and the time of the order.
        const double when = rr.BinDouble(QStringLiteral("ORDER_DATETIME"));
        const QTime time =
            QTime::fromString(rr.Raw(QStringLiteral("ORDER_TIME")), QStringLiteral("hh:mm:ss"));
        EXPECT_NEAR(when,
                    WireText::DateTimeValue(2026, 3, 2) + time.msecsSinceStartOfDay() / 86400000.0,
                    1e-9);
        EXPECT_FALSE(rr.Text(QStringLiteral("NAME_ACC")).isEmpty());
        grouped += !rr.Text(QStringLiteral("ORDER_GROUP")).isEmpty();
    }
    EXPECT_GT(grouped, 0);
    EXPECT_LT(grouped, r.answer.rows.size());
}

// The full list takes the names from the engine's own cache and is written straight into
// its frame; a keyed request joins the names in the store. After each change to the
// store both give the same rows, and the frame is the encoding of exactly those rows.
TEST_F(ServerEngineTest, FullListNamesAndFrameFollowTheStore) {
    const QString today = QStringLiteral("(SELECT %1 FROM orders WHERE order_date = '2026-03-02' "
                                         "ORDER BY order_num DESC LIMIT 1)");
    const struct {
        const char* what;
        QString sql;
    } cases[] = {
        {"as generated", QString()},
        {"an order's price changed, no name",
         QStringLiteral("UPDATE orders SET price = price + 1 WHERE order_num = ") +
             today.arg(QStringLiteral("order_num"))},
        {"a client renamed", QString::fromUtf8("UPDATE client SET name = 'Новое имя' WHERE id = ") +
                                 today.arg(QStringLiteral("cli_id"))},
        {"an account renamed with an escape",
         QStringLiteral("UPDATE account SET name = 'A' || char(3) || 'B' WHERE id = ") +
             today.arg(QStringLiteral("acc_id"))},
        {"a nominal set", QStringLiteral("UPDATE security SET nominal = 1000 WHERE id = ") +
                              today.arg(QStringLiteral("sec_id"))},
        {"a security gone",
         QStringLiteral("DELETE FROM security WHERE id = ") + today.arg(QStringLiteral("sec_id"))},
    };
    const QString full =
        QStringLiteral("chto=211") + NUL + QStringLiteral("filter_buy_sell=") + NUL;
    QStringList keys;
    QSqlQuery q(store_.Db());
    q.exec(QStringLiteral(
        "SELECT order_num FROM orders WHERE order_date = '2026-03-02' ORDER BY order_num"));
    while (q.next())
        keys << q.value(0).toString();
    q.finish();
    QByteArray spare;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.sql.isEmpty()) {
            ASSERT_TRUE(store_.Exec(c.sql));
        }
        const EngineResult listed =
            engine_->Handle(session_, QStringLiteral("SpisokBB"), full, false);
        const EngineResult keyed = engine_->Handle(
            session_, QStringLiteral("SpisokBB"),
            full + QStringLiteral("filter_key_values=") + keys.join(QLatin1Char(',')) + NUL, false);
        ASSERT_EQ(listed.answer.rows.size(), keys.size());
        EXPECT_EQ(listed.answer.rows, keyed.answer.rows);

        EngineResult framed =
            engine_->HandleForFrame(session_, QStringLiteral("SpisokBB"), full, false, 7, spare);
        ASSERT_TRUE(framed.answer.frame);
        EXPECT_TRUE(framed.answer.rows.isEmpty());
        EXPECT_EQ(framed.answer.RowCount(), keys.size());
        std::vector<wire::Table> tables;
        for (const AnswerTable& t : framed.answer.tables)
            tables.push_back({t.name, wire::Pairs(t.values.cbegin(), t.values.cend())});
        const wire::Pairs echo(framed.answer.echo.Items().cbegin(),
                               framed.answer.echo.Items().cend());
        wire::Message expected = wire::Message::Data(7);
        expected.rows.assign(listed.answer.rows.cbegin(), listed.answer.rows.cend());
        expected.tables = tables;
        expected.requestParams = echo;
        QByteArray frame = framed.answer.frame->Finish(tables, echo);
        EXPECT_EQ(frame, wire::Encode(expected));
        spare = std::move(frame); // the next case writes into this buffer
    }
}

// The deals list and the archives are written straight into the answer's frame when
// the worker asks for one: the frame holds exactly the rows of the ordinary answer,
// and a refused request gets no frame but its refusal.
TEST_F(ServerEngineTest, ListsWrittenIntoTheFrameMatchTheirRows) {
    const QString range =
        QStringLiteral("param0=20.02.2026") + NUL + QStringLiteral("param1=02.03.2026") + NUL;
    const struct {
        const char* what;
        QString params;
        bool refused;
    } cases[] = {
        {"deals of the day", QStringLiteral("chto=201") + NUL + QStringLiteral("fltr=") + NUL,
         false},
        {"deals archive", QStringLiteral("chto=301") + NUL + QStringLiteral("fltr=") + NUL + range,
         false},
        {"orders archive", QStringLiteral("chto=308") + NUL + range, false},
        {"transactions archive",
         QStringLiteral("chto=309") + NUL + QStringLiteral("param2=1") + NUL + range, false},
        {"deals archive, bad date",
         QStringLiteral("chto=301") + NUL + QStringLiteral("param0=31.02.2026") + NUL, true},
        {"deals, bad filter",
         QStringLiteral("chto=201") + NUL + QStringLiteral("fltr=no such column = 1") + NUL, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const EngineResult plain =
            engine_->Handle(session_, QStringLiteral("SpisokBB"), c.params, false);
        EngineResult framed =
            engine_->HandleForFrame(session_, QStringLiteral("SpisokBB"), c.params, false, 3, {});
        EXPECT_EQ(bool(framed.answer.frame), !c.refused);
        EXPECT_EQ(plain.answer.Table(Refusal::kTable) != nullptr, c.refused);
        EXPECT_EQ(framed.answer.Table(Refusal::kTable) != nullptr, c.refused);
        if (c.refused)
            continue;
        EXPECT_GT(plain.answer.rows.size(), 0);
        EXPECT_TRUE(framed.answer.rows.isEmpty());
        wire::Message expected = wire::Message::Data(3);
        expected.rows.assign(plain.answer.rows.cbegin(), plain.answer.rows.cend());
        EXPECT_EQ(framed.answer.frame->Finish({}, {}), wire::Encode(expected));
    }
}

TEST_F(ServerEngineTest, OrdersFiltersAndKeyedUpdate) {
    auto orders = [&](std::initializer_list<std::pair<QString, QString>> extra) {
        QList<std::pair<QString, QString>> all{{QStringLiteral("chto"), QStringLiteral("211")}};
        all.append(QList<std::pair<QString, QString>>(extra));
        QString text;
        for (const auto& [k, v] : all)
            text += k + QLatin1Char('=') + v + NUL;
        return engine_->Handle(session_, QStringLiteral("SpisokBB"), text, false);
    };
    const QString day = QStringLiteral(" FROM orders WHERE order_date = '2026-03-02'");
    EXPECT_EQ(
        orders({{QStringLiteral("filter_acc"), QStringLiteral("4,5,6")}}).answer.rows.size(),
        Count(QStringLiteral("SELECT COUNT(*)") + day + QStringLiteral(" AND acc_id IN (4,5,6)")));
    EXPECT_EQ(
        orders({{QStringLiteral("filter_bum"), QStringLiteral("1,2,3,-1")}}).answer.rows.size(),
        Count(QStringLiteral("SELECT COUNT(*)") + day + QStringLiteral(" AND sec_id IN (1,2,3)")));
    const std::pair<int, const char*> masks[] = {
        {1, "status < 11"},  {2, "status = 11"}, {3, "status < 20"}, {4, "status > 19"},
        {5, "status <> 11"}, {6, "status > 10"}, {7, "1"},           {0, "1"}};
    for (const auto& [mask, cond] : masks)
        EXPECT_EQ(orders({{QStringLiteral("filter_order_status"), QString::number(mask)}})
                      .answer.rows.size(),
                  Count(QStringLiteral("SELECT COUNT(*)") + day + QStringLiteral(" AND ") +
                        QString::fromLatin1(cond)))
            << mask;
    EXPECT_EQ(
        orders({{QStringLiteral("filter_buy_sell"), QStringLiteral("S")}}).answer.rows.size(),
        Count(QStringLiteral("SELECT COUNT(*)") + day + QStringLiteral(" AND buy_sell = 'S'")));
    EXPECT_EQ(
        orders({{QStringLiteral("filter_buy_sell"), QStringLiteral("BS")}}).answer.rows.size(),
        Count(QStringLiteral("SELECT COUNT(*)") + day));

    // Keyed: only the listed keys that pass the filters; the loop-back values come back.
    const qint64 buy = Count(QStringLiteral("SELECT MIN(order_num)") + day +
                             QStringLiteral(" AND buy_sell = 'B'"));
    const qint64 sell = Count(QStringLiteral("SELECT MIN(order_num)") + day +
                              QStringLiteral(" AND buy_sell = 'S'"));
    const QString keys = QStringLiteral("%1,%2,999999999").arg(buy).arg(sell);
    const EngineResult keyed =
        orders({{QStringLiteral("filter_acc"), QString()},
                {QStringLiteral("filter_bum"), QString()},
                {QStringLiteral("filter_order_status"), QStringLiteral("0")},
                {QStringLiteral("filter_buy_sell"), QStringLiteral("B")},
                {QStringLiteral("filter_key_values"), keys},
                {QStringLiteral("LoopBackCount"), QStringLiteral("2")},
                {QStringLiteral("LoopBack0"), QStringLiteral("UPDATE_WITH_KEY_FIELD")},
                {QStringLiteral("LoopBack1"), keys}});
    ASSERT_EQ(keyed.answer.rows.size(), 1);
    EXPECT_EQ(RowReader(Engine::OrdersLayout(), keyed.answer.rows[0])
                  .Raw(QStringLiteral("ORDER_NUM"))
                  .toLongLong(),
              buy);
    EXPECT_EQ(keyed.answer.echo.Value(QStringLiteral("LoopBack0")),
              QStringLiteral("UPDATE_WITH_KEY_FIELD"));
    EXPECT_EQ(keyed.answer.echo.Value(QStringLiteral("LoopBack1")), keys);
    EXPECT_EQ(keyed.answer.echo.Value(QStringLiteral("LoopBackCount")), QStringLiteral("2"));
    // An empty key list returns nothing.
    EXPECT_TRUE(orders({{QStringLiteral("filter_key_values"), QString()}}).answer.rows.isEmpty());

    // A filter list of thousands of ids stays one bound parameter.
    QStringList many;
    for (int i = 1; i <= 40000; ++i)
        many << QString::number(i);
    EXPECT_EQ(
        orders({{QStringLiteral("filter_acc"), many.join(QLatin1Char(','))}}).answer.rows.size(),
        Count(QStringLiteral("SELECT COUNT(*)") + day));
}

TEST_F(ServerEngineTest, RejectedOrderFiltersAnswerEmptyWithMetadataAndNeverRun) {
    const qint64 orders = Count(QStringLiteral("SELECT COUNT(*) FROM orders"));
    // Id lists and the status mask are numbers: garbage there refuses the request.
    for (const auto& [key, value] : QList<std::pair<QString, QString>>{
             {QStringLiteral("filter_acc"), QStringLiteral("1) OR (1=1")},
             {QStringLiteral("filter_bum"), QStringLiteral("1;DELETE FROM orders")},
             {QStringLiteral("filter_order_status"), QStringLiteral("9")},
             {QStringLiteral("filter_order_status"), QStringLiteral("1 OR 1=1")}})
        EXPECT_TRUE(
            engine_
                ->Handle(session_, QStringLiteral("SpisokBB"),
                         QStringLiteral("chto=211") + NUL + key + QLatin1Char('=') + value + NUL,
                         false)
                .refused)
            << value.toStdString();
    const QList<std::pair<QString, QString>> bad = {
        {QStringLiteral("filter_buy_sell"), QStringLiteral("B' OR 'x'='x")},
        {QStringLiteral("fltr"), QStringLiteral(" AND (ID_ACC=4); DELETE FROM orders; --")},
        {QStringLiteral("fltr"), QStringLiteral(" AND (BOARD='EQS1' OR 1=1 --')")},
        {QStringLiteral("fltr"), QStringLiteral(" AND (ID_ACC=4) OR 1=1")},
        {QStringLiteral("fltr"), QStringLiteral(" AND name_acc='x'")},
    };
    for (const auto& [key, value] : bad) {
        const qsizetype before = ServerLog::Recent().size();
        const EngineResult r = engine_->Handle(
            session_, QStringLiteral("SpisokBB"),
            QStringLiteral("chto=211") + NUL + key + QLatin1Char('=') + value + NUL, false);
        EXPECT_FALSE(r.refused);
        EXPECT_TRUE(r.answer.rows.isEmpty()) << value.toStdString();
        EXPECT_TRUE(r.answer.Table(QStringLiteral("METADATA.HEADER"))) << value.toStdString();
        EXPECT_TRUE(LoggedSince(before, QStringLiteral("rejected"))) << value.toStdString();
        // The answer says so, for the window to show.
        const AnswerTable* refusal = r.answer.Table(Refusal::kTable);
        ASSERT_TRUE(refusal) << value.toStdString();
        EXPECT_FALSE(refusal->Value(Refusal::kText).isEmpty());
    }
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM orders")), orders);
    EXPECT_EQ(store_.IntegrityCheck(), QStringLiteral("ok"));

    // The same grammar accepted: a filter of the dialog narrows the list.
    const EngineResult ok = engine_->Handle(
        session_, QStringLiteral("SpisokBB"),
        QStringLiteral("chto=211") + NUL +
            QStringLiteral("fltr= AND (BOARD='EQS1' OR ID_BUM=1) AND BUY_SELL='B'") + NUL,
        false);
    EXPECT_EQ(ok.answer.rows.size(),
              Count(QStringLiteral(
                  "SELECT COUNT(*) FROM orders o JOIN security s ON s.id = o.sec_id WHERE "
                  "o.order_date = '2026-03-02' AND (s.board_code = 'EQS1' OR o.sec_id = 1) "
                  "AND o.buy_sell = 'B'")));
}

TEST_F(ServerEngineTest, FiltersOfAnySizeAnswerExactly) {
    // Board codes may hold a quote; the filter dialog doubles it inside the literal.
    store_.Exec(QStringLiteral("UPDATE security SET board_code = 'A''B' WHERE id = 1"));
    const QString day =
        QStringLiteral(" FROM orders o JOIN security s ON s.id = o.sec_id WHERE o.order_date = "
                       "'2026-03-02'");
    // The dialog's account expression over 50,000 accounts: those checked, or inverted.
    const auto accounts = [](bool inverted) {
        QStringList terms;
        for (int id = 1; id <= 50000; ++id)
            if ((id % 7 == 0) != inverted)
                terms << QStringLiteral("ID_ACC=%1").arg(id);
        return QStringLiteral(" AND (") + terms.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    };
    // The clause for 1, 1 + step, 1 + 2 step, ...
    const auto repeated = [](const QString& clause, int count, int step = 1) {
        QString text;
        for (int i = 0; i < count; ++i)
            text += clause.arg(1 + i * step);
        return text;
    };
    struct Case {
        const char* what;
        QString fltr;
        QString sqlCondition; // over o and s
    };
    const Case cases[] = {
        {"checked accounts of 50,000", accounts(false), QStringLiteral("o.acc_id % 7 = 0")},
        {"inverted accounts of 50,000", accounts(true), QStringLiteral("o.acc_id % 7 <> 0")},
        {"2,000 excluded accounts", repeated(QStringLiteral(" AND ID_ACC<>%1"), 2000, 2),
         QStringLiteral("o.acc_id % 2 = 0 OR o.acc_id > 3999")},
        {"1,500 comparisons in one OR",
         QStringLiteral(" AND (") + repeated(QStringLiteral("ID_ACC<%1 OR "), 1500).chopped(4) +
             QLatin1Char(')'),
         QStringLiteral("o.acc_id < 1500")},
        {"a board code with a quote", QStringLiteral(" AND (BOARD='A''B')"),
         QStringLiteral("s.board_code = 'A''B'")},
        {"a board code with a quote and a security",
         QStringLiteral(" AND (BOARD='A''B' OR ID_BUM=2) AND BUY_SELL='B'"),
         QStringLiteral("(s.board_code = 'A''B' OR o.sec_id = 2) AND o.buy_sell = 'B'")},
    };
    for (const Case& c : cases) {
        const EngineResult r =
            Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("211")},
                                              {QStringLiteral("fltr"), c.fltr}});
        EXPECT_FALSE(r.answer.Table(Refusal::kTable)) << c.what;
        const qint64 expected = Count(QStringLiteral("SELECT COUNT(*)") + day +
                                      QStringLiteral(" AND (") + c.sqlCondition + QLatin1Char(')'));
        EXPECT_GT(expected, 0) << c.what;
        EXPECT_EQ(r.answer.rows.size(), expected) << c.what;
    }
    // A doubled quote counts only inside a literal.
    for (const QString& refused :
         {QStringLiteral(" AND ID_ACC=5''"), QStringLiteral(" AND BOARD=''A'")}) {
        const EngineResult r =
            Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("211")},
                                              {QStringLiteral("fltr"), refused}});
        EXPECT_TRUE(r.answer.rows.isEmpty());
        EXPECT_TRUE(r.answer.Table(Refusal::kTable)) << refused.left(40).toStdString();
        EXPECT_TRUE(r.answer.Table(QStringLiteral("METADATA.HEADER")));
    }
}

TEST_F(ServerEngineTest, WithdrawalChangesTheOrderAndReportsIt) {
    const qint64 active = Count(QStringLiteral(
        "SELECT MIN(order_num) FROM orders WHERE order_date = '2026-03-02' AND status = 10"));
    const EngineResult r =
        Alt(QStringLiteral("ExecQueryBB"), {{QStringLiteral("chto"), QStringLiteral("20")},
                                            {QStringLiteral("param0"), QString::number(active)}});
    ASSERT_FALSE(r.refused);
    EXPECT_EQ(r.answer.echo.Value(QStringLiteral("param0")), QString::number(active));
    const RowReader result(Engine::CommandResultLayout(QStringLiteral("20")),
                           r.answer.rows.value(0));
    EXPECT_EQ(result.Raw(QStringLiteral("RESULT_CODE")), QStringLiteral("0"));
    ASSERT_EQ(r.changes.size(), 1);
    const QStringList change = SplitRow(r.changes[0]);
    ASSERT_EQ(change.size(), 22);
    EXPECT_EQ(change[2], QStringLiteral("2"));
    EXPECT_EQ(change[3], QString::number(active));
    EXPECT_EQ(
        change[20],
        store_
            .ScalarQuery(QStringLiteral("SELECT acc_id FROM orders WHERE order_num = ?"), {active})
            .toString());
    EXPECT_EQ(Count(QStringLiteral("SELECT status FROM orders WHERE order_num = ?"), {active}), 20);

    // The next keyed request returns the changed row.
    const EngineResult keyed =
        Pair(QStringLiteral("SpisokBB"),
             {{QStringLiteral("chto"), QStringLiteral("211")},
              {QStringLiteral("filter_key_values"), QString::number(active)},
              {QStringLiteral("LoopBack0"), QStringLiteral("UPDATE_WITH_KEY_FIELD")}});
    ASSERT_EQ(keyed.answer.rows.size(), 1);
    EXPECT_EQ(
        RowReader(Engine::OrdersLayout(), keyed.answer.rows[0]).Raw(QStringLiteral("ORDER_STATUS")),
        QStringLiteral("20"));

    // Withdrawing it again, or a filled order, changes nothing and reports nothing.
    const qint64 filled = Count(QStringLiteral(
        "SELECT MIN(order_num) FROM orders WHERE order_date = '2026-03-02' AND status = 11"));
    for (qint64 num : {active, filled, qint64(999999999)}) {
        const EngineResult again =
            Alt(QStringLiteral("ExecQueryBB"), {{QStringLiteral("chto"), QStringLiteral("20")},
                                                {QStringLiteral("param0"), QString::number(num)}});
        EXPECT_TRUE(again.changes.isEmpty());
        EXPECT_EQ(
            RowReader(Engine::CommandResultLayout(QStringLiteral("20")), again.answer.rows.value(0))
                .Raw(QStringLiteral("RESULT_CODE")),
            QStringLiteral("-1"));
    }
    EXPECT_EQ(Count(QStringLiteral("SELECT status FROM orders WHERE order_num = ?"), {filled}), 11);
    // Archived orders of earlier days stay as they were.
    const qint64 old =
        Count(QStringLiteral("SELECT MIN(order_num) FROM orders WHERE order_date < '2026-03-02'"));
    store_.Exec(QStringLiteral("UPDATE orders SET status = 10 WHERE order_num = %1").arg(old));
    EXPECT_TRUE(
        Alt(QStringLiteral("ExecQueryBB"), {{QStringLiteral("chto"), QStringLiteral("20")},
                                            {QStringLiteral("param0"), QString::number(old)}})
            .changes.isEmpty());
    // A malformed number refuses the request with a log line.
    const qsizetype before = ServerLog::Recent().size();
    EXPECT_TRUE(
        Alt(QStringLiteral("ExecQueryBB"), {{QStringLiteral("chto"), QStringLiteral("20")},
                                            {QStringLiteral("param0"), QStringLiteral("1 OR 1=1")}})
            .refused);
    EXPECT_TRUE(LoggedSince(before, QStringLiteral("malformed parameter string")));
}

TEST_F(ServerEngineTest, MassWithdrawalsByAccountClientAndGroup) {
    const QString active =
        QStringLiteral(" FROM orders WHERE order_date = '2026-03-02' AND status < 11");
    struct Case {
        const char* query;
        const char* column;
    };
    for (const Case& c : {Case{"30", "acc_id"}, Case{"40", "cli_id"}, Case{"50", "order_group"}}) {
        const QString col = QString::fromLatin1(c.column);
        const QString value =
            store_
                .ScalarQuery(
                    QStringLiteral(
                        "SELECT %1%2 AND %1 <> '' GROUP BY %1 ORDER BY COUNT(*) DESC LIMIT 1")
                        .arg(col, active))
                .toString();
        ASSERT_FALSE(value.isEmpty()) << c.query;
        const qint64 expected = Count(QStringLiteral("SELECT COUNT(*)") + active +
                                          QStringLiteral(" AND %1 = ?").arg(col),
                                      {value});
        const qint64 othersBefore = Count(QStringLiteral("SELECT COUNT(*)") + active);
        const EngineResult r = Alt(QStringLiteral("ExecQueryBB"),
                                   {{QStringLiteral("chto"), QString::fromLatin1(c.query)},
                                    {QStringLiteral("param0"), value}});
        EXPECT_EQ(r.changes.size(), expected) << c.query;
        EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*)") + active +
                            QStringLiteral(" AND %1 = ?").arg(col),
                        {value}),
                  0);
        EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*)") + active), othersBefore - expected);
        for (const QString& row : r.changes)
            EXPECT_EQ(SplitRow(row).value(2), QStringLiteral("2"));
    }
    EXPECT_TRUE(Alt(QStringLiteral("ExecQueryBB"), {{QStringLiteral("chto"), QStringLiteral("50")},
                                                    {QStringLiteral("param0"), QString()}})
                    .changes.isEmpty());
}

TEST_F(ServerEngineTest, UserInformationChanges) {
    const qint64 account = 5;
    // A new value of a type the account has no value of yet gets its id.
    store_.Exec(QStringLiteral("DELETE FROM ui_value WHERE owner_id = 5 AND type_id = 4"));
    auto change = [&](qint64 id, qint64 owner, qint64 type, const QString& text) {
        const EngineResult r = Pair(QStringLiteral("ExecQueryBB"),
                                    {{QStringLiteral("chto"), QStringLiteral("1821")},
                                     {QStringLiteral("param0"), QString::number(id)},
                                     {QStringLiteral("param1"), QString::number(owner)},
                                     {QStringLiteral("param2"), QString::number(type)},
                                     {QStringLiteral("param3"), text},
                                     {QStringLiteral("BackParam"), QStringLiteral("1")},
                                     {QStringLiteral("ShowResult"), QStringLiteral("NO")}});
        EXPECT_EQ(r.answer.echo.Value(QStringLiteral("param3")), text);
        return SplitRow(r.answer.rows.value(0));
    };
    const QStringList created = change(0, account, 4, QStringLiteral("Договор 17"));
    ASSERT_EQ(created.size(), 4);
    EXPECT_EQ(created[0], QStringLiteral("0"));
    const qint64 newId = created[2].toLongLong();
    EXPECT_GT(newId, 0);
    EXPECT_EQ(store_.ScalarQuery(QStringLiteral("SELECT value FROM ui_value WHERE id = ?"), {newId})
                  .toString(),
              QStringLiteral("Договор 17"));
    // A second "new" value for the same owner and type changes the first one.
    EXPECT_EQ(change(0, account, 4, QStringLiteral("Договор 18"))[2].toLongLong(), newId);
    EXPECT_EQ(change(newId, account, 4, QString())[0], QStringLiteral("0"));
    EXPECT_EQ(
        Count(QStringLiteral("SELECT COUNT(*) FROM ui_value WHERE owner_id = 5 AND type_id = 4")),
        1);
    // The next 421 carries the stored value.
    bool found = false;
    for (const QString& row :
         Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("421")}})
             .answer.rows)
        found |= SplitRow(row).value(0).toLongLong() == newId;
    EXPECT_TRUE(found);

    // Refusals: unknown type, unknown owner, unknown value, garbage numbers.
    EXPECT_EQ(change(0, account, 99, QStringLiteral("x"))[0], QStringLiteral("-1"));
    EXPECT_EQ(change(0, 999999, 4, QStringLiteral("x"))[0], QStringLiteral("-1"));
    EXPECT_EQ(change(888888, account, 4, QStringLiteral("x"))[0], QStringLiteral("-1"));
    // Text the server cannot keep as typed comes back in its stored form with code -2.
    const QStringList shortened = change(newId, account, 4, QString(300, QLatin1Char('z')));
    EXPECT_EQ(shortened[0], QStringLiteral("-2"));
    EXPECT_EQ(shortened[3].size(), 255);
    const QStringList cleaned =
        change(newId, account, 4, QStringLiteral("a") + QChar(u'\x03') + QStringLiteral("b"));
    EXPECT_EQ(cleaned[0], QStringLiteral("-2"));
    EXPECT_EQ(cleaned[3], QStringLiteral("a b"));
}

TEST_F(ServerEngineTest, BadRequestsGetEmptyAnswersOrRefusals) {
    const qsizetype before = ServerLog::Recent().size();
    const EngineResult unknownQuery =
        Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("99999")}});
    EXPECT_FALSE(unknownQuery.refused);
    EXPECT_TRUE(unknownQuery.answer.rows.isEmpty());
    EXPECT_EQ(unknownQuery.answer.echo.Value(QStringLiteral("chto")), QStringLiteral("99999"));
    EXPECT_TRUE(
        Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("x")}}).refused);
    EXPECT_TRUE(
        Alt(QStringLiteral("ExecQueryBB"), {{QStringLiteral("chto"), QStringLiteral("12345")}})
            .answer.rows.isEmpty());
    EXPECT_TRUE(LoggedSince(before, QStringLiteral("unknown query")));

    EXPECT_TRUE(Pair(QStringLiteral("NoSuchRequest"), {}).refused);
    // The same refusals are found before a request runs, so it is acknowledged or refused at once.
    EXPECT_FALSE(Engine::Precheck(QStringLiteral("NoSuchRequest"), QString(), false).isEmpty());
    EXPECT_FALSE(Engine::Precheck(QStringLiteral("ExecQueryBB"), QStringLiteral("chto") + NUL, true)
                     .isEmpty());
    EXPECT_TRUE(
        Engine::Precheck(QStringLiteral("SpisokBB"), QStringLiteral("chto=211") + NUL, false)
            .isEmpty());
    EXPECT_TRUE(Engine::Precheck(QStringLiteral("IzmenaBB"), QString(), false).isEmpty());
    EXPECT_TRUE(
        engine_
            ->Handle(session_, QStringLiteral("SpisokBB"), QStringLiteral("garbage") + NUL, false)
            .refused);
    EXPECT_TRUE(
        engine_->Handle(session_, QStringLiteral("ExecQueryBB"), QStringLiteral("chto") + NUL, true)
            .refused);
}

TEST_F(ServerEngineTest, SimulatorKeepsTheStoreConsistentAndReportsEveryChange) {
    Simulator sim(*engine_, 3);
    QStringList rows;
    for (int i = 0; i < 20; ++i)
        rows << sim.Step(25);
    EXPECT_EQ(sim.EventsDone(), 500);
    QSet<QString> kinds;
    for (const QString& row : rows) {
        const QStringList f = SplitRow(row);
        ASSERT_EQ(f.size(), 22);
        kinds.insert(f[2]);
        if (f[2] == QLatin1String("4")) {
            EXPECT_FALSE(f[15].isEmpty());
            for (int n : {5, 8, 9, 10, 11, 12, 16, 17, 18}) {
                bool ok = false;
                f[n].toDouble(&ok);
                EXPECT_TRUE(ok) << n << " " << f[n].toStdString();
            }
            EXPECT_TRUE(f[7] == QLatin1String("B") || f[7] == QLatin1String("S"));
            EXPECT_EQ(
                Count(QStringLiteral("SELECT COUNT(*) FROM deal WHERE deal_num = ?"), {f[15]}), 1);
        }
        if (f[2] == QLatin1String("1") || f[2] == QLatin1String("2")) {
            EXPECT_EQ(
                Count(QStringLiteral("SELECT COUNT(*) FROM orders WHERE order_num = ?"), {f[3]}),
                1);
        }
        if (f[2] == QLatin1String("3")) {
            EXPECT_EQ(Count(QStringLiteral(
                                "SELECT COUNT(*) FROM portfolio WHERE acc_id = ? AND sec_id = ?"),
                            {f[20], f[21]}),
                      1);
        }
    }
    EXPECT_EQ(kinds, (QSet<QString>{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                    QStringLiteral("4")}));
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM orders WHERE qty_left < 0 OR ((status = "
                                   "11) <> (qty_left = 0) AND status < 20)")),
              0);
    EXPECT_EQ(Count(QStringLiteral(
                  "SELECT COUNT(*) FROM orders o WHERE o.qty_first - o.qty_left <> "
                  "(SELECT COALESCE(SUM(qty), 0) FROM deal d WHERE d.order_num = o.order_num)")),
              0);
}

TEST_F(ServerEngineTest, SimulatorFollowsANewTradingDay) {
    Simulator sim(*engine_, 4);
    sim.Step(50);
    store_.SetState(QStringLiteral("trading_date"), QStringLiteral("2026-03-03"));
    const QStringList rows = sim.Step(200);
    ASSERT_FALSE(rows.isEmpty());
    // Every order the simulator touches now belongs to the new day.
    for (const QString& row : rows) {
        const QStringList f = SplitRow(row);
        if (f[2] == QLatin1String("1") || f[2] == QLatin1String("2")) {
            EXPECT_EQ(
                store_
                    .ScalarQuery(
                        QStringLiteral("SELECT order_date FROM orders WHERE order_num = ?"), {f[3]})
                    .toString(),
                QStringLiteral("2026-03-03"));
        }
    }
    const EngineResult list =
        Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("211")}});
    EXPECT_EQ(list.answer.rows.size(),
              Count(QStringLiteral("SELECT COUNT(*) FROM orders WHERE order_date = '2026-03-03'")));
    EXPECT_GT(list.answer.rows.size(), 0);
}
