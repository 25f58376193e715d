// Demo data: the commission tariffs, plans and the clients attached to them. The
// first step (WriteInterestMarginAndCommissions) writes four tariffs and two plans;
// this one completes a set covering every algorithm, type, area and scale form.
#include "server/core/DemoBuild.h"

#include <QSet>

#include <map>

using namespace demo;

namespace {

struct TariffDef {
    int algorithm;
    int type;
    double sum;
    const char* name;
    QString work, vol, workExclude, volExclude, scale;
    int group;
};

} // namespace

bool DemoGenerator::Build::WriteCommissionPlans() {
    const bool large = scale_.name == QLatin1String("large");
    QList<int> firmAccounts;
    std::map<int, QList<int>> accountsOf; // in id order, so a seed gives one result
    for (const AccountRow& acc : accounts) {
        if (acc.clientId == kFirmClientId)
            firmAccounts << acc.id;
        else
            accountsOf[acc.clientId] << acc.id;
    }
    if (firmAccounts.isEmpty())
        return true;
    const QSet<int> firstClients(topClients.begin(), topClients.end());
    const QString oneSecurity = secs.empty() ? QStringLiteral("-1") : QString::number(secs[0].id);

    Inserter t(db, QStringLiteral("tariff"),
               {"id", "algorithm", "tariff_type", "dest_acc_id", "tariff_sum", "name", "area_work",
                "area_vol", "area_work_exclude", "area_vol_exclude", "scale", "group_sub_client"});
    const TariffDef defs[] = {
        {1, 2, 0, "Депозитарная: облигации", "1;3;2;-1;", "1;3;-1;-1;", "1;4;2;-1;", QString(),
         "0;1;0;100;500000;0;0.01;0;", 1},
        {2, 1, 0, "Опционы поштучно", "2;6;6;-1;", "2;-1;-1;-1;", QString(), "2;5;-1;-1;",
         "0;0;0.5;0;50;1;0;20;100;0;0.25;0;", 1},
        {3, 1, 75.5, "Брокерская: за изменение позиции", "1;1;0;-1;1;1;1;-1;", QString(),
         QStringLiteral("1;-1;-1;") + oneSecurity + QLatin1Char(';'), QString(), QString(), 2},
        {1, 3, 0, "Биржевая: валютный рынок", "3;7;-1;-1;", "3;-1;-1;-1;", QString(), QString(),
         "0;0;0.003;0;5000000;0;0.002;0;", 1},
        {4, 1, 0, "Комиссии площадок (брокерские)", QString(), QString(), QString(), QString(),
         QString(), 1},
        {2, 2, 0, "Депозитарная: за бумагу", "-1;-1;3;-1;", "-1;-1;3;-1;", "-1;-1;2;-1;", QString(),
         "0;1;0;10;1000;0;0.05;0;", 1},
        {1, 1, 0, "Внебиржевые сделки", "4;8;-1;-1;", "4;-1;-1;-1;", QString(), QString(),
         "0;0;0.1;0;100000;0;0.07;0;1000000;0;0.05;0;5000000;1;0;3000;", 1},
        {3, 3, 25, "Биржевая: за изменение позиции", "2;-1;-1;-1;", QString(), "2;6;-1;-1;",
         QString(), QString(), 2},
    };
    int id = 5;
    for (const TariffDef& d : defs) {
        t.Row({id, d.algorithm, d.type, firmAccounts[id % firmAccounts.size()], d.sum, Utf(d.name),
               d.work, d.vol, d.workExclude, d.volExclude, d.scale, d.group});
        ++id;
    }
    // The large set: tariffs of every algorithm over the trading systems in turn.
    const int tariffCount = large ? 1000 : id - 1;
    for (; id <= tariffCount; ++id) {
        const int algorithm = 1 + id % 4;
        const QString ts = QString::number(1 + id % 4);
        const QString work = algorithm == 4 ? QString() : ts + QStringLiteral(";-1;-1;-1;");
        const QString vol = algorithm <= 2 ? work : QString();
        const QString exclude =
            algorithm == 4 || id % 3 ? QString() : ts + QStringLiteral(";-1;2;-1;");
        const QString scale = algorithm > 2 ? QString()
                                            : QStringLiteral("0;0;0.0%1;0;%2;1;0;%3;")
                                                  .arg(1 + id % 7)
                                                  .arg(10000 * (1 + id % 50))
                                                  .arg(100 + id % 900);
        t.Row({id, algorithm, 1 + id % 3, firmAccounts[id % firmAccounts.size()],
               algorithm == 3 ? 10.0 + id % 90 : 0.0,
               Utf("Тариф %1 (%2)").arg(id).arg(AlgorithmText(algorithm)), work, vol, exclude,
               QString(), scale, 1 + id % 2});
    }

    Inserter tp(db, QStringLiteral("tariff_plan"), {"id", "name"});
    tp.Row({3, Utf("Срочный рынок")});
    tp.Row({4, Utf("Депозитарный")});
    const int planCount = large ? 200 : 4;
    for (int plan = 5; plan <= planCount; ++plan)
        tp.Row({plan, Utf("План %1").arg(plan)});
    Inserter pl(db, QStringLiteral("plan_tariff"), {"plan_id", "tariff_id"});
    for (const auto& [plan, tariff] : QList<QPair<int, int>>{{1, 7},
                                                             {1, 11},
                                                             {2, 6},
                                                             {2, 8},
                                                             {3, 2},
                                                             {3, 6},
                                                             {3, 12},
                                                             {3, 4},
                                                             {4, 3},
                                                             {4, 5},
                                                             {4, 10}})
        pl.Row({plan, tariff});
    for (int plan = 5; plan <= planCount; ++plan)
        for (int k = 0; k < 8; ++k)
            pl.Row({plan, 1 + (plan * 37 + k * 113) % tariffCount});

    // Attachments: the first clients of the step before get accounts of their own
    // (every third keeps the deal's own account); the large set attaches more.
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO plan_client (client_id, plan_id, self_acc_id, cli_acc_id) "
        "VALUES (?, ?, ?, ?)"));
    const int attached = large ? 15000 : 40;
    int n = 0;
    for (int i = 0; i < topClients.size() && n < attached; ++i) {
        const auto found = accountsOf.find(topClients[i]);
        if (found == accountsOf.end())
            continue;
        const QList<int>& own = found->second;
        q.addBindValue(topClients[i]);
        q.addBindValue(1 + n % planCount);
        q.addBindValue(n % 3 == 0 ? 0 : own.front());
        q.addBindValue(own.back());
        if (!q.exec()) {
            failure = QStringLiteral("plan_client: %1").arg(q.lastError().text());
            return false;
        }
        ++n;
    }
    for (auto it = accountsOf.cbegin(); it != accountsOf.cend() && n < attached; ++it) {
        if (firstClients.contains(it->first))
            continue;
        q.addBindValue(it->first);
        q.addBindValue(1 + n % planCount);
        q.addBindValue(n % 3 == 0 ? 0 : it->second.front());
        q.addBindValue(it->second.back());
        if (!q.exec()) {
            failure = QStringLiteral("plan_client: %1").arg(q.lastError().text());
            return false;
        }
        ++n;
    }
    store_.SetState(QStringLiteral("next.tariff"), QString::number(tariffCount + 1));
    store_.SetState(QStringLiteral("next.plan"), QString::number(planCount + 1));
    return check(t, "tariff") && check(tp, "tariff_plan") && check(pl, "plan_tariff");
}

QString DemoGenerator::Build::AlgorithmText(int algorithm) {
    switch (algorithm) {
    case 1:
        return Utf("от оборота");
    case 2:
        return Utf("от числа контрактов");
    case 3:
        return Utf("за изменение позиции");
    default:
        return Utf("площадки");
    }
}
