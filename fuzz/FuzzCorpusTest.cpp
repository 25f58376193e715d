// Runs the fuzz entry points in the normal build: over the seed corpus, over frames of
// every message type, and over a few thousand deterministic mutations of them.
#include "FuzzTargets.h"
#include "session/wire/WireProtocol.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string_view>

namespace {

using Input = std::vector<uint8_t>;

std::vector<Input> ReadCorpus(const char* sub) {
    std::vector<Input> out;
    QDir dir(QStringLiteral(ORVEX_FUZZ_CORPUS "/") + QLatin1String(sub));
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = f.readAll();
        out.emplace_back(bytes.begin(), bytes.end());
    }
    return out;
}

// The chunk byte, then the bytes. Sized once and copied into place: growing a one-byte
// vector by insert() makes GCC 12 at -O3 warn of a memcpy out of bounds that cannot happen.
Input WithChunkByte(uint8_t chunk, const QByteArray& bytes) {
    Input in(size_t(bytes.size()) + 1);
    in[0] = chunk;
    std::copy(bytes.begin(), bytes.end(), in.begin() + 1);
    return in;
}

std::vector<Input> FrameSeeds() {
    using namespace wire;
    const QString nul(QChar(0));
    Message data = Message::Data(3);
    data.rows = {QStringLiteral("a") + nul + QStringLiteral("б") + nul, QString()};
    data.tables.push_back({QStringLiteral("METADATA.HEADER"),
                           {{QStringLiteral("FIELD_COUNT"), QStringLiteral("1")}}});
    data.requestParams = {{QStringLiteral("chto"), QStringLiteral("211")}};
    const std::vector<Message> messages = {
        Message::Hello(QStringLiteral("SesOrd")),
        Message::Login(),
        Message::Request(1, Operation::SendCommand, QStringLiteral("ExecQueryBB"),
                         QStringLiteral("chto") + nul + QStringLiteral("20") + nul),
        Message::LoginStateQuery(2),
        Message::LoginStateAnswer(2, true),
        Message::LoggedIn(),
        Message::Disconnected(),
        Message::Progress(10, 3),
        data,
        Message::CommonData(),
        Message::Ack(1, 5),
        Message::Error(1, QStringLiteral("отказ")),
    };
    std::vector<Input> seeds = ReadCorpus("frame");
    QByteArray all;
    for (const Message& m : messages) {
        const QByteArray frame = Encode(m);
        all += frame;
        seeds.push_back(WithChunkByte(63, frame));
    }
    seeds.push_back(WithChunkByte(0, all));
    seeds.push_back(WithChunkByte(6, all));
    return seeds;
}

std::vector<Input> MetadataSeeds() {
    std::vector<Input> seeds = ReadCorpus("metadata");
    using namespace std::literals;
    // Literals with embedded NULs: the view keeps every byte.
    const std::string_view texts[] = {
        "1\n2\nSpisokBB.409\n0\nCODE\n0\n0\n1\n1\n0\n\nLOT\n1\n0\n3\n1\n0\n\n--\nSBER\0"
        "10\0\nGAZP\0x\0\n"sv,
        "1\n1\nSpisokBB.1\n1\nD\n0\n0\n9\n\n\n\n--\n05.03.2007 12:30:00\0\n5.3.2007\0\n"sv,
        "1\n1\nx\n0\nB\n0\n1\n7\n\n\n\n--\n\x03"
        "0\x03"
        "0\x03"
        "0\x03"
        "0\x03"
        "0\x03"
        "0\x03"
        "0\x03"
        "0\0\n\x03\n"sv,
        "1\n-4\nid\n0\n--\n"sv,
        "\n\n\n\nHEADERLESS\n"sv,
    };
    for (const std::string_view t : texts)
        seeds.emplace_back(t.begin(), t.end());
    return seeds;
}

// Byte flips, inserts, deletes, truncation and splices, seeded so a failure repeats.
Input Mutate(const Input& seed, std::mt19937& rng) {
    Input out = seed;
    const int steps = 1 + int(rng() % 4);
    for (int s = 0; s < steps; ++s) {
        const size_t at = out.empty() ? 0 : rng() % out.size();
        switch (rng() % 6) {
        case 0:
            if (!out.empty())
                out[at] ^= uint8_t(1u << (rng() % 8));
            break;
        case 1:
            out.insert(out.begin() + qsizetype(at), uint8_t(rng()));
            break;
        case 2:
            if (!out.empty())
                out.erase(out.begin() + qsizetype(at));
            break;
        case 3:
            out.resize(at);
            break;
        case 4: { // an interesting value in place
            static const uint8_t values[] = {0, 3, 0x7f, 0x80, 0xff, '\n', '-', '0', '.'};
            if (!out.empty())
                out[at] = values[rng() % sizeof values];
            break;
        }
        default: // repeat a slice
            if (!out.empty()) {
                const size_t len = 1 + rng() % qMin<size_t>(16, out.size() - at);
                Input slice(out.begin() + qsizetype(at), out.begin() + qsizetype(at + len));
                out.insert(out.begin() + qsizetype(rng() % (out.size() + 1)), slice.begin(),
                           slice.end());
            }
            break;
        }
    }
    return out;
}

std::vector<Input> DesktopSeeds() {
    std::vector<Input> seeds = ReadCorpus("desktop");
    const std::string_view texts[] = {"", "_version=2", "_version=2\r\n_class=A\r\nB=4\r\n",
                                      "0a09zz", "\xee\xe9"};
    for (const std::string_view t : texts)
        seeds.emplace_back(t.begin(), t.end());
    return seeds;
}

void RunTarget(int (*target)(const uint8_t*, size_t), const std::vector<Input>& seeds,
               int mutations, unsigned seed) {
    for (const Input& in : seeds)
        ASSERT_EQ(target(in.data(), in.size()), 0);
    std::mt19937 rng(seed);
    for (int i = 0; i < mutations; ++i) {
        const Input in = i % 10 == 9 ? Input(rng() % 64, uint8_t(rng()))
                                     : Mutate(seeds[rng() % seeds.size()], rng);
        ASSERT_EQ(target(in.data(), in.size()), 0) << "mutation " << i;
    }
}

TEST(FuzzCorpus, FrameDecoderSurvivesSeedsAndMutations) {
    RunTarget(FuzzFrameDecoder, FrameSeeds(), 3000, 20070301);
}

TEST(FuzzCorpus, DesktopTextsSurviveSeedsAndMutations) {
    RunTarget(FuzzDesktopText, DesktopSeeds(), 3000, 31);
}

TEST(FuzzCorpus, MetadataAnswersSurviveSeedsAndMutations) {
    RunTarget(FuzzMetadataAnswer, MetadataSeeds(), 2000, 409);
}

} // namespace
