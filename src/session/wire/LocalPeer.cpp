#include "session/wire/LocalPeer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wire {

PeerCredentials PeerOf(qintptr socketDescriptor) {
    PeerCredentials peer;
    if (socketDescriptor < 0)
        return peer;
    ucred cred{};
    socklen_t size = sizeof cred;
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0 &&
        size == sizeof cred) {
        peer.known = true;
        peer.pid = cred.pid;
        peer.uid = cred.uid;
    }
    return peer;
}

bool WidenSendBuffer(qintptr socketDescriptor, int bytes) {
    if (socketDescriptor < 0 || bytes <= 0)
        return false;
    return ::setsockopt(int(socketDescriptor), SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0;
}

quint32 OwnUid() {
    return ::getuid();
}

QString DescribePeer(const PeerCredentials& peer) {
    if (!peer.known)
        return QStringLiteral("an unknown process");
    QFile comm(QStringLiteral("/proc/%1/comm").arg(peer.pid));
    QString name;
    if (comm.open(QIODevice::ReadOnly))
        name = QString::fromLocal8Bit(comm.readAll()).trimmed();
    return QStringLiteral("process %1%2 of user %3")
        .arg(peer.pid)
        .arg(name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name))
        .arg(peer.uid);
}

QString LockPathFor(const QString& socketOrFile) {
    const QString path = socketOrFile.startsWith(QLatin1Char('/'))
                             ? socketOrFile
                             : QDir(QDir::tempPath()).filePath(socketOrFile);
    return path + QStringLiteral(".lock");
}

ExclusiveFileLock::~ExclusiveFileLock() {
    if (fd_ >= 0)
        ::close(fd_); // closing releases the lock; the file stays for the next holder
}

bool ExclusiveFileLock::TryAcquire(const QString& path, qint64* holderPid, QString* error) {
    if (holderPid)
        *holderPid = 0;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("cannot open the lock file %1: %2")
                         .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        char buffer[32] = {};
        const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
        if (holderPid && n > 0)
            *holderPid = QByteArray(buffer, int(n)).trimmed().toLongLong();
        ::close(fd);
        if (error)
            *error = code == EWOULDBLOCK ? QStringLiteral("held by another process")
                                         : QString::fromLocal8Bit(std::strerror(code));
        return false;
    }
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) < 0) {
        // The pid is only a courtesy for the next starter's message.
    }
    fd_ = fd;
    return true;
}

bool LockIsHeld(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

QString PrivateSocketFolder() {
    return QDir(QDir::tempPath()).filePath(QStringLiteral("orvex-%1").arg(::getuid()));
}

bool InPrivateSocketFolder(const QString& socketName) {
    return QFileInfo(socketName).absolutePath() == PrivateSocketFolder();
}

bool EnsurePrivateFolder(const QString& folder, bool create, QString* error) {
    const QByteArray name = QFile::encodeName(folder);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0) {
        if (errno != ENOENT) {
            *error = QStringLiteral("cannot inspect %1: %2")
                         .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        if (!create)
            return true;
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
            *error = QStringLiteral("cannot create the private folder %1: %2")
                         .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        if (::lstat(name.constData(), &st) != 0) {
            *error = QStringLiteral("cannot inspect %1").arg(folder);
            return false;
        }
    }
    if (!S_ISDIR(st.st_mode)) {
        *error = QStringLiteral("%1 is not a folder").arg(folder);
        return false;
    }
    if (st.st_uid != ::getuid()) {
        *error = QStringLiteral("the folder %1 belongs to user %2, not to this user (%3)")
                     .arg(folder)
                     .arg(st.st_uid)
                     .arg(::getuid());
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        *error = QStringLiteral("the folder %1 is open to other users (mode %2)")
                     .arg(folder)
                     .arg(st.st_mode & 0777, 3, 8, QLatin1Char('0'));
        return false;
    }
    return true;
}

} // namespace wire
