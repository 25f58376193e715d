// The local-socket link against an in-process server running in its own thread:
// requests and answers, refusals, faults on the wire, a dying server and the
// first-failure box.
#include "session/LocalSocketSession.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/WireProtocol.h"
#include "shell/base/Log.h"
#include "shell/base/Services.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace wire;

namespace {

QString Nul() {
    return QString(QChar(0));
}

// A server that speaks the protocol with canned behaviour chosen by request name.
class FakeServer : public QObject {
public:
    explicit FakeServer(const QString& name) : name_(name) {}

    std::atomic<int> accepted{0};
    std::atomic<int> requests{0};
    std::atomic<int> loginStateQueries{0};
    std::atomic<quint32> helloVersion{kProtocolVersion};

    void Listen() {
        if (!server_) {
            server_ = new QLocalServer(this);
            server_->setSocketOptions(QLocalServer::UserAccessOption);
            connect(server_, &QLocalServer::newConnection, this, [this] { Accept(); });
        }
        if (server_->isListening())
            return;
        QLocalServer::removeServer(name_);
        server_->listen(name_);
    }

    void Kill() {
        if (server_)
            server_->close();
        // abort() reports the disconnect at once, which erases the entry.
        std::vector<QLocalSocket*> sockets;
        for (auto& [socket, decoder] : decoders_)
            sockets.push_back(socket);
        for (QLocalSocket* socket : sockets)
            socket->abort();
    }

private:
    void Accept() {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            ++accepted;
            decoders_[socket] = std::make_shared<FrameDecoder>();
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
            connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
                decoders_.erase(socket);
                socket->deleteLater();
            });
            Message hello = Message::Hello(QStringLiteral("fake"));
            hello.version = helloVersion;
            socket->write(Encode(hello));
        }
    }

    void Read(QLocalSocket* socket) {
        auto it = decoders_.find(socket);
        if (it == decoders_.end())
            return;
        // Handling may close the socket, which drops its entry: hold the decoder.
        const std::shared_ptr<FrameDecoder> held = it->second;
        FrameDecoder& decoder = *held;
        decoder.Feed(socket->readAll());
        Message m;
        while (socket->state() == QLocalSocket::ConnectedState && decoder.Next(m))
            Handle(socket, m);
    }

    void Handle(QLocalSocket* socket, const Message& m) {
        switch (m.type) {
        case MessageType::Login:
            socket->write(Encode(Message::LoggedIn()));
            socket->write(Encode(Message::LoggedIn())); // a broadcast arriving as well
            break;
        case MessageType::LoginStateQuery:
            ++loginStateQueries;
            socket->write(Encode(Message::LoginStateAnswer(m.id, true)));
            break;
        case MessageType::Request:
            ++requests;
            Answer(socket, m);
            break;
        default:
            break;
        }
        socket->flush();
    }

    void Answer(QLocalSocket* socket, const Message& m) {
        if (m.text == QLatin1String("Fail")) {
            socket->write(Encode(Message::Error(m.id, QStringLiteral("Нет такого запроса"))));
            return;
        }
        if (m.text == QLatin1String("Silent"))
            return;
        socket->write(Encode(Message::Ack(m.id, m.operation == Operation::SendCommand ? 7 : 0)));
        if (m.text == QLatin1String("Garbage")) {
            socket->write(QByteArray("\x05\x00\x00\x00\x42garbage", 12));
            return;
        }
        if (m.text == QLatin1String("Drop")) { // the trading system goes away and comes back
            socket->write(Encode(Message::Disconnected()));
            socket->write(Encode(Message::CommonData()));
            socket->write(Encode(Message::LoggedIn()));
            return;
        }
        if (m.text == QLatin1String("Huge")) {
            QByteArray head(4, '\0');
            qToLittleEndian(quint32(kMaxFrameLength + 1), head.data());
            socket->write(head + char(0x84));
            return;
        }
        if (m.text == QLatin1String("Cut")) {
            socket->write(Encode(Message::Progress(1, 1)).left(6));
            socket->flush();
            socket->disconnectFromServer();
            return;
        }
        socket->write(Encode(Message::Progress(2, 1)));
        Message data = Message::Data(m.id);
        data.rows = {QStringLiteral("SBER") + Nul() + "10" + Nul(),
                     QStringLiteral("GAZP") + Nul() + "20" + Nul()};
        data.tables.push_back({QStringLiteral("METADATA.HEADER"),
                               {{QStringLiteral("METADATA_VERSION"), QStringLiteral("1")},
                                {QStringLiteral("FIELD_COUNT"), QStringLiteral("2")},
                                {QStringLiteral("METADATA_ID"), QStringLiteral("SpisokBB.409")},
                                {QStringLiteral("RESET_CACHE"), QStringLiteral("0")}}});
        Table fields{QStringLiteral("METADATA.FIELDS"), {}};
        const char* names[] = {"CODE", "LOT"};
        const char* types[] = {"1", "3"};
        for (int n = 0; n < 2; ++n) {
            const QString s = QString::number(n);
            fields.fields.push_back({"FIELD_NAME." + s, QLatin1String(names[n])});
            fields.fields.push_back({"FIELD_INDEX." + s, s});
            fields.fields.push_back({"PACKET_DATA_TYPE." + s, "0"});
            fields.fields.push_back({"FIELD_DATA_TYPE." + s, QLatin1String(types[n])});
        }
        data.tables.push_back(fields);
        data.requestParams = SplitParams(m.params, m.operation);
        socket->write(Encode(data));
    }

    QString name_;
    QLocalServer* server_ = nullptr;
    std::map<QLocalSocket*, std::shared_ptr<FrameDecoder>> decoders_;
};

class CountingBox : public IMessageBoxService {
public:
    int shown = 0;
    QString text, caption;
    bool topMost = false;
    int Show(QWidget*, const QString& t, const QString& c, MsgKind, int, bool top) override {
        ++shown;
        text = t;
        caption = c;
        topMost = top;
        return MsgOk;
    }
};

// Starting the "server" makes the fake one listen again.
class FakeProcess : public IProcessService {
public:
    std::function<bool()> onStart;
    std::atomic<int> starts{0};
    QString program;
    bool StartDetached(const QString& p, const QStringList&, const QString&) override {
        ++starts;
        program = p;
        return onStart ? onStart() : false;
    }
};

template <typename Pred> bool WaitUntil(Pred pred, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

class LocalSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        socketName = dir.filePath(QStringLiteral("s.sock"));
        qputenv("ORVEX_SERVER_SOCKET", socketName.toUtf8());
        qputenv("ORVEX_SERVER_PATH", "/nonexistent/parvane");
        box = std::make_shared<CountingBox>();
        process = std::make_shared<FakeProcess>();
        Services::SetMessageBox(box);
        Services::SetProcess(process);
        LocalSocketSession::ResetFirstFailure();
        LocalSocketSession::SetAttachTimeout(400);
        LocalSocketSession::SetReattachInterval(50);
        server = new FakeServer(socketName);
        server->moveToThread(&thread);
        thread.start();
    }
    void TearDown() override {
        QMetaObject::invokeMethod(
            server, [this] { delete server; }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
        Services::SetMessageBox(nullptr);
        Services::SetProcess(nullptr);
        LocalSocketSession::SetAttachTimeout(5000);
        LocalSocketSession::SetReattachInterval(1000);
        qunsetenv("ORVEX_SERVER_SOCKET");
        qunsetenv("ORVEX_SERVER_PATH");
    }
    void Listen() {
        QMetaObject::invokeMethod(
            server, [this] { server->Listen(); }, Qt::BlockingQueuedConnection);
    }
    void Kill() {
        QMetaObject::invokeMethod(
            server, [this] { server->Kill(); }, Qt::BlockingQueuedConnection);
    }

    QTemporaryDir dir;
    QString socketName;
    std::shared_ptr<CountingBox> box;
    std::shared_ptr<FakeProcess> process;
    QThread thread;
    FakeServer* server = nullptr;
};

struct EventLog {
    int logins = 0, disconnects = 0, data = 0, progress = 0;
    void Watch(TBrokerSession& s) {
        s.OnLogin = [this](TBrokerSession*) { ++logins; };
        s.OnDisconnect = [this](TBrokerSession*) { ++disconnects; };
        s.OnData = [this](TBrokerSession*) { ++data; };
        s.OnProcess = [this](TBrokerSession*, int, int) { ++progress; };
    }
};

TEST_F(LocalSocketTest, RequestsAnswersAndRefusalsOverTheSocket) {
    Listen();
    TMetadataSession session(QStringLiteral("SesRef"), true);
    EventLog log;
    log.Watch(session);
    QString code;
    session.OnData = [&](TBrokerSession*) {
        ++log.data;
        code = session.Parser().GetText(QStringLiteral("code"), 1);
    };

    // Before the login the server is asked whether it waits for a password; once
    // logged in the link answers by itself.
    EXPECT_TRUE(session.GetLoginState());
    session.Login();
    ASSERT_TRUE(WaitUntil([&] { return log.logins > 0; }));
    EXPECT_FALSE(session.GetLoginState());
    EXPECT_EQ(server->loginStateQueries.load(), 1);
    const QString params = QStringLiteral("chto=409") + Nul();
    session.Parser().SendList(QStringLiteral("SpisokBB"), QStringLiteral("409"), params);
    ASSERT_TRUE(WaitUntil([&] { return log.data == 1; }));
    EXPECT_EQ(log.logins, 1); // the broadcast and the reply raise one OnLogin
    EXPECT_EQ(log.progress, 1);
    EXPECT_EQ(code, QStringLiteral("GAZP"));
    EXPECT_EQ(session.GetRowCount(), 2);
    EXPECT_EQ(session.GetField(0, 1), QByteArray("10"));
    EXPECT_EQ(session.GetCell(1, 0), QStringLiteral("GAZP"));
    EXPECT_EQ(session.GetCell(1, 5), QString());
    EXPECT_EQ(session.GetRowText(7), QString());
    EXPECT_EQ(session.GetRequestParam(QStringLiteral("chto")), QStringLiteral("409"));
    EXPECT_EQ(session.GetTableSize(QStringLiteral("METADATA.HEADER")), 1);
    EXPECT_EQ(session.GetTableSize(QStringLiteral("NOPE")), 0);

    // The second request carries the flag, and its echo shows the server got it.
    session.Parser().SendList(QStringLiteral("SpisokBB"), QStringLiteral("409"), params);
    ASSERT_TRUE(WaitUntil([&] { return log.data == 2; }));
    EXPECT_EQ(session.GetRequestParam(QStringLiteral("NoSendMetadata")), QStringLiteral("1"));

    EXPECT_EQ(session.SendCommand(QStringLiteral("ExecQueryBB"),
                                  AlternatingParams({{"chto", "20"}}), 0, 1),
              7);
    try {
        session.SendRequest(QStringLiteral("Fail"), QString());
        FAIL() << "a refused request must raise";
    } catch (const ESessionError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Нет такого запроса"));
    }

    // The server losing the trading system: OnDisconnect, then OnLogin once it is back,
    // on the same link.
    int common = 0;
    session.OnCommonData = [&](TBrokerSession*) { ++common; };
    session.SendRequest(QStringLiteral("Drop"), QString());
    ASSERT_TRUE(WaitUntil([&] { return log.logins == 2; }));
    EXPECT_EQ(log.disconnects, 1);
    EXPECT_EQ(common, 1);
    EXPECT_EQ(server->accepted.load(), 1);
}

TEST_F(LocalSocketTest, WireFaultsCloseTheLinkWhichThenComesBack) {
    const QString logFile = dir.filePath(QStringLiteral("link.log"));
    const QString savedLog = LogFileName();
    SetLogFileName(logFile);
    Listen();
    for (const char* fault : {"Garbage", "Huge", "Cut"}) {
        TBrokerSession session(QStringLiteral("SesFault"), true);
        EventLog log;
        log.Watch(session);
        session.SendRequest(QLatin1String(fault), QString());
        ASSERT_TRUE(WaitUntil([&] { return log.disconnects == 1; })) << fault;
        // Re-attached in the background, logged in again, usable again.
        ASSERT_TRUE(WaitUntil([&] { return log.logins == 1; })) << fault;
        session.SendRequest(QStringLiteral("SpisokBB"), QStringLiteral("chto=1") + Nul());
        ASSERT_TRUE(WaitUntil([&] { return log.data == 1; })) << fault;
        EXPECT_EQ(session.GetRowCount(), 2) << fault;
    }
    SetLogFileName(savedLog);
    QFile log(logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("wire: unknown message type 0x42 (session SesFault)")) << text.data();
    EXPECT_TRUE(text.contains("wire: frame length 268435457 out of range")) << text.data();
    EXPECT_TRUE(text.contains("wire: truncated frame")) << text.data();
}

TEST_F(LocalSocketTest, DeadServerIsRestartedOnceAndEverySessionLogsInAgain) {
    Listen();
    TBrokerSession session(QStringLiteral("SesOrd"), true);
    EventLog log;
    log.Watch(session);
    session.Login();
    ASSERT_TRUE(WaitUntil([&] { return log.logins == 1; }));
    // Ten more windows' sessions notice the same death at the same moment.
    std::vector<std::unique_ptr<TBrokerSession>> others;
    std::vector<EventLog> otherLogs(10);
    for (int i = 0; i < 10; ++i) {
        others.push_back(std::make_unique<TBrokerSession>(QStringLiteral("SesWin%1").arg(i), true));
        otherLogs[size_t(i)].Watch(*others.back());
        others.back()->Login();
    }
    ASSERT_TRUE(WaitUntil([&] {
        return std::all_of(otherLogs.begin(), otherLogs.end(),
                           [](const EventLog& l) { return l.logins == 1; });
    }));

    process->onStart = [this] {
        QMetaObject::invokeMethod(
            server, [this] { server->Listen(); }, Qt::QueuedConnection);
        return true;
    };
    Kill();
    ASSERT_TRUE(WaitUntil([&] { return log.disconnects == 1; }));
    // Operations fail while the link is down; the login state is simply "no".
    EXPECT_THROW(session.SendRequest(QStringLiteral("SpisokBB"), QString()), ESessionError);
    EXPECT_FALSE(session.GetLoginState());
    ASSERT_TRUE(WaitUntil([&] { return log.logins == 2; }));
    ASSERT_TRUE(WaitUntil([&] {
        return std::all_of(otherLogs.begin(), otherLogs.end(),
                           [](const EventLog& l) { return l.logins == 2; });
    }));
    EXPECT_EQ(process->starts.load(), 1); // one restart pace for the whole workstation
    EXPECT_EQ(process->program, QStringLiteral("/nonexistent/parvane"));
    EXPECT_EQ(box->shown, 0); // background re-attaching never shows the box
    EXPECT_EQ(log.disconnects, 1);
}

TEST_F(LocalSocketTest, FirstFailureToAttachShowsTheBoxOnceAndRaises) {
    // Nobody listens and the server cannot be started.
    EXPECT_THROW(TBrokerSession(QStringLiteral("SesA"), true), ESessionError);
    EXPECT_EQ(process->starts.load(), 1);
    ASSERT_EQ(box->shown, 1);
    EXPECT_EQ(box->caption, QStringLiteral("Error"));
    EXPECT_TRUE(box->topMost);
    EXPECT_TRUE(box->text.startsWith(QStringLiteral("Error message: ")));
    EXPECT_TRUE(box->text.endsWith(
        QStringLiteral("\r\nВозможно библиотека Parvane.exe не зарегистрирована!")));

    TBrokerSession lazy(QStringLiteral("SesB"));
    EventLog log;
    log.Watch(lazy);
    EXPECT_THROW(lazy.SendRequest(QStringLiteral("SpisokBB"), QString()), ESessionError);
    EXPECT_EQ(box->shown, 1);
    // The owner hears of the missing link as of a lost one ("Отбой связи").
    ASSERT_TRUE(WaitUntil([&] { return log.disconnects == 1; }));
    // Failing again at once does not block: the link is known to be down.
    EXPECT_THROW(lazy.SendRequest(QStringLiteral("SpisokBB"), QString()), ESessionError);

    // A server started later is picked up in the background, and the session logs in.
    Listen();
    ASSERT_TRUE(WaitUntil([&] { return log.logins == 1; }));
    EXPECT_NO_THROW(lazy.SendRequest(QStringLiteral("SpisokBB"), QString()));
    EXPECT_EQ(box->shown, 1);
}

TEST_F(LocalSocketTest, ServerOfAnotherProtocolVersionIsRefused) {
    server->helloVersion = kProtocolVersion + 1;
    Listen();
    try {
        TBrokerSession session(QStringLiteral("SesVer"), true);
        FAIL() << "attaching to another protocol version must fail";
    } catch (const ESessionError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("unsupported protocol version")))
            << e.what();
    }
    EXPECT_EQ(box->shown, 1);
}

TEST_F(LocalSocketTest, AttachWaitsForAServerThatIsStarting) {
    process->onStart = [this] {
        QMetaObject::invokeMethod(
            server, [this] { server->Listen(); }, Qt::QueuedConnection);
        return true;
    };
    TBrokerSession session(QStringLiteral("SesLate"), true);
    EXPECT_TRUE(session.IsAttached());
    EXPECT_EQ(process->starts.load(), 1);
    EXPECT_EQ(box->shown, 0);
}

// A listener on the socket path that is not a session server: a plain socket that
// accepts into its backlog and never says a word. Run as another user when uid is
// given (in a child process, which the test ends).
struct SilentListener {
    pid_t child = 0;
    int fd = -1;
    bool Start(const QString& path, uid_t uid = 0) {
        int ready[2];
        if (::pipe(ready) != 0)
            return false;
        const pid_t pid = uid ? ::fork() : 0;
        if (pid < 0)
            return false;
        if (pid == 0) {
            if (uid && (::setgid(uid) != 0 || ::setuid(uid) != 0))
                ::_exit(1);
            const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            const QByteArray name = QFile::encodeName(path);
            std::memcpy(addr.sun_path, name.constData(), size_t(name.size()));
            const bool ok = ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                            ::chmod(name.constData(), 0777) == 0 && ::listen(s, 16) == 0;
            if (!uid) {
                fd = s;
                ::close(ready[0]);
                ::close(ready[1]);
                return ok;
            }
            const char byte = ok ? '1' : '0';
            if (::write(ready[1], &byte, 1) != 1 || !ok)
                ::_exit(1);
            while (true)
                ::pause();
        }
        child = pid;
        char byte = 0;
        ::close(ready[1]);
        const bool ok = ::read(ready[0], &byte, 1) == 1 && byte == '1';
        ::close(ready[0]);
        return ok;
    }
    ~SilentListener() {
        if (fd >= 0)
            ::close(fd);
        if (child > 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    }
};

TEST_F(LocalSocketTest, ListenersThatAreNotOurServerAreRefusedNamingTheirProcess) {
    struct Case {
        const char* name;
        uid_t uid; // 0: this user
        QString expected;
    };
    const std::vector<Case> cases = {
        {"squatter of this user", 0, QStringLiteral("process %1").arg(::getpid())},
        {"listener of another user", 65534, QStringLiteral("not by a server of this user")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.uid && ::getuid() != 0) {
            std::printf("skipped \"%s\": needs root to listen as another user\n", c.name);
            continue;
        }
        QTemporaryDir open;
        ASSERT_TRUE(open.isValid());
        ::chmod(QFile::encodeName(open.path()).constData(), 0777);
        const QString path = open.filePath(QStringLiteral("s.sock"));
        qputenv("ORVEX_SERVER_SOCKET", path.toUtf8());
        SilentListener listener;
        ASSERT_TRUE(listener.Start(path, c.uid));
        LocalSocketSession::ResetFirstFailure();
        box->shown = 0;
        try {
            TBrokerSession session(QStringLiteral("SesSquat"), true);
            ADD_FAILURE() << "a listener that is not our server must be refused";
        } catch (const ESessionError& e) {
            EXPECT_TRUE(e.Message().contains(c.expected)) << e.what();
        }
        ASSERT_EQ(box->shown, 1);
        EXPECT_TRUE(box->text.contains(c.expected)) << box->text.toStdString();
        EXPECT_EQ(process->starts.load(), 0); // something listens: nothing is started
    }
    qputenv("ORVEX_SERVER_SOCKET", socketName.toUtf8());
}

} // namespace
