// The commission lists 750 to 756 of the demo store: named answers, what each list
// holds, and demo texts the workstation can parse and link.
#include "ServerTestSupport.h"

#include "server/core/WireText.h"

#include <QRegularExpression>
#include <QSqlQuery>

using WireText::SplitRow;

namespace {

using ServerCommissionsTest = DemoStoreTest;

} // namespace

TEST_F(ServerCommissionsTest, ListsAnswerByNameWithWhatTheManagerReads) {
    struct Case {
        int query;
        int fields;
        const char* countSql;
    } cases[] = {
        {754, 2, "SELECT COUNT(*) FROM client WHERE id <> 1"},
        {755, 3, "SELECT COUNT(*) FROM account WHERE client_id <> 1"},
        {756, 3, "SELECT COUNT(*) FROM account WHERE client_id = 1"},
        {750, 12, "SELECT COUNT(*) FROM tariff"},
        {751, 2, "SELECT COUNT(*) FROM tariff_plan"},
        {752, 2, "SELECT COUNT(*) FROM plan_tariff"},
        {753, 6, "SELECT COUNT(*) FROM plan_client WHERE plan_id <> 0"},
    };
    for (const Case& c : cases) {
        const EngineResult r =
            Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QString::number(c.query)},
                                              {QStringLiteral("BackParam"), QStringLiteral("1")}});
        ASSERT_FALSE(r.refused) << c.query;
        const AnswerTable* header = r.answer.Table(QStringLiteral("METADATA.HEADER"));
        ASSERT_NE(header, nullptr) << c.query;
        EXPECT_EQ(header->Value(QStringLiteral("METADATA_ID")),
                  QStringLiteral("SpisokBB.%1").arg(c.query));
        EXPECT_EQ(r.answer.echo.Value(QStringLiteral("chto")), QString::number(c.query));
        EXPECT_EQ(r.answer.echo.Value(QStringLiteral("BackParam")), QStringLiteral("1"));
        EXPECT_EQ(r.answer.rows.size(), Count(QString::fromLatin1(c.countSql))) << c.query;
        EXPECT_GT(r.answer.rows.size(), 0) << c.query;
        for (const QString& row : r.answer.rows)
            ASSERT_EQ(SplitRow(row).size(), c.fields) << c.query;
    }
    // Own-deal account 0 is named as the deal's own account.
    const EngineResult attached =
        Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("753")}});
    int dealAccounts = 0;
    for (const QString& row : attached.answer.rows) {
        const QStringList f = SplitRow(row);
        if (f[2] == QLatin1String("0")) {
            EXPECT_EQ(f[3], QString::fromUtf8("<Счет сделки>"));
            ++dealAccounts;
        }
    }
    EXPECT_GT(dealAccounts, 0);
}

TEST_F(ServerCommissionsTest, DemoTariffsCoverEveryFormAndResolve) {
    EXPECT_GE(Count(QStringLiteral("SELECT COUNT(*) FROM tariff")), 12);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(DISTINCT algorithm) FROM tariff")), 4);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(DISTINCT tariff_type) FROM tariff")), 3);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM tariff_plan")), 4);
    EXPECT_GE(Count(QStringLiteral("SELECT COUNT(*) FROM plan_client")), 30);
    EXPECT_GT(Count(QStringLiteral("SELECT COUNT(*) FROM tariff WHERE area_work_exclude <> ''")),
              0);
    EXPECT_GT(Count(QStringLiteral("SELECT COUNT(*) FROM tariff WHERE area_vol_exclude <> ''")), 0);
    // Destinations are the firm's accounts; attachments use the client's own accounts.
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM tariff t LEFT JOIN account a ON a.id = "
                                   "t.dest_acc_id WHERE a.client_id IS NOT 1")),
              0);
    EXPECT_EQ(Count(QStringLiteral(
                  "SELECT COUNT(*) FROM plan_client p LEFT JOIN account a ON a.id = p.cli_acc_id "
                  "WHERE a.client_id IS NOT p.client_id OR (p.self_acc_id <> 0 AND NOT EXISTS "
                  "(SELECT 1 FROM account s WHERE s.id = p.self_acc_id AND s.client_id = "
                  "p.client_id))")),
              0);
    // Every area item names things that exist; scales have 2 to 4 lines of numbers.
    const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    QSqlQuery q(store_.Db());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT area_work, area_vol, area_work_exclude, "
                                      "area_vol_exclude, scale, algorithm FROM tariff")));
    while (q.next()) {
        for (int column = 0; column < 4; ++column) {
            const QStringList p = q.value(column).toString().split(QLatin1Char(';'));
            ASSERT_EQ(p.size() % 4, 1) << q.value(column).toString().toStdString();
            for (int i = 0; i + 4 <= p.size(); i += 4) {
                auto exists = [&](const char* table, const QString& id) {
                    return id == QLatin1String("-1") ||
                           Count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE id = ?")
                                     .arg(QString::fromLatin1(table)),
                                 {id.toInt()}) == 1;
                };
                EXPECT_TRUE(exists("trading_system", p[i]));
                EXPECT_TRUE(exists("board", p[i + 1]));
                EXPECT_TRUE(QStringList({"-1", "0", "1", "2", "3", "5", "6"}).contains(p[i + 2]));
                EXPECT_TRUE(exists("security", p[i + 3]));
            }
        }
        const QStringList scale = q.value(4).toString().split(QLatin1Char(';'));
        const int lines = int(scale.size() / 4);
        if (q.value(5).toInt() <= 2) {
            EXPECT_GE(lines, 1);
            EXPECT_LE(lines, 4);
        } else {
            EXPECT_EQ(lines, 0);
        }
        for (int i = 0; i + 1 < scale.size(); ++i)
            EXPECT_TRUE(number.match(scale[i]).hasMatch()) << scale[i].toStdString();
    }
}

TEST_F(ServerCommissionsTest, CommandsChangeTheStoreOrAnswerWhyNot) {
    // A client with two accounts of its own, and an account of someone else.
    QSqlQuery pick(store_.Db());
    ASSERT_TRUE(pick.exec(QStringLiteral(
        "SELECT client_id, MIN(id), MAX(id) FROM account WHERE client_id <> 1 GROUP BY "
        "client_id HAVING COUNT(*) > 1 LIMIT 1")));
    ASSERT_TRUE(pick.next());
    const QString client = pick.value(0).toString(), acc1 = pick.value(1).toString(),
                  acc2 = pick.value(2).toString();
    const QString foreign =
        QString::number(Count(QStringLiteral("SELECT MIN(id) FROM account WHERE client_id "
                                             "NOT IN (1, ?)"),
                              {client.toInt()}));
    const QString next = QString::number(Count(QStringLiteral("SELECT MAX(id) FROM tariff")) + 1);
    const QString nextPlan =
        QString::number(Count(QStringLiteral("SELECT MAX(id) FROM tariff_plan")) + 1);

    auto tariff = [](const char* id, const char* algorithm, const char* dest, const char* sum,
                     const char* work, const char* scale, const char* name) {
        return std::vector<std::pair<QString, QString>>{
            {"chto", "1901"},       {"param0", id},     {"param1", algorithm},
            {"param2", "1"},        {"param3", dest},   {"param4", sum},
            {"param5", work},       {"param6", work},   {"param7", ""},
            {"param8", ""},         {"param9", scale},  {"param10", QString::fromUtf8(name)},
            {"param11", "1"},       {"BackParam", "1"}, {"ShowResult", "NO"},
            {"LoopBackCount", "1"}, {"LoopBack0", "77"}};
    };
    using Params = std::vector<std::pair<QString, QString>>;
    struct Case {
        const char* what;
        Params params;
        int code;
        QString newId; // 1901, 1903
    } cases[] = {
        {"new tariff", tariff("0", "1", "2", "0", "1;-1;-1;-1;", "0;0;0.05;0;", ""), 0, next},
        {"rate above 100", tariff("0", "1", "2", "0", "1;-1;-1;-1;", "0;0;150;0;", "x"), -3, "0"},
        {"unknown board", tariff("0", "1", "2", "0", "1;999;-1;-1;", "0;0;1;0;", "x"), -2, "0"},
        {"broken area", tariff("0", "1", "2", "0", "1;x;", "0;0;1;0;", "x"), -1, "0"},
        {"comma sum", tariff("0", "3", "2", "1,5", "1;-1;-1;-1;", "", "x"), -1, "0"},
        {"no sum", tariff("0", "3", "2", "0", "1;-1;-1;-1;", "", "x"), -3, "0"},
        {"client destination", tariff("0", "4", acc1.toUtf8().constData(), "0", "", "", "x"), -3,
         "0"},
        {"edit keeps the id", tariff(next.toUtf8().constData(), "4", "2", "0", "", "", "Сборы"), 0,
         next},
        {"new plan", {{"chto", "1903"}, {"param0", "0"}, {"param1", "План"}}, 0, nextPlan},
        {"blank plan name", {{"chto", "1903"}, {"param0", nextPlan}, {"param1", "  "}}, -3, "0"},
        {"tariff into plan", {{"chto", "1905"}, {"param0", next}, {"param1", nextPlan}}, 0, ""},
        {"again: no change", {{"chto", "1905"}, {"param0", next}, {"param1", nextPlan}}, 0, ""},
        {"not in plan", {{"chto", "1906"}, {"param0", "1"}, {"param1", nextPlan}}, -3, ""},
        {"attach",
         {{"chto", "1907"},
          {"param0", nextPlan},
          {"param1", client},
          {"param2", "0"},
          {"param3", acc2}},
         0,
         ""},
        {"foreign account",
         {{"chto", "1907"},
          {"param0", nextPlan},
          {"param1", client},
          {"param2", acc1},
          {"param3", foreign}},
         -3,
         ""},
        {"detach from another plan",
         {{"chto", "1908"}, {"param0", "1"}, {"param1", client}, {"param2", "0"}, {"param3", acc2}},
         -3,
         ""},
        {"unknown plan", {{"chto", "1904"}, {"param0", "9999"}}, -2, ""},
    };
    for (const Case& c : cases) {
        QString text;
        for (const auto& [k, v] : c.params)
            text += k + QChar(u'\0') + v + QChar(u'\0');
        const EngineResult r = engine_->Handle(session_, QStringLiteral("ExecQueryBB"), text, true);
        ASSERT_EQ(r.answer.rows.size(), 1) << c.what;
        const QStringList f = SplitRow(r.answer.rows[0]);
        EXPECT_EQ(f.value(0).toInt(), c.code) << c.what << " " << f.value(1).toStdString();
        EXPECT_EQ(f.value(1).isEmpty(), c.code == 0) << c.what;
        if (!c.newId.isEmpty()) {
            EXPECT_EQ(f.value(2), c.newId) << c.what;
        }
        EXPECT_EQ(r.answer.echo.Value(QStringLiteral("param0")), c.params[1].second) << c.what;
        EXPECT_EQ(
            r.answer.Table(QStringLiteral("METADATA.HEADER"))->Value(QStringLiteral("METADATA_ID")),
            QStringLiteral("ExecQueryBB.") + c.params[0].second);
    }
    EXPECT_EQ(
        store_.ScalarQuery(QStringLiteral("SELECT name FROM tariff WHERE id = ?"), {next.toInt()})
            .toString(),
        QString::fromUtf8("Сборы"));
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM plan_tariff WHERE plan_id = ?"),
                    {nextPlan.toInt()}),
              1);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM plan_client WHERE plan_id = ?"),
                    {nextPlan.toInt()}),
              1);

    // A store failure changes nothing; then deleting the tariff (pair form) takes it out
    // of its plan, and deleting the plan detaches its client.
    store_.SetState(QStringLiteral("commission.fail_next"), QStringLiteral("1"));
    const EngineResult failed =
        Pair(QStringLiteral("ExecQueryBB"), {{QStringLiteral("chto"), QStringLiteral("1902")},
                                             {QStringLiteral("BackParam"), QStringLiteral("1")},
                                             {QStringLiteral("param0"), next}});
    EXPECT_EQ(SplitRow(failed.answer.rows.value(0)).value(0), QStringLiteral("-10"));
    const EngineResult deleted =
        Pair(QStringLiteral("ExecQueryBB"), {{QStringLiteral("chto"), QStringLiteral("1902")},
                                             {QStringLiteral("BackParam"), QStringLiteral("1")},
                                             {QStringLiteral("param0"), next}});
    EXPECT_EQ(SplitRow(deleted.answer.rows.value(0)).value(0), QStringLiteral("0"));
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM plan_tariff WHERE tariff_id = ?"),
                    {next.toInt()}),
              0);
    const EngineResult planGone =
        Alt(QStringLiteral("ExecQueryBB"), {{QStringLiteral("chto"), QStringLiteral("1904")},
                                            {QStringLiteral("param0"), nextPlan}});
    EXPECT_EQ(SplitRow(planGone.answer.rows.value(0)).value(0), QStringLiteral("0"));
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM plan_client WHERE client_id = ?"),
                    {client.toInt()}),
              0);
    // Ids are not given again.
    const EngineResult again =
        Alt(QStringLiteral("ExecQueryBB"), {{QStringLiteral("chto"), QStringLiteral("1903")},
                                            {QStringLiteral("param0"), QStringLiteral("0")},
                                            {QStringLiteral("param1"), QStringLiteral("P")}});
    EXPECT_GT(SplitRow(again.answer.rows.value(0)).value(2).toInt(), nextPlan.toInt());
}
