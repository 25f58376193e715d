// Time from the server's login to enabled menus, and the longest stretch the user
// interface could not repaint meanwhile, against the session server with the chosen
// data scale (default "large": 100,000 securities, 20,000 clients, 50,000 accounts).
//
//     shell_startup_bench [scale]      (parvane is looked for beside this program)
#include "session/LocalSocketSession.h"
#include "session/TBrokerSession.h"
#include "session/wire/Cp1251.h"
#include "shell/base/Log.h"
#include "shell/base/Registry.h"
#include "shell/base/Services.h"
#include "shell/main/MainForm.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/types.h>

#include "support/RealServer.h"

namespace {

using realserver::RecordingProcess;
using realserver::ServerBinary;

template <typename Pred> bool WaitUntil(Pred pred, int ms) {
    return realserver::WaitUntil(pred, ms, 5);
}

// The longest gap between two turns of a 5 ms timer: how long the user interface
// could not respond.
class StallMeter : public QObject {
public:
    StallMeter() {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.elapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
    }
    void Start() {
        clock_.start();
        last_ = 0;
        longest_ = 0;
        timer_.start();
    }
    qint64 Longest() const { return longest_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString scale = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("large");
    const QString server = QDir(QCoreApplication::applicationDirPath()).filePath("parvane");
    if (!QFileInfo(server).isExecutable()) {
        std::fprintf(stderr, "no session server at %s\n", qPrintable(server));
        return 1;
    }
    QTemporaryDir dir;
    qputenv("ORVEX_SERVER_SOCKET", dir.filePath("parvane.sock").toUtf8());
    qputenv("ORVEX_SERVER_DB", dir.filePath("store.sqlite").toUtf8());
    qputenv("ORVEX_SERVER_LOG", dir.filePath("parvane.log").toUtf8());
    qputenv("ORVEX_SERVER_SCALE", scale.toUtf8());
    qputenv("ORVEX_SERVER_CONTROL", "1");
    qputenv("ORVEX_SERVER_IDLE", "5");
    qputenv("ORVEX_SERVER_PATH", server.toUtf8());
    qputenv("ORVEX_CONFIG_DIR", dir.filePath("config").toUtf8());
    TRegistry::ReloadStores();
    auto process = std::make_shared<RecordingProcess>();
    Services::SetProcess(process);
    LocalSocketSession::SetAttachTimeout(600000); // the first start generates the store
    LocalSocketSession::SetReattachInterval(200);

    TMainForm form;
    SetLogFileName(dir.filePath("workstation.log"));
    StallMeter stall;
    QElapsedTimer sinceLogin;
    const auto login = form.SesTorg().OnLogin;
    form.SesTorg().OnLogin = [&](TBrokerSession* s) {
        sinceLogin.start();
        stall.Start();
        login(s);
    };
    // How long each answer's handler ran, to tell the workstation's share from the server's.
    for (TMetadataSession* ses : {&form.SesTs(), &form.SesBoard(), &form.SesBum(), &form.SesCli(),
                                  &form.SesAcc(), &form.SesAccProv(), &form.SesKto()}) {
        const auto handler = ses->OnData;
        ses->OnData = [&, handler, ses](TBrokerSession* s) {
            QElapsedTimer t;
            t.start();
            const qint64 arrived = sinceLogin.isValid() ? sinceLogin.elapsed() : -1;
            handler(s);
            if (qEnvironmentVariableIsSet("ORVEX_BENCH_DETAIL"))
                std::printf("  %s: arrived at %lld ms, handled in %lld ms\n",
                            qPrintable(ses->Name()), arrived, t.elapsed());
        };
    }
    if (!WaitUntil([&] { return form.WorkStarted(); }, 900000)) {
        std::fprintf(stderr, "the workstation did not start\n");
        return 1;
    }
    const qint64 first = sinceLogin.elapsed();
    const qint64 firstStall = stall.Longest();
    std::printf("scale %s: %d securities, %d clients, %d accounts, %d transaction accounts\n",
                qPrintable(scale), form.Refs().Securities.Count(), form.Refs().Clients.Count(),
                form.Refs().Accounts.Count(), form.Refs().TransactionAccounts.Count());
    std::printf("first start: Login -> menus enabled %lld ms, longest UI stall %lld ms\n", first,
                firstStall);

    // A new trading day reloads every list of the day again.
    const QString log = dir.filePath("workstation.log");
    QFile::remove(log);
    QProcess::execute(server, {"--ctl", "newday"});
    auto finished = [&] {
        QFile f(log);
        return f.open(QIODevice::ReadOnly) && f.readAll().contains(Cp1251::Encode(QStringLiteral(
                                                  "Построение интерфейса закончено.")));
    };
    if (WaitUntil(finished, 300000))
        std::printf("new trading day: Login -> menus enabled %lld ms, longest UI stall %lld ms\n",
                    sinceLogin.elapsed(), stall.Longest());
    return 0;
}
