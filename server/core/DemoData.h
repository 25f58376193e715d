#pragma once

#include <QDate>
#include <QString>

#include <functional>

class Store;

// A small deterministic random source (splitmix64), the same on every platform.
class DemoRandom {
public:
    explicit DemoRandom(quint64 seed) : state_(seed) {}
    quint64 Next();
    int Below(int n);            // 0 .. n-1
    int Between(int lo, int hi); // lo .. hi inclusive
    double Uniform(double lo, double hi);
    bool Chance(double p);

private:
    quint64 state_;
};

// How much demo data to make.
struct DemoScale {
    QString name;
    int securities = 200;
    int clients = 60;
    int accounts = 150;
    int orders = 400;
    int archiveDays = 20; // earlier trading days with orders, deals and snapshots

    // The chance that a fill is dealt in more than one part.
    double dealSplit = 0.3;
    // Transactions of the trading day besides those spread over the earlier days.
    int todaysTransactions = 60;

    static DemoScale Demo();
    static DemoScale Large();
    // "demo" or "large"; false for anything else.
    static bool FromName(const QString& name, DemoScale* out);
};

// Fills an empty store with a trading day of demo data: trading systems, boards,
// securities, clients with sub-clients, accounts, user information, orders, deals,
// portfolios and the data of the other lists. The same seed and scale always give
// the same data (the trading date is the given day).
class DemoGenerator {
public:
    DemoGenerator(Store& store, DemoScale scale, quint64 seed, QDate tradingDate);
    bool Generate(QString* error);
    // Hears the share of the generation done (0 to 100) as it goes.
    void SetProgress(std::function<void(int percent)> progress) { progress_ = std::move(progress); }

    // The firm's own client (the client key of the user's session).
    static constexpr int kFirmClientId = 1;

private:
    class Build;
    Store& store_;
    DemoScale scale_;
    quint64 seed_;
    QDate date_;
    std::function<void(int)> progress_;
};
