#include "grids/fill/CommaText.h"

namespace {

bool NeedsQuotes(const QString& item) {
    if (item.isEmpty())
        return true;
    for (QChar c : item) {
        if (c == QLatin1Char(' ') || c == QLatin1Char(',') || c == QLatin1Char('"') ||
            c.unicode() < 0x20)
            return true;
    }
    return false;
}

} // namespace

QString ToCommaText(const QStringList& items) {
    QString text;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += QLatin1Char(',');
        const QString& item = items[i];
        if (NeedsQuotes(item)) {
            QString quoted = item;
            quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            text += QLatin1Char('"') + quoted + QLatin1Char('"');
        } else {
            text += item;
        }
    }
    return text;
}

QStringList FromCommaText(const QString& text) {
    QStringList items;
    if (text.trimmed().isEmpty())
        return items;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (true) {
        while (i < n && text[i] == QLatin1Char(' '))
            ++i;
        QString item;
        if (i < n && text[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
            while (i < n && text[i] != QLatin1Char(','))
                ++i; // anything after the closing quote up to the comma is dropped
        } else {
            const qsizetype start = i;
            while (i < n && text[i] != QLatin1Char(','))
                ++i;
            item = text.mid(start, i - start).trimmed();
        }
        items.append(item);
        if (i >= n)
            break;
        ++i; // the comma
    }
    return items;
}

QString ToLinesText(const QStringList& items) {
    return items.join(QStringLiteral("\r\n"));
}

QStringList FromLinesText(const QString& text) {
    QStringList lines;
    if (text.isEmpty())
        return lines;
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lines = normalized.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast(); // a final line break ends the last line, it adds none
    return lines;
}
