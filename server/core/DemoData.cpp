#include "server/core/DemoData.h"

#include "server/core/DemoBuild.h"

#include "server/core/ServerLog.h"
#include "server/core/Store.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTime>

#include <cmath>
#include <vector>

using namespace demo;

quint64 DemoRandom::Next() {
    quint64 z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int DemoRandom::Below(int n) {
    return n <= 1 ? 0 : int(Next() % quint64(n));
}

int DemoRandom::Between(int lo, int hi) {
    return hi <= lo ? lo : lo + Below(hi - lo + 1);
}

double DemoRandom::Uniform(double lo, double hi) {
    return lo + (hi - lo) * (double(Next() >> 11) / double(1ull << 53));
}

bool DemoRandom::Chance(double p) {
    return Uniform(0, 1) < p;
}

DemoScale DemoScale::Demo() {
    DemoScale s;
    s.name = QStringLiteral("demo");
    return s;
}

DemoScale DemoScale::Large() {
    DemoScale s;
    s.name = QStringLiteral("large");
    s.securities = 100000;
    s.clients = 20000;
    s.accounts = 50000;
    s.orders = 100000;
    s.archiveDays = 1;
    s.dealSplit = 0.75;
    s.todaysTransactions = 20000;
    return s;
}

bool DemoScale::FromName(const QString& name, DemoScale* out) {
    if (name.compare(QLatin1String("demo"), Qt::CaseInsensitive) == 0) {
        *out = Demo();
        return true;
    }
    if (name.compare(QLatin1String("large"), Qt::CaseInsensitive) == 0) {
        *out = Large();
        return true;
    }
    return false;
}

DemoGenerator::DemoGenerator(Store& store, DemoScale scale, quint64 seed, QDate tradingDate)
    : store_(store), scale_(std::move(scale)), seed_(seed), date_(tradingDate) {}

bool DemoGenerator::Build::WriteDayState() {
    // Server state of the trading day.
    const QString dayKey =
        QStringLiteral("TD%1-%2").arg(date_.toString(QStringLiteral("yyyyMMdd"))).arg(1);
    store_.SetState(QStringLiteral("trading_day_key"), dayKey);
    store_.SetState(QStringLiteral("trading_date"), Iso(date_));
    store_.SetState(QStringLiteral("trading_state"), QStringLiteral("1"));
    store_.SetState(QStringLiteral("session_key"),
                    QStringLiteral("S%1").arg(rnd.Next() % 1000000000ull, 9, 10, QChar('0')));
    store_.SetState(QStringLiteral("client_key"), QString::number(kFirmClientId));
    store_.SetState(QStringLiteral("caption"),
                    Utf("Орвекс-Проф — АО «Брокерский дом Северный» — дилер Смирнова Е.В."));
    store_.SetState(QStringLiteral("user_kind"), QStringLiteral("3"));
    store_.SetState(QStringLiteral("scale"), scale_.name);
    store_.SetState(QStringLiteral("seed"), QString::number(seed_));
    return true;
}

bool DemoGenerator::Build::WriteTradingSystemsAndBoards() {
    // Trading systems and boards.
    {
        Inserter ts(db, QStringLiteral("trading_system"), {"id", "name", "name_template"});
        ts.Row({1, Utf("Фондовый рынок"), QStringLiteral("%CODE% %TEXT%")});
        ts.Row({2, Utf("Срочный рынок"), QStringLiteral("%CODE%")});
        ts.Row({3, Utf("Валютный рынок"), QStringLiteral("%CODE%")});
        ts.Row({4, Utf("Внебиржевой рынок"), QStringLiteral("%TEXT%")});
        if (!check(ts, "trading_system"))
            return false;
        Inserter b(db, QStringLiteral("board"), {"id", "code", "name", "ts_id", "note"});
        for (const BoardDef& d : kBoards)
            b.Row({d.id, Utf(d.code), Utf(d.name), d.tsId, QString()});
        if (!check(b, "board"))
            return false;
    }
    return true;
}

bool DemoGenerator::Build::WriteOrderStatusesAndTypes() {
    // Order statuses and types.
    {
        Inserter st(db, QStringLiteral("order_status"), {"code", "name"});
        const std::pair<int, const char*> statuses[] = {{10, "Активна"},
                                                        {11, "Исполнена"},
                                                        {20, "Снята"},
                                                        {21, "Отклонена"},
                                                        {22, "Снята по окончании торгов"},
                                                        {23, "Отклонена биржей"},
                                                        {24, "Истек срок"},
                                                        {25, "Снята брокером"}};
        for (const auto& [code, name] : statuses)
            st.Row({code, Utf(name)});
        Inserter ty(db, QStringLiteral("order_type"), {"code", "name"});
        ty.Row({1, Utf("Лимитная")});
        ty.Row({2, Utf("Рыночная")});
        ty.Row({3, Utf("Стоп-лимит")});
        if (!check(st, "order_status") || !check(ty, "order_type"))
            return false;
    }
    return true;
}

bool DemoGenerator::Build::WriteSecurities() {
    // Securities.
    secs.reserve(size_t(scale_.securities));
    {
        Inserter s(db, QStringLiteral("security"),
                   {"id", "short_name", "trade_code", "board_code", "lot_size", "nominal",
                    "price_precision", "ts_id", "not_traded", "stock_sub_type", "fut_buy_deposit",
                    "fut_sell_deposit", "government_code", "last_price", "isin"});
        const int n = scale_.securities;
        const int nRegions = int(std::size(kRegions));
        const int nInd = int(std::size(kIndustries));
        for (int i = 0; i < n; ++i) {
            const int id = i + 1;
            const int issuer = i % (nRegions * nInd);
            const int generation = i / (nRegions * nInd);
            const QString issuerName =
                Utf(kRegions[issuer / nInd]) + Utf(kIndustries[issuer % nInd]);
            const QString issuerCode =
                Utf(kRegionCodes[issuer / nInd]) + Utf(kIndustryCodes[issuer % nInd]);
            const QString gen = generation > 0 ? QString::number(generation) : QString();
            const int bucket = rnd.Below(100);
            SecurityRow r{id, 1, 0, 1, 0, 0, 0, true, {}};
            QString code;
            QString gov;
            double buyDep = 0, sellDep = 0;
            int precision = 2;
            if (bucket < 40) { // shares
                r.boardIndex = 0;
                r.subType = rnd.Chance(0.15) ? 1 : 0;
                r.name = issuerName + gen + (r.subType ? Utf(" ап") : Utf(" ао"));
                code = issuerCode + gen + (r.subType ? QStringLiteral("P") : QString());
                r.lotSize = QList<int>{1, 10, 100, 1000}[rnd.Below(4)];
                r.price = std::round(rnd.Uniform(5, 5000) * 100) / 100;
            } else if (bucket < 45) { // fund units
                r.boardIndex = 1;
                r.subType = 3;
                r.name = Utf("ПИФ ") + issuerName + gen;
                code = issuerCode + gen + QStringLiteral("FND");
                r.price = std::round(rnd.Uniform(500, 30000) * 100) / 100;
            } else if (bucket < 70) { // corporate bonds
                r.boardIndex = 2;
                r.subType = 2;
                const int series = rnd.Between(1, 12);
                r.name = issuerName + gen + Utf(" БО-") +
                         QStringLiteral("%1").arg(series, 2, 10, QChar('0'));
                code = QStringLiteral("RU000A%1").arg(100000 + id, 6, 10, QChar('0'));
                r.nominal = 1000;
                r.price = std::round(rnd.Uniform(92, 106) * 100) / 100;
            } else if (bucket < 75) { // government bonds
                r.boardIndex = 3;
                r.subType = 2;
                r.name = Utf("ОФЗ ") + QString::number(26000 + id % 10000);
                code = QStringLiteral("SU%1RMFS").arg(26000 + id % 10000);
                gov = QStringLiteral("%1-%2-RMFS").arg(26000 + id % 10000).arg(id);
                r.nominal = 1000;
                r.price = std::round(rnd.Uniform(85, 102) * 100) / 100;
            } else if (bucket < 90) { // futures
                r.boardIndex = 4;
                r.subType = 5;
                r.tsId = 2;
                const int month = (rnd.Below(4) + 1) * 3;
                code = issuerCode + gen +
                       QStringLiteral("-%1.%2")
                           .arg(month, 2, 10, QChar('0'))
                           .arg(date_.year() % 100 + 1);
                r.name = code;
                r.price = std::round(rnd.Uniform(1000, 150000));
                buyDep = std::round(r.price * rnd.Uniform(0.08, 0.2) * 100) / 100;
                sellDep = std::round(buyDep * rnd.Uniform(0.95, 1.05) * 100) / 100;
                precision = 0;
            } else if (bucket < 95) { // options
                r.boardIndex = 5;
                r.subType = 6;
                r.tsId = 2;
                code = issuerCode + gen +
                       QStringLiteral("%1C%2").arg(rnd.Between(100, 999)).arg(rnd.Between(1, 4));
                r.name = code;
                r.price = std::round(rnd.Uniform(10, 5000));
                buyDep = std::round(r.price * 0.5);
                sellDep = std::round(r.price * 1.5);
                precision = 0;
            } else if (bucket < 98) { // currencies
                r.boardIndex = 6;
                r.tsId = 3;
                const char* const pairs[] = {"USDRUB", "EURRUB", "CNYRUB", "GBPRUB",
                                             "CHFRUB", "JPYRUB", "KZTRUB", "TRYRUB"};
                code = Utf(pairs[rnd.Below(8)]) + QStringLiteral("_TOM") + gen +
                       (i >= 8 ? QString::number(i) : QString());
                r.name = code;
                r.lotSize = 1000;
                r.price = std::round(rnd.Uniform(0.5, 120) * 10000) / 10000;
                precision = 4;
            } else { // over the counter, not traded on the exchange
                r.boardIndex = 7;
                r.tsId = 4;
                r.name = issuerName + gen + Utf(" (внебирж.)");
                code = issuerCode + gen + QStringLiteral("OTC");
                r.traded = false;
                r.price = std::round(rnd.Uniform(10, 1000) * 100) / 100;
            }
            r.tsId = kBoards[r.boardIndex].tsId;
            // Prices of everything but bonds are per piece: a nominal of 100 (per cent)
            // keeps the net price of a deal defined for every security.
            if (r.nominal == 0)
                r.nominal = 100;
            s.Row({id, r.name, code, Utf(kBoards[r.boardIndex].code), r.lotSize, r.nominal,
                   precision, r.tsId, r.traded ? 0 : 1, r.subType, buyDep, sellDep, gov, r.price,
                   QStringLiteral("RU%1").arg(id, 10, 10, QChar('0'))});
            secs.push_back(r);
        }
        if (!check(s, "security"))
            return false;
    }
    return true;
}

bool DemoGenerator::Build::WriteClients() {
    // Clients: the firm itself, management companies with sub-clients, people, companies.
    {
        Inserter c(db, QStringLiteral("client"), {"id", "name", "parent_id"});
        c.Row({kFirmClientId, Utf("АО «Брокерский дом Северный»"), 0});
        clientShort.insert(kFirmClientId, Utf("БД Северный"));
        int parentCompany = 0;
        int subLeft = 0;
        for (int id = 2; id <= scale_.clients + 1; ++id) {
            int parent = 0;
            QString name, shortName;
            if (subLeft > 0) {
                parent = parentCompany;
                --subLeft;
            }
            if (parent == 0 && rnd.Chance(0.08)) {
                const QString word = Utf(kCompanyWords[rnd.Below(int(std::size(kCompanyWords)))]);
                name = Utf("ООО УК «") + word + Utf("»") +
                       (id > 100 ? QStringLiteral(" %1").arg(id) : QString());
                shortName = Utf("УК ") + word;
                parentCompany = id;
                subLeft = rnd.Between(2, 5);
            } else if (parent == 0 && rnd.Chance(0.15)) {
                const QString word = Utf(kCompanyWords[rnd.Below(int(std::size(kCompanyWords)))]);
                name = Utf("ООО «") + word + Utf("»") +
                       (id > 100 ? QStringLiteral(" %1").arg(id) : QString());
                shortName = word;
            } else {
                const bool female = rnd.Chance(0.4);
                QString surname = Utf(kSurnames[rnd.Below(int(std::size(kSurnames)))]);
                const QString first =
                    female ? Utf(kFemaleNames[rnd.Below(int(std::size(kFemaleNames)))])
                           : Utf(kMaleNames[rnd.Below(int(std::size(kMaleNames)))]);
                QString patronymic =
                    Utf(kPatronymicRoots[rnd.Below(int(std::size(kPatronymicRoots)))]);
                if (female) {
                    surname += Utf("а");
                    patronymic += Utf("на");
                } else {
                    patronymic += Utf("ич");
                }
                name = surname + QLatin1Char(' ') + first + QLatin1Char(' ') + patronymic;
                shortName = surname + QLatin1Char(' ') + first.left(1) + QLatin1Char('.') +
                            patronymic.left(1) + QLatin1Char('.');
            }
            c.Row({id, name, parent});
            clientShort.insert(id, shortName);
            if (parent == 0)
                topClients << id;
        }
        if (!check(c, "client"))
            return false;
    }
    return true;
}

bool DemoGenerator::Build::WriteAccounts() {
    // Accounts: three own accounts of the firm, then every client gets at least one.
    {
        Inserter a(db, QStringLiteral("account"), {"id", "name", "client_id", "is_transaction"});
        const char* const firmAccounts[] = {"Собственный счет брокера", "Счет комиссий брокера",
                                            "Счет маржинального кредитования"};
        int id = 1;
        for (const char* n : firmAccounts) {
            a.Row({id, Utf(n), kFirmClientId, 1});
            accounts.push_back({id, kFirmClientId, 1, Utf(n)});
            ++id;
        }
        const char* const kinds[] = {"Фондовый", "Срочный", "Валютный", "ИИС"};
        const int kindTs[] = {1, 2, 3, 1};
        const int clientCount = scale_.clients;
        // Every client has one account; the rest go to clients picked at random.
        std::vector<int> perClient(size_t(clientCount), 1);
        for (int extra = scale_.accounts - 3 - clientCount; extra > 0 && clientCount > 0; --extra)
            ++perClient[size_t(rnd.Below(clientCount))];
        for (int cli = 2; cli <= clientCount + 1; ++cli) {
            const int count = perClient[size_t(cli - 2)];
            for (int k = 0; k < count && id <= scale_.accounts; ++k) {
                const int kind = k == 0 ? 0 : rnd.Below(4);
                const QString name = QStringLiteral("%1 %2-%3")
                                         .arg(clientShort.value(cli), Utf(kinds[kind]))
                                         .arg(id, 5, 10, QChar('0'));
                a.Row({id, name, cli, 1});
                accounts.push_back({id, cli, kindTs[kind], name});
                ++id;
            }
        }
        if (!check(a, "account"))
            return false;
    }
    return true;
}

bool DemoGenerator::Build::WriteUserInformation() {
    // User information: account codes, client codes, phones, notes.
    {
        Inserter t(db, QStringLiteral("ui_type"), {"id", "target_kind", "value_kind", "name"});
        t.Row({1, 1, 1, Utf("Код счета в учетной системе")});
        t.Row({2, 2, 2, Utf("Код клиента")});
        t.Row({3, 2, 0, Utf("Телефон")});
        t.Row({4, 1, 0, Utf("Примечание к счету")});
        Inserter v(db, QStringLiteral("ui_value"), {"id", "owner_id", "type_id", "value"});
        int vid = 1;
        for (const AccountRow& acc : accounts) {
            if (rnd.Chance(0.7))
                v.Row({vid++, acc.id, 1, QStringLiteral("BO-%1").arg(acc.id, 6, 10, QChar('0'))});
            if (rnd.Chance(0.1))
                v.Row({vid++, acc.id, 4, Utf("Договор №") + QString::number(1000 + acc.id)});
        }
        for (int cli = 1; cli <= scale_.clients + 1; ++cli) {
            if (rnd.Chance(0.6))
                v.Row({vid++, cli, 2, QStringLiteral("K%1").arg(cli, 5, 10, QChar('0'))});
            if (rnd.Chance(0.3))
                v.Row({vid++, cli, 3,
                       QStringLiteral("+7 9%1 %2-%3-%4")
                           .arg(rnd.Between(10, 99))
                           .arg(rnd.Between(100, 999))
                           .arg(rnd.Between(10, 99))
                           .arg(rnd.Between(10, 99))});
        }
        Inserter p(db, QStringLiteral("plugin_allow"), {"plugin_id"});
        p.Row({QStringLiteral("OrvexReport.DailyBalance")});
        p.Row({QStringLiteral("OrvexReport.ClientStatement")});
        p.Row(
            {QStringLiteral("OrvexReport.Sample")}); // the sample plug-in built beside the program
        if (!check(t, "ui_type") || !check(v, "ui_value") || !check(p, "plugin_allow"))
            return false;
    }
    return true;
}

bool DemoGenerator::Generate(QString* error) {
    QElapsedTimer timer;
    timer.start();
    Build build(store_, scale_, seed_, date_);

    // A large page cache keeps the indexes in memory while the tables fill.
    store_.Exec(QStringLiteral("PRAGMA cache_size=-262144"));
    const bool ok = store_.Transaction([&] { return build.Run(progress_); });
    store_.Exec(QStringLiteral("PRAGMA cache_size=-32768"));
    if (!ok && error)
        *error = build.Failure().isEmpty() ? QStringLiteral("demo data generation failed")
                                           : build.Failure();
    if (ok)
        ServerLog::Line(QStringLiteral("demo data \"%1\" (seed %2) generated in %3 ms")
                            .arg(scale_.name)
                            .arg(seed_)
                            .arg(timer.elapsed()));
    return ok;
}
