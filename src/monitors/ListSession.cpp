#include "monitors/ListSession.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"

namespace monitorkit {

namespace {

TBrokerSession::Handler Wrap(std::function<void()> hook) {
    if (!hook)
        return {};
    return [hook = std::move(hook)](TBrokerSession*) { hook(); };
}

} // namespace

ListSession::ListSession(const QString& name, bool autoConnect, std::function<void()> onLogin,
                         std::function<void()> onData, std::function<void()> onDisconnect)
    : session_(std::make_unique<TBrokerSession>(name, autoConnect)),
      parser_(std::make_unique<TMetadataParser>(session_.get())) {
    session_->OnLogin = Wrap(std::move(onLogin));
    session_->OnData = Wrap(std::move(onData));
    session_->OnDisconnect = Wrap(std::move(onDisconnect));
}

ListSession::~ListSession() {
    session_->OnLogin = nullptr;
    session_->OnData = nullptr;
    session_->OnDisconnect = nullptr;
    parser_.reset();
    session_.reset();
}

} // namespace monitorkit
