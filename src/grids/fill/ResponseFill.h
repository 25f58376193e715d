#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class TAdvColumnGrid;
class TMetadataParser;

// Row hook of the grid fills: called after a grid row was written from a response
// row, so the window can decorate it (display names, status texts).
using AfterRowFilled = std::function<void(int responseRow, int gridRow)>;
// The same hook on the texts of the row (by real column) before they are stored: a
// fix-up then costs no second write of the row, which counts with 100,000 rows. When
// the hook throws, the row is stored as the hook left it and the fill ends there.
using AfterRowTexts = std::function<void(int responseRow, int gridRow, QStringList& texts)>;

// The cells of one response row on their way into the grid, by real column, held as the
// UTF-8 bytes the grid stores: a fix-up of a few cells makes no text object of the
// others, which counts with 100,000 rows.
class TRowFields {
public:
    int Count() const { return static_cast<int>(ends_.size()); }
    // The cell's text (empty outside the row), as the hook last set it.
    QString Text(int realCol) const;
    void SetText(int realCol, const QString& text);

    // Used by the fills: the row is written column by column into Bytes(), each
    // column ended by EndCell(); Views() gives the cells as the grid stores them.
    void Clear();
    std::string& Bytes() { return bytes_; }
    void EndCell() { ends_.push_back(bytes_.size()); }
    const std::vector<QByteArrayView>& Views();

private:
    QByteArrayView Stored(int realCol) const;

    std::string bytes_;
    std::vector<size_t> ends_;
    std::vector<std::pair<int, QString>> set_; // cells the hook replaced, in order set
    std::string setBytes_;
    std::vector<QByteArrayView> views_;
};
// The row hook on the fields of the row before they are stored (as AfterRowTexts).
using AfterRowFields = std::function<void(int responseRow, int gridRow, TRowFields& fields)>;

// The full fill of a monitoring window's grid from the answer current on the parser's
// session: every column (hidden ones included) gets the response field of its name.
// The grid keeps at least one data row, is sorted again by its sort column, and the
// current cell comes back on its order ("KEY_FIELD") or else at its row when that
// still exists; the selection and the top row of the view stay where they were. The first fill of a
// grid with an "ID_BUM" column adds "Информация по бумаге..." to its popup menu.
void LoadGridFromResponse(TMetadataParser& parser, TAdvColumnGrid& grid,
                          const AfterRowFilled& afterRowFilled = {});
void LoadGridFromResponse(TMetadataParser& parser, TAdvColumnGrid& grid,
                          const AfterRowTexts& afterRowTexts);
void LoadGridFromResponse(TMetadataParser& parser, TAdvColumnGrid& grid,
                          const AfterRowFields& afterRowFields);

// The keyed merge: each response row replaces the row with its "KEY_FIELD", fills the
// single blank row or is appended; keys asked for ("LoopBack1") but not returned lose
// their row (the last data row is cleared instead). The grid stays sorted: rows that
// moved in the sort order are put in place one by one, as a stable re-sort would; a
// grid found out of order (rows dragged by the user, a fill that ended early) is
// sorted again in full. Rows move, so the current cell and the selection stay on
// their orders; the current cell of a deleted row goes to the nearest row. The
// keys of a grid that is merged into are kept beside it, so its rows must be written
// through these fills only (sorting and removing rows elsewhere is noticed).
void MergeGridByKey(TMetadataParser& parser, TAdvColumnGrid& grid,
                    const AfterRowFilled& afterRowFilled = {});
void MergeGridByKey(TMetadataParser& parser, TAdvColumnGrid& grid,
                    const AfterRowTexts& afterRowTexts);
void MergeGridByKey(TMetadataParser& parser, TAdvColumnGrid& grid,
                    const AfterRowFields& afterRowFields);

// Puts rows a window wrote itself (appended or rewritten) where a stable re-sort by
// the grid's sort column would put them: by binary search when the other rows stood
// in sort order before the rows were written (wasInOrder, read from InSortOrder()
// before writing), else by one full re-sort. Nothing happens on an unsorted grid.
void KeepRowsSorted(TAdvColumnGrid& grid, const std::vector<int>& rows, bool wasInOrder);

// What "Информация по бумаге..." does with a security id; set by the securities window.
void SetSecurityInfoOpener(std::function<void(int securityId)> opener);

// Grid helpers shared by the windows.
namespace gridcols {
// Real index of the first column whose field name matches (ignoring case), -1 if none.
int RealByName(const TAdvColumnGrid& grid, const QString& name);
// Real index of the column with the identity, -1 if none.
int RealByTag(const TAdvColumnGrid& grid, int tag);
QString TextByTag(const TAdvColumnGrid& grid, int tag, int row);
void SetTextByTag(TAdvColumnGrid& grid, int tag, int row, const QString& text);
// The grid row of the current cell, -1 when there is none.
int CurrentRow(const TAdvColumnGrid& grid);
bool IsDataRow(const TAdvColumnGrid& grid, int row);
} // namespace gridcols
