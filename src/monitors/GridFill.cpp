#include "monitors/GridFill.h"
#include "controls/SortKeys.h"
#include "grids/TAdvColumnGrid.h"
#include "monitors/CommaText.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"

#include <QAction>
#include <QHash>
#include <QMenu>

#include <algorithm>
#include <vector>

namespace {

const QString kSecurityInfo = QStringLiteral("Информация по бумаге...");
const QString kKeyField = QStringLiteral("KEY_FIELD");

std::function<void(int)>& SecurityInfoOpener() {
    static std::function<void(int)> opener;
    return opener;
}

// The wait cursor on the grid for the length of a fill.
class WaitCursor {
public:
    explicit WaitCursor(QWidget& w) : w_(w) { w_.setCursor(Qt::WaitCursor); }
    ~WaitCursor() { w_.unsetCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    QWidget& w_;
};

// Collects repaints of a batch fill; the grid repaints once at the end.
class UpdateBatch {
public:
    explicit UpdateBatch(TAdvColumnGrid& grid) : grid_(grid) { grid_.BeginUpdate(); }
    ~UpdateBatch() { grid_.EndUpdate(); }
    UpdateBatch(const UpdateBatch&) = delete;
    UpdateBatch& operator=(const UpdateBatch&) = delete;

private:
    TAdvColumnGrid& grid_;
};

bool MenuHolds(const QMenu& menu, const QString& text) {
    for (const QAction* a : menu.actions())
        if (a->text() == text)
            return true;
    return false;
}

void AddSecurityInfoItem(TAdvColumnGrid& grid) {
    QMenu* menu = grid.PopupMenu();
    if (!menu || gridcols::RealByName(grid, QStringLiteral("ID_BUM")) < 0 ||
        MenuHolds(*menu, kSecurityInfo) || !MenuHolds(*menu, QStringLiteral("Настройки")))
        return;
    auto* item = new QAction(kSecurityInfo, menu);
    QObject::connect(item, &QAction::triggered, &grid, [&grid] {
        const int row = gridcols::CurrentRow(grid);
        if (!gridcols::IsDataRow(grid, row))
            return;
        const int col = gridcols::RealByName(grid, QStringLiteral("ID_BUM"));
        bool ok = false;
        const int id = grid.Cell(col, row).trimmed().toInt(&ok);
        if (ok && id > 0 && SecurityInfoOpener())
            SecurityInfoOpener()(id);
    });
    grid.InsertPopupItem(item);
}

// Field name of each real column, in real order.
QStringList ColumnNames(const TAdvColumnGrid& grid) {
    QStringList names;
    for (int c = 0; c < grid.AllColCount(); ++c)
        names.append(grid.Column(c)->Name);
    return names;
}

QStringList ResponseRow(TMetadataParser& parser, const QStringList& names, int row) {
    QStringList texts;
    texts.reserve(names.size());
    for (const QString& name : names)
        texts.append(name.isEmpty() ? QString() : parser.GetText(name, row));
    return texts;
}

int ResponseRowCount(TMetadataParser& parser) {
    return parser.Session() ? parser.Session()->GetRowCount() : 0;
}

// True when the rows around the changed ones are still in the grid's sort order, so a
// stable re-sort would leave every row where it is.
bool StillSorted(const TAdvColumnGrid& grid, const std::vector<int>& touchedRows) {
    const int col = grid.SortColumn();
    if (col < 0)
        return true;
    const TGridColumn* column = grid.Column(col);
    const int first = grid.FixedRows();
    const int last = grid.RowCount() - 1;
    const auto inOrder = [&](int a, int b) {
        if (a < first || b > last)
            return true;
        const std::vector<QString> pair{grid.Cell(col, a), grid.Cell(col, b)};
        const std::vector<int> order = SortOrder(pair, column->SortStyle, column->SortPrefix,
                                                 column->SortSuffix, grid.SortAscending());
        return order[0] == 0;
    };
    for (int row : touchedRows) {
        if (row < first || row > last)
            continue;
        if (!inOrder(row - 1, row) || !inOrder(row, row + 1))
            return false;
    }
    return true;
}

} // namespace

void SetSecurityInfoOpener(std::function<void(int)> opener) {
    SecurityInfoOpener() = std::move(opener);
}

namespace gridcols {

int RealByName(const TAdvColumnGrid& grid, const QString& name) {
    for (int c = 0; c < grid.AllColCount(); ++c)
        if (grid.Column(c)->Name.compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

int RealByTag(const TAdvColumnGrid& grid, int tag) {
    const TGridColumn* column = grid.ColumnByTag(tag);
    return column ? grid.IndexOfColumn(column) : -1;
}

QString TextByTag(const TAdvColumnGrid& grid, int tag, int row) {
    const int col = RealByTag(grid, tag);
    return col < 0 ? QString() : grid.Cell(col, row);
}

void SetTextByTag(TAdvColumnGrid& grid, int tag, int row, const QString& text) {
    const int col = RealByTag(grid, tag);
    if (col >= 0)
        grid.SetCell(col, row, text);
}

int CurrentRow(const TAdvColumnGrid& grid) {
    const QModelIndex current = grid.currentIndex();
    return current.isValid() ? current.row() + grid.FixedRows() : -1;
}

bool IsDataRow(const TAdvColumnGrid& grid, int row) {
    return row >= grid.FixedRows() && row < grid.RowCount();
}

} // namespace gridcols

void LoadGridFromResponse(TMetadataParser& parser, TAdvColumnGrid& grid,
                          const AfterRowFilled& afterRowFilled) {
    WaitCursor wait(grid);
    parser.ParseMetadata();
    AddSecurityInfoItem(grid);

    const QModelIndex current = grid.currentIndex();
    const int currentRow = current.isValid() ? current.row() + grid.FixedRows() : -1;
    const int currentCol = current.isValid() ? current.column() : -1;

    const int first = grid.FixedRows();
    const int columns = grid.AllColCount();
    {
        UpdateBatch batch(grid);
        grid.SetRowCount(first + 1);
        grid.SetRowTexts(first, QStringList(columns, QString()));
        if (!parser.IsValid())
            return;
        const int n = ResponseRowCount(parser);
        if (n > 0) {
            grid.SetRowCount(first + n);
            const QStringList names = ColumnNames(grid);
            for (int i = 0; i < n; ++i) {
                grid.SetRowTexts(first + i, ResponseRow(parser, names, i));
                if (afterRowFilled)
                    afterRowFilled(i, first + i);
            }
        }
        grid.Resort();
    }
    if (currentRow >= 0 && currentRow < grid.RowCount()) {
        const QModelIndex restore = grid.model()->index(currentRow - first, currentCol);
        if (restore.isValid())
            grid.setCurrentIndex(restore);
    }
}

void MergeGridByKey(TMetadataParser& parser, TAdvColumnGrid& grid,
                    const AfterRowFilled& afterRowFilled) {
    WaitCursor wait(grid);
    parser.ParseMetadata();
    TBrokerSession* session = parser.Session();
    QStringList requested =
        session ? FromCommaText(session->GetRequestParam(QStringLiteral("LoopBack1"), 1))
                : QStringList();

    const int first = grid.FixedRows();
    const int keyCol = gridcols::RealByName(grid, kKeyField);
    const QStringList names = ColumnNames(grid);
    UpdateBatch batch(grid);

    // The first row of each key, built once: a merge of a few keys into 100,000 rows
    // must not walk the grid once per key.
    QHash<QString, int> rowOfKey;
    if (keyCol >= 0) {
        rowOfKey.reserve(grid.RowCount());
        for (int row = grid.RowCount() - 1; row >= first; --row)
            rowOfKey.insert(grid.Cell(keyCol, row), row);
    }
    std::vector<int> touched;
    const int n = parser.IsValid() ? ResponseRowCount(parser) : 0;
    for (int i = 0; i < n; ++i) {
        const QString key = parser.GetText(kKeyField, i);
        int row = rowOfKey.value(key, -1);
        if (row < 0) {
            const bool singleBlank =
                grid.RowCount() == first + 1 && (keyCol < 0 || grid.Cell(keyCol, first).isEmpty());
            if (singleBlank) {
                row = first;
            } else {
                row = grid.RowCount();
                grid.SetRowCount(row + 1);
            }
            if (!rowOfKey.contains(key))
                rowOfKey.insert(key, row);
        }
        grid.SetRowTexts(row, ResponseRow(parser, names, i));
        touched.push_back(row);
        if (afterRowFilled)
            afterRowFilled(i, row);
        requested.removeAll(key);
    }

    // Keys asked for and not returned: their rows go, from the bottom up so the rows
    // still to go keep their numbers; the last data row is cleared instead.
    std::vector<int> gone;
    for (const QString& key : requested) {
        const int row = rowOfKey.value(key, -1);
        if (row >= 0 && (keyCol < 0 || grid.Cell(keyCol, row) == key))
            gone.push_back(row);
    }
    std::sort(gone.begin(), gone.end());
    gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
    bool cleared = false;
    for (auto it = gone.rbegin(); it != gone.rend(); ++it) {
        if (grid.RowCount() - first > 1) {
            grid.RemoveRow(*it);
        } else {
            grid.SetRowTexts(*it, QStringList(grid.AllColCount(), QString()));
            cleared = true;
        }
    }
    // Removing rows keeps the others in order; the rows written above moved up by the
    // number of removed rows before them.
    std::vector<int> moved;
    for (int row : touched) {
        const auto below = std::lower_bound(gone.begin(), gone.end(), row);
        if (below == gone.end() || *below != row)
            moved.push_back(row - static_cast<int>(below - gone.begin()));
    }
    if (!cleared && StillSorted(grid, moved))
        return; // a stable re-sort would move nothing
    grid.Resort();
}
