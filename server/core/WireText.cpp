#include "server/core/WireText.h"

#include "session/wire/Cp1251.h"
#include "session/wire/FieldEscape.h"

#include <QDate>

#include <cmath>
#include <cstring>

namespace WireText {

QString EscapeText(const QString& value) {
    return wire::EscapeFieldText(value);
}

QString PlainText(const QString& value) {
    QString out = value;
    for (QChar& c : out)
        if (c.unicode() == 0 || c.unicode() == char16_t(wire::kFieldEscape))
            c = QLatin1Char(' ');
    return out;
}

QString EscapeBytes(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size() + 4);
    wire::ForEachEscapedByte(bytes, [&out](char b) { out += Cp1251::DecodeChar(b); });
    return out;
}

QByteArray DecodeEscaped(const QString& field) {
    QByteArray bytes;
    bytes.reserve(field.size());
    for (const QChar c : field)
        bytes.append(Cp1251::EncodeChar(c));
    return wire::UnescapeField(bytes);
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
