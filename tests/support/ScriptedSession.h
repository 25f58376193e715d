#pragma once

// The scripted session: a stand-in for the session server link that window tests
// drive by hand. It records every request exactly as sent (NULs included) and feeds
// answers built with AnswerBuilder, raising the session's events on demand.
//
// Install a ScriptedSessionHub for the test's lifetime; every TBrokerSession that
// attaches meanwhile gets a ScriptedSession, found by the session's role name (an
// auto-connect session attaches when created, any other on its first operation):
//
//     ScriptedSessionHub hub;                       // installs itself in SessionFactory
//     TOrderForm form(...);                         // creates its session "SesOrd"
//     ScriptedSession& ses = hub.Get("SesOrd");
//     ASSERT_EQ(ses.Sent().size(), 1u);
//     EXPECT_EQ(ses.Last().name, "SpisokBB");
//     EXPECT_EQ(ses.Last().Param("chto"), "211");    // or compare ses.Last().params exactly
//     ses.FeedData(AnswerBuilder()
//                      .Metadata("SpisokBB.211")
//                      .Text("ACC").Int("QTY").Float("PRICE").Date("DT")
//                      .Row({"L01+00000F00", 10, 1.5, "05.03.2007"})
//                      .Build());               // raises OnData on the owning session
//     ses.RaiseDisconnect();
//     ses.RaiseLogin();                         // the window resends its request
//
// Canned replies: ses.ReplyTo("SpisokBB", "211", answer) makes every later request
// with that name and "chto" answer by itself (queued; DeliverPending() or an event
// loop turn raises OnData). The request's parameters are echoed unless the answer
// sets its own with Param().
//
// Failures: ses.FailNext("text") makes the next operation throw ESessionError as a
// refusing server would; hub.FailAttach("SesOrd") makes attaching that session fail.

#include "session/IBrokerSession.h"
#include "session/wire/WireProtocol.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <initializer_list>
#include <memory>
#include <variant>
#include <vector>

// One request as the session received it.
struct SentRequest {
    bool command = false; // SendCommand (alternating form) rather than SendRequest (pair form)
    QString name;
    QString params; // exactly as sent, NULs included
    int a = 0;
    int b = 0;

    // The parameters paired up by the form of the operation.
    wire::Pairs Params() const;
    // The value of the first parameter with this key; empty when absent.
    QString Param(const QString& key) const;
    bool HasParam(const QString& key) const;
};

// One answer: rows (each field followed by NUL), named tables read at row 1, and the
// echoed request parameters.
struct ScriptedAnswer {
    std::vector<QString> rows;
    QHash<QString, QHash<QString, QString>> tables;
    wire::Pairs requestParams;
    bool echoRequest = true; // take the request's parameters when requestParams is empty
};

class ScriptedSessionHub;

class ScriptedSession : public QObject, public IBrokerSession {
public:
    explicit ScriptedSession(const QString& name, ScriptedSessionHub* hub = nullptr);
    ~ScriptedSession() override;

    const QString& Name() const { return name_; }

    // ---- what the program did ----
    const std::vector<SentRequest>& Sent() const { return sent_; }
    const SentRequest& Last() const; // throws std::logic_error when nothing was sent
    // Requests with this name (and "chto" value when given), in order.
    std::vector<SentRequest> SentTo(const QString& name, const QString& chto = QString()) const;
    void ClearSent() { sent_.clear(); }
    int LoginCalls() const { return loginCalls_; }
    int LoginStateCalls() const { return loginStateCalls_; }
    int RowTextCalls() const { return rowTextCalls_; }

    // ---- answers and events ----
    void SetAnswer(const ScriptedAnswer& answer); // current answer, no event
    void FeedData(const ScriptedAnswer& answer);  // SetAnswer, then OnData
    void RaiseLogin();
    void RaiseDisconnect();
    void RaiseProcess(int total, int read);
    void RaiseData();
    void RaiseCommonData();

    // Answers every later request with this name and "chto" (any "chto" when empty).
    void ReplyTo(const QString& request, const QString& chto, const ScriptedAnswer& answer);
    // Raises the queued replies now; returns how many were delivered.
    int DeliverPending();
    int PendingCount() const { return int(pending_.size()); }

    // ---- server behaviour ----
    void FailNext(const QString& message) { failNext_ = message; }
    void SetLoginState(bool waitingForPassword) { loginState_ = waitingForPassword; }
    void SetCommandResult(int result) { commandResult_ = result; }
    // Called after each request is recorded (before canned replies are queued).
    std::function<void(ScriptedSession&, const SentRequest&)> OnSent;

    // ---- IBrokerSession ----
    void SetEvents(IBrokerSessionEvents* events) override { events_ = events; }
    void SendRequest(const QString& request, const QString& params) override;
    int SendCommand(const QString& request, const QString& params, int a, int b) override;
    void Login() override;
    bool GetLoginState() override;
    int GetRowCount() override;
    QString GetRowText(int row) override;
    QString GetCell(int row, int column) override;
    int GetTableSize(const QString& table) override;
    QString GetTableValue(const QString& table, const QString& field, int row) override;
    QString GetRequestParam(const QString& key, int n) override;

private:
    friend class ScriptedSessionHub;
    struct Reply {
        QString request;
        QString chto;
        ScriptedAnswer answer;
    };
    void Record(SentRequest request);
    void ThrowIfFailing();

    QString name_;
    ScriptedSessionHub* hub_;
    IBrokerSessionEvents* events_ = nullptr;
    std::vector<SentRequest> sent_;
    ScriptedAnswer answer_;
    std::vector<Reply> replies_;
    std::vector<ScriptedAnswer> pending_;
    QString failNext_;
    bool loginState_ = false;
    int commandResult_ = 0;
    int loginCalls_ = 0;
    int loginStateCalls_ = 0;
    int rowTextCalls_ = 0;
    bool deliveryQueued_ = false;
};

// Installs itself as the session factory while it lives and hands out scripted links
// by session name. Sessions keep their link until they are destroyed.
class ScriptedSessionHub {
public:
    ScriptedSessionHub();
    ~ScriptedSessionHub(); // back to the real link
    ScriptedSessionHub(const ScriptedSessionHub&) = delete;
    ScriptedSessionHub& operator=(const ScriptedSessionHub&) = delete;

    // The most recently created live session of that name, or nullptr.
    ScriptedSession* Find(const QString& name) const;
    // As Find, but throws std::logic_error naming the live sessions when absent.
    ScriptedSession& Get(const QString& name) const;
    std::vector<ScriptedSession*> All(const QString& name) const;
    std::vector<ScriptedSession*> Live() const { return live_; }
    int CreatedCount(const QString& name) const { return created_.value(name); }

    // The next attach of that session name (any name when empty) throws ESessionError.
    void FailAttach(const QString& name, const QString& message = QStringLiteral("attach refused"));
    // Called for every new session (set canned replies here).
    std::function<void(ScriptedSession&)> OnCreated;

private:
    friend class ScriptedSession;
    std::unique_ptr<IBrokerSession> Create(const QString& name);
    void Forget(ScriptedSession* session);

    std::vector<ScriptedSession*> live_;
    QHash<QString, int> created_;
    QHash<QString, QString> failAttach_;
};

// Builds answers with self-describing metadata:
//
//     AnswerBuilder().Metadata("SpisokBB.409")        // header and field tables
//         .Text("NAME").Int("LOT").Float("PRICE").Date("MAT_DATE")
//         .BinaryInt("KEY").BinaryFloat("SUM")       // PACKET_DATA_TYPE 1, byte-3 escaped
//         .Row({"SBER", 10, 250.5, "05.03.2007", 7, 1.25})
//         .Param("BackParam", "1")
//         .Build();
//
// Row values follow the fields in order: a binary field gets its value in bytes
// (4 for integers, 8 for floats and dates), text fields get the value's text (numbers
// with "." as the decimal separator). HeaderOnly() leaves out the field table, as the
// server does for a request that said "NoSendMetadata".
class AnswerBuilder {
public:
    // Field type codes as the server writes them.
    enum TypeCode { kTextType = 1, kIntType = 3, kFloatType = 7, kDateType = 9 };

    using Value = std::variant<QString, qint64, double, QByteArray>;
    struct Cell {
        Value value;
        Cell(const QString& text) : value(text) {}
        Cell(const char* text) : value(QString::fromUtf8(text)) {}
        Cell(int number) : value(qint64(number)) {}
        Cell(qint64 number) : value(number) {}
        Cell(double number) : value(number) {}
        Cell(const QByteArray& bytes) : value(bytes) {} // raw bytes, escaped on write
    };

    AnswerBuilder& Metadata(const QString& metadataId,
                            const QString& version = QStringLiteral("1"));
    AnswerBuilder& ResetCache();
    AnswerBuilder& HeaderOnly();
    // A description with everything given; index -1: the next position.
    AnswerBuilder& Field(const QString& name, int fieldType, int packetType = 0, int index = -1);
    AnswerBuilder& Text(const QString& name) { return Field(name, kTextType); }
    AnswerBuilder& Int(const QString& name) { return Field(name, kIntType); }
    AnswerBuilder& Float(const QString& name) { return Field(name, kFloatType); }
    AnswerBuilder& Date(const QString& name) { return Field(name, kDateType); }
    AnswerBuilder& BinaryInt(const QString& name) { return Field(name, kIntType, 1); }
    AnswerBuilder& BinaryFloat(const QString& name) { return Field(name, kFloatType, 1); }
    AnswerBuilder& BinaryDate(const QString& name) { return Field(name, kDateType, 1); }

    AnswerBuilder& Row(std::initializer_list<Cell> cells);
    AnswerBuilder& Row(const std::vector<Cell>& cells);
    AnswerBuilder& RawRow(const QString& text); // the row text exactly
    AnswerBuilder& Param(const QString& key, const QString& value);
    AnswerBuilder& Table(const QString& table, const QString& field, const QString& value);

    ScriptedAnswer Build() const;

    // A binary value as it travels in a row: 0 and 3 (and 0x98, which has no
    // character of its own) are written as 3 followed by the byte + 48.
    static QString EscapeBytes(const QByteArray& bytes);
    static QByteArray IntBytes(qint32 value);
    static QByteArray DoubleBytes(double value);

private:
    struct FieldDesc {
        QString name;
        int fieldType;
        int packetType;
        int index;
    };
    QString CellText(const Cell& cell, int position) const;

    bool metadata_ = false;
    bool headerOnly_ = false;
    bool resetCache_ = false;
    QString metadataId_;
    QString version_;
    std::vector<FieldDesc> fields_;
    std::vector<QString> rows_;
    wire::Pairs params_;
    QHash<QString, QHash<QString, QString>> tables_;
};
