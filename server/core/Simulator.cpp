#include "server/core/Simulator.h"

#include "server/core/Engine.h"
#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "session/wire/Vocabulary.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTime>

#include <cmath>

Simulator::Simulator(Engine& engine, quint64 seed) : engine_(engine), rnd_(seed * 31 + 5) {}

void Simulator::Load() {
    loaded_ = true;
    QSqlQuery q(engine_.Db().Db());
    q.setForwardOnly(true);
    q.exec(QStringLiteral("SELECT id, ts_id, lot_size, nominal, last_price, short_name FROM "
                          "security WHERE not_traded = 0 AND stock_sub_type <> 6 ORDER BY id"));
    while (q.next()) {
        securityIndex_.insert(q.value(0).toLongLong(), securities_.size());
        securities_.push_back({q.value(0).toLongLong(), q.value(1).toInt(),
                               std::max(1, q.value(2).toInt()), q.value(3).toInt(),
                               std::max(0.01, q.value(4).toDouble()), q.value(5).toString()});
    }
    q.exec(QStringLiteral("SELECT a.id, a.client_id FROM account a WHERE a.client_id <> "
                          "(SELECT CAST(value AS INTEGER) FROM server_state WHERE key = "
                          "'client_key') ORDER BY a.id"));
    while (q.next())
        accounts_.push_back({q.value(0).toLongLong(), q.value(1).toLongLong()});
    q.prepare(QStringLiteral(
        "SELECT order_num FROM orders WHERE order_date = ? AND status < 11 ORDER BY order_num"));
    q.addBindValue(engine_.TradingDate().toString(Qt::ISODate));
    q.exec();
    while (q.next())
        active_.push_back(q.value(0).toLongLong());
    day_ = engine_.TradingDate().toString(Qt::ISODate);

    const QSqlDatabase db = engine_.Db().Db();
    insertOrder_ = QSqlQuery(db);
    insertOrder_.prepare(QStringLiteral(
        "INSERT INTO orders (order_num, order_date, order_time, sec_id, buy_sell, order_type, "
        "status, price, qty_first, qty_left, nkd, yield, acc_id, cli_id, order_group, changed_at) "
        "VALUES (?, ?, ?, ?, ?, 1, 10, ?, ?, ?, 0, 0, ?, ?, '', ?)"));
    orderStatus_ = QSqlQuery(db);
    orderStatus_.prepare(QStringLiteral("SELECT status FROM orders WHERE order_num = ?"));
    orderForFill_ = QSqlQuery(db);
    orderForFill_.prepare(QStringLiteral(
        "SELECT o.sec_id, o.buy_sell, o.price, o.qty_left, o.acc_id, o.cli_id, s.ts_id, "
        "s.lot_size, s.nominal, s.short_name FROM orders o JOIN security s ON s.id = o.sec_id "
        "WHERE o.order_num = ?"));
    insertDeal_ = QSqlQuery(db);
    insertDeal_.prepare(QStringLiteral(
        "INSERT INTO deal (deal_num, deal_date, deal_time, order_num, sec_id, buy_sell, price, "
        "qty, vol, nkd, profit, yield, fee_exch, fee_depo, fee_brok, brok_my, brok_ret, acc_id, "
        "cli_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?, 0, ?, ?, ?, ?, 0, ?, ?)"));
    fillOrder_ = QSqlQuery(db);
    fillOrder_.prepare(QStringLiteral(
        "UPDATE orders SET qty_left = qty_left - ?, status = CASE WHEN qty_left - ? <= 0 THEN 11 "
        "ELSE status END, changed_at = ? WHERE order_num = ?"));
    movePortfolio_ = QSqlQuery(db);
    movePortfolio_.prepare(
        QStringLiteral("INSERT INTO portfolio (acc_id, sec_id, curr_saldo, plan_saldo, avprice) "
                       "VALUES (?, ?, ?, ?, ?) ON CONFLICT(acc_id, sec_id) DO UPDATE SET "
                       "curr_saldo = curr_saldo + excluded.curr_saldo, "
                       "plan_saldo = plan_saldo + excluded.plan_saldo"));
    cancelOrder_ = QSqlQuery(db);
    cancelOrder_.prepare(QStringLiteral(
        "UPDATE orders SET status = ?, changed_at = ? WHERE order_num = ? AND status < 11 "
        "RETURNING acc_id, sec_id"));
    setLastPrice_ = QSqlQuery(db);
    setLastPrice_.prepare(QStringLiteral("UPDATE security SET last_price = ? WHERE id = ?"));
}

QStringList Simulator::Step(int events) {
    if (!loaded_)
        Load();
    QStringList rows;
    if (securities_.empty() || accounts_.empty() || events <= 0)
        return rows;
    const QString day = engine_.TradingDate().toString(Qt::ISODate);
    if (day != day_) {
        // A new trading day: only its own orders are traded from now on.
        day_ = day;
        active_.clear();
        QSqlQuery q(engine_.Db().Db());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT order_num FROM orders WHERE order_date = ? AND "
                                 "status < 11 ORDER BY order_num"));
        q.addBindValue(day_);
        if (q.exec())
            while (q.next())
                active_.push_back(q.value(0).toLongLong());
    }
    const QString time = QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
    Store& store = engine_.Db();
    const bool ok = store.Transaction([&] {
        nextOrder_ = std::max<qint64>(1, store.State(QStringLiteral("next.order")).toLongLong());
        nextDeal_ = std::max<qint64>(1, store.State(QStringLiteral("next.deal")).toLongLong());
        for (int i = 0; i < events; ++i) {
            const int roll = rnd_.Below(100);
            bool done = false;
            if (roll < 40 || active_.empty())
                done = NewOrder(rows, time);
            else if (roll < 85)
                done = Fill(rows, time);
            else
                done = Cancel(rows, time);
            if (!done && !NewOrder(rows, time))
                return false;
            ++events_;
        }
        store.SetState(QStringLiteral("next.order"), QString::number(nextOrder_));
        store.SetState(QStringLiteral("next.deal"), QString::number(nextDeal_));
        return true;
    });
    if (!ok) {
        ServerLog::Line(QStringLiteral("simulator: step failed, nothing applied"));
        rows.clear();
        active_.clear();
        loaded_ = false;
        securities_.clear();
        accounts_.clear();
    }
    return rows;
}

namespace {
bool Run(QSqlQuery& q, const QVariantList& binds) {
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    if (q.exec())
        return true;
    ServerLog::Line(QStringLiteral("simulator: %1").arg(q.lastError().text()));
    return false;
}
} // namespace

bool Simulator::NewOrder(QStringList& rows, const QString& time) {
    const Security& s = securities_[size_t(rnd_.Below(int(securities_.size())))];
    const Account& a = accounts_[size_t(rnd_.Below(int(accounts_.size())))];
    const qint64 num = nextOrder_++;
    const double price = std::round(s.price * rnd_.Uniform(0.99, 1.01) * 10000) / 10000;
    const int qty = rnd_.Between(1, 30);
    const QString side = rnd_.Chance(0.5) ? QStringLiteral("B") : QStringLiteral("S");
    if (!Run(insertOrder_, {num, day_, time, s.id, side, price, qty, qty, a.id, a.clientId, time}))
        return false;
    active_.push_back(num);
    rows << Engine::OrderChangeRow(vocab::change::kNewOrder, num, s.name, a.id, s.id, time);
    return true;
}

bool Simulator::PickActive(qint64* orderNum) {
    while (!active_.empty()) {
        const size_t i = size_t(rnd_.Below(int(active_.size())));
        const qint64 num = active_[i];
        orderStatus_.bindValue(0, num);
        const bool active = orderStatus_.exec() && orderStatus_.next() &&
                            orderStatus_.value(0).toInt() < vocab::status::kFilled;
        orderStatus_.finish();
        if (active) {
            *orderNum = num;
            return true;
        }
        active_[i] = active_.back(); // withdrawn or filled meanwhile
        active_.pop_back();
    }
    return false;
}

bool Simulator::Fill(QStringList& rows, const QString& time) {
    qint64 num = 0;
    if (!PickActive(&num))
        return false;
    QSqlQuery& q = orderForFill_;
    q.bindValue(0, num);
    if (!q.exec() || !q.next())
        return false;
    const qint64 sec = q.value(0).toLongLong();
    const bool buy = q.value(1).toString() == QLatin1String("B");
    const double price = q.value(2).toDouble();
    const int left = q.value(3).toInt();
    const qint64 acc = q.value(4).toLongLong();
    const qint64 cli = q.value(5).toLongLong();
    const int ts = q.value(6).toInt();
    const int lot = std::max(1, q.value(7).toInt());
    const int nominal = q.value(8).toInt();
    const QString name = q.value(9).toString();
    q.finish();
    if (left <= 0)
        return false;
    const int part = left > 1 && rnd_.Chance(0.5) ? rnd_.Between(1, left - 1) : left;
    // A bond's price is per cent of its nominal, the others' per piece (nominal 100).
    const double unit = price * lot * (nominal > 0 ? nominal / 100.0 : 1.0);
    const double vol = std::round(unit * part * 100) / 100;
    const double exch = std::round(vol * 0.0001 * 100) / 100;
    const double depo = std::round(vol * 0.00005 * 100) / 100;
    const double brok = std::round(vol * 0.0005 * 100) / 100;
    const double profit = buy ? 0 : std::round(vol * rnd_.Uniform(-0.03, 0.05) * 100) / 100;
    const qint64 dealNum = nextDeal_++;
    if (!Run(insertDeal_, {dealNum, day_, time, num, sec, buy ? "B" : "S", price, part, vol, profit,
                           exch, depo, brok, std::round(brok * 0.6 * 100) / 100, acc, cli}))
        return false;
    if (!Run(fillOrder_, {part, part, time, num}))
        return false;
    // Prices walk with the deals, which moves the margin clients across their levels.
    if (!Run(setLastPrice_, {price, sec}))
        return false;
    if (const auto it = securityIndex_.constFind(sec); it != securityIndex_.cend())
        securities_[*it].price = price;
    const double pieces = double(part) * lot;
    if (!Run(movePortfolio_, {acc, sec, buy ? pieces : -pieces, buy ? pieces : -pieces, price}))
        return false;
    const double money = (buy ? -vol : vol) - exch - depo - brok;
    if (!Run(movePortfolio_, {acc, -qint64(ts), money, money, 0.0}))
        return false;
    rows << engine_.DealChangeRow(dealNum);
    rows << Engine::OrderChangeRow(vocab::change::kChangedOrder, num, name, acc, sec, time);
    rows << Engine::PortfolioChangeRow(acc, sec, name, time);
    rows << Engine::PortfolioChangeRow(acc, -qint64(ts), QString(), time);
    return true;
}

bool Simulator::Cancel(QStringList& rows, const QString& time) {
    qint64 num = 0;
    if (!PickActive(&num))
        return false;
    if (!Run(cancelOrder_, {rnd_.Chance(0.7) ? vocab::status::kWithdrawn : 25, time, num}))
        return false;
    if (!cancelOrder_.next())
        return false;
    const qint64 acc = cancelOrder_.value(0).toLongLong();
    const qint64 sec = cancelOrder_.value(1).toLongLong();
    cancelOrder_.finish();
    const auto it = securityIndex_.constFind(sec);
    const QString name = it == securityIndex_.cend() ? QString() : securities_[it.value()].name;
    rows << Engine::OrderChangeRow(vocab::change::kChangedOrder, num, name, acc, sec, time);
    return true;
}
