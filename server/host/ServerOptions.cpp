#include "server/host/ServerOptions.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <iterator>

#include "session/wire/WireProtocol.h"

namespace {

bool ParseNumber(const QString& name, const QString& text, double lo, double hi, double* out,
                 QString* error) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || v < lo || v > hi) {
        *error = QStringLiteral("%1: \"%2\" is not a number from %3 to %4")
                     .arg(name, text)
                     .arg(lo)
                     .arg(hi);
        return false;
    }
    *out = v;
    return true;
}

} // namespace

QString ServerOptions::DefaultDbPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.parvane");
    return folder + QStringLiteral("/parvane.sqlite");
}

QString ServerOptions::HelpText() {
    return QStringLiteral(
               "parvane: the session server the workstation's sessions attach to.\n"
               "\n"
               "Usage: parvane [options]\n"
               "       parvane --ctl ACTION [key=value ...]   (send a control request)\n"
               "\n"
               "Options (environment variable in brackets; the command line wins):\n"
               "  --db PATH          database file; created with demo data when empty\n"
               "                     [ORVEX_SERVER_DB] (default %1)\n"
               "  --scale NAME       demo data scale for a new database: demo or large\n"
               "                     [ORVEX_SERVER_SCALE] (default demo)\n"
               "  --sim-rate N       market simulator changes per second, 0 = off\n"
               "                     [ORVEX_SERVER_SIM_RATE] (default 0)\n"
               "  --seed N           random seed of the demo data and the simulator\n"
               "                     [ORVEX_SERVER_SEED] (default 20070301)\n"
               "  --idle SECONDS     exit this long after the last session left, 0 = never\n"
               "                     [ORVEX_SERVER_IDLE] (default 60)\n"
               "  --log FILE         log file (default: standard error) [ORVEX_SERVER_LOG]\n"
               "  --control          accept control requests (tests) [ORVEX_SERVER_CONTROL=1]\n"
               "  --login-delay MS   delay of the server's own login after start\n"
               "                     [ORVEX_SERVER_LOGIN_DELAY] (default 200)\n"
               "  --socket NAME      local socket name [ORVEX_SERVER_SOCKET]\n"
               "                     (default %2)\n"
               "  --workers N        threads that build answers [ORVEX_SERVER_WORKERS] (default "
               "4)\n"
               "  --max-connections N  sessions served at once, more are closed\n"
               "                     [ORVEX_SERVER_MAX_CONNECTIONS] (default 256)\n"
               "  --max-queued-mb N  answer bytes waiting for one session before its requests\n"
               "                     are no longer read [ORVEX_SERVER_MAX_QUEUED_MB] (default "
               "256)\n"
               "  --stuck-timeout S  close a session that holds half a frame or never greets\n"
               "                     for S seconds [ORVEX_SERVER_STUCK_TIMEOUT] (default 30)\n"
               "  --prepare-delay MS hold the store preparation back (tests)\n"
               "                     [ORVEX_SERVER_PREPARE_DELAY] (default 0)\n"
               "  --help             this text\n"
               "\n"
               "Control actions (the server must run with --control):\n"
               "  drop                      drop every session, then log in again\n"
               "  newday [date=dd.mm.yyyy]  start a new trading day (new key), then log in again\n"
               "  sessionkey                new session key, then log in again\n"
               "  clientkey value=N         the user's client key becomes N, then log in again\n"
               "  refuselogin               refuse the next login (the server retries after 2 s)\n"
               "  stall ms=N                hold every answer back N ms (0 ends it)\n"
               "  setprice security=N price=P  the security's last price (margin valuation)\n"
               "  failcommission            fail the next commission command with -10\n"
               "  execpending [id=N]        execute the waiting pending transactions (or one)\n"
               "  simrate rate=N            market simulator rate (allowed without --control)\n"
               "  status                    one line of server state (allowed without --control)\n")
        .arg(DefaultDbPath(), wire::ServerSocketName());
}

bool ServerOptions::Parse(const QStringList& arguments, ServerOptions* out, QString* error) {
    ServerOptions o;
    auto env = [](const char* name) { return qEnvironmentVariable(name); };
    o.dbPath = env("ORVEX_SERVER_DB");
    if (!env("ORVEX_SERVER_SCALE").isEmpty())
        o.scale = env("ORVEX_SERVER_SCALE");
    double number = 0;
    if (!env("ORVEX_SERVER_SIM_RATE").isEmpty()) {
        if (!ParseNumber(QStringLiteral("ORVEX_SERVER_SIM_RATE"), env("ORVEX_SERVER_SIM_RATE"), 0,
                         100000, &number, error))
            return false;
        o.simRate = number;
    }
    if (!env("ORVEX_SERVER_SEED").isEmpty()) {
        bool ok = false;
        o.seed = env("ORVEX_SERVER_SEED").toULongLong(&ok);
        if (!ok) {
            *error = QStringLiteral("ORVEX_SERVER_SEED is not a number");
            return false;
        }
    }
    if (!env("ORVEX_SERVER_IDLE").isEmpty()) {
        if (!ParseNumber(QStringLiteral("ORVEX_SERVER_IDLE"), env("ORVEX_SERVER_IDLE"), 0,
                         86400 * 7, &number, error))
            return false;
        o.idleSeconds = int(number);
    }
    o.logFile = env("ORVEX_SERVER_LOG");
    o.control = env("ORVEX_SERVER_CONTROL") == QLatin1String("1");
    if (!env("ORVEX_SERVER_LOGIN_DELAY").isEmpty()) {
        if (!ParseNumber(QStringLiteral("ORVEX_SERVER_LOGIN_DELAY"),
                         env("ORVEX_SERVER_LOGIN_DELAY"), 0, 600000, &number, error))
            return false;
        o.loginDelayMs = int(number);
    }

    // Whole-number options: flag, environment variable, range, target.
    const struct {
        const char* flag;
        const char* env;
        double lo, hi;
        int* target;
    } counts[] = {
        {"--workers", "ORVEX_SERVER_WORKERS", 1, 64, &o.workers},
        {"--max-connections", "ORVEX_SERVER_MAX_CONNECTIONS", 1, 100000, &o.maxConnections},
        {"--max-queued-mb", "ORVEX_SERVER_MAX_QUEUED_MB", 1, 65536, &o.maxQueuedMiB},
        {"--stuck-timeout", "ORVEX_SERVER_STUCK_TIMEOUT", 1, 86400, &o.stuckSeconds},
        {"--prepare-delay", "ORVEX_SERVER_PREPARE_DELAY", 0, 600000, &o.prepareDelayMs},
    };
    for (const auto& c : counts) {
        if (env(c.env).isEmpty())
            continue;
        if (!ParseNumber(QLatin1String(c.env), env(c.env), c.lo, c.hi, &number, error))
            return false;
        *c.target = int(number);
    }

    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&](QString* v) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            *v = arguments[++i];
            return true;
        };
        QString v;
        const auto count = std::find_if(std::begin(counts), std::end(counts),
                                        [&](const auto& c) { return a == QLatin1String(c.flag); });
        if (count != std::end(counts)) {
            if (!value(&v) || !ParseNumber(a, v, count->lo, count->hi, &number, error))
                return false;
            *count->target = int(number);
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a == QLatin1String("--control")) {
            o.control = true;
        } else if (a == QLatin1String("--ctl")) {
            o.ctl = arguments.mid(i + 1);
            if (o.ctl.isEmpty()) {
                *error = QStringLiteral("--ctl needs an action");
                return false;
            }
            break;
        } else if (a == QLatin1String("--db")) {
            if (!value(&o.dbPath))
                return false;
        } else if (a == QLatin1String("--scale")) {
            if (!value(&o.scale))
                return false;
        } else if (a == QLatin1String("--log")) {
            if (!value(&o.logFile))
                return false;
        } else if (a == QLatin1String("--socket")) {
            if (!value(&o.socketName))
                return false;
        } else if (a == QLatin1String("--sim-rate")) {
            if (!value(&v) || !ParseNumber(a, v, 0, 100000, &number, error))
                return false;
            o.simRate = number;
        } else if (a == QLatin1String("--idle")) {
            if (!value(&v) || !ParseNumber(a, v, 0, 86400 * 7, &number, error))
                return false;
            o.idleSeconds = int(number);
        } else if (a == QLatin1String("--login-delay")) {
            if (!value(&v) || !ParseNumber(a, v, 0, 600000, &number, error))
                return false;
            o.loginDelayMs = int(number);
        } else if (a == QLatin1String("--seed")) {
            if (!value(&v))
                return false;
            bool ok = false;
            o.seed = v.toULongLong(&ok);
            if (!ok) {
                *error = QStringLiteral("--seed: \"%1\" is not a number").arg(v);
                return false;
            }
        } else {
            *error = QStringLiteral("unknown option \"%1\" (see --help)").arg(a);
            return false;
        }
    }
    if (o.scale != QLatin1String("demo") && o.scale != QLatin1String("large")) {
        *error = QStringLiteral("--scale must be demo or large, not \"%1\"").arg(o.scale);
        return false;
    }
    if (o.dbPath.isEmpty())
        o.dbPath = DefaultDbPath();
    if (o.socketName.isEmpty())
        o.socketName = wire::ServerSocketName();
    *out = o;
    return true;
}
