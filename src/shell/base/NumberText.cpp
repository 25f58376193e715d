#include "NumberText.h"

#include "ConvertError.h"
#include "WorkstationLocale.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

QChar DecimalSep() {
    return WorkstationLocale::Current().decimalSeparator;
}

// A value as its decimal digits (without leading zeros) and the exponent of the
// first digit, rounded to `significant` digits: value = 0.d1d2d3... * 10^(exponent+1).
struct DecimalDigits {
    std::string digits; // "0" for zero
    int exponent = 0;   // power of ten of the first digit
    bool negative = false;
};

DecimalDigits ToDigits(double value, int significant) {
    DecimalDigits d;
    d.negative = std::signbit(value) && value != 0.0;
    if (value == 0.0) {
        d.digits.assign(1, '0');
        return d;
    }
    // Shortest-path scientific conversion: "d.ddddde[+-]xx", correctly rounded.
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                         std::chars_format::scientific, significant - 1);
    if (ec != std::errc()) {
        d.digits.assign(1, '0');
        return d;
    }
    const char* e = std::find(buf, end, 'e');
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), end, exponent);
    d.exponent = exponent;
    for (const char* p = buf; p < e; ++p)
        if (*p != '.')
            d.digits.push_back(*p);
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

// Rounds the digit string half away from zero so that no digit below 10^-decimals is left.
void RoundToDecimals(DecimalDigits& d, int decimals) {
    const int keep = d.exponent + 1 + decimals; // digits to keep
    if (keep >= static_cast<int>(d.digits.size()))
        return;
    if (keep < 0) {
        d.digits.assign(1, '0');
        d.exponent = 0;
        return;
    }
    const bool up = d.digits[keep] >= '5';
    d.digits.resize(keep);
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[i] == '9') {
            d.digits[i] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.digits[i];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exponent;
        }
    }
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty() || d.digits == "0") {
        d.digits.assign(1, '0');
        d.exponent = 0;
        d.negative = false;
    }
}

QString GroupDigits(const QString& integer, QChar separator) {
    QString out;
    out.reserve(integer.size() + integer.size() / 3);
    const qsizetype n = integer.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out.append(separator);
        out.append(integer[i]);
    }
    return out;
}

// Splits rounded digits into the integer and fraction digit texts.
void SplitDigits(const DecimalDigits& d, QString& integer, QString& fraction) {
    integer.clear();
    fraction.clear();
    if (d.digits == "0")
        return;
    const int intCount = d.exponent + 1;
    const QString all =
        QString::fromLatin1(d.digits.data(), static_cast<qsizetype>(d.digits.size()));
    if (intCount <= 0) {
        fraction = QString(-intCount, QLatin1Char('0')) + all;
    } else if (intCount >= all.size()) {
        integer = all + QString(intCount - all.size(), QLatin1Char('0'));
    } else {
        integer = all.left(intCount);
        fraction = all.mid(intCount);
    }
}

QString FormatFixed(double value, int decimals, bool grouped) {
    DecimalDigits d = ToDigits(value, 15);
    RoundToDecimals(d, decimals);
    QString integer, fraction;
    SplitDigits(d, integer, fraction);
    if (integer.isEmpty())
        integer = QStringLiteral("0");
    if (grouped)
        integer = GroupDigits(integer, WorkstationLocale::Current().thousandSeparator);
    fraction = fraction.leftJustified(decimals, QLatin1Char('0'), true);
    QString out = d.negative ? QStringLiteral("-") : QString();
    out += integer;
    if (decimals > 0)
        out += DecimalSep() + fraction;
    return out;
}

} // namespace

bool TryParseLocaleNumber(const QString& text, double& value) {
    const QString t = text.trimmed();
    const QChar sep = DecimalSep();
    std::string ascii;
    ascii.reserve(t.size());
    qsizetype i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        ascii.push_back(static_cast<char>(t[i++].unicode()));
    int mantissaDigits = 0;
    bool seenSep = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            ascii.push_back(static_cast<char>(c.unicode()));
            ++mantissaDigits;
        } else if (c == sep && !seenSep) {
            ascii.push_back('.');
            seenSep = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < t.size() && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        ascii.push_back('e');
        ++i;
        if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
            ascii.push_back(static_cast<char>(t[i++].unicode()));
        int expDigits = 0;
        for (; i < t.size() && t[i].unicode() >= '0' && t[i].unicode() <= '9'; ++i, ++expDigits)
            ascii.push_back(static_cast<char>(t[i].unicode()));
        if (expDigits == 0)
            return false;
    }
    if (i != t.size())
        return false;
    const char* begin = ascii.data();
    if (*begin == '+')
        ++begin;
    double parsed = 0;
    const auto [end, ec] = std::from_chars(begin, ascii.data() + ascii.size(), parsed);
    if (ec != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

QString FormatGeneralNumber(double value, QChar decimalSeparator) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    const DecimalDigits d = ToDigits(value, 15);
    if (d.digits == "0")
        return QStringLiteral("0");
    const QString sign = d.negative ? QStringLiteral("-") : QString();
    const QString all =
        QString::fromLatin1(d.digits.data(), static_cast<qsizetype>(d.digits.size()));
    if (d.exponent < -5 || d.exponent >= 15) {
        QString mantissa = all.left(1);
        if (all.size() > 1)
            mantissa += decimalSeparator + all.mid(1);
        return sign + mantissa + QLatin1Char('E') + QString::number(d.exponent);
    }
    QString integer, fraction;
    SplitDigits(d, integer, fraction);
    if (integer.isEmpty())
        integer = QStringLiteral("0");
    return fraction.isEmpty() ? sign + integer : sign + integer + decimalSeparator + fraction;
}

namespace {
void AppendSeparatorUtf8(QChar separator, std::string& out) {
    if (separator.unicode() < 0x80) {
        out.push_back(char(separator.unicode()));
        return;
    }
    const QByteArray utf8 = QString(separator).toUtf8();
    out.append(utf8.constData(), size_t(utf8.size()));
}
} // namespace

bool AppendPlainDecimalUtf8(QByteArrayView dotText, QChar decimalSeparator, std::string& out) {
    const char* p = dotText.data();
    const char* end = p + dotText.size();
    const bool negative = p < end && *p == '-';
    if (negative)
        ++p;
    const char* intBegin = p;
    while (p < end && *p >= '0' && *p <= '9')
        ++p;
    const char* intEnd = p;
    const char* fracBegin = p;
    const char* fracEnd = p;
    if (p < end && *p == '.') {
        fracBegin = ++p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        fracEnd = p;
    }
    // Digits on both sides of a point, as the server writes them; "1." and ".5" go the
    // long way.
    if (p != end || intBegin == intEnd || (fracBegin > intEnd && fracBegin == fracEnd))
        return false;
    while (intBegin < intEnd && *intBegin == '0')
        ++intBegin;
    while (fracEnd > fracBegin && fracEnd[-1] == '0')
        --fracEnd;
    if (intBegin == intEnd && fracBegin == fracEnd) {
        out.push_back('0'); // zero, "-0" too
        return true;
    }
    // Significant digits run from the first non-zero digit to the last one; up to 15 of
    // them are exactly what the general format gives back for the nearest double.
    qsizetype significant = 0;
    if (intBegin < intEnd) {
        if (intEnd - intBegin > 15) // 16 integer digits and more: the scientific form
            return false;
        const char* last = intEnd;
        if (fracBegin == fracEnd)
            while (last[-1] == '0')
                --last;
        significant = (last - intBegin) + (fracEnd - fracBegin);
    } else {
        const char* first = fracBegin;
        while (*first == '0')
            ++first;
        if (first - fracBegin >= 5) // below 0.00001: the scientific form
            return false;
        significant = fracEnd - first;
    }
    if (significant > 15)
        return false;
    if (negative)
        out.push_back('-');
    if (intBegin == intEnd)
        out.push_back('0');
    else
        out.append(intBegin, size_t(intEnd - intBegin));
    if (fracEnd > fracBegin) {
        AppendSeparatorUtf8(decimalSeparator, out);
        out.append(fracBegin, size_t(fracEnd - fracBegin));
    }
    return true;
}

void AppendGeneralNumberUtf8(double value, QChar decimalSeparator, std::string& out) {
    // The shortest text that reads back as the value has the digits the general format
    // rounds to whenever it has 15 significant digits or fewer.
    const double magnitude = std::fabs(value);
    if (std::isfinite(value) && magnitude < 1e15 && (magnitude >= 1e-5 || value == 0.0)) {
        char text[64];
        const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
        if (r.ec == std::errc() &&
            AppendPlainDecimalUtf8(QByteArrayView(text, r.ptr - text), decimalSeparator, out))
            return;
    }
    const QByteArray utf8 = FormatGeneralNumber(value, decimalSeparator).toUtf8();
    out.append(utf8.constData(), size_t(utf8.size()));
}

QString FormatNumberPattern(const QString& pattern, double value) {
    if (!std::isfinite(value)) // no digits to lay out: shown as the general format does
        return FormatGeneralNumber(value, DecimalSep());
    // Only the first section of "pos;neg;zero" patterns is used, with a minus sign.
    QString section = pattern.section(QLatin1Char(';'), 0, 0);
    QString prefix, suffix;
    int minInt = 0, minFrac = 0, maxFrac = 0;
    bool grouping = false, inFraction = false, seenDigit = false, percent = false;
    QChar quote;
    for (const QChar c : section) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                (seenDigit ? suffix : prefix).append(c);
            continue;
        }
        switch (c.unicode()) {
        case '"':
        case '\'':
            quote = c;
            break;
        case '0':
        case '#':
            if (!suffix.isEmpty()) { // digits after trailing literal text stay literal
                suffix.append(c);
                break;
            }
            seenDigit = true;
            if (inFraction) {
                ++maxFrac;
                if (c == QLatin1Char('0'))
                    minFrac = maxFrac;
            } else if (c == QLatin1Char('0')) {
                ++minInt;
            }
            break;
        case ',':
            if (!inFraction)
                grouping = true;
            break;
        case '.':
            if (!inFraction && suffix.isEmpty())
                inFraction = true;
            else
                (seenDigit ? suffix : prefix).append(c);
            break;
        case '%':
            percent = true;
            [[fallthrough]];
        default:
            (seenDigit ? suffix : prefix).append(c);
        }
    }
    if (percent)
        value *= 100.0;
    DecimalDigits d = ToDigits(value, 15);
    RoundToDecimals(d, maxFrac);
    QString integer, fraction;
    SplitDigits(d, integer, fraction);
    while (fraction.size() > minFrac && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (fraction.size() < minFrac)
        fraction = fraction.leftJustified(minFrac, QLatin1Char('0'));
    if (integer.size() < minInt)
        integer = QString(minInt - integer.size(), QLatin1Char('0')) + integer;
    if (grouping)
        integer = GroupDigits(integer, WorkstationLocale::Current().thousandSeparator);
    QString out = d.negative ? QStringLiteral("-") : QString();
    out += prefix + integer;
    if (!fraction.isEmpty())
        out += DecimalSep() + fraction;
    return out + suffix;
}

QString FormatNumberPrintf(const QString& format, double value) {
    if (!std::isfinite(value))
        return FormatGeneralNumber(value, DecimalSep());
    // "%.Nf" fixed, "%.Nn" grouped; N defaults to 2 as in the classic printf of money.
    int decimals = 2;
    const qsizetype dot = format.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        qsizetype i = dot + 1;
        int n = 0;
        bool any = false;
        while (i < format.size() && format[i].isDigit()) {
            n = std::min(n * 10 + format[i].digitValue(), 20); // a double has no more
            any = true;
            ++i;
        }
        if (any)
            decimals = n;
    }
    const bool grouped = format.endsWith(QLatin1Char('n'));
    return FormatFixed(value, decimals, grouped);
}

double DotTextToFloat(const QString& text) {
    QString local = text;
    if (DecimalSep() != QLatin1Char('.'))
        local.replace(QLatin1Char('.'), DecimalSep());
    double value = 0;
    if (!TryParseLocaleNumber(local, value))
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

QString LocalToDotText(const QString& text) {
    QString out = text;
    if (DecimalSep() != QLatin1Char('.'))
        out.replace(DecimalSep(), QLatin1Char('.'));
    return out;
}

QString FloatToDotText(double value) {
    return FormatGeneralNumber(value, QLatin1Char('.'));
}

QString FormatDotNumber(const QString& pattern, const QString& text) {
    QString local = text;
    local.replace(QLatin1Char('.'), DecimalSep());
    double value = 0;
    if (!TryParseLocaleNumber(local, value))
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return FormatNumberPattern(pattern, value);
}

QString NormalizeNumberText(const QString& text) {
    QString t = text;
    const QChar sep = DecimalSep();
    if (sep != QLatin1Char('.')) {
        const qsizetype i = t.indexOf(QLatin1Char('.'));
        if (i >= 0)
            t[i] = sep;
    }
    if (sep != QLatin1Char(',')) {
        const qsizetype i = t.indexOf(QLatin1Char(','));
        if (i >= 0)
            t[i] = sep;
    }
    double value = 0;
    if (!TryParseLocaleNumber(t, value))
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    const qsizetype comma = t.indexOf(QLatin1Char(','));
    if (comma >= 0)
        t[comma] = QLatin1Char('.');
    return t;
}

double ParseGroupedNumber(const QString& text, double defaultValue) {
    QString t = text;
    t.remove(WorkstationLocale::Current().thousandSeparator);
    double value = 0;
    return TryParseLocaleNumber(t, value) ? value : defaultValue;
}

bool IsWordChar(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 48 && b <= 57) || (b >= 65 && b <= 122) || b == 168 || b == 184 || b >= 192;
}

int ReverseStyleBits(int styles) {
    int out = 0;
    for (int bit = 0; bit < 4; ++bit)
        if (styles & (1 << bit))
            out |= 1 << (3 - bit);
    return out;
}
