#pragma once

#include "server/core/DemoData.h"

#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QStringList>

#include <vector>

class Engine;

// The market simulator: new orders, partial and full fills that create deals and move
// portfolios, and cancellations, each applied to the store in one transaction per
// step and reported as change-stream rows. Seeded, so a run is repeatable.
class Simulator {
public:
    Simulator(Engine& engine, quint64 seed);

    // Applies `events` market events; returns the change rows of all of them
    // (one change set). Empty when the store has nothing to trade.
    QStringList Step(int events);

    qint64 EventsDone() const { return events_; }

private:
    struct Security {
        qint64 id;
        int tsId;
        int lot;
        int nominal;
        double price;
        QString name;
    };
    struct Account {
        qint64 id;
        qint64 clientId;
    };
    void Load();
    bool NewOrder(QStringList& rows, const QString& time);
    bool Fill(QStringList& rows, const QString& time);
    bool Cancel(QStringList& rows, const QString& time);
    bool PickActive(qint64* orderNum);

    Engine& engine_;
    DemoRandom rnd_;
    bool loaded_ = false;
    std::vector<Security> securities_;
    QHash<qint64, size_t> securityIndex_;
    std::vector<Account> accounts_;
    std::vector<qint64> active_; // active orders of the day, as far as the simulator knows
    qint64 events_ = 0;
    qint64 nextOrder_ = 0;
    qint64 nextDeal_ = 0;
    QString day_;
    // Statements prepared once and run for every event.
    QSqlQuery insertOrder_, orderStatus_, orderForFill_, insertDeal_, fillOrder_, movePortfolio_,
        cancelOrder_;
    QSqlQuery setLastPrice_; // a deal's price becomes the security's last price
};
