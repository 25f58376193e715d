#include "server/host/ServerHost.h"

#include "server/core/DemoData.h"
#include "server/core/ServerLog.h"
#include "server/core/WireText.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QRandomGenerator>

namespace {
constexpr int kReloginMs = 500;
constexpr int kRefusedLoginRetryMs = 2000;
constexpr int kGatherMs = 1;
constexpr int kSimulatorTickMs = 100;
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
    pendingTimer_.setSingleShot(true);
    pendingTimer_.setTimerType(Qt::PreciseTimer);
    connect(&pendingTimer_, &QTimer::timeout, this, &ServerHost::RunPendingRequest);
    clock_.start();
}

ServerHost::~ServerHost() {
    for (auto& c : connections_) {
        c->socket->disconnect(this);
        c->socket->abort();
        delete c->socket;
    }
    connections_.clear();
}

bool ServerHost::Start(QString* error) {
    // One server per user: a server that answers on the socket keeps it. Checked first,
    // so a second instance touches no database, and again before taking the socket over,
    // in case another one started while this one prepared its store.
    auto anotherServer = [&] {
        QLocalSocket probe;
        probe.connectToServer(options_.socketName);
        if (!probe.waitForConnected(300))
            return false;
        *error = QStringLiteral("a server already listens on %1").arg(options_.socketName);
        return true;
    };
    if (anotherServer())
        return false;
    if (!store_.Open(options_.dbPath, error))
        return false;
    if (store_.IsEmpty()) {
        DemoScale scale;
        DemoScale::FromName(options_.scale, &scale);
        DemoGenerator generator(store_, scale, options_.seed, QDate::currentDate());
        if (!generator.Generate(error))
            return false;
    } else {
        ServerLog::Line(QStringLiteral("store %1 holds the \"%2\" data (seed %3)")
                            .arg(options_.dbPath, store_.State(QStringLiteral("scale")),
                                 store_.State(QStringLiteral("seed"))));
    }
    engine_ = std::make_unique<Engine>(store_);
    simulator_ = std::make_unique<Simulator>(*engine_, options_.seed);
    store_.SetState(QStringLiteral("login_state"), QStringLiteral("0"));

    if (anotherServer())
        return false;
    QLocalServer::removeServer(options_.socketName);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(options_.socketName)) {
        *error = QStringLiteral("cannot listen on %1: %2")
                     .arg(options_.socketName, server_->errorString());
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &ServerHost::OnNewConnection);
    ServerLog::Line(
        QStringLiteral("listening on %1, database %2%3")
            .arg(server_->fullServerName(), options_.dbPath,
                 options_.control ? QStringLiteral(", control requests enabled") : QString()));
    loginTimer_.start(options_.loginDelayMs);
    if (options_.simRate > 0)
        simTimer_.start(kSimulatorTickMs);
    UpdateIdle();
    return true;
}

void ServerHost::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto c = std::make_unique<Connection>();
        c->socket = socket;
        c->serial = nextSerial_++;
        Connection* raw = c.get();
        connections_.push_back(std::move(c));
        connect(socket, &QLocalSocket::readyRead, this, [this, raw] { OnReadyRead(raw); });
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
        if (c->decoder.HasPartialFrame())
            ServerLog::Line(QStringLiteral("wire: connection of %1 ended in the middle of a frame")
                                .arg(c->peerName));
        c->ended = true;
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
    c->socket->disconnectFromServer();
}

void ServerHost::OnReadyRead(Connection* c) {
    c->decoder.Feed(c->socket->readAll());
    wire::Message m;
    while (c->decoder.Next(m)) {
        HandleMessage(c, m);
        if (c->ended || c->socket->state() != QLocalSocket::ConnectedState)
            return;
    }
    if (c->decoder.HasError())
        Fault(c, c->decoder.ErrorText());
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
        return;
    }
    switch (m.type) {
    case wire::MessageType::Login:
        if (loggedIn_)
            Send(c, wire::Message::LoggedIn());
        else if (!loginTimer_.isActive())
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
        if (!options_.control) {
            ServerLog::Line(QStringLiteral("control request refused: control is not enabled"));
            Send(c,
                 wire::Message::Error(
                     m.id, QStringLiteral("control requests are disabled (start with --control)")));
            return;
        }
        if (!parsed.ok) {
            Send(c, wire::Message::Error(m.id, parsed.error));
            return;
        }
        HandleControl(c, m, parsed.params);
        return;
    }
    if (!loggedIn_) {
        Send(c, wire::Message::Error(m.id, QStringLiteral("the server is not logged in")));
        return;
    }
    const QString refusal = Engine::Precheck(m.text, m.params, command);
    if (!refusal.isEmpty()) {
        ServerLog::Line(refusal);
        Send(c, wire::Message::Error(m.id, refusal));
        return;
    }
    // Acknowledged before it runs, so the caller is not held behind a long list.
    Send(c, wire::Message::Ack(m.id, 0));
    c->socket->flush();
    pending_.push_back({c, c->serial, m});
    // A short gathering pause lets the requests a session sends in a row all be
    // acknowledged before the first answer is built.
    if (!pendingTimer_.isActive())
        pendingTimer_.start(kGatherMs);
}

ServerHost::Connection* ServerHost::LiveConnection(Connection* c, quint64 serial) const {
    for (const auto& live : connections_)
        if (live.get() == c && c->serial == serial && !c->ended)
            return c;
    return nullptr;
}

void ServerHost::RunPendingRequest() {
    if (pending_.empty())
        return;
    PendingRequest job = std::move(pending_.front());
    pending_.pop_front();
    if (Connection* c = LiveConnection(job.connection, job.serial); c && loggedIn_)
        Answer(c, job.message);
    if (!pending_.empty())
        pendingTimer_.start(0); // new arrivals are read and acknowledged in between
}

void ServerHost::Answer(Connection* c, const wire::Message& m) {
    const bool command = m.operation == wire::Operation::SendCommand;
    const EngineResult result = engine_->Handle(c->state, m.text, m.params, command);
    if (result.refused) {
        Send(c, wire::Message::Error(m.id, result.error));
        return;
    }
    ServerLog::Line(QStringLiteral("%1 #%2 %3 %4: %5 row(s)%6")
                        .arg(c->peerName)
                        .arg(m.id)
                        .arg(m.text, result.answer.echo.Describe().left(160))
                        .arg(result.answer.rows.size())
                        .arg(result.changes.isEmpty()
                                 ? QString()
                                 : QStringLiteral(", %1 change(s)").arg(result.changes.size())));
    if (m.text == QLatin1String("IzmenaBB"))
        c->subscriptionId = m.id;
    wire::Message data = wire::Message::Data(m.id);
    data.rows.assign(result.answer.rows.cbegin(), result.answer.rows.cend());
    for (const AnswerTable& t : result.answer.tables)
        data.tables.push_back({t.name, wire::Pairs(t.values.cbegin(), t.values.cend())});
    data.requestParams.assign(result.answer.echo.Items().cbegin(),
                              result.answer.echo.Items().cend());
    SendData(c, std::move(data));
    if (!result.changes.isEmpty())
        PushChanges(result.changes);
}

void ServerHost::HandleControl(Connection* c, const wire::Message& m, const ParamList& params) {
    const QString action = params.Value(QStringLiteral("action")).trimmed().toLower();
    QString reply;
    bool ok = true;
    auto newKey = [](const QString& prefix) {
        return prefix + QString::number(QRandomGenerator::global()->bounded(100000000u));
    };
    if (action == QLatin1String("drop")) {
        DropAll(kReloginMs);
        reply = QStringLiteral("sessions dropped, logging in again");
    } else if (action == QLatin1String("newday")) {
        const QString dateText = params.Value(QStringLiteral("date"));
        if (!dateText.isEmpty()) {
            const QDate d = QDate::fromString(dateText, QStringLiteral("dd.MM.yyyy"));
            if (!d.isValid()) {
                ok = false;
                reply = QStringLiteral("date must be dd.mm.yyyy");
            } else {
                store_.SetState(QStringLiteral("trading_date"), d.toString(Qt::ISODate));
            }
        }
        if (ok) {
            store_.SetState(QStringLiteral("trading_day_key"), newKey(QStringLiteral("TD")));
            DropAll(kReloginMs);
            reply = QStringLiteral("new trading day %1")
                        .arg(store_.State(QStringLiteral("trading_day_key")));
        }
    } else if (action == QLatin1String("sessionkey")) {
        store_.SetState(QStringLiteral("session_key"), newKey(QStringLiteral("S")));
        DropAll(kReloginMs);
        reply =
            QStringLiteral("new session key %1").arg(store_.State(QStringLiteral("session_key")));
    } else if (action == QLatin1String("clientkey")) {
        const auto v = params.Int(QStringLiteral("value"));
        if (!v || *v <= 0) {
            ok = false;
            reply = QStringLiteral("clientkey needs value=N (a client id)");
        } else {
            store_.SetState(QStringLiteral("client_key"), QString::number(*v));
            DropAll(kReloginMs);
            reply = QStringLiteral("client key %1").arg(*v);
        }
    } else if (action == QLatin1String("refuselogin")) {
        refuseNextLogin_ = true;
        reply = QStringLiteral("the next login will be refused");
    } else if (action == QLatin1String("stall")) {
        const auto v = params.Int(QStringLiteral("ms"));
        if (!v || *v < 0 || *v > 600000) {
            ok = false;
            reply = QStringLiteral("stall needs ms=N (0 to 600000)");
        } else {
            stallMs_ = int(*v);
            reply = QStringLiteral("answers held back %1 ms").arg(stallMs_);
            if (stallMs_ == 0)
                FlushQueues();
        }
    } else if (action == QLatin1String("simrate")) {
        bool num = false;
        const double rate = params.Value(QStringLiteral("rate")).toDouble(&num);
        if (!num || rate < 0 || rate > 100000) {
            ok = false;
            reply = QStringLiteral("simrate needs rate=N (0 to 100000)");
        } else {
            options_.simRate = rate;
            if (rate > 0)
                simTimer_.start(kSimulatorTickMs);
            else
                simTimer_.stop();
            reply = QStringLiteral("simulator at %1 changes/s").arg(rate);
        }
    } else if (action == QLatin1String("status")) {
        reply = QStringLiteral("logged_in=%1 sessions=%2 day=%3 date=%4 session_key=%5 "
                               "client_key=%6 stall=%7 sim_rate=%8 sim_events=%9")
                    .arg(loggedIn_ ? 1 : 0)
                    .arg(connections_.size())
                    .arg(store_.State(QStringLiteral("trading_day_key")),
                         store_.State(QStringLiteral("trading_date")),
                         store_.State(QStringLiteral("session_key")),
                         store_.State(QStringLiteral("client_key")))
                    .arg(stallMs_)
                    .arg(options_.simRate)
                    .arg(simulator_->EventsDone());
    } else {
        ok = false;
        reply = QStringLiteral("unknown control action \"%1\"").arg(action.left(40));
    }
    ServerLog::Line(QStringLiteral("control %1: %2").arg(action.left(40), reply));
    Send(c, wire::Message::Ack(m.id, ok ? 0 : -1));
    wire::Message data = wire::Message::Data(m.id);
    data.rows.push_back(WireText::RowBuilder()
                            .Plain(ok ? QStringLiteral("OK") : QStringLiteral("ERROR"))
                            .Plain(reply)
                            .Take());
    data.requestParams.assign(params.Items().cbegin(), params.Items().cend());
    Send(c, data); // control answers are never stalled
}

void ServerHost::Send(Connection* c, const wire::Message& m) {
    if (!c->ended && c->socket->state() == QLocalSocket::ConnectedState)
        c->socket->write(wire::Encode(m));
}

void ServerHost::SendData(Connection* c, wire::Message m) {
    if (stallMs_ <= 0 && c->queue.empty()) {
        Send(c, m);
        return;
    }
    c->queue.push_back({clock_.elapsed() + stallMs_, std::move(m)});
    if (!flushTimer_.isActive())
        flushTimer_.start(std::max(1, stallMs_));
}

void ServerHost::FlushQueues() {
    const qint64 now = clock_.elapsed();
    qint64 next = -1;
    for (auto& c : connections_) {
        while (!c->queue.empty() && (stallMs_ == 0 || c->queue.front().releaseAt <= now)) {
            Send(c.get(), c->queue.front().message);
            c->queue.pop_front();
        }
        if (!c->queue.empty() && (next < 0 || c->queue.front().releaseAt < next))
            next = c->queue.front().releaseAt;
    }
    if (next >= 0)
        flushTimer_.start(int(std::max<qint64>(1, next - now)));
}

void ServerHost::Broadcast(const wire::Message& m) {
    for (auto& c : connections_)
        if (c->greeted)
            Send(c.get(), m);
}

void ServerHost::PushChanges(const QStringList& rows) {
    if (rows.isEmpty())
        return;
    for (auto& c : connections_) {
        if (!c->state.subscribed || !loggedIn_)
            continue;
        wire::Message data = wire::Message::Data(c->subscriptionId);
        data.rows.assign(rows.cbegin(), rows.cend());
        SendData(c.get(), std::move(data));
    }
}

void ServerHost::AttemptLogin() {
    if (loggedIn_)
        return;
    if (refuseNextLogin_) {
        refuseNextLogin_ = false;
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
    pending_.clear(); // requests of the lost connection are never answered
    for (auto& c : connections_) {
        c->queue.clear(); // answers of the lost connection never arrive
        c->state.subscribed = false;
        c->state.metadata.Forget();
    }
    Broadcast(wire::Message::Disconnected());
    ServerLog::Line(QStringLiteral("connection to the trading system dropped"));
    loginTimer_.start(reloginMs);
}

void ServerHost::SimulatorTick() {
    if (!loggedIn_ || options_.simRate <= 0)
        return;
    // Work at most half a tick per tick, so sessions are still served; what the machine
    // cannot do is dropped rather than piled up.
    constexpr int kBudgetMs = kSimulatorTickMs / 2;
    constexpr int kChunk = 100;
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
