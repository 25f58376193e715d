#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class TBrokerSession;

// One row of the change stream ("IzmenaBB"), its fields by position: 2 the change
// kind (1, 2 order, 3 portfolio position, 4 new deal), 3 the order key, 20 and 21
// the account and security of a position; the deal fields are listed with the
// deals window. Numbers use "." as decimal separator.
struct TChangeRecord {
    QStringList Fields;

    QString Field(int n) const { return n >= 0 && n < Fields.size() ? Fields[n] : QString(); }
    // The fields of a row text (each field followed by NUL).
    static TChangeRecord FromRowText(const QString& rowText);

    // A new deal (kind 4) that cannot go into a deals table: a numeric field that is not
    // a number, or no deal number. Empty when the record is sound; else a text naming
    // the deal and the field, for the log line.
    QString DealFault() const;
};

// What the main window needs from a child window. A child window class derives
// from QWidget (or a subclass) and from this interface; the main window finds the
// windows of the change stream by Tag() among its MDI child windows.
//
// Tags: orders windows 1, deals windows 2, portfolio windows 4, all others 0.
class IMonitorWindow {
public:
    virtual ~IMonitorWindow() = default;

    virtual int Tag() const = 0;

    // Orders and portfolio windows: the keyed refresh with the changed keys.
    virtual void RefreshByKeys(const QStringList& keys) { (void)keys; }
    // Orders and portfolio windows: send the full list request again.
    virtual void RefreshList() {}

    // Deals windows: whether a new deal of the change stream passes the window's
    // filter, and appending it to the table and the totals.
    virtual bool DealMatchesFilter(const TChangeRecord& deal) {
        (void)deal;
        return false;
    }
    virtual void AppendDeal(const TChangeRecord& deal) { (void)deal; }
    // The deals of one change-stream answer that passed DealMatchesFilter, in order. A
    // window that sorts overrides it to place them with one sort per answer.
    virtual void AppendDeals(const std::vector<TChangeRecord>& deals) {
        for (const TChangeRecord& deal : deals)
            AppendDeal(deal);
    }
};

// Tags of the windows the change stream serves.
constexpr int kTagOrders = 1;
constexpr int kTagDeals = 2;
constexpr int kTagPortfolio = 4;
