// The socket's surroundings: the private folder it lives in without a runtime
// folder, and the lock files that keep one server per socket and per store.
#include "session/wire/LocalPeer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(LocalPeer, PrivateSocketFolderIsCreatedOrRefused) {
    struct Case {
        const char* name;
        std::function<void(const QString& folder)> prepare;
        bool accepted;
        const char* why; // part of the refusal
    };
    const std::vector<Case> cases = {
        {"missing: created", [](const QString&) {}, true, ""},
        {"ours and private", [](const QString& f) { ::mkdir(QFile::encodeName(f), 0700); }, true,
         ""},
        {"open to others",
         [](const QString& f) {
             ::mkdir(QFile::encodeName(f), 0700);
             ::chmod(QFile::encodeName(f), 0755);
         },
         false, "open to other users"},
        {"a file in its place",
         [](const QString& f) {
             QFile file(f);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
         },
         false, "is not a folder"},
        {"a link to elsewhere",
         [](const QString& f) { ASSERT_EQ(::symlink("/", QFile::encodeName(f)), 0); }, false,
         "is not a folder"},
        {"another user's",
         [](const QString& f) {
             ::mkdir(QFile::encodeName(f), 0700);
             if (::getuid() == 0) {
                 ASSERT_EQ(::chown(QFile::encodeName(f), 65534, 65534), 0);
             }
         },
         ::getuid() != 0, "belongs to user 65534"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString folder = dir.filePath(QStringLiteral("orvex"));
        c.prepare(folder);
        QString error;
        EXPECT_EQ(wire::EnsurePrivateFolder(folder, true, &error), c.accepted)
            << error.toStdString();
        if (c.accepted) {
            struct stat st {};
            ASSERT_EQ(::lstat(QFile::encodeName(folder), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0700u);
        } else {
            EXPECT_TRUE(error.contains(QLatin1String(c.why))) << error.toStdString();
        }
    }
}

TEST(LocalPeer, OnlyTheDefaultSocketFolderMustBePrivate) {
    EXPECT_EQ(wire::PrivateSocketFolder(),
              QDir::tempPath() + QStringLiteral("/orvex-%1").arg(::getuid()));
    EXPECT_TRUE(
        wire::InPrivateSocketFolder(wire::PrivateSocketFolder() + QStringLiteral("/parvane.sock")));
    // A socket named by the environment or the command line lives where it is told.
    EXPECT_FALSE(wire::InPrivateSocketFolder(QDir::tempPath() + QStringLiteral("/t/s.sock")));
    EXPECT_FALSE(wire::InPrivateSocketFolder(QStringLiteral("/run/user/77/orvex-parvane.sock")));
}

TEST(LocalPeer, ExclusiveLockIsHeldByOneAndNamesItsHolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = wire::LockPathFor(dir.filePath(QStringLiteral("s.sock")));
    EXPECT_EQ(path, dir.filePath(QStringLiteral("s.sock.lock")));
    EXPECT_FALSE(wire::LockIsHeld(path));
    {
        wire::ExclusiveFileLock first;
        qint64 holder = -1;
        QString error;
        ASSERT_TRUE(first.TryAcquire(path, &holder, &error)) << error.toStdString();
        EXPECT_TRUE(wire::LockIsHeld(path));
        wire::ExclusiveFileLock second; // flock locks belong to the open file, not the process
        EXPECT_FALSE(second.TryAcquire(path, &holder, &error));
        EXPECT_EQ(holder, qint64(::getpid()));
        EXPECT_FALSE(second.Held());
    }
    EXPECT_FALSE(wire::LockIsHeld(path)); // released with its holder
    wire::ExclusiveFileLock again;
    EXPECT_TRUE(again.TryAcquire(path, nullptr, nullptr));
}

TEST(LocalPeer, SendBufferIsWidenedUpToTheSystemCeiling) {
    int pair[2] = {-1, -1};
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    auto sendBuffer = [&] {
        int bytes = 0;
        socklen_t size = sizeof bytes;
        ::getsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &bytes, &size);
        return bytes;
    };
    const int before = sendBuffer();
    EXPECT_FALSE(wire::WidenSendBuffer(-1, 1 << 20));
    EXPECT_FALSE(wire::WidenSendBuffer(pair[0], 0));
    EXPECT_EQ(sendBuffer(), before);
    EXPECT_TRUE(wire::WidenSendBuffer(pair[0], 1 << 20));
    // The kernel books twice the asked size for its own records, capped by its ceiling.
    QFile ceilingFile(QStringLiteral("/proc/sys/net/core/wmem_max"));
    if (ceilingFile.open(QIODevice::ReadOnly)) {
        const int ceiling = ceilingFile.readAll().trimmed().toInt();
        EXPECT_EQ(sendBuffer(), 2 * std::min(1 << 20, ceiling));
    }
    ::close(pair[0]);
    ::close(pair[1]);
}

} // namespace
