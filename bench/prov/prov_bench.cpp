// Timed figures of the new-transaction dialog at the "large" scale, through the same
// calls the program makes. Prints one line per figure.
#include "grids/TComboBoxIndexed.h"
#include "monitors/TFormNewProv.h"
#include "shell/base/Log.h"
#include "shell/base/WorkstationLocale.h"
#include "shell/refs/ReferenceData.h"
#include "support/ScriptedSession.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kSecurities = 100000;
constexpr int kAccounts = 50000;

double Ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

double BestOf(int runs, const std::function<void()>& prepare, const std::function<void()>& body) {
    double best = 1e18;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer t;
        t.start();
        body();
        best = std::min(best, Ms(t));
    }
    return best;
}

void Type(QWidget& w, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&w, &press);
    }
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
    refs.UserKind = 3;
    for (int t = 1; t <= 4; ++t) {
        auto m = std::make_unique<TMoneyObj>();
        m->Id = -t;
        m->Name = QStringLiteral("_Деньги.Система %1").arg(t);
        refs.MoneyItems.Append(std::move(m));
    }
    for (int id = 1; id <= kSecurities; ++id) {
        auto s = std::make_unique<TBumObj>();
        s->Id = id;
        s->Name = QStringLiteral("БУМАГА%1").arg(id);
        s->StockSubType = id % 50 == 0 ? 5 : 0;
        refs.Securities.Append(std::move(s));
    }
    for (int id = 1; id <= kAccounts; ++id) {
        auto a = std::make_unique<TAccObj>();
        a->Id = id;
        a->Name = QStringLiteral("Счет клиента %1").arg(id);
        refs.TransactionAccounts.Append(std::move(a));
    }
    TReferenceData::SetCurrent(&refs);
    ScriptedSessionHub hub;

    TFormNewProv dialog;
    const double fill = BestOf(3, nullptr, [&] { dialog.FillControls(refs); });
    std::printf("FillControls: %d securities, %d accounts in two lists: %.1f ms (best of 3; "
                "target 300)\n",
                kSecurities, kAccounts, fill);

    dialog.PrepareEmpty();
    dialog.show();
    QApplication::processEvents();
    TComboBoxIndexed& bum = *dialog.CbBum();
    const auto openList = [&] {
        bum.showPopup();
        QApplication::processEvents();
        bum.view()->viewport()->repaint();
    };
    // The first opening after a fill lays the list out; later ones reuse it.
    const auto refill = [&] {
        bum.hidePopup();
        dialog.FillControls(refs);
        bum.setCurrentIndex(kSecurities / 2);
        QApplication::processEvents();
    };
    const double first = BestOf(3, refill, openList);
    std::printf("first opening of the instrument list after a fill (%d items, current in the "
                "middle, painted): %.1f ms (best of 3; target 100); shown %s from row %d\n",
                bum.count(), first, bum.view()->isVisible() ? "yes" : "no",
                bum.view()->indexAt(QPoint(5, 5)).row());
    const double again = BestOf(
        5, [&] { bum.hidePopup(), QApplication::processEvents(); }, openList);
    std::printf("opening it again: %.1f ms (best of 5)\n", again);
    bum.hidePopup();

    bum.setFocus();
    qint64 now = 0;
    TExTimer::SetClock([&now] { return now; });
    const auto search = [&](const QString& typed) {
        Type(bum, typed);
        now += 2000; // past the search delay
        bum.ProcessSearch();
    };
    const double numeric = BestOf(5, nullptr, [&] { search(QStringLiteral("99999")); });
    std::printf("numeric search of id 99999 among %d items: %.3f ms (best of 5; target 10); "
                "chose \"%s\"\n",
                bum.count(), numeric, qPrintable(bum.currentText()));
    const double text = BestOf(5, nullptr, [&] { search(QStringLiteral("БУМАГА99999")); });
    std::printf("text search of \"БУМАГА99999\" (a prefix walk to the end): %.1f ms (best of 5)\n",
                text);
    TExTimer::SetClock(nullptr);
    dialog.hide();
    return 0;
}
