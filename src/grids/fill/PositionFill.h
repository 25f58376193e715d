#pragma once

#include <QStringList>

#include <functional>

class TBrokerSession;
class TAdvColumnGrid;

// What a window may add to a fill by position.
struct PositionFillOptions {
    // A field of a float-format column that is not a number ends the fill with an
    // error naming the row (rather than showing the text as it came).
    bool StopOnNonNumber = false;
    // Called with each row's texts (by real column) before they are stored.
    std::function<void(int responseRow, QStringList& texts)> AfterRowTexts;
};

// Fills a grid from the session's current answer by position: field q of each row
// lands in the column whose identity (tag) is q, wherever the user moved it; a
// column with a float format shows the number formatted with it. The grid keeps at
// least one data row and is sorted again by its current sort column.
void LoadGridByPosition(TBrokerSession& session, TAdvColumnGrid& grid,
                        const PositionFillOptions& options = {});
