#pragma once

#include "shell/refs/ReferenceData.h"

#include <memory>
#include <ostream>

// Readable failure messages for texts.
// One printer for texts, whichever helper header comes first.
#ifndef ORVEX_TEST_QSTRING_PRINTTO
#define ORVEX_TEST_QSTRING_PRINTTO
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
#endif

// A small reference set used by the filter tests:
//   trading systems 1 "ММВБ" (boards TQBR, TQOB) and 2 "РТС" (board RTSB);
//   securities 101 SBER, 102 GAZP, 103 OLD (not traded) on TQBR, 201 OFZ1 and 202 OFZ2
//   on TQOB, 301 RTSI on RTSB, 999 on an unknown board;
//   clients 1 Иванов (top), 2 Петров (its own parent), 3 Сидоров (under 1);
//   accounts 5 (client 1), 7 (client 2), 9 (client 3), 11 (unknown client 99).
namespace filtertest {

inline void AddTs(TReferenceData& r, int id, const QString& name) {
    auto ts = std::make_unique<TTSObj>();
    ts->Id = id;
    ts->Name = name;
    ts->ShortName = name;
    r.AddTradingSystem(std::move(ts));
}

inline void AddBoard(TReferenceData& r, int id, const QString& code, const QString& name,
                     int tsId) {
    auto b = std::make_unique<TBoardObj>();
    b->Id = id;
    b->BoardCode = code;
    b->Name = name;
    b->ShortName = name;
    b->TradingSystemId = tsId;
    r.Boards.Append(std::move(b));
}

inline void AddBum(TReferenceData& r, int id, const QString& name, const QString& board,
                   int notTraded = 0) {
    auto s = std::make_unique<TBumObj>();
    s->Id = id;
    s->ShortName = name;
    s->Name = name;
    s->BoardCode = board;
    s->NotTraded = notTraded;
    r.Securities.Append(std::move(s));
}

inline void AddClient(TReferenceData& r, int id, const QString& name, int parent) {
    auto c = std::make_unique<TCliObj>();
    c->Id = id;
    c->Name = name;
    c->ShortName = name;
    c->ParentClientId = parent;
    r.Clients.Append(std::move(c));
}

inline void AddAccount(TReferenceData& r, int id, const QString& name, int client) {
    auto a = std::make_unique<TAccObj>();
    a->Id = id;
    a->Name = name;
    a->ShortName = name;
    a->ClientId = client;
    r.Accounts.Append(std::move(a));
}

inline void FillSample(TReferenceData& r) {
    AddTs(r, 1, QStringLiteral("ММВБ"));
    AddTs(r, 2, QStringLiteral("РТС"));
    AddBoard(r, 10, QStringLiteral("TQBR"), QStringLiteral("Акции"), 1);
    AddBoard(r, 11, QStringLiteral("TQOB"), QStringLiteral("Облигации"), 1);
    AddBoard(r, 12, QStringLiteral("RTSB"), QStringLiteral("Классика"), 2);
    AddBum(r, 101, QStringLiteral("SBER"), QStringLiteral("TQBR"));
    AddBum(r, 102, QStringLiteral("GAZP"), QStringLiteral("TQBR"));
    AddBum(r, 103, QStringLiteral("OLD"), QStringLiteral("TQBR"), 1);
    AddBum(r, 201, QStringLiteral("OFZ1"), QStringLiteral("TQOB"));
    AddBum(r, 202, QStringLiteral("OFZ2"), QStringLiteral("TQOB"));
    AddBum(r, 301, QStringLiteral("RTSI"), QStringLiteral("RTSB"));
    AddBum(r, 999, QStringLiteral("LOST"), QStringLiteral("XXXX"));
    AddClient(r, 1, QStringLiteral("Иванов"), 0);
    AddClient(r, 2, QStringLiteral("Петров"), 2);
    AddClient(r, 3, QStringLiteral("Сидоров"), 1);
    AddAccount(r, 5, QStringLiteral("Счет пять"), 1);
    AddAccount(r, 7, QStringLiteral("счет семь"), 2);
    AddAccount(r, 9, QStringLiteral("Брокерский"), 3);
    AddAccount(r, 11, QStringLiteral("Ничей"), 99);
}

} // namespace filtertest
