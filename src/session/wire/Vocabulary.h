#pragma once

// The names and numbers both ends of a session agree on: request names, parameter
// keys, query numbers, the change stream's row layout and the order status codes.
// The workstation sends them and the session server dispatches on them, so they
// are written here once. User texts are not part of it. docs/glossary.md explains
// the transliterated names.

#include <QLatin1StringView>

namespace vocab {

// Request names (the name a session sends with its parameter string).
namespace request {
inline constexpr QLatin1StringView kList{"SpisokBB"};         // a list by query number
inline constexpr QLatin1StringView kCommand{"ExecQueryBB"};   // a command by query number
inline constexpr QLatin1StringView kTradingDay{"SQLtorgBB"};  // the trading day
inline constexpr QLatin1StringView kUserSession{"SQLktoExt"}; // who is logged in
inline constexpr QLatin1StringView kChangeStream{"IzmenaBB"}; // subscription to changes
inline constexpr QLatin1StringView kPluginSupport{"NorvanePluginSupport"};
inline constexpr QLatin1StringView kOrderDetails{"SpisokIFD"};
// Broker interest: a stored procedure by name ("SP=", "Params=") and the three updates.
inline constexpr QLatin1StringView kStoredProcedure{"SPExec"};
inline constexpr QLatin1StringView kUpdateBrokerPercent{"UpdBrokPerc"};
inline constexpr QLatin1StringView kUpdatePercentFlag{"UpdPercFlag"};
inline constexpr QLatin1StringView kUpdatePercentAccount{"UpdPercAcc"};
} // namespace request

// Parameter keys.
namespace key {
inline constexpr QLatin1StringView kQuery{"chto"};                    // which list or command
inline constexpr QLatin1StringView kFilter{"fltr"};                   // an SQL condition fragment
inline constexpr QLatin1StringView kVersion{"vrs"};                   // the workstation's version
inline constexpr QLatin1StringView kBackParam{"BackParam"};           // echo the parameters back
inline constexpr QLatin1StringView kNoSendMetadata{"NoSendMetadata"}; // metadata is cached
inline constexpr QLatin1StringView kLoopBackCount{"LoopBackCount"};   // how many LoopBackN follow
inline constexpr QLatin1StringView kLoopBack0{"LoopBack0"};           // returned unchanged
inline constexpr QLatin1StringView kLoopBack1{"LoopBack1"};           // returned unchanged
inline constexpr QLatin1StringView kPluginId{"PluginID"};
inline constexpr QLatin1StringView kFilterAccounts{"filter_acc"};
inline constexpr QLatin1StringView kFilterSecurities{"filter_bum"};
inline constexpr QLatin1StringView kFilterOrderStatus{"filter_order_status"};
inline constexpr QLatin1StringView kFilterBuySell{"filter_buy_sell"};
inline constexpr QLatin1StringView kFilterShortLong{"filter_short_long"};
inline constexpr QLatin1StringView kFilterKeyValues{"filter_key_values"}; // only these rows
inline constexpr QLatin1StringView kParam0{"param0"}; // the first positional argument
} // namespace key

// Query numbers of lists ("SpisokBB" and the order details "SpisokIFD").
namespace list {
constexpr int kDeals = 201;
constexpr int kPosition = 204;
constexpr int kTransactions = 205;
constexpr int kRpsRepoOrders = 206;
constexpr int kPendingTransactions = 207;
constexpr int kConditionalOrders = 208;
constexpr int kFuturesContracts = 209;
constexpr int kFuturesMoney = 210;
constexpr int kOrders = 211;
constexpr int kPortfolio = 212;
constexpr int kPortfolioByKeys = 213;
constexpr int kArchiveDeals = 301;
constexpr int kArchivePosition = 304;
constexpr int kArchivePortfolio = 306;
constexpr int kArchiveOrders = 308;
constexpr int kArchiveTransactions = 309;
constexpr int kTPlusBalances = 310;
constexpr int kBalance = 401;
// The reference lists the main window loads at login.
constexpr int kClients = 402;
constexpr int kAccounts = 403;
constexpr int kTradingSystems = 404;
constexpr int kBoards = 405;
constexpr int kTransactionAccounts = 407;
constexpr int kOrderStatuses = 408;
constexpr int kSecurities = 409;
constexpr int kUserInfoTypes = 420;
constexpr int kUserInfoValues = 421;
constexpr int kMarginClients = 650;
constexpr int kMarginRules = 651;
constexpr int kOrderDetails = 1418;
constexpr int kConditionalOrderDetails = 1421;
} // namespace list

// Query numbers of commands ("ExecQueryBB").
namespace command {
constexpr int kWithdrawOrder = 20;         // param0: order number
constexpr int kWithdrawAccountOrders = 30; // param0: account id
constexpr int kWithdrawClientOrders = 40;  // param0: client id
constexpr int kWithdrawGroupOrders = 50;   // param0: group order number
constexpr int kWithdrawRpsRepoOrder = 60;
constexpr int kWithdrawConditionalOrder = 70;
constexpr int kNewTransaction = 100;
constexpr int kNewPendingTransaction = 101;  // a deferred transaction (listed in 207)
constexpr int kNewExternalTransaction = 110; // one side is the external counterparty (0)
constexpr int kCancelPendingTransaction = 102;
constexpr int kChangeTransactionReason = 103;
constexpr int kChangeUserInfo = 1821; // param0 value id, param1 owner, param2 type, param3 text
// Margin lending, all in pair form; the answer's first field is "0" on success.
constexpr int kMarginRuleSet = 600;      // client, instrument, limit, level flag, trading flag x2
constexpr int kMarginRuleRemove = 601;   // client, instrument
constexpr int kMarginRulesCopy = 602;    // source client, destination client
constexpr int kMarginRulesClear = 603;   // client
constexpr int kMarginClientLevels = 604; // client, mode, start level, critical level, account
} // namespace command

// The change stream ("IzmenaBB"): each row has kChangeRowFields fields.
namespace change {
constexpr int kNewOrder = 1;
constexpr int kChangedOrder = 2;
constexpr int kPortfolioPosition = 3;
constexpr int kNewDeal = 4;

constexpr int kChangeRowFields = 22;
constexpr int kFieldTime = 0;     // deals: the deal date
constexpr int kFieldSecurity = 1; // the security's short name
constexpr int kFieldKind = 2;
constexpr int kFieldOrderKey = 3; // kinds 1, 2 and 4
constexpr int kFieldAccount = 20; // account id
constexpr int kFieldSecurityId = 21;
} // namespace change

// Order status codes ("ORDER_STATUS"): below kFilled an order is active and can be
// withdrawn; kFilled is filled; kFinal and above are withdrawn, refused or expired.
namespace status {
constexpr int kActive = 10;
constexpr int kFilled = 11;
constexpr int kFinal = 20; // also "withdrawn"
constexpr int kWithdrawn = 20;
} // namespace status

} // namespace vocab
