// The server process as a host: one server per socket and per store, a slow store
// preparation, hostile or stuck clients with the server's memory watched, and the
// places its socket may live.
#include "server/host/ServerHost.h"
#include "WireClient.h"
#include "server/core/Store.h"
#include "support/StoreCache.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using wireclient::ServerPath;
using wireclient::WireClient;

namespace {

const QChar NUL(u'\0');

QString ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Resident memory of a process in MiB, from /proc.
qint64 RssMiB(qint64 pid) {
    const QString status = ReadFile(QStringLiteral("/proc/%1/status").arg(pid));
    for (const QString& line : status.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("VmRSS:")))
            return line.mid(6).trimmed().split(QLatin1Char(' ')).value(0).toLongLong() / 1024;
    return -1;
}

// A server process with its own socket, database and log in a temporary folder.
struct Server {
    QProcess process;
    QString socket, db, log;
    void Start(const QString& folder, const QString& name, QStringList extra = {},
               const QString& dbPath = {}, const QString& socketPath = {}) {
        socket = socketPath.isEmpty() ? folder + QLatin1Char('/') + name + QStringLiteral(".sock")
                                      : socketPath;
        db = dbPath.isEmpty() ? folder + QLatin1Char('/') + name + QStringLiteral(".sqlite")
                              : dbPath;
        log = folder + QLatin1Char('/') + name + QStringLiteral(".log");
        process.setProgram(ServerPath());
        process.setArguments(QStringList{QStringLiteral("--db"), db, QStringLiteral("--socket"),
                                         socket, QStringLiteral("--log"), log,
                                         QStringLiteral("--login-delay"), QStringLiteral("0"),
                                         QStringLiteral("--idle"), QStringLiteral("60")}
                             << extra);
        // Under the address sanitizer freed memory is held back (256 MiB by default),
        // which would read as the server's own; keep that small for the memory checks.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) +
                       QStringLiteral(":quarantine_size_mb=8:thread_local_quarantine_size_kb=64"));
        process.setProcessEnvironment(env);
        process.start();
        process.waitForStarted(10000);
    }
    // Starts on a copy of a freshly prepared demo store, made once per build.
    void StartPrepared(const QString& folder, const QString& name, const QStringList& extra = {},
                       const QString& dbPath = {}) {
        const QString path = dbPath.isEmpty()
                                 ? folder + QLatin1Char('/') + name + QStringLiteral(".sqlite")
                                 : dbPath;
        EXPECT_TRUE(storecache::CopyServerStore(ServerPath(), path));
        Start(folder, name, extra, path);
    }
    QString Log() const { return ReadFile(log); }
    ~Server() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }
};

QString Pair(const char* key, const QString& value) {
    return QLatin1String(key) + QLatin1Char('=') + value + NUL;
}

// Polls a condition outside the event loop (the log file of another process).
template <typename Pred> bool PollUntil(Pred pred, int ms) {
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

// How long a fresh session of a bystander waits for the answer to a small list.
qint64 BystanderMs(const QString& socket) {
    QElapsedTimer t;
    t.start();
    WireClient c;
    if (!c.Connect(socket, QStringLiteral("SesBystander")) || !c.Login())
        return -1;
    wire::Message m;
    const quint32 id = c.Request(QStringLiteral("SpisokBB"), Pair("chto", QStringLiteral("404")));
    if (!c.Answer(id, &m, 20000) || m.type != wire::MessageType::Data)
        return -1;
    return t.elapsed();
}

TEST(ServerHost, OfServersStartedAtOnceExactlyOneServes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Ten servers on one socket, each with a database of its own.
    {
        std::vector<std::unique_ptr<Server>> servers;
        for (int i = 0; i < 10; ++i) {
            servers.push_back(std::make_unique<Server>());
            servers.back()->Start(dir.path(), QStringLiteral("ten%1").arg(i), {}, {},
                                  dir.filePath(QStringLiteral("one.sock")));
        }
        auto exited = [&] {
            return std::count_if(servers.begin(), servers.end(), [](const auto& s) {
                return s->process.state() == QProcess::NotRunning;
            });
        };
        // The losers go at once, whichever order they were started in; the one that
        // serves is still running three seconds after the last of them.
        QDeadlineTimer deadline(60000);
        while (exited() < 9 && !deadline.hasExpired())
            for (auto& s : servers)
                if (s->process.state() != QProcess::NotRunning)
                    s->process.waitForFinished(20);
        for (auto& s : servers)
            if (s->process.state() != QProcess::NotRunning)
                s->process.waitForFinished(3000);
        EXPECT_EQ(exited(), 9);
        for (auto& s : servers) {
            if (s->process.state() == QProcess::Running) {
                WireClient c;
                EXPECT_TRUE(c.Connect(s->socket, QStringLiteral("SesTorg")));
                continue;
            }
            EXPECT_EQ(s->process.exitCode(), 1);
            EXPECT_TRUE(s->Log().contains(QStringLiteral("already serves the socket")))
                << s->Log().toStdString();
            EXPECT_FALSE(QFile::exists(s->db)); // the losers never touch a database
        }
    }
    // Twenty pairs on one database, each server with a socket of its own.
    const QString db = dir.filePath(QStringLiteral("shared.sqlite"));
    ASSERT_TRUE(storecache::CopyServerStore(ServerPath(), db));
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        Server a, b;
        a.Start(dir.path(), QStringLiteral("a%1").arg(round), {}, db);
        b.Start(dir.path(), QStringLiteral("b%1").arg(round), {}, db);
        Server* loser = nullptr;
        QDeadlineTimer deadline(30000);
        while (!loser && !deadline.hasExpired()) {
            if (a.process.waitForFinished(50))
                loser = &a;
            else if (b.process.waitForFinished(50))
                loser = &b;
        }
        ASSERT_TRUE(loser);
        Server* winner = loser == &a ? &b : &a;
        EXPECT_EQ(loser->process.exitCode(), 1);
        EXPECT_TRUE(loser->Log().contains(QStringLiteral("is in use by another session server")))
            << loser->Log().toStdString();
        WireClient c;
        EXPECT_TRUE(c.Connect(winner->socket, QStringLiteral("SesTorg")));
        EXPECT_EQ(winner->process.state(), QProcess::Running);
    }
}

TEST(ServerHost, SlowStorePreparationIsReportedAndRequestsWaitForIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Server s;
    // Longer than the five seconds the workstation once gave a starting server.
    s.Start(dir.path(), QStringLiteral("slow"),
            {QStringLiteral("--prepare-delay"), QStringLiteral("6000")});
    WireClient c;
    ASSERT_TRUE(c.Connect(s.socket, QStringLiteral("SesTorg")));
    c.Send(wire::Message::Login());
    const quint32 id = c.Request(QStringLiteral("SpisokBB"), Pair("chto", QStringLiteral("408")));
    std::vector<int> progress;
    bool acked = false, loggedIn = false, answered = false;
    wire::Message m;
    while (!(answered && loggedIn) && c.Next(&m, 60000)) {
        if (m.type == wire::MessageType::Progress) {
            EXPECT_FALSE(loggedIn);
            progress.push_back(m.b);
        } else if (m.type == wire::MessageType::Ack && m.id == id) {
            acked = true;
        } else if (m.type == wire::MessageType::LoggedIn) {
            loggedIn = true;
        } else if (m.type == wire::MessageType::Data && m.id == id) {
            answered = true;
            EXPECT_FALSE(m.rows.empty());
        }
    }
    EXPECT_TRUE(acked);
    EXPECT_TRUE(loggedIn);
    EXPECT_TRUE(answered);
    ASSERT_GE(progress.size(), 3u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(s.Log().contains(QStringLiteral("preparing the store: ")));
}

// Each hostile client against a server with small limits: its connection is closed
// (or its reading stopped) with a log line, the server's memory stays bounded and
// a bystander is served meanwhile.
TEST(ServerHost, HostileClientsAreBoundedAndABystanderIsServed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Server s;
    s.StartPrepared(dir.path(), QStringLiteral("hostile"),
                    {QStringLiteral("--stuck-timeout"), QStringLiteral("2"),
                     QStringLiteral("--max-connections"), QStringLiteral("12"),
                     QStringLiteral("--max-queued-mb"), QStringLiteral("2"),
                     QStringLiteral("--control")});
    {
        WireClient warm;
        ASSERT_TRUE(warm.Connect(s.socket, QStringLiteral("SesWarm")));
        ASSERT_TRUE(warm.Login());
    }
    const qint64 pid = s.process.processId();
    const qint64 baseline = RssMiB(pid);
    ASSERT_GT(baseline, 0);
    constexpr qint64 kGrowthBoundMiB = 96; // stated bound on what a hostile client may cost

    const QString listParams =
        Pair("chto", QStringLiteral("211")) + Pair("filter_order_status", QStringLiteral("0"));
    std::vector<std::unique_ptr<QLocalSocket>> raw; // connections that never greet
    auto rawConnect = [&](int count) {
        for (int i = 0; i < count; ++i) {
            raw.push_back(std::make_unique<QLocalSocket>());
            raw.back()->connectToServer(s.socket);
            raw.back()->waitForConnected(5000);
        }
    };
    struct Case {
        const char* name;
        std::function<void(std::vector<std::unique_ptr<WireClient>>&)> act;
        QString logLine;   // the server's line about it
        bool closed;       // the hostile connection is closed
        bool full = false; // the server is full until the hostile connections are closed
    };
    // How long a hostile client's log line may take: a server built with the
    // sanitizers on a loaded machine fills a never-read change stream slowly.
    constexpr int kLogWaitMs = 120000;
    const std::vector<Case> cases = {
        {"request frame over 16 MiB",
         [&](auto& clients) {
             QByteArray head(5, '\0');
             qToLittleEndian(quint32(ServerHost::kMaxRequestFrame + 1), head.data());
             head[4] = char(wire::MessageType::Request);
             clients[0]->SendRaw(head + QByteArray(4096, 'x'));
         },
         QStringLiteral("wire: frame length 16777217 out of range"), true},
        {"half a frame held",
         [&](auto& clients) {
             QByteArray head(5, '\0');
             qToLittleEndian(quint32(1000), head.data());
             head[4] = char(wire::MessageType::Request);
             clients[0]->SendRaw(head + QByteArray(100, 'x'));
         },
         QStringLiteral("half a frame (105 bytes) held for 2 s"), true},
        {"nothing sent after connecting", [&](auto&) { rawConnect(1); },
         QStringLiteral("nothing sent for 2 s after connecting"), true},
        {"more connections than the limit", [&](auto&) { rawConnect(12); },
         QStringLiteral("the limit of 12 connections is reached"), true, true},
        {"list requests never read",
         [&](auto& clients) {
             for (int i = 0; i < 3000; ++i)
                 clients[0]->Request(QStringLiteral("SpisokBB"), listParams);
         },
         QString(), false},
        {"change stream never read",
         [&](auto& clients) {
             clients[0]->Request(QStringLiteral("IzmenaBB"), QString());
             WireClient ctl;
             ASSERT_TRUE(ctl.Connect(s.socket, QStringLiteral("ctl")));
             wire::Message m;
             ASSERT_TRUE(ctl.Answer(ctl.Request(QStringLiteral("ParvaneControl"),
                                                Pair("action", QStringLiteral("simrate")) +
                                                    Pair("rate", QStringLiteral("20000"))),
                                    &m));
         },
         QStringLiteral("change-stream subscriber does not read"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        raw.clear();
        std::vector<std::unique_ptr<WireClient>> clients;
        // The previous case's connections may still be on their way out.
        ASSERT_TRUE(PollUntil(
            [&] {
                clients.clear();
                clients.push_back(std::make_unique<WireClient>());
                return clients[0]->Connect(s.socket, QStringLiteral("SesHostile"));
            },
            30000));
        clients[0]->Send(wire::Message::Login());
        c.act(clients);
        qint64 bystanderMs = -1;
        if (c.full) {
            // A full server takes nobody until its stuck connections are closed.
            ASSERT_TRUE(PollUntil([&] { return s.Log().contains(c.logLine); }, kLogWaitMs));
            PollUntil([&] { return (bystanderMs = BystanderMs(s.socket)) >= 0; }, 30000);
        } else {
            bystanderMs = BystanderMs(s.socket);
        }
        std::printf("[ %s ] bystander served in %lld ms, server RSS %lld MiB (baseline %lld)\n",
                    c.name, qlonglong(bystanderMs), qlonglong(RssMiB(pid)), qlonglong(baseline));
        // Served at all (the wait for its answer is bounded); how fast is a figure for
        // the log, since a loaded test machine stretches it.
        EXPECT_GE(bystanderMs, 0);
        if (c.closed) {
            // Nobody reads the hostile socket, so its closing is seen in the log.
            EXPECT_TRUE(PollUntil([&] { return s.Log().contains(c.logLine); }, kLogWaitMs))
                << s.Log().right(2000).toStdString();
        }
        // The highest resident memory over a few seconds of the client's pressure.
        qint64 peak = 0;
        for (int i = 0; i < 20; ++i, QThread::msleep(100))
            peak = std::max(peak, RssMiB(pid));
        std::printf("[ %s ] peak server RSS %lld MiB\n", c.name, qlonglong(peak));
        EXPECT_LT(peak - baseline, kGrowthBoundMiB);
    }
    EXPECT_EQ(s.process.state(), QProcess::Running);
}

TEST(ServerHost, ASquatterOnTheSocketIsNamedAndLeftAlone) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A plain listener of this user that is not a session server.
    const QString path = dir.filePath(QStringLiteral("squat.sock"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(addr.sun_path, name.constData(), size_t(name.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    Server s;
    s.Start(dir.path(), QStringLiteral("squat"), {}, {}, path);
    ASSERT_TRUE(s.process.waitForFinished(30000));
    EXPECT_EQ(s.process.exitCode(), 1);
    EXPECT_TRUE(s.Log().contains(QStringLiteral("is held by process %1").arg(::getpid())))
        << s.Log().toStdString();
    EXPECT_TRUE(s.Log().contains(QStringLiteral("which is not a session server")));
    EXPECT_TRUE(QFileInfo(path).exists()); // its socket is not taken over
    EXPECT_FALSE(QFile::exists(s.db));
    ::close(fd);
}

TEST(ServerHost, ConnectionsOfAnotherUserAreRefusedUnheard) {
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to connect as another user";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Server s;
    s.StartPrepared(dir.path(), QStringLiteral("peer"));
    {
        WireClient own;
        ASSERT_TRUE(own.Connect(s.socket, QStringLiteral("SesTorg")));
    }
    // Past the file modes, so that only the peer check stands in the way.
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    ::chmod(QFile::encodeName(s.socket).constData(), 0777);
    const QByteArray path = QFile::encodeName(s.socket);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Exit 0: connected and closed without a byte; 1: the server spoke; 2: no connection.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            ::_exit(2);
        char byte = 0;
        ::_exit(::read(fd, &byte, 1) == 0 ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(PollUntil(
        [&] {
            return s.Log().contains(QStringLiteral("of user 65534 is not this "
                                                   "server's user"));
        },
        10000))
        << s.Log().toStdString();
}

TEST(ServerHost, AStoreOfAnEarlierDayStartsTodaysTradingDay) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString db = dir.filePath(QStringLiteral("old.sqlite"));
    {
        Server first;
        first.StartPrepared(dir.path(), QStringLiteral("first"), {}, db);
        WireClient c;
        ASSERT_TRUE(c.Connect(first.socket, QStringLiteral("SesTorg")));
        ASSERT_TRUE(c.Login());
    }
    {
        // The day the store was left on is over.
        Store store;
        QString error;
        ASSERT_TRUE(store.Open(db, &error)) << error.toStdString();
        store.SetState(QStringLiteral("trading_date"),
                       QDate::currentDate().addDays(-1).toString(Qt::ISODate));
    }
    Server second;
    second.Start(dir.path(), QStringLiteral("second"), {}, db);
    WireClient c;
    ASSERT_TRUE(c.Connect(second.socket, QStringLiteral("SesTorg")));
    ASSERT_TRUE(c.Login());
    wire::Message m;
    const quint32 id = c.Request(QStringLiteral("SQLtorgBB"), Pair("vrs", QStringLiteral("3.72")));
    ASSERT_TRUE(c.Answer(id, &m));
    ASSERT_FALSE(m.rows.empty());
    EXPECT_EQ(m.rows[0].split(NUL).value(1),
              QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
    EXPECT_TRUE(second.Log().contains(QStringLiteral("a new calendar day")));
}

} // namespace
