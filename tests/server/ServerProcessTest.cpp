// The server process end to end: the wire protocol, login, the change stream,
// control requests, faults, idle exit and a kill in the middle of a command.
#include "WireClient.h"
#include "server/core/Store.h"
#include "server/core/WireText.h"
#include "server/host/ServerOptions.h"
#include "session/wire/WireProtocol.h"
#include "support/StoreCache.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

using wireclient::ServerPath;
using wireclient::WireClient;
using WireText::SplitRow;

namespace {

const QChar NUL(u'\0');

QString FirstRow(const wire::Message& m) {
    return m.rows.empty() ? QString() : m.rows.front();
}

QString Param(const wire::Message& m, const QString& key) {
    for (const auto& [k, v] : m.requestParams)
        if (k == key)
            return v;
    return {};
}

const wire::Table* TableOf(const wire::Message& m, const QString& name) {
    for (const wire::Table& t : m.tables)
        if (t.name == name)
            return &t;
    return nullptr;
}

QString TableValue(const wire::Table& t, const QString& field) {
    for (const auto& [k, v] : t.fields)
        if (k == field)
            return v;
    return {};
}

// The index of a named field in an answer with metadata.
int FieldIndex(const wire::Message& m, const QString& name) {
    const wire::Table* fields = TableOf(m, QStringLiteral("METADATA.FIELDS"));
    if (!fields)
        return -1;
    for (const auto& [k, v] : fields->fields)
        if (k.startsWith(QStringLiteral("FIELD_NAME.")) && v == name)
            return TableValue(*fields, QStringLiteral("FIELD_INDEX.") + k.mid(11)).toInt();
    return -1;
}

QString Pairs(std::initializer_list<std::pair<QString, QString>> params) {
    QString text;
    for (const auto& [k, v] : params)
        text += k + QLatin1Char('=') + v + NUL;
    return text;
}

class ServerProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        socket_ = dir_.filePath(QStringLiteral("s.sock"));
        db_ = dir_.filePath(QStringLiteral("db.sqlite"));
        log_ = dir_.filePath(QStringLiteral("server.log"));
        // A freshly made store of the seed the server runs with, made once per build.
        ASSERT_TRUE(storecache::CopyServerStore(ServerPath(), db_,
                                                {QStringLiteral("--seed"), QStringLiteral("5")}));
    }
    void TearDown() override {
        if (server_.state() != QProcess::NotRunning) {
            server_.kill();
            server_.waitForFinished(5000);
        }
        // The log goes to its file, so standard error holds only what a sanitizer reports.
        const QString err = QString::fromUtf8(server_.readAllStandardError());
        EXPECT_FALSE(err.contains(QStringLiteral("Sanitizer")) ||
                     err.contains(QStringLiteral("runtime error")))
            << err.left(4000).toStdString();
    }
    void Start(QStringList extra = {}) {
        QStringList args{QStringLiteral("--db"),          db_,
                         QStringLiteral("--socket"),      socket_,
                         QStringLiteral("--log"),         log_,
                         QStringLiteral("--login-delay"), QStringLiteral("0"),
                         QStringLiteral("--seed"),        QStringLiteral("5")};
        args << extra;
        server_.setProgram(ServerPath());
        server_.setArguments(args);
        server_.start();
        ASSERT_TRUE(server_.waitForStarted(5000)) << ServerPath().toStdString();
    }
    QString Log() const {
        QFile f(log_);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir dir_;
    QString socket_, db_, log_;
    QProcess server_;
};

} // namespace

TEST_F(ServerProcessTest, StartUpChainWithdrawalAndChangeStream) {
    Start({QStringLiteral("--idle"), QStringLiteral("30")});
    WireClient torg, izm, ord, del;
    ASSERT_TRUE(torg.Connect(socket_, QStringLiteral("SesTorg")));
    ASSERT_TRUE(torg.Login());
    wire::Message m;
    const quint32 dayId = torg.Request(QStringLiteral("SQLtorgBB"),
                                       Pairs({{QStringLiteral("vrs"), QStringLiteral("3.72")}}));
    ASSERT_TRUE(torg.WaitFor(
        [&](const wire::Message& x) { return x.type == wire::MessageType::Ack && x.id == dayId; },
        nullptr));
    ASSERT_TRUE(torg.Answer(dayId, &m));
    ASSERT_EQ(m.type, wire::MessageType::Data);
    ASSERT_EQ(m.rows.size(), 1u);
    EXPECT_EQ(SplitRow(m.rows[0]).size(), 3);
    EXPECT_EQ(Param(m, QStringLiteral("vrs")), QStringLiteral("3.72"));

    ASSERT_TRUE(izm.Connect(socket_, QStringLiteral("SesIzm")));
    ASSERT_TRUE(izm.Login());
    const quint32 subId = izm.Request(QStringLiteral("IzmenaBB"), QString());
    ASSERT_TRUE(izm.Answer(subId, &m));
    EXPECT_TRUE(m.rows.empty());

    ASSERT_TRUE(ord.Connect(socket_, QStringLiteral("SesOrd")));
    ASSERT_TRUE(ord.Login());
    const quint32 listId =
        ord.Request(QStringLiteral("SpisokBB"),
                    Pairs({{QStringLiteral("chto"), QStringLiteral("211")},
                           {QStringLiteral("filter_acc"), QString()},
                           {QStringLiteral("filter_bum"), QString()},
                           {QStringLiteral("filter_order_status"), QStringLiteral("1")},
                           {QStringLiteral("filter_buy_sell"), QString()}}));
    ASSERT_TRUE(ord.Answer(listId, &m));
    ASSERT_FALSE(m.rows.empty());
    const wire::Table* header = TableOf(m, QStringLiteral("METADATA.HEADER"));
    ASSERT_TRUE(header);
    EXPECT_EQ(TableValue(*header, QStringLiteral("METADATA_ID")), QStringLiteral("SpisokBB.211"));
    const int numIndex = FieldIndex(m, QStringLiteral("ORDER_NUM"));
    const int statusIndex = FieldIndex(m, QStringLiteral("ORDER_STATUS"));
    ASSERT_GE(numIndex, 0);
    const QString order = SplitRow(m.rows[0]).value(numIndex);
    EXPECT_EQ(SplitRow(m.rows[0]).value(statusIndex), QStringLiteral("10"));

    ASSERT_TRUE(del.Connect(socket_, QStringLiteral("SesNDel")));
    ASSERT_TRUE(del.Login());
    const quint32 delId = del.Request(QStringLiteral("ExecQueryBB"),
                                      QStringLiteral("chto") + NUL + QStringLiteral("20") + NUL +
                                          QStringLiteral("param0") + NUL + order + NUL,
                                      true);
    ASSERT_TRUE(del.Answer(delId, &m));
    EXPECT_EQ(m.type, wire::MessageType::Data);
    EXPECT_EQ(Param(m, QStringLiteral("param0")), order);

    // The change stream reports the order; the next keyed request shows its new state.
    ASSERT_TRUE(izm.WaitFor(
        [&](const wire::Message& x) {
            if (x.type != wire::MessageType::Data || x.id != subId)
                return false;
            for (const QString& row : x.rows) {
                const QStringList f = SplitRow(row);
                if ((f.value(2) == QLatin1String("1") || f.value(2) == QLatin1String("2")) &&
                    f.value(3) == order)
                    return true;
            }
            return false;
        },
        nullptr));
    const quint32 keyedId =
        ord.Request(QStringLiteral("SpisokBB"),
                    Pairs({{QStringLiteral("chto"), QStringLiteral("211")},
                           {QStringLiteral("filter_key_values"), order},
                           {QStringLiteral("LoopBackCount"), QStringLiteral("2")},
                           {QStringLiteral("LoopBack0"), QStringLiteral("UPDATE_WITH_KEY_FIELD")},
                           {QStringLiteral("LoopBack1"), order},
                           {QStringLiteral("NoSendMetadata"), QStringLiteral("1")}}));
    ASSERT_TRUE(ord.Answer(keyedId, &m));
    ASSERT_EQ(m.rows.size(), 1u);
    EXPECT_EQ(SplitRow(m.rows[0]).value(statusIndex), QStringLiteral("20"));
    EXPECT_EQ(Param(m, QStringLiteral("LoopBack0")), QStringLiteral("UPDATE_WITH_KEY_FIELD"));
    // The session's cache is current: the header alone.
    EXPECT_TRUE(TableOf(m, QStringLiteral("METADATA.HEADER")));
    EXPECT_FALSE(TableOf(m, QStringLiteral("METADATA.FIELDS")));
}

TEST_F(ServerProcessTest, ControlRequestsDropNewDayAndStall) {
    Start({QStringLiteral("--control"), QStringLiteral("--idle"), QStringLiteral("30")});
    WireClient a, ctl;
    ASSERT_TRUE(a.Connect(socket_, QStringLiteral("SesTorg")));
    ASSERT_TRUE(a.Login());
    wire::Message m;
    quint32 id = a.Request(QStringLiteral("SQLtorgBB"),
                           Pairs({{QStringLiteral("vrs"), QStringLiteral("3.72")}}));
    ASSERT_TRUE(a.Answer(id, &m));
    const QString dayKey = SplitRow(FirstRow(m)).value(0);

    ASSERT_TRUE(ctl.Connect(socket_, QStringLiteral("ctl")));
    id = ctl.Request(QStringLiteral("ParvaneControl"),
                     Pairs({{QStringLiteral("action"), QStringLiteral("newday")},
                            {QStringLiteral("date"), QStringLiteral("03.03.2026")}}));
    ASSERT_TRUE(ctl.Answer(id, &m));
    EXPECT_EQ(SplitRow(FirstRow(m)).value(0), QStringLiteral("OK"));
    // Every session loses the connection and then logs in again.
    ASSERT_TRUE(a.WaitType(wire::MessageType::Disconnected));
    ASSERT_TRUE(a.WaitType(wire::MessageType::LoggedIn));
    id = a.Request(QStringLiteral("SQLtorgBB"),
                   Pairs({{QStringLiteral("vrs"), QStringLiteral("3.72")}}));
    ASSERT_TRUE(a.Answer(id, &m));
    EXPECT_NE(SplitRow(FirstRow(m)).value(0), dayKey);
    EXPECT_EQ(SplitRow(FirstRow(m)).value(1), QStringLiteral("03.03.2026"));

    // A refused login: the drop is followed by a login only after the retry.
    id = ctl.Request(QStringLiteral("ParvaneControl"),
                     Pairs({{QStringLiteral("action"), QStringLiteral("refuselogin")}}));
    ASSERT_TRUE(ctl.Answer(id, &m));
    id = ctl.Request(QStringLiteral("ParvaneControl"),
                     Pairs({{QStringLiteral("action"), QStringLiteral("drop")}}));
    ASSERT_TRUE(ctl.Answer(id, &m));
    ASSERT_TRUE(a.WaitType(wire::MessageType::Disconnected));
    // While logged out, requests are refused.
    id = a.Request(QStringLiteral("SQLtorgBB"),
                   Pairs({{QStringLiteral("vrs"), QStringLiteral("3.72")}}));
    ASSERT_TRUE(a.Answer(id, &m));
    EXPECT_EQ(m.type, wire::MessageType::Error);
    ASSERT_TRUE(a.WaitType(wire::MessageType::LoggedIn, nullptr, 15000));
    EXPECT_TRUE(Log().contains(QStringLiteral("login refused")));

    // Stalled answers still come, in order.
    id = ctl.Request(QStringLiteral("ParvaneControl"),
                     Pairs({{QStringLiteral("action"), QStringLiteral("stall")},
                            {QStringLiteral("ms"), QStringLiteral("300")}}));
    ASSERT_TRUE(ctl.Answer(id, &m));
    const quint32 first = a.Request(QStringLiteral("SpisokBB"),
                                    Pairs({{QStringLiteral("chto"), QStringLiteral("404")}}));
    const quint32 second = a.Request(QStringLiteral("SpisokBB"),
                                     Pairs({{QStringLiteral("chto"), QStringLiteral("405")}}));
    ASSERT_TRUE(a.WaitType(wire::MessageType::Data, &m));
    EXPECT_EQ(m.id, first);
    ASSERT_TRUE(a.WaitType(wire::MessageType::Data, &m));
    EXPECT_EQ(m.id, second);
    EXPECT_EQ(Param(m, QStringLiteral("chto")), QStringLiteral("405"));

    // Unknown actions and bad values are refused.
    id = ctl.Request(QStringLiteral("ParvaneControl"),
                     Pairs({{QStringLiteral("action"), QStringLiteral("explode")}}));
    ASSERT_TRUE(ctl.Answer(id, &m));
    EXPECT_EQ(SplitRow(FirstRow(m)).value(0), QStringLiteral("ERROR"));

    // The command-line client.
    QProcess tool;
    tool.start(ServerPath(), {QStringLiteral("--socket"), socket_, QStringLiteral("--ctl"),
                              QStringLiteral("status")});
    ASSERT_TRUE(tool.waitForFinished(10000));
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_TRUE(
        QString::fromUtf8(tool.readAllStandardOutput()).contains(QStringLiteral("logged_in=1")));
}

TEST_F(ServerProcessTest, ControlIsRefusedUnlessEnabledAndFaultsCloseOnlyTheirConnection) {
    Start({QStringLiteral("--idle"), QStringLiteral("30")});
    WireClient good, ctl, huge, rude;
    ASSERT_TRUE(good.Connect(socket_, QStringLiteral("SesTorg")));
    ASSERT_TRUE(good.Login());
    ASSERT_TRUE(ctl.Connect(socket_, QStringLiteral("ctl")));
    wire::Message m;
    quint32 id = ctl.Request(QStringLiteral("ParvaneControl"),
                             Pairs({{QStringLiteral("action"), QStringLiteral("drop")}}));
    ASSERT_TRUE(ctl.Answer(id, &m));
    EXPECT_EQ(m.type, wire::MessageType::Error);

    // Unknown request names and garbled parameter strings: an error, the connection stays.
    id = good.Request(QStringLiteral("Nonsense"), QString());
    ASSERT_TRUE(good.Answer(id, &m));
    EXPECT_EQ(m.type, wire::MessageType::Error);
    id = good.Request(QStringLiteral("ExecQueryBB"), QStringLiteral("chto") + NUL, true);
    ASSERT_TRUE(good.Answer(id, &m));
    EXPECT_EQ(m.type, wire::MessageType::Error);

    // An oversized frame and a first frame that is not a greeting close their connections.
    ASSERT_TRUE(huge.Connect(socket_, QStringLiteral("huge")));
    QByteArray frame(4, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xFF);
    frame[2] = char(0xFF);
    frame[3] = char(0x7F);
    huge.SendRaw(frame + QByteArray(64, 'x'));
    EXPECT_TRUE(huge.Closed());
    rude.Socket().connectToServer(socket_);
    ASSERT_TRUE(rude.Socket().waitForConnected(5000));
    rude.SendRaw(wire::Encode(wire::Message::Login()));
    EXPECT_TRUE(rude.Closed());

    // The server still answers everyone else.
    id = good.Request(QStringLiteral("SpisokBB"),
                      Pairs({{QStringLiteral("chto"), QStringLiteral("408")}}));
    ASSERT_TRUE(good.Answer(id, &m));
    EXPECT_EQ(m.type, wire::MessageType::Data);
    EXPECT_FALSE(m.rows.empty());
    EXPECT_TRUE(Log().contains(QStringLiteral("wire: ")));
    EXPECT_TRUE(Log().contains(QStringLiteral("control request refused")));
}

TEST_F(ServerProcessTest, OneServerPerSocketAndIdleExit) {
    Start({QStringLiteral("--idle"), QStringLiteral("3")});
    {
        WireClient c;
        ASSERT_TRUE(c.Connect(socket_, QStringLiteral("SesTorg")));
        QProcess second;
        second.start(ServerPath(),
                     {QStringLiteral("--db"), dir_.filePath(QStringLiteral("other.sqlite")),
                      QStringLiteral("--socket"), socket_, QStringLiteral("--idle"),
                      QStringLiteral("1")});
        ASSERT_TRUE(second.waitForFinished(20000));
        EXPECT_EQ(second.exitCode(), 1);
        EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("other.sqlite"))));
        EXPECT_EQ(server_.state(), QProcess::Running);
    }
    // The last session left: the server ends by itself.
    EXPECT_TRUE(server_.waitForFinished(20000));
    EXPECT_EQ(server_.exitCode(), 0);
    EXPECT_TRUE(Log().contains(QStringLiteral("exiting")));
}

TEST_F(ServerProcessTest, KillDuringCommandsLeavesTheDatabaseConsistent) {
    for (int round = 0; round < 3; ++round) {
        Start({QStringLiteral("--sim-rate"), QStringLiteral("20000"), QStringLiteral("--idle"),
               QStringLiteral("30")});
        WireClient izm;
        ASSERT_TRUE(izm.Connect(socket_, QStringLiteral("SesIzm")));
        ASSERT_TRUE(izm.Login());
        const quint32 sub = izm.Request(QStringLiteral("IzmenaBB"), QString());
        wire::Message m;
        ASSERT_TRUE(izm.Answer(sub, &m));
        // Wait for the simulator's writes, then kill the process in the middle of them.
        int events = 0;
        ASSERT_TRUE(izm.WaitFor(
            [&](const wire::Message& x) {
                return x.type == wire::MessageType::Data && x.id == sub &&
                       ++events >= 3 + round * 5;
            },
            nullptr, 60000));
        server_.kill();
        ASSERT_TRUE(server_.waitForFinished(5000));

        Store store;
        QString error;
        ASSERT_TRUE(store.Open(db_, &error)) << error.toStdString();
        EXPECT_EQ(store.IntegrityCheck(), QStringLiteral("ok"));
        auto count = [&](const char* sql) {
            return store.ScalarQuery(QString::fromUtf8(sql)).toLongLong();
        };
        EXPECT_EQ(
            count("SELECT COUNT(*) FROM orders o WHERE o.qty_first - o.qty_left <> "
                  "(SELECT COALESCE(SUM(qty), 0) FROM deal d WHERE d.order_num = o.order_num)"),
            0);
        EXPECT_EQ(count("SELECT COUNT(*) FROM orders WHERE qty_left < 0 OR ((status = 11) <> "
                        "(qty_left = 0) AND status < 20)"),
                  0);
        EXPECT_GT(store.State(QStringLiteral("next.deal")).toLongLong(),
                  count("SELECT MAX(deal_num) FROM deal"));
        EXPECT_GT(store.State(QStringLiteral("next.order")).toLongLong(),
                  count("SELECT MAX(order_num) FROM orders"));
        store.Close();
    }
}

TEST(ServerOptionsTest, CommandLineWinsOverEnvironmentAndBadValuesAreRefused) {
    qputenv("ORVEX_SERVER_SIM_RATE", "25");
    qputenv("ORVEX_SERVER_IDLE", "9");
    qputenv("ORVEX_SERVER_SCALE", "large");
    ServerOptions o;
    QString error;
    ASSERT_TRUE(ServerOptions::Parse({QStringLiteral("parvane"), QStringLiteral("--idle"),
                                      QStringLiteral("3"), QStringLiteral("--db"),
                                      QStringLiteral("/tmp/x.sqlite")},
                                     &o, &error))
        << error.toStdString();
    EXPECT_EQ(o.simRate, 25);
    EXPECT_EQ(o.idleSeconds, 3);
    EXPECT_EQ(o.scale, QStringLiteral("large"));
    EXPECT_EQ(o.dbPath, QStringLiteral("/tmp/x.sqlite"));
    EXPECT_EQ(o.maxConnections, 256);
    EXPECT_EQ(o.maxQueuedMiB, 256);
    EXPECT_EQ(o.stuckSeconds, 30);
    EXPECT_FALSE(o.control);
    qunsetenv("ORVEX_SERVER_SIM_RATE");
    qunsetenv("ORVEX_SERVER_IDLE");
    qunsetenv("ORVEX_SERVER_SCALE");

    for (const QStringList& bad :
         {QStringList{QStringLiteral("parvane"), QStringLiteral("--scale"), QStringLiteral("huge")},
          QStringList{QStringLiteral("parvane"), QStringLiteral("--idle"), QStringLiteral("-1")},
          QStringList{QStringLiteral("parvane"), QStringLiteral("--sim-rate"),
                      QStringLiteral("fast")},
          QStringList{QStringLiteral("parvane"), QStringLiteral("--seed")},
          QStringList{QStringLiteral("parvane"), QStringLiteral("--frobnicate")},
          QStringList{QStringLiteral("parvane"), QStringLiteral("--workers"), QStringLiteral("0")},
          QStringList{QStringLiteral("parvane"), QStringLiteral("--max-queued-mb"),
                      QStringLiteral("lots")},
          QStringList{QStringLiteral("parvane"), QStringLiteral("--stuck-timeout")},
          QStringList{QStringLiteral("parvane"), QStringLiteral("--ctl")}}) {
        EXPECT_FALSE(ServerOptions::Parse(bad, &o, &error)) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    ASSERT_TRUE(ServerOptions::Parse({QStringLiteral("parvane"), QStringLiteral("--ctl"),
                                      QStringLiteral("stall"), QStringLiteral("ms=5")},
                                     &o, &error));
    EXPECT_EQ(o.ctl, (QStringList{QStringLiteral("stall"), QStringLiteral("ms=5")}));
    EXPECT_TRUE(ServerOptions::HelpText().contains(QStringLiteral("--sim-rate")));
}
