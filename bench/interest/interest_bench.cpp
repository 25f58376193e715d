// Timed figures: the "large" GET_CLI_PERCENT_ALL answer (20,000 clients of four tiers,
// 80,000 rows) from its arrival to a filled interest window, fed through the scripted
// session; and the discovery of plug-in modules over 200 files of 20 MB (sparse files,
// so only their tails exist on disk, as only their tails are read). One line a figure.
#include "grids/TAdvColumnGrid.h"
#include "interest/TFormAllBrokPercent.h"
#include "shell/base/Log.h"
#include "shell/base/PluginBlock.h"
#include "shell/plugins/PluginScan.h"
#include "shell/refs/ReferenceData.h"
#include "support/ScriptedSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

ScriptedAnswer LargeInterestAnswer(int clients, int tiers) {
    AnswerBuilder b;
    const QString nul(QChar(0));
    const char* const percents[] = {"20", "15", "10", "5"};
    for (int k = 0; k < clients; ++k)
        for (int j = 0; j < tiers; ++j)
            b.RawRow(QString::number(2 + k) + nul + QStringLiteral("Клиент номер %1").arg(k) + nul +
                     (k % 3 ? QStringLiteral("0") : QStringLiteral("1")) + nul +
                     QString::number(j + 1) + nul + QString::number(qint64(j) * 10000000) + nul +
                     QString::number(qint64(j + 1) * 10000000) + nul + QStringLiteral("30") + nul +
                     QString::fromLatin1(percents[j % 4]) + nul + QStringLiteral("1") + nul);
    return b.Build();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void InterestFill() {
    ScriptedSessionHub hub;
    TReferenceData refs;
    refs.ClientKey = QStringLiteral("1");
    TReferenceData::SetCurrent(&refs);
    TFormAllBrokPercent window;
    window.resize(900, 600);
    window.show();
    const ScriptedAnswer answer = LargeInterestAnswer(20000, 4);
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        hub.Get(QStringLiteral("SesPercAll")).FeedData(answer);
        QApplication::processEvents(); // the repaint of the filled grid
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("interest window: 80,000-row answer (20,000 clients x 4 tiers) to a filled "
                "grid: median %.0f ms, best %.0f ms (target 500 ms); grid %d rows x %d columns\n",
                Median(times), *std::min_element(times.begin(), times.end()),
                window.PercAllGrid().RowCount(), window.PercAllGrid().ColCount());
    TReferenceData::SetCurrent(nullptr);
}

void Discovery() {
    QTemporaryDir dir;
    const qint64 size = 20LL * 1024 * 1024;
    for (int i = 0; i < 200; ++i) {
        const QString path = dir.filePath(QStringLiteral("module%1.opm").arg(i, 3, 10, QChar('0')));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || !f.resize(size))
            return;
        f.close();
        pluginblock::Stamp(path,
                           {{QStringLiteral("OrvexPluginInterface"), QStringLiteral("1")},
                            {QStringLiteral("OrvexPluginID"), QStringLiteral("R.%1").arg(i % 150)},
                            {QStringLiteral("OrvexPluginName"), QStringLiteral("Отчет %1").arg(i)},
                            {QStringLiteral("OrvexPluginVersion"), QString::number(i % 7)}},
                           nullptr);
    }
    std::vector<double> times;
    qsizetype found = 0;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer timer;
        timer.start();
        found = ScanPlugins({dir.path()}).size();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("plug-in discovery: 200 files of 20 MB, %lld modules after the merge: median "
                "%.1f ms, best %.1f ms (target 100 ms)\n",
                static_cast<long long>(found), Median(times),
                *std::min_element(times.begin(), times.end()));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir logDir;
    SetLogFileName(logDir.filePath(QStringLiteral("bench.log")));
    InterestFill();
    Discovery();
    return 0;
}
