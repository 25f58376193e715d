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
constexpr int kFieldEscapeOffset = 48; // the escaped byte travels as byte + 48

// Text fields: NUL and U+0003 become the escape pair, every other character stays
// (a text without either comes back shared, not copied).
QString EscapeFieldText(const QString& text);
// Binary fields (raw little-endian numbers): NUL, 3 and 0x98, the byte the
// workstation's code page leaves unassigned, become the escape pair.
QByteArray EscapeFieldBytes(QByteArrayView bytes);
// The same, handing each byte of the escaped form to `put` (no buffer of its own).
template <class Put> void ForEachEscapedByte(QByteArrayView bytes, Put&& put) {
    for (const char c : bytes) {
        const auto b = quint8(c);
        if (b == 0 || b == 3 || b == 0x98) {
            put(kFieldEscape);
            put(char(quint8(b + kFieldEscapeOffset)));
        } else {
            put(c);
        }
    }
}
// The reverse of both: an escape pair gives its byte; an escape as the last byte stays.
QByteArray UnescapeField(QByteArrayView raw);

} // namespace wire
