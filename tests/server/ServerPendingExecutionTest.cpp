// The execution of pending transactions (the control action "execpending"): waiting
// entries become transactions of the day and move the balances; the rest stay.
#include "ServerTestSupport.h"
#include "server/core/PendingExecution.h"

namespace {

class ServerPendingExecutionTest : public DemoStoreTest {
protected:
    // A waiting entry of `amount` from a sender holding `held` of the instrument.
    qint64 AddWaiting(qint64 source, qint64 dest, qint64 instrument, double amount, double held) {
        QSqlQuery q(store_.Db());
        q.prepare(QStringLiteral("INSERT OR REPLACE INTO portfolio (acc_id, sec_id, curr_saldo, "
                                 "plan_saldo) VALUES (?, ?, ?, ?)"));
        for (const QVariant& v : QVariantList{source, instrument, held, held})
            q.addBindValue(v);
        EXPECT_TRUE(q.exec());
        const qint64 id = Count(QStringLiteral("SELECT COALESCE(MAX(id), 0) + 1 FROM pending_txn"));
        q.prepare(QStringLiteral("INSERT INTO pending_txn (id, create_date, status, source_acc, "
                                 "dest_acc, sec_id, amount, reason, avg_price) VALUES (?, "
                                 "'2020-01-02', 10, ?, ?, ?, ?, 'отложено', 0)"));
        for (const QVariant& v : QVariantList{id, source, dest, instrument, amount})
            q.addBindValue(v);
        EXPECT_TRUE(q.exec());
        return id;
    }
    double Held(qint64 account, qint64 instrument) {
        return store_
            .ScalarQuery(QStringLiteral("SELECT COALESCE(SUM(curr_saldo), 0) FROM portfolio "
                                        "WHERE acc_id = ? AND sec_id = ?"),
                         {account, instrument})
            .toDouble();
    }
    qint64 Status(qint64 id) {
        return Count(QStringLiteral("SELECT status FROM pending_txn WHERE id = ?"), {id});
    }
    // Two transaction accounts of the demo data.
    std::pair<qint64, qint64> Accounts() {
        QSqlQuery q(store_.Db());
        EXPECT_TRUE(q.exec(
            QStringLiteral("SELECT id FROM account WHERE is_transaction = 1 ORDER BY id LIMIT 2")));
        q.next();
        const qint64 a = q.value(0).toLongLong();
        q.next();
        return {a, q.value(0).toLongLong()};
    }
};

} // namespace

TEST_F(ServerPendingExecutionTest, EntriesThatCanMoveBecomeTransactionsAndTheRestWait) {
    const auto [a, b] = Accounts();
    struct Case {
        const char* what;
        qint64 source;
        double amount;
        double held;
        bool executed;
    };
    const Case cases[] = {
        {"held enough", a, 40, 100, true},
        {"held exactly", a, 100, 100, true},
        {"held too little", a, 101, 100, false},
        {"from the external counterparty", 0, 5000, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Waiting entries of the demo data are executed by the first call; start clean.
        ExecutePending(*engine_, 0);
        const qint64 instrument = -1; // the money of trading system 1
        const qint64 id = AddWaiting(c.source, b, instrument, c.amount, c.held);
        const double senderBefore = Held(c.source, instrument);
        const double receiverBefore = Held(b, instrument);
        const qint64 txnBefore = Count(QStringLiteral("SELECT COUNT(*) FROM txn"));
        const PendingExecution done = ExecutePending(*engine_, id);
        EXPECT_EQ(done.executed, c.executed ? 1 : 0);
        EXPECT_EQ(Status(id), c.executed ? 30 : 10);
        EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM txn")),
                  txnBefore + (c.executed ? 1 : 0));
        const double moved = c.executed ? c.amount : 0;
        EXPECT_DOUBLE_EQ(Held(b, instrument), receiverBefore + moved);
        if (c.source != 0) {
            EXPECT_DOUBLE_EQ(Held(c.source, instrument), senderBefore - moved);
        }
        EXPECT_EQ(done.changes.size(), c.executed ? (c.source != 0 ? 2 : 1) : 0);
        // An executed entry leaves the pending list, kept with its creation date.
        const EngineResult list =
            engine_->Handle(session_, QStringLiteral("SpisokBB"),
                            QStringLiteral("chto=207") + QChar(0) + QChar(0), false);
        bool listed = false;
        for (const QString& row : list.answer.rows)
            listed = listed || WireText::SplitRow(row).value(0) == QString::number(id);
        EXPECT_EQ(listed, !c.executed);
        if (c.executed) {
            EXPECT_EQ(store_
                          .ScalarQuery(QStringLiteral("SELECT create_date FROM txn ORDER BY id_pr "
                                                      "DESC LIMIT 1"))
                          .toString(),
                      QStringLiteral("2020-01-02"));
        }
    }
}

TEST_F(ServerPendingExecutionTest, OneIdExecutesOnlyThatEntryAndACancelledOneNever) {
    const auto [a, b] = Accounts();
    ExecutePending(*engine_, 0);
    const qint64 first = AddWaiting(0, a, -1, 10, 0);
    const qint64 second = AddWaiting(0, b, -1, 10, 0);
    EXPECT_EQ(ExecutePending(*engine_, second).executed, 1);
    EXPECT_EQ(Status(first), 10);
    QSqlQuery cancel(store_.Db());
    ASSERT_TRUE(
        cancel.exec(QStringLiteral("UPDATE pending_txn SET status = 20 WHERE id = %1").arg(first)));
    EXPECT_EQ(ExecutePending(*engine_, 0).executed, 0);
    EXPECT_EQ(Status(first), 20);
}
