// The T+ balances and delivery plan (310): one row per date of the asked range and
// per account and instrument of the T+ ledger (table "tplus"). A ledger row holds
// its date's incoming balance, the delivery due that date, the current balance after
// it (incoming + delivery) and the planned balance once every known delivery is made;
// a date without a row of its own carries the last earlier row forward: incoming and
// current are that row's current balance, nothing is due, the plan stays.
#include "server/core/Engine.h"

#include "server/core/ListFilters.h"
#include "session/wire/Vocabulary.h"

using namespace listfilters;

namespace {

// A longer range is refused: each date repeats every position of the ledger.
constexpr qint64 kMaxDays = 62;
// Rows beyond this are refused rather than sent (narrow the dates or the filter).
constexpr int kMaxRows = 1000000;

const ResultLayout& TPlusLayout() {
    static const ResultLayout layout(QStringLiteral("SpisokBB.310"),
                                     {{QStringLiteral("dtorg"), FieldType::Text},
                                      {QStringLiteral("instr"), FieldType::Text},
                                      {QStringLiteral("name_cli"), FieldType::Text},
                                      {QStringLiteral("aname"), FieldType::Text},
                                      {QStringLiteral("limit"), FieldType::Float},
                                      {QStringLiteral("curr"), FieldType::Float},
                                      {QStringLiteral("delivery"), FieldType::Float},
                                      {QStringLiteral("plann"), FieldType::Float},
                                      {QStringLiteral("ID_ACC"), FieldType::Int},
                                      {QStringLiteral("ID_CLI"), FieldType::Int},
                                      {QStringLiteral("ID_BUM"), FieldType::Int}});
    return layout;
}

QDate DottedToDate(const QString& text) {
    return QDate::fromString(text.trimmed(), QStringLiteral("dd.MM.yyyy"));
}

} // namespace

EngineResult Engine::TPlusBalances(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    session.metadata.Attach(r.answer, TPlusLayout(), CachedMetadata(params));
    const int query = vocab::list::kTPlusBalances;
    const QDate from = DottedToDate(params.Value(vocab::key::kParam0));
    const QDate to = DottedToDate(params.Value(QStringLiteral("param1")));
    if (!from.isValid() || !to.isValid())
        return Refused(r, query,
                       QStringLiteral("the dates \"%1\" - \"%2\" are not dd.mm.yyyy")
                           .arg(params.Value(vocab::key::kParam0).left(20),
                                params.Value(QStringLiteral("param1")).left(20)));
    if (from > to)
        return r; // no date in the range
    if (from.daysTo(to) >= kMaxDays)
        return Refused(r, query,
                       QStringLiteral("the range %1 - %2 is longer than %3 days")
                           .arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate))
                           .arg(kMaxDays));
    QString where = QStringLiteral(" WHERE 1 = 1");
    QVariantList binds{from.toString(Qt::ISODate), to.toString(Qt::ISODate)};
    QList<FilterColumn> allowed = InstrumentColumns(QStringLiteral("b.sec_id"));
    allowed << FilterColumn{QStringLiteral("ID_ACC"), QStringLiteral("b.acc_id"), false}
            << FilterColumn{QStringLiteral("ID_CLI"), QStringLiteral("a.client_id"), false}
            << FilterColumn{QStringLiteral("curr"), QStringLiteral("b.curr"), false}
            << FilterColumn{QStringLiteral("plann"), QStringLiteral("b.plann"), false};
    QString why;
    if (!AddFilter(params.Value(vocab::key::kFilter), allowed, where, binds, &why))
        return Refused(r, query, why);
    const QString sql =
        QStringLiteral(
            "WITH RECURSIVE days(d) AS (SELECT ? UNION ALL SELECT date(d, '+1 day') FROM days "
            "WHERE d < ?), "
            "ledger AS (SELECT *, LEAD(settle_date) OVER (PARTITION BY acc_id, sec_id ORDER BY "
            "settle_date) AS next_date FROM tplus), "
            "b AS (SELECT days.d AS d, l.acc_id, l.sec_id, CASE WHEN l.settle_date = days.d THEN "
            "l.limit_saldo ELSE l.curr_saldo END AS lim, l.curr_saldo AS curr, CASE WHEN "
            "l.settle_date = days.d THEN "
            "l.delivery ELSE 0 END AS delivery, l.plan_saldo AS plann FROM days JOIN ledger l ON "
            "l.settle_date <= days.d AND (l.next_date IS NULL OR days.d < l.next_date)) "
            "SELECT substr(b.d, 9, 2) || '.' || substr(b.d, 6, 2) || '.' || substr(b.d, 1, 4), "
            "CASE WHEN b.sec_id < 0 THEN ") +
        MoneyName() +
        QStringLiteral(
            " ELSE s.short_name END, c.name, a.name, b.lim, b.curr, b.delivery, b.plann, "
            "b.acc_id, a.client_id, b.sec_id FROM b JOIN account a ON a.id = b.acc_id "
            "LEFT JOIN client c ON c.id = a.client_id LEFT JOIN security s ON s.id = b.sec_id "
            "LEFT JOIN trading_system t ON t.id = -b.sec_id") +
        where + QStringLiteral(" ORDER BY b.d, b.acc_id, b.sec_id LIMIT %1").arg(kMaxRows + 1);
    const QList<int> forms = {kTextColumn, kTextColumn, kTextColumn, kTextColumn, 2,         2,
                              2,           2,           kIntColumn,  kIntColumn,  kIntColumn};
    if (!WriteListRows(sql, binds, forms, r.answer.rows, &why))
        return Refused(r, query, why);
    if (r.answer.rows.size() > kMaxRows)
        return Refused(
            r, query,
            QStringLiteral("more than %1 rows: narrow the dates or the filter").arg(kMaxRows));
    return r;
}
