#pragma once

// The frame codec shared by the workstation's sessions and the session server.
// See docs/wire-protocol.md for the bytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <memory>
#include <utility>
#include <vector>

class QIODevice;

namespace wire {

constexpr quint32 kProtocolVersion = 2;
constexpr quint32 kMaxFrameLength = 256u * 1024u * 1024u; // type + body
constexpr char kMagic[4] = {'O', 'R', 'V', 'X'};

enum class MessageType : quint8 {
    Hello = 0x01,
    // workstation -> server
    Login = 0x10,
    Request = 0x11,
    LoginStateQuery = 0x12,
    // server -> workstation
    LoginStateAnswer = 0x80,
    LoggedIn = 0x81,
    Disconnected = 0x82,
    Progress = 0x83,
    Data = 0x84,
    CommonData = 0x85,
    Ack = 0x86,
    Error = 0x87,
};

// How a request was sent, so the server knows the form of its parameter string.
enum class Operation : quint8 {
    SendRequest = 0, // pair form: "key=value" NUL ...
    SendCommand = 1, // alternating form: key NUL value NUL ...
};

using Pairs = std::vector<std::pair<QString, QString>>;

// One named table of an answer ("METADATA.HEADER"): field -> value of its row 1.
struct Table {
    QString name;
    Pairs fields;
};

// The rows of a Data answer left in the bytes of their frame
// (FrameDecoder::SetRowsInFrame): one block of memory for all rows instead of a text
// object per row. A row is its code-page bytes, as the workstation reads its fields.
// Read-only once decoded.
class RowBlock {
public:
    qsizetype Size() const { return qsizetype(rows_.size()); }
    // Row i in place; valid while the block lives.
    QByteArrayView Row(qsizetype i) const {
        const Span& s = rows_[size_t(i)];
        return QByteArrayView(bytes_.constData() + s.at, qsizetype(s.size));
    }

private:
    friend class FrameDecoder;
    struct Span {
        quint32 at;   // offset of the row's bytes in bytes_ (a frame is under 4 GiB)
        quint32 size; // bytes
    };
    QByteArray bytes_;
    std::vector<Span> rows_;
};

// One message. Which members count depends on the type:
//   Hello:            version, text (peer name)
//   Login, LoggedIn, Disconnected, CommonData: nothing
//   Request:          id, operation, text (request name), params, a, b
//   LoginStateQuery:  id
//   LoginStateAnswer: id, flag (the server waits for a password)
//   Progress:         a (total), b (read)
//   Data:             id, rows (or rowBlock), tables, requestParams
//   Ack:              id, a (result)
//   Error:            id, text
struct Message {
    MessageType type = MessageType::Hello;
    quint32 version = kProtocolVersion;
    quint32 id = 0;
    Operation operation = Operation::SendRequest;
    QString text;
    QString params;
    qint32 a = 0;
    qint32 b = 0;
    bool flag = false;
    std::vector<QString> rows;
    // Data decoded with its rows left in the frame: rows is empty, this holds them.
    std::shared_ptr<const RowBlock> rowBlock;
    std::vector<Table> tables;
    Pairs requestParams;

    static Message Hello(const QString& peerName);
    static Message Login();
    static Message Request(quint32 id, Operation operation, const QString& name,
                           const QString& params, qint32 a = 0, qint32 b = 1);
    static Message LoginStateQuery(quint32 id);
    static Message LoginStateAnswer(quint32 id, bool waitingForPassword);
    static Message LoggedIn();
    static Message Disconnected();
    static Message Progress(qint32 total, qint32 read);
    static Message CommonData();
    static Message Ack(quint32 id, qint32 result = 0);
    static Message Error(quint32 id, const QString& text);
    // Data: fill rows, tables and requestParams after this.
    static Message Data(quint32 id);
};

// The whole frame (length, type, body) for one message.
QByteArray Encode(const Message& message);

// A Data frame written row by row straight into its bytes, for answers of many rows:
// no text object per row, and no second copy of the rows when the frame is finished.
// The frame is the one Encode makes of the same answer.
class DataFrameWriter {
public:
    // storage: a spent frame whose buffer is reused when nothing else holds it.
    explicit DataFrameWriter(quint32 id, QByteArray storage = {});
    // One row: its code-page bytes, every field followed by NUL.
    void AppendRow(const char* bytes, qsizetype size);
    quint32 RowCount() const { return rowCount_; }
    // Adds the tables and the echoed parameters and returns the whole frame; the writer
    // is empty afterwards.
    QByteArray Finish(const std::vector<Table>& tables, const Pairs& requestParams);

private:
    QByteArray frame_;
    quint32 rowCount_ = 0;
};

// Name of a message type for log lines; "0xNN" for unknown ones.
QString TypeName(quint8 type);

// Pairs the pieces of a parameter string: pair form splits each NUL-ended piece at
// its first "="; alternating form takes key, value, key, value. Used by the server
// to echo a request's parameters and by tests.
Pairs SplitParams(const QString& params, Operation operation);

// Incremental decoder: feed bytes as they arrive, pop complete messages. After a
// fault it stays in the error state and yields nothing more. It grows its buffer
// only by the bytes fed, never by a length the peer claims.
class FrameDecoder {
public:
    explicit FrameDecoder(quint32 maxFrameLength = kMaxFrameLength);

    void Feed(QByteArrayView bytes);
    // Reads what the device has straight into the buffer (no copy of its own per read);
    // the bytes read.
    qint64 ReadFrom(QIODevice& device);
    // Pops the next complete message; false when none is complete or on error.
    bool Next(Message& out);
    // Data answers keep their rows in the frame's bytes (Message::rowBlock).
    void SetRowsInFrame(bool on) { rowsInFrame_ = on; }

    bool HasError() const { return !error_.isEmpty(); }
    const QString& ErrorText() const { return error_; }
    // Bytes of an incomplete frame are buffered (the stream ending now would cut a frame).
    bool HasPartialFrame() const { return buffer_.size() > readPos_; }
    qsizetype BufferedBytes() const { return buffer_.size() - readPos_; }

private:
    void Fail(const QString& reason);
    void Compact();
    void CheckLength();
    bool DecodeInFrame(quint32 length, Message& out, QString& error);

    quint32 maxFrameLength_;
    bool rowsInFrame_ = false;
    QByteArray buffer_;
    qsizetype readPos_ = 0;
    QString error_;
};

// Decodes one frame's type and body (without the length prefix). false and a reason
// when the body is garbled or the type unknown.
bool DecodeBody(quint8 type, QByteArrayView body, Message& out, QString& error);

// The per-user socket both sides use (see docs/wire-protocol.md).
QString ServerSocketName();

} // namespace wire
