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
