#pragma once

#include "server/core/Engine.h"
#include "server/core/Simulator.h"
#include "server/core/Store.h"
#include "server/host/ServerOptions.h"

#include "session/wire/WireProtocol.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>

class QLocalServer;
class QLocalSocket;

// The server process: listens on the per-user socket, one connection per session,
// logs in by itself shortly after start, answers requests from the engine, pushes
// the change stream to subscribed sessions, runs the market simulator, obeys the
// control requests (when enabled) and exits a set time after the last session left.
class ServerHost : public QObject {
    Q_OBJECT
public:
    explicit ServerHost(ServerOptions options, QObject* parent = nullptr);
    ~ServerHost() override;

    // Opens the store (generating demo data when empty) and starts listening.
    bool Start(QString* error);

    bool LoggedIn() const { return loggedIn_; }
    int ConnectionCount() const { return int(connections_.size()); }
    Engine& GetEngine() { return *engine_; }

    // The request name of control requests.
    static QString ControlRequestName() { return QStringLiteral("ParvaneControl"); }

signals:
    void Finished(); // the idle time ran out

private:
    struct Outgoing {
        qint64 releaseAt; // ms on clock_
        wire::Message message;
    };
    struct Connection {
        QLocalSocket* socket = nullptr;
        wire::FrameDecoder decoder;
        bool greeted = false;
        QString peerName;
        SessionState state;
        quint32 subscriptionId = 0;
        std::deque<Outgoing> queue; // answers waiting for a stall to pass
        bool ended = false;
        quint64 serial = 0; // tells a connection apart from a later one at the same address
    };
    // An accepted request waiting for its answer to be built.
    struct PendingRequest {
        Connection* connection = nullptr;
        quint64 serial = 0;
        wire::Message message;
    };

    void OnNewConnection();
    void OnReadyRead(Connection* c);
    void OnDisconnected(Connection* c);
    void HandleMessage(Connection* c, const wire::Message& m);
    void HandleRequest(Connection* c, const wire::Message& m);
    void HandleControl(Connection* c, const wire::Message& m, const ParamList& params);
    void RunPendingRequest();
    void Answer(Connection* c, const wire::Message& m);
    Connection* LiveConnection(Connection* c, quint64 serial) const;
    void Send(Connection* c, const wire::Message& m);
    void SendData(Connection* c, wire::Message m);
    void FlushQueues();
    void Broadcast(const wire::Message& m);
    void PushChanges(const QStringList& rows);
    void Fault(Connection* c, const QString& reason);

    void AttemptLogin();
    void DropAll(int reloginMs);
    void SimulatorTick();
    void UpdateIdle();

    ServerOptions options_;
    Store store_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<Simulator> simulator_;
    QLocalServer* server_ = nullptr;
    std::vector<std::unique_ptr<Connection>> connections_;
    // Connections that ended while one of their own handlers may still run; freed
    // from the event loop.
    std::vector<std::unique_ptr<Connection>> ended_;
    bool loggedIn_ = false;
    bool refuseNextLogin_ = false;
    int stallMs_ = 0;
    QTimer loginTimer_;
    QTimer idleTimer_;
    QTimer simTimer_;
    QTimer flushTimer_;
    // Requests are acknowledged as they arrive and answered from this queue, so a
    // session sending several requests in a row is never held behind the building
    // of an earlier answer.
    std::deque<PendingRequest> pending_;
    QTimer pendingTimer_;
    quint64 nextSerial_ = 1;
    QElapsedTimer clock_;
    double simCarry_ = 0;
};
