#pragma once

// A session's connection to a real server process, read synchronously, for the
// process tests of the session server.
#include "session/wire/WireProtocol.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QThread>

#include <deque>
#include <functional>

namespace wireclient {

inline QString ServerPath() {
    const QString dir = qEnvironmentVariable("ORVEX_BIN_DIR");
    return (dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir) +
           QStringLiteral("/parvane");
}

// One session's connection, read synchronously.
class WireClient {
public:
    bool Connect(const QString& socketName, const QString& role, int timeoutMs = 20000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            socket_.connectToServer(socketName);
            if (socket_.waitForConnected(500)) {
                Send(wire::Message::Hello(role));
                wire::Message hello;
                return Next(&hello, 5000) && hello.type == wire::MessageType::Hello;
            }
            QThread::msleep(100);
        }
        return false;
    }
    void Send(const wire::Message& m) {
        socket_.write(wire::Encode(m));
        socket_.flush();
    }
    void SendRaw(const QByteArray& bytes) {
        socket_.write(bytes);
        socket_.flush();
    }
    quint32 Request(const QString& name, const QString& params, bool command = false) {
        const quint32 id = ++lastId_;
        Send(wire::Message::Request(
            id, command ? wire::Operation::SendCommand : wire::Operation::SendRequest, name,
            params));
        return id;
    }
    // The next message, waiting up to timeoutMs.
    bool Next(wire::Message* out, int timeoutMs = 10000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (true) {
            if (!pending_.empty()) {
                *out = std::move(pending_.front());
                pending_.pop_front();
                return true;
            }
            if (decoder_.HasError() || deadline.hasExpired())
                return false;
            if (socket_.bytesAvailable() == 0 &&
                !socket_.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
                return false;
            decoder_.Feed(socket_.readAll());
            wire::Message m;
            while (decoder_.Next(m))
                pending_.push_back(m);
        }
    }
    // Skips messages until one matches.
    bool WaitFor(const std::function<bool(const wire::Message&)>& match, wire::Message* out,
                 int timeoutMs = 10000) {
        const QDeadlineTimer deadline(timeoutMs);
        wire::Message m;
        while (Next(&m, int(std::max<qint64>(1, deadline.remainingTime())))) {
            if (match(m)) {
                if (out)
                    *out = m;
                return true;
            }
        }
        return false;
    }
    bool WaitType(wire::MessageType type, wire::Message* out = nullptr, int timeoutMs = 10000) {
        return WaitFor([type](const wire::Message& m) { return m.type == type; }, out, timeoutMs);
    }
    bool Answer(quint32 id, wire::Message* out, int timeoutMs = 60000) {
        return WaitFor(
            [id](const wire::Message& m) {
                return (m.type == wire::MessageType::Data || m.type == wire::MessageType::Error) &&
                       m.id == id;
            },
            out, timeoutMs);
    }
    // The login waits for the server's store, which a sanitizer build on a loaded
    // machine may take long to prepare.
    bool Login() {
        Send(wire::Message::Login());
        return WaitType(wire::MessageType::LoggedIn, nullptr, 60000);
    }
    bool Closed(int timeoutMs = 5000) {
        if (socket_.state() == QLocalSocket::UnconnectedState)
            return true;
        return socket_.waitForDisconnected(timeoutMs) ||
               socket_.state() == QLocalSocket::UnconnectedState;
    }
    QLocalSocket& Socket() { return socket_; }

private:
    QLocalSocket socket_;
    wire::FrameDecoder decoder_;
    std::deque<wire::Message> pending_;
    quint32 lastId_ = 0;
};

} // namespace wireclient
