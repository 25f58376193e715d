#pragma once

// Helpers for tests and harnesses that run against the real session server process.
#include "shell/base/Services.h"
#include "support/StoreCache.h"

#include <QCoreApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <csignal>
#include <sys/types.h>
#include <vector>

namespace realserver {

// Starts programs for real and remembers their process ids, so a test can kill
// them; whatever is still running is killed when the recorder goes.
class RecordingProcess : public IProcessService {
public:
    std::vector<qint64> pids;
    bool StartDetached(const QString& program, const QStringList& arguments,
                       const QString& folder) override {
        qint64 pid = 0;
        if (!QProcess::startDetached(program, arguments, folder, &pid))
            return false;
        pids.push_back(pid);
        return true;
    }
    ~RecordingProcess() override {
        for (qint64 pid : pids)
            ::kill(pid_t(pid), SIGKILL);
    }
};

// Runs the event loop until pred holds or ms milliseconds have passed.
template <typename Pred> bool WaitUntil(Pred pred, int ms, int sliceMs = 20) {
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, sliceMs);
        QThread::msleep(sliceMs > 5 ? 5 : 1);
    }
    return true;
}

// The server executable: in ORVEX_BIN_DIR (set for tests) or beside this program.
inline QString ServerBinary() {
    QString dir = qEnvironmentVariable("ORVEX_BIN_DIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath();
    return QDir(dir).filePath(QStringLiteral("parvane"));
}

// Puts a copy of the server's freshly prepared demo store of today at path, so that
// the server started on it skips making one (seconds under the sanitizers). The store
// is made once per server build, options and day by `parvane --prepare-only` and
// shared by the tests of the build. false when none could be made: the server then
// makes its own on start, as on a first start.
inline bool PrepareStore(const QString& path, const QStringList& options = {}) {
    const QString server = ServerBinary();
    const QString key = storecache::BuildOf(server) + QLatin1Char('|') +
                        options.join(QLatin1Char(' ')) + QLatin1Char('|') +
                        QDate::currentDate().toString(Qt::ISODate);
    auto make = [&](const QString& part) {
        // Only the options given here decide what the store holds.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& name : env.keys())
            if (name.startsWith(QLatin1String("ORVEX_SERVER_")))
                env.remove(name);
        QProcess prepare;
        prepare.setProcessEnvironment(env);
        prepare.start(server,
                      QStringList{QStringLiteral("--prepare-only"), QStringLiteral("--db"), part} +
                          options);
        return prepare.waitForFinished(300000) && prepare.exitStatus() == QProcess::NormalExit &&
               prepare.exitCode() == 0;
    };
    return storecache::CopyPrepared(storecache::FolderBeside(server), key, make, path);
}

} // namespace realserver
