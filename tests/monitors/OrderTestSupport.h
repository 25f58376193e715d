#pragma once

#include "monitors/TOrderForm.h"
#include "shell/base/Services.h"
#include "shell/refs/ReferenceData.h"
#include "support/ScriptedSession.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    QString shown = text;
    shown.replace(QChar(0), QStringLiteral("\\0"));
    *os << '"' << shown.toStdString() << '"';
}

namespace ordertest {

// Records every message box and answers with a chosen button.
class ScriptedBoxes : public IMessageBoxService {
public:
    int Show(QWidget*, const QString& text, const QString&, MsgKind kind, int buttons,
             bool) override {
        texts.append(text);
        kinds.push_back(kind);
        buttonSets.push_back(buttons);
        return answer;
    }
    QStringList texts;
    std::vector<MsgKind> kinds;
    std::vector<int> buttonSets;
    int answer = MsgYes;
};

// One order row of an answer, in the field order of OrderAnswer().
struct OrderRow {
    OrderRow(const char* num_, const char* key_, const char* status_ = "10",
             const char* buySell_ = "B", int account_ = 5, int client_ = 1, const char* group_ = "")
        : num(QString::fromUtf8(num_)), key(QString::fromUtf8(key_)),
          status(QString::fromUtf8(status_)), buySell(QString::fromUtf8(buySell_)),
          account(account_), client(client_), group(QString::fromUtf8(group_)) {}
    QString num;
    QString key;
    QString status;
    QString buySell;
    int account;
    int client;
    QString group;
};

inline AnswerBuilder OrderFields() {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.211"))
        .Text(QStringLiteral("ORDER_NUM"))
        .Text(QStringLiteral("KEY_FIELD"))
        .Text(QStringLiteral("ORDER_STATUS"))
        .Text(QStringLiteral("BUY_SELL"))
        .Int(QStringLiteral("ID_ACC"))
        .Int(QStringLiteral("ID_CLI"))
        .Text(QStringLiteral("ORDER_GROUP"))
        .Text(QStringLiteral("NAME_BUM"))
        .Text(QStringLiteral("NAME_ACC"))
        .Text(QStringLiteral("NAME_CLI"))
        .Float(QStringLiteral("ORDER_PRICE"))
        .Int(QStringLiteral("COUNT_IN_LOT_FIRST"))
        .Int(QStringLiteral("ID_BUM"));
    return b;
}

inline void AddOrder(AnswerBuilder& b, const OrderRow& r) {
    b.Row({r.num, r.key, r.status, r.buySell, r.account, r.client, r.group, QStringLiteral("SBER"),
           QStringLiteral("Счет ") + QString::number(r.account),
           QStringLiteral("Клиент ") + QString::number(r.client), 250.5, 10, 101});
}

inline ScriptedAnswer Orders(std::initializer_list<OrderRow> rows) {
    AnswerBuilder b = OrderFields();
    for (const OrderRow& r : rows)
        AddOrder(b, r);
    return b.Build();
}

// The answer with the parameters of the session's last request echoed back, as the
// server does.
inline ScriptedAnswer Echo(ScriptedSession& ses, ScriptedAnswer answer) {
    answer.requestParams = ses.Last().Params();
    return answer;
}

inline void FillStatuses(TReferenceData& refs) {
    refs.OrderStatuses.Add(QStringLiteral("Активна"), 10);
    refs.OrderStatuses.Add(QStringLiteral("Исполнена"), 11);
    refs.OrderStatuses.Add(QStringLiteral("Снята"), 20);
}

// Acts as the user does: triggers the window's popup item with the caption (the same
// action its key and its toolbar button trigger).
inline void Trigger(TOrderForm& form, const char* caption) {
    for (QAction* action : form.PopupMenu()->actions()) {
        if (action->text() == QString::fromUtf8(caption)) {
            action->trigger();
            return;
        }
    }
    ADD_FAILURE() << "no popup item " << caption;
}

} // namespace ordertest
