#pragma once

#include <QString>
#include <QStringList>

class Engine;

// The execution of waiting pending transactions: each becomes a transaction of the
// day (its creation date kept), moves the balances as an ordinary transfer does and
// leaves the pending list (state 30). An entry whose real sender holds too little
// stays waiting. The server never does this by itself: the control action
// "execpending" asks for it.
struct PendingExecution {
    int executed = 0;
    int refused = 0;     // still waiting: too little held by the sender
    QStringList changes; // kind 3 rows of every moved position
    QString Summary() const;
};

// Executes every waiting entry, or only entry `onlyId` when it is above 0.
PendingExecution ExecutePending(Engine& engine, qint64 onlyId);
