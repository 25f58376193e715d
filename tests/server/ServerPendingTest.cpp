// Pending transactions: the list 207 with its filters and the cancellation 102.
#include "ServerTestSupport.h"

using WireText::SplitRow;

namespace {

const QChar NUL(u'\0');

class ServerPendingTest : public DemoStoreTest {
protected:
    EngineResult Pending(const QString& fragment) {
        return engine_->Handle(session_, QStringLiteral("SpisokBB"),
                               QStringLiteral("chto=207") + NUL + fragment + NUL, false);
    }
    EngineResult Cancel(const QString& id) {
        return engine_->Handle(session_, QStringLiteral("ExecQueryBB"),
                               QStringLiteral("chto") + NUL + QStringLiteral("102") + NUL +
                                   QStringLiteral("param0") + NUL + id + NUL,
                               true);
    }
};

} // namespace

TEST_F(ServerPendingTest, TheListSkipsTheEmptyPieceAndJoinsTheSidesByOr) {
    const QString listed = QStringLiteral(" FROM pending_txn WHERE status IN (10, 20)");
    QSqlQuery q(store_.Db());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT source_acc, dest_acc, sec_id FROM pending_txn "
                                      "WHERE status = 10 ORDER BY id LIMIT 1")));
    ASSERT_TRUE(q.next());
    const QString source = q.value(0).toString();
    const QString dest = q.value(1).toString();
    const QString bum = q.value(2).toString();
    const QList<std::pair<QString, QString>> cases = {
        {QString(), QString()},
        {QStringLiteral("filter_bum=") + bum + NUL, QStringLiteral(" AND sec_id = ") + bum},
        {QStringLiteral("filter_bum=") + NUL + QStringLiteral("filter_source_acc=") + source + NUL,
         QStringLiteral(" AND source_acc = ") + source},
        {QStringLiteral("filter_bum=") + NUL + QStringLiteral("filter_source_acc=") + dest + NUL +
             QStringLiteral("filter_dest_acc=") + dest + NUL,
         QStringLiteral(" AND (source_acc = %1 OR dest_acc = %1)").arg(dest)},
    };
    for (const auto& [fragment, condition] : cases) {
        const EngineResult r = Pending(fragment);
        EXPECT_EQ(r.answer.Table(Refusal::kTable), nullptr);
        EXPECT_EQ(r.answer.rows.size(),
                  Count(QStringLiteral("SELECT COUNT(*)") + listed + condition))
            << condition.toStdString();
    }
    EXPECT_NE(Pending(QStringLiteral("filter_bum=1 OR 1=1") + NUL).answer.Table(Refusal::kTable),
              nullptr);
    const QStringList first = SplitRow(Pending(QString()).answer.rows.value(0));
    ASSERT_EQ(first.size(), 13);
    EXPECT_EQ(first[1].size(), 10); // dd.mm.yyyy
}

TEST_F(ServerPendingTest, AWaitingEntryIsCancelledOnceAndStaysListedAsCancelled) {
    const QString id =
        store_.ScalarQuery(QStringLiteral("SELECT MIN(id) FROM pending_txn WHERE status = 10"))
            .toString();
    ASSERT_FALSE(id.isEmpty());
    const auto code = [](const EngineResult& r) {
        return SplitRow(r.answer.rows.value(0)).value(0);
    };
    EXPECT_EQ(code(Cancel(id)), QStringLiteral("0"));
    EXPECT_EQ(Count(QStringLiteral("SELECT status FROM pending_txn WHERE id = ?"), {id}), 20);
    bool listed = false;
    for (const QString& row : Pending(QString()).answer.rows) {
        const QStringList f = SplitRow(row);
        if (f[0] == id) {
            listed = true;
            EXPECT_EQ(f[11], QStringLiteral("20"));
            EXPECT_EQ(f[2], QStringLiteral("Отменена"));
        }
    }
    EXPECT_TRUE(listed);
    for (const QString& refused : {id, QStringLiteral("999999999"), QStringLiteral("x")})
        EXPECT_TRUE(code(Cancel(refused)).startsWith(QLatin1Char('-'))) << refused.toStdString();
}

TEST_F(ServerPendingTest, AReasonChangeKeepsEmptyTextsAndRefusesUnknownTransactions) {
    const QString id = store_.ScalarQuery(QStringLiteral("SELECT MIN(id_pr) FROM txn")).toString();
    const auto change = [&](const QString& number, const QString& reason, const QString& codes) {
        const EngineResult r = engine_->Handle(
            session_, QStringLiteral("ExecQueryBB"),
            QStringLiteral("chto") + NUL + QStringLiteral("103") + NUL + QStringLiteral("param0") +
                NUL + number + NUL + QStringLiteral("param1") + NUL + reason + NUL +
                QStringLiteral("param2") + NUL + codes + NUL,
            true);
        return SplitRow(r.answer.rows.value(0)).value(0);
    };
    EXPECT_EQ(change(id, QStringLiteral("Новое основание"), QString()), QStringLiteral("0"));
    EXPECT_EQ(store_
                  .ScalarQuery(QStringLiteral("SELECT reason || '|' || special_codes FROM txn "
                                              "WHERE id_pr = ?"),
                               {id})
                  .toString(),
              QStringLiteral("Новое основание|"));
    EXPECT_EQ(change(id, QString(), QString()), QStringLiteral("0"));
    EXPECT_EQ(change(QStringLiteral("1"), QStringLiteral("x"), QString()), QStringLiteral("-1"));
    EXPECT_EQ(change(id, QString(101, QLatin1Char('x')), QString()), QStringLiteral("-1"));
}

TEST_F(ServerPendingTest, TransfersCheckTheirPartiesMoveBalancesAndReportThePositions) {
    // Two client accounts of one trading system with money on the sender's side.
    QSqlQuery q(store_.Db());
    ASSERT_TRUE(q.exec(QStringLiteral(
        "SELECT p.acc_id, p.sec_id, p.curr_saldo FROM portfolio p JOIN account a ON a.id = "
        "p.acc_id WHERE p.sec_id < 0 AND p.curr_saldo > 1000 AND a.is_transaction = 1 "
        "ORDER BY p.acc_id LIMIT 2")));
    ASSERT_TRUE(q.next());
    const QString from = q.value(0).toString();
    const QString money = q.value(1).toString();
    const double held = q.value(2).toDouble();
    ASSERT_TRUE(q.next());
    const QString to = q.value(0).toString();
    const auto send = [&](int query, const QString& a, const QString& b, const QString& bum,
                          const QString& amount, const QString& price = QStringLiteral("0")) {
        QString text;
        for (const auto& [k, v] :
             QList<std::pair<QString, QString>>{{QStringLiteral("chto"), QString::number(query)},
                                                {QStringLiteral("param0"), a},
                                                {QStringLiteral("param1"), b},
                                                {QStringLiteral("param2"), bum},
                                                {QStringLiteral("param3"), amount},
                                                {QStringLiteral("param4"), QString()},
                                                {QStringLiteral("param5"), price}})
            text += k + NUL + v + NUL;
        return engine_->Handle(session_, QStringLiteral("ExecQueryBB"), text, true);
    };
    const auto code = [](const EngineResult& r) {
        return SplitRow(r.answer.rows.value(0)).value(0);
    };
    const QString zero = QStringLiteral("0");
    const QString tooMuch = QString::number(held + 1000, 'f', 2);
    const QString security =
        store_.ScalarQuery(QStringLiteral("SELECT MIN(id) FROM security")).toString();
    struct Refused {
        int query;
        QString a, b, bum, amount, price;
    };
    const Refused refused[] = {
        {100, from, zero, money, QStringLiteral("10"), zero}, // 100 with the counterparty
        {110, from, to, money, QStringLiteral("10"), zero},   // 110 without it
        {110, zero, zero, money, QStringLiteral("10"), zero}, // both external
        {100, from, from, money, QStringLiteral("10"), zero}, // same account
        {100, from, to, QStringLiteral("-99"), QStringLiteral("10"), zero}, // no such money
        {100, from, to, money, QStringLiteral("-5"), zero},
        {100, from, to, money, QStringLiteral("10"), QStringLiteral("-1")},
        {100, from, to, security, QStringLiteral("1.5"), zero}, // fractional security
        {100, from, to, money, QStringLiteral("1e3"), zero},
        {100, from, to, money, tooMuch, zero}, // more than held
    };
    for (const Refused& c : refused)
        EXPECT_EQ(code(send(c.query, c.a, c.b, c.bum, c.amount, c.price)), QStringLiteral("-1"))
            << c.query << " " << c.a.toStdString() << ">" << c.b.toStdString() << " "
            << c.amount.toStdString();

    const qint64 txns = Count(QStringLiteral("SELECT COUNT(*) FROM txn"));
    const EngineResult done = send(100, from, to, money, QStringLiteral("1000.5"));
    EXPECT_EQ(code(done), zero);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM txn")), txns + 1);
    EXPECT_EQ(done.changes.size(), 2);
    const auto balance = [&](const QString& account) {
        return SplitRow(Pair(QStringLiteral("SpisokBB"),
                             {{QStringLiteral("chto"), QStringLiteral("401")},
                              {QStringLiteral("param0"), account},
                              {QStringLiteral("param1"), money}})
                            .answer.rows.value(0))
            .value(0)
            .toDouble();
    };
    EXPECT_NEAR(balance(from), held - 1000.5, 0.006);
    EXPECT_EQ(balance(zero), 0);
    EXPECT_EQ(code(send(110, zero, to, money, QStringLiteral("5"))), zero);
    const qint64 pending = Count(QStringLiteral("SELECT COUNT(*) FROM pending_txn"));
    const EngineResult deferred = send(101, from, to, money, QStringLiteral("1"));
    EXPECT_EQ(code(deferred), zero);
    EXPECT_TRUE(deferred.changes.isEmpty()); // no balance moves until it is executed
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM pending_txn")), pending + 1);
}
