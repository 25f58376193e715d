#include "controls/TNumberEdit.h"
#include "shell/base/NumberText.h"
#include "shell/base/WorkstationLocale.h"

#include <QFocusEvent>
#include <QValidator>

namespace {

QChar DecimalSep() {
    return WorkstationLocale::Current().decimalSeparator;
}

// Digits with one decimal separator and an optional leading minus; the locale's
// grouping separators (shown out of focus) pass and are ignored when read.
class NumberValidator : public QValidator {
public:
    NumberValidator(int decimals, QObject* parent) : QValidator(parent), decimals_(decimals) {}

    void fixup(QString&) const override {}

    State validate(QString& input, int& pos) const override {
        const QChar sep = DecimalSep();
        const QChar group = WorkstationLocale::Current().thousandSeparator;
        // "." and "," typed stand for the decimal separator unless one is the grouping.
        for (QChar& c : input)
            if ((c == QLatin1Char('.') || c == QLatin1Char(',')) && c != group)
                c = sep;
        bool seenSep = false;
        int fraction = 0;
        for (qsizetype i = 0; i < input.size(); ++i) {
            const QChar c = input[i];
            if (c.isDigit() && c.unicode() < 128) {
                if (seenSep && ++fraction > decimals_)
                    return Invalid;
            } else if (c == sep && decimals_ > 0 && !seenSep) {
                seenSep = true;
            } else if (c == QLatin1Char('-') && i == 0) {
            } else if (c == group && !seenSep) {
            } else {
                return Invalid;
            }
        }
        (void)pos;
        return Acceptable;
    }

private:
    int decimals_;
};

} // namespace

TNumberEdit::TNumberEdit(int decimals, const QString& displayPattern, QWidget* parent)
    : QLineEdit(parent), decimals_(decimals), pattern_(displayPattern) {
    setValidator(new NumberValidator(decimals, this));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

QString TNumberEdit::PlainText() const {
    QString t = text().trimmed();
    t.remove(WorkstationLocale::Current().thousandSeparator);
    return t;
}

bool TNumberEdit::IsEmpty() const {
    return text().trimmed().isEmpty();
}

double TNumberEdit::Value() const {
    double value = 0;
    return TryParseLocaleNumber(PlainText(), value) ? value : 0;
}

void TNumberEdit::SetValue(double value) {
    setText(hasFocus() ? FormatGeneralNumber(value, DecimalSep())
                       : FormatNumberPattern(pattern_, value));
}

void TNumberEdit::Clear() {
    clear();
}

double TNumberEdit::ReadGrouped(const QString& text, double fallback) {
    QString t = text.trimmed();
    const QChar group = WorkstationLocale::Current().thousandSeparator;
    t.remove(group);
    // Where the grouping is a blank, a copied text may carry any of the blanks.
    if (group.isSpace()) {
        t.remove(QLatin1Char(' '));
        t.remove(QChar(0x00A0));
        t.remove(QChar(0x202F));
    }
    double value = 0;
    return TryParseLocaleNumber(t, value) ? value : fallback;
}

void TNumberEdit::ShowFormatted() {
    double value = 0;
    if (!IsEmpty() && TryParseLocaleNumber(PlainText(), value))
        setText(FormatNumberPattern(pattern_, value));
}

void TNumberEdit::focusInEvent(QFocusEvent* event) {
    if (!isReadOnly() && !IsEmpty())
        setText(PlainText());
    QLineEdit::focusInEvent(event);
}

void TNumberEdit::focusOutEvent(QFocusEvent* event) {
    ShowFormatted();
    QLineEdit::focusOutEvent(event);
}
