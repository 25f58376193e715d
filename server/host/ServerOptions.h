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
    int workers = 4;                        // --workers, ORVEX_SERVER_WORKERS
    int maxConnections = 256;               // --max-connections, ORVEX_SERVER_MAX_CONNECTIONS
    int maxQueuedMiB = 256;                 // --max-queued-mb, ORVEX_SERVER_MAX_QUEUED_MB
    int stuckSeconds = 30;                  // --stuck-timeout, ORVEX_SERVER_STUCK_TIMEOUT
    int prepareDelayMs = 0;                 // --prepare-delay, ORVEX_SERVER_PREPARE_DELAY (tests)
    bool help = false;
    QStringList ctl; // --ctl ACTION [key=value ...]: run as control client

    // false and an error text for an unusable option.
    static bool Parse(const QStringList& arguments, ServerOptions* out, QString* error);
    static QString HelpText();
    static QString DefaultDbPath();
};
