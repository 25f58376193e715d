#pragma once

#include "server/core/Engine.h"
#include "server/core/Simulator.h"
#include "server/core/Store.h"
#include "server/host/ServerOptions.h"
#include "server/host/WorkerPool.h"

#include "session/wire/LocalPeer.h"
#include "session/wire/WireProtocol.h"

#include <QDate>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>
#include <thread>

class QLocalServer;
class QLocalSocket;

// The server process: takes the per-user socket and its store under exclusive locks,
// listens at once and prepares the store beside the socket loop, logs in by itself
// once the store is ready, pushes the change stream to subscribed sessions, runs the
// market simulator, obeys the control requests and exits a set time after the last
// session left.
//
// The socket loop only reads, checks and acknowledges requests; a small pool of
// workers builds the answers (WorkerPool), so a long list never holds up another
// session. Each connection is bounded: requests are small, the answer bytes waiting
// for it are capped (its requests are not read while it is over the cap), a stuck
// half frame or a silent peer is closed, and only this user's processes get in.
class ServerHost : public QObject {
    Q_OBJECT
public:
    explicit ServerHost(ServerOptions options, QObject* parent = nullptr);
    ~ServerHost() override;

    // Takes the locks and starts listening; the store is prepared afterwards.
    bool Start(QString* error);

    bool LoggedIn() const { return loggedIn_; }
    int ConnectionCount() const { return int(connections_.size()); }

    // The request name of control requests.
    static QString ControlRequestName() { return QStringLiteral("ParvaneControl"); }
    // Requests are small; answers keep the frame limit of the protocol.
    static constexpr quint32 kMaxRequestFrame = 16u * 1024u * 1024u;

signals:
    void Finished();                    // the idle time ran out
    void Failed(const QString& reason); // the store could not be prepared

private:
    struct Outgoing {
        qint64 releaseAt; // ms on clock_
        QByteArray frame;
    };
    struct Connection {
        QLocalSocket* socket = nullptr;
        wire::FrameDecoder decoder{kMaxRequestFrame};
        bool greeted = false;
        QString peerName;
        bool subscribed = false;
        quint32 subscriptionId = 0;
        std::deque<Outgoing> queue; // answers waiting for a stall to pass
        qint64 queuedBytes = 0;
        bool ended = false;
        quint64 serial = 0; // tells a connection apart from a later one at the same address
        std::shared_ptr<SessionJobs> jobs;
        int inFlight = 0;         // requests acknowledged and not yet answered
        bool paused = false;      // its requests are not read (back-pressure)
        qint64 connectedAt = 0;   // ms on clock_
        qint64 partialSince = -1; // since when half a frame waits
        qint64 overCapSince = -1; // since when its waiting answers exceed the cap
    };

    // Start-up (ServerStart.cpp).
    bool TakeSocket(QString* error);
    bool TakeStore(QString* error);
    void PrepareStore();
    void OnPrepareProgress(int percent);
    void OnStoreReady(bool ok, const QString& error);
    void StartNewDayIfDue();

    void OnNewConnection();
    void OnReadyRead(Connection* c);
    void OnDisconnected(Connection* c);
    void HandleMessage(Connection* c, const wire::Message& m);
    void HandleRequest(Connection* c, const wire::Message& m);
    // Control requests (ServerControl.cpp).
    void HandleControl(Connection* c, const wire::Message& m, const ParamList& params);
    QString ControlStatus() const;
    void OnResult(WorkResult result);
    Connection* FindConnection(quint64 serial) const;
    void Send(Connection* c, const wire::Message& m);
    void SendFrame(Connection* c, const QByteArray& frame);
    void SendData(Connection* c, QByteArray frame);
    void FlushQueues();
    void Broadcast(const wire::Message& m);
    void PushChanges(const QStringList& rows);
    void Fault(Connection* c, const QString& reason);
    qint64 WaitingBytes(const Connection* c) const;
    bool OverLimits(const Connection* c) const;
    void ResumeIfBelowLimits(Connection* c);
    void Housekeeping();

    void AttemptLogin();
    void DropAll(int reloginMs);
    void SimulatorTick();
    void UpdateIdle();

    ServerOptions options_;
    wire::ExclusiveFileLock socketLock_;
    wire::ExclusiveFileLock storeLock_;
    Store store_; // the socket loop's own connection: state, control, simulator
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<Simulator> simulator_;
    std::unique_ptr<WorkerPool> pool_;
    std::thread preparation_;
    bool storeReady_ = false;
    int preparePercent_ = 0;
    int loggedPercent_ = 0;
    QLocalServer* server_ = nullptr;
    std::vector<std::unique_ptr<Connection>> connections_;
    // Connections that ended while one of their own handlers may still run; freed
    // from the event loop.
    std::vector<std::unique_ptr<Connection>> ended_;
    bool loggedIn_ = false;
    bool refuseNextLogin_ = false;
    int stallMs_ = 0;
    quint64 epoch_ = 0; // grows with every drop; answers of an earlier one are void
    QTimer loginTimer_;
    QTimer idleTimer_;
    QTimer simTimer_;
    QTimer flushTimer_;
    QTimer housekeepingTimer_;
    QDate calendarDay_; // the calendar day the trading day was last checked against
    quint64 nextSerial_ = 1;
    QElapsedTimer clock_;
    double simCarry_ = 0;
    size_t burstIndex_ = 0;
};
