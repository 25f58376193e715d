#include "Cp1251.h"

#include <array>
#include <cstring>
#include <memory>

namespace {

// Unicode code points of the bytes 0x80..0xFF.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// The byte of every UTF-16 unit ('?' for the ones outside the code page), 64 KiB made
// once: encoding 100,000 rows looks up every character.
const std::array<char, 65536>& ReverseTable() {
    static const auto table = [] {
        auto t = std::make_unique<std::array<char, 65536>>();
        t->fill('?');
        for (int u = 0; u < 0x80; ++u)
            (*t)[size_t(u)] = static_cast<char>(u);
        for (int i = 0; i < 128; ++i)
            (*t)[kHighHalf[size_t(i)]] = static_cast<char>(0x80 + i);
        return t;
    }();
    return *table;
}

// The UTF-8 form of every byte: its length in the first of four bytes, then the bytes.
const std::array<std::array<char, 4>, 256>& Utf8Table() {
    static const auto table = [] {
        std::array<std::array<char, 4>, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const char16_t c = b < 0x80 ? char16_t(b) : kHighHalf[size_t(b - 0x80)];
            auto& e = t[size_t(b)];
            if (c < 0x80) {
                e = {1, static_cast<char>(c), 0, 0};
            } else if (c < 0x800) {
                e = {2, static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F)),
                     0};
            } else {
                e = {3, static_cast<char>(0xE0 | (c >> 12)),
                     static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                     static_cast<char>(0x80 | (c & 0x3F))};
            }
        }
        return t;
    }();
    return table;
}

} // namespace

namespace Cp1251 {

char EncodeChar(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return static_cast<char>(u);
    return ReverseTable()[u];
}

qsizetype EncodeInto(QStringView text, char* out) {
    const auto& table = ReverseTable();
    char* p = out;
    const qsizetype n = text.size();
    // The units are read byte-wise, so a view at any address is safe (one plain load
    // once optimised).
    const char* bytes = reinterpret_cast<const char*>(text.utf16());
    const auto unit = [bytes](qsizetype i) {
        char16_t c;
        std::memcpy(&c, bytes + i * 2, sizeof c);
        return c;
    };
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = unit(i);
        // A character beyond the basic plane is one '?', not two.
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(unit(i + 1)))
            c = unit(++i);
        *p++ = table[c];
    }
    return p - out;
}

QByteArray Encode(QStringView text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    out.truncate(EncodeInto(text, out.data()));
    return out;
}

QChar DecodeChar(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    return b < 0x80 ? QChar(b) : QChar(kHighHalf[b - 0x80]);
}

QString Decode(QByteArrayView bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* p = out.data();
    for (const char b : bytes)
        *p++ = DecodeChar(b);
    return out;
}

void AppendUtf8(QByteArrayView bytes, std::string& out) {
    const auto& table = Utf8Table();
    const size_t start = out.size();
    out.resize(start + 3 * size_t(bytes.size()));
    char* w = out.data() + start;
    for (const char b : bytes) {
        const auto& e = table[static_cast<unsigned char>(b)];
        if (e[0] == 1) {
            *w++ = e[1];
        } else {
            for (int i = 1; i <= e[0]; ++i)
                *w++ = e[size_t(i)];
        }
    }
    out.resize(size_t(w - out.data()));
}

} // namespace Cp1251
