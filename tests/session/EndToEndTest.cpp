// A real session against the real session server: the session starts it, it is
// killed, and the session notices, starts it again and logs in again.
#include "session/LocalSocketSession.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "shell/base/Services.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/types.h>

#include "support/RealServer.h"

namespace {

using realserver::RecordingProcess;
using realserver::ServerBinary;
using realserver::WaitUntil;

TEST(EndToEnd, SessionsRestartAKilledServerOnceAndLogInAgain) {
    const QString server = ServerBinary();
    if (!QFileInfo(server).isExecutable())
        GTEST_SKIP() << "no session server at " << server.toStdString();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString db = dir.filePath(QStringLiteral("store.sqlite"));
    ASSERT_TRUE(realserver::PrepareStore(db));
    qputenv("ORVEX_SERVER_SOCKET", dir.filePath(QStringLiteral("parvane.sock")).toUtf8());
    qputenv("ORVEX_SERVER_DB", db.toUtf8());
    qputenv("ORVEX_SERVER_LOG", dir.filePath(QStringLiteral("parvane.log")).toUtf8());
    qputenv("ORVEX_SERVER_IDLE", "5");
    qputenv("ORVEX_SERVER_PATH", server.toUtf8());
    auto process = std::make_shared<RecordingProcess>();
    Services::SetProcess(process);
    LocalSocketSession::ResetFirstFailure();
    LocalSocketSession::SetAttachTimeout(30000);
    LocalSocketSession::SetReattachInterval(200);

    {
        TMetadataSession session(QStringLiteral("SesTorg"), true);
        ASSERT_EQ(process->pids.size(), 1u);
        int logins = 0, disconnects = 0, answers = 0;
        session.OnLogin = [&](TBrokerSession*) { ++logins; };
        session.OnDisconnect = [&](TBrokerSession*) { ++disconnects; };
        session.OnData = [&](TBrokerSession*) { ++answers; };

        session.Login();
        ASSERT_TRUE(WaitUntil([&] { return logins == 1; }, 20000));
        // Ten windows' sessions beside it.
        std::vector<std::unique_ptr<TBrokerSession>> windows;
        std::vector<int> windowLogins(10, 0);
        for (int i = 0; i < 10; ++i) {
            windows.push_back(
                std::make_unique<TBrokerSession>(QStringLiteral("SesWin%1").arg(i), true));
            windows.back()->OnLogin = [&windowLogins, i](TBrokerSession*) {
                ++windowLogins[size_t(i)];
            };
            windows.back()->Login();
        }
        auto allWindowsLoggedIn = [&](int times) {
            return std::all_of(windowLogins.begin(), windowLogins.end(),
                               [times](int n) { return n == times; });
        };
        ASSERT_TRUE(WaitUntil([&] { return allWindowsLoggedIn(1); }, 20000));
        session.Parser().SendList(QStringLiteral("SpisokBB"), QStringLiteral("409"),
                                  PairParams({{"chto", "409"}}));
        ASSERT_TRUE(WaitUntil([&] { return answers == 1; }, 20000));
        EXPECT_GT(session.GetRowCount(), 0);
        EXPECT_TRUE(session.Parser().IsValid());
        EXPECT_EQ(session.GetRequestParam(QStringLiteral("chto")), QStringLiteral("409"));

        ::kill(pid_t(process->pids.front()), SIGKILL);
        ASSERT_TRUE(WaitUntil([&] { return disconnects == 1; }, 10000));
        ASSERT_TRUE(WaitUntil([&] { return logins == 2; }, 40000));
        ASSERT_TRUE(WaitUntil([&] { return allWindowsLoggedIn(2); }, 40000));
        EXPECT_EQ(process->pids.size(), 2u); // eleven sessions, one restart

        // The restarted server answers, with the cached metadata kept.
        session.Parser().SendList(QStringLiteral("SpisokBB"), QStringLiteral("409"),
                                  PairParams({{"chto", "409"}}));
        ASSERT_TRUE(WaitUntil([&] { return answers == 2; }, 20000));
        EXPECT_EQ(session.GetRequestParam(QStringLiteral("NoSendMetadata")), QStringLiteral("1"));
        EXPECT_TRUE(session.Parser().IsValid());
        EXPECT_GT(session.GetRowCount(), 0);
    }
    Services::SetProcess(std::make_shared<RecordingProcess>());
    LocalSocketSession::SetAttachTimeout(5000);
    LocalSocketSession::SetReattachInterval(1000);
    for (const char* name : {"ORVEX_SERVER_SOCKET", "ORVEX_SERVER_DB", "ORVEX_SERVER_LOG",
                             "ORVEX_SERVER_IDLE", "ORVEX_SERVER_PATH"})
        qunsetenv(name);
}

} // namespace

namespace {

TEST(EndToEnd, SlowFirstStartIsWaitedForAndItsProgressReported) {
    const QString server = ServerBinary();
    if (!QFileInfo(server).isExecutable())
        GTEST_SKIP() << "no session server at " << server.toStdString();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("ORVEX_SERVER_SOCKET", dir.filePath(QStringLiteral("parvane.sock")).toUtf8());
    qputenv("ORVEX_SERVER_DB", dir.filePath(QStringLiteral("store.sqlite")).toUtf8());
    qputenv("ORVEX_SERVER_LOG", dir.filePath(QStringLiteral("parvane.log")).toUtf8());
    qputenv("ORVEX_SERVER_IDLE", "5");
    qputenv("ORVEX_SERVER_PATH", server.toUtf8());
    // Longer than the five seconds a starting server used to be given.
    qputenv("ORVEX_SERVER_PREPARE_DELAY", "6000");
    auto process = std::make_shared<RecordingProcess>();
    Services::SetProcess(process);
    LocalSocketSession::ResetFirstFailure();
    {
        TMetadataSession session(QStringLiteral("SesTorg"), true);
        std::vector<int> progress;
        int logins = 0;
        session.OnProcess = [&](TBrokerSession*, int total, int read) {
            progress.push_back(read * 100 / std::max(1, total));
        };
        session.OnLogin = [&](TBrokerSession*) { ++logins; };
        session.Login();
        ASSERT_TRUE(WaitUntil([&] { return logins == 1; }, 60000));
        EXPECT_EQ(process->pids.size(), 1u);
        ASSERT_FALSE(progress.empty());
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        session.SendRequest(QStringLiteral("SQLtorgBB"), PairParams({{"vrs", "3.72"}}));
    }
    Services::SetProcess(std::make_shared<RecordingProcess>());
    for (const char* name :
         {"ORVEX_SERVER_SOCKET", "ORVEX_SERVER_DB", "ORVEX_SERVER_LOG", "ORVEX_SERVER_IDLE",
          "ORVEX_SERVER_PATH", "ORVEX_SERVER_PREPARE_DELAY"})
        qunsetenv(name);
}

} // namespace
