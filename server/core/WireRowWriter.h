#pragma once

#include <QString>

namespace wire {
class DataFrameWriter;
}

#include <algorithm>
#include <vector>

// Writes answer rows straight from column values, without a text or variant per value:
// the same field forms as WireText::RowBuilder (escaped text, decimal integers, dot
// numbers, binary fields), in the workstation's code page as the rows travel, for lists
// of 100,000 rows.
class WireRowWriter {
public:
    WireRowWriter();

    // Text given as UTF-8 bytes (as the store holds it); NUL and U+0003 are escaped.
    // A character outside the code page, and each byte of invalid UTF-8, becomes '?'
    // (what the code page makes of QString::fromUtf8's U+FFFD).
    WireRowWriter& Utf8Text(const unsigned char* bytes, int size);
    WireRowWriter& Latin1Text(const char* text, int size); // already plain ASCII
    WireRowWriter& Int(qint64 value);
    WireRowWriter& Number(double value, int decimals); // as WireText::DotNumber
    WireRowWriter& BinInt(qint32 value);
    WireRowWriter& BinDouble(double value);

    // The row written so far, as text; the writer starts the next row empty.
    QString Take();
    // The same, appended straight to a frame being written.
    void TakeInto(wire::DataFrameWriter& frame);

private:
    // Room for n more bytes; returns where they go. Commit(end) then sets the length.
    char* Reserve(size_t n) {
        if (len_ + n > buf_.size())
            buf_.resize(std::max(buf_.size() * 2, len_ + n));
        return buf_.data() + len_;
    }
    void Commit(const char* end) { len_ = size_t(end - buf_.data()); }
    void EndField() {
        *Reserve(1) = '\0';
        ++len_;
    }
    void Ascii(const char* from, const char* to);

    std::vector<char> buf_; // the row so far: len_ bytes
    size_t len_ = 0;
};
