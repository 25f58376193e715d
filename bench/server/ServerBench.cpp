// Figures of the session server on the "large" scale: generating the data, the full
// orders list (build, encode, and end to end through the socket), keyed requests of
// 10 keys, and sustained change events. Prints one line per figure.
#include "server/core/DemoData.h"
#include "server/core/Engine.h"
#include "server/core/ServerLog.h"
#include "server/core/Simulator.h"
#include "server/core/Store.h"
#include "session/wire/LocalPeer.h"
#include "session/wire/WireProtocol.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const QChar NUL(u'\0');

// CPU time of this thread: on a shared machine it moves less with other load than the
// elapsed time does.
double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void Print(const char* what, double value, const char* unit) {
    std::printf("%-58s %12.1f %s\n", what, value, unit);
    std::fflush(stdout);
}

QString FullOrders() {
    return QStringLiteral("chto=211") + NUL + QStringLiteral("filter_acc=") + NUL +
           QStringLiteral("filter_bum=") + NUL + QStringLiteral("filter_order_status=0") + NUL +
           QStringLiteral("filter_buy_sell=") + NUL;
}

QString KeyedOrders(const QString& keys) {
    return FullOrders() + QStringLiteral("filter_key_values=") + keys + NUL +
           QStringLiteral("LoopBackCount=2") + NUL +
           QStringLiteral("LoopBack0=UPDATE_WITH_KEY_FIELD") + NUL + QStringLiteral("LoopBack1=") +
           keys + NUL;
}

// A session connection that waits for one answer.
class Client {
public:
    bool Connect(const QString& name) {
        const QDeadlineTimer deadline(60000);
        while (!deadline.hasExpired()) {
            socket_.connectToServer(name);
            if (socket_.waitForConnected(500)) {
                // Decoded as the workstation decodes: large answers keep their rows in place.
                decoder_.SetRowsInFrame(true);
                socket_.write(wire::Encode(wire::Message::Hello(QStringLiteral("bench"))));
                socket_.write(wire::Encode(wire::Message::Login()));
                return Wait(wire::MessageType::LoggedIn, 0, nullptr, 60000);
            }
            QThread::msleep(100);
        }
        return false;
    }
    quint32 Send(const QString& request, const QString& params) {
        socket_.write(wire::Encode(
            wire::Message::Request(++id_, wire::Operation::SendRequest, request, params)));
        socket_.flush();
        return id_;
    }
    bool Wait(wire::MessageType type, quint32 id, wire::Message* out, int timeoutMs) {
        const QDeadlineTimer deadline(timeoutMs);
        wire::Message m;
        while (!deadline.hasExpired()) {
            while (decoder_.Next(m)) {
                if (m.type == type && (id == 0 || m.id == id)) {
                    if (out)
                        *out = std::move(m);
                    return true;
                }
            }
            if (decoder_.HasError())
                return false;
            if (socket_.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
                decoder_.ReadFrom(socket_);
        }
        return false;
    }
    // Counts change rows for the given time.
    qint64 CountRows(quint32 id, int ms, qint64* events) {
        QElapsedTimer t;
        t.start();
        qint64 rows = 0;
        wire::Message m;
        while (t.elapsed() < ms) {
            if (socket_.waitForReadyRead(50))
                decoder_.ReadFrom(socket_);
            while (decoder_.Next(m))
                if (m.type == wire::MessageType::Data && m.id == id) {
                    rows += m.rowBlock ? m.rowBlock->Size() : qint64(m.rows.size());
                    ++*events;
                }
        }
        return rows;
    }

private:
    QLocalSocket socket_;
    wire::FrameDecoder decoder_;
    quint32 id_ = 0;
};

// Time to carry one frame from a writer thread to a reader through a local socket
// pair, as the server's socket loop hands an answer to a workstation; widened: the
// writer's send buffer as the server sets it on every connection.
double TransferMs(const QByteArray& frame, bool widened) {
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return -1;
    if (widened)
        wire::WidenSendBuffer(pair[0], 4 << 20);
    QByteArray in(frame.size(), Qt::Uninitialized);
    QElapsedTimer t;
    t.start();
    std::thread writer([&] {
        qsizetype done = 0;
        while (done < frame.size()) {
            const ssize_t n =
                ::write(pair[0], frame.constData() + done, size_t(frame.size() - done));
            if (n <= 0)
                break;
            done += n;
        }
    });
    qsizetype got = 0;
    while (got < in.size()) {
        const ssize_t n = ::read(pair[1], in.data() + got, size_t(in.size() - got));
        if (n <= 0)
            break;
        got += n;
    }
    const double ms = double(t.nsecsElapsed()) / 1e6;
    writer.join();
    ::close(pair[0]);
    ::close(pair[1]);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ServerLog::SetQuiet(true);
    QTemporaryDir dir;
    // "server_bench --db FILE" reuses a "large" database made earlier (a copy is used).
    QString dbPath = dir.filePath(QStringLiteral("large.sqlite"));
    const QStringList args = app.arguments();
    const qsizetype dbArg = args.indexOf(QStringLiteral("--db"));
    const bool reuse = dbArg > 0 && dbArg + 1 < args.size();
    if (reuse && !QFile::copy(args[dbArg + 1], dbPath)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(args[dbArg + 1]));
        return 1;
    }

    QElapsedTimer t;
    qint64 orderKeys[10] = {};
    {
        Store store;
        QString error;
        if (!store.Open(dbPath, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        t.start();
        if (!reuse) {
            if (!DemoGenerator(store, DemoScale::Large(), 1, QDate::currentDate())
                     .Generate(&error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
            Print("generate \"large\" (100k securities, 100k orders)", double(t.elapsed()), "ms");
        }

        Engine engine(store);
        SessionState session;
        t.restart();
        const double cpu = ThreadCpuMs();
        EngineResult full = engine.Handle(session, QStringLiteral("SpisokBB"), FullOrders(), false);
        const double buildMs = double(t.nsecsElapsed()) / 1e6;
        Print("full 211: build answer in the engine", buildMs, "ms");
        Print("full 211: build answer in the engine, CPU time", ThreadCpuMs() - cpu, "ms");
        Print("full 211: rows", double(full.answer.rows.size()), "rows");
        wire::Message data = wire::Message::Data(1);
        data.rows.assign(full.answer.rows.cbegin(), full.answer.rows.cend());
        t.restart();
        const QByteArray frame = wire::Encode(data);
        Print("full 211: encode the frame", double(t.nsecsElapsed()) / 1e6, "ms");
        Print("full 211: frame size", double(frame.size()) / (1024.0 * 1024.0), "MiB");
        // The transport's path: the rows written straight into the frame, first into fresh
        // memory, then into the spent frame's buffer as the workers reuse it.
        QByteArray spare;
        for (int round = 0; round < 3; ++round) {
            t.restart();
            const double frameCpu = ThreadCpuMs();
            EngineResult direct = engine.HandleForFrame(session, QStringLiteral("SpisokBB"),
                                                        FullOrders(), false, 1, std::move(spare));
            QByteArray built = direct.answer.frame->Finish({}, {});
            const double frameMs = double(t.nsecsElapsed()) / 1e6;
            Print(round == 0 ? "full 211: build straight into the frame, fresh memory"
                             : "full 211: build straight into the frame, reused buffer",
                  frameMs, "ms");
            Print("full 211: build straight into the frame, CPU time", ThreadCpuMs() - frameCpu,
                  "ms");
            spare = std::move(built);
        }
        for (int round = 0; round < 3; ++round) {
            Print("full 211: frame through a socket, default send buffer", TransferMs(frame, false),
                  "ms");
            Print("full 211: frame through a socket, widened send buffer", TransferMs(frame, true),
                  "ms");
        }

        for (int i = 0; i < 10; ++i)
            orderKeys[i] = store
                               .ScalarQuery(QStringLiteral("SELECT order_num FROM orders WHERE "
                                                           "order_date = ? ORDER BY order_num "
                                                           "LIMIT 1 OFFSET ?"),
                                            {store.State(QStringLiteral("trading_date")), i * 9973})
                               .toLongLong();
        QStringList keys;
        for (qint64 k : orderKeys)
            keys << QString::number(k);
        const QString keyed = KeyedOrders(keys.join(QLatin1Char(',')));
        constexpr int kRounds = 200;
        t.restart();
        for (int i = 0; i < kRounds; ++i)
            engine.Handle(session, QStringLiteral("SpisokBB"), keyed, false);
        Print("keyed 211 (10 keys): engine, per request", double(t.nsecsElapsed()) / 1e3 / kRounds,
              "us");

        // The filter dialog's account expression over the 50,000 accounts of "large":
        // every seventh account unticked, and the marks inverted; then 2,000 accounts
        // excluded one by one.
        QStringList accountIds;
        {
            QSqlQuery ids(store.Db());
            ids.exec(QStringLiteral("SELECT id FROM account ORDER BY id"));
            while (ids.next())
                accountIds << ids.value(0).toString();
        }
        for (const bool inverted : {false, true}) {
            QStringList terms;
            for (qsizetype i = 0; i < accountIds.size(); ++i)
                if ((i % 7 == 0) == inverted)
                    terms << QStringLiteral("ID_ACC=") + accountIds[i];
            const QString fltr = QStringLiteral("fltr= AND (") +
                                 terms.join(QStringLiteral(" OR ")) + QStringLiteral(")") + NUL;
            t.restart();
            const EngineResult r =
                engine.Handle(session, QStringLiteral("SpisokBB"), FullOrders() + fltr, false);
            const QByteArray what = QStringLiteral("fltr naming %1 accounts: engine (%2 rows)")
                                        .arg(terms.size())
                                        .arg(r.answer.rows.size())
                                        .toLatin1();
            Print(what.constData(), double(t.nsecsElapsed()) / 1e6, "ms");
            // The filter's own cost, with the rows left out: the same filter on a keyed request.
            t.restart();
            const EngineResult k =
                engine.Handle(session, QStringLiteral("SpisokBB"), keyed + fltr, false);
            const QByteArray keyedWhat =
                QStringLiteral("fltr naming %1 accounts, 10 keys: engine (%2 rows)")
                    .arg(terms.size())
                    .arg(k.answer.rows.size())
                    .toLatin1();
            Print(keyedWhat.constData(), double(t.nsecsElapsed()) / 1e6, "ms");
        }
        {
            QString exclusions;
            for (qsizetype i = 0; i < accountIds.size() && i < 2000 * 7; i += 7)
                exclusions += QStringLiteral(" AND ID_ACC<>") + accountIds[i];
            t.restart();
            const EngineResult r =
                engine.Handle(session, QStringLiteral("SpisokBB"),
                              FullOrders() + QStringLiteral("fltr=") + exclusions + NUL, false);
            const QByteArray what = QStringLiteral("fltr excluding 2000 accounts: engine (%1 rows)")
                                        .arg(r.answer.rows.size())
                                        .toLatin1();
            Print(what.constData(), double(t.nsecsElapsed()) / 1e6, "ms");
        }

        Simulator sim(engine, 9);
        qint64 rows = 0;
        t.restart();
        while (t.elapsed() < 3000)
            rows += sim.Step(100).size();
        const double seconds = double(t.elapsed()) / 1000.0;
        Print("simulator in process: change events (100 per change set)",
              double(sim.EventsDone()) / seconds, "events/s");
        Print("simulator in process: change-stream rows", double(rows) / seconds, "rows/s");
    }

    // End to end through the real process and its socket.
    const QString socketName = dir.filePath(QStringLiteral("bench.sock"));
    QProcess server;
    server.start(QCoreApplication::applicationDirPath() + QStringLiteral("/parvane"),
                 {QStringLiteral("--db"), dbPath, QStringLiteral("--socket"), socketName,
                  QStringLiteral("--login-delay"), QStringLiteral("0"), QStringLiteral("--idle"),
                  QStringLiteral("0"), QStringLiteral("--control"), QStringLiteral("--log"),
                  dir.filePath(QStringLiteral("server.log"))});
    if (!server.waitForStarted(5000)) {
        std::fprintf(stderr, "parvane did not start\n");
        return 1;
    }
    Client client;
    if (!client.Connect(socketName)) {
        std::fprintf(stderr, "no connection to parvane\n");
        return 1;
    }
    for (int round = 0; round < 3; ++round) {
        t.restart();
        const quint32 id = client.Send(QStringLiteral("SpisokBB"), FullOrders());
        wire::Message m;
        if (!client.Wait(wire::MessageType::Data, id, &m, 120000))
            break;
        Print(round == 0 ? "full 211 end to end (request to decoded answer), first"
                         : "full 211 end to end (request to decoded answer), again",
              double(t.elapsed()), "ms");
    }
    QStringList keys;
    for (qint64 k : orderKeys)
        keys << QString::number(k);
    constexpr int kKeyedRounds = 100;
    t.restart();
    for (int i = 0; i < kKeyedRounds; ++i) {
        const quint32 id = client.Send(QStringLiteral("SpisokBB"), KeyedOrders(keys.join(',')));
        client.Wait(wire::MessageType::Data, id, nullptr, 10000);
    }
    Print("keyed 211 (10 keys) end to end, per request",
          double(t.nsecsElapsed()) / 1e3 / kKeyedRounds, "us");

    // A send of one session while the server builds the full list of another: the
    // socket loop acknowledges at once, whatever the workers are doing.
    {
        Client big, other;
        big.Connect(socketName);
        other.Connect(socketName);
        std::vector<double> ackMs;
        QElapsedTimer one;
        for (int round = 0; round < 5; ++round) {
            const quint32 bigId = big.Send(QStringLiteral("SpisokBB"), FullOrders());
            for (int i = 0; i < 200; ++i) {
                one.restart();
                const quint32 id =
                    other.Send(QStringLiteral("SpisokBB"), QStringLiteral("chto=404") + NUL);
                if (!other.Wait(wire::MessageType::Ack, id, nullptr, 10000))
                    break;
                ackMs.push_back(double(one.nsecsElapsed()) / 1e6);
                QThread::msleep(3);
            }
            big.Wait(wire::MessageType::Data, bigId, nullptr, 120000);
        }
        std::sort(ackMs.begin(), ackMs.end());
        auto at = [&](double share) {
            return ackMs.empty() ? -1.0 : ackMs[size_t(share * double(ackMs.size() - 1))];
        };
        Print("send beside a full 211 being built: acknowledged, median", at(0.5), "ms");
        Print("send beside a full 211 being built: acknowledged, 99th percentile", at(0.99), "ms");
        Print("send beside a full 211 being built: acknowledged, slowest", at(1.0), "ms");
        Print("send beside a full 211 being built: samples", double(ackMs.size()), "sends");
    }

    Client izm;
    izm.Connect(socketName);
    const quint32 sub = izm.Send(QStringLiteral("IzmenaBB"), QString());
    izm.Wait(wire::MessageType::Data, sub, nullptr, 10000);
    Client ctl;
    ctl.Connect(socketName);
    ctl.Send(QStringLiteral("ParvaneControl"),
             QStringLiteral("action=simrate") + NUL + QStringLiteral("rate=100000") + NUL);
    qint64 events = 0;
    const qint64 rows = izm.CountRows(sub, 5000, &events);
    Print("change stream end to end (simulator asked for 100k/s): rows", double(rows) / 5.0,
          "rows/s");
    Print("change stream end to end: data events", double(events) / 5.0, "events/s");
    server.kill();
    server.waitForFinished(5000);
    return 0;
}
