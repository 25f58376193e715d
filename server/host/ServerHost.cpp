#include "server/host/ServerHost.h"

#include "server/core/ServerLog.h"
#include "session/wire/LocalPeer.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <iterator>

namespace {
constexpr int kReloginMs = 500;
constexpr int kMaxRequestsInFlight = 64; // per connection; more are not read until answered
constexpr qint64 kReadChunk = 1 << 20;
constexpr int kSendBuffer = 4 << 20;
// A change-stream subscriber may stay over its cap this long before it is let go.
constexpr qint64 kSubscriberGraceMs = 5000;
// Below this many changes per second the simulator works in bursts.
constexpr double kBurstyBelowRate = 10;
} // namespace

ServerHost::ServerHost(ServerOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
    loginTimer_.setSingleShot(true);
    connect(&loginTimer_, &QTimer::timeout, this, &ServerHost::AttemptLogin);
    idleTimer_.setSingleShot(true);
    connect(&idleTimer_, &QTimer::timeout, this, [this] {
        ServerLog::Line(QStringLiteral("no session for %1 s, exiting").arg(options_.idleSeconds));
        emit Finished();
    });
    connect(&simTimer_, &QTimer::timeout, this, &ServerHost::SimulatorTick);
    flushTimer_.setSingleShot(true);
    connect(&flushTimer_, &QTimer::timeout, this, &ServerHost::FlushQueues);
    connect(&housekeepingTimer_, &QTimer::timeout, this, &ServerHost::Housekeeping);
    clock_.start();
}

ServerHost::~ServerHost() {
    if (preparation_.joinable())
        preparation_.join();
    pool_.reset(); // the workers stop before the connections go
    for (auto& c : connections_) {
        c->socket->disconnect(this);
        c->socket->abort();
        delete c->socket;
    }
    connections_.clear();
}

// ---- connections ----

void ServerHost::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        // Only the user who runs the server gets in; the socket's file mode says the
        // same, the peer's credentials make sure of it.
        const wire::PeerCredentials peer = wire::PeerOf(socket->socketDescriptor());
        QString refusal;
        if (!peer.known)
            refusal = QStringLiteral("the peer's credentials are unknown");
        else if (peer.uid != wire::OwnUid())
            refusal = QStringLiteral("%1 is not this server's user").arg(wire::DescribePeer(peer));
        else if (int(connections_.size()) >= options_.maxConnections)
            refusal = QStringLiteral("the limit of %1 connections is reached")
                          .arg(options_.maxConnections);
        if (!refusal.isEmpty()) {
            ServerLog::Line(QStringLiteral("connection refused: %1").arg(refusal));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto c = std::make_unique<Connection>();
        c->socket = socket;
        c->serial = nextSerial_++;
        c->connectedAt = clock_.elapsed();
        c->jobs = pool_ ? pool_->Open(c->serial) : nullptr;
        // Unread requests stay in the kernel rather than in this process.
        socket->setReadBufferSize(kReadChunk);
        // Large answers leave in a few big writes rather than one per 200 KiB.
        wire::WidenSendBuffer(socket->socketDescriptor(), kSendBuffer);
        Connection* raw = c.get();
        connections_.push_back(std::move(c));
        connect(socket, &QLocalSocket::readyRead, this, [this, raw] { OnReadyRead(raw); });
        connect(socket, &QLocalSocket::bytesWritten, this,
                [this, raw] { ResumeIfBelowLimits(raw); });
        connect(socket, &QLocalSocket::disconnected, this, [this, raw] { OnDisconnected(raw); });
        Send(raw, wire::Message::Hello(QStringLiteral("parvane")));
        if (socket->bytesAvailable() > 0)
            OnReadyRead(raw);
    }
    UpdateIdle();
}

void ServerHost::OnDisconnected(Connection* c) {
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
        if (it->get() != c)
            continue;
        if (c->decoder.HasPartialFrame() && !c->decoder.HasError())
            ServerLog::Line(QStringLiteral("wire: connection of %1 ended in the middle of a frame")
                                .arg(c->peerName));
        c->ended = true;
        if (c->jobs && pool_)
            pool_->Close(c->jobs);
        c->socket->disconnect(this);
        c->socket->deleteLater();
        ended_.push_back(std::move(*it));
        connections_.erase(it);
        QTimer::singleShot(0, this, [this] { ended_.clear(); });
        break;
    }
    UpdateIdle();
}

void ServerHost::Fault(Connection* c, const QString& reason) {
    ServerLog::Line(QStringLiteral("wire: %1 (session %2), connection closed")
                        .arg(reason, c->peerName.isEmpty() ? QStringLiteral("?") : c->peerName));
    c->socket->flush(); // a last Error frame still reaches a peer that reads
    c->socket->disconnectFromServer();
    if (c->socket->state() != QLocalSocket::UnconnectedState && c->socket->bytesToWrite() > 0)
        c->socket->abort(); // a peer that does not read would hold the close forever
}

qint64 ServerHost::WaitingBytes(const Connection* c) const {
    return c->socket->bytesToWrite() + c->queuedBytes;
}

bool ServerHost::OverLimits(const Connection* c) const {
    return WaitingBytes(c) > qint64(options_.maxQueuedMiB) * 1024 * 1024 ||
           c->inFlight >= kMaxRequestsInFlight;
}

void ServerHost::ResumeIfBelowLimits(Connection* c) {
    if (c->paused && !c->ended && !OverLimits(c)) {
        c->paused = false;
        OnReadyRead(c);
    }
}

void ServerHost::OnReadyRead(Connection* c) {
    bool framesDone = false;
    while (!c->ended && c->socket->state() == QLocalSocket::ConnectedState) {
        wire::Message m;
        while (!OverLimits(c) && c->decoder.Next(m)) {
            framesDone = true;
            HandleMessage(c, m);
            if (c->ended || c->socket->state() != QLocalSocket::ConnectedState)
                return;
        }
        if (c->decoder.HasError()) {
            Fault(c, c->decoder.ErrorText());
            return;
        }
        if (OverLimits(c)) {
            // Back-pressure: the peer's further requests wait in the kernel until its
            // answers have drained.
            c->paused = true;
            c->partialSince = -1;
            return;
        }
        if (c->socket->bytesAvailable() <= 0)
            break;
        c->decoder.Feed(c->socket->read(kReadChunk));
    }
    // The clock of a half frame starts with the frame: a busy peer whose reads often
    // end inside its next request is not stuck.
    if (!c->decoder.HasPartialFrame())
        c->partialSince = -1;
    else if (c->partialSince < 0 || framesDone)
        c->partialSince = clock_.elapsed();
}

void ServerHost::HandleMessage(Connection* c, const wire::Message& m) {
    if (!c->greeted) {
        if (m.type != wire::MessageType::Hello) {
            Fault(
                c,
                QStringLiteral("first frame is %1, not Hello").arg(wire::TypeName(quint8(m.type))));
            return;
        }
        if (m.version != wire::kProtocolVersion) {
            Send(c, wire::Message::Error(
                        0, QStringLiteral("unsupported protocol version %1").arg(m.version)));
            Fault(c, QStringLiteral("unsupported protocol version %1").arg(m.version));
            return;
        }
        c->greeted = true;
        c->peerName = m.text.left(100);
        if (c->jobs)
            pool_->SetPeerName(c->jobs, c->peerName);
        if (!storeReady_)
            Send(c, wire::Message::Progress(100, preparePercent_));
        return;
    }
    switch (m.type) {
    case wire::MessageType::Login:
        if (loggedIn_)
            Send(c, wire::Message::LoggedIn());
        else if (storeReady_ && !loginTimer_.isActive())
            loginTimer_.start(0);
        break;
    case wire::MessageType::Request:
        HandleRequest(c, m);
        break;
    case wire::MessageType::LoginStateQuery:
        Send(c, wire::Message::LoginStateAnswer(m.id, false));
        break;
    case wire::MessageType::Hello:
        break; // a repeated greeting changes nothing
    default:
        Fault(c,
              QStringLiteral("unexpected %1 from a session").arg(wire::TypeName(quint8(m.type))));
        break;
    }
}

void ServerHost::HandleRequest(Connection* c, const wire::Message& m) {
    const bool command = m.operation == wire::Operation::SendCommand;
    if (m.text == ControlRequestName()) {
        const ParsedParams parsed =
            ParseParams(m.params, command ? ParamForm::Alternating : ParamForm::Pair);
        if (!parsed.ok) {
            Send(c, wire::Message::Error(m.id, parsed.error));
            return;
        }
        HandleControl(c, m, parsed.params);
        return;
    }
    // While the store is being prepared the server is not logged in yet, but the
    // requests are kept: they are answered once the store is ready.
    if (!loggedIn_ && storeReady_) {
        Send(c, wire::Message::Error(m.id, QStringLiteral("the server is not logged in")));
        return;
    }
    const QString refusal = Engine::Precheck(m.text, m.params, command);
    if (!refusal.isEmpty()) {
        ServerLog::Line(refusal);
        Send(c, wire::Message::Error(m.id, refusal));
        return;
    }
    // Acknowledged at once; a worker builds the answer.
    Send(c, wire::Message::Ack(m.id, 0));
    c->socket->flush();
    ++c->inFlight;
    pool_->Submit(c->jobs, WorkJob{m.id, command, m.text, m.params, epoch_});
}

ServerHost::Connection* ServerHost::FindConnection(quint64 serial) const {
    for (const auto& live : connections_)
        if (live->serial == serial && !live->ended)
            return live.get();
    return nullptr;
}

void ServerHost::OnResult(WorkResult result) {
    Connection* c = FindConnection(result.connection);
    if (!c)
        return; // the session left meanwhile
    --c->inFlight;
    if (!result.skipped && result.epoch == epoch_) {
        if (result.refused) {
            ServerLog::Line(result.error);
            Send(c, wire::Message::Error(result.id, result.error));
        } else {
            ServerLog::Line(result.logLine);
            if (result.subscribes) {
                c->subscribed = true;
                c->subscriptionId = result.id;
            }
            SendData(c, std::move(result.frame));
            PushChanges(result.changes);
        }
    }
    ResumeIfBelowLimits(c);
}

// ---- sending ----

void ServerHost::Send(Connection* c, const wire::Message& m) {
    SendFrame(c, wire::Encode(m));
}

void ServerHost::SendFrame(Connection* c, const QByteArray& frame) {
    if (!c->ended && c->socket->state() == QLocalSocket::ConnectedState)
        c->socket->write(frame);
}

void ServerHost::SendData(Connection* c, QByteArray frame) {
    if (stallMs_ <= 0 && c->queue.empty()) {
        SendFrame(c, frame);
        return;
    }
    c->queuedBytes += frame.size();
    c->queue.push_back({clock_.elapsed() + stallMs_, std::move(frame)});
    if (!flushTimer_.isActive())
        flushTimer_.start(std::max(1, stallMs_));
}

void ServerHost::FlushQueues() {
    const qint64 now = clock_.elapsed();
    qint64 next = -1;
    for (auto& c : connections_) {
        while (!c->queue.empty() && (stallMs_ == 0 || c->queue.front().releaseAt <= now)) {
            SendFrame(c.get(), c->queue.front().frame);
            c->queuedBytes -= c->queue.front().frame.size();
            c->queue.pop_front();
        }
        if (!c->queue.empty() && (next < 0 || c->queue.front().releaseAt < next))
            next = c->queue.front().releaseAt;
    }
    if (next >= 0)
        flushTimer_.start(int(std::max<qint64>(1, next - now)));
}

void ServerHost::Broadcast(const wire::Message& m) {
    const QByteArray frame = wire::Encode(m);
    for (auto& c : connections_)
        if (c->greeted)
            SendFrame(c.get(), frame);
}

void ServerHost::PushChanges(const QStringList& rows) {
    if (rows.isEmpty() || !loggedIn_)
        return;
    QByteArray frame;
    quint32 frameId = 0;
    for (auto& c : connections_) {
        if (!c->subscribed)
            continue;
        if (frame.isEmpty() || frameId != c->subscriptionId) {
            wire::Message data = wire::Message::Data(c->subscriptionId);
            data.rows.assign(rows.cbegin(), rows.cend());
            frame = wire::Encode(data);
            frameId = c->subscriptionId;
        }
        SendData(c.get(), frame);
    }
}

// ---- limits ----

void ServerHost::Housekeeping() {
    StartNewDayIfDue();
    const qint64 now = clock_.elapsed();
    const qint64 stuckMs = qint64(options_.stuckSeconds) * 1000;
    const qint64 cap = qint64(options_.maxQueuedMiB) * 1024 * 1024;
    std::vector<std::pair<Connection*, QString>> faults;
    for (auto& c : connections_) {
        if (c->ended)
            continue;
        if (!c->greeted && !c->decoder.HasPartialFrame() && now - c->connectedAt > stuckMs) {
            faults.push_back({c.get(), QStringLiteral("nothing sent for %1 s after connecting")
                                           .arg(options_.stuckSeconds)});
            continue;
        }
        if (c->partialSince >= 0 && !c->paused && now - c->partialSince > stuckMs) {
            faults.push_back({c.get(), QStringLiteral("half a frame (%1 bytes) held for %2 s")
                                           .arg(c->decoder.BufferedBytes())
                                           .arg(options_.stuckSeconds)});
            continue;
        }
        if (WaitingBytes(c.get()) <= cap) {
            c->overCapSince = -1;
        } else if (c->subscribed) {
            if (c->overCapSince < 0)
                c->overCapSince = now;
            else if (now - c->overCapSince > kSubscriberGraceMs)
                faults.push_back(
                    {c.get(), QStringLiteral("change-stream subscriber does not read: %1 MiB of "
                                             "answers waiting, over the cap of %2 MiB")
                                  .arg(WaitingBytes(c.get()) / (1024 * 1024))
                                  .arg(options_.maxQueuedMiB)});
        }
    }
    for (auto& [c, reason] : faults) {
        Fault(c, reason);
        c->socket->abort(); // its waiting answers are dropped with it
    }
}

// ---- login, drops, simulator ----

void ServerHost::AttemptLogin() {
    if (loggedIn_ || !storeReady_)
        return;
    if (refuseNextLogin_) {
        refuseNextLogin_ = false;
        constexpr int kRefusedLoginRetryMs = 2000;
        ServerLog::Line(QStringLiteral("login refused by the trading system, retrying in %1 ms")
                            .arg(kRefusedLoginRetryMs));
        loginTimer_.start(kRefusedLoginRetryMs);
        return;
    }
    loggedIn_ = true;
    store_.SetState(QStringLiteral("login_state"), QStringLiteral("1"));
    ServerLog::Line(QStringLiteral("logged in, trading day %1 of %2")
                        .arg(store_.State(QStringLiteral("trading_day_key")),
                             store_.State(QStringLiteral("trading_date"))));
    Broadcast(wire::Message::LoggedIn());
}

void ServerHost::DropAll(int reloginMs) {
    loggedIn_ = false;
    store_.SetState(QStringLiteral("login_state"), QStringLiteral("0"));
    // Requests of the lost connection are never answered.
    ++epoch_;
    if (pool_)
        pool_->NewEpoch(epoch_);
    for (auto& c : connections_) {
        c->queue.clear(); // answers of the lost connection never arrive
        c->queuedBytes = 0;
        c->subscribed = false;
    }
    Broadcast(wire::Message::Disconnected());
    ServerLog::Line(QStringLiteral("connection to the trading system dropped"));
    loginTimer_.start(reloginMs < 0 ? kReloginMs : reloginMs);
}

void ServerHost::SimulatorTick() {
    if (!loggedIn_ || options_.simRate <= 0 || !simulator_)
        return;
    constexpr int kSimulatorTickMs = 100;
    // Work at most half a tick per tick, so sessions are still served; what the machine
    // cannot do is dropped rather than piled up.
    constexpr int kBudgetMs = kSimulatorTickMs / 2;
    constexpr int kChunk = 100;
    if (options_.simRate < kBurstyBelowRate) {
        // A gentle market comes in bursts of 1 to 12 changes with pauses between
        // them, as a real one does; the workstation dispatches changes a second after
        // the last one, so it needs the pauses to show them, and a large burst now
        // and then makes its orders windows reload in full.
        static constexpr int kBursts[] = {1, 3, 2, 12, 1, 4, 2, 6};
        simCarry_ += options_.simRate * kSimulatorTickMs / 1000.0;
        const int burst = kBursts[burstIndex_ % std::size(kBursts)];
        if (simCarry_ < burst)
            return;
        ++burstIndex_;
        simCarry_ -= burst;
        PushChanges(simulator_->Step(burst));
        return;
    }
    simCarry_ = std::min(simCarry_ + options_.simRate * kSimulatorTickMs / 1000.0,
                         std::max(1.0, options_.simRate * kSimulatorTickMs / 500.0));
    QElapsedTimer spent;
    spent.start();
    QStringList rows;
    while (simCarry_ >= 1 && spent.elapsed() < kBudgetMs) {
        const int events = std::min(int(simCarry_), kChunk);
        rows << simulator_->Step(events);
        simCarry_ -= events;
    }
    PushChanges(rows);
}

void ServerHost::UpdateIdle() {
    if (connections_.empty() && options_.idleSeconds > 0) {
        if (!idleTimer_.isActive())
            idleTimer_.start(options_.idleSeconds * 1000);
    } else {
        idleTimer_.stop();
    }
}
