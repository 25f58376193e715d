// Start-up of the server: the socket and store locks, listening, the store's
// preparation beside the socket loop, and the trading day following the calendar.
#include "server/core/DemoData.h"
#include "server/core/ServerLog.h"
#include "server/host/ServerHost.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QThread>

namespace {
constexpr int kSimulatorTickMs = 100;
constexpr int kHousekeepingMs = 1000;

// Who answers on the socket path, and whether it greets as a session server.
QString DescribeListener(const QString& socketName, bool* isServer) {
    *isServer = false;
    QLocalSocket probe;
    probe.connectToServer(socketName);
    if (!probe.waitForConnected(300))
        return {};
    const QString who = wire::DescribePeer(wire::PeerOf(probe.socketDescriptor()));
    wire::FrameDecoder decoder(ServerHost::kMaxRequestFrame);
    wire::Message hello;
    for (int i = 0; i < 5 && !*isServer; ++i) {
        if (probe.bytesAvailable() == 0 && !probe.waitForReadyRead(100))
            continue;
        decoder.Feed(probe.readAll());
        *isServer = decoder.Next(hello) && hello.type == wire::MessageType::Hello &&
                    hello.text == QLatin1String("parvane");
    }
    probe.abort();
    return who;
}
} // namespace

bool ServerHost::Start(QString* error) {
    if (!TakeSocket(error) || !TakeStore(error))
        return false;
    QLocalServer::removeServer(options_.socketName);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->setMaxPendingConnections(64);
    if (!server_->listen(options_.socketName)) {
        *error = QStringLiteral("cannot listen on %1: %2")
                     .arg(options_.socketName, server_->errorString());
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &ServerHost::OnNewConnection);
    ServerLog::Line(
        QStringLiteral("listening on %1, database %2%3")
            .arg(server_->fullServerName(), options_.dbPath,
                 options_.control ? QStringLiteral(", control requests enabled") : QString()));
    pool_ = std::make_unique<WorkerPool>(options_.dbPath, options_.workers, [this](WorkResult r) {
        QMetaObject::invokeMethod(
            this, [this, r = std::move(r)]() mutable { OnResult(std::move(r)); },
            Qt::QueuedConnection);
    });
    housekeepingTimer_.start(kHousekeepingMs);
    UpdateIdle();
    PrepareStore();
    return true;
}

// One server per socket: the lock beside the socket is taken before anything else,
// so of several servers started at once exactly one goes on; the others touch
// nothing. A listener that is not ours is named and left alone.
bool ServerHost::TakeSocket(QString* error) {
    const QFileInfo socketFile(options_.socketName.startsWith(QLatin1Char('/'))
                                   ? options_.socketName
                                   : QDir(QDir::tempPath()).filePath(options_.socketName));
    const QString folder = socketFile.absolutePath();
    if (wire::InPrivateSocketFolder(socketFile.absoluteFilePath())) {
        // The fallback socket folder in the shared temporary folder must be ours alone.
        if (!wire::EnsurePrivateFolder(folder, true, error))
            return false;
    } else if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create the socket folder %1").arg(folder);
        return false;
    }
    qint64 holder = 0;
    QString why;
    if (!socketLock_.TryAcquire(wire::LockPathFor(options_.socketName), &holder, &why)) {
        *error = QStringLiteral("another session server%1 already serves the socket %2 (%3)")
                     .arg(holder > 0 ? QStringLiteral(" (process %1)").arg(holder) : QString(),
                          options_.socketName, why);
        return false;
    }
    bool isServer = false;
    const QString listener = DescribeListener(options_.socketName, &isServer);
    if (!listener.isEmpty()) {
        *error = isServer ? QStringLiteral("a session server (%1) already listens on %2")
                                .arg(listener, options_.socketName)
                          : QStringLiteral("the socket %1 is held by %2, which is not a session "
                                           "server; stop it or remove the socket file")
                                .arg(options_.socketName, listener);
        return false;
    }
    return true;
}

// One server per store: a second server on the same database stops here, before it
// opens the database, whatever socket it was given.
bool ServerHost::TakeStore(QString* error) {
    const QFileInfo db(options_.dbPath);
    if (!QDir().mkpath(db.absolutePath())) {
        *error = QStringLiteral("cannot create the database folder %1").arg(db.absolutePath());
        return false;
    }
    qint64 holder = 0;
    QString why;
    if (!storeLock_.TryAcquire(wire::LockPathFor(db.absoluteFilePath()), &holder, &why)) {
        *error =
            QStringLiteral("the database %1 is in use by another session server%2 (%3); this "
                           "one leaves it alone")
                .arg(options_.dbPath,
                     holder > 0 ? QStringLiteral(" (process %1)").arg(holder) : QString(), why);
        return false;
    }
    return true;
}

// Opens the store on a thread of its own (generating the demo data of a new one) and
// reports its progress to the sessions, so a slow first start keeps the socket alive.
void ServerHost::PrepareStore() {
    ServerLog::Line(QStringLiteral("preparing the store %1").arg(options_.dbPath));
    const QString path = options_.dbPath;
    const QString scaleName = options_.scale;
    const quint64 seed = options_.seed;
    const int delayMs = options_.prepareDelayMs;
    auto progress = [this](int percent) {
        QMetaObject::invokeMethod(
            this, [this, percent] { OnPrepareProgress(percent); }, Qt::QueuedConnection);
    };
    preparation_ = std::thread([this, path, scaleName, seed, delayMs, progress] {
        QString error;
        bool ok = true;
        {
            // A test's stand-in for a slow machine, reported like real work.
            for (int waited = 0; waited < delayMs; waited += 100) {
                QThread::msleep(std::min(100, delayMs - waited));
                progress((waited + 100) * 10 / std::max(1, delayMs));
            }
            Store store;
            ok = store.Open(path, &error);
            if (ok && store.IsEmpty()) {
                DemoScale scale;
                DemoScale::FromName(scaleName, &scale);
                DemoGenerator generator(store, scale, seed, QDate::currentDate());
                generator.SetProgress([&](int percent) { progress(10 + percent * 9 / 10); });
                ok = generator.Generate(&error);
            } else if (ok) {
                ServerLog::Line(QStringLiteral("store %1 holds the \"%2\" data (seed %3)")
                                    .arg(path, store.State(QStringLiteral("scale")),
                                         store.State(QStringLiteral("seed"))));
            }
        }
        QMetaObject::invokeMethod(
            this, [this, ok, error] { OnStoreReady(ok, error); }, Qt::QueuedConnection);
    });
}

void ServerHost::OnPrepareProgress(int percent) {
    if (storeReady_ || percent <= preparePercent_)
        return;
    preparePercent_ = std::min(percent, 99);
    if (preparePercent_ >= loggedPercent_ + 10) {
        loggedPercent_ = preparePercent_;
        ServerLog::Line(QStringLiteral("preparing the store: %1%").arg(preparePercent_));
    }
    Broadcast(wire::Message::Progress(100, preparePercent_));
}

void ServerHost::OnStoreReady(bool ok, const QString& prepareError) {
    if (preparation_.joinable())
        preparation_.join();
    QString error = prepareError;
    if (ok)
        ok = store_.Open(options_.dbPath, &error);
    if (ok)
        ok = pool_->Start(&error);
    if (!ok) {
        ServerLog::Line(QStringLiteral("cannot prepare the store: %1").arg(error));
        emit Failed(error);
        return;
    }
    engine_ = std::make_unique<Engine>(store_);
    simulator_ = std::make_unique<Simulator>(*engine_, options_.seed);
    store_.SetState(QStringLiteral("login_state"), QStringLiteral("0"));
    storeReady_ = true;
    preparePercent_ = 100;
    Broadcast(wire::Message::Progress(100, 100));
    ServerLog::Line(QStringLiteral("store ready"));
    // A trading day of an earlier date is over: today's begins.
    calendarDay_ = QDate::fromString(store_.State(QStringLiteral("trading_date")), Qt::ISODate);
    StartNewDayIfDue();
    loginTimer_.start(options_.loginDelayMs);
    if (options_.simRate > 0)
        simTimer_.start(kSimulatorTickMs);
}

// The trading day follows the calendar: after midnight the server starts the new day
// itself, as the "newday" control action does.
void ServerHost::StartNewDayIfDue() {
    if (!storeReady_)
        return;
    const QDate today = QDate::currentDate();
    if (!calendarDay_.isValid() || calendarDay_ >= today) {
        calendarDay_ = today;
        return;
    }
    calendarDay_ = today;
    store_.SetState(QStringLiteral("trading_date"), today.toString(Qt::ISODate));
    store_.SetState(QStringLiteral("trading_day_key"),
                    QStringLiteral("TD") +
                        QString::number(QRandomGenerator::global()->bounded(100000000u)));
    ServerLog::Line(QStringLiteral("a new calendar day: trading day %1 of %2 begins")
                        .arg(store_.State(QStringLiteral("trading_day_key")),
                             today.toString(QStringLiteral("dd.MM.yyyy"))));
    if (loggedIn_)
        DropAll(-1);
}
