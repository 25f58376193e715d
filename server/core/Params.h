#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// A request's parameters in the order they were sent. Keys keep their spelling;
// lookups ignore ASCII case, as the workstation does with field names.
class ParamList {
public:
    void Add(const QString& key, const QString& value) { items_.append({key, value}); }
    bool Has(const QString& key) const;
    QString Value(const QString& key) const; // "" when absent
    // A decimal integer value (digits, an optional minus sign, nothing else); nullopt when
    // absent, not such a number or beyond 64 bits.
    std::optional<qint64> Int(const QString& key) const;
    void Set(const QString& key, const QString& value); // replace or add
    const QList<QPair<QString, QString>>& Items() const { return items_; }
    bool IsEmpty() const { return items_.isEmpty(); }
    QString Describe() const; // "k=v k=v" for log lines (values cut at 200 characters)

private:
    QList<QPair<QString, QString>> items_;
};

// The two parameter string forms. Pair form: "key=value" NUL, repeated. Alternating
// form: key NUL value NUL, repeated.
enum class ParamForm { Pair, Alternating, Guess };

struct ParsedParams {
    ParamList params;
    bool ok = true;
    QString error; // why the string was refused
};

// Pair form: empty pieces are skipped, each piece is split at its first "=".
// Alternating form: empty pieces are kept, pieces are taken two at a time.
// Guess: alternating when the first piece holds no "=".
ParsedParams ParseParams(const QString& text, ParamForm form);

// Comma text: items joined with ","; an item in double quotes may hold commas and
// blanks, inner quotes doubled. An empty text is an empty list; ok is false when a
// quote is left open.
QStringList ParseCommaText(const QString& text, bool* ok = nullptr);

// Comma text of whole numbers only (read as ParamList::Int does); nullopt when any item
// is not one.
std::optional<QList<qint64>> ParseIdList(const QString& text);
