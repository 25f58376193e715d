#pragma once

#include "controls/StringGrid.h"

#include <QAbstractTableModel>

#include <vector>

// The grid's model: data rows of the grid (the header row is the view's header),
// shown columns. Private to the grid's own sources.

class TGridModel : public QAbstractTableModel {
public:
    explicit TGridModel(TStringGrid* grid) : QAbstractTableModel(grid), grid_(grid) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !grid_ ? 0 : grid_->store_.RowCount();
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !grid_ ? 0 : grid_->ColCount();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!grid_ || !index.isValid())
            return {};
        const int real = grid_->RealColIndex(index.column());
        const int row = index.row() + grid_->fixedRows_;
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return grid_->Cell(real, row);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(grid_->CellAlignment(real, row));
        case Qt::FontRole:
        case Qt::ForegroundRole:
        case Qt::BackgroundRole: {
            const TCellLook look = grid_->CellLook(real, row);
            if (role == Qt::FontRole)
                return look.Font;
            if (role == Qt::ForegroundRole)
                return look.Text.isValid() ? QVariant(look.Text) : QVariant();
            return look.Background.isValid() ? QVariant(look.Background) : QVariant();
        }
        default:
            return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (!grid_ || orientation != Qt::Horizontal || section < 0 || section >= grid_->ColCount())
            return {};
        const int real = grid_->RealColIndex(section);
        switch (role) {
        case Qt::DisplayRole:
            return grid_->fixedRows_ > 0 ? grid_->Cell(real, 0) : QString();
        case Qt::TextAlignmentRole:
            if (grid_->headerWrap_)
                return QVariant::fromValue(
                    Qt::Alignment(grid_->CellAlignment(real, 0).toInt() | Qt::TextWordWrap));
            return QVariant::fromValue(grid_->CellAlignment(real, 0));
        case Qt::FontRole:
            return grid_->fixedFont_;
        default:
            return {};
        }
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!grid_ || !index.isValid())
            return Qt::NoItemFlags;
        // Fixed cells are never part of the selection; the fixed column is where rows
        // are picked up and moved instead.
        if (index.column() < grid_->fixedCols_)
            return Qt::ItemIsEnabled;
        if (grid_->editable_) {
            const TGridColumn* column = grid_->Column(grid_->RealColIndex(index.column()));
            if (column && !column->ReadOnly && !column->Fixed)
                return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
        }
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!grid_ || !index.isValid() || role != Qt::EditRole ||
            !(flags(index) & Qt::ItemIsEditable))
            return false;
        grid_->SetCell(grid_->RealColIndex(index.column()), index.row() + grid_->fixedRows_,
                       value.toString());
        return true;
    }
    // The grid is going: a grid shown on its own is closed by the widget's destructor,
    // which still asks the model for headers after the grid's part is gone.
    void Detach() {
        beginResetModel();
        grid_ = nullptr;
        endResetModel();
    }
    void Reset() {
        beginResetModel();
        endResetModel();
    }
    // Row changes are reported as such, so the views keep the current cell, the
    // selection and their place on the rows that stay (a reset would drop all three).
    void BeginInsert(int first, int last) { beginInsertRows({}, first, last); }
    void EndInsert() { endInsertRows(); }
    void BeginRemove(int first, int last) { beginRemoveRows({}, first, last); }
    void EndRemove() { endRemoveRows(); }
    bool BeginMove(int from, int destination) {
        return beginMoveRows({}, from, from, {}, destination);
    }
    void EndMove() { endMoveRows(); }
    // A reorder of every row: old row i becomes row newRowOf[i].
    void BeginReorder() { emit layoutAboutToBeChanged({}, VerticalSortHint); }
    void EndReorder(const std::vector<int>& newRowOf) {
        const QModelIndexList before = persistentIndexList();
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& index : before) {
            const int row = index.row();
            after.append(row >= 0 && row < static_cast<int>(newRowOf.size())
                             ? this->index(newRowOf[static_cast<std::size_t>(row)], index.column())
                             : QModelIndex());
        }
        changePersistentIndexList(before, after);
        emit layoutChanged({}, VerticalSortHint);
    }
    void Repaint() {
        if (rowCount() > 0 && columnCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }

private:
    TStringGrid* grid_;
};
