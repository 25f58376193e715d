#include "Log.h"

#include "Beep.h"
#include "session/wire/Cp1251.h"

#include <QDateTime>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

QString& CurrentLogName() {
    static QString name = QStringLiteral("norvane.log");
    return name;
}

// Holds an exclusive lock on an open file for the duration of one write.
class FileLock {
public:
    explicit FileLock(int fd) : fd_(fd) { locked_ = ::flock(fd_, LOCK_EX) == 0; }
    ~FileLock() {
        if (locked_)
            ::flock(fd_, LOCK_UN);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool locked() const { return locked_; }

private:
    int fd_;
    bool locked_ = false;
};

} // namespace

QString LogFileName() {
    return CurrentLogName();
}

void SetLogFileName(const QString& fileName) {
    CurrentLogName() = fileName;
}

void WriteLog(const QString& text, const QString& fileName) {
    const QString name = fileName.isEmpty() ? CurrentLogName() : fileName;
    const QByteArray path = QFile::encodeName(name);

    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yy hh:mm:ss"));
    const long threadId = ::syscall(SYS_gettid);
    QByteArray line = Cp1251::Encode(stamp + QStringLiteral("  ") + QString::number(threadId) +
                                     QLatin1Char(' ') + text);
    line.append("\r\n");

    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return; // a log that cannot be created or opened loses the line
    qint64 sizeBefore = 0;
    {
        FileLock lock(fd);
        if (!lock.locked()) {
            ::close(fd);
            return;
        }
        sizeBefore = ::lseek(fd, 0, SEEK_END);
        const ssize_t written = ::write(fd, line.constData(), static_cast<size_t>(line.size()));
        if (written != static_cast<ssize_t>(line.size()))
            ShortBeep();
    }
    ::close(fd);

    if (sizeBefore >= kLogSizeLimit) {
        const QString old = name + QStringLiteral(".old");
        QFile::remove(old);
        QFile::rename(name, old);
    }
}
