// orvexchat: the stand-in chat. One window "Чат" with a history and an input line, both
// kept locally; one instance per user. A second start, or a "show" line on the
// per-user socket, raises the running instance's window.
#include "shell/plugins/ChatSocket.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QString HistoryPath() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                        QStringLiteral("/orvex");
    QDir().mkpath(dir);
    return dir + QStringLiteral("/chat-history.txt");
}

void Raise(QWidget& window) {
    window.show();
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.raise();
    window.activateWindow();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString socketName = ChatSocketName();
    {
        // Another instance answers: ask it to show itself and leave.
        QLocalSocket probe;
        probe.connectToServer(socketName);
        if (probe.waitForConnected(500)) {
            probe.write("show\n");
            probe.waitForBytesWritten(500);
            return 0;
        }
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("Чат"));
    auto* layout = new QVBoxLayout(&window);
    auto* history = new QPlainTextEdit(&window);
    history->setReadOnly(true);
    auto* input = new QLineEdit(&window);
    input->setPlaceholderText(QStringLiteral("Сообщение"));
    layout->addWidget(history, 1);
    layout->addWidget(input);
    QFile file(HistoryPath());
    if (file.open(QIODevice::ReadOnly))
        history->setPlainText(QString::fromUtf8(file.readAll()));
    file.close();
    QObject::connect(input, &QLineEdit::returnPressed, [&] {
        const QString text = input->text().trimmed();
        if (text.isEmpty())
            return;
        const QString line =
            QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yy hh:mm")) +
            QStringLiteral("  ") + text;
        history->appendPlainText(line);
        QFile out(HistoryPath());
        if (out.open(QIODevice::Append))
            out.write((line + QLatin1Char('\n')).toUtf8());
        input->clear();
    });

    if (qEnvironmentVariable("XDG_RUNTIME_DIR").isEmpty()) {
        QString error;
        wire::EnsurePrivateFolder(wire::PrivateSocketFolder(), true, &error);
    }
    QLocalServer server;
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(socketName)) {
        // A socket file left by an instance that ended without closing it.
        QLocalServer::removeServer(socketName);
        server.listen(socketName);
    }
    QObject::connect(&server, &QLocalServer::newConnection, [&] {
        while (QLocalSocket* peer = server.nextPendingConnection()) {
            QObject::connect(peer, &QLocalSocket::readyRead, peer, [peer, &window] {
                if (peer->readAll().contains("show"))
                    Raise(window);
            });
            QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        }
    });
    window.resize(420, 360);
    Raise(window);
    return QApplication::exec();
}
