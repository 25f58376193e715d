#pragma once

#include "session/IBrokerSession.h"
#include "session/wire/WireProtocol.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QLocalSocket;

// The link of one session to the session server "parvane" over its per-user local
// socket (docs/wire-protocol.md).
//
// Attaching starts the server from the workstation's folder when none answers and
// waits while a server holds the socket's lock (it is starting). Only a server of
// this user is talked to. Sending waits for the server to accept or refuse the
// request (the server acknowledges from its socket loop at once), so a refusal
// reaches the caller as ESessionError. Answers are kept locally: the getters never
// go to the server. When the link breaks, or the first attach fails, OnDisconnect
// is raised, the link re-attaches in the background (starting the server again when
// none runs, at most once in 5 s for the whole workstation) and OnLogin follows once
// the server is logged in.
class LocalSocketSession : public QObject, public IBrokerSession {
public:
    // How long attaching keeps trying after starting the server (tests shorten it).
    static void SetAttachTimeout(int milliseconds);
    static int AttachTimeout();
    // Pause between background re-attach attempts.
    static void SetReattachInterval(int milliseconds);
    // Forget that the first failure was already shown and when the server was last
    // started (tests).
    static void ResetFirstFailure();

    explicit LocalSocketSession(const QString& sessionName);
    ~LocalSocketSession() override;

    void SetEvents(IBrokerSessionEvents* events) override;
    // Attaches or throws ESessionError. The first failure in a run also shows the
    // top-most "Error" box through the message-box service; the link then keeps
    // trying in the background.
    void Open() override;
    void SendRequest(const QString& request, const QString& params) override;
    int SendCommand(const QString& request, const QString& params, int a, int b) override;
    void Login() override;
    bool GetLoginState() override;
    int GetRowCount() override;
    QString GetRowText(int row) override;
    bool ViewRowBytes(int row, QByteArrayView& bytes) override;
    QString GetCell(int row, int column) override;
    int GetTableSize(const QString& table) override;
    QString GetTableValue(const QString& table, const QString& field, int row) override;
    QString GetRequestParam(const QString& key, int n) override;

    bool IsAttached() const { return state_ == State::Attached; }

private:
    enum class State { Detached, Handshaking, Attached };

    // The answer the getters read: the last Data message of this session.
    struct Answer {
        std::vector<QString> rows; // only when the rows were not left in their frame
        std::shared_ptr<const wire::RowBlock> block; // the rows' bytes, in place
        QHash<QString, QHash<QString, QString>> tables;
        wire::Pairs requestParams;
    };

    void ResetDecoder();
    void AttachNow(); // throws ESessionError
    bool ConnectOnce(int timeoutMs);
    // Why the listener just reached must not be talked to; empty when it is ours.
    QString ForeignListener() const;
    // Who holds the socket, for the text of a failed handshake.
    QString ListenerText() const;
    void StartServerIfNoneRuns();
    void StartServer();
    void StartReattaching();
    void OnReadyRead();
    void OnSocketGone();
    void Fault(const QString& reason);
    void Break(const QString& reason);
    void Send(const wire::Message& message);
    // Blocks until pick() takes a message out of the inbox or the time runs out.
    bool WaitFor(const std::function<bool()>& picked, int timeoutMs);
    bool TakeReply(quint32 id, wire::Message& reply);
    int Exchange(const wire::Message& request, int timeoutMs);
    void SchedulePump();
    void Pump();
    void Dispatch(wire::Message& message);
    void TryReattach();

    QString name_;
    QString socketName_;
    QLocalSocket* socket_;
    wire::FrameDecoder decoder_;
    State state_ = State::Detached;
    bool reattaching_ = false;
    bool loggedIn_ = false;
    bool pumpScheduled_ = false;
    int waitDepth_ = 0;
    quint32 nextId_ = 1;
    QString lastFault_; // reason of the last wire fault, for attach errors
    std::deque<wire::Message> inbox_;
    Answer answer_;
    IBrokerSessionEvents* events_ = nullptr;
    QTimer reattachTimer_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
