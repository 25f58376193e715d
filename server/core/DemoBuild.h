#pragma once

// Internal to the demo data generator: the row writer, the name tables and the
// generation run shared by DemoData.cpp and DemoTrading.cpp.
#include "server/core/DemoData.h"
#include "server/core/Store.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTime>

#include <vector>

namespace demo {

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

inline const char* const kRegions[] = {
    "Урал",   "Волга", "Сибирь", "Балтика", "Камчатка", "Енисей", "Алтай",  "Донбасс",
    "Печора", "Амур",  "Таврия", "Онега",   "Кубань",   "Ладога", "Байкал", "Север"};
inline const char* const kRegionCodes[] = {"URL", "VLG", "SIB", "BLT", "KAM", "ENS", "ALT", "DON",
                                           "PCH", "AMR", "TVR", "ONG", "KUB", "LDG", "BKL", "SEV"};
inline const char* const kIndustries[] = {"нефть", "газ",   "энерго", "металл", "телеком", "хим",
                                          "лес",   "транс", "строй",  "банк",   "агро",    "фарм"};
inline const char* const kIndustryCodes[] = {"N", "G", "E", "M", "T", "H",
                                             "L", "R", "S", "B", "A", "F"};

inline const char* const kSurnames[] = {
    "Иванов",  "Смирнов", "Кузнецов", "Попов",       "Васильев", "Петров",    "Соколов", "Михайлов",
    "Новиков", "Федоров", "Морозов",  "Волков",      "Алексеев", "Лебедев",   "Семенов", "Егоров",
    "Павлов",  "Козлов",  "Степанов", "Николаев",    "Орлов",    "Андреев",   "Макаров", "Никитин",
    "Захаров", "Зайцев",  "Соловьев", "Борисов",     "Яковлев",  "Григорьев", "Романов", "Воробьев",
    "Сергеев", "Кузьмин", "Фролов",   "Александров", "Дмитриев", "Королев",   "Гусев",   "Киселев"};
inline const char* const kMaleNames[] = {
    "Александр", "Сергей", "Дмитрий", "Андрей", "Алексей", "Михаил", "Игорь",     "Николай",
    "Владимир",  "Павел",  "Евгений", "Олег",   "Виктор",  "Юрий",   "Константин"};
inline const char* const kFemaleNames[] = {"Елена",  "Ольга",    "Наталья", "Татьяна", "Ирина",
                                           "Марина", "Светлана", "Анна",    "Юлия",    "Екатерина"};
inline const char* const kPatronymicRoots[] = {"Александров", "Сергеев",  "Дмитриев", "Андреев",
                                               "Алексеев",    "Михайлов", "Игорев",   "Николаев",
                                               "Владимиров",  "Павлов",   "Викторов", "Юрьев"};
inline const char* const kCompanyWords[] = {"Северный капитал", "Инвестиционный альянс", "Гелиос",
                                            "Меридиан",         "Прогресс-Финанс",       "Вектор",
                                            "Седьмая гавань",   "Стройинвест",           "Аргумент",
                                            "Сириус-Траст",     "Восток-Актив",          "Парус"};

inline QString Utf(const char* s) {
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

inline const BoardDef kBoards[] = {
    {1, "EQS1", "Акции. Основной режим", 1},     {2, "EQP1", "Паи. Основной режим", 1},
    {3, "BND1", "Облигации. Основной режим", 1}, {4, "GOV1", "Государственные облигации", 1},
    {5, "FUT1", "Фьючерсные контракты", 2},      {6, "OPT1", "Опционы", 2},
    {7, "CUR1", "Валюта. Расчеты завтра", 3},    {8, "OTC1", "Внебиржевые сделки", 4},
};

// The money value of one lot at a price: a bond's price is per cent of its nominal,
// the others' per piece (their nominal is 100, or 0 in stores of older demo data).
inline double UnitValue(double price, int lotSize, int nominal) {
    return price * std::max(1, lotSize) * (nominal > 0 ? nominal / 100.0 : 1.0);
}

inline QString TimeText(int secondsOfDay) {
    return QTime(0, 0).addSecs(secondsOfDay).toString(QStringLiteral("hh:mm:ss"));
}

inline QString Iso(const QDate& d) {
    return d.toString(Qt::ISODate);
}

} // namespace demo

// One generation run: the random stream, the database and the rows that later
// tables refer to. Each step writes one group of tables, in a fixed order, so a
// seed always gives the same data.
class DemoGenerator::Build {
public:
    Build(Store& store, const DemoScale& scale, quint64 seed, const QDate& date)
        : store_(store), scale_(scale), seed_(seed), date_(date), rnd(seed * 7919 + 17),
          db(store.Db()) {}

    // progress (may be empty) hears the share done, 0 to 100, after each step.
    bool Run(const std::function<void(int)>& progress) {
        using Step = bool (Build::*)();
        // Rough shares of the time each step takes at the large scale.
        static constexpr struct {
            Step step;
            int weight;
        } steps[] = {{&Build::WriteDayState, 1},
                     {&Build::WriteTradingSystemsAndBoards, 1},
                     {&Build::WriteOrderStatusesAndTypes, 1},
                     {&Build::WriteSecurities, 12},
                     {&Build::WriteClients, 6},
                     {&Build::WriteAccounts, 8},
                     {&Build::WriteUserInformation, 3},
                     {&Build::WriteOrdersAndDeals, 40},
                     {&Build::WritePortfolios, 14},
                     {&Build::WriteTransactions, 6},
                     {&Build::WriteFutures, 3},
                     {&Build::WriteRpsRepoAndConditionalOrders, 3},
                     {&Build::WriteInterestMarginAndCommissions, 2},
                     {&Build::WriteInterestLadders, 1},
                     {&Build::WriteMargin, 2},
                     {&Build::WriteCommissionPlans, 1}};
        int total = 0, done = 0;
        for (const auto& s : steps)
            total += s.weight;
        for (const auto& s : steps) {
            if (!(this->*s.step)())
                return false;
            done += s.weight;
            if (progress)
                progress(done * 100 / total);
        }
        return true;
    }
    const QString& Failure() const { return failure; }

private:
    bool WriteDayState();
    bool WriteTradingSystemsAndBoards();
    bool WriteOrderStatusesAndTypes();
    bool WriteSecurities();
    bool WriteClients();
    bool WriteAccounts();
    bool WriteUserInformation();
    bool WriteOrdersAndDeals();
    qint64 WriteTodaysTransactions(demo::Inserter& t, qint64 id);
    bool WritePortfolios();
    bool WriteTransactions();
    bool WriteFutures();
    bool WriteRpsRepoAndConditionalOrders();
    bool WriteInterestMarginAndCommissions();
    bool WriteInterestLadders(); // DemoInterest.cpp
    bool WriteMargin();
    // In DemoCommissions.cpp.
    bool WriteCommissionPlans();
    static QString AlgorithmText(int algorithm);

    bool check(const demo::Inserter& ins, const char* what) {
        if (!ins.Ok())
            failure = QStringLiteral("%1: %2").arg(demo::Utf(what), ins.Error());
        return ins.Ok();
    }

    Store& store_;
    const DemoScale& scale_;
    quint64 seed_;
    QDate date_;
    DemoRandom rnd;
    QSqlDatabase db;
    QString failure;
    // Rows that later steps refer to.
    std::vector<demo::SecurityRow> secs;
    QList<int> topClients;
    QHash<int, QString> clientShort;
    std::vector<demo::AccountRow> accounts;
    std::vector<int> tradedSecs;
    QHash<QPair<int, int>, double> positionDelta; // (account, instrument) -> change
    int clientAccounts = 0;
};
