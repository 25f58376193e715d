#pragma once

// Helpers for tests and harnesses that run against the real session server process.
#include "shell/base/Services.h"
#include "support/StoreCache.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
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
// is made once per server build, options and day and shared by the tests of the build.
inline bool PrepareStore(const QString& path, const QStringList& options = {}) {
    return storecache::CopyServerStore(ServerBinary(), path, options);
}

} // namespace realserver
