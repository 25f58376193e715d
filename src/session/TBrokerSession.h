#pragma once

#include "session/IBrokerSession.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class TMetadataParser;

// Creates the link behind each session. The program uses the local-socket link to
// the session server; tests install a scripted one.
class SessionFactory {
public:
    using Creator = std::function<std::unique_ptr<IBrokerSession>(const QString& sessionName)>;
    static std::unique_ptr<IBrokerSession> Create(const QString& sessionName);
    static void SetCreator(Creator creator); // empty: back to the local-socket link
};

// The plain session: one stream of requests and answers with its event handlers.
// Handlers are called on the user-interface thread; an error escaping one is
// swallowed with a short beep and a log line. The cached row is dropped before
// every event.
class TBrokerSession : private IBrokerSessionEvents {
public:
    using Handler = std::function<void(TBrokerSession* sender)>;
    using ProcessHandler = std::function<void(TBrokerSession* sender, int total, int read)>;

    // name: the session's role name, used in log lines ("SesOrd").
    // autoConnect: attach when created; otherwise on first use.
    explicit TBrokerSession(const QString& name, bool autoConnect = false);
    ~TBrokerSession() override;
    TBrokerSession(const TBrokerSession&) = delete;
    TBrokerSession& operator=(const TBrokerSession&) = delete;

    Handler OnLogin;
    Handler OnDisconnect;
    ProcessHandler OnProcess;
    Handler OnData;
    Handler OnCommonData;

    const QString& Name() const { return name_; }

    // Operations of the session server (they attach first when needed).
    void SendRequest(const QString& request, const QString& params);
    int SendCommand(const QString& request, const QString& params, int a = 0, int b = 1);
    void Login();
    bool GetLoginState();
    int GetRowCount();
    QString GetRowText(int row);
    QString GetCell(int row, int column);
    int GetTableSize(const QString& table);
    QString GetTableValue(const QString& table, const QString& field, int row = 1);
    QString GetRequestParam(const QString& key, int n = 1);

    // The table of an answer whose request the server did not run (a refused filter):
    // it still carries its metadata and no rows, and says why in this field.
    static inline const QString kRefusalTable = QStringLiteral("REQUEST.ERROR");
    static inline const QString kRefusalText = QStringLiteral("ERROR_TEXT");

    // Field n (0-based) of the row as 8-bit text, not escape-decoded; empty when the
    // row holds fewer than n + 1 NUL-terminated fields. The row's field offsets are
    // cached with the row, so reading every field of a row costs one pass.
    QByteArray GetField(int row, int n);
    // The same without a copy: valid until another row is read or the next event.
    QByteArrayView FieldView(int row, int n);

    // The link, attached on demand (throws ESessionError when the first attach fails;
    // the link then keeps trying in the background and raises OnLogin once attached).
    IBrokerSession& Link();
    bool IsAttached() const { return link_ != nullptr; }

protected:
    // Called before the handler of each event; the metadata session parses here.
    virtual void BeforeEvent(bool isData);

private:
    void SessionLogin() override;
    void SessionDisconnect() override;
    void SessionProcess(int totalCount, int readCount) override;
    void SessionData() override;
    void SessionCommonData() override;
    void Raise(const Handler& handler, const char* eventName, bool isData);
    void Guard(const char* eventName, const std::function<void()>& call);
    static void Swallow(const QString& sessionName, const char* eventName, const QString& text);
    void DropCache();

    QString name_;
    std::unique_ptr<IBrokerSession> link_;
    bool hasCachedRow_ = false;
    int cachedRow_ = -1;
    QByteArrayView cachedBytes_;       // the row in 8-bit text, in the link or in cachedText_
    QByteArray cachedText_;            // the row encoded here when the link keeps none
    std::vector<int> cachedFieldEnds_; // offset of each NUL in the row
};

// The metadata session: owns a parser bound to itself and parses each answer's
// metadata before raising OnData (errors while parsing are ignored).
class TMetadataSession : public TBrokerSession {
public:
    explicit TMetadataSession(const QString& name, bool autoConnect = false);
    ~TMetadataSession() override;
    TMetadataParser& Parser() { return *parser_; }

protected:
    void BeforeEvent(bool isData) override;

private:
    std::unique_ptr<TMetadataParser> parser_;
};
