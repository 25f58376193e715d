// Rows and cells of the grid widget: writing, inserting, removing, moving and sorting
// rows, each reported to the views as what it is, so the user's current cell,
// selection and scroll position stay on their rows through fills and merges.
#include "GridModel.h"
#include "StringGrid.h"
#include "controls/SortKeys.h"

#include <QScrollBar>

#include <algorithm>

int TStringGrid::RowCount() const {
    return fixedRows_ + store_.RowCount();
}

void TStringGrid::SetRowCount(int rows) {
    const int data = std::max(0, rows - fixedRows_);
    const int had = store_.RowCount();
    if (data == had)
        return;
    if (data > had) {
        model_->BeginInsert(had, data - 1);
        store_.SetRowCount(data);
        model_->EndInsert();
        inSortOrder_ = false; // blank rows at the end
    } else {
        model_->BeginRemove(data, had - 1);
        store_.SetRowCount(data);
        model_->EndRemove();
    }
    CellsChanged();
}

QString TStringGrid::Cell(int realCol, int row) const {
    const TGridColumn* column = Column(realCol);
    if (!column)
        return {};
    if (row < fixedRows_)
        return row == 0 ? column->Header : QString();
    return store_.Cell(column->slot_, row - fixedRows_);
}

void TStringGrid::SetCell(int realCol, int row, const QString& text) {
    TGridColumn* column = Column(realCol);
    if (!column || row < 0)
        return;
    if (row < fixedRows_) {
        column->Header = text;
        RepaintHeaders();
        return;
    }
    store_.SetCell(column->slot_, row - fixedRows_, text);
    inSortOrder_ = false;
    if (updateDepth_ == 0)
        viewport()->update();
}

void TStringGrid::SetRowTexts(int row, const QStringList& textsByRealCol) {
    if (row < fixedRows_ || row >= RowCount())
        return;
    // One list by slot, kept from row to row: a full load writes 100,000 rows.
    rowBySlot_.assign(static_cast<std::size_t>(store_.SlotCount()), QString());
    for (int i = 0; i < textsByRealCol.size() && i < AllColCount(); ++i)
        rowBySlot_[static_cast<std::size_t>(columns_[i]->slot_)] = textsByRealCol[i];
    store_.SetRow(row - fixedRows_, rowBySlot_.data(), static_cast<int>(rowBySlot_.size()));
    inSortOrder_ = false;
    if (updateDepth_ == 0)
        viewport()->update();
}

void TStringGrid::SetRowUtf8(int row, const QByteArrayView* utf8ByRealCol, int count) {
    if (row < fixedRows_ || row >= RowCount())
        return;
    utf8BySlot_.assign(static_cast<std::size_t>(store_.SlotCount()), QByteArrayView());
    for (int i = 0; i < count && i < AllColCount(); ++i)
        utf8BySlot_[static_cast<std::size_t>(columns_[i]->slot_)] = utf8ByRealCol[i];
    store_.SetRowUtf8(row - fixedRows_, utf8BySlot_.data(), static_cast<int>(utf8BySlot_.size()));
    inSortOrder_ = false;
    if (updateDepth_ == 0)
        viewport()->update();
}

QString TStringGrid::DisplCell(int displCol, int row) const {
    return Cell(RealColIndex(displCol), row);
}

void TStringGrid::InsertRow(int row) {
    const int data = std::clamp(row - fixedRows_, 0, store_.RowCount());
    model_->BeginInsert(data, data);
    store_.InsertRow(data);
    model_->EndInsert();
    inSortOrder_ = false;
    CellsChanged();
}

void TStringGrid::RemoveRow(int row) {
    if (row < fixedRows_ || row >= RowCount())
        return;
    const int data = row - fixedRows_;
    // The current cell of a removed row goes to the row that takes its place (or the
    // one above at the end), so the keyboard commands keep a row to act on.
    const QModelIndex current = currentIndex();
    const bool wasCurrent = current.isValid() && current.row() == data;
    model_->BeginRemove(data, data);
    store_.RemoveRow(data);
    model_->EndRemove();
    if (wasCurrent && store_.RowCount() > 0) {
        const QModelIndex nearest =
            model_->index(std::min(data, store_.RowCount() - 1), current.column());
        selectionModel()->setCurrentIndex(nearest, QItemSelectionModel::NoUpdate);
    }
    CellsChanged();
}

void TStringGrid::MoveRow(int fromRow, int toRow) {
    if (fromRow < fixedRows_ || toRow < fixedRows_ || fromRow >= RowCount() ||
        toRow >= RowCount() || fromRow == toRow)
        return;
    const int from = fromRow - fixedRows_;
    const int to = toRow - fixedRows_;
    // The model counts the destination before the move: below the row, one further.
    const bool reported = model_->BeginMove(from, to > from ? to + 1 : to);
    store_.MoveRow(from, to);
    if (reported)
        model_->EndMove();
    inSortOrder_ = false;
    if (updateDepth_ == 0)
        RepaintCells();
}

void TStringGrid::ClearRows() {
    SetRowCount(fixedRows_);
}

int TStringGrid::TopRow() const {
    return fixedRows_ + verticalScrollBar()->value();
}

void TStringGrid::SetTopRow(int row) {
    LayoutViewsNow(); // the scroll range must know the row count first
    verticalScrollBar()->setValue(std::max(0, row - fixedRows_));
}

void TStringGrid::BeginUpdate() {
    if (updateDepth_++ > 0)
        return;
    // Rows the batch adds or removes above the top row must not scroll the rows the
    // user is looking at: the top row is followed, wherever it goes.
    const int top = verticalScrollBar()->value();
    batchTopValue_ = top;
    batchTopRow_ = QPersistentModelIndex(model_->index(top, 0));
}

void TStringGrid::EndUpdate() {
    if (updateDepth_ == 0 || --updateDepth_ > 0)
        return;
    if (resetPending_) {
        resetPending_ = false;
        model_->Reset();
        ApplyColumnsToViews();
    } else {
        RepaintCells();
    }
    const int top = batchTopRow_.isValid() ? batchTopRow_.row() : batchTopValue_;
    batchTopRow_ = QPersistentModelIndex();
    if (top != verticalScrollBar()->value())
        SetTopRow(fixedRows_ + top);
}

void TStringGrid::CellsChanged() {
    if (updateDepth_ == 0)
        RepaintCells();
}

// --- sorting ------------------------------------------------------------------------

int TStringGrid::SortColumn() const {
    return sortColumn_ ? IndexOfColumn(sortColumn_) : -1;
}

void TStringGrid::SortByColumn(int realCol, bool ascending) {
    TGridColumn* column = Column(realCol);
    if (!column)
        return;
    sortColumn_ = column;
    sortAscending_ = ascending;
    const int rows = store_.RowCount();
    std::vector<QString> texts(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r)
        texts[r] = store_.Cell(column->slot_, r);
    const std::vector<int> order =
        SortOrder(texts, column->SortStyle, column->SortPrefix, column->SortSuffix, ascending);
    std::vector<int> newRowOf(order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        newRowOf[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
    model_->BeginReorder();
    store_.Permute(order);
    model_->EndReorder(newRowOf);
    inSortOrder_ = true;
    if (updateDepth_ == 0)
        RepaintCells();
    RepaintHeaders();
    emit Sorted();
}

void TStringGrid::Resort() {
    const int column = SortColumn();
    if (column >= 0)
        SortByColumn(column, sortAscending_);
}

void TStringGrid::HeaderClicked(int displCol) {
    const int real = RealColIndex(displCol);
    if (real < 0)
        return;
    if (displCol < fixedCols_ && !fixedSortable_)
        return;
    if (!headerSortable_)
        return;
    const bool ascending = SortColumn() == real ? !sortAscending_ : true;
    SortByColumn(real, ascending);
}
