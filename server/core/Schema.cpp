#include "server/core/Schema.h"

// Dates are kept as "yyyy-MM-dd" texts (sortable), times of day as "hh:mm:ss".
// Money items are instruments with the negative id of their trading system.
namespace {

const char* const kVersion1[] = {
    // Server state: trading day key and date, trading state, session and client keys,
    // caption, user kind, counters.
    "CREATE TABLE server_state (key TEXT PRIMARY KEY, value TEXT NOT NULL)",

    // Reference data.
    "CREATE TABLE trading_system (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
    "name_template TEXT NOT NULL DEFAULT '%CODE% %TEXT%')",
    "CREATE TABLE board (id INTEGER PRIMARY KEY, code TEXT NOT NULL UNIQUE, name TEXT NOT NULL, "
    "ts_id INTEGER NOT NULL, note TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE security (id INTEGER PRIMARY KEY, short_name TEXT NOT NULL, "
    "trade_code TEXT NOT NULL, board_code TEXT NOT NULL, lot_size INTEGER NOT NULL DEFAULT 1, "
    "nominal INTEGER NOT NULL DEFAULT 0, price_precision INTEGER NOT NULL DEFAULT 2, "
    "ts_id INTEGER NOT NULL, not_traded INTEGER NOT NULL DEFAULT 0, "
    "stock_sub_type INTEGER NOT NULL DEFAULT 0, fut_buy_deposit REAL NOT NULL DEFAULT 0, "
    "fut_sell_deposit REAL NOT NULL DEFAULT 0, government_code TEXT NOT NULL DEFAULT '', "
    "last_price REAL NOT NULL DEFAULT 0, isin TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX security_board ON security(board_code)",
    "CREATE TABLE client (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
    "parent_id INTEGER NOT NULL DEFAULT 0)",
    // is_transaction: offered as sender/receiver of transactions (407).
    "CREATE TABLE account (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
    "client_id INTEGER NOT NULL, is_transaction INTEGER NOT NULL DEFAULT 1)",
    "CREATE INDEX account_client ON account(client_id)",
    "CREATE TABLE order_status (code INTEGER PRIMARY KEY, name TEXT NOT NULL)",
    "CREATE TABLE order_type (code INTEGER PRIMARY KEY, name TEXT NOT NULL)",
    "CREATE TABLE ui_type (id INTEGER PRIMARY KEY, target_kind INTEGER NOT NULL, "
    "value_kind INTEGER NOT NULL, name TEXT NOT NULL)",
    "CREATE TABLE ui_value (id INTEGER PRIMARY KEY, owner_id INTEGER NOT NULL, "
    "type_id INTEGER NOT NULL, value TEXT NOT NULL)",
    "CREATE INDEX ui_value_owner ON ui_value(type_id, owner_id)",
    "CREATE TABLE plugin_allow (plugin_id TEXT PRIMARY KEY)",

    // Exchange orders of every day (the current day is the live list, earlier days the archive).
    "CREATE TABLE orders (order_num INTEGER PRIMARY KEY, order_date TEXT NOT NULL, "
    "order_time TEXT NOT NULL, sec_id INTEGER NOT NULL, buy_sell TEXT NOT NULL, "
    "order_type INTEGER NOT NULL, status INTEGER NOT NULL, price REAL NOT NULL, "
    "qty_first INTEGER NOT NULL, qty_left INTEGER NOT NULL, nkd REAL NOT NULL DEFAULT 0, "
    "yield REAL NOT NULL DEFAULT 0, acc_id INTEGER NOT NULL, cli_id INTEGER NOT NULL, "
    "order_group TEXT NOT NULL DEFAULT '', changed_at TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX orders_date ON orders(order_date, order_num)",
    "CREATE INDEX orders_acc ON orders(acc_id, status)",
    "CREATE INDEX orders_cli ON orders(cli_id, status)",
    "CREATE INDEX orders_group ON orders(order_group)",

    // Deals (fills of orders).
    "CREATE TABLE deal (deal_num INTEGER PRIMARY KEY, deal_date TEXT NOT NULL, "
    "deal_time TEXT NOT NULL, order_num INTEGER NOT NULL, sec_id INTEGER NOT NULL, "
    "buy_sell TEXT NOT NULL, price REAL NOT NULL, qty INTEGER NOT NULL, vol REAL NOT NULL, "
    "nkd REAL NOT NULL DEFAULT 0, profit REAL NOT NULL DEFAULT 0, yield REAL NOT NULL DEFAULT 0, "
    "fee_exch REAL NOT NULL DEFAULT 0, fee_depo REAL NOT NULL DEFAULT 0, "
    "fee_brok REAL NOT NULL DEFAULT 0, brok_my REAL NOT NULL DEFAULT 0, "
    "brok_ret REAL NOT NULL DEFAULT 0, acc_id INTEGER NOT NULL, cli_id INTEGER NOT NULL)",
    "CREATE INDEX deal_date ON deal(deal_date, deal_num)",
    "CREATE INDEX deal_order ON deal(order_num)",

    // Current portfolio: one row per (account, instrument).
    "CREATE TABLE portfolio (acc_id INTEGER NOT NULL, sec_id INTEGER NOT NULL, "
    "input_saldo REAL NOT NULL DEFAULT 0, curr_saldo REAL NOT NULL DEFAULT 0, "
    "plan_saldo REAL NOT NULL DEFAULT 0, avprice REAL NOT NULL DEFAULT 0, "
    "var_margin REAL NOT NULL DEFAULT 0, buy_deposit REAL NOT NULL DEFAULT 0, "
    "sell_deposit REAL NOT NULL DEFAULT 0, PRIMARY KEY (acc_id, sec_id))",
    // Closing snapshots of earlier days (portfolio and position archives).
    "CREATE TABLE portfolio_archive (snap_date TEXT NOT NULL, acc_id INTEGER NOT NULL, "
    "sec_id INTEGER NOT NULL, input_saldo REAL NOT NULL, curr_saldo REAL NOT NULL, "
    "plan_saldo REAL NOT NULL, avprice REAL NOT NULL, var_margin REAL NOT NULL DEFAULT 0, "
    "buy_deposit REAL NOT NULL DEFAULT 0, sell_deposit REAL NOT NULL DEFAULT 0, "
    "PRIMARY KEY (snap_date, acc_id, sec_id))",
    // T+ plan: balances and deliveries per settlement date.
    "CREATE TABLE tplus (settle_date TEXT NOT NULL, acc_id INTEGER NOT NULL, "
    "sec_id INTEGER NOT NULL, limit_saldo REAL NOT NULL, curr_saldo REAL NOT NULL, "
    "delivery REAL NOT NULL, plan_saldo REAL NOT NULL, "
    "PRIMARY KEY (settle_date, acc_id, sec_id))",

    // Transactions between accounts (account 0 is the external counterparty).
    "CREATE TABLE txn (id_pr INTEGER PRIMARY KEY, exec_date TEXT NOT NULL, "
    "exec_time TEXT NOT NULL, create_date TEXT NOT NULL, acc_debet INTEGER NOT NULL, "
    "acc_kredit INTEGER NOT NULL, sec_id INTEGER NOT NULL, vol REAL NOT NULL, "
    "reason TEXT NOT NULL DEFAULT '', price REAL NOT NULL DEFAULT 0, "
    "special_codes TEXT NOT NULL DEFAULT '', symbol_text TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX txn_exec ON txn(exec_date)",
    "CREATE INDEX txn_create ON txn(create_date)",
    // Pending (deferred) transactions; status 10 waiting, 20 cancelled, 30 executed.
    "CREATE TABLE pending_txn (id INTEGER PRIMARY KEY, create_date TEXT NOT NULL, "
    "status INTEGER NOT NULL, source_acc INTEGER NOT NULL, dest_acc INTEGER NOT NULL, "
    "sec_id INTEGER NOT NULL, amount REAL NOT NULL, reason TEXT NOT NULL DEFAULT '', "
    "avg_price REAL NOT NULL DEFAULT 0)",

    // Futures positions and futures money.
    "CREATE TABLE fut_position (acc_id INTEGER NOT NULL, sec_id INTEGER NOT NULL, "
    "input_count INTEGER NOT NULL, curr_count INTEGER NOT NULL, curr_deposit REAL NOT NULL, "
    "plan_deposit REAL NOT NULL, avg_price REAL NOT NULL, plan_var_margin REAL NOT NULL, "
    "PRIMARY KEY (acc_id, sec_id))",
    "CREATE TABLE fut_money (acc_id INTEGER PRIMARY KEY, sec_id INTEGER NOT NULL, "
    "money_free REAL NOT NULL, sum_deposit REAL NOT NULL, plan_var_margin REAL NOT NULL, "
    "plan_commission REAL NOT NULL, available REAL NOT NULL)",

    // RPS and REPO orders.
    "CREATE TABLE rps_order (order_id INTEGER PRIMARY KEY, exchange_id TEXT NOT NULL, "
    "order_date TEXT NOT NULL, order_time TEXT NOT NULL, sec_id INTEGER NOT NULL, "
    "status INTEGER NOT NULL, status_name TEXT NOT NULL, buy_sell TEXT NOT NULL, "
    "order_type INTEGER NOT NULL, type_name TEXT NOT NULL, price REAL NOT NULL, "
    "qty INTEGER NOT NULL, qty_pieces INTEGER NOT NULL, vol REAL NOT NULL, "
    "acc_id INTEGER NOT NULL, client_name TEXT NOT NULL, ref1 TEXT NOT NULL DEFAULT '', "
    "ref2 TEXT NOT NULL DEFAULT '', partner_code TEXT NOT NULL DEFAULT '', "
    "partner_name TEXT NOT NULL DEFAULT '', repo_second_date TEXT NOT NULL DEFAULT '', "
    "repo_rate TEXT NOT NULL DEFAULT '', repo_term TEXT NOT NULL DEFAULT '', "
    "repo_refund_rate TEXT NOT NULL DEFAULT '', group_id TEXT NOT NULL DEFAULT '')",
    // Conditional orders; life dates as day numbers (days since 30.12.1899 with time).
    "CREATE TABLE cond_order (order_id INTEGER PRIMARY KEY, life_start REAL NOT NULL, "
    "life_stop REAL NOT NULL, order_type INTEGER NOT NULL, type_name TEXT NOT NULL, "
    "status INTEGER NOT NULL, status_name TEXT NOT NULL, if_text TEXT NOT NULL, "
    "action_text TEXT NOT NULL, acc_id INTEGER NOT NULL, if_sec_id INTEGER NOT NULL, "
    "buy_sell TEXT NOT NULL)",

    // Broker interest: tiers, per-client percentages, withholding flag, receiving account.
    "CREATE TABLE interest_tier (id INTEGER PRIMARY KEY, lower_bound REAL NOT NULL, "
    "upper_bound REAL NOT NULL, upper_broker_percent REAL NOT NULL)",
    "CREATE TABLE client_interest (cli_id INTEGER NOT NULL, tier_id INTEGER NOT NULL, "
    "percent REAL NOT NULL, PRIMARY KEY (cli_id, tier_id))",
    "CREATE TABLE client_interest_flag (cli_id INTEGER PRIMARY KEY, auto_calc INTEGER NOT NULL)",

    // Margin lending: per-client mode and levels, per-client marginal securities.
    "CREATE TABLE margin_client (cli_id INTEGER PRIMARY KEY, mode INTEGER NOT NULL, "
    "start_level INTEGER NOT NULL, critical_level INTEGER NOT NULL, "
    "credit_acc_id INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE margin_rule (cli_id INTEGER NOT NULL, sec_id INTEGER NOT NULL, "
    "limit_value REAL NOT NULL, in_level INTEGER NOT NULL, allowed INTEGER NOT NULL, "
    "allowed2 INTEGER NOT NULL, PRIMARY KEY (cli_id, sec_id))",

    // Commissions: tariffs (texts stored verbatim), plans, plan contents, plan clients.
    "CREATE TABLE tariff (id INTEGER PRIMARY KEY, algorithm INTEGER NOT NULL, "
    "tariff_type INTEGER NOT NULL, dest_acc_id INTEGER NOT NULL, tariff_sum REAL NOT NULL, "
    "name TEXT NOT NULL, area_work TEXT NOT NULL, area_vol TEXT NOT NULL, "
    "area_work_exclude TEXT NOT NULL, area_vol_exclude TEXT NOT NULL, scale TEXT NOT NULL, "
    "group_sub_client INTEGER NOT NULL DEFAULT 1)",
    "CREATE TABLE tariff_plan (id INTEGER PRIMARY KEY, name TEXT NOT NULL)",
    "CREATE TABLE plan_tariff (plan_id INTEGER NOT NULL, tariff_id INTEGER NOT NULL, "
    "PRIMARY KEY (plan_id, tariff_id))",
    "CREATE TABLE plan_client (client_id INTEGER PRIMARY KEY, plan_id INTEGER NOT NULL, "
    "self_acc_id INTEGER NOT NULL DEFAULT 0, cli_acc_id INTEGER NOT NULL DEFAULT 0)",
    // Which clients and accounts take part in commissions (754, 755) and which own
    // accounts receive them (756).
    "CREATE TABLE commission_client (cli_id INTEGER PRIMARY KEY)",
    "CREATE TABLE commission_account (acc_id INTEGER PRIMARY KEY, own INTEGER NOT NULL)",
};

// A counter of changes to the names a list shows beside its ids (securities, clients,
// accounts), kept by triggers: the engine's name cache stays valid while orders and
// deals change under it, and is read again only when a name changes.
const char* const kVersion2[] = {
    "CREATE TABLE name_version (id INTEGER PRIMARY KEY CHECK (id = 1), version INTEGER NOT NULL)",
    "INSERT INTO name_version (id, version) VALUES (1, 0)",
    "CREATE TRIGGER security_added AFTER INSERT ON security BEGIN "
    "UPDATE name_version SET version = version + 1; END",
    "CREATE TRIGGER security_changed AFTER UPDATE OF id, short_name, nominal, lot_size ON security "
    "BEGIN UPDATE name_version SET version = version + 1; END",
    "CREATE TRIGGER security_gone AFTER DELETE ON security BEGIN "
    "UPDATE name_version SET version = version + 1; END",
    "CREATE TRIGGER client_added AFTER INSERT ON client BEGIN "
    "UPDATE name_version SET version = version + 1; END",
    "CREATE TRIGGER client_changed AFTER UPDATE OF id, name ON client BEGIN "
    "UPDATE name_version SET version = version + 1; END",
    "CREATE TRIGGER client_gone AFTER DELETE ON client BEGIN "
    "UPDATE name_version SET version = version + 1; END",
    "CREATE TRIGGER account_added AFTER INSERT ON account BEGIN "
    "UPDATE name_version SET version = version + 1; END",
    "CREATE TRIGGER account_changed AFTER UPDATE OF id, name ON account BEGIN "
    "UPDATE name_version SET version = version + 1; END",
    "CREATE TRIGGER account_gone AFTER DELETE ON account BEGIN "
    "UPDATE name_version SET version = version + 1; END",
};

} // namespace

namespace Schema {

int LatestVersion() {
    return 2;
}

QStringList Upgrade(int toVersion) {
    QStringList out;
    if (toVersion == 1)
        for (const char* s : kVersion1)
            out << QString::fromLatin1(s);
    if (toVersion == 2)
        for (const char* s : kVersion2)
            out << QString::fromLatin1(s);
    return out;
}

} // namespace Schema
