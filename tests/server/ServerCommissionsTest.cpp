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
