// parvane: the session server stand-in. See docs/server.md.
#include "server/core/DemoData.h"
#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/host/ControlClient.h"
#include "server/host/ServerHost.h"
#include "server/host/ServerOptions.h"

#include "session/wire/LocalPeer.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <cstdio>

namespace {

const QString kPrepareOnly = QStringLiteral("--prepare-only");

// --prepare-only: opens the store as a starting server would (demo data into a new
// one) and exits, without a socket. Test set-ups prepare a store once this way and
// give copies of it to the servers they start.
int PrepareOnly(const ServerOptions& options) {
    const QString path = QFileInfo(options.dbPath).absoluteFilePath();
    wire::ExclusiveFileLock lock;
    qint64 holder = 0;
    QString error;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) ||
        !lock.TryAcquire(wire::LockPathFor(path), &holder, &error)) {
        std::fprintf(stderr, "parvane: the database %s is in use or cannot be locked (%s)\n",
                     qPrintable(path), qPrintable(error));
        return 1;
    }
    Store store;
    bool ok = store.Open(path, &error);
    if (ok && store.IsEmpty()) {
        DemoScale scale;
        DemoScale::FromName(options.scale, &scale);
        ok = DemoGenerator(store, scale, options.seed, QDate::currentDate()).Generate(&error);
    }
    store.Close();
    if (!ok) {
        std::fprintf(stderr, "parvane: cannot prepare the store %s: %s\n", qPrintable(path),
                     qPrintable(error));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvex"));
    QCoreApplication::setApplicationName(QStringLiteral("parvane"));
    std::signal(SIGPIPE, SIG_IGN);

    QStringList arguments = app.arguments();
    const bool prepareOnly = arguments.removeAll(kPrepareOnly) > 0;
    ServerOptions options;
    QString error;
    if (!ServerOptions::Parse(arguments, &options, &error)) {
        std::fprintf(stderr, "parvane: %s\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(ServerOptions::HelpText()), stdout);
        std::fputs("\nStore preparation:\n  --prepare-only     prepare the store of --db (demo "
                   "data of --scale and\n"
                   "                     --seed when empty) and exit\n",
                   stdout);
        return 0;
    }
    if (!options.ctl.isEmpty()) {
        QString output;
        const int code = ControlClient::Run(options.socketName, options.ctl, &output);
        std::fprintf(code == 0 ? stdout : stderr, "%s\n", qPrintable(output));
        return code;
    }
    ServerLog::SetFile(options.logFile);
    if (prepareOnly)
        return PrepareOnly(options);
    ServerHost host(options);
    if (!host.Start(&error)) {
        ServerLog::Line(QStringLiteral("cannot start: %1").arg(error));
        return 1;
    }
    QObject::connect(&host, &ServerHost::Finished, &app, &QCoreApplication::quit);
    QObject::connect(&host, &ServerHost::Failed, &app, [&app] { app.exit(1); });
    return app.exec();
}
