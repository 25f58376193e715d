#include "server/core/Engine.h"

#include "server/core/OrderNameCache.h"
#include "server/core/RequestNumbers.h"
#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/StoreReader.h"
#include "server/core/WireText.h"
#include "session/wire/Vocabulary.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTime>

using WireText::RowBuilder;

QString DottedDate(const QString& isoDate) {
    const QDate d = QDate::fromString(isoDate, Qt::ISODate);
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : QString();
}

Engine::Engine(Store& store) : store_(store) {}

Engine::~Engine() = default;

QDate Engine::TradingDate() const {
    const QDate d = QDate::fromString(store_.State(QStringLiteral("trading_date")), Qt::ISODate);
    return d.isValid() ? d : QDate::currentDate();
}

// The requests the server answers, each with its handler: the request check and the
// dispatch both read this one table.
struct Engine::RequestEntry {
    QLatin1StringView name;
    EngineResult (*handle)(Engine& engine, SessionState& session, const ParamList& params);
};

const Engine::RequestEntry* Engine::FindRequest(const QString& request) {
    static const RequestEntry table[] = {
        {vocab::request::kTradingDay,
         [](Engine& e, SessionState&, const ParamList& p) { return e.TradingDay(p); }},
        {vocab::request::kUserSession,
         [](Engine& e, SessionState&, const ParamList& p) { return e.UserSession(p); }},
        {vocab::request::kChangeStream,
         [](Engine&, SessionState& s, const ParamList& p) {
             s.subscribed = true;
             EngineResult r;
             r.answer.echo = p;
             return r;
         }},
        {vocab::request::kPluginSupport,
         [](Engine& e, SessionState&, const ParamList& p) { return e.PluginSupport(p); }},
        {vocab::request::kList,
         [](Engine& e, SessionState& s, const ParamList& p) { return e.List(s, p); }},
        {vocab::request::kCommand,
         [](Engine& e, SessionState& s, const ParamList& p) { return e.Command(s, p); }},
        // Broker interest.
        {vocab::request::kStoredProcedure,
         [](Engine& e, SessionState&, const ParamList& p) { return e.StoredProcedure(p); }},
        {vocab::request::kUpdateBrokerPercent,
         [](Engine& e, SessionState&, const ParamList& p) { return e.UpdateBrokerPercent(p); }},
        {vocab::request::kUpdatePercentFlag,
         [](Engine& e, SessionState&, const ParamList& p) { return e.UpdatePercentFlag(p); }},
        {vocab::request::kUpdatePercentAccount,
         [](Engine& e, SessionState&, const ParamList& p) { return e.UpdatePercentAccount(p); }},
        // Order details.
        {vocab::request::kOrderDetails,
         [](Engine& e, SessionState&, const ParamList& p) { return e.OrderDetails(p); }},
    };
    for (const RequestEntry& entry : table)
        if (request == entry.name)
            return &entry;
    return nullptr;
}

QString Engine::Precheck(const QString& request, const QString& params, bool commandForm) {
    if (!FindRequest(request))
        return QStringLiteral("unknown request \"%1\"").arg(request.left(100));
    const ParsedParams parsed =
        ParseParams(params, commandForm ? ParamForm::Alternating : ParamForm::Pair);
    const QString why = parsed.ok ? RequestNumbers::Check(request, parsed.params) : parsed.error;
    if (!why.isEmpty())
        return QStringLiteral("malformed parameter string for \"%1\": %2").arg(request, why);
    return {};
}

EngineResult Engine::Handle(SessionState& session, const QString& request, const QString& params,
                            bool commandForm) {
    const ParsedParams parsed =
        ParseParams(params, commandForm ? ParamForm::Alternating : ParamForm::Pair);
    const QString why = parsed.ok ? RequestNumbers::Check(request, parsed.params) : parsed.error;
    if (!why.isEmpty()) {
        EngineResult r;
        r.refused = true;
        r.error = QStringLiteral("malformed parameter string for \"%1\": %2").arg(request, why);
        ServerLog::Line(r.error);
        return r;
    }
    const RequestEntry* entry = FindRequest(request);
    if (!entry) {
        EngineResult result;
        result.refused = true;
        result.error = QStringLiteral("unknown request \"%1\"").arg(request.left(100));
        ServerLog::Line(result.error);
        return result;
    }
    return entry->handle(*this, session, parsed.params);
}

EngineResult Engine::HandleForFrame(SessionState& session, const QString& request,
                                    const QString& params, bool commandForm, quint32 id,
                                    QByteArray storage) {
    frameTarget_ = FrameTarget{id, std::move(storage)};
    EngineResult r = Handle(session, request, params, commandForm);
    frameTarget_.reset();
    return r;
}

EngineResult Engine::List(SessionState& session, const ParamList& params) {
    const auto chto = params.Int(QStringLiteral("chto"));
    const int query = chto ? int(*chto) : -1;
    switch (query) {
    case vocab::list::kClients:
    case vocab::list::kAccounts:
    case vocab::list::kTradingSystems:
    case vocab::list::kBoards:
    case vocab::list::kTransactionAccounts:
    case vocab::list::kOrderStatuses:
    case vocab::list::kSecurities:
    case vocab::list::kUserInfoTypes:
    case vocab::list::kUserInfoValues:
        return ReferenceList(query, session, params);
    case vocab::list::kOrders:
        return Orders(session, params);
    case vocab::list::kMarginClients:
        return MarginClients(session, params);
    case vocab::list::kMarginRules:
        return MarginRules(params);
    case vocab::list::kDeals:
        return Deals(session, params);
    case vocab::list::kPortfolio:
    case vocab::list::kPortfolioByKeys:
        return Portfolio(query, session, params);
    case vocab::list::kPosition:
        return Position(session, params);
    case vocab::list::kTransactions:
        return Transactions(session, params);
    case vocab::list::kPendingTransactions:
        return PendingTransactions(session, params);
    case vocab::list::kBalance:
        return Balance(session, params);
    case vocab::list::kFuturesContracts:
        return FuturesContracts(session, params);
    case vocab::list::kFuturesMoney:
        return FuturesMoney(session, params);
    case vocab::list::kTPlusBalances:
        return TPlusBalances(session, params);
    case vocab::list::kRpsRepoOrders:
        return RpsRepoOrders(session, params);
    case vocab::list::kConditionalOrders:
        return ConditionalOrders(session, params);
    default:
        break;
    }
    if (IsCommissionList(query))
        return CommissionList(query, session, params);
    if (IsArchiveList(query))
        return ArchiveList(query, session, params);
    EngineResult r;
    r.answer.echo = params;
    ServerLog::Line(
        QStringLiteral("SpisokBB: unknown query \"%1\", empty answer (%2)")
            .arg(params.Value(QStringLiteral("chto")).left(40), params.Describe().left(300)));
    return r;
}

EngineResult Engine::Command(SessionState& session, const ParamList& params) {
    const auto chto = params.Int(QStringLiteral("chto"));
    const int query = chto ? int(*chto) : -1;
    switch (query) {
    case vocab::command::kWithdrawOrder:
    case vocab::command::kWithdrawAccountOrders:
    case vocab::command::kWithdrawClientOrders:
    case vocab::command::kWithdrawGroupOrders:
        return Withdraw(query, session, params);
    case vocab::command::kChangeUserInfo:
        return UserInfoChange(params);
    case vocab::command::kMarginRuleSet:
    case vocab::command::kMarginRuleRemove:
    case vocab::command::kMarginRulesCopy:
    case vocab::command::kMarginRulesClear:
    case vocab::command::kMarginClientLevels:
        return MarginCommand(query, params);
    case vocab::command::kCancelPendingTransaction:
        return CancelPending(session, params);
    case vocab::command::kChangeTransactionReason:
        return ChangeTransactionReason(session, params);
    case vocab::command::kNewTransaction:
    case vocab::command::kNewPendingTransaction:
    case vocab::command::kNewExternalTransaction:
        return NewTransaction(query, session, params);
    case vocab::command::kWithdrawRpsRepoOrder:
    case vocab::command::kWithdrawConditionalOrder:
        return WithdrawRequestOrder(query, session, params);
    default:
        break;
    }
    if (IsCommissionCommand(query))
        return CommissionCommand(query, session, params);
    EngineResult r;
    r.answer.echo = params;
    ServerLog::Line(
        QStringLiteral("ExecQueryBB: unknown query \"%1\", empty answer (%2)")
            .arg(params.Value(QStringLiteral("chto")).left(40), params.Describe().left(300)));
    return r;
}

EngineResult Engine::TradingDay(const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    r.answer.rows << RowBuilder()
                         .Plain(store_.State(QStringLiteral("trading_day_key")))
                         .Plain(DottedDate(store_.State(QStringLiteral("trading_date"))))
                         .Plain(store_.State(QStringLiteral("trading_state"), QStringLiteral("1")))
                         .Take();
    return r;
}

EngineResult Engine::UserSession(const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    r.answer.rows << RowBuilder()
                         .Plain(store_.State(QStringLiteral("client_key"), QStringLiteral("1")))
                         .Plain(store_.State(QStringLiteral("caption")))
                         .Plain(store_.State(QStringLiteral("user_kind"), QStringLiteral("1")))
                         .Plain(store_.State(QStringLiteral("session_key")))
                         .Take();
    return r;
}

EngineResult Engine::PluginSupport(const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const QString id = params.Value(QStringLiteral("PluginID"));
    const bool allowed =
        !id.isEmpty() &&
        store_.ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM plugin_allow WHERE plugin_id = ?"),
                           {id})
                .toInt() > 0;
    r.answer.rows << RowBuilder()
                         .Plain(id)
                         .Plain(allowed ? QStringLiteral("OK") : QStringLiteral("NO"))
                         .Take();
    return r;
}

// User-information change: param0 value id (0 = new), param1 owner, param2 type,
// param3 text. Answer row: code, message, value id, the server's text. Code -2 says
// the value was stored in the server's own form (shortened, or without characters
// that cannot be stored), which the answer's fourth field carries.
EngineResult Engine::UserInfoChange(const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    auto refuse = [&](int code, const QString& message) {
        r.answer.rows << RowBuilder().Int(code).Plain(message).Int(0).Plain(QString()).Take();
        ServerLog::Line(QStringLiteral("1821 refused: %1 (%2)").arg(message, params.Describe()));
        return r;
    };
    const auto valueId = params.Int(QStringLiteral("param0"));
    const auto owner = params.Int(QStringLiteral("param1"));
    const auto type = params.Int(QStringLiteral("param2"));
    if (!valueId || !owner || !type || *valueId < 0)
        return refuse(-1, QString::fromUtf8("Неверные параметры изменения информации"));
    const QVariant target =
        store_.ScalarQuery(QStringLiteral("SELECT target_kind FROM ui_type WHERE id = ?"), {*type});
    if (!target.isValid())
        return refuse(-1,
                      QString::fromUtf8("Неизвестный тип информации ") + QString::number(*type));
    const QString ownerTable =
        target.toInt() == 1 ? QStringLiteral("account") : QStringLiteral("client");
    if (store_
            .ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE id = ?").arg(ownerTable),
                         {*owner})
            .toInt() == 0)
        return refuse(-1, QString::fromUtf8("Владелец информации не найден: ") +
                              QString::number(*owner));

    const QString typed = params.Value(QStringLiteral("param3"));
    QString stored = WireText::PlainText(typed);
    constexpr int kMaxText = 255;
    if (stored.size() > kMaxText)
        stored.truncate(kMaxText);
    const bool adjusted = stored != typed;
    if (stored.isNull())
        stored = QStringLiteral(""); // an empty text, not SQL NULL

    qint64 id = *valueId;
    const bool ok = store_.Transaction([&] {
        QSqlQuery q(store_.Db());
        if (id == 0) {
            // A value of this type for this owner already exists: change it rather
            // than keep two values the display lookups would choose between.
            q.prepare(QStringLiteral("SELECT id FROM ui_value WHERE type_id = ? AND owner_id = ?"));
            q.addBindValue(*type);
            q.addBindValue(*owner);
            if (q.exec() && q.next())
                id = q.value(0).toLongLong();
        }
        if (id == 0) {
            id = store_.ScalarQuery(QStringLiteral("SELECT COALESCE(MAX(id), 0) + 1 FROM ui_value"))
                     .toLongLong();
            q.prepare(QStringLiteral(
                "INSERT INTO ui_value (id, owner_id, type_id, value) VALUES (?, ?, ?, ?)"));
            q.addBindValue(id);
            q.addBindValue(*owner);
            q.addBindValue(*type);
            q.addBindValue(stored);
            return q.exec();
        }
        q.prepare(QStringLiteral(
            "UPDATE ui_value SET value = ? WHERE id = ? AND owner_id = ? AND type_id = ?"));
        q.addBindValue(stored);
        q.addBindValue(id);
        q.addBindValue(*owner);
        q.addBindValue(*type);
        return q.exec() && q.numRowsAffected() == 1;
    });
    if (!ok)
        return refuse(-1, QString::fromUtf8("Значение информации не найдено: ") +
                              QString::number(*valueId));
    if (adjusted) {
        r.answer.rows << RowBuilder()
                             .Int(-2)
                             .Plain(QString::fromUtf8("Текст сохранен в сокращенном виде"))
                             .Int(id)
                             .Plain(stored)
                             .Take();
    } else {
        r.answer.rows << RowBuilder().Int(0).Plain(QString()).Int(id).Plain(stored).Take();
    }
    return r;
}

namespace {
namespace change = vocab::change;

QString ChangeRow(const QStringList& fields) {
    RowBuilder b;
    for (int i = 0; i < change::kChangeRowFields; ++i)
        b.Plain(i < fields.size() ? fields[i] : QString());
    return b.Take();
}
} // namespace

QString Engine::OrderChangeRow(int kind, qint64 orderNum, const QString& securityName,
                               qint64 accountId, qint64 securityId, const QString& time) {
    QStringList f(change::kChangeRowFields);
    f[change::kFieldTime] = time;
    f[change::kFieldSecurity] = securityName;
    f[change::kFieldKind] = QString::number(kind);
    f[change::kFieldOrderKey] = QString::number(orderNum);
    f[change::kFieldAccount] = QString::number(accountId);
    f[change::kFieldSecurityId] = QString::number(securityId);
    return ChangeRow(f);
}

QString Engine::PortfolioChangeRow(qint64 accountId, qint64 securityId, const QString& securityName,
                                   const QString& time) {
    QStringList f(change::kChangeRowFields);
    f[change::kFieldTime] = time;
    f[change::kFieldSecurity] = securityName;
    f[change::kFieldKind] = QString::number(change::kPortfolioPosition);
    f[change::kFieldAccount] = QString::number(accountId);
    f[change::kFieldSecurityId] = QString::number(securityId);
    return ChangeRow(f);
}

QString Engine::DealChangeRow(qint64 dealNum) const {
    if (!dealRow_) {
        dealRow_ = std::make_unique<QSqlQuery>(store_.Db());
        dealRow_->setForwardOnly(true);
        dealRow_->prepare(QStringLiteral(
            "SELECT d.deal_time, s.short_name, d.order_num, d.price, d.buy_sell, d.qty, d.vol, "
            "d.nkd, d.profit, d.yield, a.name, d.deal_num, d.fee_exch, d.fee_depo, d.fee_brok, "
            "c.name, d.acc_id, d.sec_id, d.deal_date "
            "FROM deal d LEFT JOIN security s ON s.id = d.sec_id "
            "LEFT JOIN account a ON a.id = d.acc_id LEFT JOIN client c ON c.id = d.cli_id "
            "WHERE d.deal_num = ?"));
    }
    QSqlQuery& q = *dealRow_;
    q.bindValue(0, dealNum);
    if (!q.exec() || !q.next())
        return {};
    QStringList f(change::kChangeRowFields);
    f[change::kFieldTime] = DottedDate(q.value(18).toString());
    f[change::kFieldSecurity] = q.value(1).toString();
    f[change::kFieldKind] = QString::number(change::kNewDeal);
    f[change::kFieldOrderKey] = q.value(2).toString();
    f[4] = QString();
    f[5] = WireText::DotNumber(q.value(3).toDouble(), 6);
    f[6] = QString();
    f[7] = q.value(4).toString();
    f[8] = QString::number(q.value(5).toLongLong());
    f[9] = WireText::DotNumber(q.value(6).toDouble(), 2);
    f[10] = WireText::DotNumber(q.value(7).toDouble(), 2);
    f[11] = WireText::DotNumber(q.value(8).toDouble(), 2);
    f[12] = WireText::DotNumber(q.value(9).toDouble(), 2);
    f[13] = q.value(0).toString();
    f[14] = q.value(10).toString();
    f[15] = q.value(11).toString();
    f[16] = WireText::DotNumber(q.value(12).toDouble(), 2);
    f[17] = WireText::DotNumber(q.value(13).toDouble(), 2);
    f[18] = WireText::DotNumber(q.value(14).toDouble(), 2);
    f[19] = q.value(15).toString();
    f[change::kFieldAccount] = QString::number(q.value(16).toLongLong());
    f[change::kFieldSecurityId] = QString::number(q.value(17).toLongLong());
    q.finish();
    return ChangeRow(f);
}
