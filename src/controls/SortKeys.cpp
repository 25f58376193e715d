#include "SortKeys.h"

#include "shell/base/WorkstationLocale.h"

#include <QHash>
#include <algorithm>

#include <charconv>
#include <numeric>
#include <utility>

namespace {

QStringView Strip(QStringView text, const QString& prefix, const QString& suffix) {
    if (!prefix.isEmpty() && text.startsWith(prefix))
        text = text.mid(prefix.size());
    if (!suffix.isEmpty() && text.endsWith(suffix))
        text.chop(suffix.size());
    return text;
}

int Digits(QStringView text, qsizetype from, qsizetype count, bool& ok) {
    int value = 0;
    if (from + count > text.size()) {
        ok = false;
        return 0;
    }
    for (qsizetype i = from; i < from + count; ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            ok = false;
            return 0;
        }
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

} // namespace

bool ParseSortNumber(QStringView text, bool grouped, double& value) {
    const auto& locale = WorkstationLocale::Current();
    const QChar decimal = locale.decimalSeparator;
    const QChar thousand = locale.thousandSeparator;
    char buffer[64];
    int used = 0;
    bool digits = false;
    bool point = false;
    text = text.trimmed();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        char out = 0;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            out = static_cast<char>(c.unicode());
            digits = true;
        } else if (grouped && (c == thousand || c == QLatin1Char(' ') || c == QChar(0x00A0))) {
            continue;
        } else if ((c == decimal || c == QLatin1Char('.')) && !point) {
            out = '.';
            point = true;
        } else if ((c == QLatin1Char('-') || c == QLatin1Char('+')) && used == 0) {
            if (c == QLatin1Char('+'))
                continue;
            out = '-';
        } else if ((c == QLatin1Char('e') || c == QLatin1Char('E')) && digits) {
            out = 'e';
            point = true; // no separator after the exponent mark
        } else if ((c == QLatin1Char('-') || c == QLatin1Char('+')) && used > 0 &&
                   buffer[used - 1] == 'e') {
            out = static_cast<char>(c.unicode());
        } else {
            return false;
        }
        if (used >= static_cast<int>(sizeof buffer) - 1)
            return false;
        buffer[used++] = out;
    }
    if (!digits)
        return false;
    const auto result = std::from_chars(buffer, buffer + used, value);
    return result.ec == std::errc() && result.ptr == buffer + used;
}

bool ParseSortDate(QStringView text, double& value) {
    text = text.trimmed();
    if (text.size() < 10 || text[2] != QLatin1Char('.') || text[5] != QLatin1Char('.'))
        return false;
    bool ok = true;
    const int day = Digits(text, 0, 2, ok);
    const int month = Digits(text, 3, 2, ok);
    const int year = Digits(text, 6, 4, ok);
    if (!ok || day < 1 || day > 31 || month < 1 || month > 12)
        return false;
    int hour = 0, minute = 0, second = 0;
    if (text.size() > 10) {
        if (text[10] != QLatin1Char(' ') || text.size() < 16 || text[13] != QLatin1Char(':'))
            return false;
        hour = Digits(text, 11, 2, ok);
        minute = Digits(text, 14, 2, ok);
        if (text.size() > 16) {
            if (text.size() != 19 || text[16] != QLatin1Char(':'))
                return false;
            second = Digits(text, 17, 2, ok);
        }
        if (!ok)
            return false;
    }
    value = ((year * 100.0 + month) * 100.0 + day) * 1000000.0 + hour * 10000.0 + minute * 100.0 +
            second;
    return true;
}

QString StripMarkup(QStringView text) {
    static const std::pair<QLatin1StringView, QChar> kEntities[] = {
        {QLatin1StringView("&lt;"), QLatin1Char('<')},
        {QLatin1StringView("&gt;"), QLatin1Char('>')},
        {QLatin1StringView("&amp;"), QLatin1Char('&')},
        {QLatin1StringView("&quot;"), QLatin1Char('"')},
        {QLatin1StringView("&nbsp;"), QLatin1Char(' ')},
    };
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('<')) {
            const qsizetype close = text.indexOf(QLatin1Char('>'), i + 1);
            if (close < 0) { // an unclosed "<" is text
                plain += c;
                continue;
            }
            i = close;
            continue;
        }
        if (c == QLatin1Char('&')) {
            bool decoded = false;
            for (const auto& [name, ch] : kEntities) {
                if (text.mid(i).startsWith(name, Qt::CaseInsensitive)) {
                    plain += ch;
                    i += name.size() - 1;
                    decoded = true;
                    break;
                }
            }
            if (decoded)
                continue;
        }
        plain += c;
    }
    return plain;
}

bool HoldsMarkup(QStringView text) {
    const qsizetype open = text.indexOf(QLatin1Char('<'));
    return (open >= 0 && text.indexOf(QLatin1Char('>'), open + 1) > 0) ||
           text.contains(QLatin1Char('&'));
}

std::vector<int> SortOrder(const std::vector<QString>& texts, TSortStyle style,
                           const QString& prefix, const QString& suffix, bool ascending) {
    if (style == TSortStyle::Markup) {
        std::vector<QString> plain;
        plain.reserve(texts.size());
        for (const QString& text : texts)
            plain.push_back(StripMarkup(Strip(text, prefix, suffix)));
        return SortOrder(plain, TSortStyle::Alphabetic, QString(), QString(), ascending);
    }
    const int n = static_cast<int>(texts.size());
    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);

    // Rank classes keep the order total: empty texts first, then numbers (or dates),
    // then other texts, which compare ignoring case.
    std::vector<int> rank(static_cast<std::size_t>(n), 0);
    std::vector<double> number(static_cast<std::size_t>(n), 0.0);
    const bool wantsText = style == TSortStyle::Automatic || style == TSortStyle::Alphabetic;

    for (int i = 0; i < n; ++i) {
        const QStringView text = Strip(texts[i], prefix, suffix);
        double v = 0;
        switch (style) {
        case TSortStyle::Numeric:
        case TSortStyle::Financial:
            number[i] = ParseSortNumber(text, style == TSortStyle::Financial, v) ? v : 0.0;
            rank[i] = 1;
            break;
        case TSortStyle::Date:
            if (ParseSortDate(text, v)) {
                number[i] = v;
                rank[i] = 1;
            }
            break;
        case TSortStyle::Automatic:
            if (text.trimmed().isEmpty()) {
                rank[i] = 0;
            } else if (ParseSortNumber(text, false, v)) {
                number[i] = v;
                rank[i] = 1;
            } else {
                rank[i] = 2;
            }
            break;
        case TSortStyle::Alphabetic:
        case TSortStyle::Markup: // read as plain text above
            rank[i] = text.isEmpty() ? 0 : 2;
            break;
        }
    }

    // Texts become their place among the distinct texts, so the row sort compares
    // numbers only. Columns repeat a few texts over many rows, so the texts are
    // grouped first and only the distinct ones are folded and sorted.
    if (wantsText) {
        QHash<QStringView, int> distinct;
        std::vector<QStringView> keys;
        std::vector<int> textId(static_cast<std::size_t>(n), -1);
        for (int i = 0; i < n; ++i) {
            if (rank[i] != 2)
                continue;
            const QStringView text = Strip(texts[i], prefix, suffix);
            auto it = distinct.constFind(text);
            if (it == distinct.constEnd()) {
                it = distinct.insert(text, static_cast<int>(keys.size()));
                keys.push_back(text);
            }
            textId[i] = it.value();
        }
        std::vector<QString> foldedKeys(keys.size());
        for (std::size_t k = 0; k < keys.size(); ++k)
            foldedKeys[k] = keys[k].toString().toCaseFolded();
        std::vector<int> byText(keys.size());
        std::iota(byText.begin(), byText.end(), 0);
        std::sort(byText.begin(), byText.end(),
                  [&foldedKeys](int a, int b) { return foldedKeys[a] < foldedKeys[b]; });
        std::vector<int> place(keys.size());
        for (std::size_t p = 0; p < byText.size(); ++p) {
            const bool same = p > 0 && foldedKeys[byText[p]] == foldedKeys[byText[p - 1]];
            place[byText[p]] = same ? place[byText[p - 1]] : static_cast<int>(p);
        }
        for (int i = 0; i < n; ++i)
            if (rank[i] == 2)
                number[i] = place[textId[i]];
    }

    auto less = [&](int a, int b) {
        if (rank[a] != rank[b])
            return rank[a] < rank[b];
        return rank[a] != 0 && number[a] < number[b];
    };
    if (ascending)
        std::stable_sort(order.begin(), order.end(), less);
    else
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return less(b, a); });
    return order;
}
