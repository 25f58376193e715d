#include "server/core/PendingExecution.h"

#include "server/core/Engine.h"
#include "server/core/ServerLog.h"
#include "server/core/Store.h"

#include <QSqlQuery>
#include <QTime>

#include <vector>

namespace {

constexpr int kWaiting = 10;
constexpr int kExecuted = 30;
constexpr qint64 kExternalAccount = 0;

struct Entry {
    qint64 id = 0;
    QString createDate;
    qint64 source = 0;
    qint64 dest = 0;
    qint64 instrument = 0;
    double amount = 0;
    QString reason;
    double price = 0;
};

std::vector<Entry> WaitingEntries(Store& store, qint64 onlyId) {
    std::vector<Entry> entries;
    QSqlQuery q(store.Db());
    q.prepare(QStringLiteral("SELECT id, create_date, source_acc, dest_acc, sec_id, amount, "
                             "reason, avg_price FROM pending_txn WHERE status = ? AND (? = 0 OR "
                             "id = ?) ORDER BY id"));
    q.addBindValue(kWaiting);
    q.addBindValue(onlyId);
    q.addBindValue(onlyId);
    if (!q.exec())
        return entries;
    while (q.next())
        entries.push_back({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toLongLong(),
                           q.value(3).toLongLong(), q.value(4).toLongLong(), q.value(5).toDouble(),
                           q.value(6).toString(), q.value(7).toDouble()});
    return entries;
}

// One entry in one store transaction: false (nothing written) when the sender holds
// too little or the store refuses.
bool Execute(Store& store, const Entry& e, const QString& day, const QString& now) {
    return store.Transaction([&] {
        if (e.source != kExternalAccount) {
            const double held = store
                                    .ScalarQuery(QStringLiteral("SELECT curr_saldo FROM portfolio "
                                                                "WHERE acc_id = ? AND sec_id = ?"),
                                                 {e.source, e.instrument})
                                    .toDouble();
            if (held + 1e-9 < e.amount)
                return false;
        }
        const qint64 id = std::max<qint64>(1, store.State(QStringLiteral("next.txn")).toLongLong());
        QSqlQuery q(store.Db());
        q.prepare(QStringLiteral(
            "INSERT INTO txn (id_pr, exec_date, exec_time, create_date, acc_debet, acc_kredit, "
            "sec_id, vol, reason, price) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const QVariant& v : QVariantList{id, day, now, e.createDate, e.source, e.dest,
                                              e.instrument, e.amount, e.reason, e.price})
            q.addBindValue(v);
        if (!q.exec())
            return false;
        store.SetState(QStringLiteral("next.txn"), QString::number(id + 1));
        QSqlQuery move(store.Db());
        move.prepare(QStringLiteral(
            "INSERT INTO portfolio (acc_id, sec_id, curr_saldo, plan_saldo) VALUES (?, ?, ?, ?) "
            "ON CONFLICT(acc_id, sec_id) DO UPDATE SET curr_saldo = curr_saldo + "
            "excluded.curr_saldo, plan_saldo = plan_saldo + excluded.plan_saldo"));
        for (const auto& [account, delta] :
             {std::pair{e.source, -e.amount}, std::pair{e.dest, e.amount}}) {
            if (account == kExternalAccount)
                continue;
            move.bindValue(0, account);
            move.bindValue(1, e.instrument);
            move.bindValue(2, delta);
            move.bindValue(3, delta);
            if (!move.exec())
                return false;
        }
        QSqlQuery done(store.Db());
        done.prepare(
            QStringLiteral("UPDATE pending_txn SET status = ? WHERE id = ? AND status = ?"));
        done.addBindValue(kExecuted);
        done.addBindValue(e.id);
        done.addBindValue(kWaiting);
        return done.exec() && done.numRowsAffected() == 1;
    });
}

} // namespace

QString PendingExecution::Summary() const {
    return QStringLiteral("executed %1, still waiting %2").arg(executed).arg(refused);
}

PendingExecution ExecutePending(Engine& engine, qint64 onlyId) {
    PendingExecution result;
    Store& store = engine.Db();
    const QString day = engine.TradingDate().toString(Qt::ISODate);
    const QString now = QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
    for (const Entry& e : WaitingEntries(store, onlyId)) {
        if (!Execute(store, e, day, now)) {
            ++result.refused;
            ServerLog::Line(QStringLiteral("pending %1 not executed: too little held or the store "
                                           "refused")
                                .arg(e.id));
            continue;
        }
        ++result.executed;
        for (qint64 account : {e.source, e.dest})
            if (account != kExternalAccount)
                result.changes << Engine::PortfolioChangeRow(account, e.instrument, QString(), now);
    }
    return result;
}
