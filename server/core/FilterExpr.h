#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// The condition texts the workstation's filter dialog builds ("fltr"): a series of
// clauses, each beginning with " AND ", optionally followed by " group by ID_BUM,INSTR ".
//   clause     := " AND (" cmp { " OR " cmp } ")" | " AND " cmp
//   cmp        := ident op literal        op: "=", "<>", "<", ">"
//   literal    := integer | "'" text "'"  (a doubled quote inside the text is one quote)
// Nothing of the text reaches SQL: identifiers are looked up in a per-query list of
// allowed columns and every literal becomes a bound parameter.

struct FilterComparison {
    QString ident; // as written
    QString op;
    bool isText = false;
    qint64 number = 0;
    QString text;
};

// Comparisons joined by OR.
using FilterClause = QList<FilterComparison>;

struct ParsedFilter {
    bool ok = true;
    QString error; // why the text was refused (with the position)
    QList<FilterClause> clauses;
    bool groupByInstrument = false;
};

ParsedFilter ParseFilter(const QString& text);

// One column a query allows in filters: the name used in the filter text, the SQL
// expression it stands for, and whether it holds text or numbers.
struct FilterColumn {
    QString ident;
    QString sql;
    bool isText = false;
};

struct FilterSql {
    bool ok = true;
    QString error;
    QString where; // " AND (...)" pieces, empty for no restriction
    QVariantList binds;
};

// Turns the parsed clauses into SQL over the allowed columns. Equality terms of one
// column within a clause are gathered into one "IN (SELECT value FROM json_each(?))"
// with a single bound JSON array, clauses of a single "<>" on one column into one
// "NOT IN (...)" likewise, and what remains is nested as a balanced tree, so filters
// of tens of thousands of terms stay within SQLite's limits.
FilterSql FilterToSql(const ParsedFilter& filter, const QList<FilterColumn>& allowed);

// A JSON array text of the values, for "IN (SELECT value FROM json_each(?))".
QString JsonArray(const QList<qint64>& values);
QString JsonArray(const QStringList& values);
