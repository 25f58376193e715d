#pragma once

#include "controls/SortKeys.h"
#include "controls/StringGrid.h"

#include <QKeySequence>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

class QAction;
class QMenu;
class QToolBar;
class QVBoxLayout;
class QWidget;
class TAdvColumnGrid;

// Pieces the list windows share: their skeleton, their grid set-up from a column table,
// their popup items, their grid layout text and the request pieces.
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

// One popup item of a list window: its caption, key, the step its log lines name and
// what it runs. An item without a caption is a separator.
struct PopupItem {
    const char* caption = nullptr;
    QKeySequence keys;
    const char* step = nullptr;
    std::function<void()> run;
};

// What a list window is made of besides its own pieces. The height is 400 for all.
struct ListWindowShape {
    ListWindowShape(const QString& caption, int width, std::span<const Column> columns,
                    std::span<const HiddenColumn> hidden, QWidget* top = nullptr,
                    TStringGrid::CellLookHook look = {})
        : caption(caption), width(width), columns(columns), hidden(hidden), top(top),
          look(std::move(look)) {}
    QString caption;
    int width;
    std::span<const Column> columns;
    std::span<const HiddenColumn> hidden;
    QWidget* top;                   // a panel over the grid, made by the window, or none
    TStringGrid::CellLookHook look; // none: the grid's own colours
};

// What BuildListWindow made; items holds the popup's actions in the order given.
struct ListFrame {
    QVBoxLayout* layout = nullptr;
    TAdvColumnGrid* grid = nullptr;
    QMenu* popup = nullptr;
    std::vector<QAction*> items;
};

// The skeleton every list window shares: closing deletes it; its caption and size; a
// layout without margins, the top panel over the grid, which takes all the height left;
// the popup with the window's items before the grid's own; the grid from the column
// tables; the window widened to show every column.
ListFrame BuildListWindow(QWidget& window, const ListWindowShape& shape,
                          std::initializer_list<PopupItem> items);

// The part of the skeleton inside owner (a window or one page of it): the layout, the
// top panel, the grid and the popup with its items. The grid is left to the caller.
ListFrame BuildListBody(QWidget& owner, QWidget* top, std::initializer_list<PopupItem> items);

// A toolbar of 16-pixel icons for the top of a window.
QToolBar* NewToolbar(QWidget& window);

// A grid's layout as a desktop keeps it, and back; a layout that cannot be read leaves
// one log line naming the step.
QString GridSettingsText(const TAdvColumnGrid& grid);
void LoadGridSettings(TAdvColumnGrid& grid, const QString& settings, const QString& step);

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

// The account's (or client's) display name, its label added, in nameTag for the id in
// idTag; a row without a readable id keeps its name.
void ShowAccountName(RowTexts& cells, int idTag, int nameTag);
void ShowClientName(RowTexts& cells, int idTag, int nameTag);

// Balances by the row's instrument: "%.2n" for money (a negative id), else "%.0n".
QString BalanceFormat(const QString& securityId);
// Writes the cells' numbers with the format (texts that are no number stay).
void FormatCells(RowTexts& cells, const QString& format, std::initializer_list<int> tags);
// The balance cells in the form of the instrument in idBumTag.
void FormatBalances(RowTexts& cells, int idBumTag, std::initializer_list<int> tags);

} // namespace monitorkit
