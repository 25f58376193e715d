#pragma once

// Shared pieces of the commission tests: a small reference data set, the log of a
// test and the answers of the manager's load chain.
#include "commissions/TaxObjects.h"
#include "session/wire/Cp1251.h"
#include "shell/base/Log.h"
#include "support/ScriptedSession.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace taxtest {

inline QString U(const char* text) {
    return QString::fromUtf8(text);
}

// Trading systems 1 "ФБ" and 2 "СР"; boards 10 "Акции" (system 1, code EQ) and 20
// "Фьючерсы" (system 2, code FUT); securities 7 "Газ" and 12 "Нефть" on EQ, 30 "Si"
// on FUT.
inline void FillRefs(TReferenceData& refs) {
    auto ts = [&](int id, const char* name) {
        auto o = std::make_unique<TTSObj>();
        o->Id = id;
        o->Name = U(name);
        refs.AddTradingSystem(std::move(o));
    };
    ts(1, "ФБ");
    ts(2, "СР");
    auto board = [&](int id, const char* name, int system, const char* code) {
        auto o = std::make_unique<TBoardObj>();
        o->Id = id;
        o->Name = U(name);
        o->TradingSystemId = system;
        o->BoardCode = QString::fromLatin1(code);
        refs.Boards.Append(std::move(o));
    };
    board(10, "Акции", 1, "EQ");
    board(20, "Фьючерсы", 2, "FUT");
    auto security = [&](int id, const char* name, const char* code) {
        auto o = std::make_unique<TBumObj>();
        o->Id = id;
        o->Name = U(name);
        o->BoardCode = QString::fromLatin1(code);
        refs.Securities.Append(std::move(o));
    };
    security(7, "Газ", "EQ");
    security(12, "Нефть", "EQ");
    security(30, "Si", "FUT");
}

// Points the log at a temporary file for the test's lifetime.
class ScopedLog {
public:
    ScopedLog() : saved_(LogFileName()) { SetLogFileName(dir_.filePath(QStringLiteral("t.log"))); }
    ~ScopedLog() { SetLogFileName(saved_); }
    ScopedLog(const ScopedLog&) = delete;
    ScopedLog& operator=(const ScopedLog&) = delete;

    // The texts of the lines written so far (time stamp and thread left out).
    QStringList Texts() const {
        QFile f(dir_.filePath(QStringLiteral("t.log")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList texts;
        for (const QString& line :
             Cp1251::Decode(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            const int afterStamp = line.indexOf(QStringLiteral("  "));
            const int afterThread = line.indexOf(QLatin1Char(' '), afterStamp + 2);
            texts.append(line.mid(afterThread + 1));
        }
        return texts;
    }

private:
    QTemporaryDir dir_;
    QString saved_;
};

// The answers of the manager's chain: clients 1 "Альфа", 2 "Бета", 3 "Гамма", 4
// "Zeta"; accounts 101, 102 (client 1), 201 (client 2), 301 (unknown owner); own
// account 5; tariffs 7 (algorithm 1), 12 (2), 3 (3), 4 (4); plans 1 "Стандарт" (7, 3)
// and 2 "Активный" (12); client 1 on plan 1, client 2 on plan 2.
inline ScriptedAnswer
ChainAnswer(int query, const QString& scale7 = QStringLiteral("0;0;0.05;0;1000000;1;0;1500.5;")) {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.%1").arg(query));
    b.Param(QStringLiteral("chto"), QString::number(query));
    b.Param(QStringLiteral("BackParam"), QStringLiteral("1"));
    switch (query) {
    case 754:
        b.Int("CLI_ID").Text("CLI_NAME");
        b.Row({1, "Альфа"}).Row({2, "Бета"}).Row({3, "Гамма"}).Row({4, "Zeta"});
        break;
    case 755:
        b.Int("ACC_ID").Int("CLI_ID").Text("ACC_NAME");
        b.Row({101, 1, "Альфа-1"}).Row({102, 1, "Альфа-2"}).Row({201, 2, "Бета-1"});
        b.Row({301, 99, "Чужой"});
        break;
    case 756:
        b.Int("ACC_ID").Int("CLI_ID").Text("ACC_NAME").Row({5, 1000, "Счет комиссий"});
        break;
    case 750:
        b.Int("TARIF_ID").Int("ALGORITM").Int("TARIF_TYPE").Int("DEST_ACCOUNT_ID");
        b.Float("TARIF_SUM").Text("TARIF_NAME").Text("AREA_OF_WORK").Text("AREA_OF_VOL");
        b.Text("AREA_OF_WORK_EXCLUDE").Text("AREA_OF_VOL_EXCLUDE").Text("SCALE");
        b.Int("ALGORITM_3_GROUP_SUB_CLIENT");
        b.Row({7, 1, 1, 5, 0.0, "Бирж. оборот", "1;10;-1;-1;1;99;-1;-1;", "1;-1;-1;-1;",
               "1;10;-1;7;", "", scale7, 1});
        b.Row({12, 2, 3, 6, 0.0, "Срочный", "2;-1;-1;-1;", "2;-1;-1;-1;", "", "",
               "0;0;2;0;100;1;0;50;", 1});
        b.Row({3, 3, 2, 5, 150.0, "Абонентская", "-1;-1;-1;-1;", "", "", "", "", 2});
        b.Row({4, 4, 3, 5, 0.0, "Биржевые сборы", "", "", "", "", "", 1});
        break;
    case 751:
        b.Int("TARIF_PLAN_ID").Text("TARIF_PLAN_NAME").Row({1, "Стандарт"}).Row({2, "Активный"});
        break;
    case 752:
        b.Int("TARIF_PLAN_ID").Int("TARIF_ID");
        b.Row({1, 7}).Row({1, 3}).Row({2, 12}).Row({2, 999}).Row({9, 7}).Row({1, 7});
        break;
    case 753:
        b.Int("TARIF_PLAN_ID").Int("CLIENT_ID").Int("SOURCE_ACCOUNT_SELF_OPERATION");
        b.Text("NAME_ACCOUNT_SELF_OPERATION").Int("SOURCE_ACCOUNT_CLI_OPERATION");
        b.Text("NAME_ACCOUNT_CLI_OPERATION");
        b.Row({1, 1, 0, "<Счет сделки>", 102, "Альфа-2"});
        b.Row({2, 2, 201, "Бета-1", 201, "Бета-1"});
        b.Row({1, 99, 0, "", 0, ""});
        break;
    }
    return b.Build();
}

} // namespace taxtest
