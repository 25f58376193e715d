#include "server/core/WireText.h"

#include <QDate>
#include <QHash>

#include <array>
#include <cmath>
#include <cstring>

namespace WireText {

namespace {

// Characters of the bytes 0x80..0xFF in the workstation's code page (0x98 is unassigned
// there; the workstation maps it to U+0098 and back).
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

const QHash<char16_t, quint8>& ReverseHigh() {
    static const QHash<char16_t, quint8> table = [] {
        QHash<char16_t, quint8> t;
        for (int i = 0; i < 128; ++i)
            t.insert(kHighHalf[size_t(i)], quint8(0x80 + i));
        return t;
    }();
    return table;
}

constexpr char16_t kEscape = 3;

} // namespace

QChar CharOfByte(quint8 byte) {
    if (byte < 0x80)
        return QChar(char16_t(byte));
    return QChar(kHighHalf[byte - 0x80]);
}

int ByteOfChar(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u;
    const auto& table = ReverseHigh();
    const auto it = table.constFind(u);
    return it == table.cend() ? -1 : int(it.value());
}

namespace {
bool NeedsEscape(const QString& value) {
    for (QChar c : value)
        if (c.unicode() == 0 || c.unicode() == 3)
            return true;
    return false;
}
} // namespace

QString EscapeText(const QString& value) {
    if (!NeedsEscape(value))
        return value;
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        if (c.unicode() == 0 || c.unicode() == kEscape) {
            out += QChar(kEscape);
            out += QChar(char16_t(c.unicode() + 48));
        } else {
            out += c;
        }
    }
    return out;
}

QString PlainText(const QString& value) {
    QString out = value;
    for (QChar& c : out)
        if (c.unicode() == 0 || c.unicode() == kEscape)
            c = QLatin1Char(' ');
    return out;
}

QString EscapeBytes(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size() + 4);
    for (char ch : bytes) {
        const quint8 b = quint8(ch);
        if (b == 0 || b == 3 || b == 0x98) {
            out += QChar(kEscape);
            out += CharOfByte(quint8((b + 48) & 0xFF));
        } else {
            out += CharOfByte(b);
        }
    }
    return out;
}

QByteArray DecodeEscaped(const QString& field) {
    QByteArray bytes;
    bytes.reserve(field.size());
    for (QChar c : field) {
        const int b = ByteOfChar(c);
        bytes.append(char(b < 0 ? '?' : b));
    }
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == 3 && i + 1 < bytes.size()) {
            out.append(char((quint8(bytes[i + 1]) - 48) & 0xFF));
            ++i;
        } else {
            out.append(bytes[i]);
        }
    }
    return out;
}

QString BinaryInt(qint32 value) {
    QByteArray b(4, '\0');
    const quint32 u = quint32(value);
    for (int i = 0; i < 4; ++i)
        b[i] = char((u >> (8 * i)) & 0xFF);
    return EscapeBytes(b);
}

QString BinaryDouble(double value) {
    quint64 u = 0;
    static_assert(sizeof(u) == sizeof(value));
    std::memcpy(&u, &value, sizeof(u));
    QByteArray b(8, '\0');
    for (int i = 0; i < 8; ++i)
        b[i] = char((u >> (8 * i)) & 0xFF);
    return EscapeBytes(b);
}

QString DotNumber(double value, int decimals) {
    if (!std::isfinite(value))
        return QStringLiteral("0");
    QString s = QString::number(value, 'f', decimals);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    if (s == QLatin1String("-0"))
        s = QStringLiteral("0");
    return s;
}

double DateTimeValue(int year, int month, int day, int hour, int minute, int second) {
    static const QDate epoch(1899, 12, 30);
    const QDate d(year, month, day);
    if (!d.isValid())
        return 0;
    return double(epoch.daysTo(d)) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

RowBuilder& RowBuilder::Text(const QString& value) {
    return Raw(EscapeText(value));
}
RowBuilder& RowBuilder::Plain(const QString& value) {
    return Raw(PlainText(value));
}
RowBuilder& RowBuilder::Int(qint64 value) {
    return Raw(QString::number(value));
}
RowBuilder& RowBuilder::Number(double value, int decimals) {
    return Raw(DotNumber(value, decimals));
}
RowBuilder& RowBuilder::BinInt(qint32 value) {
    return Raw(BinaryInt(value));
}
RowBuilder& RowBuilder::BinDouble(double value) {
    return Raw(BinaryDouble(value));
}
RowBuilder& RowBuilder::Raw(const QString& alreadyEncoded) {
    if (row_.capacity() == 0)
        row_.reserve(192);
    row_ += alreadyEncoded;
    row_ += QChar(u'\0');
    ++count_;
    return *this;
}
QString RowBuilder::Take() {
    count_ = 0;
    return std::exchange(row_, QString());
}

QStringList SplitRow(const QString& row) {
    QStringList fields;
    qsizetype start = 0;
    for (qsizetype i = 0; i < row.size(); ++i) {
        if (row[i].unicode() == 0) {
            fields << row.mid(start, i - start);
            start = i + 1;
        }
    }
    return fields;
}

} // namespace WireText
