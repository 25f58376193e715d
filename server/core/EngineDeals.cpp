// The deals (201), portfolio (212, keyed 213), position (204) and transactions (205)
// lists of the current trading day.
#include "server/core/Engine.h"

#include "server/core/FilterExpr.h"
#include "server/core/ListFilters.h"
#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/StoreReader.h"
#include "server/core/WireRowWriter.h"
#include "session/wire/Vocabulary.h"

#include <QRegularExpression>
#include <QSet>

#include <sqlite3.h>

namespace {

// The name of money in lists the workstation matches against its instrument list.
const QString kMoneyName = listfilters::MoneyName();
const QString kExternalAccount = QStringLiteral("' Внешний контрагент'");
const QString kGroupClause = QStringLiteral(" group by ID_BUM,INSTR ");

ResultLayout MakeLayout(const QString& id, std::initializer_list<FieldSpec> fields) {
    return ResultLayout(id, QList<FieldSpec>(fields));
}

const ResultLayout& DealsLayout() {
    static const ResultLayout layout =
        MakeLayout(QStringLiteral("SpisokBB.201"), {{QStringLiteral("snum"), FieldType::Int},
                                                    {QStringLiteral("sord"), FieldType::Int},
                                                    {QStringLiteral("skogda"), FieldType::Text},
                                                    {QStringLiteral("name_bum"), FieldType::Text},
                                                    {QStringLiteral("buy_sell"), FieldType::Text},
                                                    {QStringLiteral("sprice"), FieldType::Float},
                                                    {QStringLiteral("skolvo"), FieldType::Int},
                                                    {QStringLiteral("svol"), FieldType::Float},
                                                    {QStringLiteral("name_cli"), FieldType::Text},
                                                    {QStringLiteral("sexch"), FieldType::Float},
                                                    {QStringLiteral("sdepo"), FieldType::Float},
                                                    {QStringLiteral("sbrok"), FieldType::Float},
                                                    {QStringLiteral("net_price"), FieldType::Float},
                                                    {QStringLiteral("sprofit"), FieldType::Float},
                                                    {QStringLiteral("name_acc"), FieldType::Text},
                                                    {QStringLiteral("snkd"), FieldType::Float},
                                                    {QStringLiteral("syield"), FieldType::Float},
                                                    {QStringLiteral("ID_ACC"), FieldType::Int},
                                                    {QStringLiteral("ID_CLI"), FieldType::Int},
                                                    {QStringLiteral("ID_BUM"), FieldType::Int}});
    return layout;
}

const QList<FieldSpec>& PortfolioFields() {
    static const QList<FieldSpec> fields = {{QStringLiteral("NAME_BUM"), FieldType::Text},
                                            {QStringLiteral("NAME_CLI"), FieldType::Text},
                                            {QStringLiteral("NAME_ACC"), FieldType::Text},
                                            {QStringLiteral("input_saldo"), FieldType::Float},
                                            {QStringLiteral("curr_saldo"), FieldType::Float},
                                            {QStringLiteral("plan_saldo"), FieldType::Float},
                                            {QStringLiteral("avprice"), FieldType::Float},
                                            {QStringLiteral("ID_ACC"), FieldType::Int},
                                            {QStringLiteral("ID_CLI"), FieldType::Int},
                                            {QStringLiteral("ID_BUM"), FieldType::Int},
                                            {QStringLiteral("KEY_FIELD"), FieldType::Text}};
    return fields;
}

const ResultLayout& PortfolioLayout(int query) {
    static const ResultLayout full(QStringLiteral("SpisokBB.212"), PortfolioFields());
    static const ResultLayout keyed(QStringLiteral("SpisokBB.213"), PortfolioFields());
    return query == vocab::list::kPortfolioByKeys ? keyed : full;
}

const ResultLayout& PositionLayout() {
    static const ResultLayout layout =
        MakeLayout(QStringLiteral("SpisokBB.204"), {{QStringLiteral("instr"), FieldType::Text},
                                                    {QStringLiteral("input_pos"), FieldType::Float},
                                                    {QStringLiteral("curr_pos"), FieldType::Float},
                                                    {QStringLiteral("plan_pos"), FieldType::Float},
                                                    {QStringLiteral("ID_BUM"), FieldType::Int}});
    return layout;
}

const ResultLayout& TransactionsLayout() {
    static const ResultLayout layout = MakeLayout(
        QStringLiteral("SpisokBB.205"), {{QStringLiteral("id_pr"), FieldType::Int},
                                         {QStringLiteral("pkogda"), FieldType::Text},
                                         {QStringLiteral("oaname"), FieldType::Text},
                                         {QStringLiteral("ianame"), FieldType::Text},
                                         {QStringLiteral("instr"), FieldType::Text},
                                         {QStringLiteral("pvol"), FieldType::Float},
                                         {QStringLiteral("prim"), FieldType::Text},
                                         {QStringLiteral("pprice"), FieldType::Float},
                                         {QStringLiteral("ID_ACC_DEBET"), FieldType::Int},
                                         {QStringLiteral("ID_ACC_KREDIT"), FieldType::Int},
                                         {QStringLiteral("ID_BUM"), FieldType::Int}});
    return layout;
}

// The "fltr" condition, id lists, the metadata flag and the refusal every list shares.
using listfilters::AddFilter;
using listfilters::AddIdList;
using listfilters::CachedMetadata;
using listfilters::InstrumentColumns;
using listfilters::Refused;

} // namespace

bool Engine::WriteListRows(const QString& sql, const QVariantList& binds, const QList<int>& forms,
                           QStringList& rows, QString* error) {
    const bool ok = WriteListRowsTo(
        sql, binds, forms, [&rows](WireRowWriter& w) { rows << w.Take(); }, error);
    if (!ok)
        rows.clear();
    return ok;
}

bool Engine::WriteListRows(const QString& sql, const QVariantList& binds, const QList<int>& forms,
                           Answer& answer, QString* error) {
    if (!frameTarget_)
        return WriteListRows(sql, binds, forms, answer.rows, error);
    answer.frame.emplace(frameTarget_->id, std::move(frameTarget_->storage));
    wire::DataFrameWriter& frame = *answer.frame;
    const bool ok = WriteListRowsTo(
        sql, binds, forms, [&frame](WireRowWriter& w) { w.TakeInto(frame); }, error);
    if (!ok)
        answer.frame.reset();
    return ok;
}

bool Engine::WriteListRowsTo(const QString& sql, const QVariantList& binds, const QList<int>& forms,
                             const std::function<void(WireRowWriter&)>& takeRow, QString* error) {
    if (!reader_)
        reader_ = std::make_unique<StoreReader>();
    StoreReader::Run run = reader_->Query(store_.Path(), sql, binds);
    if (!run.Ok()) {
        *error = QStringLiteral("the store cannot run it: %1").arg(run.Error());
        return false;
    }
    sqlite3_stmt* q = run.Statement();
    WireRowWriter w;
    while (run.Next()) {
        for (int c = 0; c < forms.size(); ++c) {
            const int form = forms[c];
            if (form == kTextColumn)
                w.Utf8Text(sqlite3_column_text(q, c), sqlite3_column_bytes(q, c));
            else if (sqlite3_column_type(q, c) == SQLITE_NULL)
                w.Latin1Text("", 0); // no value (a net price without a divisor)
            else if (form == kIntColumn)
                w.Int(sqlite3_column_int64(q, c));
            else
                w.Number(sqlite3_column_double(q, c), form);
        }
        takeRow(w);
    }
    if (!run.Error().isEmpty()) {
        *error = QStringLiteral("the store cannot run it: %1").arg(run.Error());
        return false;
    }
    return true;
}

EngineResult Engine::Deals(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    session.metadata.Attach(r.answer, DealsLayout(), CachedMetadata(params));
    QString where = QStringLiteral(" WHERE d.deal_date = ?");
    QVariantList binds{TradingDate().toString(Qt::ISODate)};
    QList<FilterColumn> allowed = InstrumentColumns(QStringLiteral("d.sec_id"));
    allowed << FilterColumn{QStringLiteral("ID_ACC"), QStringLiteral("d.acc_id"), false}
            << FilterColumn{QStringLiteral("ID_CLI"), QStringLiteral("d.cli_id"), false}
            << FilterColumn{QStringLiteral("BUY_SELL"), QStringLiteral("d.buy_sell"), true};
    QString why;
    if (!AddFilter(params.Value(vocab::key::kFilter), allowed, where, binds, &why))
        return Refused(r, vocab::list::kDeals, why);
    // The net price as the workstation computes it for a live deal: the fees per unit
    // of nominal added to a buy's price, taken from a sell's; none without a divisor.
    const QString sql =
        QStringLiteral(
            "SELECT d.deal_num, d.order_num, d.deal_time, s.short_name, d.buy_sell, d.price, "
            "d.qty, d.vol, c.name, d.fee_exch, d.fee_depo, d.fee_brok, "
            "CASE WHEN d.qty * s.lot_size * s.nominal = 0 THEN NULL "
            "ELSE d.price + (CASE WHEN d.buy_sell = 'B' THEN 1 ELSE -1 END) * "
            "(d.fee_exch + d.fee_depo + d.fee_brok) / (d.qty * s.lot_size * s.nominal / 100.0) "
            "END, d.profit, a.name, d.nkd, d.yield, d.acc_id, d.cli_id, d.sec_id "
            "FROM deal d LEFT JOIN security s ON s.id = d.sec_id "
            "LEFT JOIN account a ON a.id = d.acc_id LEFT JOIN client c ON c.id = d.cli_id") +
        where + QStringLiteral(" ORDER BY d.deal_num");
    const QList<int> forms = {kIntColumn, kIntColumn, kTextColumn, kTextColumn, kTextColumn,
                              6,          kIntColumn, 2,           kTextColumn, 2,
                              2,          2,          6,           2,           kTextColumn,
                              2,          2,          kIntColumn,  kIntColumn,  kIntColumn};
    if (!WriteListRows(sql, binds, forms, r.answer, &why))
        return Refused(r, vocab::list::kDeals, why);
    return r;
}

EngineResult Engine::Portfolio(int query, SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    session.metadata.Attach(r.answer, PortfolioLayout(query), CachedMetadata(params));
    QString where = QStringLiteral(" WHERE 1 = 1");
    QVariantList binds;
    QString why;
    if (!AddIdList(params, vocab::key::kFilterAccounts, QStringLiteral("p.acc_id"), where, binds,
                   &why) ||
        !AddIdList(params, vocab::key::kFilterSecurities, QStringLiteral("p.sec_id"), where, binds,
                   &why))
        return Refused(r, query, why);
    const QString side = params.Value(vocab::key::kFilterShortLong).trimmed().toUpper();
    if (side == QLatin1String("L"))
        where += QStringLiteral(" AND p.curr_saldo > 0 AND p.plan_saldo > 0");
    else if (side == QLatin1String("S"))
        where += QStringLiteral(" AND (p.curr_saldo < 0 OR p.plan_saldo < 0)");
    else if (!side.isEmpty() && side != QLatin1String("SL") && side != QLatin1String("LS"))
        return Refused(
            r, query,
            QStringLiteral("filter_short_long \"%1\" is not SL, L or S").arg(side.left(20)));

    // The keyed update names its positions by pairs "param<2i>" (account) and
    // "param<2i+1>" (instrument); numbers may have gaps, a half pair names nothing.
    QSet<QPair<qint64, qint64>> wanted;
    if (query == vocab::list::kPortfolioByKeys) {
        static const QRegularExpression paramKey(QStringLiteral("^param(\\d{1,6})$"));
        QHash<qint64, QPair<QString, QString>> pairs;
        for (const auto& [key, value] : params.Items()) {
            const auto m = paramKey.match(key);
            if (!m.hasMatch())
                continue;
            const qint64 n = m.captured(1).toLongLong();
            (n % 2 == 0 ? pairs[n / 2].first : pairs[n / 2].second) = value;
        }
        QList<qint64> accounts;
        for (const auto& pair : std::as_const(pairs)) {
            bool okAcc = false;
            bool okSec = false;
            const qint64 acc = pair.first.trimmed().toLongLong(&okAcc);
            const qint64 sec = pair.second.trimmed().toLongLong(&okSec);
            if (okAcc && okSec) {
                wanted.insert({acc, sec});
                accounts << acc;
            }
        }
        where += QStringLiteral(" AND p.acc_id IN (SELECT value FROM json_each(?))");
        binds << JsonArray(accounts);
    }
    const QString sql =
        QStringLiteral("SELECT CASE WHEN p.sec_id < 0 THEN ") + kMoneyName +
        QStringLiteral(
            " ELSE s.short_name END, c.name, a.name, p.input_saldo, p.curr_saldo, p.plan_saldo, "
            "p.avprice, p.acc_id, a.client_id, p.sec_id, p.acc_id || '_' || p.sec_id "
            "FROM portfolio p JOIN account a ON a.id = p.acc_id "
            "LEFT JOIN client c ON c.id = a.client_id LEFT JOIN security s ON s.id = p.sec_id "
            "LEFT JOIN trading_system t ON t.id = -p.sec_id") +
        where + QStringLiteral(" ORDER BY p.acc_id, p.sec_id");
    const QList<int> forms = {kTextColumn, kTextColumn, kTextColumn, 2,          2,          2,
                              6,           kIntColumn,  kIntColumn,  kIntColumn, kTextColumn};
    QStringList rows;
    if (!WriteListRows(sql, binds, forms, rows, &why))
        return Refused(r, query, why);
    if (query == vocab::list::kPortfolioByKeys) {
        // Only the named pairs: the accounts' other positions are left out.
        for (const QString& row : std::as_const(rows)) {
            const QStringList fields = row.split(QChar(0));
            if (fields.size() > 9 &&
                wanted.contains({fields[7].toLongLong(), fields[9].toLongLong()}))
                r.answer.rows << row;
        }
    } else {
        r.answer.rows = std::move(rows);
    }
    return r;
}

EngineResult Engine::Position(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    // Asked without the metadata cache: the metadata goes with every answer.
    session.metadata.Attach(r.answer, PositionLayout(), false);
    const QString fltr = params.Value(vocab::key::kFilter);
    // The grouping clause is accepted exactly as the workstation appends it.
    if (!fltr.endsWith(kGroupClause))
        return Refused(r, vocab::list::kPosition,
                       QStringLiteral("fltr \"%1\" does not end with \"%2\"")
                           .arg(fltr.left(200), kGroupClause));
    QString where = QStringLiteral(" WHERE 1 = 1");
    QVariantList binds;
    QList<FilterColumn> allowed = InstrumentColumns(QStringLiteral("p.sec_id"));
    allowed << FilterColumn{QStringLiteral("ID_ACC"), QStringLiteral("p.acc_id"), false};
    QString why;
    if (!AddFilter(fltr.chopped(kGroupClause.size()), allowed, where, binds, &why))
        return Refused(r, vocab::list::kPosition, why);
    const QString sql =
        QStringLiteral("SELECT CASE WHEN p.sec_id < 0 THEN ") + kMoneyName +
        QStringLiteral(" ELSE s.short_name END AS instr, SUM(p.input_saldo), SUM(p.curr_saldo), "
                       "SUM(p.plan_saldo), p.sec_id FROM portfolio p "
                       "LEFT JOIN security s ON s.id = p.sec_id "
                       "LEFT JOIN trading_system t ON t.id = -p.sec_id") +
        where + QStringLiteral(" GROUP BY p.sec_id ORDER BY p.sec_id");
    if (!WriteListRows(sql, binds, {kTextColumn, 2, 2, 2, kIntColumn}, r.answer.rows, &why))
        return Refused(r, vocab::list::kPosition, why);
    return r;
}

EngineResult Engine::Transactions(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    session.metadata.Attach(r.answer, TransactionsLayout(), CachedMetadata(params));
    QString where = QStringLiteral(" WHERE x.exec_date = ?");
    QVariantList binds{TradingDate().toString(Qt::ISODate)};
    QList<FilterColumn> allowed = InstrumentColumns(QStringLiteral("x.sec_id"));
    allowed << FilterColumn{QStringLiteral("ID_ACC_DEBET"), QStringLiteral("x.acc_debet"), false}
            << FilterColumn{QStringLiteral("ID_ACC_KREDIT"), QStringLiteral("x.acc_kredit"), false};
    QString why;
    if (!AddFilter(params.Value(vocab::key::kFilter), allowed, where, binds, &why))
        return Refused(r, vocab::list::kTransactions, why);
    const QString accountName = QStringLiteral("CASE WHEN x.%1 = 0 THEN ") + kExternalAccount +
                                QStringLiteral(" ELSE %2.name END");
    const QString sql =
        QStringLiteral("SELECT x.id_pr, x.exec_time, ") +
        accountName.arg(QStringLiteral("acc_debet"), QStringLiteral("ad")) + QStringLiteral(", ") +
        accountName.arg(QStringLiteral("acc_kredit"), QStringLiteral("ak")) +
        QStringLiteral(", CASE WHEN x.sec_id < 0 THEN ") + kMoneyName +
        QStringLiteral(" ELSE s.short_name END, x.vol, x.reason, x.price, x.acc_debet, "
                       "x.acc_kredit, x.sec_id FROM txn x "
                       "LEFT JOIN account ad ON ad.id = x.acc_debet "
                       "LEFT JOIN account ak ON ak.id = x.acc_kredit "
                       "LEFT JOIN security s ON s.id = x.sec_id "
                       "LEFT JOIN trading_system t ON t.id = -x.sec_id") +
        where + QStringLiteral(" ORDER BY x.id_pr");
    const QList<int> forms = {kIntColumn,  kTextColumn, kTextColumn, kTextColumn, kTextColumn, 2,
                              kTextColumn, 6,           kIntColumn,  kIntColumn,  kIntColumn};
    if (!WriteListRows(sql, binds, forms, r.answer.rows, &why))
        return Refused(r, vocab::list::kTransactions, why);
    return r;
}
