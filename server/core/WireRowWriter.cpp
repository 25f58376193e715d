#include "server/core/WireRowWriter.h"

#include "server/core/WireText.h"
#include "session/wire/Cp1251.h"
#include "session/wire/FieldEscape.h"
#include "session/wire/WireProtocol.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {
constexpr char kEscape = char(wire::kFieldEscape);
}

WireRowWriter::WireRowWriter() {
    buf_.resize(512);
}

void WireRowWriter::Ascii(const char* from, const char* to) {
    char* out = Reserve(size_t(to - from));
    std::copy(from, to, out);
    Commit(out + (to - from));
}

WireRowWriter& WireRowWriter::Latin1Text(const char* text, int size) {
    Ascii(text, text + std::max(size, 0));
    EndField();
    return *this;
}

WireRowWriter& WireRowWriter::Utf8Text(const unsigned char* s, int size) {
    // Every byte gives at most two bytes (an escape pair).
    char* out = Reserve(2 * size_t(std::max(size, 0)));
    const auto put = [&out](char32_t c) {
        if (c == 0 || c == char32_t(kEscape)) {
            *out++ = kEscape;
            *out++ = char(c + wire::kFieldEscapeOffset);
        } else {
            *out++ = c < 0x10000 ? Cp1251::EncodeChar(QChar(char16_t(c))) : '?';
        }
    };
    int i = 0;
    while (i < size) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            if (b > 3) // neither NUL nor the escape: the character itself
                *out++ = char(b);
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
    Ascii(digits, r.ptr);
    EndField();
    return *this;
}

WireRowWriter& WireRowWriter::Number(double value, int decimals) {
    if (!std::isfinite(value)) {
        Ascii("0", "0" + 1);
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
        const QByteArray form = WireText::DotNumber(value, decimals).toLatin1();
        Ascii(form.constData(), form.constData() + form.size());
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
        Ascii(text + 1, end);
    else
        Ascii(text, end);
    EndField();
    return *this;
}

WireRowWriter& WireRowWriter::BinInt(qint32 value) {
    const quint32 u = quint32(value);
    char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((u >> (8 * i)) & 0xFF);
    char* out = Reserve(2 * sizeof bytes);
    wire::ForEachEscapedByte(QByteArrayView(bytes, sizeof bytes), [&out](char c) { *out++ = c; });
    Commit(out);
    EndField();
    return *this;
}

WireRowWriter& WireRowWriter::BinDouble(double value) {
    char bytes[8];
    std::memcpy(bytes, &value, sizeof bytes);
    char* out = Reserve(2 * sizeof bytes);
    wire::ForEachEscapedByte(QByteArrayView(bytes, sizeof bytes), [&out](char c) { *out++ = c; });
    Commit(out);
    EndField();
    return *this;
}

QString WireRowWriter::Take() {
    const QString row = Cp1251::Decode(QByteArrayView(buf_.data(), qsizetype(len_)));
    len_ = 0;
    return row;
}

void WireRowWriter::TakeInto(wire::DataFrameWriter& frame) {
    frame.AppendRow(buf_.data(), qsizetype(len_));
    len_ = 0;
}
