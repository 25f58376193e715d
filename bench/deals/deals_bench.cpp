// Timed figures of the deals and portfolio windows at 100,000 rows, fed through the
// scripted session. Prints one line per figure.
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/TFormPrf.h"
#include "monitors/TFormSd.h"
#include "shell/base/Log.h"
#include "shell/base/WorkstationLocale.h"
#include "shell/refs/ReferenceData.h"
#include "support/ScriptedSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRows = 100000;

double Ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

ScriptedAnswer Deals() {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.201"));
    for (const char* name : {"snum", "sord", "skolvo", "ID_ACC", "ID_CLI", "ID_BUM"})
        b.Int(QString::fromLatin1(name));
    for (const char* name : {"skogda", "name_bum", "buy_sell", "name_cli", "name_acc"})
        b.Text(QString::fromLatin1(name));
    for (const char* name :
         {"sprice", "svol", "sexch", "sdepo", "sbrok", "net_price", "sprofit", "snkd", "syield"})
        b.Float(QString::fromLatin1(name));
    for (int i = 0; i < kRows; ++i)
        b.Row({5000000 + 2 * i,
               1000000 + i,
               1 + i % 50,
               i % 50000,
               i % 20000,
               1 + i % 5000,
               QStringLiteral("12:%1:%2")
                   .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                   .arg(i % 60, 2, 10, QLatin1Char('0')),
               QStringLiteral("БУМАГА%1").arg(i % 5000),
               i % 2 ? "B" : "S",
               QStringLiteral("Клиент %1").arg(i % 20000),
               QStringLiteral("Счет %1").arg(i % 50000),
               100.25 + i % 1000,
               10000.5 + i,
               1.5,
               0.75,
               5.25,
               100.3,
               i % 7 ? 12.5 : -3.0,
               0.0,
               0.0});
    return b.Build();
}

TChangeRecord Deal(int number) {
    TChangeRecord r;
    r.Fields = QStringList(22);
    r.Fields[1] = QStringLiteral("БУМАГА1");
    r.Fields[2] = QStringLiteral("4");
    r.Fields[3] = QStringLiteral("2000000");
    r.Fields[5] = QStringLiteral("101.5");
    r.Fields[7] = number % 2 ? QStringLiteral("B") : QStringLiteral("S");
    for (int n : {8, 9, 10, 11, 12, 16, 17, 18})
        r.Fields[n] = QStringLiteral("12.5");
    r.Fields[13] = QStringLiteral("15:00:00");
    r.Fields[15] = QString::number(number);
    r.Fields[20] = QStringLiteral("5");
    r.Fields[21] = QStringLiteral("1");
    return r;
}

ScriptedAnswer Portfolio(int rows, int offset, const QString& loopBack0) {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.212"));
    for (const char* name : {"NAME_BUM", "NAME_CLI", "NAME_ACC", "KEY_FIELD"})
        b.Text(QString::fromLatin1(name));
    for (const char* name : {"input_saldo", "curr_saldo", "plan_saldo", "avprice"})
        b.Float(QString::fromLatin1(name));
    for (const char* name : {"ID_ACC", "ID_CLI", "ID_BUM"})
        b.Int(QString::fromLatin1(name));
    for (int i = 0; i < rows; ++i) {
        const int acc = (i * 7919 % kRows) / 2;
        const int bum = i % 2 ? -1 : 1 + i % 5000;
        b.Row({QStringLiteral("БУМАГА%1").arg(bum), QStringLiteral("Клиент %1").arg(acc % 20000),
               QStringLiteral("Счет %1").arg(acc), QStringLiteral("%1_%2").arg(acc).arg(bum),
               1000.0 + i, 1000.0 + i + offset, 1000.0 + i, 99.5, acc, acc % 20000, bum});
    }
    if (!loopBack0.isEmpty())
        b.Param(QStringLiteral("LoopBack0"), loopBack0);
    return b.Build();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SetLogFileName(dir.filePath("bench.log"));
    ScopedWorkstationLocale locale(WorkstationLocale::Russian());
    TReferenceData refs;
    for (int id = 1; id <= 5000; ++id) {
        auto s = std::make_unique<TBumObj>();
        s->Id = id;
        s->LotSize = 10;
        s->Nominal = 100;
        refs.Securities.Append(std::move(s));
    }
    TReferenceData::SetCurrent(&refs);
    ScriptedSessionHub hub;

    // Deals: full load with the totals, sorted by number, newest first.
    const ScriptedAnswer deals = Deals();
    TFormSd sd;
    sd.resize(900, 600);
    sd.show();
    ScriptedSession& sesSd = hub.Get(QStringLiteral("SesSd"));
    TAdvColumnGrid& grid = sd.GridSd();
    grid.SortByColumn(gridcols::RealByTag(grid, TFormSd::kNum), false);
    double bestLoad = 1e18;
    for (int run = 0; run < 3; ++run) {
        sd.SesSdLogin();
        ScriptedAnswer a = deals;
        a.requestParams = sesSd.Last().Params();
        QElapsedTimer t;
        t.start();
        sesSd.FeedData(a);
        bestLoad = std::min(bestLoad, Ms(t));
        QApplication::processEvents();
    }
    std::printf("deals full load of %d rows with totals, sorted: %.1f ms (best of 3)\n", kRows,
                bestLoad);

    // One deal at a time: numbers between the loaded ones land inside the table.
    std::vector<double> single;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer t;
        t.start();
        sd.AppendDeal(Deal(5000001 + 2 * (i * 1999 % kRows)));
        single.push_back(Ms(t));
    }
    std::sort(single.begin(), single.end());
    std::printf("one deal appended to a sorted %d-row table: median %.2f ms, worst %.2f ms\n",
                kRows, single[single.size() / 2], single.back());

    std::vector<TChangeRecord> burst;
    for (int i = 0; i < 1000; ++i)
        burst.push_back(Deal(6000001 + i));
    QElapsedTimer t;
    t.start();
    sd.AppendDeals(burst);
    std::printf("a burst of 1,000 deals appended with one sort: %.1f ms (%d rows now)\n", Ms(t),
                grid.RowCount() - grid.FixedRows());

    // Portfolio: 100,000 rows, then a keyed update of 5 positions.
    TFormPrf prf;
    ScriptedSession& sesPrf = hub.Get(QStringLiteral("SesPrf"));
    prf.GridPrf().SortByColumn(gridcols::RealByTag(prf.GridPrf(), TFormPrf::kCurrSaldo), false);
    prf.RefreshList();
    ScriptedAnswer full = Portfolio(kRows, 0, QString());
    full.requestParams = sesPrf.Last().Params();
    t.restart();
    sesPrf.FeedData(full);
    std::printf("portfolio full load of %d rows, sorted: %.1f ms\n", kRows, Ms(t));
    // Sorted by the current balance, the merged positions move in the sort order;
    // sorted by instrument they stay where they are.
    const auto mergeFigure = [&](int sortTag, const char* how) {
        prf.GridPrf().SortByColumn(gridcols::RealByTag(prf.GridPrf(), sortTag), false);
        std::vector<double> merges;
        for (int run = 0; run < 7; ++run) {
            const ScriptedAnswer keyed =
                Portfolio(5, 50000 + run * 1000, QStringLiteral("UPDATE_WITH_KEY_FIELD"));
            QStringList keys;
            for (const QString& row : keyed.rows)
                keys << row.split(QChar(0)).value(3);
            prf.RefreshByKeys(keys);
            ScriptedAnswer a = keyed;
            a.requestParams = sesPrf.Last().Params();
            QElapsedTimer m;
            m.start();
            sesPrf.FeedData(a);
            merges.push_back(Ms(m));
        }
        std::sort(merges.begin(), merges.end());
        std::printf("portfolio keyed merge of 5 keys into %d rows, %s: median %.2f ms\n", kRows,
                    how, merges[merges.size() / 2]);
    };
    mergeFigure(TFormPrf::kCurrSaldo, "sorted by balance (rows move)");
    mergeFigure(TFormPrf::kNameBum, "sorted by instrument");
    return 0;
}
