// Timed figures of the archive windows with 100,000 rows, fed through the scripted
// session: a deals archive answer into a sorted grid with its totals line, and a
// position archive answer through the fill by position. Prints one line per figure.
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/TFormAPosition.h"
#include "monitors/TFormASd.h"
#include "shell/base/Log.h"
#include "shell/refs/ReferenceData.h"
#include "support/ScriptedSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRows = 100000;

ScriptedAnswer DealsAnswer() {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.301"));
    for (const char* text : {"dtorg", "skogda", "name_bum", "buy_sell", "name_cli", "name_acc"})
        b.Text(QString::fromLatin1(text));
    for (const char* number : {"sprice", "svol", "sexch", "sdepo", "sbrok", "net_price", "sprofit",
                               "snkd", "syield", "sbrok_my", "sbrok_ret"})
        b.Float(QString::fromLatin1(number));
    for (const char* integer : {"snum", "sord", "skolvo", "ID_ACC", "ID_CLI", "ID_BUM"})
        b.Int(QString::fromLatin1(integer));
    for (int i = 0; i < kRows; ++i)
        b.Row({QStringLiteral("%1.02.2026").arg(10 + i % 19, 2, 10, QLatin1Char('0')),
               QStringLiteral("10:%1:%2")
                   .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                   .arg(i % 60, 2, 10, QLatin1Char('0')),
               QStringLiteral("БУМАГА%1").arg(i % 5000),
               i % 2 ? "B" : "S",
               QStringLiteral("Клиент %1").arg(i % 20000),
               QStringLiteral("Счет %1").arg(i % 50000),
               100.25 + i % 1000,
               10000.5 + i,
               1.25,
               0.5,
               5.75,
               100.3,
               i % 7 - 3.5,
               0.0,
               0.0,
               2.5,
               0.5,
               5000000 + i,
               1000000 + i,
               1 + i % 90,
               i % 50000,
               i % 20000,
               i % 5000});
    return b.Build();
}

ScriptedAnswer PositionAnswer() {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.304"));
    for (const char* name : {"instr", "input_pos", "curr_pos", "plan_pos", "ID_BUM"})
        b.Text(QString::fromLatin1(name));
    for (int i = 0; i < kRows; ++i) {
        const int id = i % 10 == 0 ? -(1 + i % 7) : i;
        b.Row({QStringLiteral("БУМАГА%1").arg(i), QString::number(1000.25 + i, 'f', 2),
               QString::number(2000.5 + i, 'f', 2), QString::number(-3.75 - i, 'f', 2),
               QString::number(id)});
    }
    return b.Build();
}

double Ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

template <class Form>
double BestLoad(Form& form, ScriptedSession& ses, const ScriptedAnswer& answer, int runs) {
    double best = 1e18;
    for (int run = 0; run < runs; ++run) {
        form.Button1Click();
        QElapsedTimer t;
        t.start();
        ses.FeedData(answer);
        best = std::min(best, Ms(t));
        QApplication::processEvents();
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SetLogFileName(dir.filePath("bench.log"));
    TReferenceData refs;
    TReferenceData::SetCurrent(&refs);
    ScriptedSessionHub hub;

    {
        TFormASd form;
        form.resize(900, 600);
        form.show();
        ScriptedSession& ses = hub.Get(QStringLiteral("SesASd"));
        // Sorted by volume, descending, as a back-office user might leave it.
        form.Grid().SortByColumn(gridcols::RealByTag(form.Grid(), TFormASd::kVolume), false);
        const double ms = BestLoad(form, ses, DealsAnswer(), 3);
        std::printf("deals archive: %d rows into a sorted grid with totals  %9.1f ms   (target "
                    "600 ms)\n",
                    form.Grid().RowCount() - 1, ms);
        std::printf("  totals line: %s\n", qPrintable(form.TotalsLabel()->text()));
    }
    {
        TFormAPosition form;
        form.resize(600, 600);
        form.show();
        ScriptedSession& ses = hub.Get(QStringLiteral("SesAPos"));
        const double ms = BestLoad(form, ses, PositionAnswer(), 3);
        std::printf("position archive: %d rows through the fill by position %9.1f ms   (target "
                    "500 ms)\n",
                    form.Grid().RowCount() - 1, ms);
    }
    TReferenceData::SetCurrent(nullptr);
    return 0;
}
