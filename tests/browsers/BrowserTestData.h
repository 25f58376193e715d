#pragma once

#include "shell/refs/ReferenceData.h"

#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    QString shown = text;
    shown.replace(QChar(0), QStringLiteral("\\0"));
    *os << '"' << shown.toStdString() << '"';
}

namespace browsertest {

// Reference data published for the test's lifetime.
class PublishedRefs : public TReferenceData {
public:
    PublishedRefs() { TReferenceData::SetCurrent(this); }
    ~PublishedRefs() { TReferenceData::SetCurrent(nullptr); }

    void AddTs(int id, const QString& name, const QString& nameTemplate) {
        auto ts = std::make_unique<TTSObj>();
        ts->Id = id;
        ts->Name = ts->ShortName = name;
        ts->NameTemplate = nameTemplate;
        AddTradingSystem(std::move(ts));
    }
    void AddBoard(int id, const QString& code, const QString& name, int ts) {
        auto b = std::make_unique<TBoardObj>();
        b->Id = id;
        b->BoardCode = code;
        b->Name = b->ShortName = name;
        b->TradingSystemId = ts;
        Boards.Append(std::move(b));
    }
    TBumObj* AddBum(int id, const QString& code, const QString& name, const QString& board,
                    int ts) {
        auto s = std::make_unique<TBumObj>();
        s->Id = id;
        s->TradeCode = code;
        s->Name = s->ShortName = name;
        s->BoardCode = board;
        s->TradingSystemId = ts;
        return Securities.Append(std::move(s));
    }
    void AddClient(int id, const QString& name, int parent = 0) {
        auto c = std::make_unique<TCliObj>();
        c->Id = id;
        c->Name = c->ShortName = name;
        c->ParentClientId = parent;
        Clients.Append(std::move(c));
    }
    void AddAccount(int id, const QString& name, int client) {
        auto a = std::make_unique<TAccObj>();
        a->Id = id;
        a->Name = a->ShortName = name;
        a->ClientId = client;
        Accounts.Append(std::move(a));
    }
    void AddType(int id, const QString& name, int target, int valueKind = 0) {
        auto t = std::make_unique<TUITypeObj>();
        t->Id = id;
        t->Name = name;
        t->TargetKind = target;
        t->ValueKind = valueKind;
        UserInfoTypes.Append(std::move(t));
    }
    void AddValue(int id, int owner, int type, const QString& text) {
        auto v = std::make_unique<TUserInfoObj>();
        v->Id = id;
        v->OwnerId = owner;
        v->Name = text;
        AddUserInfoValue(std::move(v), type);
    }
};

} // namespace browsertest
