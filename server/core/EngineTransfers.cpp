// New transactions: the sender's balance 401, the transfers 100 (between two accounts)
// and 110 (with the external counterparty, account 0), and the deferred transfer 101.
#include "server/core/Engine.h"

#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/WireText.h"
#include "session/wire/Vocabulary.h"

#include <QSqlQuery>
#include <QTime>

#include <cmath>

using WireText::RowBuilder;

namespace {

constexpr int kMaxReason = 100;
constexpr int kPendingWaiting = 10;
constexpr int kExternalAccount = 0;

const ResultLayout& BalanceLayout() {
    static const ResultLayout layout(QStringLiteral("SpisokBB.401"),
                                     {{QStringLiteral("SALDO"), FieldType::Float}});
    return layout;
}

// A number as the workstation sends it: "." decimal, nothing else.
bool ReadNumber(const QString& text, double& value) {
    bool ok = false;
    value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value) && !text.contains(QLatin1Char('e'), Qt::CaseInsensitive);
}

} // namespace

EngineResult Engine::Balance(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    session.metadata.Attach(r.answer, BalanceLayout(),
                            params.Value(vocab::key::kNoSendMetadata) == QLatin1String("1"));
    bool okAcc = false;
    bool okSec = false;
    const qint64 account = params.Value(vocab::key::kParam0).trimmed().toLongLong(&okAcc);
    const qint64 instrument = params.Value(QStringLiteral("param1")).trimmed().toLongLong(&okSec);
    double saldo = 0;
    if (okAcc && okSec && account != kExternalAccount)
        saldo = store_
                    .ScalarQuery(QStringLiteral("SELECT curr_saldo FROM portfolio WHERE acc_id = ? "
                                                "AND sec_id = ?"),
                                 {account, instrument})
                    .toDouble();
    // Always one row: "0" when there is no such position.
    r.answer.rows << RowBuilder().Plain(WireText::DotNumber(saldo, 2)).Take();
    return r;
}

EngineResult Engine::NewTransaction(int query, SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const QString queryText = QString::number(query);
    session.metadata.Attach(r.answer, CommandResultLayout(queryText),
                            params.Value(vocab::key::kNoSendMetadata) == QLatin1String("1"));
    const auto answer = [&](int code, const QString& message) {
        r.answer.rows << RowBuilder().Int(code).Text(message).Int(code == 0 ? 1 : 0).Take();
        ServerLog::Line(QStringLiteral("ExecQueryBB %1 %2: %3 (%4)")
                            .arg(queryText,
                                 code == 0 ? QStringLiteral("done") : QStringLiteral("refused"),
                                 message, params.Describe().left(200)));
        return r;
    };
    bool ok1 = false, ok2 = false, ok3 = false;
    const qint64 sender = params.Value(QStringLiteral("param0")).trimmed().toLongLong(&ok1);
    const qint64 receiver = params.Value(QStringLiteral("param1")).trimmed().toLongLong(&ok2);
    const qint64 instrument = params.Value(QStringLiteral("param2")).trimmed().toLongLong(&ok3);
    double amount = 0;
    double price = 0;
    const QString reason = params.Value(QStringLiteral("param4"));
    if (!ok1 || !ok2 || !ok3 || !ReadNumber(params.Value(QStringLiteral("param3")), amount) ||
        !ReadNumber(params.Value(QStringLiteral("param5")), price))
        return answer(-1, QString::fromUtf8("Неверные параметры проводки"));

    // The accounts: 100 between two real accounts, 110 with exactly one external side.
    const int external = (sender == kExternalAccount) + (receiver == kExternalAccount);
    if ((query == vocab::command::kNewTransaction && external != 0) ||
        (query == vocab::command::kNewExternalTransaction && external != 1) || external == 2)
        return answer(-1, QString::fromUtf8("Неверный вид проводки для этих счетов"));
    if (sender == receiver)
        return answer(-1, QString::fromUtf8("Счета отправителя и получателя совпадают"));
    for (qint64 account : {sender, receiver}) {
        if (account == kExternalAccount)
            continue;
        if (store_
                .ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM account WHERE id = ? AND "
                                            "is_transaction = 1"),
                             {account})
                .toInt() == 0)
            return answer(-1, QString::fromUtf8("Счет %1 не допускает проводок").arg(account));
    }
    const bool money = instrument < 1;
    const QVariant known =
        money
            ? store_.ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM trading_system WHERE id = ?"),
                                 {-instrument})
            : store_.ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM security WHERE id = ?"),
                                 {instrument});
    if (known.toInt() == 0)
        return answer(-1, QString::fromUtf8("Неизвестный инструмент %1").arg(instrument));
    if (amount <= 0 || price < 0 || (!money && amount != std::trunc(amount)))
        return answer(-1, QString::fromUtf8("Недопустимая сумма или цена проводки"));
    if (reason.size() > kMaxReason)
        return answer(-1, QString::fromUtf8("Основание длиннее 100 символов"));
    const QString day = TradingDate().toString(Qt::ISODate);
    const QString now = QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
    const QString storedReason = reason.isNull() ? QStringLiteral("") : reason;

    if (query == vocab::command::kNewPendingTransaction) {
        const bool done = store_.Transaction([&] {
            QSqlQuery q(store_.Db());
            q.prepare(QStringLiteral(
                "INSERT INTO pending_txn (id, create_date, status, source_acc, dest_acc, sec_id, "
                "amount, reason, avg_price) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            const qint64 id =
                std::max<qint64>(1, store_.State(QStringLiteral("next.pending")).toLongLong());
            for (const QVariant& v : QVariantList{id, day, kPendingWaiting, sender, receiver,
                                                  instrument, amount, storedReason, price})
                q.addBindValue(v);
            if (!q.exec())
                return false;
            store_.SetState(QStringLiteral("next.pending"), QString::number(id + 1));
            return true;
        });
        return done ? answer(0, QString())
                    : answer(-1, QString::fromUtf8("Ошибка сервера при записи проводки"));
    }

    // An ordinary transfer: enough must be held by a real sender.
    QString refusal;
    const bool done = store_.Transaction([&] {
        if (sender != kExternalAccount) {
            const double held =
                store_
                    .ScalarQuery(QStringLiteral("SELECT curr_saldo FROM portfolio WHERE acc_id = ? "
                                                "AND sec_id = ?"),
                                 {sender, instrument})
                    .toDouble();
            if (held + 1e-9 < amount) {
                refusal = QString::fromUtf8("Недостаточно средств на счете отправителя");
                return false;
            }
        }
        QSqlQuery q(store_.Db());
        const qint64 id =
            std::max<qint64>(1, store_.State(QStringLiteral("next.txn")).toLongLong());
        q.prepare(QStringLiteral(
            "INSERT INTO txn (id_pr, exec_date, exec_time, create_date, acc_debet, acc_kredit, "
            "sec_id, vol, reason, price) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const QVariant& v : QVariantList{id, day, now, day, sender, receiver, instrument,
                                              amount, storedReason, price})
            q.addBindValue(v);
        if (!q.exec())
            return false;
        store_.SetState(QStringLiteral("next.txn"), QString::number(id + 1));
        QSqlQuery move(store_.Db());
        move.prepare(QStringLiteral(
            "INSERT INTO portfolio (acc_id, sec_id, curr_saldo, plan_saldo) VALUES (?, ?, ?, ?) "
            "ON CONFLICT(acc_id, sec_id) DO UPDATE SET curr_saldo = curr_saldo + "
            "excluded.curr_saldo, plan_saldo = plan_saldo + excluded.plan_saldo"));
        for (const auto& [account, delta] :
             {std::pair{sender, -amount}, std::pair{receiver, amount}}) {
            if (account == kExternalAccount)
                continue;
            move.bindValue(0, account);
            move.bindValue(1, instrument);
            move.bindValue(2, delta);
            move.bindValue(3, delta);
            if (!move.exec())
                return false;
        }
        return true;
    });
    if (!done)
        return answer(-1, refusal.isEmpty()
                              ? QString::fromUtf8("Ошибка сервера при записи проводки")
                              : refusal);
    for (qint64 account : {sender, receiver})
        if (account != kExternalAccount)
            r.changes << PortfolioChangeRow(account, instrument, QString(), now);
    return answer(0, QString());
}
