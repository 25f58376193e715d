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

} // namespace taxtest
