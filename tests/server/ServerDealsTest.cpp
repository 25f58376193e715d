// The deals, portfolio, position and transactions lists, and how a live deal of the
// simulator agrees with them.
#include "ServerTestSupport.h"

#include "server/core/Simulator.h"

using WireText::SplitRow;

namespace {

const QChar NUL(u'\0');

class ServerDealsTest : public DemoStoreTest {
protected:
    EngineResult List(const QString& chto, const QList<std::pair<QString, QString>>& params) {
        QString text = QStringLiteral("chto=") + chto + NUL;
        for (const auto& [k, v] : params)
            text += k + QLatin1Char('=') + v + NUL;
        return engine_->Handle(session_, QStringLiteral("SpisokBB"), text, false);
    }
    static bool Refused(const EngineResult& r) {
        return r.answer.Table(Refusal::kTable) != nullptr && r.answer.rows.isEmpty();
    }
    static QStringList Fields(const EngineResult& r, int row) {
        return SplitRow(r.answer.rows.value(row));
    }
};

// Field positions of the 201 answer.
enum DealField { kNum = 0, kSide = 4, kPrice = 5, kLots = 6, kVol = 7, kExch = 9, kNet = 12 };

} // namespace

TEST_F(ServerDealsTest, TheDaysDealsFilteredWithANetPriceOfTheWorkstationsFormula) {
    const EngineResult all = List(QStringLiteral("201"), {{QStringLiteral("fltr"), QString()}});
    ASSERT_EQ(all.answer.rows.size(),
              Count(QStringLiteral("SELECT COUNT(*) FROM deal WHERE deal_date = '2026-03-02'")));
    ASSERT_GT(all.answer.rows.size(), 100);
    for (int i = 0; i < all.answer.rows.size(); ++i) {
        const QStringList f = Fields(all, i);
        ASSERT_EQ(f.size(), 20);
        QSqlQuery q(store_.Db());
        q.prepare(QStringLiteral("SELECT s.lot_size, s.nominal FROM deal d JOIN security s ON "
                                 "s.id = d.sec_id WHERE d.deal_num = ?"));
        q.addBindValue(f[kNum]);
        ASSERT_TRUE(q.exec() && q.next());
        const double base =
            f[kLots].toDouble() * q.value(0).toDouble() * q.value(1).toDouble() / 100;
        ASSERT_GT(base, 0); // no security of the demo data lacks a lot size or nominal
        const double fees = f[kExch].toDouble() + f[kExch + 1].toDouble() + f[kExch + 2].toDouble();
        const double sign = f[kSide] == QLatin1String("B") ? 1 : -1;
        EXPECT_NEAR(f[kNet].toDouble(), f[kPrice].toDouble() + sign * fees / base, 1e-6);
    }
    const QList<std::pair<QString, qint64>> filters = {
        {QStringLiteral(" AND BUY_SELL='B'"),
         Count(QStringLiteral("SELECT COUNT(*) FROM deal WHERE deal_date = '2026-03-02' AND "
                              "buy_sell = 'B'"))},
        {QStringLiteral(" AND (ID_ACC=4 OR ID_ACC=5 OR ID_ACC=6)"),
         Count(QStringLiteral("SELECT COUNT(*) FROM deal WHERE deal_date = '2026-03-02' AND "
                              "acc_id IN (4, 5, 6)"))},
        {QStringLiteral(" AND (TS=2)"),
         Count(QStringLiteral("SELECT COUNT(*) FROM deal d JOIN security s ON s.id = d.sec_id "
                              "WHERE d.deal_date = '2026-03-02' AND s.ts_id = 2"))},
    };
    for (const auto& [fltr, expected] : filters)
        EXPECT_EQ(List(QStringLiteral("201"), {{QStringLiteral("fltr"), fltr}}).answer.rows.size(),
                  expected)
            << fltr.toStdString();
}

TEST_F(ServerDealsTest, BadFiltersAndMisplacedGroupingAreRefused) {
    const QList<std::pair<const char*, QString>> cases = {
        {"201", QStringLiteral(" AND BUY_SELL='B' group by ID_BUM,INSTR ")},
        {"201", QStringLiteral(" AND (ID_ACC=4); DELETE FROM deal")},
        {"201", QStringLiteral(" AND (ID_ACC_DEBET=4)")},
        {"205", QStringLiteral(" AND (ID_ACC=4)")},
        {"204", QStringLiteral(" AND (ID_ACC=4)")},                         // no grouping
        {"204", QStringLiteral(" AND (ID_ACC=4) group by ID_BUM, INSTR ")}, // not as sent
        {"204", QStringLiteral(" AND BUY_SELL='B' group by ID_BUM,INSTR ")},
    };
    for (const auto& [chto, fltr] : cases)
        EXPECT_TRUE(Refused(List(QString::fromLatin1(chto), {{QStringLiteral("fltr"), fltr}})))
            << chto << fltr.toStdString();
}

TEST_F(ServerDealsTest, PortfolioListsKeyedRowsAndTheKeyedUpdateOnlyTheNamedPositions) {
    const EngineResult all =
        List(QStringLiteral("212"), {{QStringLiteral("filter_acc"), QString()},
                                     {QStringLiteral("filter_bum"), QString()},
                                     {QStringLiteral("filter_short_long"), QString()}});
    ASSERT_EQ(all.answer.rows.size(), Count(QStringLiteral("SELECT COUNT(*) FROM portfolio")));
    int money = 0;
    for (int i = 0; i < all.answer.rows.size(); ++i) {
        const QStringList f = Fields(all, i);
        ASSERT_EQ(f.size(), 11);
        EXPECT_EQ(f[10], f[7] + QLatin1Char('_') + f[9]); // KEY_FIELD = ID_ACC_ID_BUM
        if (f[9].toInt() < 0) {
            ++money;
            EXPECT_TRUE(f[0].startsWith(QStringLiteral("_Деньги."))) << f[0].toStdString();
        }
    }
    EXPECT_GT(money, 0);

    QSqlQuery q(store_.Db());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT acc_id, sec_id FROM portfolio WHERE sec_id < 0 "
                                      "ORDER BY acc_id LIMIT 2")));
    QStringList keys;
    while (q.next())
        keys << q.value(0).toString() + QLatin1Char('_') + q.value(1).toString();
    ASSERT_EQ(keys.size(), 2);
    // The second position's numbers follow a key without "_": a gap of one pair.
    const auto part = [&](int key, int half) { return keys[key].split(QLatin1Char('_'))[half]; };
    const EngineResult keyed =
        List(QStringLiteral("213"),
             {{QStringLiteral("filter_acc"), QString()},
              {QStringLiteral("filter_bum"), QString()},
              {QStringLiteral("filter_short_long"), QString()},
              {QStringLiteral("param0"), part(0, 0)},
              {QStringLiteral("param1"), part(0, 1)},
              {QStringLiteral("param4"), part(1, 0)},
              {QStringLiteral("param5"), part(1, 1)},
              {QStringLiteral("LoopBackCount"), QStringLiteral("2")},
              {QStringLiteral("LoopBack0"), QStringLiteral("UPDATE_WITH_KEY_FIELD")}});
    QStringList returned;
    for (int i = 0; i < keyed.answer.rows.size(); ++i)
        returned << Fields(keyed, i).value(10);
    EXPECT_EQ(returned, keys);
    EXPECT_EQ(keyed.answer.echo.Value(QStringLiteral("LoopBack0")),
              QStringLiteral("UPDATE_WITH_KEY_FIELD"));

    const qint64 longs = Count(
        QStringLiteral("SELECT COUNT(*) FROM portfolio WHERE curr_saldo > 0 AND plan_saldo > 0"));
    EXPECT_EQ(
        List(QStringLiteral("212"), {{QStringLiteral("filter_short_long"), QStringLiteral("L")}})
            .answer.rows.size(),
        longs);
    EXPECT_TRUE(Refused(
        List(QStringLiteral("212"), {{QStringLiteral("filter_short_long"), QStringLiteral("X")}})));
}

TEST_F(ServerDealsTest, PositionSumsTheAdmittedAccountsPerInstrument) {
    const EngineResult r =
        List(QStringLiteral("204"),
             {{QStringLiteral("fltr"), QStringLiteral(" AND (ID_ACC=4 OR ID_ACC=5 OR ID_ACC=6 OR "
                                                      "ID_ACC=7) group by ID_BUM,INSTR ")}});
    ASSERT_NE(r.answer.Table(QStringLiteral("METADATA.FIELDS")), nullptr);
    ASSERT_EQ(r.answer.rows.size(),
              Count(QStringLiteral("SELECT COUNT(DISTINCT sec_id) FROM portfolio WHERE acc_id "
                                   "BETWEEN 4 AND 7")));
    for (int i = 0; i < r.answer.rows.size(); ++i) {
        const QStringList f = Fields(r, i);
        ASSERT_EQ(f.size(), 5);
        QSqlQuery q(store_.Db());
        q.prepare(QStringLiteral("SELECT SUM(curr_saldo) FROM portfolio WHERE acc_id BETWEEN 4 "
                                 "AND 7 AND sec_id = ?"));
        q.addBindValue(f[4]);
        ASSERT_TRUE(q.exec() && q.next());
        EXPECT_NEAR(f[2].toDouble(), q.value(0).toDouble(), 0.006);
    }
    EXPECT_FALSE(
        Refused(List(QStringLiteral("204"),
                     {{QStringLiteral("fltr"), QStringLiteral(" group by ID_BUM,INSTR ")}})));
}

TEST_F(ServerDealsTest, TransactionsOfTheDayNameTheirInstrumentAsTheWorkstationLists) {
    const EngineResult r = List(QStringLiteral("205"), {{QStringLiteral("fltr"), QString()}});
    ASSERT_EQ(r.answer.rows.size(),
              Count(QStringLiteral("SELECT COUNT(*) FROM txn WHERE exec_date = '2026-03-02'")));
    ASSERT_GE(r.answer.rows.size(), 24); // some dozens
    int negative = 0;
    for (int i = 0; i < r.answer.rows.size(); ++i) {
        const QStringList f = Fields(r, i);
        ASSERT_EQ(f.size(), 11);
        negative += f[5].toDouble() < 0;
        const QString expected =
            f[10].toInt() < 0
                ? QStringLiteral("_Деньги.") +
                      store_
                          .ScalarQuery(
                              QStringLiteral("SELECT name FROM trading_system WHERE id = ?"),
                              {-f[10].toInt()})
                          .toString()
                : store_
                      .ScalarQuery(QStringLiteral("SELECT short_name FROM security WHERE id = ?"),
                                   {f[10]})
                      .toString();
        EXPECT_EQ(f[4], expected);
    }
    EXPECT_GE(negative, 1);
    const qint64 debit4 = Count(QStringLiteral(
        "SELECT COUNT(*) FROM txn WHERE exec_date = '2026-03-02' AND (acc_debet = 4 OR "
        "acc_kredit = 4) AND sec_id < 0"));
    EXPECT_EQ(List(QStringLiteral("205"),
                   {{QStringLiteral("fltr"),
                     QStringLiteral(" AND (ID_ACC_DEBET=4 OR ID_ACC_KREDIT=4) AND (TS=1 OR TS=2 "
                                    "OR TS=3 OR TS=4 OR ID_BUM=-1 OR ID_BUM=-2 OR ID_BUM=-3 OR "
                                    "ID_BUM=-4)")}})
                      .answer.rows.size() >= debit4,
              true);
}

TEST_F(ServerDealsTest, ALiveDealListsWithTheNumbersOfItsChangeRow) {
    Simulator sim(*engine_, 5);
    QStringList deals;
    for (int i = 0; i < 40 && deals.isEmpty(); ++i)
        for (const QString& row : sim.Step(20))
            if (SplitRow(row).value(2) == QLatin1String("4"))
                deals << row;
    ASSERT_FALSE(deals.isEmpty());
    const EngineResult all = List(QStringLiteral("201"), {{QStringLiteral("fltr"), QString()}});
    for (const QString& row : deals) {
        const QStringList c = SplitRow(row);
        bool found = false;
        for (int i = 0; i < all.answer.rows.size() && !found; ++i) {
            const QStringList f = Fields(all, i);
            if (f[kNum] != c[15])
                continue;
            found = true;
            EXPECT_EQ(f[kPrice], c[5]);
            EXPECT_EQ(f[kLots], c[8]);
            EXPECT_EQ(f[kVol], c[9]);
            EXPECT_EQ(f[kSide], c[7]);
        }
        EXPECT_TRUE(found) << c[15].toStdString();
    }
}
