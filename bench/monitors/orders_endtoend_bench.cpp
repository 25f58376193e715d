// The orders window against the real session server at the "large" scale (100,000
// orders of the day): from the menu command to a filled, sorted grid, the way a dealer
// opens it. Prints one line per opening.
//
//   orders_endtoend_bench [--db LARGE.sqlite] [--server PATH] [--rounds N] [--sim-rate N]
//
// --db reuses a "large" store made earlier (a copy is used; without it the server makes
// one, which takes a while); --server measures another server binary.
#include "grids/TAdvColumnGrid.h"
#include "monitors/TOrderForm.h"
#include "session/LocalSocketSession.h"
#include "session/TBrokerSession.h"
#include "shell/base/Log.h"
#include "shell/base/Registry.h"
#include "shell/base/Services.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/main/MainForm.h"
#include "support/RealServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

void Print(const char* what, double value, const char* unit) {
    std::printf("%-58s %12.1f %s\n", what, value, unit);
    std::fflush(stdout);
}

// CPU time of this thread: on a shared machine it moves less with other load than the
// elapsed time does.
double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

QString Argument(const QStringList& args, const QString& name, const QString& fallback = {}) {
    const qsizetype at = args.indexOf(name);
    return at > 0 && at + 1 < args.size() ? args[at + 1] : fallback;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QStringList args = app.arguments();
    const QString server = Argument(args, QStringLiteral("--server"), realserver::ServerBinary());
    const int rounds = Argument(args, QStringLiteral("--rounds"), QStringLiteral("3")).toInt();
    const QString db = dir.filePath(QStringLiteral("large.sqlite"));
    const QString source = Argument(args, QStringLiteral("--db"));
    if (!source.isEmpty() && !QFile::copy(source, db)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(source));
        return 1;
    }
    SetLogFileName(dir.filePath(QStringLiteral("bench.log")));
    qputenv("ORVEX_SERVER_SOCKET", dir.filePath(QStringLiteral("parvane.sock")).toUtf8());
    qputenv("ORVEX_SERVER_DB", db.toUtf8());
    qputenv("ORVEX_SERVER_SCALE", "large");
    qputenv("ORVEX_SERVER_LOG", dir.filePath(QStringLiteral("parvane.log")).toUtf8());
    qputenv("ORVEX_SERVER_IDLE", "5");
    // --sim-rate N: the market moves meanwhile (changes per second), as in the demo.
    qputenv("ORVEX_SERVER_SIM_RATE",
            Argument(args, QStringLiteral("--sim-rate"), QStringLiteral("0")).toUtf8());
    qputenv("ORVEX_SERVER_PATH", server.toUtf8());
    qputenv("ORVEX_CONFIG_DIR", dir.filePath(QStringLiteral("config")).toUtf8());
    TRegistry::ReloadStores();
    auto process = std::make_shared<realserver::RecordingProcess>();
    Services::SetProcess(process);
    LocalSocketSession::SetAttachTimeout(120000); // a new "large" store takes a while
    TOrderForm::Register();
    {
        TMainForm form;
        QElapsedTimer t;
        t.start();
        if (!realserver::WaitUntil([&] { return form.WorkStarted(); }, 600000)) {
            std::fprintf(stderr, "the start-up chain did not finish\n");
            return 1;
        }
        Print("start-up chain with the \"large\" references", double(t.elapsed()), "ms");
        for (int round = 0; round < rounds; ++round) {
            t.restart();
            auto* orders = qobject_cast<TOrderForm*>(form.OpenWindow(WindowCommand::Orders));
            if (!orders)
                return 1;
            TAdvColumnGrid& grid = orders->GridOrd();
            // The answer's arrival splits the time: the server and the link before it, the
            // window's own load, fix-up and sort after it.
            double arrivedMs = -1;
            double loadCpuMs = 0;
            const TBrokerSession::Handler load = orders->SesOrd().OnData;
            orders->SesOrd().OnData = [&, load](TBrokerSession* session) {
                if (arrivedMs < 0)
                    arrivedMs = double(t.nsecsElapsed()) / 1e6;
                const double cpu = ThreadCpuMs();
                load(session);
                loadCpuMs += ThreadCpuMs() - cpu;
            };
            // The answer is loaded, fixed up and sorted in one data event: once the rows
            // are there, the grid is filled and sorted.
            // The event loop runs as in the program (no pauses between events); a timer
            // looks for the rows now and then.
            QEventLoop loop;
            QTimer look;
            QObject::connect(&look, &QTimer::timeout, &loop, [&] {
                if (grid.RowCount() > grid.FixedRows() + 1000)
                    loop.quit();
            });
            look.start(2);
            QTimer::singleShot(120000, &loop, &QEventLoop::quit);
            loop.exec();
            if (grid.RowCount() <= grid.FixedRows() + 1000) {
                std::fprintf(stderr, "the orders did not arrive\n");
                return 1;
            }
            const double ms = double(t.nsecsElapsed()) / 1e6;
            Print(round == 0 ? "orders window: menu command to filled sorted grid, first"
                             : "orders window: menu command to filled sorted grid, again",
                  ms, "ms");
            Print("  of which: menu command to the answer in the window", arrivedMs, "ms");
            Print("  of which: the window's load, fix-up and sort", ms - arrivedMs, "ms");
            Print("  the window's load, fix-up and sort, CPU time", loadCpuMs, "ms");
            if (round == 0)
                Print("orders window: rows", double(grid.RowCount() - grid.FixedRows()), "rows");
            orders->close();
            QApplication::processEvents();
        }
    }
    TWindowCatalog::Unregister(WindowCommand::Orders);
    Services::SetProcess(nullptr);
    SetLogFileName(QString());
    return 0;
}
