// Margin lending on the server: the formulas, the monitor's list, the rule lists and
// the commands with their refusals.
#include "ServerTestSupport.h"

#include "server/core/MarginFigures.h"

namespace {

struct FigureCase {
    const char* name;
    double money, longs, shorts;
    int mode, start, critical;
    MarginFigures want;
};

TEST(MarginFigures, FormulasOfTheList) {
    const FigureCase cases[] = {
        {"no credit", 1000, 500, 0, 1, 50, 25, {0, 1500, 1500, 100, 1500, 1500, 0}},
        {"debt at sixty percent", -400, 1000, 0, 1, 50, 25, {400, 1000, 600, 60, 600, 200, 0}},
        {"below critical", -900, 1000, 0, 1, 50, 25, {900, 1000, 100, 10, 100, 0, 800}},
        {"below start only", -600, 1000, 0, 1, 50, 25, {600, 1000, 400, 40, 400, 0, 0}},
        {"shorts are credit", 500, 0, 1000, 1, 50, 25, {1000, 500, -500, 0, 0, 0, 1000}},
        {"no lending mode", -400, 1000, 0, 0, 50, 25, {400, 1000, 600, 60, 0, 0, 0}},
        {"nothing at all", 0, 0, 0, 1, 50, 25, {0, 0, 0, 100, 0, 0, 0}},
        {"floor of a fraction", -1, 3, 0, 1, 50, 25, {1, 3, 2, 66, 2, 1, 0}},
    };
    for (const FigureCase& c : cases) {
        const MarginFigures f =
            ComputeMarginFigures(c.money, c.longs, c.shorts, c.mode, c.start, c.critical);
        EXPECT_DOUBLE_EQ(f.credit, c.want.credit) << c.name;
        EXPECT_DOUBLE_EQ(f.assets, c.want.assets) << c.name;
        EXPECT_DOUBLE_EQ(f.own, c.want.own) << c.name;
        EXPECT_EQ(f.percent, c.want.percent) << c.name;
        EXPECT_DOUBLE_EQ(f.maxCredit, c.want.maxCredit) << c.name;
        EXPECT_DOUBLE_EQ(f.addCredit, c.want.addCredit) << c.name;
        EXPECT_DOUBLE_EQ(f.needClose, c.want.needClose) << c.name;
    }
}

} // namespace

class ServerMarginTest : public DemoStoreTest {
protected:
    EngineResult Exec(std::initializer_list<std::pair<QString, QString>> params) {
        return Pair(QStringLiteral("ExecQueryBB"), params);
    }
    QString Code(const EngineResult& r) {
        return r.answer.rows.isEmpty() ? QStringLiteral("<none>")
                                       : WireText::SplitRow(r.answer.rows[0]).value(0);
    }
    QStringList Rules(const QString& client) {
        const EngineResult r =
            Pair(QStringLiteral("SpisokBB"), {{"chto", "651"}, {"param0", client}});
        QStringList out;
        for (const QString& row : r.answer.rows) {
            const QStringList f = WireText::SplitRow(row);
            out << f.value(0) + QLatin1Char('/') + f.value(2) + QLatin1Char('/') + f.value(3) +
                       f.value(4);
        }
        return out;
    }
    QString MarginClient(int i) {
        return store_
            .ScalarQuery(QStringLiteral("SELECT cli_id FROM margin_client ORDER BY cli_id "
                                        "LIMIT 1 OFFSET ?"),
                         {i})
            .toString();
    }
};

TEST_F(ServerMarginTest, DemoListShowsClientsAcrossTheLevels) {
    const EngineResult r = Pair(QStringLiteral("SpisokBB"), {{"chto", "650"}});
    ASSERT_EQ(r.answer.rows.size(), 10);
    ASSERT_NE(r.answer.Table(QStringLiteral("METADATA.FIELDS")), nullptr);
    int critical = 0, start = 0;
    for (const QString& row : r.answer.rows) {
        RowReader f(Engine::MarginClientsLayout(), row);
        const int percent = f.Raw(QStringLiteral("MARGIN_PERCENT")).toInt();
        if (percent < f.Raw(QStringLiteral("CRITICAL_MARGIN_LEVEL")).toInt())
            ++critical;
        else if (percent < f.Raw(QStringLiteral("START_MARGIN_LEVEL")).toInt())
            ++start;
        EXPECT_EQ(f.Text(QStringLiteral("MARGIN_MODE_NAME")), QString::fromUtf8("Маржинальный"));
        EXPECT_FALSE(f.Text(QStringLiteral("MARGIN_ACC_NAME")).isEmpty());
    }
    EXPECT_EQ(critical, 1);
    EXPECT_EQ(start, 2);
}

TEST_F(ServerMarginTest, LevelChangeIsStoredAndShown) {
    const QString cli = MarginClient(3);
    EXPECT_EQ(Code(Exec({{"chto", "604"},
                         {"param0", cli},
                         {"param1", "0"},
                         {"param2", "30"},
                         {"param3", "20"},
                         {"param4", "0"}})),
              "0");
    const EngineResult r = Pair(QStringLiteral("SpisokBB"), {{"chto", "650"}});
    bool seen = false;
    for (const QString& row : r.answer.rows) {
        RowReader f(Engine::MarginClientsLayout(), row);
        if (f.Raw(QStringLiteral("id_cli")) != cli)
            continue;
        seen = true;
        EXPECT_EQ(f.Raw(QStringLiteral("START_MARGIN_LEVEL")), "30");
        EXPECT_EQ(f.Raw(QStringLiteral("CRITICAL_MARGIN_LEVEL")), "20");
        EXPECT_EQ(f.Text(QStringLiteral("MARGIN_MODE_NAME")),
                  QString::fromUtf8("Без кредитования"));
        EXPECT_EQ(f.Text(QStringLiteral("MARGIN_ACC_NAME")), QString());
        EXPECT_EQ(f.Raw(QStringLiteral("SUM_MAX_KREDIT")), "0");
    }
    EXPECT_TRUE(seen);
}

TEST_F(ServerMarginTest, RuleCommandsChangeTheStore) {
    const QString a = MarginClient(0), b = MarginClient(1);
    EXPECT_EQ(Code(Exec({{"chto", "603"}, {"param0", a}})), "0");
    EXPECT_TRUE(Rules(a).isEmpty());
    for (const char* sec : {"5", "7", "-1"})
        EXPECT_EQ(Code(Exec({{"chto", "600"},
                             {"param0", a},
                             {"param1", sec},
                             {"param2", "1500.7"},
                             {"param3", "1"},
                             {"param4", "0"},
                             {"param5", "0"}})),
                  "0");
    EXPECT_EQ(Rules(a), QStringList({"-1/1500.7/10", "5/1500.7/10", "7/1500.7/10"}));
    EXPECT_EQ(Code(Exec({{"chto", "600"},
                         {"param0", a},
                         {"param1", "5"},
                         {"param2", "1501"},
                         {"param3", "0"},
                         {"param4", "1"},
                         {"param5", "1"}})),
              "0");
    EXPECT_EQ(Code(Exec({{"chto", "601"}, {"param0", a}, {"param1", "7"}})), "0");
    EXPECT_EQ(Rules(a), QStringList({"-1/1500.7/10", "5/1501/01"}));
    EXPECT_EQ(Count(QStringLiteral("SELECT allowed2 FROM margin_rule WHERE cli_id = ? AND "
                                   "sec_id = 5"),
                    {a}),
              1);
    EXPECT_EQ(Code(Exec({{"chto", "602"}, {"param0", a}, {"param1", b}})), "0");
    EXPECT_EQ(Rules(b), Rules(a));
    EXPECT_EQ(Code(Exec({{"chto", "603"}, {"param0", b}})), "0");
    EXPECT_TRUE(Rules(b).isEmpty());
}

TEST_F(ServerMarginTest, BadCommandsAreRefusedAndChangeNothing) {
    const QString a = MarginClient(0);
    const qint64 before = Count(QStringLiteral("SELECT COUNT(*) FROM margin_rule"));
    const auto rule = [&](const char* cli, const char* sec, const char* limit, const char* f3,
                          const char* f4) {
        return Code(Exec({{"chto", "600"},
                          {"param0", cli},
                          {"param1", sec},
                          {"param2", limit},
                          {"param3", f3},
                          {"param4", f4},
                          {"param5", f4}}));
    };
    const QByteArray cli = a.toUtf8();
    EXPECT_NE(rule("999999", "5", "0", "1", "1"), "0") << "unknown client";
    EXPECT_NE(rule(cli, "999999", "0", "1", "1"), "0") << "unknown security";
    EXPECT_NE(rule(cli, "-99", "0", "1", "1"), "0") << "unknown money item";
    EXPECT_NE(rule(cli, "5", "-1", "1", "1"), "0") << "negative limit";
    EXPECT_NE(rule(cli, "5", "1,5", "1", "1"), "0") << "comma decimal";
    EXPECT_NE(rule(cli, "5", "abc", "1", "1"), "0") << "text limit";
    EXPECT_NE(rule(cli, "5", "0", "2", "1"), "0") << "bad flag";
    EXPECT_NE(Code(Exec({{"chto", "601"}, {"param0", a}, {"param1", "199"}})), "0")
        << "missing rule";
    EXPECT_NE(Code(Exec({{"chto", "602"}, {"param0", a}, {"param1", a}})), "0") << "onto itself";
    const auto levels = [&](const char* mode, const char* start, const char* crit,
                            const char* acc) {
        return Code(Exec({{"chto", "604"},
                          {"param0", a},
                          {"param1", mode},
                          {"param2", start},
                          {"param3", crit},
                          {"param4", acc}}));
    };
    EXPECT_NE(levels("1", "0", "0", "1"), "0") << "level 0";
    EXPECT_NE(levels("1", "101", "20", "1"), "0") << "level above 100";
    EXPECT_NE(levels("1", "20", "21", "1"), "0") << "critical above start";
    EXPECT_NE(levels("1", "50", "25", "0"), "0") << "lending without an account";
    EXPECT_NE(levels("1", "50", "25", "100"), "0") << "a client's account";
    EXPECT_EQ(levels("1", "20", "20", "1"), "0") << "equal levels";
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM margin_rule")), before);
}
