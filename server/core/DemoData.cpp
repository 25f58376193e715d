#include "server/core/DemoData.h"

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

namespace {

// One prepared INSERT, bound by position and run once per row.
class Inserter {
public:
    Inserter(const QSqlDatabase& db, const QString& table, const QStringList& columns)
        : query_(db), columns_(int(columns.size())) {
        QStringList marks;
        for (int i = 0; i < columns_; ++i)
            marks << QStringLiteral("?");
        ok_ = query_.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
        if (!ok_)
            error_ = query_.lastError().text();
    }
    bool Row(const QVariantList& values) {
        if (!ok_)
            return false;
        for (int i = 0; i < columns_ && i < values.size(); ++i) {
            // A null text would bind as SQL NULL; the columns want an empty text.
            const QVariant& v = values[i];
            if (v.typeId() == QMetaType::QString && v.toString().isNull())
                query_.bindValue(i, QStringLiteral(""));
            else
                query_.bindValue(i, v);
        }
        if (!query_.exec()) {
            ok_ = false;
            error_ = query_.lastError().text();
        }
        return ok_;
    }
    bool Ok() const { return ok_; }
    const QString& Error() const { return error_; }

private:
    QSqlQuery query_;
    int columns_;
    bool ok_ = false;
    QString error_;
};

const char* const kRegions[] = {"Урал",   "Волга",   "Сибирь", "Балтика", "Камчатка", "Енисей",
                                "Алтай",  "Донбасс", "Печора", "Амур",    "Таврия",   "Онега",
                                "Кубань", "Ладога",  "Байкал", "Север"};
const char* const kRegionCodes[] = {"URL", "VLG", "SIB", "BLT", "KAM", "ENS", "ALT", "DON",
                                    "PCH", "AMR", "TVR", "ONG", "KUB", "LDG", "BKL", "SEV"};
const char* const kIndustries[] = {"нефть", "газ",   "энерго", "металл", "телеком", "хим",
                                   "лес",   "транс", "строй",  "банк",   "агро",    "фарм"};
const char* const kIndustryCodes[] = {"N", "G", "E", "M", "T", "H", "L", "R", "S", "B", "A", "F"};

const char* const kSurnames[] = {
    "Иванов",  "Смирнов", "Кузнецов", "Попов",       "Васильев", "Петров",    "Соколов", "Михайлов",
    "Новиков", "Федоров", "Морозов",  "Волков",      "Алексеев", "Лебедев",   "Семенов", "Егоров",
    "Павлов",  "Козлов",  "Степанов", "Николаев",    "Орлов",    "Андреев",   "Макаров", "Никитин",
    "Захаров", "Зайцев",  "Соловьев", "Борисов",     "Яковлев",  "Григорьев", "Романов", "Воробьев",
    "Сергеев", "Кузьмин", "Фролов",   "Александров", "Дмитриев", "Королев",   "Гусев",   "Киселев"};
const char* const kMaleNames[] = {"Александр", "Сергей", "Дмитрий", "Андрей",   "Алексей",
                                  "Михаил",    "Игорь",  "Николай", "Владимир", "Павел",
                                  "Евгений",   "Олег",   "Виктор",  "Юрий",     "Константин"};
const char* const kFemaleNames[] = {"Елена",  "Ольга",    "Наталья", "Татьяна", "Ирина",
                                    "Марина", "Светлана", "Анна",    "Юлия",    "Екатерина"};
const char* const kPatronymicRoots[] = {"Александров", "Сергеев",  "Дмитриев", "Андреев",
                                        "Алексеев",    "Михайлов", "Игорев",   "Николаев",
                                        "Владимиров",  "Павлов",   "Викторов", "Юрьев"};
const char* const kCompanyWords[] = {"Северный капитал", "Инвестиционный альянс", "Гелиос",
                                     "Меридиан",         "Прогресс-Финанс",       "Вектор",
                                     "Седьмая гавань",   "Стройинвест",           "Аргумент",
                                     "Сириус-Траст",     "Восток-Актив",          "Парус"};

QString Utf(const char* s) {
    return QString::fromUtf8(s);
}

struct SecurityRow {
    int id;
    int tsId;
    int boardIndex;
    int lotSize;
    int nominal;
    int subType;
    double price;
    bool traded;
    QString name;
};

struct AccountRow {
    int id;
    int clientId;
    int tsId;
    QString name;
};

struct BoardDef {
    int id;
    const char* code;
    const char* name;
    int tsId;
};

const BoardDef kBoards[] = {
    {1, "EQS1", "Акции. Основной режим", 1},     {2, "EQP1", "Паи. Основной режим", 1},
    {3, "BND1", "Облигации. Основной режим", 1}, {4, "GOV1", "Государственные облигации", 1},
    {5, "FUT1", "Фьючерсные контракты", 2},      {6, "OPT1", "Опционы", 2},
    {7, "CUR1", "Валюта. Расчеты завтра", 3},    {8, "OTC1", "Внебиржевые сделки", 4},
};

QString TimeText(int secondsOfDay) {
    return QTime(0, 0).addSecs(secondsOfDay).toString(QStringLiteral("hh:mm:ss"));
}

QString Iso(const QDate& d) {
    return d.toString(Qt::ISODate);
}

} // namespace

DemoGenerator::DemoGenerator(Store& store, DemoScale scale, quint64 seed, QDate tradingDate)
    : store_(store), scale_(std::move(scale)), seed_(seed), date_(tradingDate) {}

bool DemoGenerator::Generate(QString* error) {
    QElapsedTimer timer;
    timer.start();
    DemoRandom rnd(seed_ * 7919 + 17);
    const QSqlDatabase db = store_.Db();
    QString failure;

    auto run = [&]() -> bool {
        auto check = [&](const Inserter& ins, const char* what) {
            if (!ins.Ok())
                failure = QStringLiteral("%1: %2").arg(Utf(what), ins.Error());
            return ins.Ok();
        };

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

        // Securities.
        std::vector<SecurityRow> secs;
        secs.reserve(size_t(scale_.securities));
        {
            Inserter s(db, QStringLiteral("security"),
                       {"id", "short_name", "trade_code", "board_code", "lot_size", "nominal",
                        "price_precision", "ts_id", "not_traded", "stock_sub_type",
                        "fut_buy_deposit", "fut_sell_deposit", "government_code", "last_price",
                        "isin"});
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
                    code =
                        issuerCode + gen +
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
                s.Row({id, r.name, code, Utf(kBoards[r.boardIndex].code), r.lotSize, r.nominal,
                       precision, r.tsId, r.traded ? 0 : 1, r.subType, buyDep, sellDep, gov,
                       r.price, QStringLiteral("RU%1").arg(id, 10, 10, QChar('0'))});
                secs.push_back(r);
            }
            if (!check(s, "security"))
                return false;
        }

        // Clients: the firm itself, management companies with sub-clients, people, companies.
        QList<int> topClients;
        QHash<int, QString> clientShort;
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
                    const QString word =
                        Utf(kCompanyWords[rnd.Below(int(std::size(kCompanyWords)))]);
                    name = Utf("ООО УК «") + word + Utf("»") +
                           (id > 100 ? QStringLiteral(" %1").arg(id) : QString());
                    shortName = Utf("УК ") + word;
                    parentCompany = id;
                    subLeft = rnd.Between(2, 5);
                } else if (parent == 0 && rnd.Chance(0.15)) {
                    const QString word =
                        Utf(kCompanyWords[rnd.Below(int(std::size(kCompanyWords)))]);
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

        // Accounts: three own accounts of the firm, then every client gets at least one.
        std::vector<AccountRow> accounts;
        {
            Inserter a(db, QStringLiteral("account"),
                       {"id", "name", "client_id", "is_transaction"});
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
            for (int extra = scale_.accounts - 3 - clientCount; extra > 0 && clientCount > 0;
                 --extra)
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
                    v.Row(
                        {vid++, acc.id, 1, QStringLiteral("BO-%1").arg(acc.id, 6, 10, QChar('0'))});
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
            if (!check(t, "ui_type") || !check(v, "ui_value") || !check(p, "plugin_allow"))
                return false;
        }

        // Orders and deals of the trading day and of a few earlier days.
        std::vector<int> tradedSecs;
        for (const SecurityRow& s : secs)
            if (s.traded)
                tradedSecs.push_back(s.id - 1);
        QHash<QPair<int, int>, double> positionDelta; // (account, instrument) -> change
        Inserter ord(db, QStringLiteral("orders"),
                     {"order_num", "order_date", "order_time", "sec_id", "buy_sell", "order_type",
                      "status", "price", "qty_first", "qty_left", "nkd", "yield", "acc_id",
                      "cli_id", "order_group", "changed_at"});
        Inserter dl(db, QStringLiteral("deal"),
                    {"deal_num", "deal_date", "deal_time", "order_num", "sec_id", "buy_sell",
                     "price", "qty", "vol", "nkd", "profit", "yield", "fee_exch", "fee_depo",
                     "fee_brok", "brok_my", "brok_ret", "acc_id", "cli_id"});
        qint64 orderNum = 1000001;
        qint64 dealNum = 5000001;
        int groupNum = 7001;
        const int clientAccounts = int(accounts.size()) - 3;
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
                const bool bond = s.nominal > 0;
                const double nkd = bond ? std::round(rnd.Uniform(0, 45) * qty * 100) / 100 : 0;
                const double yield = bond ? std::round(rnd.Uniform(6, 16) * 100) / 100 : 0;
                const QString time = TimeText(seconds);
                ord.Row({orderNum, Iso(d), time, s.id, buy ? "B" : "S", type, status, price, qty,
                         left, nkd, yield, acc.id, acc.clientId, orderGroup, time});
                // Deals for the filled part.
                int filled = qty - left;
                int dealSeconds = seconds;
                while (filled > 0) {
                    const int part =
                        filled > 1 && rnd.Chance(0.3) ? rnd.Between(1, filled - 1) : filled;
                    filled -= part;
                    dealSeconds += rnd.Between(1, 90);
                    const double unit =
                        bond ? price * s.nominal / 100.0 : price * std::max(1, s.lotSize);
                    const double vol = std::round(unit * part * 100) / 100;
                    const double feeExch = std::round(vol * 0.0001 * 100) / 100;
                    const double feeDepo = std::round(vol * 0.00005 * 100) / 100;
                    const double feeBrok = std::round(vol * 0.0005 * 100) / 100;
                    const double profit =
                        buy ? 0 : std::round(vol * rnd.Uniform(-0.05, 0.08) * 100) / 100;
                    const double dealNkd = bond ? std::round(nkd * part / qty * 100) / 100 : 0;
                    dl.Row({dealNum++, Iso(d), TimeText(std::min(dealSeconds, 86399)), orderNum,
                            s.id, buy ? "B" : "S", price, part, vol, dealNkd, profit, yield,
                            feeExch, feeDepo, feeBrok, std::round(feeBrok * 0.6 * 100) / 100,
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
                          {"snap_date", "acc_id", "sec_id", "input_saldo", "curr_saldo",
                           "plan_saldo", "avprice", "var_margin", "buy_deposit", "sell_deposit"});
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
                        std::round(secs[size_t(sec - 1)].price * rnd.Uniform(0.9, 1.1) * 10000) /
                        10000;
                p.Row({key.first, sec, in, curr, curr, avprice, 0, 0, 0});
                for (int day = 1; day <= scale_.archiveDays; ++day)
                    snap.Row(
                        {Iso(date_.addDays(-day)), key.first, sec, in, in, in, avprice, 0, 0, 0});
                const double delivery = curr - in;
                tp.Row({Iso(date_), key.first, sec, in, in, delivery, curr});
                if (delivery != 0)
                    tp.Row({Iso(date_.addDays(1)), key.first, sec, curr, curr, 0, curr});
            }
            if (!check(p, "portfolio") || !check(snap, "portfolio_archive") || !check(tp, "tplus"))
                return false;
        }

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
                t.Row({id++, Iso(exec), TimeText(10 * 3600 + rnd.Below(8 * 3600)), Iso(created),
                       debet, kredit, sec,
                       money ? std::round(rnd.Uniform(1000, 500000) * 100) / 100
                             : double(rnd.Between(1, 100)),
                       Utf(reasons[kind]), money ? 0.0 : secs[size_t(sec - 1)].price,
                       rnd.Chance(0.2) ? QStringLiteral("CODE-%1").arg(rnd.Between(1, 99))
                                       : QString(),
                       money ? Utf("Деньги") : Utf("Бумаги")});
            }
            store_.SetState(QStringLiteral("next.txn"), QString::number(id));
            Inserter pt(db, QStringLiteral("pending_txn"),
                        {"id", "create_date", "status", "source_acc", "dest_acc", "sec_id",
                         "amount", "reason", "avg_price"});
            qint64 pid = 800001;
            for (int i = 0; i < 12 && clientAccounts > 1; ++i) {
                const AccountRow& from = accounts[size_t(3 + rnd.Below(clientAccounts))];
                const AccountRow& to = accounts[size_t(3 + rnd.Below(clientAccounts))];
                pt.Row({pid++, Iso(date_.addDays(-rnd.Below(3))), rnd.Chance(0.8) ? 10 : 20,
                        from.id, to.id, -from.tsId,
                        std::round(rnd.Uniform(1000, 100000) * 100) / 100,
                        Utf("Отложенный перевод по поручению клиента"), 0});
            }
            store_.SetState(QStringLiteral("next.pending"), QString::number(pid));
            if (!check(t, "txn") || !check(pt, "pending_txn"))
                return false;
        }

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
                const double freeMoney = std::round(rnd.Uniform(-20000, 900000) * 100) / 100;
                fm.Row({acc.id, -2, freeMoney, std::round(depositSum * 100) / 100, vmSum,
                        std::round(rnd.Uniform(0, 500) * 100) / 100,
                        std::max(0.0, std::round((freeMoney + vmSum) * 100) / 100)});
            }
            if (!check(fp, "fut_position") || !check(fm, "fut_money"))
                return false;
        }

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
                        "status_name", "if_text", "action_text", "acc_id", "if_sec_id",
                        "buy_sell"});
            qint64 rid = 2000001;
            qint64 cid = 9000001;
            for (int i = 0; i < 20 && clientAccounts > 0 && !tradedSecs.empty(); ++i) {
                const AccountRow& acc = accounts[size_t(3 + rnd.Below(clientAccounts))];
                const SecurityRow& s =
                    secs[size_t(tradedSecs[size_t(rnd.Below(int(tradedSecs.size())))])];
                const bool repo = rnd.Chance(0.4);
                const int qty = rnd.Between(1, 100);
                const int status = QList<int>{10, 11, 20, 27, 31}[rnd.Below(5)];
                const QString statusName = QList<QString>{
                    Utf("Активна"), Utf("Исполнена"), Utf("Снята"), Utf("Ожидает подтверждения"),
                    Utf("Подтверждена")}[QList<int>{10, 11, 20, 27, 31}.indexOf(status)];
                const int term = rnd.Between(1, 30);
                r.Row(
                    {rid++,
                     QString::number(700000 + i),
                     Iso(date_),
                     TimeText(10 * 3600 + rnd.Below(8 * 3600)),
                     s.id,
                     status,
                     statusName,
                     rnd.Chance(0.5) ? "B" : "S",
                     repo ? 2 : 1,
                     repo ? Utf("РЕПО") : Utf("РПС"),
                     s.price,
                     qty,
                     qty * std::max(1, s.lotSize),
                     std::round(s.price * qty * 100) / 100,
                     acc.id,
                     clientShort.value(acc.clientId),
                     QStringLiteral("REF%1").arg(i),
                     QString(),
                     QStringLiteral("P%1").arg(rnd.Between(100, 999)),
                     Utf("ООО «Контрагент ") + QString::number(i) + Utf("»"),
                     repo ? date_.addDays(term).toString(QStringLiteral("dd.MM.yyyy")) : QString(),
                     repo ? QString::number(rnd.Uniform(5, 15), 'f', 2) : QString(),
                     repo ? QString::number(term) : QString(),
                     repo ? QString::number(rnd.Uniform(0, 5), 'f', 2) : QString(),
                     QString()});
                const double start = (QDate(1899, 12, 30).daysTo(date_)) + rnd.Uniform(0.4, 0.5);
                c.Row(
                    {cid++, start, start + rnd.Between(1, 30) + 0.25, 1, Utf("Стоп-лосс"),
                     QList<int>{10, 11, 20}[rnd.Below(3)], Utf("Ожидает условия"),
                     Utf("Цена ") + s.name + Utf(" <= ") + QString::number(s.price * 0.95, 'f', 2),
                     Utf("Продать ") + QString::number(qty) + Utf(" лот по рынку"), acc.id, s.id,
                     "S"});
            }
            if (!check(r, "rps_order") || !check(c, "cond_order"))
                return false;
        }

        // Broker interest, margin lending, commissions.
        {
            Inserter tier(db, QStringLiteral("interest_tier"),
                          {"id", "lower_bound", "upper_bound", "upper_broker_percent"});
            tier.Row({1, 0, 1000000, 30});
            tier.Row({2, 1000000, 10000000, 25});
            tier.Row({3, 10000000, 1000000000, 20});
            Inserter ci(db, QStringLiteral("client_interest"), {"cli_id", "tier_id", "percent"});
            Inserter cf(db, QStringLiteral("client_interest_flag"), {"cli_id", "auto_calc"});
            Inserter mc(db, QStringLiteral("margin_client"),
                        {"cli_id", "mode", "start_level", "critical_level", "credit_acc_id"});
            Inserter mr(db, QStringLiteral("margin_rule"),
                        {"cli_id", "sec_id", "limit_value", "in_level", "allowed", "allowed2"});
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
                if (n <= 15) {
                    mc.Row({cli, rnd.Chance(0.7) ? 1 : 0, 50, 25, 3});
                    for (int k = 0; k < 3 && !tradedSecs.empty(); ++k)
                        mr.Row({cli, secs[size_t(tradedSecs[size_t(k * 7 % tradedSecs.size())])].id,
                                k == 0 ? 1000 : 0, 1, 1, 1});
                }
            }
            Inserter ca(db, QStringLiteral("commission_account"), {"acc_id", "own"});
            QSet<int> commissionClients(topClients.begin(),
                                        topClients.begin() +
                                            std::min<qsizetype>(500, topClients.size()));
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
                   QStringLiteral("2;-1;-1;-1;"), QString(), QString(), QStringLiteral("0;0;2;0;"),
                   1});
            t.Row({3, 3, 2, 2, 150, Utf("Депозитарная абонентская"), QStringLiteral("-1;-1;-1;-1;"),
                   QString(), QString(), QString(), QString(), 1});
            t.Row({4, 4, 3, 2, 0, Utf("Комиссии биржевых площадок"), QString(), QString(),
                   QString(), QString(), QString(), 1});
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
                !check(cf, "client_interest_flag") || !check(mc, "margin_client") ||
                !check(mr, "margin_rule") || !check(cc, "commission_client") ||
                !check(ca, "commission_account") || !check(t, "tariff") ||
                !check(tp, "tariff_plan") || !check(pl, "plan_tariff") || !check(pc, "plan_client"))
                return false;
        }
        return true;
    };

    // A large page cache keeps the indexes in memory while the tables fill.
    store_.Exec(QStringLiteral("PRAGMA cache_size=-262144"));
    const bool ok = store_.Transaction(run);
    store_.Exec(QStringLiteral("PRAGMA cache_size=-32768"));
    if (!ok && error)
        *error = failure.isEmpty() ? QStringLiteral("demo data generation failed") : failure;
    if (ok)
        ServerLog::Line(QStringLiteral("demo data \"%1\" (seed %2) generated in %3 ms")
                            .arg(scale_.name)
                            .arg(seed_)
                            .arg(timer.elapsed()));
    return ok;
}
