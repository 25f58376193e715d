#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <memory>
#include <vector>

// Compact cell storage for large grids. Every row is one heap block holding the
// UTF-8 texts of its cells back to back, preceded by a table of end offsets, so a
// row of twenty short cells costs a few hundred bytes instead of twenty strings.
// Cells are addressed by a storage slot, which stays with a column when the user
// moves it, so moving a column never touches the rows.
//
// Filling cell by cell is cheap: the row being written is kept open as a list of
// strings and packed once when another row is touched.
class TRowStore {
public:
    TRowStore() = default;
    TRowStore(const TRowStore&) = delete;
    TRowStore& operator=(const TRowStore&) = delete;

    int RowCount() const { return static_cast<int>(rows_.size()); }
    int SlotCount() const { return slots_; }

    // New slots start empty in every row; shrinking drops the texts of the lost slots.
    void SetSlotCount(int count);
    // New rows are empty; shrinking drops rows from the end.
    void SetRowCount(int count);

    // Out-of-range reads give an empty text; out-of-range writes are ignored.
    QString Cell(int slot, int row) const;
    void SetCell(int slot, int row, const QString& text);
    // Replaces a whole row; cells beyond the list become empty.
    void SetRow(int row, const QStringList& cells);
    // The same from count texts by slot (a full load writes 100,000 rows this way).
    void SetRow(int row, const QString* cells, int count);
    // The same from UTF-8 texts by slot, stored as they are: a fill straight from an
    // answer's bytes makes no text object per cell.
    void SetRowUtf8(int row, const QByteArrayView* cells, int count);

    void InsertRow(int row);
    void RemoveRow(int row);
    void MoveRow(int from, int to);
    void Clear();
    // Reorders the rows: new row i is old row order[i]. order must be a permutation.
    void Permute(const std::vector<int>& order);

    // Approximate heap bytes held by the rows (for the benchmark).
    std::size_t MemoryBytes() const;

private:
    using Block = std::unique_ptr<char[]>;
    static Block Pack(const QString* cells, int count);
    static Block PackUtf8(const QByteArrayView* cells, int count);
    static void Unpack(const char* block, int slotCount, std::vector<QString>& cells);
    static QString CellOf(const char* block, int slot);
    void Flush() const;
    void Open(int row);

    std::vector<Block> rows_;
    int slots_ = 0;
    mutable int openRow_ = -1;
    mutable std::vector<QString> open_;
};
