// RPS and REPO orders (206) with their withdrawal (60), conditional orders (208) with
// theirs (70). Both lists are filtered by the internal filter parameters only
// ("filter_acc", "filter_bum", "filter_order_status", "filter_buy_sell"), read into
// bound values; the withdrawals answer RESULT_CODE and a Russian RESULT_MSG.
#include "server/core/Engine.h"

#include "server/core/FilterExpr.h"
#include "server/core/RequestNumbers.h"
#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/WireText.h"
#include "session/wire/Vocabulary.h"

#include <QSqlError>
#include <QSqlQuery>

#include <cmath>

using WireText::RowBuilder;

namespace {

constexpr int kWithdrawn = 20;

// The day of a day number (days since 30.12.1899) as "dd.mm.yyyy".
QString ValueDottedDate(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
        return QString();
    return QDate(1899, 12, 30)
        .addDays(qint64(std::floor(value)))
        .toString(QStringLiteral("dd.MM.yyyy"));
}

const ResultLayout& RpsLayout() {
    namespace F = FieldType;
    static const ResultLayout layout(QStringLiteral("SpisokBB.206"),
                                     {{QStringLiteral("ORDER_ID"), F::Int},
                                      {QStringLiteral("ORDER_EXCHANGE_ID")},
                                      {QStringLiteral("ORDER_TIME")},
                                      {QStringLiteral("BUM_NAME")},
                                      {QStringLiteral("ORDER_STATUS_NAME")},
                                      {QStringLiteral("BUY_SELL")},
                                      {QStringLiteral("ORDER_TYPE_NAME")},
                                      {QStringLiteral("ORDER_PRICE"), F::Float},
                                      {QStringLiteral("ORDER_COUNT"), F::Int},
                                      {QStringLiteral("COUNT_IN_STOCK"), F::Int},
                                      {QStringLiteral("VOL"), F::Float},
                                      {QStringLiteral("CLIENT_NAME")},
                                      {QStringLiteral("ACCOUNT_NAME")},
                                      {QStringLiteral("REF1")},
                                      {QStringLiteral("REF2")},
                                      {QStringLiteral("CONTRAGENT_CODE")},
                                      {QStringLiteral("CONTRAGENT_NAME")},
                                      // The REPO terms are texts, so RPS orders show them blank.
                                      {QStringLiteral("REPO_SECOND_DATE")},
                                      {QStringLiteral("REPO_RATE")},
                                      {QStringLiteral("REPO_TERM_IN_DAYS")},
                                      {QStringLiteral("REPO_REFUND_RATE")},
                                      {QStringLiteral("ID_ACC"), F::Int},
                                      {QStringLiteral("ID_BUM"), F::Int},
                                      {QStringLiteral("ORDER_STATUS"), F::Int},
                                      {QStringLiteral("ORDER_TYPE"), F::Int},
                                      {QStringLiteral("GROUP_ID")}});
    return layout;
}

const ResultLayout& ConditionalLayout() {
    namespace F = FieldType;
    static const ResultLayout layout(QStringLiteral("SpisokBB.208"),
                                     {{QStringLiteral("ORDER_ID"), F::Int},
                                      {QStringLiteral("LIFE_START_DATE_TEXT")},
                                      {QStringLiteral("LIFE_STOP_DATE_TEXT")},
                                      {QStringLiteral("ORDER_TYPE_NAME")},
                                      {QStringLiteral("ORDER_STATUS_NAME")},
                                      {QStringLiteral("IF_TEXT")},
                                      {QStringLiteral("ACTION_TEXT")},
                                      {QStringLiteral("ACC_NAME")},
                                      {QStringLiteral("ID_ACC"), F::Int},
                                      {QStringLiteral("ID_BUM"), F::Int},
                                      {QStringLiteral("IF_BUM"), F::Int},
                                      {QStringLiteral("ORDER_STATUS"), F::Int},
                                      {QStringLiteral("BUY_SELL")},
                                      // Binary day numbers, so the period keeps its time of day.
                                      {QStringLiteral("LIFE_START_DATE"), F::Date, 1},
                                      {QStringLiteral("LIFE_STOP_DATE"), F::Date, 1}});
    return layout;
}

// The internal filter of both lists as bound conditions on the table alias `t`; false
// with the reason when a parameter is not what its key says.
bool InternalFilter(const ParamList& params, QString& where, QVariantList& binds, QString* why) {
    for (const auto& [key, column] : {std::pair{vocab::key::kFilterAccounts, "t.acc_id"},
                                      std::pair{vocab::key::kFilterSecurities, "t.sec_id"}}) {
        const QString text = params.Value(key);
        if (text.isEmpty())
            continue;
        const auto ids = ParseIdList(text);
        if (!ids) {
            *why = QStringLiteral("%1 is not a list of ids: \"%2\"").arg(key, text.left(100));
            return false;
        }
        where += QStringLiteral(" AND %1 IN (SELECT value FROM json_each(?))")
                     .arg(QLatin1String(column));
        binds << JsonArray(*ids);
    }
    const QString statusText = params.Value(vocab::key::kFilterOrderStatus);
    if (!statusText.isEmpty()) {
        // The filter dialog's sums: 1 active, 2 filled, 4 ended, as its expressions read.
        static const char* const kByMask[] = {"",
                                              " AND t.status < 11",
                                              " AND t.status = 11",
                                              " AND t.status < 20",
                                              " AND t.status > 19",
                                              " AND t.status <> 11",
                                              " AND t.status > 10",
                                              ""};
        const auto mask = RequestNumbers::Parse(statusText, RequestNumbers::Kind::StatusMask);
        if (!mask) {
            *why = QStringLiteral("filter_order_status \"%1\" is not a status mask")
                       .arg(statusText.left(40));
            return false;
        }
        where += QLatin1String(kByMask[*mask]);
    }
    const QString side = params.Value(vocab::key::kFilterBuySell).trimmed().toUpper();
    if (side == QLatin1String("B") || side == QLatin1String("S")) {
        where += QStringLiteral(" AND t.buy_sell = ?");
        binds << side;
    } else if (!side.isEmpty() && side != QLatin1String("BS") && side != QLatin1String("SB")) {
        *why = QStringLiteral("filter_buy_sell \"%1\" is not B, S or BS").arg(side.left(40));
        return false;
    }
    return true;
}

} // namespace

EngineResult Engine::RpsRepoOrders(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    session.metadata.Attach(r.answer, RpsLayout(),
                            params.Value(vocab::key::kNoSendMetadata) == QLatin1String("1"));
    const auto refuse = [&](const QString& why) {
        ServerLog::Line(QStringLiteral("SpisokBB 206 rejected, empty answer: %1").arg(why));
        Refusal::Set(r.answer, why);
        return r;
    };
    QString where = QStringLiteral(" WHERE t.order_date = ?");
    QVariantList binds{TradingDate().toString(Qt::ISODate)};
    QString why;
    if (!InternalFilter(params, where, binds, &why))
        return refuse(why);
    const QString sql =
        QStringLiteral("SELECT t.order_id, t.exchange_id, t.order_time, s.short_name, "
                       "t.status_name, t.buy_sell, t.type_name, t.price, t.qty, t.qty_pieces, "
                       "t.vol, t.client_name, a.name, t.ref1, t.ref2, t.partner_code, "
                       "t.partner_name, t.repo_second_date, t.repo_rate, t.repo_term, "
                       "t.repo_refund_rate, t.acc_id, t.sec_id, t.status, t.order_type, "
                       "t.group_id FROM rps_order t LEFT JOIN security s ON s.id = t.sec_id "
                       "LEFT JOIN account a ON a.id = t.acc_id") +
        where + QStringLiteral(" ORDER BY t.order_id");
    constexpr int T = kTextColumn, I = kIntColumn;
    const QList<int> forms = {I, T, T, T, T, T, T, 6, I, I, 2, T, T,
                              T, T, T, T, T, T, T, T, I, I, I, I, T};
    if (!WriteListRows(sql, binds, forms, r.answer.rows, &why))
        return refuse(why);
    return r;
}

EngineResult Engine::ConditionalOrders(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    session.metadata.Attach(r.answer, ConditionalLayout(),
                            params.Value(vocab::key::kNoSendMetadata) == QLatin1String("1"));
    const auto refuse = [&](const QString& why) {
        ServerLog::Line(QStringLiteral("SpisokBB 208 rejected, empty answer: %1").arg(why));
        Refusal::Set(r.answer, why);
        return r;
    };
    QString where = QStringLiteral(" WHERE 1 = 1");
    QVariantList binds;
    QString why;
    if (!InternalFilter(params, where, binds, &why))
        return refuse(why);
    QSqlQuery q(store_.Db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT t.order_id, t.life_start, t.life_stop, t.type_name, "
                             "t.status_name, t.if_text, t.action_text, a.name, t.acc_id, "
                             "t.sec_id, t.status, t.buy_sell FROM (SELECT *, if_sec_id AS sec_id "
                             "FROM cond_order) t LEFT JOIN account a ON a.id = t.acc_id") +
              where + QStringLiteral(" ORDER BY t.order_id"));
    for (const QVariant& b : binds)
        q.addBindValue(b);
    if (!q.exec())
        return refuse(QStringLiteral("the store cannot run it: %1").arg(q.lastError().text()));
    // A period without a date carries the server's own words; one with a date carries
    // the day, which the workstation replaces with the day and time of the binary field.
    const auto periodText = [](double value, const QString& open) {
        return value == 0 ? open : ValueDottedDate(value);
    };
    while (q.next()) {
        const double start = q.value(1).toDouble(), stop = q.value(2).toDouble();
        r.answer.rows << RowBuilder()
                             .Int(q.value(0).toLongLong())
                             .Text(periodText(start, QStringLiteral("С момента выставления")))
                             .Text(periodText(stop, QStringLiteral("До отмены")))
                             .Text(q.value(3).toString())
                             .Text(q.value(4).toString())
                             .Text(q.value(5).toString())
                             .Text(q.value(6).toString())
                             .Text(q.value(7).toString())
                             .Int(q.value(8).toLongLong())
                             .Int(q.value(9).toLongLong())
                             .Int(q.value(9).toLongLong())
                             .Int(q.value(10).toLongLong())
                             .Text(q.value(11).toString())
                             .BinDouble(start)
                             .BinDouble(stop)
                             .Take();
    }
    return r;
}

// 60 withdraws an RPS or REPO order still waiting (active or awaiting confirmation);
// 70 a conditional order still waiting for its condition. Either in one transaction.
EngineResult Engine::WithdrawRequestOrder(int query, SessionState& session,
                                          const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const QString queryText = QString::number(query);
    session.metadata.Attach(r.answer, CommandResultLayout(queryText),
                            params.Value(vocab::key::kNoSendMetadata) == QLatin1String("1"));
    const auto answer = [&](int code, const QString& message) {
        r.answer.rows << RowBuilder().Int(code).Text(message).Int(code == 0 ? 1 : 0).Take();
        ServerLog::Line(QStringLiteral("ExecQueryBB %1 %2: %3")
                            .arg(queryText, params.Value(vocab::key::kParam0).left(40),
                                 code == 0 ? QStringLiteral("withdrawn") : message));
        return r;
    };
    const bool rps = query == vocab::command::kWithdrawRpsRepoOrder;
    const QString table = rps ? QStringLiteral("rps_order") : QStringLiteral("cond_order");
    const QString what = rps ? QStringLiteral("Заявка") : QStringLiteral("Условная заявка");
    const auto id =
        RequestNumbers::Parse(params.Value(vocab::key::kParam0), RequestNumbers::Kind::OrderNumber);
    if (!id)
        return answer(-2, QStringLiteral("Неверный номер заявки: \"%1\"")
                              .arg(params.Value(vocab::key::kParam0).left(40)));
    // Active (10) and awaiting confirmation (27, 28) RPS orders; waiting conditional orders.
    const QString withdrawable =
        rps ? QStringLiteral("status IN (10, 27, 28)") : QStringLiteral("status = 10");
    int status = -1;
    bool changed = false;
    const bool ok = store_.Transaction([&] {
        QSqlQuery q(store_.Db());
        q.prepare(QStringLiteral("SELECT status FROM %1 WHERE order_id = ?").arg(table));
        q.addBindValue(*id);
        if (!q.exec())
            return false;
        if (q.next())
            status = q.value(0).toInt();
        q.finish();
        if (status < 0)
            return true;
        QSqlQuery u(store_.Db());
        u.prepare(QStringLiteral("UPDATE %1 SET status = ?, status_name = ? WHERE order_id = ? "
                                 "AND %2")
                      .arg(table, withdrawable));
        u.addBindValue(kWithdrawn);
        u.addBindValue(QStringLiteral("Снята"));
        u.addBindValue(*id);
        if (!u.exec())
            return false;
        changed = u.numRowsAffected() == 1;
        return true;
    });
    if (!ok)
        return answer(-3, QStringLiteral("Ошибка сервера при снятии заявки"));
    if (status < 0)
        return answer(-1, QStringLiteral("%1 №%2 не найдена").arg(what).arg(*id));
    if (!changed)
        return answer(-1, QStringLiteral("%1 №%2 не может быть снята: она уже исполнена, снята "
                                         "или отклонена")
                              .arg(what)
                              .arg(*id));
    return answer(0, QString());
}
