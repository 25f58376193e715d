#include "session/LocalSocketSession.h"

#include "session/wire/Cp1251.h"
#include "session/wire/LocalPeer.h"

#include "shell/base/Log.h"
#include "shell/base/Services.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

namespace {

int g_attachTimeoutMs = 5000;
int g_reattachIntervalMs = 1000;
bool g_firstFailureShown = false;
// One restart pace for the whole workstation: every session notices a dead server
// at once, and one start is enough.
qint64 g_lastServerStart = 0; // ms since epoch

constexpr int kRequestTimeoutMs = 30000;
constexpr int kLoginStateTimeoutMs = 2000;
constexpr int kHandshakeTimeoutMs = 3000;
constexpr int kRestartPauseMs = 5000; // between starts of the server
// A server that holds the socket's lock is alive: attaching waits for it this long.
constexpr int kStartingServerWaitMs = 120000;
// The market of the demo server moves gently unless the environment says otherwise.
constexpr const char* kDemoSimulatorRate = "2";

qint64 NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

QString ServerProgram() {
    const QString explicitPath = qEnvironmentVariable("ORVEX_SERVER_PATH");
    if (!explicitPath.isEmpty())
        return explicitPath;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("parvane"));
}

bool IsReply(const wire::Message& m) {
    return m.type == wire::MessageType::Ack || m.type == wire::MessageType::Error ||
           m.type == wire::MessageType::LoginStateAnswer;
}

} // namespace

void LocalSocketSession::Open() {
    try {
        AttachNow();
    } catch (const ESessionError& e) {
        WriteLog(QStringLiteral("Session %1 could not attach: %2").arg(name_, e.Message()));
        if (!g_firstFailureShown) {
            g_firstFailureShown = true;
            Services::MessageBox().Show(
                nullptr,
                QStringLiteral("Error message: ") + e.Message() + QStringLiteral("\r\n") +
                    QStringLiteral("Возможно библиотека Parvane.exe не зарегистрирована!"),
                QStringLiteral("Error"), MsgKind::Error, MsgOk, true);
        }
        // The owner learns the link is down as after a lost link, and a server started
        // later is picked up by the background attempts.
        inbox_.push_back(wire::Message::Disconnected());
        SchedulePump();
        StartReattaching();
        throw;
    }
}

void LocalSocketSession::SetAttachTimeout(int milliseconds) {
    g_attachTimeoutMs = milliseconds;
}

int LocalSocketSession::AttachTimeout() {
    return g_attachTimeoutMs;
}

void LocalSocketSession::SetReattachInterval(int milliseconds) {
    g_reattachIntervalMs = milliseconds;
}

void LocalSocketSession::ResetFirstFailure() {
    g_firstFailureShown = false;
    g_lastServerStart = 0;
}

LocalSocketSession::LocalSocketSession(const QString& sessionName)
    : name_(sessionName), socketName_(wire::ServerSocketName()), socket_(new QLocalSocket(this)) {
    connect(socket_, &QLocalSocket::readyRead, this, [this] { OnReadyRead(); });
    connect(socket_, &QLocalSocket::disconnected, this, [this] { OnSocketGone(); });
    connect(socket_, &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError) {
        if (socket_->state() != QLocalSocket::ConnectedState)
            OnSocketGone();
    });
    connect(&reattachTimer_, &QTimer::timeout, this, [this] { TryReattach(); });
}

LocalSocketSession::~LocalSocketSession() {
    *alive_ = false;
    reattachTimer_.stop();
    socket_->disconnect(this);
    socket_->abort();
}

void LocalSocketSession::SetEvents(IBrokerSessionEvents* events) {
    events_ = events;
}

// ---- attaching ----

bool LocalSocketSession::ConnectOnce(int timeoutMs) {
    state_ = State::Detached;
    if (socket_->state() != QLocalSocket::UnconnectedState)
        socket_->abort();
    ResetDecoder();
    socket_->connectToServer(socketName_);
    return socket_->waitForConnected(timeoutMs) && socket_->state() == QLocalSocket::ConnectedState;
}

void LocalSocketSession::StartServerIfNoneRuns() {
    // A server holding the socket's lock is alive (still starting); and one start per
    // pause is enough for every session of the workstation.
    if (wire::LockIsHeld(wire::LockPathFor(socketName_)))
        return;
    if (g_lastServerStart != 0 && NowMs() - g_lastServerStart < kRestartPauseMs)
        return;
    StartServer();
}

void LocalSocketSession::StartServer() {
    const QString program = ServerProgram();
    g_lastServerStart = NowMs();
    const QString folder = QFileInfo(program).absolutePath();
    // The server's log goes beside the workstation's own rather than into the
    // terminal the workstation was started from (unless the environment names one).
    QStringList arguments;
    if (qEnvironmentVariableIsEmpty("ORVEX_SERVER_LOG"))
        arguments << QStringLiteral("--log") << folder + QStringLiteral("/parvane.log");
    if (qEnvironmentVariableIsEmpty("ORVEX_SERVER_SIM_RATE"))
        arguments << QStringLiteral("--sim-rate") << QLatin1String(kDemoSimulatorRate);
    const bool started = Services::Process().StartDetached(program, arguments, folder);
    WriteLog(started ? QStringLiteral("Session server started: %1").arg(program)
                     : QStringLiteral("Session server could not be started: %1").arg(program));
}

QString LocalSocketSession::ForeignListener() const {
    const wire::PeerCredentials peer = wire::PeerOf(socket_->socketDescriptor());
    if (peer.known && peer.uid == wire::OwnUid())
        return {};
    return QStringLiteral("the socket %1 is held by %2, not by a server of this user; it is "
                          "not talked to")
        .arg(socketName_, wire::DescribePeer(peer));
}

QString LocalSocketSession::ListenerText() const {
    return QStringLiteral("the socket is held by %1, which does not answer as a session server")
        .arg(wire::DescribePeer(wire::PeerOf(socket_->socketDescriptor())));
}

void LocalSocketSession::AttachNow() {
    QString folderError;
    if (wire::InPrivateSocketFolder(socketName_) &&
        !wire::EnsurePrivateFolder(wire::PrivateSocketFolder(), false, &folderError))
        throw ESessionError(folderError);
    if (!ConnectOnce(500)) {
        StartServerIfNoneRuns();
        // Keep trying while the start is recent, and while a server is alive (it holds
        // the lock) even when it is slow to listen.
        const QString lock = wire::LockPathFor(socketName_);
        QDeadlineTimer deadline(
            std::max<qint64>(0, g_lastServerStart + g_attachTimeoutMs - NowMs()));
        QDeadlineTimer hardLimit(kStartingServerWaitMs);
        while (!ConnectOnce(200)) {
            if ((deadline.hasExpired() && !wire::LockIsHeld(lock)) || hardLimit.hasExpired()) {
                const QString reason = socket_->errorString();
                socket_->abort();
                throw ESessionError(QStringLiteral("The session server does not answer on %1 (%2)")
                                        .arg(socketName_, reason));
            }
            QThread::msleep(100);
        }
    }
    if (const QString foreign = ForeignListener(); !foreign.isEmpty()) {
        socket_->abort();
        throw ESessionError(foreign);
    }
    state_ = State::Handshaking;
    lastFault_.clear();
    Send(wire::Message::Hello(name_));
    if (!WaitFor([this] { return state_ == State::Attached; }, kHandshakeTimeoutMs)) {
        const QString listener =
            socket_->state() == QLocalSocket::ConnectedState ? ListenerText() : QString();
        Break(QString());
        QString text = QStringLiteral("The session server on %1 did not complete the handshake")
                           .arg(socketName_);
        if (!lastFault_.isEmpty())
            text += QStringLiteral(": ") + lastFault_;
        else if (!listener.isEmpty())
            text += QStringLiteral(": ") + listener;
        throw ESessionError(text);
    }
}

void LocalSocketSession::StartReattaching() {
    reattaching_ = true;
    if (!reattachTimer_.isActive())
        reattachTimer_.start(g_reattachIntervalMs);
}

void LocalSocketSession::TryReattach() {
    if (state_ == State::Attached) {
        reattachTimer_.stop();
        return;
    }
    if (state_ == State::Handshaking) {
        // A server that accepted but never greets: drop it and try afresh next time.
        Fault(QStringLiteral("handshake timed out"));
        return;
    }
    if (ConnectOnce(200)) {
        if (const QString foreign = ForeignListener(); !foreign.isEmpty()) {
            if (foreign != lastFault_) {
                lastFault_ = foreign;
                WriteLog(QStringLiteral("Session %1: %2").arg(name_, foreign));
            }
            socket_->abort();
            return;
        }
        state_ = State::Handshaking;
        Send(wire::Message::Hello(name_));
        OnReadyRead(); // the greeting may have arrived while connecting
        return;
    }
    // Nobody listens: the server died. Start it again, unless one is starting.
    StartServerIfNoneRuns();
}

// ---- incoming bytes ----

void LocalSocketSession::OnReadyRead() {
    if (!socket_->isOpen())
        return;
    if (state_ == State::Detached) {
        // Connected but not yet greeting: the server's Hello waits in the socket
        // until the handshake starts. A dead link's leftovers are dropped.
        if (socket_->state() != QLocalSocket::ConnectedState)
            socket_->readAll();
        return;
    }
    if (decoder_.ReadFrom(*socket_) == 0)
        return;
    wire::Message m;
    while (decoder_.Next(m)) {
        if (state_ == State::Handshaking) {
            if (m.type != wire::MessageType::Hello) {
                Fault(m.type == wire::MessageType::Error
                          ? QStringLiteral("server refused the link: %1").arg(m.text)
                          : QStringLiteral("expected Hello, got %1")
                                .arg(wire::TypeName(quint8(m.type))));
                return;
            }
            if (m.version != wire::kProtocolVersion) {
                Send(wire::Message::Error(
                    0, QStringLiteral("unsupported protocol version %1").arg(m.version)));
                Fault(QStringLiteral("unsupported protocol version %1").arg(m.version));
                return;
            }
            state_ = State::Attached;
            loggedIn_ = false;
            if (reattaching_) {
                reattaching_ = false;
                reattachTimer_.stop();
                WriteLog(QStringLiteral("Session %1 attached again").arg(name_));
                Send(wire::Message::Login());
            }
            continue;
        }
        if (quint8(m.type) < 0x80) {
            // Hello again or a workstation-side message: the server is confused.
            Fault(QStringLiteral("unexpected %1 from the server")
                      .arg(wire::TypeName(quint8(m.type))));
            return;
        }
        inbox_.push_back(std::move(m));
    }
    if (decoder_.HasError()) {
        Fault(decoder_.ErrorText());
        return;
    }
    if (!inbox_.empty() && waitDepth_ == 0)
        SchedulePump();
}

void LocalSocketSession::OnSocketGone() {
    if (state_ == State::Detached)
        return;
    // Deliver what arrived before the close first.
    if (socket_->bytesAvailable() > 0)
        OnReadyRead();
    if (state_ == State::Detached)
        return;
    if (decoder_.HasPartialFrame())
        Fault(QStringLiteral("truncated frame (%1 bytes)").arg(decoder_.BufferedBytes()));
    else
        Break(QStringLiteral("connection closed"));
}

void LocalSocketSession::Fault(const QString& reason) {
    lastFault_ = reason;
    WriteLog(QStringLiteral("wire: %1 (session %2)").arg(reason, name_));
    Break(reason);
}

void LocalSocketSession::Break(const QString& reason) {
    const bool wasAttached = state_ == State::Attached;
    state_ = State::Detached;
    loggedIn_ = false;
    if (socket_->state() != QLocalSocket::UnconnectedState)
        socket_->abort();
    ResetDecoder();
    if (wasAttached) {
        if (!reason.isEmpty())
            WriteLog(QStringLiteral("Session %1 lost the session server: %2").arg(name_, reason));
        inbox_.push_back(wire::Message::Disconnected());
        SchedulePump();
    }
    if (wasAttached || reattaching_)
        StartReattaching();
}

void LocalSocketSession::Send(const wire::Message& message) {
    socket_->write(wire::Encode(message));
    socket_->flush();
}

// ---- waiting for replies ----

bool LocalSocketSession::WaitFor(const std::function<bool()>& picked, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    ++waitDepth_;
    bool done = false;
    while (true) {
        OnReadyRead(); // bytes already buffered raise no further readyRead
        if ((done = picked()) || state_ == State::Detached || deadline.hasExpired())
            break;
        if (!socket_->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            if (socket_->state() != QLocalSocket::ConnectedState)
                OnSocketGone();
        }
    }
    --waitDepth_;
    if (!inbox_.empty())
        SchedulePump();
    return done;
}

bool LocalSocketSession::TakeReply(quint32 id, wire::Message& reply) {
    for (auto it = inbox_.begin(); it != inbox_.end(); ++it) {
        if (IsReply(*it) && it->id == id) {
            reply = std::move(*it);
            inbox_.erase(it);
            return true;
        }
    }
    return false;
}

int LocalSocketSession::Exchange(const wire::Message& request, int timeoutMs) {
    if (state_ != State::Attached)
        throw ESessionError(
            QStringLiteral("No link to the session server (session %1)").arg(name_));
    Send(request);
    wire::Message reply;
    if (!WaitFor([&] { return TakeReply(request.id, reply); }, timeoutMs)) {
        if (state_ != State::Attached)
            throw ESessionError(
                QStringLiteral("The link to the session server broke (session %1)").arg(name_));
        throw ESessionError(
            QStringLiteral("The session server did not answer in time (session %1)").arg(name_));
    }
    if (reply.type == wire::MessageType::Error)
        throw ESessionError(reply.text);
    return reply.type == wire::MessageType::LoginStateAnswer ? int(reply.flag) : reply.a;
}

// ---- events ----

void LocalSocketSession::SchedulePump() {
    if (pumpScheduled_)
        return;
    pumpScheduled_ = true;
    QTimer::singleShot(0, this, [this] { Pump(); });
}

void LocalSocketSession::Pump() {
    pumpScheduled_ = false;
    const std::shared_ptr<bool> alive = alive_;
    while (!inbox_.empty()) {
        wire::Message m = std::move(inbox_.front());
        inbox_.pop_front();
        Dispatch(m);
        if (!*alive) // a handler closed the window that owned this session
            return;
    }
}

void LocalSocketSession::Dispatch(wire::Message& m) {
    switch (m.type) {
    case wire::MessageType::LoggedIn:
        // The broadcast of a login and the reply to our own Login may both arrive.
        if (loggedIn_)
            return;
        loggedIn_ = true;
        if (events_)
            events_->SessionLogin();
        return;
    case wire::MessageType::Disconnected:
        loggedIn_ = false;
        if (events_)
            events_->SessionDisconnect();
        return;
    case wire::MessageType::Progress:
        if (events_)
            events_->SessionProcess(m.a, m.b);
        return;
    case wire::MessageType::Data: {
        Answer answer;
        answer.rows = std::move(m.rows);
        answer.block = std::move(m.rowBlock);
        for (wire::Table& t : m.tables) {
            QHash<QString, QString>& fields = answer.tables[t.name];
            for (auto& [key, value] : t.fields) {
                if (!fields.contains(key))
                    fields.insert(key, value);
            }
        }
        answer.requestParams = std::move(m.requestParams);
        answer_ = std::move(answer);
        if (events_)
            events_->SessionData();
        return;
    }
    case wire::MessageType::CommonData:
        if (events_)
            events_->SessionCommonData();
        return;
    case wire::MessageType::Error:
        WriteLog(QStringLiteral("Session %1: the session server reports: %2").arg(name_, m.text));
        return;
    default: // a reply nobody waits for any more
        return;
    }
}

// ---- operations ----

void LocalSocketSession::SendRequest(const QString& request, const QString& params) {
    Exchange(wire::Message::Request(nextId_++, wire::Operation::SendRequest, request, params, 0, 1),
             kRequestTimeoutMs);
}

int LocalSocketSession::SendCommand(const QString& request, const QString& params, int a, int b) {
    return Exchange(
        wire::Message::Request(nextId_++, wire::Operation::SendCommand, request, params, a, b),
        kRequestTimeoutMs);
}

void LocalSocketSession::Login() {
    if (state_ != State::Attached)
        throw ESessionError(
            QStringLiteral("No link to the session server (session %1)").arg(name_));
    loggedIn_ = false; // the answer to this call raises OnLogin even when already logged in
    Send(wire::Message::Login());
}

bool LocalSocketSession::GetLoginState() {
    // Without a link no server waits for a password, nor does one that is logged in:
    // the link's own state answers without a round trip (this runs on every
    // activation of the main window).
    if (state_ != State::Attached || loggedIn_)
        return false;
    return Exchange(wire::Message::LoginStateQuery(nextId_++), kLoginStateTimeoutMs) != 0;
}

void LocalSocketSession::ResetDecoder() {
    decoder_ = wire::FrameDecoder();
    decoder_.SetRowsInFrame(true); // an answer's rows stay one block, not a text per row
}

int LocalSocketSession::GetRowCount() {
    return int(answer_.block ? answer_.block->Size() : qsizetype(answer_.rows.size()));
}

bool LocalSocketSession::ViewRowBytes(int row, QByteArrayView& bytes) {
    if (!answer_.block || row < 0 || row >= answer_.block->Size())
        return false;
    bytes = answer_.block->Row(row);
    return true;
}

QString LocalSocketSession::GetRowText(int row) {
    QByteArrayView bytes;
    if (ViewRowBytes(row, bytes))
        return Cp1251::Decode(bytes);
    if (answer_.block || row < 0 || size_t(row) >= answer_.rows.size())
        return {};
    return answer_.rows[size_t(row)];
}

QString LocalSocketSession::GetCell(int row, int column) {
    if (column < 0)
        return {};
    const QString text = GetRowText(row);
    qsizetype start = 0;
    for (int i = 0; i < column; ++i) {
        const qsizetype nul = text.indexOf(QChar(0), start);
        if (nul < 0)
            return {};
        start = nul + 1;
    }
    qsizetype end = text.indexOf(QChar(0), start);
    if (end < 0)
        end = text.size();
    return text.mid(start, end - start);
}

int LocalSocketSession::GetTableSize(const QString& table) {
    return answer_.tables.contains(table) ? 1 : 0;
}

QString LocalSocketSession::GetTableValue(const QString& table, const QString& field, int row) {
    if (row != 1)
        return {};
    const auto t = answer_.tables.constFind(table);
    if (t == answer_.tables.constEnd())
        return {};
    return t->value(field);
}

QString LocalSocketSession::GetRequestParam(const QString& key, int) {
    for (const auto& [k, v] : answer_.requestParams) {
        if (k == key)
            return v;
    }
    return {};
}
