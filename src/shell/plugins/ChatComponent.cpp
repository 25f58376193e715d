#include "shell/plugins/ChatComponent.h"

#include "shell/base/ErrorGuard.h"
#include "shell/base/Services.h"
#include "shell/plugins/ChatSocket.h"

#include <QFileInfo>
#include <QHash>
#include <QLocalSocket>

namespace {

QHash<QString, TComponentFactory::Creator>& Creators() {
    static QHash<QString, TComponentFactory::Creator> creators;
    return creators;
}

class TStandInChat : public IChatComponent {
public:
    TStandInChat(QString program, QString folder)
        : program_(std::move(program)), folder_(std::move(folder)) {}
    void Show() override {
        QLocalSocket socket;
        socket.connectToServer(ChatSocketName());
        if (socket.waitForConnected(1000)) {
            socket.write("show\n");
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return;
        }
        if (!Services::Process().StartDetached(program_, {}, folder_))
            throw std::runtime_error(
                QStringLiteral("Программа чата \"%1\" не запускается").arg(program_).toStdString());
    }

private:
    QString program_;
    QString folder_;
};

} // namespace

void TComponentFactory::Register(const QString& id, Creator creator) {
    if (creator)
        Creators().insert(id, std::move(creator));
    else
        Creators().remove(id);
}

std::unique_ptr<IChatComponent> TComponentFactory::Create(const QString& id) {
    const auto it = Creators().constFind(id);
    if (it == Creators().constEnd())
        throw std::runtime_error(
            QStringLiteral("Компонент \"%1\" не зарегистрирован").arg(id).toStdString());
    std::unique_ptr<IChatComponent> component = (*it)();
    if (!component)
        throw std::runtime_error(
            QStringLiteral("Компонент \"%1\" не создан").arg(id).toStdString());
    return component;
}

void TChatHost::CreateChat() {
    chat_.reset();
    chat_ = TComponentFactory::Create(kChatComponentId);
}

void TChatHost::ShowChat() {
    GuardStep(QStringLiteral("Открытие чата"), [this] {
        if (!chat_)
            throw std::runtime_error("чат не создан");
        chat_->Show();
    });
}

void RegisterStandInChat(const QString& programFolder) {
    TComponentFactory::Register(kChatComponentId, [programFolder]() {
        const QString program = programFolder + QStringLiteral("/orvexchat");
        if (!QFileInfo(program).isExecutable())
            throw std::runtime_error(
                QStringLiteral("Нет программы чата \"%1\"").arg(program).toStdString());
        return std::make_unique<TStandInChat>(program, programFolder);
    });
}
