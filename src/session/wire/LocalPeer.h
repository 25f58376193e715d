#pragma once

// The per-user socket's surroundings, shared by the workstation and the session
// server: whose process is at the other end of a connection, the lock files that
// make one server per socket and per database, and the private folder the socket
// lives in when the user has no runtime folder.

#include <QString>

namespace wire {

// Credentials of the process at the other end of a connected local socket.
struct PeerCredentials {
    bool known = false;
    qint64 pid = 0;
    quint32 uid = 0;
};
PeerCredentials PeerOf(qintptr socketDescriptor);
quint32 OwnUid();
// "process 1234 (name) of user 1000" for log lines and error texts.
QString DescribePeer(const PeerCredentials& peer);

// Lets the kernel hold up to bytes of unread output on a connected local socket, so
// a large answer crosses in a few big steps instead of hundreds of small ones (the
// system's own ceiling still applies). false when the socket refuses.
bool WidenSendBuffer(qintptr socketDescriptor, int bytes);

// The lock file beside a socket or a database ("<path>.lock"). A socket name that is
// not a path lives in the temporary folder, as the local socket itself does.
QString LockPathFor(const QString& socketOrFile);

// An exclusive advisory lock (flock) held for the life of the object. The holder's
// process id is written into the file, so a refused starter can say who holds it.
class ExclusiveFileLock {
public:
    ExclusiveFileLock() = default;
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

    // false when another process holds it (holderPid then names it when known) or the
    // file cannot be opened (error says why).
    bool TryAcquire(const QString& path, qint64* holderPid, QString* error);
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// True while some process holds the exclusive lock on path (a server is alive).
bool LockIsHeld(const QString& path);

// The folder of the default socket when the user has no runtime folder: a folder of
// the user's own inside the shared temporary folder ("<temp>/orvex-<uid>").
QString PrivateSocketFolder();
// True when the socket lives in that folder, which must then be private.
bool InPrivateSocketFolder(const QString& socketName);

// Makes sure folder exists as a private folder of this user (created 0700; an
// existing one must be a real folder owned by this user with no access for others).
// create false: a missing folder is fine, only a wrong one is refused.
bool EnsurePrivateFolder(const QString& folder, bool create, QString* error);

} // namespace wire
