#pragma once

#include <QString>
#include <QStringView>

#include <stdexcept>

// An operation the session server reported as failed, or a link that could not be made.
class ESessionError : public std::runtime_error {
public:
    explicit ESessionError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& Message() const { return message_; }

private:
    QString message_;
};

// Receiver of one session's events. Every call happens on the user-interface thread.
class IBrokerSessionEvents {
public:
    virtual ~IBrokerSessionEvents() = default;
    virtual void SessionLogin() = 0;      // the server is logged in
    virtual void SessionDisconnect() = 0; // link to the trading system lost
    virtual void SessionProcess(int totalCount, int readCount) = 0;
    virtual void SessionData() = 0; // an answer arrived; current until the next event
    virtual void SessionCommonData() = 0;
};

// One session of the session server. Rows and columns are 0-based; an answer's rows are
// the code page's bytes, read as text through GetRowText and GetCell.
// Operations the server reports as failed throw ESessionError.
class IBrokerSession {
public:
    virtual ~IBrokerSession() = default;

    virtual void SetEvents(IBrokerSessionEvents* events) = 0;
    // Attaches the link to the server once events are set; throws ESessionError when
    // that fails (a link may then keep trying in the background and raise OnLogin
    // when it succeeds).
    virtual void Open() {}

    // Returns at once; the answer comes as SessionData. params in pair form.
    virtual void SendRequest(const QString& request, const QString& params) = 0;
    // As SendRequest, params in alternating form; the result is ignored by callers.
    virtual int SendCommand(const QString& request, const QString& params, int a, int b) = 0;
    virtual void Login() = 0;
    virtual bool GetLoginState() = 0;

    // The current answer.
    virtual int GetRowCount() = 0;
    virtual QString GetRowText(int row) = 0; // every field followed by NUL
    // The row's code-page bytes where the link keeps them, without a copy; valid until
    // the next event of the session. false when the link has no such row or keeps none
    // in place.
    virtual bool ViewRowBytes(int, QByteArrayView&) { return false; }
    virtual QString GetCell(int row, int column) = 0;
    virtual int GetTableSize(const QString& table) = 0; // 0 when there is no such table
    virtual QString GetTableValue(const QString& table, const QString& field, int row) = 0;
    virtual QString GetRequestParam(const QString& key, int n) = 0;
};
