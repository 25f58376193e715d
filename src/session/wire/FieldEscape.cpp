#include "FieldEscape.h"

#include <algorithm>

namespace wire {

QString EscapeFieldText(const QString& text) {
    const auto needsEscape = [](QChar c) { return c.unicode() == 0 || c.unicode() == 3; };
    if (std::none_of(text.begin(), text.end(), needsEscape))
        return text;
    QString out;
    out.reserve(text.size() + 4);
    for (const QChar c : text) {
        if (needsEscape(c)) {
            out += QChar(char16_t(kFieldEscape));
            out += QChar(char16_t(c.unicode() + kFieldEscapeOffset));
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray EscapeFieldBytes(QByteArrayView bytes) {
    QByteArray out;
    out.reserve(bytes.size() + 4);
    ForEachEscapedByte(bytes, [&out](char b) { out += b; });
    return out;
}

QByteArray UnescapeField(QByteArrayView raw) {
    if (!raw.contains(kFieldEscape))
        return raw.toByteArray();
    QByteArray out;
    out.reserve(raw.size());
    const qsizetype n = raw.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = raw[i];
        if (c == kFieldEscape && i + 1 < n) {
            out.append(char(quint8(quint8(raw[i + 1]) - kFieldEscapeOffset)));
            ++i;
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace wire
