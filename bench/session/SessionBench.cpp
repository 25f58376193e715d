// Reading a large answer: decoding its frame and reading every field of every row
// through GetText. Prints rows per second.
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/WireProtocol.h"
#include "shell/base/DateValue.h"
#include "shell/base/WorkstationLocale.h"
#include "support/ScriptedSession.h"

#include <QCoreApplication>
#include <QDate>
#include <benchmark/benchmark.h>

namespace {

constexpr int kRows = 100000;
constexpr int kFields = 22;

// 22 fields as an orders answer has them: texts, integers, floats, dates, and a few
// binary ones.
AnswerBuilder Layout() {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.211"));
    for (int f = 0; f < kFields; ++f) {
        const QString name = QStringLiteral("FIELD_%1").arg(f);
        switch (f % 7) {
        case 0:
        case 1:
            b.Text(name);
            break;
        case 2:
            b.Int(name);
            break;
        case 3:
            b.Float(name);
            break;
        case 4:
            b.Date(name);
            break;
        case 5:
            b.BinaryInt(name);
            break;
        default:
            b.BinaryFloat(name);
            break;
        }
    }
    return b;
}

const ScriptedAnswer& BigAnswer() {
    static const ScriptedAnswer answer = [] {
        AnswerBuilder b = Layout();
        const double day = DateToValue(QDate(2007, 3, 5));
        QStringList dates;
        for (int d = 0; d < 300; ++d)
            dates << FormatDottedDate(day + d);
        std::vector<AnswerBuilder::Cell> cells;
        for (int r = 0; r < kRows; ++r) {
            cells.clear();
            for (int f = 0; f < kFields; ++f) {
                switch (f % 7) {
                case 0:
                    cells.emplace_back(QStringLiteral("L01+%1").arg(r, 8, 10, QLatin1Char('0')));
                    break;
                case 1:
                    cells.emplace_back(QStringLiteral("Сбербанк ао"));
                    break;
                case 2:
                case 5:
                    cells.emplace_back(r * 7 + f);
                    break;
                case 3:
                case 6:
                    cells.emplace_back(r * 0.25 + f);
                    break;
                default:
                    cells.emplace_back(dates[r % 300]);
                    break;
                }
            }
            b.Row(cells);
        }
        return b.Build();
    }();
    return answer;
}

QByteArray BigFrame() {
    wire::Message data = wire::Message::Data(1);
    const ScriptedAnswer& a = BigAnswer();
    data.rows = a.rows;
    for (auto it = a.tables.cbegin(); it != a.tables.cend(); ++it) {
        wire::Table t{it.key(), {}};
        for (auto f = it->cbegin(); f != it->cend(); ++f)
            t.fields.emplace_back(f.key(), f.value());
        data.tables.push_back(std::move(t));
    }
    return wire::Encode(data);
}

void ReadEverything(TMetadataSession& session, ScriptedSession& link, const ScriptedAnswer& answer,
                    benchmark::State& state) {
    QStringList names;
    for (int f = 0; f < kFields; ++f)
        names << QStringLiteral("field_%1").arg(f); // matched ignoring case, as windows do
    qint64 chars = 0;
    session.OnData = [&](TBrokerSession* s) {
        TMetadataParser& parser = session.Parser();
        const int rows = s->GetRowCount();
        for (int r = 0; r < rows; ++r) {
            for (const QString& name : names)
                chars += parser.GetText(name, r).size();
        }
    };
    link.FeedData(answer);
    benchmark::DoNotOptimize(chars);
    (void)state;
}

void BM_DecodeDataFrame(benchmark::State& state) {
    const QByteArray frame = BigFrame();
    for (auto _ : state) {
        wire::FrameDecoder decoder;
        decoder.Feed(frame);
        wire::Message m;
        if (!decoder.Next(m) || int(m.rows.size()) != kRows)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(m.rows.data());
    }
    state.counters["rows_per_second"] =
        benchmark::Counter(double(kRows) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["frame_MiB"] = double(frame.size()) / (1024.0 * 1024.0);
}

void BM_ReadAllFieldsGetText(benchmark::State& state) {
    ScopedWorkstationLocale locale(WorkstationLocale::Russian());
    ScriptedSessionHub hub;
    TMetadataSession session(QStringLiteral("SesOrd"), true);
    ScriptedSession& link = hub.Get(QStringLiteral("SesOrd"));
    const ScriptedAnswer& answer = BigAnswer();
    for (auto _ : state)
        ReadEverything(session, link, answer, state);
    state.counters["rows_per_second"] =
        benchmark::Counter(double(kRows) * double(state.iterations()), benchmark::Counter::kIsRate);
}

// The whole way: the frame off the socket, decoded, handed over and read field by field.
void BM_DecodeAndReadEverything(benchmark::State& state) {
    ScopedWorkstationLocale locale(WorkstationLocale::Russian());
    ScriptedSessionHub hub;
    TMetadataSession session(QStringLiteral("SesOrd"), true);
    ScriptedSession& link = hub.Get(QStringLiteral("SesOrd"));
    const QByteArray frame = BigFrame();
    for (auto _ : state) {
        wire::FrameDecoder decoder;
        decoder.Feed(frame);
        wire::Message m;
        decoder.Next(m);
        ScriptedAnswer answer;
        answer.rows = std::move(m.rows);
        for (wire::Table& t : m.tables)
            for (auto& [k, v] : t.fields)
                answer.tables[t.name].insert(k, v);
        ReadEverything(session, link, answer, state);
    }
    state.counters["rows_per_second"] =
        benchmark::Counter(double(kRows) * double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_DecodeDataFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllFieldsGetText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAndReadEverything)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
