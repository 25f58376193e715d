#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <string>

// The workstation's 8-bit code page. Every place that counts or transforms bytes
// (field escapes, binary fields, the log, exported files, the settings stream)
// converts through here and nowhere else.
namespace Cp1251 {

// Characters outside the code page become '?'.
QByteArray Encode(QStringView text);
char EncodeChar(QChar c);
// The same into out, which has room for text.size() bytes; the bytes written.
qsizetype EncodeInto(QStringView text, char* out);

// Every byte maps to a character (0x98, unassigned, maps to U+0098).
QString Decode(QByteArrayView bytes);
QChar DecodeChar(char byte);
// The same characters appended to out as UTF-8, with no text object in between: a grid
// stores 100,000 rows of an answer this way.
void AppendUtf8(QByteArrayView bytes, std::string& out);

} // namespace Cp1251
