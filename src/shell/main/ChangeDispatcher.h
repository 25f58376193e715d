#pragma once

#include "shell/contract/IMonitorWindow.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

// Collects the order and portfolio keys the change stream reports and hands them
// to the open windows one second after the last change, so a burst of changes
// costs each window one request.
class TChangeDispatcher : public QObject {
    Q_OBJECT
public:
    // Fewer keys than the limit: a keyed refresh; the limit or more: a full reload.
    static constexpr int kOrderKeyLimit = 11;
    static constexpr int kPortfolioKeyLimit = 6;
    static constexpr int kDispatchDelayMs = 1000;
    // A market that never pauses for a second would otherwise keep every window
    // stale: keys waiting this long go out even while changes keep coming.
    static constexpr int kLongestWaitMs = 2000;

    // windowsByTag: the open child windows with a tag, in creation order.
    using WindowFinder = std::function<std::vector<IMonitorWindow*>(int tag)>;
    explicit TChangeDispatcher(WindowFinder windowsByTag, QObject* parent = nullptr);

    // Kinds 1 and 2 queue an order key, 3 a portfolio key; the timer restarts,
    // but never runs past kLongestWaitMs after the oldest waiting change.
    void NoteChange(int kind, const QString& key);
    // The timer's handler; public so tests need not wait a second.
    void CheckChangeTimer1Timer();

    const QStringList& ChangedOrderKeys() const { return orderKeys_; }
    const QStringList& ChangedPortfolioKeys() const { return portfolioKeys_; }
    QTimer& CheckChangeTimer1() { return timer_; }

private:
    static void InsertSorted(QStringList& list, const QString& key);
    void Dispatch(QStringList& keys, int tag, int limit);

    WindowFinder windowsByTag_;
    QStringList orderKeys_;     // sorted, no duplicates
    QStringList portfolioKeys_; // sorted, no duplicates
    QTimer timer_;
    QElapsedTimer oldestWaiting_; // started by the first change after a dispatch
};
