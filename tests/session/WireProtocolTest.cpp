// The frame codec: round trips of every message and the faults that must close a link.
#include "session/wire/WireProtocol.h"

#include "session/wire/Cp1251.h"

#include <QBuffer>
#include <QDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

using namespace wire;

namespace {

QString Nul() {
    return QString(QChar(0));
}

std::vector<Message> DecodeAll(const QByteArray& bytes, FrameDecoder& decoder,
                               qsizetype chunk = 0) {
    std::vector<Message> out;
    Message m;
    if (chunk <= 0) {
        decoder.Feed(bytes);
        while (decoder.Next(m))
            out.push_back(m);
        return out;
    }
    for (qsizetype i = 0; i < bytes.size(); i += chunk) {
        decoder.Feed(QByteArrayView(bytes).sliced(i, std::min(chunk, bytes.size() - i)));
        while (decoder.Next(m))
            out.push_back(m);
    }
    return out;
}

QByteArray Frame(quint32 length, quint8 type, const QByteArray& body) {
    QByteArray out(4, '\0');
    qToLittleEndian(length, out.data());
    out.append(char(type));
    out.append(body);
    return out;
}

Message SampleData() {
    Message d = Message::Data(7);
    d.rows = {QStringLiteral("1") + Nul() + QStringLiteral("Сбербанк") + Nul(),
              QString(QChar(3)) + QStringLiteral("0x") + Nul()};
    d.tables.push_back({QStringLiteral("METADATA.HEADER"),
                        {{QStringLiteral("METADATA_VERSION"), QStringLiteral("1")},
                         {QStringLiteral("FIELD_COUNT"), QStringLiteral("2")}}});
    d.requestParams = {{QStringLiteral("chto"), QStringLiteral("211")},
                       {QStringLiteral("LoopBack0"), QStringLiteral("UPDATE_WITH_KEY_FIELD")}};
    return d;
}

} // namespace

TEST(WireProtocol, EveryMessageSurvivesARoundTripWholeAndByteByByte) {
    const QString params = QStringLiteral("chto") + Nul() + QStringLiteral("20") + Nul();
    std::vector<Message> sent = {
        Message::Hello(QStringLiteral("SesOrd")),
        Message::Login(),
        Message::Request(5, Operation::SendCommand, QStringLiteral("ExecQueryBB"), params, 0, 1),
        Message::LoginStateQuery(9),
        Message::LoginStateAnswer(9, true),
        Message::LoggedIn(),
        Message::Disconnected(),
        Message::Progress(100, 40),
        SampleData(),
        Message::CommonData(),
        Message::Ack(5, -3),
        Message::Error(6, QStringLiteral("нет такого запроса")),
    };
    QByteArray stream;
    for (const Message& m : sent)
        stream += Encode(m);

    for (qsizetype chunk : {qsizetype(0), qsizetype(1), qsizetype(7)}) {
        FrameDecoder decoder;
        const std::vector<Message> got = DecodeAll(stream, decoder, chunk);
        ASSERT_FALSE(decoder.HasError()) << decoder.ErrorText().toStdString();
        ASSERT_EQ(got.size(), sent.size());
        EXPECT_FALSE(decoder.HasPartialFrame());
        EXPECT_EQ(got[0].text, QStringLiteral("SesOrd"));
        EXPECT_EQ(got[0].version, kProtocolVersion);
        EXPECT_EQ(got[2].operation, Operation::SendCommand);
        EXPECT_EQ(got[2].params, params); // NULs survive
        EXPECT_EQ(got[2].id, 5u);
        EXPECT_EQ(got[2].b, 1);
        EXPECT_TRUE(got[4].flag);
        EXPECT_EQ(got[7].a, 100);
        EXPECT_EQ(got[7].b, 40);
        EXPECT_EQ(got[8].rows, SampleData().rows);
        ASSERT_EQ(got[8].tables.size(), 1u);
        EXPECT_EQ(got[8].tables[0].fields, SampleData().tables[0].fields);
        EXPECT_EQ(got[8].requestParams, SampleData().requestParams);
        EXPECT_EQ(got[10].a, -3);
        EXPECT_EQ(got[11].text, QStringLiteral("нет такого запроса"));
        for (size_t i = 0; i < sent.size(); ++i)
            EXPECT_EQ(got[i].type, sent[i].type);
    }
}

TEST(WireProtocol, FaultsPutTheDecoderIntoItsErrorState) {
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    QByteArray validHello = Encode(Message::Hello(QStringLiteral("x")));
    QByteArray badMagic = validHello;
    badMagic[5] = 'X';
    QByteArray longString = Encode(Message::Error(1, QStringLiteral("abc")));
    qToLittleEndian(quint32(1000000), longString.data() + 9); // string claims a million chars
    QByteArray manyRows(4, '\0');
    manyRows += QByteArray::fromHex("ffffffff"); // a data answer claiming 4 billion rows
    const std::vector<Case> cases = {
        {"oversized length", Frame(kMaxFrameLength + 1, 0x84, {})},
        {"maximal length", Frame(0xFFFFFFFFu, 0x84, {})},
        {"zero length", Frame(0, 0x84, {})},
        {"unknown type", Frame(1, 0x42, {})},
        {"truncated body", Frame(3, 0x86, QByteArray(2, '\0'))},
        {"garbage after body", Frame(10, 0x86, QByteArray(9, '\0'))},
        {"bad magic", badMagic},
        {"string longer than frame", longString},
        {"row count beyond frame", Frame(9, 0x84, manyRows)},
        {"bad operation",
         Frame(22, 0x11, QByteArray::fromHex("01000000") + char(9) + QByteArray(16, '\0'))},
    };
    for (const Case& c : cases) {
        FrameDecoder decoder;
        const std::vector<Message> got = DecodeAll(c.bytes, decoder);
        EXPECT_TRUE(got.empty()) << c.what;
        EXPECT_TRUE(decoder.HasError()) << c.what;
        // Once failed, the decoder yields nothing more, even for valid frames.
        decoder.Feed(validHello);
        Message m;
        EXPECT_FALSE(decoder.Next(m)) << c.what;
    }
}

TEST(WireProtocol, ClaimedLengthIsNeverAllocatedBeforeTheBytesArrive) {
    // A peer announcing a 200 MiB frame and sending 10 bytes of it must cost 10 bytes.
    FrameDecoder decoder;
    decoder.Feed(Frame(200u * 1024 * 1024, 0x84, QByteArray(10, 'x')));
    Message m;
    EXPECT_FALSE(decoder.Next(m));
    EXPECT_FALSE(decoder.HasError());
    EXPECT_TRUE(decoder.HasPartialFrame()); // the link closing now would cut a frame
    EXPECT_EQ(decoder.BufferedBytes(), 15);

    // A smaller configured limit is honoured the moment the length is known.
    FrameDecoder small(64);
    small.Feed(Frame(65, 0x84, {}));
    EXPECT_TRUE(small.HasError());
}

// Rows and pairs are read one by one beyond what is reserved up front, and a count
// the frame's bytes do not fill ends in the error state, not in a huge reservation.
TEST(WireProtocol, LongListsGrowAsTheyAreRead) {
    Message data = SampleData();
    data.rows.assign(20000, QStringLiteral("r"));
    for (int i = 0; i < 9000; ++i)
        data.requestParams.emplace_back(QString::number(i), QStringLiteral("v"));
    FrameDecoder decoder;
    decoder.Feed(Encode(data));
    Message got;
    ASSERT_TRUE(decoder.Next(got));
    EXPECT_EQ(got.rows.size(), 20000u);
    EXPECT_EQ(got.requestParams.size(), data.requestParams.size());

    QByteArray frame = Encode(data);
    frame.truncate(frame.size() - 100000); // the rows claimed are not all there
    qToLittleEndian(qFromLittleEndian<quint32>(frame.constData()) - 100000u, frame.data());
    FrameDecoder cut;
    cut.Feed(frame);
    EXPECT_FALSE(cut.Next(got));
    EXPECT_TRUE(cut.HasError());
}

// A large answer written row by row is the frame Encode makes of it; decoded with its
// rows left in the frame it reads the same wherever the frame falls in the stream, and
// a frame cut short still fails.
TEST(WireProtocol, LargeAnswersKeepTheirRowsInTheFrame) {
    Message big = SampleData();
    for (int i = 0; i < 3000; ++i)
        big.rows.push_back(QStringLiteral("%1").arg(i) + Nul() +
                           QStringLiteral("Клиент %1").arg(i) + Nul() + QString(QChar(3)) +
                           QStringLiteral("1") + Nul());
    const QByteArray encoded = Encode(big);
    DataFrameWriter writer(big.id, encoded); // a buffer still shared is not written into
    for (const QString& row : big.rows)
        writer.AppendRow(Cp1251::Encode(row).constData(), row.size());
    ASSERT_EQ(writer.Finish(big.tables, big.requestParams), encoded);

    const QByteArray ack = Encode(Message::Ack(1, 0));                     // 13 bytes
    const QByteArray hello = Encode(Message::Hello(QStringLiteral("xy"))); // 22 bytes
    const struct {
        const char* what;
        QByteArray before, after;
        qsizetype chunk;
        bool fromDevice;
    } cases[] = {
        {"alone", {}, {}, 0, false},
        {"after a frame of odd length", ack, {}, 0, false},
        {"after a frame of even length", hello, {}, 4096, false},
        {"followed by another frame", {}, ack, 0, false},
        {"read straight from a device", ack, hello, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FrameDecoder decoder;
        decoder.SetRowsInFrame(true);
        std::vector<Message> got;
        if (c.fromDevice) {
            QByteArray stream = c.before + encoded + c.after;
            QBuffer device(&stream);
            device.open(QIODevice::ReadOnly);
            EXPECT_EQ(decoder.ReadFrom(device), stream.size());
            Message m;
            while (decoder.Next(m))
                got.push_back(m);
        } else {
            got = DecodeAll(c.before + encoded + c.after, decoder, c.chunk);
        }
        ASSERT_FALSE(decoder.HasError()) << decoder.ErrorText().toStdString();
        const auto data = std::find_if(
            got.begin(), got.end(), [](const Message& m) { return m.type == MessageType::Data; });
        ASSERT_NE(data, got.end());
        EXPECT_EQ(got.size(), 1u + !c.before.isEmpty() + !c.after.isEmpty());
        ASSERT_TRUE(data->rowBlock);
        EXPECT_TRUE(data->rows.empty());
        ASSERT_EQ(data->rowBlock->Size(), qsizetype(big.rows.size()));
        for (size_t i = 0; i < big.rows.size(); ++i)
            ASSERT_EQ(data->rowBlock->Row(qsizetype(i)), Cp1251::Encode(big.rows[i])) << i;
        EXPECT_EQ(data->tables[0].fields, big.tables[0].fields);
        EXPECT_EQ(data->requestParams, big.requestParams);
    }

    QByteArray cut = encoded;
    cut.truncate(cut.size() - 3); // the echoed parameters end early
    qToLittleEndian(quint32(cut.size() - 4), cut.data());
    FrameDecoder decoder;
    decoder.SetRowsInFrame(true);
    EXPECT_TRUE(DecodeAll(cut, decoder).empty());
    EXPECT_TRUE(decoder.HasError());
}

// Rows travel as the code page's bytes, one byte a character, in both decoder paths:
// every byte value survives (binary fields), and a character outside the code page
// arrives as '?', as the workstation would read it anyway.
TEST(WireProtocol, RowsTravelInTheCodePage) {
    QString everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += Cp1251::DecodeChar(char(b));
    const struct {
        const char* what;
        QString row, arrives;
    } cases[] = {
        {"Cyrillic and NULs", QStringLiteral("Сбербанк") + Nul() + QStringLiteral("ао") + Nul(),
         QStringLiteral("Сбербанк") + Nul() + QStringLiteral("ао") + Nul()},
        {"every byte value", everyByte, everyByte},
        {"outside the code page", QStringLiteral("a😀中b") + Nul(), QStringLiteral("a??b") + Nul()},
        {"empty", QString(), QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Message m = Message::Data(3);
        m.rows = {c.row};
        const QByteArray frame = Encode(m);
        EXPECT_EQ(frame.size(), Encode(Message::Data(3)).size() + 4 + c.arrives.size());
        for (const bool inFrame : {false, true}) {
            FrameDecoder decoder;
            decoder.SetRowsInFrame(inFrame);
            const std::vector<Message> got = DecodeAll(frame, decoder);
            ASSERT_EQ(got.size(), 1u);
            const QString row = inFrame ? Cp1251::Decode(got[0].rowBlock->Row(0)) : got[0].rows[0];
            EXPECT_EQ(row, c.arrives) << inFrame;
        }
    }
}

TEST(WireProtocol, ParameterStringsSplitInBothForms) {
    const QString pair = QStringLiteral("chto=409") + Nul() + QStringLiteral("a=b=c") + Nul() +
                         QStringLiteral("flag") + Nul();
    const Pairs p = SplitParams(pair, Operation::SendRequest);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0], std::make_pair(QStringLiteral("chto"), QStringLiteral("409")));
    EXPECT_EQ(p[1], std::make_pair(QStringLiteral("a"), QStringLiteral("b=c")));
    EXPECT_EQ(p[2], std::make_pair(QStringLiteral("flag"), QString()));

    const QString alt = QStringLiteral("chto") + Nul() + QStringLiteral("20") + Nul() +
                        QStringLiteral("param0") + Nul() + Nul();
    const Pairs a = SplitParams(alt, Operation::SendCommand);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[1], std::make_pair(QStringLiteral("param0"), QString()));

    EXPECT_TRUE(SplitParams(QString(), Operation::SendRequest).empty());
}

TEST(WireProtocol, SocketNameFollowsTheEnvironment) {
    const QByteArray savedSocket = qgetenv("ORVEX_SERVER_SOCKET");
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("ORVEX_SERVER_SOCKET", "/tmp/some.sock");
    EXPECT_EQ(ServerSocketName(), QStringLiteral("/tmp/some.sock"));
    qunsetenv("ORVEX_SERVER_SOCKET");
    qputenv("XDG_RUNTIME_DIR", "/run/user/77");
    EXPECT_EQ(ServerSocketName(), QStringLiteral("/run/user/77/orvex-parvane.sock"));
    qunsetenv("XDG_RUNTIME_DIR");
    // Not in the shared temporary folder itself: in a private folder of the user there.
    EXPECT_EQ(ServerSocketName(),
              QDir::tempPath() + QStringLiteral("/orvex-%1/parvane.sock").arg(::getuid()));
    if (!savedSocket.isNull())
        qputenv("ORVEX_SERVER_SOCKET", savedSocket);
    if (!savedRuntime.isNull())
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
}
