#pragma once

#include <QString>

namespace wire {
class DataFrameWriter;
}

#include <algorithm>
#include <array>
#include <vector>

// Writes answer rows straight from column values, without a text or variant per value:
// the same field forms as WireText::RowBuilder (escaped text, decimal integers, dot
// numbers, binary fields in the workstation's code page), for lists of 100,000 rows.
class WireRowWriter {
public:
    WireRowWriter();

    // Text given as UTF-8 bytes (as the store holds it); NUL and U+0003 are escaped.
    // Invalid UTF-8 becomes U+FFFD, as QString::fromUtf8 does.
    WireRowWriter& Utf8Text(const unsigned char* bytes, int size);
    WireRowWriter& Latin1Text(const char* text, int size); // already plain ASCII
    WireRowWriter& Int(qint64 value);
    WireRowWriter& Number(double value, int decimals); // as WireText::DotNumber
    WireRowWriter& BinInt(qint32 value);
    WireRowWriter& BinDouble(double value);

    // The row written so far; the writer starts the next row empty.
    QString Take();
    // The same, appended straight to a frame being written.
    void TakeInto(wire::DataFrameWriter& frame);

private:
    // Room for n more characters; returns where they go. Commit(end) then sets the length.
    char16_t* Reserve(size_t n) {
        if (len_ + n > buf_.size())
            buf_.resize(std::max(buf_.size() * 2, len_ + n));
        return buf_.data() + len_;
    }
    void Commit(const char16_t* end) { len_ = size_t(end - buf_.data()); }
    void EndField() {
        *Reserve(1) = u'\0';
        ++len_;
    }
    char16_t* Byte(char16_t* out, quint8 b) const;

    std::vector<char16_t> buf_; // the row so far: len_ characters
    size_t len_ = 0;
    std::array<char16_t, 256> codePage_{}; // the character of each byte
};
