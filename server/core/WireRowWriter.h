#pragma once

#include <QString>

#include <array>
#include <string>

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

private:
    void EndField() { buf_.push_back(u'\0'); }
    void Byte(quint8 b);

    std::u16string buf_;
    std::array<char16_t, 256> codePage_{}; // the character of each byte
};
