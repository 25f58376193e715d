#include "desktops/DesktopText.h"

#include "session/wire/Cp1251.h"

namespace DesktopText {

namespace {

const char kHexDigits[] = "0123456789abcdef";

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

template <typename Text> QByteArray UnscrambleChars(const Text& hex, QByteArrayView key) {
    const qsizetype n = hex.size() / 2;
    QByteArray out(n, Qt::Uninitialized);
    const qsizetype keyLength = key.size();
    for (qsizetype i = 0; i < n; ++i) {
        const int high = HexValue(char16_t(uchar(hex[2 * i])));
        const int low = HexValue(char16_t(uchar(hex[2 * i + 1])));
        uchar byte = high < 0 || low < 0 ? uchar(32) : uchar(high * 16 + low);
        if (keyLength > 0)
            byte ^= uchar(key[i % keyLength]);
        out[i] = char(byte);
    }
    return out;
}

void AppendLine(QByteArray& text, QByteArrayView line) {
    text += line;
    text += "\r\n";
}

} // namespace

QByteArray Scramble(QByteArrayView text, QByteArrayView key) {
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    const qsizetype keyLength = key.size();
    char* o = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        uchar byte = uchar(text[i]);
        if (keyLength > 0)
            byte ^= uchar(key[i % keyLength]);
        *o++ = kHexDigits[byte >> 4];
        *o++ = kHexDigits[byte & 15];
    }
    return out;
}

QByteArray Unscramble(QStringView hex, QByteArrayView key) {
    // A character outside Latin-1 is no hexadecimal digit; the cast keeps it so.
    struct Chars {
        QStringView text;
        qsizetype size() const { return text.size(); }
        uchar operator[](qsizetype i) const {
            const char16_t c = text[i].unicode();
            return c < 0x80 ? uchar(c) : uchar('?');
        }
    };
    return UnscrambleChars(Chars{hex}, key);
}

QByteArray Unscramble(QByteArrayView hex, QByteArrayView key) {
    return UnscrambleChars(hex, key);
}

QByteArray Build(const std::vector<TWindowBlock>& windows) {
    QByteArray text;
    AppendLine(text, "_version=2");
    for (const TWindowBlock& w : windows) {
        AppendLine(text, "_class=" + Cp1251::Encode(w.ClassName));
        for (const auto& [name, value] : w.Properties)
            AppendLine(text,
                       Cp1251::Encode(name) + '=' + Scramble(Cp1251::Encode(value), InnerKey()));
        AppendLine(text, QByteArrayView());
    }
    return text;
}

QString BuildStored(const std::vector<TWindowBlock>& windows) {
    return QString::fromLatin1(Scramble(Build(windows), OuterKey()));
}

TParsed ParseText(QByteArrayView text) {
    TParsed parsed;
    qsizetype at = 0;
    bool first = true;
    while (at < text.size()) {
        // Lines end with CR LF; a lone CR or LF ends one as well.
        qsizetype end = at;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const QByteArrayView line = text.sliced(at, end - at);
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            at = end + 2;
        else
            at = end < text.size() ? end + 1 : end;

        if (first) {
            first = false;
            parsed.VersionOk = line == QByteArrayView("_version=2");
            if (!parsed.VersionOk)
                return parsed;
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        const QByteArrayView name = eq < 0 ? QByteArrayView() : line.first(eq);
        if (name.isEmpty())
            continue;
        const QByteArrayView value = line.sliced(eq + 1);
        TStep step;
        if (name == QByteArrayView("_class")) {
            step.What = TStep::Kind::Class;
            step.Name = Cp1251::Decode(value);
        } else {
            step.What = TStep::Kind::Property;
            step.Name = Cp1251::Decode(name);
            step.Value = Cp1251::Decode(Unscramble(value, InnerKey()));
        }
        parsed.Steps.push_back(std::move(step));
    }
    return parsed;
}

TParsed ParseStored(QStringView stored) {
    return ParseText(Unscramble(stored, OuterKey()));
}

} // namespace DesktopText
