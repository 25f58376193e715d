#include "grids/fill/ResponseFill.h"
#include "controls/SortKeys.h"
#include "controls/UpdateBatch.h"
#include "controls/WaitCursor.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/CommaText.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"

#include <QAction>
#include <QHash>
#include <QMenu>
#include <QSet>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

const QString kSecurityInfo = QStringLiteral("Информация по бумаге...");
const QString kKeyField = QStringLiteral("KEY_FIELD");

std::function<void(int)>& SecurityInfoOpener() {
    static std::function<void(int)> opener;
    return opener;
}

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

// The description of each column's field, found once per fill (none for a column
// without a name or one the answer does not describe).
std::vector<const TResponseDataField*> ColumnFields(const TMetadataParser& parser,
                                                    const QStringList& names) {
    std::vector<const TResponseDataField*> fields;
    fields.reserve(size_t(names.size()));
    for (const QString& name : names)
        fields.push_back(name.isEmpty() ? nullptr : parser.FindField(name));
    return fields;
}

QStringList ResponseRow(TMetadataParser& parser,
                        const std::vector<const TResponseDataField*>& fields, int row) {
    QStringList texts;
    texts.reserve(qsizetype(fields.size()));
    for (const TResponseDataField* field : fields)
        texts.append(field ? parser.GetText(*field, row) : QString());
    return texts;
}

int ResponseRowCount(TMetadataParser& parser) {
    return parser.Session() ? parser.Session()->GetRowCount() : 0;
}

// Runs whichever row hook the caller gave.
struct RowHook {
    const AfterRowFilled* cells = nullptr;
    const AfterRowTexts* texts = nullptr;
    const AfterRowFields* fields = nullptr;
};

// Writes response row i into grid row `row` and runs the hook. Unless the hook wants a
// list of texts, the cells go from the answer's bytes to the grid's as UTF-8 (scratch
// is kept from row to row).
void WriteRow(TMetadataParser& parser, TAdvColumnGrid& grid,
              const std::vector<const TResponseDataField*>& fields, int i, int row,
              const RowHook& hook, TRowFields& scratch) {
    if (hook.texts && *hook.texts) {
        QStringList texts = ResponseRow(parser, fields, i);
        try {
            (*hook.texts)(i, row, texts);
        } catch (...) {
            grid.SetRowTexts(row, texts);
            throw;
        }
        grid.SetRowTexts(row, texts);
        return;
    }
    scratch.Clear();
    for (const TResponseDataField* field : fields) {
        if (field)
            parser.AppendTextUtf8(*field, i, scratch.Bytes());
        scratch.EndCell();
    }
    const auto store = [&] {
        const std::vector<QByteArrayView>& cells = scratch.Views();
        grid.SetRowUtf8(row, cells.data(), static_cast<int>(cells.size()));
    };
    if (hook.fields && *hook.fields) {
        try {
            (*hook.fields)(i, row, scratch);
        } catch (...) {
            store();
            throw;
        }
    }
    store();
    if (hook.cells && *hook.cells)
        (*hook.cells)(i, row);
}

// The grid's sort order as a test: x goes strictly before y.
class SortTest {
public:
    explicit SortTest(const TAdvColumnGrid& grid)
        : column_(grid.Column(grid.SortColumn())), ascending_(grid.SortAscending()) {}
    bool Before(const QString& x, const QString& y) const {
        const std::vector<QString> pair{y, x};
        return SortOrder(pair, column_->SortStyle, column_->SortPrefix, column_->SortSuffix,
                         ascending_)[0] == 1;
    }

private:
    const TGridColumn* column_;
    bool ascending_;
};

// The "KEY_FIELD" texts of a grid's data rows in row order, kept beside the grid so a
// keyed merge finds its rows without reading 100,000 cells. The fills keep it in step
// with every row they write, move or remove; any sort of the grid marks it stale and
// the next merge reads the key column again.
class TKeyShadow : public QObject {
public:
    explicit TKeyShadow(TAdvColumnGrid& grid) : QObject(&grid) {
        setObjectName(QStringLiteral("KeyShadow"));
        connect(&grid, &TStringGrid::Sorted, this, [this] { stale_ = true; });
    }
    static TKeyShadow& Of(TAdvColumnGrid& grid) {
        auto* shadow =
            grid.findChild<TKeyShadow*>(QStringLiteral("KeyShadow"), Qt::FindDirectChildrenOnly);
        return shadow ? *shadow : *new TKeyShadow(grid);
    }

    // Reads the key column again when the shadow may be out of step.
    void Refresh(const TAdvColumnGrid& grid, int keyCol) {
        const int first = grid.FixedRows();
        const size_t rows = static_cast<size_t>(grid.RowCount() - first);
        if (!stale_ && keyCol == keyCol_ && keys_.size() == rows)
            return;
        keys_.resize(rows);
        for (size_t r = 0; r < rows; ++r)
            keys_[r] = keyCol < 0 ? QString() : grid.Cell(keyCol, first + static_cast<int>(r));
        keyCol_ = keyCol;
        stale_ = false;
    }
    void MarkStale() { stale_ = true; }
    // The first data row (0-based) of each wanted key.
    QHash<QString, int> FirstRows(const QSet<QString>& wanted) const {
        QHash<QString, int> rows;
        for (size_t r = 0; r < keys_.size() && rows.size() < wanted.size(); ++r) {
            const QString& key = keys_[r];
            if (wanted.contains(key) && !rows.contains(key))
                rows.insert(key, static_cast<int>(r));
        }
        return rows;
    }
    void Set(int dataRow, const QString& key) {
        if (dataRow >= 0 && static_cast<size_t>(dataRow) < keys_.size())
            keys_[static_cast<size_t>(dataRow)] = key;
    }
    void Append(const QString& key) { keys_.push_back(key); }
    void Remove(int dataRow) {
        if (dataRow >= 0 && static_cast<size_t>(dataRow) < keys_.size())
            keys_.erase(keys_.begin() + dataRow);
    }
    void Move(int from, int to) {
        if (from < 0 || to < 0 || static_cast<size_t>(from) >= keys_.size() ||
            static_cast<size_t>(to) >= keys_.size())
            return;
        QString key = std::move(keys_[static_cast<size_t>(from)]);
        keys_.erase(keys_.begin() + from);
        keys_.insert(keys_.begin() + to, std::move(key));
    }

private:
    std::vector<QString> keys_;
    int keyCol_ = -1;
    bool stale_ = true;
};

// After a merge: puts the written rows where a stable re-sort of the whole grid would
// put them, assuming the other rows are in order. Each row moves by a binary search, so
// a merge of a few keys does not sort 100,000 rows again; rows move (not removed and
// inserted again) so the current cell and the selection go with them.
void KeepSorted(TAdvColumnGrid& grid, std::vector<int> touched, TKeyShadow& shadow) {
    const int col = grid.SortColumn();
    if (col < 0)
        return;
    const int first = grid.FixedRows();
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    touched.erase(std::remove_if(touched.begin(), touched.end(),
                                 [&](int r) { return !gridcols::IsDataRow(grid, r); }),
                  touched.end());
    const SortTest sort(grid);
    const auto inOrder = [&](int a, int b) {
        return a < first || b >= grid.RowCount() ||
               !sort.Before(grid.Cell(col, b), grid.Cell(col, a));
    };
    bool sorted = true;
    for (int row : touched)
        sorted = sorted && inOrder(row - 1, row) && inOrder(row, row + 1);
    if (sorted) {
        grid.MarkInSortOrder();
        return;
    }
    if (touched.size() > 64) {
        grid.Resort(); // many rows moved: one sort is cheaper (the shadow goes stale)
        return;
    }

    // Park the written rows at the bottom, the lowest last; what stays above is in
    // order. Ties keep the earlier order, so every row remembers where it stood.
    std::vector<int> position(static_cast<size_t>(grid.RowCount() - first));
    std::iota(position.begin(), position.end(), 0);
    std::vector<int> before; // where each parked row stood, lowest first
    for (auto it = touched.rbegin(); it != touched.rend(); ++it) {
        const int last = grid.RowCount() - 1;
        grid.MoveRow(*it, last);
        shadow.Move(*it - first, last - first);
        position.erase(position.begin() + (*it - first));
        before.insert(before.begin(), *it - first);
    }
    for (const int stood : before) {
        // The bottom row is the lowest parked one; its place among the settled rows is
        // the first whose row does not go before it.
        const int from = grid.RowCount() - 1;
        const QString key = grid.Cell(col, from);
        size_t lo = 0;
        size_t hi = position.size();
        while (lo < hi) {
            const size_t mid = (lo + hi) / 2;
            const QString other = grid.Cell(col, first + static_cast<int>(mid));
            const bool goesBefore =
                sort.Before(other, key) || (!sort.Before(key, other) && position[mid] < stood);
            if (goesBefore)
                lo = mid + 1;
            else
                hi = mid;
        }
        const int row = first + static_cast<int>(lo);
        grid.MoveRow(from, row);
        shadow.Move(from - first, row - first);
        position.insert(position.begin() + static_cast<std::ptrdiff_t>(lo), stood);
    }
    grid.MarkInSortOrder();
}

void LoadFromResponse(TMetadataParser& parser, TAdvColumnGrid& grid, const RowHook& hook) {
    WaitCursor wait(grid);
    parser.ParseMetadata();
    AddSecurityInfoItem(grid);

    // The user's place: every row is new, so the current cell comes back on its order
    // (by "KEY_FIELD") while the answer still holds it, else at the same row; the
    // selection and the top row of the view come back at the same rows.
    const int first = grid.FixedRows();
    const QModelIndex current = grid.currentIndex();
    int currentRow = current.isValid() ? current.row() + first : -1;
    const int currentCol = current.isValid() ? current.column() : -1;
    TGridRect selection = grid.Selection();
    const int topRow = grid.TopRow();
    const int keyCol = gridcols::RealByName(grid, kKeyField);
    const QString currentKey =
        keyCol >= 0 && currentRow >= 0 ? grid.Cell(keyCol, currentRow) : QString();

    TKeyShadow& shadow = TKeyShadow::Of(grid);
    shadow.MarkStale(); // every row changes
    {
        UpdateBatch batch(grid);
        grid.SetRowCount(first + 1);
        grid.SetRowTexts(first, QStringList(grid.AllColCount(), QString()));
        if (!parser.IsValid())
            return;
        const int n = ResponseRowCount(parser);
        if (n > 0) {
            grid.SetRowCount(first + n);
            const auto fields = ColumnFields(parser, ColumnNames(grid));
            TRowFields scratch;
            for (int i = 0; i < n; ++i)
                WriteRow(parser, grid, fields, i, first + i, hook, scratch);
        }
        grid.Resort();
        // Read the keys now, in their sorted order, so the first merge is quick too.
        if (keyCol >= 0)
            shadow.Refresh(grid, keyCol);
    }
    if (!currentKey.isEmpty()) {
        const int keyed = shadow.FirstRows({currentKey}).value(currentKey, -1);
        if (keyed >= 0) {
            // A selection of the current cell alone goes with it.
            if (selection.Top == currentRow && selection.Bottom == currentRow)
                selection.Top = selection.Bottom = first + keyed;
            currentRow = first + keyed;
        }
    }
    grid.SetTopRow(topRow);
    if (currentRow < 0 || currentRow >= grid.RowCount())
        return;
    if (!selection.IsEmpty() && selection.Bottom < grid.RowCount())
        grid.SetSelection(selection);
    const QModelIndex restore = grid.model()->index(currentRow - first, currentCol);
    if (!restore.isValid())
        return;
    grid.selectionModel()->setCurrentIndex(restore, selection.IsEmpty()
                                                        ? QItemSelectionModel::ClearAndSelect
                                                        : QItemSelectionModel::NoUpdate);
    // An order that moved out of view is brought back into it.
    static_cast<QAbstractItemView&>(grid).scrollTo(restore);
}

void MergeByKey(TMetadataParser& parser, TAdvColumnGrid& grid, const RowHook& hook) {
    WaitCursor wait(grid);
    parser.ParseMetadata();
    TBrokerSession* session = parser.Session();
    QStringList requested = session
                                ? FromCommaText(session->GetRequestParam(vocab::key::kLoopBack1, 1))
                                : QStringList();

    const int first = grid.FixedRows();
    const int keyCol = gridcols::RealByName(grid, kKeyField);
    const auto fields = ColumnFields(parser, ColumnNames(grid));
    const int n = parser.IsValid() ? ResponseRowCount(parser) : 0;
    QStringList responseKeys;
    for (int i = 0; i < n; ++i)
        responseKeys.append(parser.GetText(kKeyField, i));
    UpdateBatch batch(grid);
    // Rows dragged by the user, or a fill that ended early, leave the grid out of order:
    // then only a full stable re-sort puts the merged rows where they belong.
    const bool inOrder = grid.InSortOrder();

    // The first row of every key the merge needs, from the key shadow: a merge of a few
    // keys into 100,000 rows must not read the grid once per key, nor even once.
    TKeyShadow& shadow = TKeyShadow::Of(grid);
    QHash<QString, int> rowOfKey;
    if (keyCol >= 0) {
        QSet<QString> wanted(responseKeys.begin(), responseKeys.end());
        for (const QString& key : requested)
            wanted.insert(key);
        shadow.Refresh(grid, keyCol);
        rowOfKey = shadow.FirstRows(wanted);
        bool inStep = true;
        for (auto it = rowOfKey.begin(); it != rowOfKey.end() && inStep; ++it)
            inStep = grid.Cell(keyCol, first + it.value()) == it.key();
        if (!inStep) {
            // Someone changed the rows behind the shadow's back: read them again.
            shadow.MarkStale();
            shadow.Refresh(grid, keyCol);
            rowOfKey = shadow.FirstRows(wanted);
        }
        for (auto it = rowOfKey.begin(); it != rowOfKey.end(); ++it)
            it.value() += first;
    }
    std::vector<int> touched;
    TRowFields scratch;
    for (int i = 0; i < n; ++i) {
        const QString& key = responseKeys[i];
        int row = rowOfKey.value(key, -1);
        if (row < 0) {
            const bool singleBlank =
                grid.RowCount() == first + 1 && (keyCol < 0 || grid.Cell(keyCol, first).isEmpty());
            if (singleBlank) {
                row = first;
                shadow.Set(0, key);
            } else {
                row = grid.RowCount();
                grid.SetRowCount(row + 1);
                shadow.Append(key);
            }
            rowOfKey.insert(key, row);
        }
        touched.push_back(row);
        requested.removeAll(key);
        WriteRow(parser, grid, fields, i, row, hook, scratch);
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
    for (auto it = gone.rbegin(); it != gone.rend(); ++it) {
        if (grid.RowCount() - first > 1) {
            grid.RemoveRow(*it);
            shadow.Remove(*it - first);
        } else {
            grid.SetRowTexts(*it, QStringList(grid.AllColCount(), QString()));
            shadow.Set(*it - first, QString());
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
    if (inOrder)
        KeepSorted(grid, std::move(moved), shadow);
    else
        grid.Resort();
}

} // namespace

void KeepRowsSorted(TAdvColumnGrid& grid, const std::vector<int>& rows, bool wasInOrder) {
    if (grid.SortColumn() < 0 || rows.empty())
        return;
    if (!wasInOrder) {
        grid.Resort();
        return;
    }
    KeepSorted(grid, rows, TKeyShadow::Of(grid));
}

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
    LoadFromResponse(parser, grid, RowHook{&afterRowFilled, nullptr, nullptr});
}

void LoadGridFromResponse(TMetadataParser& parser, TAdvColumnGrid& grid,
                          const AfterRowTexts& afterRowTexts) {
    LoadFromResponse(parser, grid, RowHook{nullptr, &afterRowTexts, nullptr});
}

void LoadGridFromResponse(TMetadataParser& parser, TAdvColumnGrid& grid,
                          const AfterRowFields& afterRowFields) {
    LoadFromResponse(parser, grid, RowHook{nullptr, nullptr, &afterRowFields});
}

void MergeGridByKey(TMetadataParser& parser, TAdvColumnGrid& grid,
                    const AfterRowFilled& afterRowFilled) {
    MergeByKey(parser, grid, RowHook{&afterRowFilled, nullptr, nullptr});
}

void MergeGridByKey(TMetadataParser& parser, TAdvColumnGrid& grid,
                    const AfterRowTexts& afterRowTexts) {
    MergeByKey(parser, grid, RowHook{nullptr, &afterRowTexts, nullptr});
}

void MergeGridByKey(TMetadataParser& parser, TAdvColumnGrid& grid,
                    const AfterRowFields& afterRowFields) {
    MergeByKey(parser, grid, RowHook{nullptr, nullptr, &afterRowFields});
}

// ---- TRowFields ----

void TRowFields::Clear() {
    bytes_.clear();
    ends_.clear();
    set_.clear();
}

QByteArrayView TRowFields::Stored(int realCol) const {
    if (realCol < 0 || realCol >= Count())
        return {};
    const size_t begin = realCol == 0 ? 0 : ends_[static_cast<size_t>(realCol) - 1];
    return QByteArrayView(bytes_.data() + begin,
                          static_cast<qsizetype>(ends_[static_cast<size_t>(realCol)] - begin));
}

QString TRowFields::Text(int realCol) const {
    for (auto it = set_.rbegin(); it != set_.rend(); ++it)
        if (it->first == realCol)
            return it->second;
    return QString::fromUtf8(Stored(realCol));
}

void TRowFields::SetText(int realCol, const QString& text) {
    if (realCol >= 0 && realCol < Count())
        set_.emplace_back(realCol, text);
}

const std::vector<QByteArrayView>& TRowFields::Views() {
    views_.resize(ends_.size());
    for (int c = 0; c < Count(); ++c)
        views_[static_cast<size_t>(c)] = Stored(c);
    if (set_.empty())
        return views_;
    // The replaced cells go into a buffer of their own; the views are taken once it no
    // longer grows. A cell set twice keeps its last text.
    setBytes_.clear();
    std::vector<size_t> ends;
    ends.reserve(set_.size());
    for (const auto& cell : set_) {
        const QByteArray utf8 = cell.second.toUtf8();
        setBytes_.append(utf8.constData(), static_cast<size_t>(utf8.size()));
        ends.push_back(setBytes_.size());
    }
    for (size_t k = 0; k < set_.size(); ++k) {
        const size_t begin = k == 0 ? 0 : ends[k - 1];
        views_[static_cast<size_t>(set_[k].first)] =
            QByteArrayView(setBytes_.data() + begin, static_cast<qsizetype>(ends[k] - begin));
    }
    return views_;
}
