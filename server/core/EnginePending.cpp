// Pending (deferred) transactions: the list 207 and the cancellation 102; the reason
// change 103 of a transaction.
#include "server/core/Engine.h"

#include "server/core/FilterExpr.h"
#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/WireText.h"
#include "session/wire/Vocabulary.h"

#include <QSqlQuery>

using WireText::RowBuilder;

namespace {

// States of a pending transaction; executed ones (30) leave the list.
constexpr int kWaiting = 10;
constexpr int kCancelled = 20;

const ResultLayout& PendingLayout() {
    static const ResultLayout layout(QStringLiteral("SpisokBB.207"),
                                     {{QStringLiteral("ID"), FieldType::Int},
                                      {QStringLiteral("CREATE_DATE"), FieldType::Text},
                                      {QStringLiteral("PROV_STATUS_NAME"), FieldType::Text},
                                      {QStringLiteral("SOURCE_ACCOUNT_NAME"), FieldType::Text},
                                      {QStringLiteral("DEST_ACCOUNT_NAME"), FieldType::Text},
                                      {QStringLiteral("BUM_NAME"), FieldType::Text},
                                      {QStringLiteral("PROV_SUM"), FieldType::Float},
                                      {QStringLiteral("PROV_TEXT"), FieldType::Text},
                                      {QStringLiteral("BUM_AVG_PRICE"), FieldType::Float},
                                      {QStringLiteral("SOURCE_ACCOUNT_ID"), FieldType::Int},
                                      {QStringLiteral("DEST_ACCOUNT_ID"), FieldType::Int},
                                      {QStringLiteral("PROV_STATUS"), FieldType::Int},
                                      {QStringLiteral("ID_BUM"), FieldType::Int}});
    return layout;
}

} // namespace

EngineResult Engine::PendingTransactions(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    session.metadata.Attach(r.answer, PendingLayout(),
                            params.Value(vocab::key::kNoSendMetadata) == QLatin1String("1"));
    const auto refuse = [&](const QString& why) {
        ServerLog::Line(QStringLiteral("SpisokBB 207 rejected, empty answer: %1").arg(why));
        Refusal::Set(r.answer, why);
        return r;
    };
    QString where = QStringLiteral(" WHERE p.status IN (%1, %2)").arg(kWaiting).arg(kCancelled);
    QVariantList binds;
    const auto ids = [&](const char* key, std::optional<QList<qint64>>& out) {
        const QString text = params.Value(QString::fromLatin1(key));
        if (!text.isEmpty())
            out = ParseIdList(text);
        return text.isEmpty() || out.has_value();
    };
    std::optional<QList<qint64>> bums, sources, dests;
    if (!ids("filter_bum", bums) || !ids("filter_source_acc", sources) ||
        !ids("filter_dest_acc", dests))
        return refuse(
            QStringLiteral("an id list is not a list of ids: %1").arg(params.Describe().left(200)));
    if (bums) {
        where += QStringLiteral(" AND p.sec_id IN (SELECT value FROM json_each(?))");
        binds << JsonArray(*bums);
    }
    // The sender and the receiver lists, when both come, admit either side.
    QStringList sides;
    if (sources) {
        sides << QStringLiteral("p.source_acc IN (SELECT value FROM json_each(?))");
        binds << JsonArray(*sources);
    }
    if (dests) {
        sides << QStringLiteral("p.dest_acc IN (SELECT value FROM json_each(?))");
        binds << JsonArray(*dests);
    }
    if (!sides.isEmpty())
        where += QStringLiteral(" AND (") + sides.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    const QString sql =
        QStringLiteral(
            "SELECT p.id, strftime('%d.%m.%Y', p.create_date), CASE p.status WHEN 10 THEN "
            "'Ожидает исполнения' WHEN 20 THEN 'Отменена' ELSE '' END, "
            "CASE WHEN p.source_acc = 0 THEN ' Внешний контрагент' ELSE a1.name END, "
            "CASE WHEN p.dest_acc = 0 THEN ' Внешний контрагент' ELSE a2.name END, "
            "CASE WHEN p.sec_id < 0 THEN '_Деньги.' || t.name ELSE s.short_name END, p.amount, "
            "p.reason, p.avg_price, p.source_acc, p.dest_acc, p.status, p.sec_id "
            "FROM pending_txn p LEFT JOIN account a1 ON a1.id = p.source_acc "
            "LEFT JOIN account a2 ON a2.id = p.dest_acc LEFT JOIN security s ON s.id = p.sec_id "
            "LEFT JOIN trading_system t ON t.id = -p.sec_id") +
        where + QStringLiteral(" ORDER BY p.id");
    QString why;
    const QList<int> forms = {kIntColumn,  kTextColumn, kTextColumn, kTextColumn, kTextColumn,
                              kTextColumn, 2,           kTextColumn, 6,           kIntColumn,
                              kIntColumn,  kIntColumn,  kIntColumn};
    if (!WriteListRows(sql, binds, forms, r.answer.rows, &why))
        return refuse(why);
    return r;
}

// 102: a waiting pending transaction is cancelled; it stays listed as cancelled.
EngineResult Engine::CancelPending(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const QString query = QStringLiteral("102");
    session.metadata.Attach(r.answer, CommandResultLayout(query),
                            params.Value(vocab::key::kNoSendMetadata) == QLatin1String("1"));
    const auto answer = [&](int code, const QString& message, int changed) {
        r.answer.rows << RowBuilder().Int(code).Text(message).Int(changed).Take();
        if (code != 0)
            ServerLog::Line(QStringLiteral("ExecQueryBB 102 refused: %1 (%2)")
                                .arg(message, params.Describe().left(200)));
        return r;
    };
    bool ok = false;
    const qint64 id = params.Value(vocab::key::kParam0).trimmed().toLongLong(&ok);
    if (!ok)
        return answer(-2, QString::fromUtf8("Неверный номер отложенной проводки"), 0);
    const QVariant status =
        store_.ScalarQuery(QStringLiteral("SELECT status FROM pending_txn WHERE id = ?"), {id});
    if (!status.isValid())
        return answer(-1, QString::fromUtf8("Отложенная проводка №%1 не найдена").arg(id), 0);
    if (status.toInt() != kWaiting)
        return answer(
            -1, QString::fromUtf8("Отложенная проводка №%1 не ожидает исполнения").arg(id), 0);
    const bool done = store_.Transaction([&] {
        QSqlQuery q(store_.Db());
        q.prepare(QStringLiteral("UPDATE pending_txn SET status = ? WHERE id = ? AND status = ?"));
        q.addBindValue(kCancelled);
        q.addBindValue(id);
        q.addBindValue(kWaiting);
        return q.exec() && q.numRowsAffected() == 1;
    });
    if (!done)
        return answer(-3, QString::fromUtf8("Ошибка сервера при отмене проводки"), 0);
    ServerLog::Line(QStringLiteral("ExecQueryBB 102 %1: cancelled").arg(id));
    return answer(0, QString(), 1);
}

// 103: the user reason ("prim") and the additional data of a transaction, at most 100
// characters each; empty texts are stored as empty. Answer row: "0", or "-1" and why.
EngineResult Engine::ChangeTransactionReason(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    session.metadata.Attach(r.answer, CommandResultLayout(QStringLiteral("103")),
                            params.Value(vocab::key::kNoSendMetadata) == QLatin1String("1"));
    const auto answer = [&](int code, const QString& message) {
        r.answer.rows << RowBuilder().Int(code).Text(message).Int(code == 0 ? 1 : 0).Take();
        if (code != 0)
            ServerLog::Line(QStringLiteral("ExecQueryBB 103 refused: %1 (%2)")
                                .arg(message, params.Describe().left(200)));
        return r;
    };
    constexpr int kMaxText = 100;
    bool ok = false;
    const qint64 id = params.Value(vocab::key::kParam0).trimmed().toLongLong(&ok);
    const QString reason = params.Value(QStringLiteral("param1"));
    const QString codes = params.Value(QStringLiteral("param2"));
    if (!ok)
        return answer(-1, QString::fromUtf8("Неверный номер проводки"));
    if (reason.size() > kMaxText || codes.size() > kMaxText)
        return answer(-1, QString::fromUtf8("Основание длиннее 100 символов"));
    bool found = false;
    const bool done = store_.Transaction([&] {
        QSqlQuery q(store_.Db());
        q.prepare(QStringLiteral("UPDATE txn SET reason = ?, special_codes = ? WHERE id_pr = ?"));
        q.addBindValue(reason.isNull() ? QStringLiteral("") : reason);
        q.addBindValue(codes.isNull() ? QStringLiteral("") : codes);
        q.addBindValue(id);
        if (!q.exec())
            return false;
        found = q.numRowsAffected() == 1;
        return true;
    });
    if (!done)
        return answer(-1, QString::fromUtf8("Ошибка сервера при изменении основания"));
    if (!found)
        return answer(-1, QString::fromUtf8("Проводка №%1 не найдена").arg(id));
    return answer(0, QString());
}
