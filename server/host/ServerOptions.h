#pragma once

#include <QString>
#include <QStringList>

// Settings of one server run, from the command line and the environment (the command
// line wins). See `parvane --help` and docs/server.md.
struct ServerOptions {
    QString dbPath;                         // --db, ORVEX_SERVER_DB
    QString scale = QStringLiteral("demo"); // --scale, ORVEX_SERVER_SCALE
    double simRate = 0;                     // --sim-rate changes per second, ORVEX_SERVER_SIM_RATE
    quint64 seed = 20070301;                // --seed, ORVEX_SERVER_SEED
    int idleSeconds = 60;                   // --idle, ORVEX_SERVER_IDLE
    QString logFile;                        // --log, ORVEX_SERVER_LOG
    bool control = false;                   // --control, ORVEX_SERVER_CONTROL=1
    int loginDelayMs = 200;                 // --login-delay, ORVEX_SERVER_LOGIN_DELAY
    QString socketName;                     // --socket; default wire::ServerSocketName()
    bool help = false;
    QStringList ctl; // --ctl ACTION [key=value ...]: run as control client

    // false and an error text for an unusable option.
    static bool Parse(const QStringList& arguments, ServerOptions* out, QString* error);
    static QString HelpText();
    static QString DefaultDbPath();
};
