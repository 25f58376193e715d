// The futures contracts and money lists (209, 210) and the T+ balances (310): their
// figures agree with each other and the store, filters restrict them, bad input gets
// an empty answer that says why.
#include "ServerTestSupport.h"

using WireText::SplitRow;

namespace {

const QChar NUL(u'\0');

class ServerFuturesTest : public DemoStoreTest {
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
    EngineResult TPlus(const QString& from, const QString& to, const QString& fltr = {}) {
        return List(QStringLiteral("310"), {{QStringLiteral("fltr"), fltr},
                                            {QStringLiteral("param0"), from},
                                            {QStringLiteral("param1"), to}});
    }
};

// Field positions of the answers.
enum Contract {
    kInCount = 3,
    kCount = 4,
    kDep = 5,
    kPlanDep = 6,
    kAvg = 7,
    kVm = 8,
    kAcc = 9,
    kSec = 10
};
enum Money {
    kFree = 3,
    kSumDep = 4,
    kTotal = 5,
    kSumVm = 6,
    kComm = 7,
    kPlanTotal = 8,
    kAvail = 9,
    kMAcc = 10
};
enum Balance { kDate = 0, kLimit = 4, kCurr = 5, kDelivery = 6, kPlann = 7, kBAcc = 8, kBSec = 10 };

} // namespace

TEST_F(ServerFuturesTest, ContractsCarryDepositsAndMarginOfTheirSecurities) {
    const EngineResult all = List(QStringLiteral("209"), {});
    ASSERT_EQ(all.answer.rows.size(), Count(QStringLiteral("SELECT COUNT(*) FROM fut_position")));
    ASSERT_GT(all.answer.rows.size(), 10);
    for (const QString& row : all.answer.rows) {
        const QStringList f = SplitRow(row);
        ASSERT_EQ(f.size(), 12);
        QSqlQuery q(store_.Db());
        q.prepare(QStringLiteral(
            "SELECT fut_buy_deposit, fut_sell_deposit, last_price FROM security WHERE id = ?"));
        q.addBindValue(f[kSec]);
        ASSERT_TRUE(q.exec() && q.next());
        const double count = f[kCount].toDouble();
        const double deposit = count < 0 ? q.value(1).toDouble() : q.value(0).toDouble();
        EXPECT_NEAR(f[kDep].toDouble(), std::abs(count) * deposit, 0.006);
        EXPECT_NEAR(f[kVm].toDouble(), (q.value(2).toDouble() - f[kAvg].toDouble()) * count, 0.006);
        EXPECT_GE(f[kPlanDep].toDouble(), 0);
    }
    const QString acc = SplitRow(all.answer.rows[0])[kAcc];
    const QString sec = SplitRow(all.answer.rows[0])[kSec];
    const struct {
        QList<std::pair<QString, QString>> params;
        qint64 rows;
    } cases[] = {
        {{{QStringLiteral("filter_acc"), acc}},
         Count(QStringLiteral("SELECT COUNT(*) FROM fut_position WHERE acc_id = ?"), {acc})},
        {{{QStringLiteral("filter_bum"), sec}},
         Count(QStringLiteral("SELECT COUNT(*) FROM fut_position WHERE sec_id = ?"), {sec})},
        {{{QStringLiteral("filter_acc"), acc},
          {QStringLiteral("filter_bum"), QStringLiteral("-2")}},
         0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(List(QStringLiteral("209"), c.params).answer.rows.size(), c.rows);
    EXPECT_TRUE(Refused(List(QStringLiteral("209"),
                             {{QStringLiteral("filter_acc"), QStringLiteral("5;DROP TABLE x")}})));
}

TEST_F(ServerFuturesTest, MoneyTotalsAreTheDepositsOfTheContractsPlusFreeMoney) {
    QHash<QString, double> deposits, margins;
    for (const QString& row : List(QStringLiteral("209"), {}).answer.rows) {
        const QStringList f = SplitRow(row);
        deposits[f[kAcc]] += f[kDep].toDouble();
        margins[f[kAcc]] += f[kVm].toDouble();
    }
    const EngineResult money = List(QStringLiteral("210"), {});
    ASSERT_EQ(money.answer.rows.size(), Count(QStringLiteral("SELECT COUNT(*) FROM fut_money")));
    int shortOfMoney = 0;
    for (const QString& row : money.answer.rows) {
        const QStringList f = SplitRow(row);
        ASSERT_EQ(f.size(), 12);
        EXPECT_TRUE(f[0].startsWith(QStringLiteral("_Деньги."))) << f[0].toStdString();
        EXPECT_NEAR(f[kSumDep].toDouble(), deposits.value(f[kMAcc]), 0.05);
        EXPECT_NEAR(f[kSumVm].toDouble(), margins.value(f[kMAcc]), 0.05);
        EXPECT_NEAR(f[kTotal].toDouble(), f[kSumDep].toDouble() + f[kFree].toDouble(), 0.011);
        EXPECT_NEAR(f[kPlanTotal].toDouble(),
                    f[kTotal].toDouble() + f[kSumVm].toDouble() - f[kComm].toDouble(), 0.03);
        EXPECT_GE(f[kAvail].toDouble(), 0);
        shortOfMoney += f[kFree].toDouble() < 0;
    }
    EXPECT_GT(shortOfMoney, 0);
}

TEST_F(ServerFuturesTest, TPlusGivesEveryPositionOnEveryDateWithItsDeliveryOnTheSettlementDate) {
    const EngineResult today = TPlus(QStringLiteral("02.03.2026"), QStringLiteral("02.03.2026"));
    const qint64 positions =
        Count(QStringLiteral("SELECT COUNT(*) FROM (SELECT DISTINCT acc_id, sec_id FROM tplus)"));
    ASSERT_EQ(today.answer.rows.size(), positions);
    const EngineResult range = TPlus(QStringLiteral("01.03.2026"), QStringLiteral("05.03.2026"));
    // Nothing before the ledger starts; every position on each later date.
    ASSERT_EQ(range.answer.rows.size(), 4 * positions);
    int delivered = 0;
    QHash<QString, double> planOf;
    for (const QString& row : range.answer.rows) {
        const QStringList f = SplitRow(row);
        ASSERT_EQ(f.size(), 11);
        const QString key = f[kBAcc] + QLatin1Char('_') + f[kBSec];
        EXPECT_NEAR(f[kCurr].toDouble(), f[kLimit].toDouble() + f[kDelivery].toDouble(), 0.011)
            << row.toStdString();
        if (f[kDate] == QLatin1String("05.03.2026")) {
            EXPECT_NEAR(f[kCurr].toDouble(), f[kPlann].toDouble(), 0.011); // all delivered
        }
        if (planOf.contains(key)) {
            EXPECT_EQ(planOf.value(key), f[kPlann].toDouble()); // the plan stays
        }
        planOf[key] = f[kPlann].toDouble();
        delivered += f[kDelivery].toDouble() != 0;
    }
    EXPECT_EQ(delivered, Count(QStringLiteral("SELECT COUNT(*) FROM tplus WHERE delivery <> 0")));
    EXPECT_GT(delivered, 0);
}

TEST_F(ServerFuturesTest, TPlusFiltersByPositionAndRefusesWhatItCannotRead) {
    const EngineResult longOnly = TPlus(QStringLiteral("02.03.2026"), QStringLiteral("04.03.2026"),
                                        QStringLiteral(" AND curr>0 AND plann>0"));
    ASSERT_GT(longOnly.answer.rows.size(), 0);
    for (const QString& row : longOnly.answer.rows) {
        const QStringList f = SplitRow(row);
        EXPECT_TRUE(f[kCurr].toDouble() > 0 && f[kPlann].toDouble() > 0) << row.toStdString();
    }
    const EngineResult money = TPlus(QStringLiteral("02.03.2026"), QStringLiteral("02.03.2026"),
                                     QStringLiteral(" AND (ID_ACC=4) AND (ID_BUM=-1)"));
    EXPECT_EQ(money.answer.rows.size(),
              Count(QStringLiteral("SELECT COUNT(*) FROM tplus WHERE acc_id = 4 AND sec_id = -1 "
                                   "AND settle_date = '2026-03-02'")));
    const struct {
        const char* from;
        const char* to;
        const char* fltr;
    } refused[] = {
        {"2026-03-02", "02.03.2026", ""},                  // not dd.mm.yyyy
        {"02.03.2026", "31.02.2026", ""},                  // no such date
        {"01.12.2025", "02.03.2026", ""},                  // longer than the range allowed
        {"02.03.2026", "02.03.2026", " AND BUY_SELL='B'"}, // not a column of this list
        {"02.03.2026", "02.03.2026", " AND (ID_ACC=4) group by ID_BUM,INSTR "},
    };
    for (const auto& c : refused)
        EXPECT_TRUE(Refused(TPlus(QString::fromLatin1(c.from), QString::fromLatin1(c.to),
                                  QString::fromLatin1(c.fltr))))
            << c.from << " " << c.to << " " << c.fltr;
    // A reversed range has no dates: an empty answer, not a refusal.
    const EngineResult reversed = TPlus(QStringLiteral("03.03.2026"), QStringLiteral("02.03.2026"));
    EXPECT_TRUE(reversed.answer.rows.isEmpty());
    EXPECT_FALSE(Refused(reversed));
}
