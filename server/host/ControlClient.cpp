#include "server/host/ControlClient.h"

#include "server/core/WireText.h"
#include "session/wire/WireProtocol.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

namespace ControlClient {

int Run(const QString& socketName, const QStringList& arguments, QString* output, int timeoutMs) {
    if (arguments.isEmpty()) {
        *output = QStringLiteral("no control action given");
        return 2;
    }
    QString params = QStringLiteral("action=") + arguments.first() + QChar(u'\0');
    for (int i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].contains(QLatin1Char('='))) {
            *output = QStringLiteral("\"%1\" is not key=value").arg(arguments[i]);
            return 2;
        }
        params += arguments[i] + QChar(u'\0');
    }
    QLocalSocket socket;
    socket.connectToServer(socketName);
    if (!socket.waitForConnected(timeoutMs)) {
        *output = QStringLiteral("no server on %1: %2").arg(socketName, socket.errorString());
        return 2;
    }
    socket.write(wire::Encode(wire::Message::Hello(QStringLiteral("parvane-ctl"))));
    socket.write(wire::Encode(wire::Message::Request(1, wire::Operation::SendRequest,
                                                     QStringLiteral("ParvaneControl"), params)));
    socket.flush();
    wire::FrameDecoder decoder;
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            break;
        decoder.Feed(socket.readAll());
        wire::Message m;
        while (decoder.Next(m)) {
            if (m.type == wire::MessageType::Error && (m.id == 1 || m.id == 0)) {
                *output = m.text;
                return 1;
            }
            if (m.type == wire::MessageType::Data && m.id == 1) {
                const QStringList fields =
                    m.rows.empty() ? QStringList() : WireText::SplitRow(m.rows.front());
                *output = fields.value(1);
                return fields.value(0) == QLatin1String("OK") ? 0 : 1;
            }
        }
        if (decoder.HasError()) {
            *output = decoder.ErrorText();
            return 2;
        }
    }
    *output = QStringLiteral("no answer from the server");
    return 2;
}

} // namespace ControlClient
