#include "server/core/WireRowWriter.h"

#include "server/core/WireText.h"
#include "session/wire/Cp1251.h"
#include "session/wire/FieldEscape.h"
#include "session/wire/WireProtocol.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {
constexpr char16_t kEscape = char16_t(wire::kFieldEscape);
}

WireRowWriter::WireRowWriter() {
    for (int b = 0; b < 256; ++b)
        codePage_[size_t(b)] = Cp1251::DecodeChar(char(b)).unicode();
    buf_.resize(512);
}

WireRowWriter& WireRowWriter::Latin1Text(const char* text, int size) {
    char16_t* out = Reserve(size_t(std::max(size, 0)));
    for (int i = 0; i < size; ++i)
        *out++ = char16_t(quint8(text[i]));
    Commit(out);
    EndField();
    return *this;
}

WireRowWriter& WireRowWriter::Utf8Text(const unsigned char* s, int size) {
    // Every byte gives at most two characters (an escape pair, or half a surrogate pair
    // of a four-byte sequence).
    char16_t* out = Reserve(2 * size_t(std::max(size, 0)));
    const auto put = [&out](char32_t c) {
        if (c == 0 || c == kEscape) {
            *out++ = kEscape;
            *out++ = char16_t(c + wire::kFieldEscapeOffset);
        } else if (c < 0x10000) {
            *out++ = char16_t(c);
        } else {
            c -= 0x10000;
            *out++ = char16_t(0xD800 + (c >> 10));
            *out++ = char16_t(0xDC00 + (c & 0x3FF));
        }
    };
    int i = 0;
    while (i < size) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            if (b > 3) // neither NUL nor the escape: the character itself
                *out++ = char16_t(b);
            else
                put(b);
            ++i;
            continue;
        }
        // Lead byte: the length of the sequence and the smallest value it may encode.
        int extra = 0;
        char32_t c = 0;
        char32_t least = 0;
        if ((b & 0xE0) == 0xC0) {
            extra = 1;
            c = b & 0x1F;
            least = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            c = b & 0x0F;
            least = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3;
            c = b & 0x07;
            least = 0x10000;
        } else {
            put(0xFFFD);
            ++i;
            continue;
        }
        int n = 1;
        while (n <= extra && i + n < size && (s[i + n] & 0xC0) == 0x80) {
            c = (c << 6) | (s[i + n] & 0x3F);
            ++n;
        }
        if (n <= extra || c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            // One replacement per byte of the broken sequence, as QString::fromUtf8 does.
            for (int k = 0; k < n; ++k)
                put(0xFFFD);
            i += n;
            continue;
        }
        put(c);
        i += n;
    }
    Commit(out);
    EndField();
    return *this;
}

WireRowWriter& WireRowWriter::Int(qint64 value) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, value);
    char16_t* out = Reserve(size_t(r.ptr - digits));
    for (const char* p = digits; p < r.ptr; ++p)
        *out++ = char16_t(*p);
    Commit(out);
    EndField();
    return *this;
}

WireRowWriter& WireRowWriter::Number(double value, int decimals) {
    const auto ascii = [this](const char* from, const char* to) {
        char16_t* out = Reserve(size_t(to - from));
        for (const char* p = from; p < to; ++p)
            *out++ = char16_t(*p);
        Commit(out);
    };
    if (!std::isfinite(value)) {
        ascii("0", "0" + 1);
        EndField();
        return *this;
    }
    char text[400];
    // A value halfway between two results (x.125 at two places) rounds away from zero in
    // the row builder's form but to even here: such values, and the huge ones, take the
    // row builder's path. Only those can end in 5 one place beyond the last.
    const auto shortest = std::to_chars(text, text + sizeof text, value);
    const char* point =
        static_cast<const char*>(std::memchr(text, '.', size_t(shortest.ptr - text)));
    if (std::fabs(value) >= 1e15 || std::memchr(text, 'e', size_t(shortest.ptr - text)) ||
        (point && shortest.ptr - point - 1 == decimals + 1 && shortest.ptr[-1] == '5')) {
        const QString form = WireText::DotNumber(value, decimals);
        char16_t* out = Reserve(size_t(form.size()));
        std::copy_n(reinterpret_cast<const char16_t*>(form.utf16()), form.size(), out);
        Commit(out + form.size());
        EndField();
        return *this;
    }
    const auto r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    const char* end = r.ptr;
    // No trailing zeros, no lone decimal point, and no "-0".
    if (std::memchr(text, '.', size_t(end - text))) {
        while (end[-1] == '0')
            --end;
        if (end[-1] == '.')
            --end;
    }
    if (end - text == 2 && text[0] == '-' && text[1] == '0')
        ascii(text + 1, end);
    else
        ascii(text, end);
    EndField();
    return *this;
}

char16_t* WireRowWriter::Byte(char16_t* out, quint8 b) const {
    const char byte = char(b);
    wire::ForEachEscapedByte(QByteArrayView(&byte, 1),
                             [this, &out](char c) { *out++ = codePage_[quint8(c)]; });
    return out;
}

WireRowWriter& WireRowWriter::BinInt(qint32 value) {
    const quint32 u = quint32(value);
    char16_t* out = Reserve(8);
    for (int i = 0; i < 4; ++i)
        out = Byte(out, quint8((u >> (8 * i)) & 0xFF));
    Commit(out);
    EndField();
    return *this;
}

WireRowWriter& WireRowWriter::BinDouble(double value) {
    quint64 u = 0;
    std::memcpy(&u, &value, sizeof u);
    char16_t* out = Reserve(16);
    for (int i = 0; i < 8; ++i)
        out = Byte(out, quint8((u >> (8 * i)) & 0xFF));
    Commit(out);
    EndField();
    return *this;
}

QString WireRowWriter::Take() {
    QString row(reinterpret_cast<const QChar*>(buf_.data()), qsizetype(len_));
    len_ = 0;
    return row;
}

void WireRowWriter::TakeInto(wire::DataFrameWriter& frame) {
    frame.AppendRow(buf_.data(), qsizetype(len_));
    len_ = 0;
}
