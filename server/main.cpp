// parvane: the session server stand-in. See docs/server.md.
#include "server/core/ServerLog.h"
#include "server/host/ControlClient.h"
#include "server/host/ServerHost.h"
#include "server/host/ServerOptions.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvex"));
    QCoreApplication::setApplicationName(QStringLiteral("parvane"));
    std::signal(SIGPIPE, SIG_IGN);

    ServerOptions options;
    QString error;
    if (!ServerOptions::Parse(app.arguments(), &options, &error)) {
        std::fprintf(stderr, "parvane: %s\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(ServerOptions::HelpText()), stdout);
        return 0;
    }
    if (!options.ctl.isEmpty()) {
        QString output;
        const int code = ControlClient::Run(options.socketName, options.ctl, &output);
        std::fprintf(code == 0 ? stdout : stderr, "%s\n", qPrintable(output));
        return code;
    }
    ServerLog::SetFile(options.logFile);
    ServerHost host(options);
    if (!host.Start(&error)) {
        ServerLog::Line(QStringLiteral("cannot start: %1").arg(error));
        return 1;
    }
    QObject::connect(&host, &ServerHost::Finished, &app, &QCoreApplication::quit);
    QObject::connect(&host, &ServerHost::Failed, &app, [&app] { app.exit(1); });
    return app.exec();
}
