#pragma once

#include <QString>

#include <functional>
#include <memory>

class TBrokerSession;
class TMetadataParser;

namespace monitorkit {

// A window's session with the metadata parser bound to it. Going away it clears the
// hooks first, so no event reaches a window being torn down, and drops the parser
// before the session it reads.
class ListSession {
public:
    // name: the session's role name in log lines; autoConnect: attach at once. The
    // window's handlers of the session's events: an empty one is not installed.
    ListSession(const QString& name, bool autoConnect, std::function<void()> onLogin,
                std::function<void()> onData = {}, std::function<void()> onDisconnect = {});
    ~ListSession();
    ListSession(const ListSession&) = delete;
    ListSession& operator=(const ListSession&) = delete;

    TBrokerSession& Session() const { return *session_; }
    TMetadataParser& Parser() const { return *parser_; }

private:
    std::unique_ptr<TBrokerSession> session_;
    std::unique_ptr<TMetadataParser> parser_;
};

} // namespace monitorkit
