#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// How values are written into answer rows. A row is a text in which every field
// is followed by NUL. Fields read by name are escape-decoded by the workstation
// (session/wire/FieldEscape.h), positional fields are not. Binary fields carry raw
// little-endian bytes that must survive the trip through the workstation's 8-bit
// code page (session/wire/Cp1251.h), so each byte travels as the character the
// code page assigns to it.
namespace WireText {

// A field read by name: NUL and U+0003 travel as escapes.
QString EscapeText(const QString& value);
// A field read by position: NUL and U+0003 cannot be escaped there, so they become blanks.
QString PlainText(const QString& value);
// Binary fields: 4-byte signed int, 8-byte double; NUL, 3 and the unassigned 0x98 are escaped.
QString BinaryInt(qint32 value);
QString BinaryDouble(double value);
QString EscapeBytes(const QByteArray& bytes);
// The reverse of EscapeBytes after the code-page step (used by tests and the control client).
QByteArray DecodeEscaped(const QString& field);

// Numbers with "." as the decimal point, at most `decimals` places, no trailing zeros.
QString DotNumber(double value, int decimals = 6);
// Days since 30.12.1899, the time of day as the fraction.
double DateTimeValue(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// Builds one row: every field ends with NUL.
class RowBuilder {
public:
    RowBuilder& Text(const QString& value);  // escaped
    RowBuilder& Plain(const QString& value); // no NUL / U+0003
    RowBuilder& Int(qint64 value);
    RowBuilder& Number(double value, int decimals = 6);
    RowBuilder& BinInt(qint32 value);
    RowBuilder& BinDouble(double value);
    RowBuilder& Raw(const QString& alreadyEncoded);
    QString Take();
    int Count() const { return count_; }

private:
    QString row_;
    int count_ = 0;
};

// Splits a row into its NUL-terminated fields (a last field without NUL is dropped).
QStringList SplitRow(const QString& row);

} // namespace WireText
