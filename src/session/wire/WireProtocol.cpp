#include "session/wire/WireProtocol.h"

#include "session/wire/Cp1251.h"
#include "session/wire/LocalPeer.h"

#include <QDir>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace wire {

// ---- messages ----

Message Message::Hello(const QString& peerName) {
    Message m;
    m.type = MessageType::Hello;
    m.version = kProtocolVersion;
    m.text = peerName;
    return m;
}

namespace {
Message Bare(MessageType type) {
    Message m;
    m.type = type;
    return m;
}
} // namespace

Message Message::Login() {
    return Bare(MessageType::Login);
}

Message Message::Request(quint32 id, Operation operation, const QString& name,
                         const QString& params, qint32 a, qint32 b) {
    Message m = Bare(MessageType::Request);
    m.id = id;
    m.operation = operation;
    m.text = name;
    m.params = params;
    m.a = a;
    m.b = b;
    return m;
}

Message Message::LoginStateQuery(quint32 id) {
    Message m = Bare(MessageType::LoginStateQuery);
    m.id = id;
    return m;
}

Message Message::LoginStateAnswer(quint32 id, bool waitingForPassword) {
    Message m = Bare(MessageType::LoginStateAnswer);
    m.id = id;
    m.flag = waitingForPassword;
    return m;
}

Message Message::LoggedIn() {
    return Bare(MessageType::LoggedIn);
}

Message Message::Disconnected() {
    return Bare(MessageType::Disconnected);
}

Message Message::Progress(qint32 total, qint32 read) {
    Message m = Bare(MessageType::Progress);
    m.a = total;
    m.b = read;
    return m;
}

Message Message::CommonData() {
    return Bare(MessageType::CommonData);
}

Message Message::Ack(quint32 id, qint32 result) {
    Message m = Bare(MessageType::Ack);
    m.id = id;
    m.a = result;
    return m;
}

Message Message::Error(quint32 id, const QString& text) {
    Message m = Bare(MessageType::Error);
    m.id = id;
    m.text = text;
    return m;
}

Message Message::Data(quint32 id) {
    Message m = Bare(MessageType::Data);
    m.id = id;
    return m;
}

// ---- encoding ----

namespace {

// Lists read from a frame reserve at most this many items up front; a count that the
// frame's length allows but its items do not fill then costs no big allocation.
constexpr quint32 kReserveLimit = 4096;

class Writer {
public:
    explicit Writer(QByteArray& out) : out_(out) {}
    void U8(quint8 v) { out_.append(char(v)); }
    void U32(quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out_.append(b, 4);
    }
    void I32(qint32 v) { U32(quint32(v)); }
    void Str(const QString& s) {
        U32(quint32(s.size()));
        const qsizetype start = out_.size();
        out_.resize(start + s.size() * 2);
        char* dst = out_.data() + start;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        std::memcpy(dst, s.utf16(), size_t(s.size()) * 2);
#else
        for (qsizetype i = 0; i < s.size(); ++i)
            qToLittleEndian(s[i].unicode(), dst + 2 * i);
#endif
    }
    // A row of a Data answer: its code-page bytes behind their count.
    void Row(QStringView row) {
        const qsizetype start = out_.size();
        out_.resize(start + 4 + row.size());
        const qsizetype n = Cp1251::EncodeInto(row, out_.data() + start + 4);
        qToLittleEndian(quint32(n), out_.data() + start);
        out_.truncate(start + 4 + n); // a pair of surrogates is one byte
    }
    void PairList(const Pairs& pairs) {
        U32(quint32(pairs.size()));
        for (const auto& [k, v] : pairs) {
            Str(k);
            Str(v);
        }
    }

private:
    QByteArray& out_;
};

// Reads values from one frame's body; every count is checked against the bytes left.
class Reader {
public:
    explicit Reader(QByteArrayView body) : p_(body.data()), left_(body.size()) {}
    bool U8(quint8& v) {
        if (left_ < 1)
            return false;
        v = quint8(*p_);
        Skip(1);
        return true;
    }
    bool U32(quint32& v) {
        if (left_ < 4)
            return false;
        v = qFromLittleEndian<quint32>(p_);
        Skip(4);
        return true;
    }
    bool I32(qint32& v) {
        quint32 u = 0;
        if (!U32(u))
            return false;
        v = qint32(u);
        return true;
    }
    bool Str(QString& s) {
        quint32 count = 0;
        if (!U32(count) || qsizetype(count) > left_ / 2)
            return false;
        s.resize(qsizetype(count));
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        if (count)
            std::memcpy(s.data(), p_, size_t(count) * 2);
#else
        for (quint32 i = 0; i < count; ++i)
            s[i] = QChar(qFromLittleEndian<quint16>(p_ + 2 * i));
#endif
        Skip(qsizetype(count) * 2);
        return true;
    }
    // A row of a Data answer left where it is: where its bytes start and how many.
    bool RowInPlace(const char*& at, quint32& count) {
        if (!U32(count) || qsizetype(count) > left_)
            return false;
        at = p_;
        Skip(qsizetype(count));
        return true;
    }
    bool Row(QString& row) {
        const char* at = nullptr;
        quint32 count = 0;
        if (!RowInPlace(at, count))
            return false;
        row = Cp1251::Decode(QByteArrayView(at, qsizetype(count)));
        return true;
    }
    // A count of items that each take at least minBytes: never more than the bytes left allow.
    bool Count(quint32& count, qsizetype minBytes) {
        return U32(count) && qsizetype(count) <= left_ / minBytes;
    }
    bool PairList(Pairs& pairs) {
        quint32 count = 0;
        if (!Count(count, 8))
            return false;
        pairs.clear();
        pairs.reserve(std::min<quint32>(count, kReserveLimit));
        for (quint32 i = 0; i < count; ++i) {
            QString k, v;
            if (!Str(k) || !Str(v))
                return false;
            pairs.emplace_back(std::move(k), std::move(v));
        }
        return true;
    }
    bool AtEnd() const {
        return left_ == 0;
    }

private:
    void Skip(qsizetype n) {
        p_ += n;
        left_ -= n;
    }
    const char* p_;
    qsizetype left_;
};

bool IsKnownType(quint8 type) {
    switch (MessageType(type)) {
    case MessageType::Hello:
    case MessageType::Login:
    case MessageType::Request:
    case MessageType::LoginStateQuery:
    case MessageType::LoginStateAnswer:
    case MessageType::LoggedIn:
    case MessageType::Disconnected:
    case MessageType::Progress:
    case MessageType::Data:
    case MessageType::CommonData:
    case MessageType::Ack:
    case MessageType::Error:
        return true;
    }
    return false;
}

// The tables and echoed parameters that end a Data body.
bool DataTail(Reader& r, Message& m) {
    quint32 tableCount = 0;
    if (!r.Count(tableCount, 8))
        return false;
    m.tables.resize(tableCount);
    for (quint32 i = 0; i < tableCount; ++i)
        if (!r.Str(m.tables[i].name) || !r.PairList(m.tables[i].fields))
            return false;
    return r.PairList(m.requestParams);
}

// A Data frame at least this long hands the decoder's buffer to its rows instead of
// being copied out of it.
constexpr quint32 kTakeBufferMinimum = 64 * 1024;

// A decoder keeps a buffer up to this size between frames.
constexpr qsizetype kKeptBuffer = 1024 * 1024;

// All of the buffer is read: small buffers stay for the next frame, a large one goes.
void ReleaseBuffer(QByteArray& buffer, qsizetype& readPos) {
    if (buffer.capacity() > kKeptBuffer)
        buffer = QByteArray();
    else
        buffer.resize(0);
    readPos = 0;
}

} // namespace

QByteArray Encode(const Message& m) {
    QByteArray out;
    out.reserve(64);
    Writer w(out);
    w.U32(0); // length, patched below
    w.U8(quint8(m.type));
    switch (m.type) {
    case MessageType::Hello:
        out.append(kMagic, 4);
        w.U32(m.version);
        w.Str(m.text);
        break;
    case MessageType::Login:
    case MessageType::LoggedIn:
    case MessageType::Disconnected:
    case MessageType::CommonData:
        break;
    case MessageType::Request:
        w.U32(m.id);
        w.U8(quint8(m.operation));
        w.Str(m.text);
        w.Str(m.params);
        w.I32(m.a);
        w.I32(m.b);
        break;
    case MessageType::LoginStateQuery:
        w.U32(m.id);
        break;
    case MessageType::LoginStateAnswer:
        w.U32(m.id);
        w.U8(m.flag ? 1 : 0);
        break;
    case MessageType::Progress:
        w.I32(m.a);
        w.I32(m.b);
        break;
    case MessageType::Data: {
        // The rows' bytes are known: one allocation instead of growing a large frame
        // step by step.
        qsizetype rowBytes = 0;
        for (const QString& row : m.rows)
            rowBytes += 4 + row.size();
        out.reserve(out.size() + 8 + rowBytes + 4096);
        w.U32(m.id);
        w.U32(quint32(m.rows.size()));
        for (const QString& row : m.rows)
            w.Row(row);
        w.U32(quint32(m.tables.size()));
        for (const Table& t : m.tables) {
            w.Str(t.name);
            w.PairList(t.fields);
        }
        w.PairList(m.requestParams);
        break;
    }
    case MessageType::Ack:
        w.U32(m.id);
        w.I32(m.a);
        break;
    case MessageType::Error:
        w.U32(m.id);
        w.Str(m.text);
        break;
    }
    qToLittleEndian(quint32(out.size() - 4), out.data());
    return out;
}

// Frame header of a Data answer: length, type, id, row count.
constexpr qsizetype kDataRowCountAt = 4 + 1 + 4;

DataFrameWriter::DataFrameWriter(quint32 id, QByteArray storage) : frame_(std::move(storage)) {
    if (!frame_.isDetached())
        frame_ = QByteArray();
    frame_.resize(0); // keeps the buffer of a reused frame
    Writer w(frame_);
    w.U32(0); // length, patched by Finish
    w.U8(quint8(MessageType::Data));
    w.U32(id);
    w.U32(0); // row count, patched by Finish
}

void DataFrameWriter::AppendRow(const char* bytes, qsizetype size) {
    const qsizetype start = frame_.size();
    frame_.resize(start + 4 + size);
    char* dst = frame_.data() + start;
    qToLittleEndian(quint32(size), dst);
    if (size)
        std::memcpy(dst + 4, bytes, size_t(size));
    ++rowCount_;
}

QByteArray DataFrameWriter::Finish(const std::vector<Table>& tables, const Pairs& requestParams) {
    Writer w(frame_);
    w.U32(quint32(tables.size()));
    for (const Table& t : tables) {
        w.Str(t.name);
        w.PairList(t.fields);
    }
    w.PairList(requestParams);
    qToLittleEndian(rowCount_, frame_.data() + kDataRowCountAt);
    qToLittleEndian(quint32(frame_.size() - 4), frame_.data());
    rowCount_ = 0;
    return std::exchange(frame_, QByteArray());
}

QString TypeName(quint8 type) {
    switch (MessageType(type)) {
    case MessageType::Hello:
        return QStringLiteral("Hello");
    case MessageType::Login:
        return QStringLiteral("Login");
    case MessageType::Request:
        return QStringLiteral("Request");
    case MessageType::LoginStateQuery:
        return QStringLiteral("LoginStateQuery");
    case MessageType::LoginStateAnswer:
        return QStringLiteral("LoginStateAnswer");
    case MessageType::LoggedIn:
        return QStringLiteral("LoggedIn");
    case MessageType::Disconnected:
        return QStringLiteral("Disconnected");
    case MessageType::Progress:
        return QStringLiteral("Progress");
    case MessageType::Data:
        return QStringLiteral("Data");
    case MessageType::CommonData:
        return QStringLiteral("CommonData");
    case MessageType::Ack:
        return QStringLiteral("Ack");
    case MessageType::Error:
        return QStringLiteral("Error");
    }
    return QStringLiteral("0x%1").arg(type, 2, 16, QLatin1Char('0'));
}

Pairs SplitParams(const QString& params, Operation operation) {
    Pairs out;
    const QList<QStringView> pieces = QStringView(params).split(QChar(0));
    // Every piece is NUL-ended, so the last split part is the text after the final
    // NUL: empty for a well-formed string, kept when the final NUL is missing.
    qsizetype n = pieces.size();
    if (n > 0 && pieces.back().isEmpty())
        --n;
    if (operation == Operation::SendRequest) {
        for (qsizetype i = 0; i < n; ++i) {
            const QStringView piece = pieces[i];
            const qsizetype eq = piece.indexOf(QLatin1Char('='));
            if (eq < 0)
                out.emplace_back(piece.toString(), QString());
            else
                out.emplace_back(piece.left(eq).toString(), piece.mid(eq + 1).toString());
        }
    } else {
        for (qsizetype i = 0; i < n; i += 2)
            out.emplace_back(pieces[i].toString(),
                             i + 1 < n ? pieces[i + 1].toString() : QString());
    }
    return out;
}

// ---- decoding ----

bool DecodeBody(quint8 type, QByteArrayView body, Message& m, QString& error) {
    if (!IsKnownType(type)) {
        error = QStringLiteral("unknown message type %1").arg(TypeName(type));
        return false;
    }
    m = Message();
    m.type = MessageType(type);
    Reader r(body);
    bool ok = true;
    switch (m.type) {
    case MessageType::Hello: {
        if (body.size() < 4 || std::memcmp(body.data(), kMagic, 4) != 0) {
            error = QStringLiteral("bad handshake magic");
            return false;
        }
        quint8 skip = 0;
        for (int i = 0; i < 4; ++i)
            r.U8(skip);
        ok = r.U32(m.version) && r.Str(m.text);
        break;
    }
    case MessageType::Login:
    case MessageType::LoggedIn:
    case MessageType::Disconnected:
    case MessageType::CommonData:
        break;
    case MessageType::Request: {
        quint8 op = 0;
        ok =
            r.U32(m.id) && r.U8(op) && r.Str(m.text) && r.Str(m.params) && r.I32(m.a) && r.I32(m.b);
        if (ok && op > quint8(Operation::SendCommand)) {
            error = QStringLiteral("unknown request operation %1").arg(op);
            return false;
        }
        m.operation = Operation(op);
        break;
    }
    case MessageType::LoginStateQuery:
        ok = r.U32(m.id);
        break;
    case MessageType::LoginStateAnswer: {
        quint8 flag = 0;
        ok = r.U32(m.id) && r.U8(flag);
        m.flag = flag != 0;
        break;
    }
    case MessageType::Progress:
        ok = r.I32(m.a) && r.I32(m.b);
        break;
    case MessageType::Data: {
        quint32 rowCount = 0;
        ok = r.U32(m.id) && r.Count(rowCount, 4);
        if (ok) {
            // The count is only bounded by the frame's length, and a row object is far
            // bigger than the four bytes it takes at the least: grow as rows are read.
            m.rows.clear();
            m.rows.reserve(std::min<quint32>(rowCount, kReserveLimit));
            for (quint32 i = 0; ok && i < rowCount; ++i) {
                QString row;
                ok = r.Row(row);
                if (ok)
                    m.rows.push_back(std::move(row));
            }
        }
        ok = ok && DataTail(r, m);
        break;
    }
    case MessageType::Ack:
        ok = r.U32(m.id) && r.I32(m.a);
        break;
    case MessageType::Error:
        ok = r.U32(m.id) && r.Str(m.text);
        break;
    }
    if (!ok) {
        error = QStringLiteral("truncated %1 frame").arg(TypeName(type));
        return false;
    }
    if (!r.AtEnd()) {
        error = QStringLiteral("garbage after %1 frame").arg(TypeName(type));
        return false;
    }
    return true;
}

FrameDecoder::FrameDecoder(quint32 maxFrameLength) : maxFrameLength_(maxFrameLength) {}

void FrameDecoder::Compact() {
    // Drop what was consumed before growing, so the buffer holds at most one
    // frame plus what arrived after it.
    const qsizetype left = buffer_.size() - readPos_;
    if (readPos_ == 0 || (left > 0 && readPos_ < buffer_.size() / 2))
        return;
    if (left > 0)
        std::memmove(buffer_.data(), buffer_.constData() + readPos_, size_t(left));
    buffer_.resize(left);
    readPos_ = 0;
}

void FrameDecoder::CheckLength() {
    // Check the length as soon as it is complete, so an oversized claim fails at once.
    if (BufferedBytes() >= 4) {
        const quint32 length = qFromLittleEndian<quint32>(buffer_.constData() + readPos_);
        if (length == 0 || length > maxFrameLength_)
            Fail(QStringLiteral("frame length %1 out of range").arg(length));
    }
}

void FrameDecoder::Feed(QByteArrayView bytes) {
    if (HasError() || bytes.isEmpty())
        return;
    Compact();
    buffer_.append(bytes.data(), bytes.size());
    CheckLength();
}

qint64 FrameDecoder::ReadFrom(QIODevice& device) {
    qint64 total = 0;
    while (!HasError()) {
        const qint64 available = device.bytesAvailable();
        if (available <= 0)
            break;
        Compact();
        const qsizetype at = buffer_.size();
        buffer_.resize(at + qsizetype(available)); // grows geometrically, like append
        const qint64 n = device.read(buffer_.data() + at, available);
        buffer_.resize(at + qsizetype(std::max<qint64>(n, 0)));
        if (n <= 0)
            break;
        total += n;
        CheckLength();
    }
    return total;
}

bool FrameDecoder::DecodeInFrame(quint32 length, Message& out, QString& error) {
    const qsizetype frameEnd = readPos_ + 4 + qsizetype(length);
    auto block = std::make_shared<RowBlock>();
    qsizetype frameAt = 0;
    if (frameEnd == buffer_.size() && length >= kTakeBufferMinimum) {
        // A large frame that ends the buffer (as a large answer does): its bytes become
        // the block's, uncopied. A small one is copied, so the decoder keeps its buffer.
        block->bytes_ = std::exchange(buffer_, QByteArray());
        frameAt = readPos_;
        readPos_ = 0;
    } else {
        block->bytes_ = QByteArray(buffer_.constData() + readPos_, 4 + qsizetype(length));
        readPos_ = frameEnd;
    }
    const char* base = block->bytes_.constData();
    Reader r(QByteArrayView(base + frameAt + 5, qsizetype(length) - 1));
    out = Message();
    out.type = MessageType::Data;
    quint32 rowCount = 0;
    bool ok = r.U32(out.id) && r.Count(rowCount, 4);
    if (ok) {
        // Each counted row has taken four bytes of the frame at least, and its span takes eight.
        block->rows_.reserve(rowCount);
        for (quint32 i = 0; ok && i < rowCount; ++i) {
            const char* at = nullptr;
            quint32 count = 0;
            ok = r.RowInPlace(at, count);
            if (ok)
                block->rows_.push_back({quint32(at - base), count});
        }
    }
    ok = ok && DataTail(r, out);
    if (!ok) {
        error = QStringLiteral("truncated %1 frame").arg(TypeName(quint8(MessageType::Data)));
        return false;
    }
    if (!r.AtEnd()) {
        error = QStringLiteral("garbage after %1 frame").arg(TypeName(quint8(MessageType::Data)));
        return false;
    }
    out.rowBlock = std::move(block);
    return true;
}

bool FrameDecoder::Next(Message& out) {
    if (HasError() || BufferedBytes() < 4)
        return false;
    const char* head = buffer_.constData() + readPos_;
    const quint32 length = qFromLittleEndian<quint32>(head);
    if (length == 0 || length > maxFrameLength_) {
        Fail(QStringLiteral("frame length %1 out of range").arg(length));
        return false;
    }
    if (BufferedBytes() - 4 < qsizetype(length))
        return false;
    const quint8 type = quint8(head[4]);
    QString error;
    if (rowsInFrame_ && type == quint8(MessageType::Data)) {
        const bool ok = DecodeInFrame(length, out, error);
        if (readPos_ == buffer_.size())
            ReleaseBuffer(buffer_, readPos_);
        if (!ok)
            Fail(error);
        return ok;
    }
    const bool ok = DecodeBody(type, QByteArrayView(head + 5, qsizetype(length) - 1), out, error);
    readPos_ += 4 + qsizetype(length);
    if (readPos_ == buffer_.size())
        ReleaseBuffer(buffer_, readPos_);
    if (!ok) {
        Fail(error);
        return false;
    }
    return true;
}

void FrameDecoder::Fail(const QString& reason) {
    error_ = reason;
    buffer_.clear();
    buffer_.squeeze();
    readPos_ = 0;
}

QString ServerSocketName() {
    const QString explicitName = qEnvironmentVariable("ORVEX_SERVER_SOCKET");
    if (!explicitName.isEmpty())
        return explicitName;
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty())
        return QDir(runtimeDir).filePath(QStringLiteral("orvex-parvane.sock"));
    // The shared temporary folder is writable by everyone: the socket goes into a
    // private folder of the user there (created and checked by whoever uses it).
    return QDir(PrivateSocketFolder()).filePath(QStringLiteral("parvane.sock"));
}

} // namespace wire
