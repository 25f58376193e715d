// Demo data of margin lending: the clients under lending with their levels, credit
// account and marginal securities, and positions that put each client at a chosen
// margin percentage (at the demo scale one below the critical level, two below the
// start level, the rest above it).
#include "server/core/DemoBuild.h"
#include "server/core/MarginFigures.h"

#include <cmath>

using namespace demo;

bool DemoGenerator::Build::WriteMargin() {
    constexpr int kStart = 50;
    constexpr int kCritical = 25;
    const bool large = scale_.name == QLatin1String("large");
    const int clients = std::min<int>(large ? 5000 : 10, int(topClients.size()));
    const int rulesEach = large ? 20 : 3;
    if (tradedSecs.empty() || clients == 0)
        return true;
    int creditAccount = 0;
    QHash<int, const AccountRow*> firstAccount;
    for (const AccountRow& acc : accounts) {
        if (acc.clientId == kFirmClientId && creditAccount == 0)
            creditAccount = acc.id;
        if (!firstAccount.contains(acc.clientId))
            firstAccount.insert(acc.clientId, &acc);
    }
    // The percentage each client is put at.
    const auto target = [&](int i) {
        if (i == 0)
            return 15;
        if (i == 1 || i == 2)
            return 35 + 5 * i;
        return large ? rnd.Between(20, 85) : 55 + (i * 7) % 30;
    };
    Inserter mc(db, QStringLiteral("margin_client"),
                {"cli_id", "mode", "start_level", "critical_level", "credit_acc_id"});
    Inserter mr(db, QStringLiteral("margin_rule"),
                {"cli_id", "sec_id", "limit_value", "in_level", "allowed", "allowed2"});
    QSqlQuery add(db);
    add.prepare(
        QStringLiteral("INSERT INTO portfolio (acc_id, sec_id, curr_saldo, plan_saldo, avprice) "
                       "VALUES (?, ?, ?, ?, ?) ON CONFLICT (acc_id, sec_id) DO UPDATE SET "
                       "curr_saldo = curr_saldo + excluded.curr_saldo, "
                       "plan_saldo = plan_saldo + excluded.plan_saldo"));
    const auto addPosition = [&](int acc, int sec, double qty, double avprice) {
        for (const QVariant& v : QVariantList{acc, sec, qty, qty, avprice})
            add.addBindValue(v);
        if (!add.exec()) {
            failure = QStringLiteral("margin positions: %1").arg(add.lastError().text());
            return false;
        }
        return true;
    };
    QList<QPair<int, int>> placed; // client, target percentage
    QHash<int, int> firstRule;     // client -> its first marginal security
    for (int i = 0; i < clients; ++i) {
        const int cli = topClients[i];
        const AccountRow* acc = firstAccount.value(cli, nullptr);
        if (!acc)
            continue;
        mc.Row({cli, 1, kStart, kCritical, creditAccount});
        QList<int> chosen;
        for (int k = 0; k < rulesEach; ++k) {
            const SecurityRow& s =
                secs[size_t(tradedSecs[size_t((i * 7 + k * 13) % tradedSecs.size())])];
            if (chosen.contains(s.id))
                continue;
            chosen << s.id;
            mr.Row({cli, s.id, k == 0 ? 1000 : 0, 1, 1, 1});
        }
        placed << qMakePair(cli, target(i));
        firstRule.insert(cli, chosen.first());
    }
    if (!check(mc, "margin_client") || !check(mr, "margin_rule"))
        return false;
    // Each client holds at least a million of its first marginal security, and ten
    // times its shorts, so its money is a debt. The money then brings it to its
    // percentage: with credit K = -M + Sh and assets A = L, the percentage p needs
    // M = (p + 0.5) / 100 * L - L + Sh.
    const QHash<qint64, MarginPositionSums> sums = SumMarginPositions(db);
    for (const auto& [cli, percent] : placed) {
        const MarginPositionSums s = sums.value(cli);
        const AccountRow* acc = firstAccount.value(cli);
        const SecurityRow& first = secs[size_t(firstRule.value(cli) - 1)];
        const double unit = first.price * (first.nominal > 0 ? first.nominal / 100.0 : 1.0);
        double longs = s.longs;
        const double wanted = std::max(1000000.0, 10 * s.shorts);
        if (unit > 0 && longs < wanted) {
            const double qty = std::ceil((wanted - longs) / unit);
            if (!addPosition(acc->id, first.id, qty, first.price))
                return false;
            longs += qty * unit;
        }
        const double money = (percent + 0.5) / 100.0 * longs - longs + s.shorts;
        if (!addPosition(acc->id, -acc->tsId, money - s.money, 0))
            return false;
    }
    return true;
}
