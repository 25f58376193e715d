#include "server/core/ServerLog.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>

#include <cstdio>

namespace {
struct LogState {
    QMutex mutex;
    QFile file;
    bool quiet = false;
    QStringList recent;
};
LogState& State() {
    static LogState state;
    return state;
}
constexpr int kRecent = 200;
} // namespace

namespace ServerLog {

void SetFile(const QString& path) {
    LogState& s = State();
    QMutexLocker lock(&s.mutex);
    if (s.file.isOpen())
        s.file.close();
    if (path.isEmpty())
        return;
    s.file.setFileName(path);
    if (!s.file.open(QIODevice::Append | QIODevice::Text))
        std::fprintf(stderr, "parvane: cannot open log file %s\n", qPrintable(path));
}

void SetQuiet(bool quiet) {
    LogState& s = State();
    QMutexLocker lock(&s.mutex);
    s.quiet = quiet;
}

void Line(const QString& text) {
    LogState& s = State();
    const QString line =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz ")) + text;
    QMutexLocker lock(&s.mutex);
    s.recent << text;
    if (s.recent.size() > kRecent)
        s.recent.removeFirst();
    if (s.quiet)
        return;
    const QByteArray bytes = line.toUtf8() + '\n';
    if (s.file.isOpen()) {
        s.file.write(bytes);
        s.file.flush();
    } else {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    }
}

QStringList Recent() {
    LogState& s = State();
    QMutexLocker lock(&s.mutex);
    return s.recent;
}

void ClearRecent() {
    LogState& s = State();
    QMutexLocker lock(&s.mutex);
    s.recent.clear();
}

} // namespace ServerLog
