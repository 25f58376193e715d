#include "server/core/FilterExpr.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QRegularExpression>

namespace {

class FilterParser {
public:
    explicit FilterParser(const QString& text) : s_(text) {}

    ParsedFilter Run() {
        ParsedFilter out;
        StripGroupBy(out);
        while (true) {
            SkipBlanks();
            if (AtEnd())
                break;
            if (!Keyword(QStringLiteral("AND")))
                return Fail(out, QStringLiteral("\"AND\" expected"));
            SkipBlanks();
            FilterClause clause;
            if (Peek() == QLatin1Char('(')) {
                ++pos_;
                while (true) {
                    SkipBlanks();
                    FilterComparison cmp;
                    if (!Comparison(cmp))
                        return Fail(out, error_);
                    clause << cmp;
                    SkipBlanks();
                    if (Peek() == QLatin1Char(')')) {
                        ++pos_;
                        break;
                    }
                    if (!Keyword(QStringLiteral("OR")))
                        return Fail(out, QStringLiteral("\"OR\" or \")\" expected"));
                }
            } else {
                FilterComparison cmp;
                if (!Comparison(cmp))
                    return Fail(out, error_);
                clause << cmp;
            }
            out.clauses << clause;
        }
        return out;
    }

private:
    void StripGroupBy(ParsedFilter& out) {
        static const QRegularExpression groupBy(
            QStringLiteral("\\s+group\\s+by\\s+ID_BUM\\s*,\\s*INSTR\\s*$"),
            QRegularExpression::CaseInsensitiveOption);
        const auto m = groupBy.match(s_);
        if (m.hasMatch()) {
            out.groupByInstrument = true;
            s_.truncate(m.capturedStart());
        }
    }

    ParsedFilter Fail(ParsedFilter& out, const QString& why) {
        out.ok = false;
        out.clauses.clear();
        out.error = QStringLiteral("%1 at position %2").arg(why).arg(pos_);
        return out;
    }

    bool AtEnd() const { return pos_ >= s_.size(); }
    QChar Peek() const { return AtEnd() ? QChar() : s_[pos_]; }
    void SkipBlanks() {
        while (!AtEnd() && (s_[pos_] == QLatin1Char(' ') || s_[pos_] == QLatin1Char('\t') ||
                            s_[pos_] == QLatin1Char('\r') || s_[pos_] == QLatin1Char('\n')))
            ++pos_;
    }

    // A keyword followed by a blank or "(".
    bool Keyword(const QString& word) {
        if (s_.mid(pos_, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        const qsizetype after = pos_ + word.size();
        if (after < s_.size() && s_[after] != QLatin1Char(' ') && s_[after] != QLatin1Char('('))
            return false;
        pos_ = after;
        return true;
    }

    static bool IsIdentStart(QChar c) {
        return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
               (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c == QLatin1Char('_');
    }
    static bool IsIdentChar(QChar c) {
        return IsIdentStart(c) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
    }

    bool Comparison(FilterComparison& cmp) {
        const qsizetype start = pos_;
        if (!IsIdentStart(Peek())) {
            error_ = QStringLiteral("column name expected");
            return false;
        }
        while (!AtEnd() && IsIdentChar(s_[pos_]))
            ++pos_;
        cmp.ident = s_.mid(start, pos_ - start);
        SkipBlanks();
        if (s_.mid(pos_, 2) == QLatin1String("<>")) {
            cmp.op = QStringLiteral("<>");
            pos_ += 2;
        } else if (Peek() == QLatin1Char('=') || Peek() == QLatin1Char('<') ||
                   Peek() == QLatin1Char('>')) {
            cmp.op = Peek();
            ++pos_;
        } else {
            error_ = QStringLiteral("comparison expected after %1").arg(cmp.ident);
            return false;
        }
        SkipBlanks();
        if (Peek() == QLatin1Char('\'')) {
            // Quoted text; a doubled quote inside it stands for one quote (board codes
            // may hold quotes, and the filter dialog doubles them).
            cmp.isText = true;
            qsizetype i = pos_ + 1;
            while (true) {
                const qsizetype quote = s_.indexOf(QLatin1Char('\''), i);
                if (quote < 0) {
                    error_ = QStringLiteral("unterminated quoted text");
                    return false;
                }
                cmp.text += QStringView(s_).mid(i, quote - i);
                if (quote + 1 < s_.size() && s_[quote + 1] == QLatin1Char('\'')) {
                    cmp.text += QLatin1Char('\'');
                    i = quote + 2;
                    continue;
                }
                pos_ = quote + 1;
                return true;
            }
        }
        const qsizetype numStart = pos_;
        if (Peek() == QLatin1Char('-'))
            ++pos_;
        while (!AtEnd() && s_[pos_].isDigit() && s_[pos_].unicode() < 128)
            ++pos_;
        bool ok = false;
        cmp.number = s_.mid(numStart, pos_ - numStart).toLongLong(&ok);
        if (!ok) {
            error_ =
                QStringLiteral("number or quoted text expected after %1%2").arg(cmp.ident, cmp.op);
            return false;
        }
        return true;
    }

    QString s_;
    qsizetype pos_ = 0;
    QString error_;
};

} // namespace

ParsedFilter ParseFilter(const QString& text) {
    return FilterParser(text).Run();
}

QString JsonArray(const QList<qint64>& values) {
    // Written digit by digit: a JSON number read as a double would lose ids beyond 2^53.
    QString out;
    out.reserve(values.size() * 8 + 2);
    out += QLatin1Char('[');
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += QString::number(values[i]);
    }
    out += QLatin1Char(']');
    return out;
}

QString JsonArray(const QStringList& values) {
    QJsonArray a;
    for (const QString& v : values)
        a.append(v);
    return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Compact));
}

namespace {

// Terms joined with op as a balanced tree of parentheses: a chain of thousands of terms
// nests about log2(n) deep instead of n, well within SQLite's expression depth limit.
// The terms keep their order, and with it the order of their bound values.
QString JoinBalanced(const QStringList& terms, qsizetype from, qsizetype to, const QString& op) {
    if (to - from == 1)
        return terms[from];
    const qsizetype mid = from + (to - from) / 2;
    return QLatin1Char('(') + JoinBalanced(terms, from, mid, op) + op +
           JoinBalanced(terms, mid, to, op) + QLatin1Char(')');
}

QString JoinBalanced(const QStringList& terms, const QString& op) {
    return terms.isEmpty() ? QString() : JoinBalanced(terms, 0, terms.size(), op);
}

// Values compared with one column, gathered: one value is a plain comparison, several
// one membership test over a single bound JSON array.
template <typename Values>
void AddGathered(const QMap<int, Values>& byColumn, const QList<FilterColumn>& allowed,
                 bool negated, QStringList& terms, QVariantList& binds) {
    for (auto it = byColumn.cbegin(); it != byColumn.cend(); ++it) {
        const QString& column = allowed[it.key()].sql;
        if (it.value().size() == 1) {
            terms << column + (negated ? QStringLiteral(" <> ?") : QStringLiteral(" = ?"));
            binds << it.value().first();
        } else {
            terms << column + (negated ? QStringLiteral(" NOT IN") : QStringLiteral(" IN")) +
                         QStringLiteral(" (SELECT value FROM json_each(?))");
            binds << JsonArray(it.value());
        }
    }
}

} // namespace

FilterSql FilterToSql(const ParsedFilter& filter, const QList<FilterColumn>& allowed) {
    FilterSql out;
    if (!filter.ok) {
        out.ok = false;
        out.error = filter.error;
        return out;
    }
    const auto fail = [&](const QString& why) {
        out.ok = false;
        out.error = why;
        out.where.clear();
        out.binds.clear();
        return out;
    };
    // Clauses joined by AND; a clause that is a single "<>" joins the others of its column
    // in one NOT IN (a dealer excluding thousands of accounts one by one).
    QStringList clauses;
    QVariantList clauseBinds;
    QMap<int, QList<qint64>> excludedNumbers;
    for (const FilterClause& clause : filter.clauses) {
        // Equality terms per column first, gathered; other comparisons one by one.
        QMap<int, QList<qint64>> numbers;
        QMap<int, QStringList> texts;
        QStringList terms;
        QVariantList binds;
        for (const FilterComparison& cmp : clause) {
            int col = -1;
            for (int i = 0; i < allowed.size(); ++i)
                if (allowed[i].ident.compare(cmp.ident, Qt::CaseInsensitive) == 0)
                    col = i;
            if (col < 0)
                return fail(QStringLiteral("column \"%1\" is not allowed here").arg(cmp.ident));
            const FilterColumn& c = allowed[col];
            if (c.isText != cmp.isText)
                return fail(QStringLiteral("column \"%1\" compared with a %2")
                                .arg(cmp.ident, cmp.isText ? QStringLiteral("text")
                                                           : QStringLiteral("number")));
            if (cmp.op == QLatin1String("=")) {
                if (cmp.isText)
                    texts[col] << cmp.text;
                else
                    numbers[col] << cmp.number;
                continue;
            }
            if (cmp.isText)
                return fail(QStringLiteral("only \"=\" compares text (%1)").arg(cmp.ident));
            if (clause.size() == 1 && cmp.op == QLatin1String("<>")) {
                excludedNumbers[col] << cmp.number;
                continue;
            }
            terms << QStringLiteral("%1 %2 ?").arg(c.sql, cmp.op);
            binds << cmp.number;
        }
        AddGathered(numbers, allowed, false, terms, binds);
        AddGathered(texts, allowed, false, terms, binds);
        if (terms.isEmpty())
            continue;
        clauses << (terms.size() == 1
                        ? terms.first()
                        : QLatin1Char('(') + JoinBalanced(terms, QStringLiteral(" OR ")) +
                              QLatin1Char(')'));
        clauseBinds << binds;
    }
    AddGathered(excludedNumbers, allowed, true, clauses, clauseBinds);
    if (clauses.isEmpty())
        return out;
    out.where = QStringLiteral(" AND (") + JoinBalanced(clauses, QStringLiteral(" AND ")) +
                QLatin1Char(')');
    out.binds = clauseBinds;
    return out;
}
