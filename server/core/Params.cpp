#include "server/core/Params.h"

#include "server/core/RequestNumbers.h"

bool ParamList::Has(const QString& key) const {
    for (const auto& [k, v] : items_)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString ParamList::Value(const QString& key) const {
    for (const auto& [k, v] : items_)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

std::optional<qint64> ParamList::Int(const QString& key) const {
    if (!Has(key))
        return std::nullopt;
    return RequestNumbers::Parse(Value(key), RequestNumbers::Kind::Id);
}

void ParamList::Set(const QString& key, const QString& value) {
    for (auto& [k, v] : items_) {
        if (k.compare(key, Qt::CaseInsensitive) == 0) {
            v = value;
            return;
        }
    }
    items_.append({key, value});
}

QString ParamList::Describe() const {
    QStringList parts;
    for (const auto& [k, v] : items_) {
        QString shown = v.left(200);
        shown.replace(QChar(u'\0'), QLatin1Char(' '));
        parts << k + QLatin1Char('=') + shown;
    }
    return parts.join(QLatin1Char(' '));
}

ParsedParams ParseParams(const QString& text, ParamForm form) {
    ParsedParams result;
    QStringList pieces = text.split(QChar(u'\0'));
    // The terminating NUL of the last piece leaves one empty piece behind.
    if (!pieces.isEmpty() && pieces.last().isEmpty())
        pieces.removeLast();
    if (form == ParamForm::Guess) {
        form = (!pieces.isEmpty() && !pieces.first().contains(QLatin1Char('=')))
                   ? ParamForm::Alternating
                   : ParamForm::Pair;
    }
    if (form == ParamForm::Pair) {
        for (const QString& piece : pieces) {
            if (piece.isEmpty())
                continue;
            const qsizetype eq = piece.indexOf(QLatin1Char('='));
            if (eq <= 0) {
                result.ok = false;
                result.error =
                    QStringLiteral("piece without key=value: \"%1\"").arg(piece.left(80));
                return result;
            }
            result.params.Add(piece.left(eq), piece.mid(eq + 1));
        }
        return result;
    }
    if (pieces.size() % 2 != 0) {
        result.ok = false;
        result.error =
            QStringLiteral("odd number of pieces (%1) in alternating form").arg(pieces.size());
        return result;
    }
    for (qsizetype i = 0; i < pieces.size(); i += 2) {
        if (pieces[i].isEmpty()) {
            result.ok = false;
            result.error = QStringLiteral("empty key in alternating form");
            return result;
        }
        result.params.Add(pieces[i], pieces[i + 1]);
    }
    return result;
}

QStringList ParseCommaText(const QString& text, bool* ok) {
    QStringList items;
    if (ok)
        *ok = true;
    if (text.isEmpty())
        return items;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (true) {
        QString item;
        if (i < n && text[i] == QLatin1Char('"')) {
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                item += text[i++];
            }
            if (!closed && ok)
                *ok = false;
            // Anything up to the next comma after a closing quote belongs to the item.
            while (i < n && text[i] != QLatin1Char(','))
                item += text[i++];
        } else {
            while (i < n && text[i] != QLatin1Char(','))
                item += text[i++];
        }
        items << item;
        if (i >= n)
            break;
        ++i; // the comma
        if (i >= n) {
            items << QString();
            break;
        }
    }
    return items;
}

std::optional<QList<qint64>> ParseIdList(const QString& text) {
    bool ok = true;
    const QStringList items = ParseCommaText(text, &ok);
    if (!ok)
        return std::nullopt;
    QList<qint64> ids;
    ids.reserve(items.size());
    for (const QString& item : items) {
        const auto v = RequestNumbers::Parse(item, RequestNumbers::Kind::Id);
        if (!v)
            return std::nullopt;
        ids << *v;
    }
    return ids;
}
