// The archives of past days: orders (308), deals (301), portfolio (306), position
// (304) and transactions (309). Dates come as "dd.mm.yyyy" and are bound as the
// store's ISO days; conditions come only as internal id lists or the "fltr" grammar
// over each list's own columns. Every request gets an answer: a refused one is empty,
// carries the reason and leaves a log line.
#include "server/core/Engine.h"

#include "server/core/FilterExpr.h"
#include "server/core/ListFilters.h"
#include "server/core/Params.h"
#include "server/core/RequestNumbers.h"
#include "server/core/ServerLog.h"
#include "server/core/StoreReader.h"
#include "session/wire/Vocabulary.h"

namespace {

const QString kGroupClause = QStringLiteral(" group by ID_BUM,INSTR ");
const QString kMoneyName = listfilters::MoneyName();
const QString kExternalAccount = QStringLiteral("' Внешний контрагент'");
// A stored ISO day as the workstation reads dates.
const QString kDotted = QStringLiteral("strftime('%d.%m.%Y', %1)");

const ResultLayout& Layout(int query) {
    namespace F = FieldType;
    static const ResultLayout orders(QStringLiteral("SpisokBB.308"),
                                     {{QStringLiteral("ORDER_DATE"), F::Text},
                                      {QStringLiteral("ORDER_NUM"), F::Int},
                                      {QStringLiteral("ORDER_TIME"), F::Text},
                                      {QStringLiteral("NAME_BUM"), F::Text},
                                      {QStringLiteral("ORDER_STATUS_NAME"), F::Text},
                                      {QStringLiteral("BUY_SELL"), F::Text},
                                      {QStringLiteral("ORDER_TYPE_NAME"), F::Text},
                                      {QStringLiteral("ORDER_PRICE"), F::Float},
                                      {QStringLiteral("COUNT_IN_LOT_FIRST"), F::Int},
                                      {QStringLiteral("COUNT_IN_LOT"), F::Int},
                                      {QStringLiteral("ORDER_VOL"), F::Float},
                                      {QStringLiteral("NAME_ACC"), F::Text},
                                      {QStringLiteral("ORDER_NKD"), F::Float},
                                      {QStringLiteral("ORDER_YIELD"), F::Float},
                                      {QStringLiteral("NAME_CLI"), F::Text},
                                      {QStringLiteral("ID_ACC"), F::Int},
                                      {QStringLiteral("ID_CLI"), F::Int},
                                      {QStringLiteral("ID_BUM"), F::Int},
                                      {QStringLiteral("ORDER_TYPE"), F::Int},
                                      {QStringLiteral("ORDER_STATUS"), F::Int}});
    static const ResultLayout deals(
        QStringLiteral("SpisokBB.301"),
        {{QStringLiteral("dtorg"), F::Text},     {QStringLiteral("snum"), F::Int},
         {QStringLiteral("sord"), F::Int},       {QStringLiteral("skogda"), F::Text},
         {QStringLiteral("name_bum"), F::Text},  {QStringLiteral("buy_sell"), F::Text},
         {QStringLiteral("sprice"), F::Float},   {QStringLiteral("skolvo"), F::Int},
         {QStringLiteral("svol"), F::Float},     {QStringLiteral("name_cli"), F::Text},
         {QStringLiteral("sexch"), F::Float},    {QStringLiteral("sdepo"), F::Float},
         {QStringLiteral("sbrok"), F::Float},    {QStringLiteral("net_price"), F::Float},
         {QStringLiteral("sprofit"), F::Float},  {QStringLiteral("name_acc"), F::Text},
         {QStringLiteral("snkd"), F::Float},     {QStringLiteral("syield"), F::Float},
         {QStringLiteral("sbrok_my"), F::Float}, {QStringLiteral("sbrok_ret"), F::Float},
         {QStringLiteral("ID_ACC"), F::Int},     {QStringLiteral("ID_CLI"), F::Int},
         {QStringLiteral("ID_BUM"), F::Int}});
    static const ResultLayout portfolio(QStringLiteral("SpisokBB.306"),
                                        {{QStringLiteral("instr"), F::Text},
                                         {QStringLiteral("name_cli"), F::Text},
                                         {QStringLiteral("aname"), F::Text},
                                         {QStringLiteral("limit"), F::Float},
                                         {QStringLiteral("curr"), F::Float},
                                         {QStringLiteral("plann"), F::Float},
                                         {QStringLiteral("avprice"), F::Float},
                                         {QStringLiteral("VAR_MARGIN"), F::Float},
                                         {QStringLiteral("BUY_DEPOSIT"), F::Float},
                                         {QStringLiteral("SELL_DEPOSIT"), F::Float},
                                         {QStringLiteral("ID_ACC"), F::Int},
                                         {QStringLiteral("ID_CLI"), F::Int},
                                         {QStringLiteral("ID_BUM"), F::Int}});
    // Read by position: instrument, opening, current, planned, instrument id.
    static const ResultLayout position(QStringLiteral("SpisokBB.304"),
                                       {{QStringLiteral("instr"), F::Text},
                                        {QStringLiteral("input_pos"), F::Float},
                                        {QStringLiteral("curr_pos"), F::Float},
                                        {QStringLiteral("plan_pos"), F::Float},
                                        {QStringLiteral("ID_BUM"), F::Int}});
    static const ResultLayout transactions(QStringLiteral("SpisokBB.309"),
                                           {{QStringLiteral("dtorg"), F::Text},
                                            {QStringLiteral("id_pr"), F::Int},
                                            {QStringLiteral("pkogda"), F::Text},
                                            {QStringLiteral("oaname"), F::Text},
                                            {QStringLiteral("ianame"), F::Text},
                                            {QStringLiteral("instr"), F::Text},
                                            {QStringLiteral("pvol"), F::Float},
                                            {QStringLiteral("prim"), F::Text},
                                            {QStringLiteral("pprice"), F::Float},
                                            {QStringLiteral("CREATE_DATE"), F::Text},
                                            {QStringLiteral("PROV_SYMBOL_TEXT"), F::Text},
                                            {QStringLiteral("SPECIAL_CODES"), F::Text},
                                            {QStringLiteral("ID_ACC_DEBET"), F::Int},
                                            {QStringLiteral("ID_ACC_KREDIT"), F::Int},
                                            {QStringLiteral("ID_BUM"), F::Int}});
    switch (query) {
    case vocab::list::kArchiveOrders:
        return orders;
    case vocab::list::kArchiveDeals:
        return deals;
    case vocab::list::kArchivePortfolio:
        return portfolio;
    case vocab::list::kArchivePosition:
        return position;
    default:
        return transactions;
    }
}

using listfilters::InstrumentColumns;

// One request's conditions as they are gathered; the first fault is kept.
struct Conditions {
    QString where = QStringLiteral(" WHERE 1 = 1");
    QVariantList binds;
    QString fault;

    // A "dd.mm.yyyy" parameter as the store's ISO day.
    QString Day(const ParamList& params, const QString& key) {
        const QString text = params.Value(key).trimmed();
        const QDate d = QDate::fromString(text, QStringLiteral("dd.MM.yyyy"));
        if (!d.isValid() && fault.isEmpty())
            fault = QStringLiteral("%1 \"%2\" is not a date dd.mm.yyyy").arg(key, text.left(40));
        return d.toString(Qt::ISODate);
    }
    void Range(const QString& column, const QString& from, const QString& to) {
        where += QStringLiteral(" AND %1 BETWEEN ? AND ?").arg(column);
        binds << from << to;
    }
    void Filter(const QString& fltr, const QList<FilterColumn>& allowed) {
        if (fltr.trimmed().isEmpty() || !fault.isEmpty())
            return;
        const ParsedFilter parsed = ParseFilter(fltr);
        if (!parsed.ok || parsed.groupByInstrument) {
            fault = QStringLiteral("fltr \"%1\": %2")
                        .arg(fltr.left(200),
                             parsed.ok ? QStringLiteral("this list is not grouped") : parsed.error);
            return;
        }
        const FilterSql sql = FilterToSql(parsed, allowed);
        if (!sql.ok) {
            fault = QStringLiteral("fltr \"%1\": %2").arg(fltr.left(200), sql.error);
            return;
        }
        where += sql.where;
        binds << sql.binds;
    }
    void IdList(const ParamList& params, QLatin1StringView key, const QString& column) {
        const QString text = params.Value(key);
        if (text.isEmpty() || !fault.isEmpty())
            return;
        const auto ids = ParseIdList(text);
        if (!ids) {
            fault = QStringLiteral("%1 is not a list of ids: \"%2\"").arg(key, text.left(100));
            return;
        }
        where += QStringLiteral(" AND %1 IN (SELECT value FROM json_each(?))").arg(column);
        binds << JsonArray(*ids);
    }
};

// The status mask of the filter dialog: 1 active, 2 filled, 4 cancelled.
bool StatusCondition(qint64 mask, QString* sql) {
    static const char* const kByMask[] = {"",
                                          " AND o.status < 11",
                                          " AND o.status = 11",
                                          " AND o.status < 20",
                                          " AND o.status > 19",
                                          " AND o.status <> 11",
                                          " AND o.status > 10",
                                          ""};
    if (mask < 0 || mask > 7)
        return false;
    *sql = QString::fromLatin1(kByMask[mask]);
    return true;
}

} // namespace

bool Engine::IsArchiveList(int query) {
    return query == vocab::list::kArchiveOrders || query == vocab::list::kArchiveDeals ||
           query == vocab::list::kArchivePortfolio || query == vocab::list::kArchivePosition ||
           query == vocab::list::kArchiveTransactions;
}

EngineResult Engine::ArchiveList(int query, SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    // The position archive is asked without the metadata cache.
    const bool cached = query != vocab::list::kArchivePosition &&
                        params.Value(vocab::key::kNoSendMetadata) == QLatin1String("1");
    session.metadata.Attach(r.answer, Layout(query), cached);
    Conditions c;
    const QString from = c.Day(params, QStringLiteral("param0"));
    const bool range =
        query != vocab::list::kArchivePortfolio && query != vocab::list::kArchivePosition;
    const QString to = range ? c.Day(params, QStringLiteral("param1")) : from;
    QString fltr = params.Value(vocab::key::kFilter);
    QString sql;
    QList<int> forms;
    const QString accountName = QStringLiteral("CASE WHEN x.%1 = 0 THEN ") + kExternalAccount +
                                QStringLiteral(" ELSE %2.name END");
    const QString instrument = QStringLiteral("CASE WHEN %1 < 0 THEN ") + kMoneyName +
                               QStringLiteral(" ELSE s.short_name END");

    switch (query) {
    case vocab::list::kArchiveOrders: {
        c.Range(QStringLiteral("o.order_date"), from, to);
        c.IdList(params, vocab::key::kFilterAccounts, QStringLiteral("o.acc_id"));
        c.IdList(params, vocab::key::kFilterSecurities, QStringLiteral("o.sec_id"));
        const QString statusText = params.Value(vocab::key::kFilterOrderStatus);
        QString status;
        if (!statusText.isEmpty()) {
            const auto mask = RequestNumbers::Parse(statusText, RequestNumbers::Kind::StatusMask);
            if (!mask || !StatusCondition(*mask, &status))
                c.fault = QStringLiteral("filter_order_status \"%1\" is not a status mask")
                              .arg(statusText.left(40));
            c.where += status;
        }
        const QString side = params.Value(vocab::key::kFilterBuySell).trimmed().toUpper();
        if (side == QLatin1String("B") || side == QLatin1String("S")) {
            c.where += QStringLiteral(" AND o.buy_sell = ?");
            c.binds << side;
        } else if (!side.isEmpty() && side != QLatin1String("BS") && side != QLatin1String("SB")) {
            c.fault = QStringLiteral("filter_buy_sell \"%1\" is not B, S or BS").arg(side.left(40));
        }
        sql = QStringLiteral("SELECT ") + kDotted.arg(QStringLiteral("o.order_date")) +
              QStringLiteral(
                  ", o.order_num, o.order_time, s.short_name, st.name, o.buy_sell, ot.name, "
                  "o.price, o.qty_first, o.qty_left, o.price * o.qty_first * MAX(s.lot_size, 1) * "
                  "CASE WHEN s.nominal > 0 THEN s.nominal / 100.0 ELSE 1 END, a.name, o.nkd, "
                  "o.yield, c.name, o.acc_id, o.cli_id, o.sec_id, o.order_type, o.status "
                  "FROM orders o LEFT JOIN security s ON s.id = o.sec_id "
                  "LEFT JOIN account a ON a.id = o.acc_id LEFT JOIN client c ON c.id = o.cli_id "
                  "LEFT JOIN order_status st ON st.code = o.status "
                  "LEFT JOIN order_type ot ON ot.code = o.order_type") +
              c.where + QStringLiteral(" ORDER BY o.order_date, o.order_num");
        forms = {kTextColumn, kIntColumn,  kTextColumn, kTextColumn, kTextColumn,
                 kTextColumn, kTextColumn, 6,           kIntColumn,  kIntColumn,
                 2,           kTextColumn, 2,           2,           kTextColumn,
                 kIntColumn,  kIntColumn,  kIntColumn,  kIntColumn,  kIntColumn};
        break;
    }
    case vocab::list::kArchiveDeals: {
        c.Range(QStringLiteral("d.deal_date"), from, to);
        QList<FilterColumn> allowed = InstrumentColumns(QStringLiteral("d.sec_id"));
        allowed << FilterColumn{QStringLiteral("ID_ACC"), QStringLiteral("d.acc_id"), false}
                << FilterColumn{QStringLiteral("BUY_SELL"), QStringLiteral("d.buy_sell"), true};
        c.Filter(fltr, allowed);
        sql = QStringLiteral("SELECT ") + kDotted.arg(QStringLiteral("d.deal_date")) +
              QStringLiteral(
                  ", d.deal_num, d.order_num, d.deal_time, s.short_name, d.buy_sell, d.price, "
                  "d.qty, d.vol, c.name, d.fee_exch, d.fee_depo, d.fee_brok, "
                  "CASE WHEN d.qty * s.lot_size * s.nominal = 0 THEN NULL "
                  "ELSE d.price + (CASE WHEN d.buy_sell = 'B' THEN 1 ELSE -1 END) * "
                  "(d.fee_exch + d.fee_depo + d.fee_brok) / (d.qty * s.lot_size * s.nominal / "
                  "100.0) END, d.profit, a.name, d.nkd, d.yield, d.brok_my, d.brok_ret, "
                  "d.acc_id, d.cli_id, d.sec_id "
                  "FROM deal d LEFT JOIN security s ON s.id = d.sec_id "
                  "LEFT JOIN account a ON a.id = d.acc_id LEFT JOIN client c ON c.id = d.cli_id") +
              c.where + QStringLiteral(" ORDER BY d.deal_date, d.deal_num");
        forms = {kTextColumn, kIntColumn, kIntColumn, kTextColumn, kTextColumn, kTextColumn,
                 6,           kIntColumn, 2,          kTextColumn, 2,           2,
                 2,           6,          2,          kTextColumn, 2,           2,
                 2,           2,          kIntColumn, kIntColumn,  kIntColumn};
        break;
    }
    case vocab::list::kArchivePortfolio:
    case vocab::list::kArchivePosition: {
        // The trading day reads the live portfolio, earlier days their closing snapshot.
        const bool today = from == TradingDate().toString(Qt::ISODate);
        const QString source =
            today ? QStringLiteral("portfolio p") : QStringLiteral("portfolio_archive p");
        if (!today) {
            c.where += QStringLiteral(" AND p.snap_date = ?");
            c.binds << from;
        }
        QList<FilterColumn> allowed = InstrumentColumns(QStringLiteral("p.sec_id"));
        allowed << FilterColumn{QStringLiteral("ID_ACC"), QStringLiteral("p.acc_id"), false};
        const QString joins = QStringLiteral(" LEFT JOIN security s ON s.id = p.sec_id "
                                             "LEFT JOIN trading_system t ON t.id = -p.sec_id");
        if (query == vocab::list::kArchivePosition) {
            // The grouping clause is accepted exactly as the workstation appends it.
            if (!fltr.endsWith(kGroupClause)) {
                c.fault = QStringLiteral("fltr \"%1\" does not end with \"%2\"")
                              .arg(fltr.left(200), kGroupClause);
                break;
            }
            c.Filter(fltr.chopped(kGroupClause.size()), allowed);
            sql = QStringLiteral("SELECT ") + instrument.arg(QStringLiteral("p.sec_id")) +
                  QStringLiteral(", SUM(p.input_saldo), SUM(p.curr_saldo), SUM(p.plan_saldo), "
                                 "p.sec_id FROM ") +
                  source + joins + c.where + QStringLiteral(" GROUP BY p.sec_id ORDER BY p.sec_id");
            forms = {kTextColumn, 2, 2, 2, kIntColumn};
            break;
        }
        allowed << FilterColumn{QStringLiteral("curr"), QStringLiteral("p.curr_saldo"), false}
                << FilterColumn{QStringLiteral("plann"), QStringLiteral("p.plan_saldo"), false};
        c.Filter(fltr, allowed);
        sql = QStringLiteral("SELECT ") + instrument.arg(QStringLiteral("p.sec_id")) +
              QStringLiteral(", c.name, a.name, p.input_saldo, p.curr_saldo, p.plan_saldo, "
                             "p.avprice, p.var_margin, p.buy_deposit, p.sell_deposit, p.acc_id, "
                             "a.client_id, p.sec_id FROM ") +
              source +
              QStringLiteral(" JOIN account a ON a.id = p.acc_id "
                             "LEFT JOIN client c ON c.id = a.client_id") +
              joins + c.where + QStringLiteral(" ORDER BY p.acc_id, p.sec_id");
        forms = {kTextColumn, kTextColumn, kTextColumn, 2,          2,          2,         6,
                 2,           2,           2,           kIntColumn, kIntColumn, kIntColumn};
        break;
    }
    default: {
        // List modes: 0 by execution date, 1 by creation date, 2 and 3 the same but only
        // where the two dates differ.
        const QString modeText = params.Value(QStringLiteral("param2")).trimmed();
        bool ok = false;
        const int mode = modeText.isEmpty() ? 0 : modeText.toInt(&ok);
        if ((!ok && !modeText.isEmpty()) || mode < 0 || mode > 3)
            c.fault =
                QStringLiteral("param2 \"%1\" is not a list mode 0 to 3").arg(modeText.left(20));
        c.Range(mode % 2 == 0 ? QStringLiteral("x.exec_date") : QStringLiteral("x.create_date"),
                from, to);
        if (mode >= 2)
            c.where += QStringLiteral(" AND x.exec_date <> x.create_date");
        QList<FilterColumn> allowed = InstrumentColumns(QStringLiteral("x.sec_id"));
        allowed << FilterColumn{QStringLiteral("ID_ACC_DEBET"), QStringLiteral("x.acc_debet"),
                                false}
                << FilterColumn{QStringLiteral("ID_ACC_KREDIT"), QStringLiteral("x.acc_kredit"),
                                false};
        c.Filter(fltr, allowed);
        sql = QStringLiteral("SELECT ") + kDotted.arg(QStringLiteral("x.exec_date")) +
              QStringLiteral(", x.id_pr, x.exec_time, ") +
              accountName.arg(QStringLiteral("acc_debet"), QStringLiteral("ad")) +
              QStringLiteral(", ") +
              accountName.arg(QStringLiteral("acc_kredit"), QStringLiteral("ak")) +
              QStringLiteral(", ") + instrument.arg(QStringLiteral("x.sec_id")) +
              QStringLiteral(", x.vol, x.reason, x.price, ") +
              kDotted.arg(QStringLiteral("x.create_date")) +
              QStringLiteral(", x.symbol_text, x.special_codes, x.acc_debet, x.acc_kredit, "
                             "x.sec_id FROM txn x "
                             "LEFT JOIN account ad ON ad.id = x.acc_debet "
                             "LEFT JOIN account ak ON ak.id = x.acc_kredit "
                             "LEFT JOIN security s ON s.id = x.sec_id "
                             "LEFT JOIN trading_system t ON t.id = -x.sec_id") +
              c.where + QStringLiteral(" ORDER BY x.exec_date, x.id_pr");
        forms = {kTextColumn, kIntColumn,  kTextColumn, kTextColumn, kTextColumn,
                 kTextColumn, 2,           kTextColumn, 6,           kTextColumn,
                 kTextColumn, kTextColumn, kIntColumn,  kIntColumn,  kIntColumn};
        break;
    }
    }
    QString why = c.fault;
    if (why.isEmpty() && WriteListRows(sql, c.binds, forms, r.answer, &why))
        return r;
    ServerLog::Line(QStringLiteral("SpisokBB %1 rejected, empty answer: %2").arg(query).arg(why));
    r.answer.rows.clear();
    Refusal::Set(r.answer, why);
    return r;
}
