// Timed figures of the order details window: 200 name/value pairs (every fourth a
// long text) laid out and wrapped, at the window's start and after a zoom step.
// Prints one line per figure.
#include "grids/TAdvStringGrid.h"
#include "monitors/TFormOrderInfo.h"
#include "support/ScriptedSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScriptedSessionHub hub;
    TFormOrderInfo* window =
        TFormOrderInfo::OpenOrderDetails(QStringLiteral("1000001"), nullptr, QDate(2026, 3, 2));
    window->resize(520, 600);
    ScriptedAnswer answer;
    for (int i = 0; i < 200; ++i) {
        const QString value = i % 4 == 0 ? QStringLiteral("Заявка принята с рабочего места "
                                                          "брокера и передана для исполнения. ")
                                               .repeated(6)
                                         : QStringLiteral("значение %1").arg(i);
        answer.rows.push_back(QStringLiteral("Поле номер %1").arg(i) + QChar(0) + value + QChar(0));
    }
    hub.Get(QStringLiteral("sesOrdInfo")).SetAnswer(answer);

    std::vector<double> load, rewrap;
    for (int run = 0; run < 15; ++run) {
        QElapsedTimer t;
        t.start();
        window->sesOrdInfoData();
        load.push_back(t.nsecsElapsed() / 1e6);
        window->GridOrdInfo().ZoomFont(run % 2 ? -1 : 1);
        t.restart();
        window->Timer1Timer();
        rewrap.push_back(t.nsecsElapsed() / 1e6);
    }
    // The wrap alone, over the same texts at the value column's width.
    std::vector<double> wrapOnly;
    const QFontMetrics metrics(window->GridOrdInfo().GridFont());
    const int width = window->GridOrdInfo().ShownWidth(1);
    for (int run = 0; run < 15; ++run) {
        QElapsedTimer t;
        t.start();
        qsizetype lines = 0;
        for (const QString& row : answer.rows)
            lines += WrapOrderInfoText(row.section(QChar(0), 1, 1), metrics, width).size();
        wrapOnly.push_back(t.nsecsElapsed() / 1e6);
        if (lines == 0)
            return 1;
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("order details, 200 pairs: answer to wrapped rows %.2f ms (median of 15, "
                "best %.2f ms)\n",
                median(load), *std::min_element(load.begin(), load.end()));
    std::printf("order details, 200 pairs: re-wrap after a zoom step %.2f ms (median of 15, "
                "best %.2f ms)\n",
                median(rewrap), *std::min_element(rewrap.begin(), rewrap.end()));
    std::printf("order details, 200 pairs: the wrap of the values alone %.2f ms (median of 15, "
                "best %.2f ms)\n",
                median(wrapOnly), *std::min_element(wrapOnly.begin(), wrapOnly.end()));
    delete window;
    return 0;
}
