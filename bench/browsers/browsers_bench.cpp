// Timed figures of the reference browsers at the large scale (100,000 securities,
// 20,000 clients, 50,000 accounts, three types each with values on a third of the
// owners): the securities reference built, both client browser trees rebuilt, their
// node count and memory, and FindInfoNode. Prints one line per figure.
#include "browsers/TFormListBum.h"
#include "browsers/TFormUserInfo.h"
#include "grids/TAdvColumnGrid.h"
#include "shell/base/Log.h"
#include "shell/refs/ReferenceData.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

void FillLarge(TReferenceData& refs) {
    for (int t = 1; t <= 4; ++t) {
        auto ts = std::make_unique<TTSObj>();
        ts->Id = t;
        ts->Name = QStringLiteral("Площадка %1").arg(t);
        ts->NameTemplate = QStringLiteral("%CODE% (%TEXT%)");
        refs.AddTradingSystem(std::move(ts));
        for (int b = 0; b < 8; ++b) {
            auto board = std::make_unique<TBoardObj>();
            board->Id = t * 100 + b;
            board->BoardCode = QStringLiteral("B%1_%2").arg(t).arg(b);
            board->Name = QStringLiteral("Секция %1.%2").arg(t).arg(b);
            board->TradingSystemId = t;
            refs.Boards.Append(std::move(board));
        }
    }
    for (int i = 1; i <= 100000; ++i) {
        auto bum = std::make_unique<TBumObj>();
        bum->Id = i;
        bum->ShortName = bum->Name = QStringLiteral("БУМАГА%1").arg(i);
        bum->TradeCode = QStringLiteral("C%1").arg(i);
        const int t = 1 + i % 4;
        bum->TradingSystemId = t;
        bum->BoardCode = QStringLiteral("B%1_%2").arg(t).arg((i / 4) % 8);
        bum->LotSize = 10;
        bum->FutBuyDeposit = i * 0.5;
        refs.Securities.Append(std::move(bum));
    }
    for (int i = 1; i <= 20000; ++i) {
        auto cli = std::make_unique<TCliObj>();
        cli->Id = i;
        cli->Name = QStringLiteral("Клиент %1").arg(i);
        cli->ParentClientId = i % 10 == 0 ? i - 1 : 0;
        refs.Clients.Append(std::move(cli));
    }
    for (int i = 1; i <= 50000; ++i) {
        auto acc = std::make_unique<TAccObj>();
        acc->Id = 100000 + i;
        acc->Name = QStringLiteral("Счет %1").arg(i);
        acc->ClientId = 1 + i % 20000;
        refs.Accounts.Append(std::move(acc));
    }
    for (int t = 1; t <= 6; ++t) {
        auto type = std::make_unique<TUITypeObj>();
        type->Id = t;
        type->Name = QStringLiteral("Тип %1").arg(t);
        type->TargetKind = t <= 3 ? 1 : 2;
        refs.UserInfoTypes.Append(std::move(type));
    }
    int id = 1;
    for (int i = 1; i <= 50000; i += 3)
        for (int t = 1; t <= 3; ++t) {
            auto v = std::make_unique<TUserInfoObj>();
            v->Id = id++;
            v->OwnerId = 100000 + i;
            v->Name = QStringLiteral("значение %1").arg(i);
            refs.AddUserInfoValue(std::move(v), t);
        }
}

double BestMs(const std::function<void()>& run, int times = 3) {
    double best = 1e18;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// Resident memory in MB (Linux).
double ResidentMb() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toDouble() * 4096 / (1024.0 * 1024.0) : 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir logDir;
    SetLogFileName(logDir.filePath(QStringLiteral("bench.log")));
    TReferenceData refs;
    FillLarge(refs);
    TReferenceData::SetCurrent(&refs);

    const double listMs = BestMs([] { TFormListBum window; });
    std::printf("%-52s %9.1f ms   (target 500 ms)\n", "securities reference, 100,000 rows", listMs);

    const double before = ResidentMb();
    TFormUserInfo browser; // built once on creation
    const double after = ResidentMb();
    const double rebuildMs = BestMs([&] {
        browser.EmptyTrees();
        browser.Rebuild();
    });
    std::printf("%-52s %9.1f ms   (target 1000 ms)\n", "client browser, both trees rebuilt",
                rebuildMs);
    std::printf("%-52s %9d + %d nodes\n", "  nodes", browser.TreeClientsModel().Count(),
                browser.TreeUserInfoModel().Count());
    std::printf("%-52s %9.1f MB   (target 100 MB)\n",
                "  resident memory of the window with both trees", after - before);

    const TUserInfoTree& c = browser.TreeClientsModel();
    const TUserInfoTree& u = browser.TreeUserInfoModel();
    int found = 0;
    const int lookups = 100000;
    const double findMs = BestMs([&] {
        for (int i = 0; i < lookups; ++i) {
            found += c.FindInfoNode(1 + i % 3, 100001 + i % 50000) != TUserInfoTree::None;
            found += u.FindInfoNode(4 + i % 3, 1 + i % 20000) != TUserInfoTree::None;
        }
    });
    std::printf("%-52s %9.3f us   (target 1000 us, %d found)\n", "FindInfoNode, one lookup",
                findMs * 1000.0 / (2.0 * lookups), found);
    TReferenceData::SetCurrent(nullptr);
    return 0;
}
