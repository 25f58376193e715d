// The futures contracts (209) and futures money (210) lists. Deposits, planned
// deposits and variation margin are worked out from the positions, the securities'
// deposits and last prices and the day's active orders, so both lists agree and
// move with the market.
#include "server/core/Engine.h"

#include "server/core/ListFilters.h"
#include "session/wire/Vocabulary.h"

using namespace listfilters;

namespace {

const ResultLayout& ContractsLayout() {
    static const ResultLayout layout(QStringLiteral("SpisokBB.209"),
                                     {{QStringLiteral("NAME_BUM"), FieldType::Text},
                                      {QStringLiteral("NAME_CLI"), FieldType::Text},
                                      {QStringLiteral("NAME_ACC"), FieldType::Text},
                                      {QStringLiteral("INPUT_CONTRACT_COUNT"), FieldType::Int},
                                      {QStringLiteral("CURR_CONTRACT_COUNT"), FieldType::Int},
                                      {QStringLiteral("CURR_DEPOSIT"), FieldType::Float},
                                      {QStringLiteral("PLAN_DEPOSIT"), FieldType::Float},
                                      {QStringLiteral("AVG_PRICE"), FieldType::Float},
                                      {QStringLiteral("PLAN_VARIATION_MARGIN"), FieldType::Float},
                                      {QStringLiteral("ID_ACC"), FieldType::Int},
                                      {QStringLiteral("ID_BUM"), FieldType::Int},
                                      {QStringLiteral("ID_CLI"), FieldType::Int}});
    return layout;
}

const ResultLayout& MoneyLayout() {
    static const ResultLayout layout(
        QStringLiteral("SpisokBB.210"),
        {{QStringLiteral("NAME_BUM"), FieldType::Text},
         {QStringLiteral("NAME_CLI"), FieldType::Text},
         {QStringLiteral("NAME_ACC"), FieldType::Text},
         {QStringLiteral("MONEY_FREE"), FieldType::Float},
         {QStringLiteral("MONEY_SUM_DEPOSIT"), FieldType::Float},
         {QStringLiteral("MONEY_TOTAL"), FieldType::Float},
         {QStringLiteral("PLAN_SUM_VARIATION_MARGIN"), FieldType::Float},
         {QStringLiteral("PLAN_SUM_COMISSION"), FieldType::Float},
         {QStringLiteral("PLAN_MONEY_TOTAL"), FieldType::Float},
         {QStringLiteral("PLAN_SUM_AVAILABLE_MONEY"), FieldType::Float},
         {QStringLiteral("ID_ACC"), FieldType::Int},
         {QStringLiteral("ID_CLI"), FieldType::Int}});
    return layout;
}

// One row per futures position with its figures: the deposit of a count is its
// absolute value times the security's buy deposit (long) or sell deposit (short);
// the planned count adds the lots of the account's active orders of the day in the
// contract (buys up, sells down); the variation margin is (last price - average
// price) x current count. The one bound value is the trading date.
const QString kContractFigures = QStringLiteral(
    "WITH pos AS (SELECT f.acc_id, f.sec_id, a.client_id AS cli_id, s.short_name, "
    "c.name AS cli_name, a.name AS acc_name, f.input_count, f.curr_count, f.avg_price, "
    "s.last_price, s.fut_buy_deposit AS buy_dep, s.fut_sell_deposit AS sell_dep, s.ts_id, "
    "s.board_code, f.curr_count + MAX(s.lot_size, 1) * COALESCE((SELECT SUM(CASE WHEN "
    "o.buy_sell = 'B' THEN o.qty_left ELSE -o.qty_left END) FROM orders o WHERE o.acc_id = "
    "f.acc_id AND o.status < 11 AND o.sec_id = f.sec_id AND o.order_date = ?), 0) AS plan_count "
    "FROM fut_position f JOIN account a ON a.id = f.acc_id JOIN security s ON s.id = f.sec_id "
    "LEFT JOIN client c ON c.id = a.client_id), "
    "fig AS (SELECT *, ABS(curr_count) * (CASE WHEN curr_count < 0 THEN sell_dep ELSE buy_dep "
    "END) AS curr_dep, ABS(plan_count) * (CASE WHEN plan_count < 0 THEN sell_dep ELSE buy_dep "
    "END) AS plan_dep, (last_price - avg_price) * curr_count AS var_margin FROM pos) ");

} // namespace

EngineResult Engine::FuturesContracts(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    session.metadata.Attach(r.answer, ContractsLayout(), CachedMetadata(params));
    QString where = QStringLiteral(" WHERE 1 = 1");
    QVariantList binds{TradingDate().toString(Qt::ISODate)};
    QString why;
    if (!AddIdList(params, vocab::key::kFilterAccounts, QStringLiteral("acc_id"), where, binds,
                   &why) ||
        !AddIdList(params, vocab::key::kFilterSecurities, QStringLiteral("sec_id"), where, binds,
                   &why))
        return Refused(r, vocab::list::kFuturesContracts, why);
    const QString sql = kContractFigures +
                        QStringLiteral("SELECT short_name, cli_name, acc_name, input_count, "
                                       "curr_count, curr_dep, plan_dep, avg_price, var_margin, "
                                       "acc_id, sec_id, cli_id FROM fig") +
                        where + QStringLiteral(" ORDER BY acc_id, sec_id");
    const QList<int> forms = {kTextColumn, kTextColumn, kTextColumn, kIntColumn, kIntColumn, 2, 2,
                              4,           2,           kIntColumn,  kIntColumn, kIntColumn};
    if (!WriteListRows(sql, binds, forms, r.answer.rows, &why))
        return Refused(r, vocab::list::kFuturesContracts, why);
    return r;
}

EngineResult Engine::FuturesMoney(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    session.metadata.Attach(r.answer, MoneyLayout(), CachedMetadata(params));
    // Per account: the deposits and margin of its contracts; total = deposits + free;
    // planned total = total + margin - planned commissions; available for withdrawal =
    // planned total less the planned deposits, never below 0.
    const QString sql =
        kContractFigures +
        QStringLiteral(", acc AS (SELECT acc_id, SUM(curr_dep) AS dep, SUM(plan_dep) AS plan_dep, "
                       "SUM(var_margin) AS vm FROM fig GROUP BY acc_id), "
                       "money AS (SELECT m.acc_id, m.sec_id, a.client_id AS cli_id, a.name AS "
                       "acc_name, c.name AS cli_name, m.money_free, m.plan_commission, "
                       "COALESCE(p.dep, 0) AS dep, COALESCE(p.plan_dep, 0) AS plan_dep, "
                       "COALESCE(p.vm, 0) AS vm FROM fut_money m JOIN account a ON a.id = "
                       "m.acc_id LEFT JOIN client c ON c.id = a.client_id LEFT JOIN acc p ON "
                       "p.acc_id = m.acc_id) SELECT ") +
        MoneyName() +
        QStringLiteral(", cli_name, acc_name, money_free, dep, money_free + dep, vm, "
                       "plan_commission, money_free + dep + vm - plan_commission, "
                       "MAX(0, money_free + dep + vm - plan_commission - plan_dep), acc_id, "
                       "cli_id FROM money LEFT JOIN trading_system t ON t.id = -money.sec_id "
                       "ORDER BY acc_id");
    const QList<int> forms = {kTextColumn, kTextColumn, kTextColumn, 2, 2,          2,
                              2,           2,           2,           2, kIntColumn, kIntColumn};
    QString why;
    if (!WriteListRows(sql, {TradingDate().toString(Qt::ISODate)}, forms, r.answer.rows, &why))
        return Refused(r, vocab::list::kFuturesMoney, why);
    return r;
}
