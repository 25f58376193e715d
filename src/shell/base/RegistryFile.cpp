#include "RegistryFile.h"

#include <QStringDecoder>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

namespace {

// A reader of the settings file's JSON that fills the keys as it goes, without a
// document tree in between: a key with hundreds of thousands of values costs one
// pass over the text.
class Reader {
public:
    explicit Reader(QByteArrayView text) : p_(text.data()), end_(text.data() + text.size()) {}

    bool ReadFile(std::vector<TRegistryFileKey>& keys) {
        bool sawKeys = false;
        const bool ok = ReadObject([&](QByteArrayView member) {
            if (member != QByteArrayView("keys"))
                return SkipValue(0);
            sawKeys = true;
            return ReadArray([&] { return ReadKey(keys); });
        });
        if (!ok)
            return false;
        SkipSpace();
        if (p_ != end_)
            return Fail(QStringLiteral("text after the end of the document"));
        if (!sawKeys)
            return Fail(QStringLiteral("no list of keys"));
        return true;
    }

    const QString& Fault() const { return fault_; }

private:
    static constexpr int kDeepest = 256; // nesting of ignored members

    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    static int HexDigit(char u) {
        return u >= '0' && u <= '9'   ? u - '0'
               : u >= 'a' && u <= 'f' ? u - 'a' + 10
               : u >= 'A' && u <= 'F' ? u - 'A' + 10
                                      : -1;
    }

    bool Fail(const QString& why) {
        if (fault_.isEmpty())
            fault_ = why + QStringLiteral(" at character ") + QString::number(offset());
        return false;
    }
    qsizetype offset() const { return p_ - begin_; }

    void SkipSpace() {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t'))
            ++p_;
    }
    bool Expect(char c) {
        SkipSpace();
        if (p_ == end_ || *p_ != c)
            return Fail(QStringLiteral("\"%1\" expected").arg(QLatin1Char(c)));
        ++p_;
        return true;
    }
    bool Peek(char c) {
        SkipSpace();
        return p_ != end_ && *p_ == c;
    }

    // "{" member ":" value, ... "}"; onMember reads the value of each member.
    template <class F> bool ReadObject(F&& onMember) {
        if (!Expect('{'))
            return false;
        if (Peek('}')) {
            ++p_;
            return true;
        }
        for (;;) {
            QByteArrayView name;
            if (!ReadName(name) || !Expect(':') || !onMember(name))
                return false;
            if (Peek(',')) {
                ++p_;
                continue;
            }
            return Expect('}');
        }
    }

    template <class F> bool ReadArray(F&& onItem) {
        if (!Expect('['))
            return false;
        if (Peek(']')) {
            ++p_;
            return true;
        }
        for (;;) {
            if (!onItem())
                return false;
            if (Peek(',')) {
                ++p_;
                continue;
            }
            return Expect(']');
        }
    }

    // A member name, as a view of the text when it holds no escape (the usual case).
    bool ReadName(QByteArrayView& out) {
        if (!Expect('"'))
            return false;
        const char* start = p_;
        while (p_ != end_ && *p_ != '"' && *p_ != '\\' && uchar(*p_) >= 0x20)
            ++p_;
        if (p_ != end_ && *p_ == '"') {
            out = QByteArrayView(start, p_ - start);
            ++p_;
            return true;
        }
        p_ = start - 1;
        QString name;
        if (!ReadString(name))
            return false;
        escapedName_ = name.toUtf8();
        out = escapedName_;
        return true;
    }

    // UTF-8 bytes as text; false for bytes that are not UTF-8.
    bool AppendUtf8(QString& out, const char* from, const char* to) {
        bool ascii = true;
        for (const char* q = from; q != to && ascii; ++q)
            ascii = uchar(*q) < 0x80;
        if (ascii) {
            out += QLatin1StringView(from, to - from);
            return true;
        }
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        out += utf8.decode(QByteArrayView(from, to - from));
        return !utf8.hasError() || Fail(QStringLiteral("text that is not UTF-8"));
    }

    bool ReadString(QString& out) {
        out.clear();
        if (!Expect('"'))
            return false;
        const char* run = p_; // start of the bytes not yet appended
        while (p_ != end_) {
            const char c = *p_;
            if (c == '"') {
                if (!AppendUtf8(out, run, p_))
                    return false;
                ++p_;
                return true;
            }
            if (uchar(c) < 0x20)
                return Fail(QStringLiteral("a control character in a string"));
            if (c != '\\') {
                ++p_;
                continue;
            }
            if (!AppendUtf8(out, run, p_))
                return false;
            if (++p_ == end_)
                break;
            switch (*p_++) {
            case '"':
                out += u'"';
                break;
            case '\\':
                out += u'\\';
                break;
            case '/':
                out += u'/';
                break;
            case 'b':
                out += u'\b';
                break;
            case 'f':
                out += u'\f';
                break;
            case 'n':
                out += u'\n';
                break;
            case 'r':
                out += u'\r';
                break;
            case 't':
                out += u'\t';
                break;
            case 'u': {
                if (end_ - p_ < 4)
                    return Fail(QStringLiteral("a short \\u escape"));
                char16_t unit = 0;
                for (int i = 0; i < 4; ++i) {
                    const int digit = HexDigit(p_[i]);
                    if (digit < 0)
                        return Fail(QStringLiteral("a bad \\u escape"));
                    unit = char16_t(unit * 16 + digit);
                }
                p_ += 4;
                out += QChar(unit);
                break;
            }
            default:
                return Fail(QStringLiteral("an unknown escape"));
            }
            run = p_;
        }
        return Fail(QStringLiteral("an unterminated string"));
    }

    std::optional<double> ReadNumber() {
        SkipSpace();
        char digits[64] = {};
        int n = 0;
        while (p_ != end_ && n < int(sizeof digits) &&
               (IsDigit(*p_) || *p_ == '-' || *p_ == '+' || *p_ == '.' || *p_ == 'e' || *p_ == 'E'))
            digits[n++] = *p_++;
        double value = 0;
        const auto [rest, error] = std::from_chars(digits, digits + n, value);
        if (n == 0 || error != std::errc() || rest != digits + n || digits[0] == '+') {
            Fail(QStringLiteral("a bad number"));
            return std::nullopt;
        }
        return value;
    }

    bool ReadWord(QLatin1StringView word) {
        SkipSpace();
        if (end_ - p_ < word.size() || QByteArrayView(p_, word.size()) != QByteArrayView(word))
            return Fail(QStringLiteral("a bad value"));
        p_ += word.size();
        return true;
    }

    bool SkipValue(int depth) {
        if (depth > kDeepest)
            return Fail(QStringLiteral("nesting too deep"));
        SkipSpace();
        if (p_ == end_)
            return Fail(QStringLiteral("a value expected"));
        switch (*p_) {
        case '{':
            return ReadObject([&](QByteArrayView) { return SkipValue(depth + 1); });
        case '[':
            return ReadArray([&] { return SkipValue(depth + 1); });
        case '"': {
            QString ignored;
            return ReadString(ignored);
        }
        case 't':
            return ReadWord(QLatin1StringView("true"));
        case 'f':
            return ReadWord(QLatin1StringView("false"));
        case 'n':
            return ReadWord(QLatin1StringView("null"));
        default:
            return ReadNumber().has_value();
        }
    }

    bool ReadKey(std::vector<TRegistryFileKey>& keys) {
        TRegistryFileKey key;
        bool sawPath = false;
        bool sawValues = false;
        if (!Peek('{'))
            return Fail(QStringLiteral("a key that is not an object"));
        const bool ok = ReadObject([&](QByteArrayView member) {
            if (member == QByteArrayView("path")) {
                sawPath = true;
                return Peek('"') ? ReadString(key.path)
                                 : Fail(QStringLiteral("a key path that is not text"));
            }
            if (member == QByteArrayView("values")) {
                sawValues = true;
                key.values.clear();
                if (!Peek('['))
                    return Fail(QStringLiteral("values that are not a list"));
                return ReadArray([&] { return ReadValue(key); });
            }
            return SkipValue(0);
        });
        if (!ok)
            return false;
        if (!sawPath || !sawValues)
            return Fail(QStringLiteral("a key without path or values"));
        keys.push_back(std::move(key));
        return true;
    }

    bool ReadValue(TRegistryFileKey& key) {
        enum class Type { Unknown, String, Integer, Binary };
        QString name, text;
        Type type = Type::Unknown;
        std::optional<double> number;
        bool sawName = false, sawType = false, sawValue = false;
        if (!Peek('{'))
            return Fail(QStringLiteral("a value that is not an object"));
        const bool ok = ReadObject([&](QByteArrayView member) {
            if (member == QByteArrayView("name")) {
                sawName = true;
                return Peek('"') ? ReadString(name)
                                 : Fail(QStringLiteral("a value name that is not text"));
            }
            if (member == QByteArrayView("type")) {
                sawType = true;
                QByteArrayView typeName;
                if (!Peek('"') || !ReadName(typeName))
                    return Fail(QStringLiteral("a value type that is not text"));
                type = typeName == QByteArrayView("string")    ? Type::String
                       : typeName == QByteArrayView("integer") ? Type::Integer
                       : typeName == QByteArrayView("binary")  ? Type::Binary
                                                               : Type::Unknown;
                return true;
            }
            if (member == QByteArrayView("value")) {
                sawValue = true;
                number.reset();
                if (Peek('"'))
                    return ReadString(text);
                if (Peek('-') || (p_ != end_ && IsDigit(*p_))) {
                    number = ReadNumber();
                    return number.has_value();
                }
                return SkipValue(0); // of no type: refused below
            }
            return SkipValue(0);
        });
        if (!ok)
            return false;
        QVariant value;
        if (sawValue && type == Type::String && !number) {
            value = text;
        } else if (sawValue && type == Type::Integer && number) {
            const double d = *number;
            if (d >= INT32_MIN && d <= INT32_MAX && d == std::floor(d))
                value = qint32(d);
        } else if (sawValue && type == Type::Binary && !number) {
            auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(),
                                                          QByteArray::AbortOnBase64DecodingErrors);
            if (decoded)
                value = *decoded;
        }
        if (!sawName || !sawType || !value.isValid())
            return Fail(QStringLiteral("a value of the wrong form in ") + key.path);
        key.values.push_back({std::move(name), std::move(value)});
        return true;
    }

    const char* p_;
    const char* end_;
    const char* begin_ = p_;
    QString fault_;
    QByteArray escapedName_; // the last member name that held escapes
};

} // namespace

bool ReadRegistryFile(QByteArrayView text, std::vector<TRegistryFileKey>& keys, QString& fault) {
    Reader reader(text);
    std::vector<TRegistryFileKey> read;
    if (!reader.ReadFile(read)) {
        fault = reader.Fault();
        return false;
    }
    keys = std::move(read);
    return true;
}
