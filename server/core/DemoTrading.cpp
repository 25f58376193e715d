// The demo trading day: orders and deals, portfolios, transactions, futures,
// RPS/REPO and conditional orders, broker interest, margin and commissions.
#include "server/core/DemoBuild.h"

#include <QSet>

#include <cmath>

using namespace demo;

bool DemoGenerator::Build::WriteOrdersAndDeals() {
    // Orders and deals of the trading day and of a few earlier days.
    for (const SecurityRow& s : secs)
        if (s.traded)
            tradedSecs.push_back(s.id - 1);
    Inserter ord(db, QStringLiteral("orders"),
                 {"order_num", "order_date", "order_time", "sec_id", "buy_sell", "order_type",
                  "status", "price", "qty_first", "qty_left", "nkd", "yield", "acc_id", "cli_id",
                  "order_group", "changed_at"});
    Inserter dl(db, QStringLiteral("deal"),
                {"deal_num", "deal_date", "deal_time", "order_num", "sec_id", "buy_sell", "price",
                 "qty", "vol", "nkd", "profit", "yield", "fee_exch", "fee_depo", "fee_brok",
                 "brok_my", "brok_ret", "acc_id", "cli_id"});
    qint64 orderNum = 1000001;
    qint64 dealNum = 5000001;
    int groupNum = 7001;
    clientAccounts = int(accounts.size()) - 3;
    for (int day = scale_.archiveDays; day >= 0; --day) {
        const QDate d = date_.addDays(-day);
        const bool today = day == 0;
        const int count = today ? scale_.orders : std::max(20, scale_.orders / 4);
        int groupLeft = 0;
        QString group;
        for (int i = 0; i < count && !tradedSecs.empty() && clientAccounts > 0; ++i) {
            const SecurityRow& s =
                secs[size_t(tradedSecs[size_t(rnd.Below(int(tradedSecs.size())))])];
            const AccountRow& acc = accounts[size_t(3 + rnd.Below(clientAccounts))];
            const int seconds =
                10 * 3600 + int(qint64(i) * (8 * 3600 + 45 * 60) / std::max(1, count));
            const bool buy = rnd.Chance(0.55);
            const int type = rnd.Chance(0.85) ? 1 : (rnd.Chance(0.5) ? 2 : 3);
            const double price = std::round(s.price * rnd.Uniform(0.98, 1.02) * 10000) / 10000;
            const int qty = rnd.Between(1, 50) * (rnd.Chance(0.1) ? 20 : 1);
            int status;
            int left;
            const int roll = rnd.Below(100);
            if (roll < (today ? 40 : 0)) {
                status = 10;
                left = rnd.Chance(0.3) ? rnd.Between(1, qty) : qty;
            } else if (roll < 75) {
                status = 11;
                left = 0;
            } else {
                const int cancelled[] = {20, 20, 20, 21, 23, 25, 22, 24};
                status = today ? cancelled[rnd.Below(6)] : cancelled[rnd.Below(8)];
                left = rnd.Chance(0.2) ? rnd.Between(1, qty) : qty;
            }
            if (groupLeft == 0 && rnd.Chance(0.06)) {
                groupLeft = rnd.Between(2, 4);
                group = QString::number(groupNum++);
            }
            QString orderGroup;
            if (groupLeft > 0) {
                orderGroup = group;
                --groupLeft;
            }
            const bool bond = s.subType == 2;
            const double nkd = bond ? std::round(rnd.Uniform(0, 45) * qty * 100) / 100 : 0;
            const double yield = bond ? std::round(rnd.Uniform(6, 16) * 100) / 100 : 0;
            const QString time = TimeText(seconds);
            ord.Row({orderNum, Iso(d), time, s.id, buy ? "B" : "S", type, status, price, qty, left,
                     nkd, yield, acc.id, acc.clientId, orderGroup, time});
            // Deals for the filled part.
            int filled = qty - left;
            int dealSeconds = seconds;
            while (filled > 0) {
                const int part = filled > 1 && rnd.Chance(scale_.dealSplit)
                                     ? rnd.Between(1, filled - 1)
                                     : filled;
                filled -= part;
                dealSeconds += rnd.Between(1, 90);
                const double unit = UnitValue(price, s.lotSize, s.nominal);
                const double vol = std::round(unit * part * 100) / 100;
                const double feeExch = std::round(vol * 0.0001 * 100) / 100;
                const double feeDepo = std::round(vol * 0.00005 * 100) / 100;
                const double feeBrok = std::round(vol * 0.0005 * 100) / 100;
                const double profit =
                    buy ? 0 : std::round(vol * rnd.Uniform(-0.05, 0.08) * 100) / 100;
                const double dealNkd = bond ? std::round(nkd * part / qty * 100) / 100 : 0;
                dl.Row({dealNum++, Iso(d), TimeText(std::min(dealSeconds, 86399)), orderNum, s.id,
                        buy ? "B" : "S", price, part, vol, dealNkd, profit, yield, feeExch, feeDepo,
                        feeBrok, std::round(feeBrok * 0.6 * 100) / 100,
                        std::round(feeBrok * 0.1 * 100) / 100, acc.id, acc.clientId});
                if (today) {
                    const double pieces = double(part) * std::max(1, s.lotSize);
                    positionDelta[{acc.id, s.id}] += buy ? pieces : -pieces;
                    positionDelta[{acc.id, -s.tsId}] +=
                        (buy ? -vol - dealNkd : vol + dealNkd) - feeExch - feeDepo - feeBrok;
                }
            }
            ++orderNum;
        }
    }
    store_.SetState(QStringLiteral("next.order"), QString::number(orderNum));
    store_.SetState(QStringLiteral("next.deal"), QString::number(dealNum));
    store_.SetState(QStringLiteral("next.group"), QString::number(groupNum));
    if (!check(ord, "orders") || !check(dl, "deal"))
        return false;
    return true;
}

bool DemoGenerator::Build::WritePortfolios() {
    // Portfolios: money of each account's market, a few holdings, today's deals applied.
    {
        QHash<QPair<int, int>, double> input;
        for (const AccountRow& acc : accounts) {
            input[{acc.id, -acc.tsId}] = std::round(rnd.Uniform(10000, 5000000) * 100) / 100;
            const int holdings = rnd.Below(4);
            for (int h = 0; h < holdings && !tradedSecs.empty(); ++h) {
                const SecurityRow& s =
                    secs[size_t(tradedSecs[size_t(rnd.Below(int(tradedSecs.size())))])];
                const double pieces = double(rnd.Between(1, 200)) * std::max(1, s.lotSize);
                input[{acc.id, s.id}] = rnd.Chance(0.08) ? -pieces : pieces;
            }
        }
        for (auto it = positionDelta.cbegin(); it != positionDelta.cend(); ++it)
            if (!input.contains(it.key()))
                input.insert(it.key(), 0);
        Inserter p(db, QStringLiteral("portfolio"),
                   {"acc_id", "sec_id", "input_saldo", "curr_saldo", "plan_saldo", "avprice",
                    "var_margin", "buy_deposit", "sell_deposit"});
        Inserter snap(db, QStringLiteral("portfolio_archive"),
                      {"snap_date", "acc_id", "sec_id", "input_saldo", "curr_saldo", "plan_saldo",
                       "avprice", "var_margin", "buy_deposit", "sell_deposit"});
        Inserter tp(db, QStringLiteral("tplus"),
                    {"settle_date", "acc_id", "sec_id", "limit_saldo", "curr_saldo", "delivery",
                     "plan_saldo"});
        QList<QPair<int, int>> keys = input.keys();
        std::sort(keys.begin(), keys.end());
        for (const auto& key : keys) {
            const double in = input.value(key);
            const double curr = std::round((in + positionDelta.value(key)) * 100) / 100;
            const int sec = key.second;
            double avprice = 0;
            if (sec > 0)
                avprice =
                    std::round(secs[size_t(sec - 1)].price * rnd.Uniform(0.9, 1.1) * 10000) / 10000;
            p.Row({key.first, sec, in, curr, curr, avprice, 0, 0, 0});
            for (int day = 1; day <= scale_.archiveDays; ++day)
                snap.Row({Iso(date_.addDays(-day)), key.first, sec, in, in, in, avprice, 0, 0, 0});
            // T+ ledger: today's deals settle two days on (stock market and its money),
            // one day on elsewhere; until then the planned balance runs ahead.
            const double delivery = curr - in;
            const int lag = (sec > 0 ? secs[size_t(sec - 1)].tsId : -sec) == 1 ? 2 : 1;
            tp.Row({Iso(date_), key.first, sec, in, in, 0, curr});
            if (delivery != 0)
                tp.Row({Iso(date_.addDays(lag)), key.first, sec, in, curr, delivery, curr});
        }
        if (!check(p, "portfolio") || !check(snap, "portfolio_archive") || !check(tp, "tplus"))
            return false;
    }
    return true;
}

bool DemoGenerator::Build::WriteTransactions() {
    // Transactions, pending transactions.
    {
        Inserter t(db, QStringLiteral("txn"),
                   {"id_pr", "exec_date", "exec_time", "create_date", "acc_debet", "acc_kredit",
                    "sec_id", "vol", "reason", "price", "special_codes", "symbol_text"});
        const char* const reasons[] = {"Перевод между счетами клиента",
                                       "Зачисление денежных средств", "Вывод денежных средств",
                                       "Перевод ценных бумаг", "Списание комиссии"};
        const int n = std::min(200, std::max(30, scale_.orders / 10));
        qint64 id = 300001;
        for (int i = 0; i < n && clientAccounts > 1; ++i) {
            const int day = rnd.Below(scale_.archiveDays + 1);
            const AccountRow& from = accounts[size_t(3 + rnd.Below(clientAccounts))];
            const AccountRow& to = accounts[size_t(3 + rnd.Below(clientAccounts))];
            const bool money = rnd.Chance(0.7);
            const int sec =
                money || tradedSecs.empty()
                    ? -from.tsId
                    : secs[size_t(tradedSecs[size_t(rnd.Below(int(tradedSecs.size())))])].id;
            const int kind = rnd.Below(5);
            const int debet = kind == 1 ? 0 : from.id;
            const int kredit = kind == 2 ? 0 : to.id;
            const QDate exec = date_.addDays(-day);
            const QDate created = rnd.Chance(0.15) ? exec.addDays(-1) : exec;
            t.Row({id++, Iso(exec), TimeText(10 * 3600 + rnd.Below(8 * 3600)), Iso(created), debet,
                   kredit, sec,
                   money ? std::round(rnd.Uniform(1000, 500000) * 100) / 100
                         : double(rnd.Between(1, 100)),
                   Utf(reasons[kind]), money ? 0.0 : secs[size_t(sec - 1)].price,
                   rnd.Chance(0.2) ? QStringLiteral("CODE-%1").arg(rnd.Between(1, 99)) : QString(),
                   money ? Utf("Деньги") : Utf("Бумаги")});
        }
        id = WriteTodaysTransactions(t, id);
        store_.SetState(QStringLiteral("next.txn"), QString::number(id));
        Inserter pt(db, QStringLiteral("pending_txn"),
                    {"id", "create_date", "status", "source_acc", "dest_acc", "sec_id", "amount",
                     "reason", "avg_price"});
        qint64 pid = 800001;
        for (int i = 0; i < 12 && clientAccounts > 1; ++i) {
            const AccountRow& from = accounts[size_t(3 + rnd.Below(clientAccounts))];
            const AccountRow& to = accounts[size_t(3 + rnd.Below(clientAccounts))];
            pt.Row({pid++, Iso(date_.addDays(-rnd.Below(3))), rnd.Chance(0.8) ? 10 : 20, from.id,
                    to.id, -from.tsId, std::round(rnd.Uniform(1000, 100000) * 100) / 100,
                    Utf("Отложенный перевод по поручению клиента"), 0});
        }
        store_.SetState(QStringLiteral("next.pending"), QString::number(pid));
        if (!check(t, "txn") || !check(pt, "pending_txn"))
            return false;
    }
    return true;
}

qint64 DemoGenerator::Build::WriteTodaysTransactions(demo::Inserter& t, qint64 id) {
    // Today's transfers for the transactions window (some dozens, 20,000 at the large
    // scale) and one negative correction. A generator of their own keeps the data of
    // the later steps as it was.
    DemoRandom own(seed_ * 104729 + 3);
    const int n = scale_.todaysTransactions;
    const char* const reasons[] = {"Перевод между счетами клиента", "Зачисление денежных средств",
                                   "Вывод денежных средств", "Перевод ценных бумаг"};
    for (int i = 0; i < n && clientAccounts > 1; ++i) {
        const AccountRow& from = accounts[size_t(3 + own.Below(clientAccounts))];
        const AccountRow& to = accounts[size_t(3 + own.Below(clientAccounts))];
        const int kind = own.Below(4);
        const bool money = kind != 3 || tradedSecs.empty();
        const int sec =
            money ? -from.tsId
                  : secs[size_t(tradedSecs[size_t(own.Below(int(tradedSecs.size())))])].id;
        const bool correction = i == 0;
        const double vol = correction ? -std::round(own.Uniform(100, 5000) * 100) / 100
                           : money    ? std::round(own.Uniform(1000, 500000) * 100) / 100
                                      : double(own.Between(1, 100));
        t.Row({id++, Iso(date_), TimeText(10 * 3600 + own.Below(8 * 3600)), Iso(date_),
               kind == 1 ? 0 : from.id, kind == 2 ? 0 : to.id, sec, vol,
               correction ? Utf("Корректировка ошибочной проводки") : Utf(reasons[kind]),
               money ? 0.0 : secs[size_t(sec - 1)].price, QString(),
               money ? Utf("Деньги") : Utf("Бумаги")});
    }
    return id;
}

bool DemoGenerator::Build::WriteFutures() {
    // Futures positions and futures money of the derivatives accounts.
    {
        std::vector<int> futures;
        for (const SecurityRow& s : secs)
            if (s.subType == 5)
                futures.push_back(s.id);
        Inserter fp(db, QStringLiteral("fut_position"),
                    {"acc_id", "sec_id", "input_count", "curr_count", "curr_deposit",
                     "plan_deposit", "avg_price", "plan_var_margin"});
        Inserter fm(db, QStringLiteral("fut_money"),
                    {"acc_id", "sec_id", "money_free", "sum_deposit", "plan_var_margin",
                     "plan_commission", "available"});
        int made = 0;
        for (const AccountRow& acc : accounts) {
            if (acc.tsId != 2 || futures.empty() || made > 2000)
                continue;
            ++made;
            double depositSum = 0;
            double vmSum = 0;
            QSet<int> used;
            for (int k = rnd.Between(1, 3); k > 0; --k) {
                const int sec = futures[size_t(rnd.Below(int(futures.size())))];
                if (used.contains(sec))
                    continue;
                used.insert(sec);
                const int in = rnd.Between(-20, 40);
                const int cur = in + rnd.Between(-5, 5);
                const double dep = std::abs(cur) * secs[size_t(sec - 1)].price * 0.12;
                const double vm = std::round(rnd.Uniform(-5000, 5000) * 100) / 100;
                depositSum += dep;
                vmSum += vm;
                fp.Row({acc.id, sec, in, cur, std::round(dep * 100) / 100,
                        std::round(dep * 100) / 100,
                        std::round(secs[size_t(sec - 1)].price * rnd.Uniform(0.97, 1.03)), vm});
            }
            const double drawn = std::round(rnd.Uniform(-20000, 900000) * 100) / 100;
            // Every fifth futures account is short of free money (a margin call).
            const double freeMoney =
                made % 5 == 0 ? -std::round(std::abs(drawn) / 40 * 100) / 100 : drawn;
            fm.Row({acc.id, -2, freeMoney, std::round(depositSum * 100) / 100, vmSum,
                    std::round(rnd.Uniform(0, 500) * 100) / 100,
                    std::max(0.0, std::round((freeMoney + vmSum) * 100) / 100)});
        }
        if (!check(fp, "fut_position") || !check(fm, "fut_money"))
            return false;
    }
    return true;
}

bool DemoGenerator::Build::WriteRpsRepoAndConditionalOrders() {
    // RPS and REPO orders, conditional orders.
    {
        Inserter r(db, QStringLiteral("rps_order"),
                   {"order_id",     "exchange_id",  "order_date",
                    "order_time",   "sec_id",       "status",
                    "status_name",  "buy_sell",     "order_type",
                    "type_name",    "price",        "qty",
                    "qty_pieces",   "vol",          "acc_id",
                    "client_name",  "ref1",         "ref2",
                    "partner_code", "partner_name", "repo_second_date",
                    "repo_rate",    "repo_term",    "repo_refund_rate",
                    "group_id"});
        Inserter c(db, QStringLiteral("cond_order"),
                   {"order_id", "life_start", "life_stop", "order_type", "type_name", "status",
                    "status_name", "if_text", "action_text", "acc_id", "if_sec_id", "buy_sell"});
        // RPS and REPO orders are numbered apart from exchange orders (the details query
        // 1418 serves both). Every status the window colours comes once, and one it does not.
        struct RpsStatus {
            int code;
            const char* name;
        };
        static const RpsStatus kRpsStatuses[] = {
            {10, "Активна"},
            {27, "Ожидает подтверждения"},
            {28, "Ожидает партнера"},
            {11, "Исполнена"},
            {31, "Подтверждена"},
            {20, "Снята"},
            {21, "Отклонена биржей"},
            {22, "Снята по окончании сессии"},
            {23, "Отклонена брокером"},
            {24, "Истек срок"},
            {25, "Снята брокером"},
            {26, "Отклонена партнером"},
            {33, "Отозвана"},
            {34, "Аннулирована"},
            {32, "Отвергнута"},
            {12, "Частично исполнена"},
            {10, "Активна"},
            {10, "Активна"},
            {27, "Ожидает подтверждения"},
            {11, "Исполнена"},
        };
        qint64 rid = 70001;
        qint64 cid = 5001;
        const double today = QDate(1899, 12, 30).daysTo(date_);
        for (int i = 0; i < 20 && clientAccounts > 0 && !tradedSecs.empty(); ++i) {
            const AccountRow& acc = accounts[size_t(3 + rnd.Below(clientAccounts))];
            const SecurityRow& s =
                secs[size_t(tradedSecs[size_t(rnd.Below(int(tradedSecs.size())))])];
            const bool repo = i % 5 < 2;
            const int qty = rnd.Between(1, 100);
            const RpsStatus& st = kRpsStatuses[i];
            const int term = rnd.Between(1, 30);
            r.Row({rid++,
                   QString::number(700000 + i),
                   Iso(date_),
                   TimeText(10 * 3600 + rnd.Below(8 * 3600)),
                   s.id,
                   st.code,
                   Utf(st.name),
                   rnd.Chance(0.5) ? "B" : "S",
                   repo ? 2 : 1,
                   repo ? Utf("РЕПО") : Utf("РПС"),
                   s.price,
                   qty,
                   qty * std::max(1, s.lotSize),
                   std::round(s.price * qty * std::max(1, s.lotSize) * 100) / 100,
                   acc.id,
                   clientShort.value(acc.clientId),
                   QStringLiteral("REF%1").arg(i),
                   i % 3 == 0 ? Utf("по договору ") + QString::number(100 + i) : QString(),
                   QStringLiteral("P%1").arg(rnd.Between(100, 999)),
                   Utf("ООО «Контрагент ") + QString::number(i) + Utf("»"),
                   repo ? date_.addDays(term).toString(QStringLiteral("dd.MM.yyyy")) : QString(),
                   repo ? QString::number(rnd.Uniform(5, 15), 'f', 2) : QString(),
                   repo ? QString::number(term) : QString(),
                   repo ? QString::number(rnd.Uniform(0, 5), 'f', 2) : QString(),
                   QString()});
            // Conditional orders: periods with a time of day, a few open at one end
            // (day number 0, which the server describes in words).
            const double start = i % 6 == 0 ? 0.0 : today + rnd.Uniform(0.4, 0.5) - (i % 3);
            const double stop = i % 7 == 3 ? 0.0 : today + rnd.Between(1, 30) + 0.75;
            const bool buy = i % 2 == 0;
            const int condStatus = QList<int>{10, 10, 11, 20, 32}[i % 5];
            const QString condStatusName =
                QList<QString>{Utf("Ожидает условия"), Utf("Ожидает условия"), Utf("Исполнена"),
                               Utf("Снята"), Utf("Отвергнута")}[i % 5];
            c.Row({cid++, start, stop, buy ? 2 : 1, buy ? Utf("Тейк-профит") : Utf("Стоп-лосс"),
                   condStatus, condStatusName,
                   Utf("Цена ") + s.name + (buy ? Utf(" >= ") : Utf(" <= ")) +
                       QString::number(s.price * (buy ? 1.05 : 0.95), 'f', 2),
                   (buy ? Utf("Купить ") : Utf("Продать ")) + QString::number(qty) +
                       Utf(" лот по рынку"),
                   acc.id, s.id, buy ? "B" : "S"});
        }
        if (!check(r, "rps_order") || !check(c, "cond_order"))
            return false;
    }
    return true;
}

bool DemoGenerator::Build::WriteInterestMarginAndCommissions() {
    // Broker interest and commissions (margin lending: DemoMargin.cpp).
    {
        Inserter tier(db, QStringLiteral("interest_tier"),
                      {"id", "lower_bound", "upper_bound", "upper_broker_percent"});
        tier.Row({1, 0, 1000000, 30});
        tier.Row({2, 1000000, 10000000, 25});
        tier.Row({3, 10000000, 1000000000, 20});
        Inserter ci(db, QStringLiteral("client_interest"), {"cli_id", "tier_id", "percent"});
        Inserter cf(db, QStringLiteral("client_interest_flag"), {"cli_id", "auto_calc"});
        Inserter cc(db, QStringLiteral("commission_client"), {"cli_id"});
        int n = 0;
        for (int cli : topClients) {
            if (++n > 500)
                break;
            ci.Row({cli, 1, 20});
            ci.Row({cli, 2, 15});
            ci.Row({cli, 3, 10});
            cf.Row({cli, rnd.Chance(0.5) ? 1 : 0});
            cc.Row({cli});
        }
        Inserter ca(db, QStringLiteral("commission_account"), {"acc_id", "own"});
        QSet<int> commissionClients(
            topClients.begin(), topClients.begin() + std::min<qsizetype>(500, topClients.size()));
        for (const AccountRow& acc : accounts) {
            if (acc.clientId == kFirmClientId)
                ca.Row({acc.id, 1});
            else if (commissionClients.contains(acc.clientId))
                ca.Row({acc.id, 0});
        }
        Inserter t(db, QStringLiteral("tariff"),
                   {"id", "algorithm", "tariff_type", "dest_acc_id", "tariff_sum", "name",
                    "area_work", "area_vol", "area_work_exclude", "area_vol_exclude", "scale",
                    "group_sub_client"});
        t.Row({1, 1, 1, 2, 0, Utf("Брокерская: фондовый рынок"), QStringLiteral("1;-1;-1;-1;"),
               QStringLiteral("1;-1;-1;-1;"), QString(), QString(),
               QStringLiteral("0;0;0.05;0;1000000;0;0.03;0;"), 1});
        t.Row({2, 2, 3, 2, 0, Utf("Биржевая: срочный рынок"), QStringLiteral("2;-1;-1;-1;"),
               QStringLiteral("2;-1;-1;-1;"), QString(), QString(), QStringLiteral("0;0;2;0;"), 1});
        t.Row({3, 3, 2, 2, 150, Utf("Депозитарная абонентская"), QStringLiteral("-1;-1;-1;-1;"),
               QString(), QString(), QString(), QString(), 1});
        t.Row({4, 4, 3, 2, 0, Utf("Комиссии биржевых площадок"), QString(), QString(), QString(),
               QString(), QString(), 1});
        Inserter tp(db, QStringLiteral("tariff_plan"), {"id", "name"});
        tp.Row({1, Utf("Стандартный")});
        tp.Row({2, Utf("Активный трейдер")});
        Inserter pl(db, QStringLiteral("plan_tariff"), {"plan_id", "tariff_id"});
        for (const auto& [plan, tariff] :
             QList<QPair<int, int>>{{1, 1}, {1, 3}, {1, 4}, {2, 1}, {2, 2}, {2, 4}})
            pl.Row({plan, tariff});
        Inserter pc(db, QStringLiteral("plan_client"),
                    {"client_id", "plan_id", "self_acc_id", "cli_acc_id"});
        for (int i = 0; i < topClients.size() && i < 40; ++i)
            pc.Row({topClients[i], 1 + i % 2, 0, 0});
        store_.SetState(QStringLiteral("next.tariff"), QStringLiteral("5"));
        store_.SetState(QStringLiteral("next.plan"), QStringLiteral("3"));
        if (!check(tier, "interest_tier") || !check(ci, "client_interest") ||
            !check(cf, "client_interest_flag") || !check(cc, "commission_client") ||
            !check(ca, "commission_account") || !check(t, "tariff") || !check(tp, "tariff_plan") ||
            !check(pl, "plan_tariff") || !check(pc, "plan_client"))
            return false;
    }
    return true;
}
