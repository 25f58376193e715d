#pragma once

#include "server/core/Answer.h"
#include "server/core/Params.h"

#include <QDate>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class OrderNameCache;
class WireRowWriter;
class Store;
class StoreReader;

// What the server remembers about one attached session.
struct SessionState {
    MetadataMemory metadata;
    bool subscribed = false; // sent "IzmenaBB"
};

// The outcome of one request.
struct EngineResult {
    bool refused = false; // the request itself is unusable (unknown name, garbled parameters)
    QString error;        // why (for the caller and the log)
    Answer answer;
    QStringList changes; // change-stream rows caused by the request, one data event
};

// Answers the requests of the sessions from the store. Everything runs on one
// thread; every command is applied inside one transaction and reports what it
// changed as change-stream rows.
class Engine {
public:
    explicit Engine(Store& store);
    ~Engine();

    // Reads the names the full orders list shows before the first list is asked for,
    // so a dealer's first opening of the orders window does not wait for them; returns
    // about the bytes that list's frame will take.
    qsizetype WarmUp();

    EngineResult Handle(SessionState& session, const QString& request, const QString& params,
                        bool commandForm);
    // As Handle, for the transport: a large list (the orders) writes its rows straight
    // into the Data frame of request `id` (Answer::frame) rather than into Answer::rows;
    // `storage` is a spent frame whose buffer may be reused.
    EngineResult HandleForFrame(SessionState& session, const QString& request,
                                const QString& params, bool commandForm, quint32 id,
                                QByteArray storage = {});
    // Why the request cannot be run at all (unknown name, garbled parameter string);
    // empty when it can. Cheap, so the request can be acknowledged before it runs.
    static QString Precheck(const QString& request, const QString& params, bool commandForm);

    Store& Db() { return store_; }
    QDate TradingDate() const;

    // Change-stream rows: 22 NUL-terminated fields. Kinds 1 (new order) and 2 (changed
    // order) carry the order key in field 3, kind 3 (portfolio) the account and the
    // instrument in fields 20 and 21, kind 4 (new deal) the deal's fields.
    static QString OrderChangeRow(int kind, qint64 orderNum, const QString& securityName,
                                  qint64 accountId, qint64 securityId, const QString& time);
    static QString PortfolioChangeRow(qint64 accountId, qint64 securityId,
                                      const QString& securityName, const QString& time);
    // The kind 4 row of a stored deal; empty when there is no such deal.
    QString DealChangeRow(qint64 dealNum) const;

    // Layouts of the named answers (metadata ids "SpisokBB.N" / "ExecQueryBB.N").
    static const ResultLayout& OrdersLayout();
    static const ResultLayout& SecuritiesLayout();
    static const ResultLayout& CommandResultLayout(const QString& query);

private:
    struct RequestEntry;
    static const RequestEntry* FindRequest(const QString& request);

    EngineResult List(SessionState& session, const ParamList& params);
    EngineResult Command(SessionState& session, const ParamList& params);

    EngineResult TradingDay(const ParamList& params);
    EngineResult UserSession(const ParamList& params);
    EngineResult PluginSupport(const ParamList& params);
    EngineResult ReferenceList(int query, SessionState& session, const ParamList& params);
    EngineResult Orders(SessionState& session, const ParamList& params);
    EngineResult Withdraw(int query, SessionState& session, const ParamList& params);
    EngineResult UserInfoChange(const ParamList& params);
    // Broker interest (EngineInterest.cpp).
    EngineResult StoredProcedure(const ParamList& params);
    EngineResult InterestAll(const ParamList& params);
    EngineResult InterestOfClient(const ParamList& params);
    EngineResult UpdateBrokerPercent(const ParamList& params);
    EngineResult UpdatePercentFlag(const ParamList& params);
    EngineResult UpdatePercentAccount(const ParamList& params);

    // Margin lending (EngineMargin.cpp).
    EngineResult MarginClients(SessionState& session, const ParamList& params);
    EngineResult MarginRules(const ParamList& params);
    EngineResult MarginCommand(int query, const ParamList& params);

public:
    static const ResultLayout& MarginClientsLayout();

private:
    // Deals, portfolio, position and transactions (EngineDeals.cpp).
    EngineResult Deals(SessionState& session, const ParamList& params);
    EngineResult Portfolio(int query, SessionState& session, const ParamList& params);
    EngineResult Position(SessionState& session, const ParamList& params);
    EngineResult Transactions(SessionState& session, const ParamList& params);
    // Runs a list query and writes each result row: the column forms say, column by
    // column, kTextColumn, kIntColumn or the decimals of a number. False with the
    // reason when the store cannot run it.
    static constexpr int kTextColumn = -1;
    static constexpr int kIntColumn = -2;
    // Futures contracts and money (EngineFutures.cpp), T+ balances (EngineTPlus.cpp).
    EngineResult FuturesContracts(SessionState& session, const ParamList& params);
    EngineResult FuturesMoney(SessionState& session, const ParamList& params);
    EngineResult TPlusBalances(SessionState& session, const ParamList& params);
    // The archives of past days: orders 308, deals 301, portfolio 306, position 304
    // and transactions 309 (EngineArchive.cpp).
    static bool IsArchiveList(int query);
    EngineResult ArchiveList(int query, SessionState& session, const ParamList& params);
    // Pending transactions and their cancellation (EnginePending.cpp).
    EngineResult PendingTransactions(SessionState& session, const ParamList& params);
    EngineResult CancelPending(SessionState& session, const ParamList& params);
    EngineResult ChangeTransactionReason(SessionState& session, const ParamList& params);
    // The sender's balance and new transactions (EngineTransfers.cpp).
    EngineResult Balance(SessionState& session, const ParamList& params);
    EngineResult NewTransaction(int query, SessionState& session, const ParamList& params);
    bool WriteListRows(const QString& sql, const QVariantList& binds, const QList<int>& forms,
                       QStringList& rows, QString* error);
    // The same into an answer: straight into the frame when one was asked for
    // (HandleForFrame), so a large list is not built twice; no rows and no frame on error.
    bool WriteListRows(const QString& sql, const QVariantList& binds, const QList<int>& forms,
                       Answer& answer, QString* error);
    bool WriteListRowsTo(const QString& sql, const QVariantList& binds, const QList<int>& forms,
                         const std::function<void(WireRowWriter&)>& takeRow, QString* error);
    // Commission lists 750 to 756 (EngineCommissions.cpp).
    static bool IsCommissionList(int query);
    EngineResult CommissionList(int query, SessionState& session, const ParamList& params);
    // Commission commands 1901 to 1908 (EngineCommissions.cpp).
    static bool IsCommissionCommand(int query);
    EngineResult CommissionCommand(int query, SessionState& session, const ParamList& params);
    qint64 StoreTariff(const ParamList& params); // throws the command's refusal
    qint64 NextCommissionId(const char* counter, const char* table);
    // Order details "SpisokIFD" 1418 and 1421 (EngineOrderInfo.cpp).
    EngineResult OrderDetails(const ParamList& params);
    // RPS and REPO orders 206 and withdrawal 60, conditional orders 208 and
    // withdrawal 70 (EngineRpsOrders.cpp).
    EngineResult RpsRepoOrders(SessionState& session, const ParamList& params);
    EngineResult ConditionalOrders(SessionState& session, const ParamList& params);
    EngineResult WithdrawRequestOrder(int query, SessionState& session, const ParamList& params);

    Store& store_;
    mutable std::unique_ptr<QSqlQuery> dealRow_; // prepared once, for the change stream
    std::unique_ptr<StoreReader> reader_;        // this engine's own read connection
    std::unique_ptr<OrderNameCache> orderNames_; // names of the full orders list
    // The frame asked for by HandleForFrame while it runs.
    struct FrameTarget {
        quint32 id = 0;
        QByteArray storage;
    };
    std::optional<FrameTarget> frameTarget_;
};

// "dd.mm.yyyy" of a stored "yyyy-MM-dd" date.
QString DottedDate(const QString& isoDate);
