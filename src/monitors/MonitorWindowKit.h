#pragma once

#include "controls/SortKeys.h"

#include <QKeySequence>
#include <QString>
#include <QStringList>

#include <functional>
#include <span>
#include <utility>

class QAction;
class QMenu;
class QWidget;
class TAdvColumnGrid;

// Pieces the list windows (deals, portfolio, position, transactions) share: their grid
// set-up from a column table, their popup items and the request pieces.
namespace monitorkit {

// One design-time column; its position in the table is its identity.
struct Column {
    const char* name;
    const char* header;
    int width;
    bool right;
    const char* format;
    TSortStyle sort;
};

// One internal column appended after the design-time ones.
struct HiddenColumn {
    int tag;
    const char* name;
};

// The common set-up: one header row and one fixed column, the design-time columns,
// the grid's own set-up, the internal columns, one blank data row.
void BuildGrid(TAdvColumnGrid& grid, std::span<const Column> columns,
               std::span<const HiddenColumn> hidden, QMenu* popup);

// A popup item of the window; its key works while the focus is inside this window,
// so two windows of one class never make a key ambiguous. The action runs guarded:
// an error leaves one log line naming the step.
QAction* AddAction(QWidget& window, QMenu& popup, const QString& caption, const QKeySequence& keys,
                   const QString& step, std::function<void()> run);

// Shows the popup at the window's context-menu position.
void UsePopup(QWidget& window, QMenu& popup);

// One "key=value" piece of a pair-form parameter string.
QString KeyValue(QLatin1StringView key, const QString& value);

// A row's texts by real column, reached by column identity inside a fill's text hook.
class RowTexts {
public:
    RowTexts(const TAdvColumnGrid& grid, std::initializer_list<int> tags);
    void Attach(QStringList& texts) { texts_ = &texts; }
    QString Get(int tag) const;
    void Set(int tag, const QString& text);

private:
    std::vector<std::pair<int, int>> realOf_; // tag -> real column
    QStringList* texts_ = nullptr;
};

// An integer read from a cell text; false when the text is none.
bool ReadInt(const QString& text, int& value);

} // namespace monitorkit
