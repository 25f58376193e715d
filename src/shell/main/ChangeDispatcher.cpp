#include "ChangeDispatcher.h"

#include "shell/base/Log.h"

#include <algorithm>
#include <exception>

TChangeDispatcher::TChangeDispatcher(WindowFinder windowsByTag, QObject* parent)
    : QObject(parent), windowsByTag_(std::move(windowsByTag)) {
    timer_.setObjectName(QStringLiteral("CheckChangeTimer1"));
    timer_.setInterval(kDispatchDelayMs);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TChangeDispatcher::CheckChangeTimer1Timer);
}

void TChangeDispatcher::InsertSorted(QStringList& list, const QString& key) {
    auto it = std::lower_bound(list.begin(), list.end(), key);
    if (it == list.end() || *it != key)
        list.insert(it, key);
}

void TChangeDispatcher::NoteChange(int kind, const QString& key) {
    timer_.stop();
    if (kind == 1 || kind == 2)
        InsertSorted(orderKeys_, key);
    else if (kind == 3)
        InsertSorted(portfolioKeys_, key);
    if (!oldestWaiting_.isValid())
        oldestWaiting_.start();
    const qint64 left = kLongestWaitMs - oldestWaiting_.elapsed();
    timer_.start(int(std::clamp<qint64>(left, 0, kDispatchDelayMs)));
}

void TChangeDispatcher::Dispatch(QStringList& keys, int tag, int limit) {
    if (keys.isEmpty())
        return;
    const std::vector<IMonitorWindow*> windows =
        windowsByTag_ ? windowsByTag_(tag) : std::vector<IMonitorWindow*>();
    if (windows.empty())
        return; // the keys wait for a window
    const QStringList batch = keys;
    for (IMonitorWindow* w : windows) {
        // One window's failure must not keep the others stale.
        try {
            if (batch.size() < limit)
                w->RefreshByKeys(batch);
            else
                w->RefreshList();
        } catch (const std::exception& e) {
            WriteLog(QStringLiteral("EXCEPTION MainForm.CheckChangeTimer1Timer. ") +
                     QString::fromStdString(e.what()));
        }
    }
    keys.clear();
}

void TChangeDispatcher::CheckChangeTimer1Timer() {
    timer_.stop();
    oldestWaiting_.invalidate();
    Dispatch(orderKeys_, kTagOrders, kOrderKeyLimit);
    Dispatch(portfolioKeys_, kTagPortfolio, kPortfolioKeyLimit);
}
