#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The escape of answer fields read by name: a row ends every field with NUL, so a
// NUL inside a field travels as byte 3 followed by the byte + 48 (mod 256), and so
// does byte 3 itself. Both ends escape and unescape through here.
namespace wire {

constexpr char kFieldEscape = '\x03';

// Text fields: NUL and U+0003 become the escape pair, every other character stays.
QString EscapeFieldText(QStringView text);
// Binary fields (raw little-endian numbers): NUL, 3 and 0x98, the byte the
// workstation's code page leaves unassigned, become the escape pair.
QByteArray EscapeFieldBytes(QByteArrayView bytes);
// The reverse of both: an escape pair gives its byte; an escape as the last byte stays.
QByteArray UnescapeField(QByteArrayView raw);

} // namespace wire
