#pragma once

#include <QByteArrayView>
#include <QString>

#include <string>

// Conversions between the server's dot-decimal number texts and the workstation's
// locale (WorkstationLocale). The server always writes "." as decimal separator.

// Parses a number written with the locale's decimal separator (no grouping).
// Accepts surrounding blanks, a sign, digits with one separator and an exponent.
bool TryParseLocaleNumber(const QString& text, double& value);

// General format: up to 15 significant digits, no trailing zeros, scientific
// (such as 1E-6) below 0.00001 or beyond 15 integer digits.
QString FormatGeneralNumber(double value, QChar decimalSeparator);
// The same appended to out as UTF-8; a grid's fill writes 100,000 rows of numbers so,
// without a text object per value.
void AppendGeneralNumberUtf8(double value, QChar decimalSeparator, std::string& out);
// The general format of a plain dot-decimal text ("-0012.500") appended to out as UTF-8,
// exactly as FormatGeneralNumber(DotTextToFloat(text)) writes it. false, and nothing
// appended, for any other text or one that needs the long way (over 15 significant
// digits, the scientific form).
bool AppendPlainDecimalUtf8(QByteArrayView dotText, QChar decimalSeparator, std::string& out);

// Picture pattern format (",##0.00", "0.######", "#0%", ...) in the locale's separators.
QString FormatNumberPattern(const QString& pattern, double value);

// Fixed ("%.2f") or grouped ("%.4n") format with N decimals in the locale's separators.
QString FormatNumberPrintf(const QString& format, double value);

double DotTextToFloat(const QString& text);                           // throws EConvertError
QString LocalToDotText(const QString& text);                          // locale separator -> "."
QString FloatToDotText(double value);                                 // general format with "."
QString FormatDotNumber(const QString& pattern, const QString& text); // throws EConvertError
QString NormalizeNumberText(const QString& text);                     // throws EConvertError
double ParseGroupedNumber(const QString& text, double defaultValue);

// Character class of the typed search: digits, Latin letters with the six signs
// between "Z" and "a", Cyrillic letters of the code page including Ё and ё.
bool IsWordChar(char c);

// Swaps bit 0 with bit 3 and bit 1 with bit 2 of a 4-bit font style set.
int ReverseStyleBits(int styles);
