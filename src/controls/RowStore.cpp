#include "RowStore.h"

#include <algorithm>
#include <cstring>
#include <string>

// Block layout: uint32 cell count n, uint32 end offsets[n], then the UTF-8 texts.
// A null block is a row whose cells are all empty.

namespace {
std::uint32_t ReadU32(const char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
} // namespace

namespace {
// UTF-16 to UTF-8 appended to a reused buffer; a lone surrogate becomes U+FFFD.
void AppendUtf8(std::string& out, const QString& text) {
    const std::size_t start = out.size();
    out.resize(start + 3 * static_cast<std::size_t>(text.size()));
    char* w = out.data() + start;
    const char16_t* p = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* end = p + text.size();
    while (p < end) {
        char32_t c = *p++;
        if (c < 0x80) {
            *w++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *w++ = static_cast<char>(0xC0 | (c >> 6));
            *w++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            if (c >= 0xD800 && c <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00);
                *w++ = static_cast<char>(0xF0 | (c >> 18));
                *w++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            } else {
                if (c >= 0xD800 && c <= 0xDFFF)
                    c = 0xFFFD;
                *w++ = static_cast<char>(0xE0 | (c >> 12));
            }
            *w++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *w++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
}
} // namespace

TRowStore::Block TRowStore::Pack(const QString* cells, int count) {
    int last = count;
    while (last > 0 && cells[last - 1].isEmpty())
        --last;
    if (last == 0)
        return nullptr;
    thread_local std::string text;
    thread_local std::vector<std::uint32_t> ends;
    text.clear();
    ends.clear();
    for (int i = 0; i < last; ++i) {
        AppendUtf8(text, cells[i]);
        ends.push_back(static_cast<std::uint32_t>(text.size()));
    }
    const std::size_t head = sizeof(std::uint32_t) * (1 + last);
    Block block(new char[head + text.size()]);
    const auto n = static_cast<std::uint32_t>(last);
    std::memcpy(block.get(), &n, sizeof n);
    std::memcpy(block.get() + sizeof n, ends.data(), sizeof(std::uint32_t) * last);
    if (!text.empty())
        std::memcpy(block.get() + head, text.data(), text.size());
    return block;
}

TRowStore::Block TRowStore::PackUtf8(const QByteArrayView* cells, int count) {
    int last = count;
    while (last > 0 && cells[last - 1].isEmpty())
        --last;
    if (last == 0)
        return nullptr;
    std::size_t textSize = 0;
    for (int i = 0; i < last; ++i)
        textSize += static_cast<std::size_t>(cells[i].size());
    const std::size_t head = sizeof(std::uint32_t) * (1 + last);
    Block block(new char[head + textSize]);
    const auto n = static_cast<std::uint32_t>(last);
    std::memcpy(block.get(), &n, sizeof n);
    char* ends = block.get() + sizeof n;
    char* text = block.get() + head;
    std::uint32_t end = 0;
    for (int i = 0; i < last; ++i) {
        const auto size = static_cast<std::size_t>(cells[i].size());
        if (size)
            std::memcpy(text + end, cells[i].data(), size);
        end += static_cast<std::uint32_t>(size);
        std::memcpy(ends + sizeof(std::uint32_t) * i, &end, sizeof end);
    }
    return block;
}

QString TRowStore::CellOf(const char* block, int slot) {
    if (!block || slot < 0)
        return {};
    const std::uint32_t n = ReadU32(block);
    if (static_cast<std::uint32_t>(slot) >= n)
        return {};
    const char* ends = block + sizeof(std::uint32_t);
    const std::uint32_t end = ReadU32(ends + sizeof(std::uint32_t) * slot);
    const std::uint32_t begin = slot == 0 ? 0 : ReadU32(ends + sizeof(std::uint32_t) * (slot - 1));
    if (end == begin)
        return {};
    const char* text = block + sizeof(std::uint32_t) * (1 + n);
    return QString::fromUtf8(text + begin, static_cast<qsizetype>(end - begin));
}

void TRowStore::Unpack(const char* block, int slotCount, std::vector<QString>& cells) {
    cells.assign(static_cast<std::size_t>(slotCount), QString());
    if (!block)
        return;
    for (int i = 0; i < slotCount; ++i)
        cells[i] = CellOf(block, i);
}

void TRowStore::Flush() const {
    if (openRow_ < 0)
        return;
    auto& self = const_cast<TRowStore&>(*this);
    if (openRow_ < RowCount())
        self.rows_[openRow_] = Pack(open_.data(), static_cast<int>(open_.size()));
    openRow_ = -1;
    open_.clear();
}

void TRowStore::Open(int row) {
    if (openRow_ == row)
        return;
    Flush();
    Unpack(rows_[row].get(), slots_, open_);
    openRow_ = row;
}

void TRowStore::SetSlotCount(int count) {
    count = std::max(0, count);
    Flush();
    if (count < slots_) {
        std::vector<QString> cells;
        for (auto& block : rows_) {
            if (!block)
                continue;
            Unpack(block.get(), count, cells);
            block = Pack(cells.data(), static_cast<int>(cells.size()));
        }
    }
    slots_ = count;
}

void TRowStore::SetRowCount(int count) {
    Flush();
    rows_.resize(static_cast<std::size_t>(std::max(0, count)));
}

QString TRowStore::Cell(int slot, int row) const {
    if (row < 0 || row >= RowCount() || slot < 0 || slot >= slots_)
        return {};
    if (row == openRow_)
        return open_[slot];
    return CellOf(rows_[row].get(), slot);
}

void TRowStore::SetCell(int slot, int row, const QString& text) {
    if (row < 0 || row >= RowCount() || slot < 0 || slot >= slots_)
        return;
    Open(row);
    open_[slot] = text;
}

void TRowStore::SetRow(int row, const QStringList& cells) {
    SetRow(row, cells.constData(), static_cast<int>(cells.size()));
}

void TRowStore::SetRow(int row, const QString* cells, int count) {
    if (row < 0 || row >= RowCount())
        return;
    if (openRow_ == row) {
        openRow_ = -1;
        open_.clear();
    }
    rows_[row] = Pack(cells, std::clamp(count, 0, slots_));
}

void TRowStore::SetRowUtf8(int row, const QByteArrayView* cells, int count) {
    if (row < 0 || row >= RowCount())
        return;
    if (openRow_ == row) {
        openRow_ = -1;
        open_.clear();
    }
    rows_[row] = PackUtf8(cells, std::clamp(count, 0, slots_));
}

void TRowStore::InsertRow(int row) {
    Flush();
    row = std::clamp(row, 0, RowCount());
    rows_.insert(rows_.begin() + row, nullptr);
}

void TRowStore::RemoveRow(int row) {
    if (row < 0 || row >= RowCount())
        return;
    Flush();
    rows_.erase(rows_.begin() + row);
}

void TRowStore::MoveRow(int from, int to) {
    if (from < 0 || from >= RowCount() || to < 0 || to >= RowCount() || from == to)
        return;
    Flush();
    Block moved = std::move(rows_[from]);
    rows_.erase(rows_.begin() + from);
    rows_.insert(rows_.begin() + to, std::move(moved));
}

void TRowStore::Clear() {
    openRow_ = -1;
    open_.clear();
    rows_.clear();
}

void TRowStore::Permute(const std::vector<int>& order) {
    if (order.size() != rows_.size())
        return;
    Flush();
    std::vector<Block> next(rows_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const int from = order[i];
        if (from < 0 || static_cast<std::size_t>(from) >= rows_.size() || !rows_[from]) {
            // A row already taken or empty: nothing to move (empty rows stay null).
            continue;
        }
        next[i] = std::move(rows_[from]);
    }
    rows_ = std::move(next);
}

std::size_t TRowStore::MemoryBytes() const {
    Flush();
    std::size_t total = rows_.capacity() * sizeof(Block);
    for (const auto& block : rows_) {
        if (!block)
            continue;
        const std::uint32_t n = ReadU32(block.get());
        const std::uint32_t text = n ? ReadU32(block.get() + sizeof(std::uint32_t) * n) : 0;
        // Heap blocks carry about 16 bytes of allocator bookkeeping.
        total += sizeof(std::uint32_t) * (1 + n) + text + 16;
    }
    return total;
}
