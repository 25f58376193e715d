#include "margin/LimitSpinBox.h"
#include "shell/base/WorkstationLocale.h"

#include <cmath>

TLimitSpinBox::TLimitSpinBox(QWidget* parent) : QDoubleSpinBox(parent) {
    setDecimals(6);
    setRange(0, 1e15);
    setGroupSeparatorShown(true);
}

QString TLimitSpinBox::textFromValue(double value) const {
    const WorkstationLocale& locale = WorkstationLocale::Current();
    QString digits = QString::number(std::nearbyint(value), 'f', 0);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, locale.thousandSeparator);
    return digits;
}

bool TLimitSpinBox::Parse(const QString& text, double* value) {
    const WorkstationLocale& locale = WorkstationLocale::Current();
    QString t = text.trimmed();
    t.remove(locale.thousandSeparator);
    t.remove(QLatin1Char(' '));
    t.remove(QChar(0x00A0));
    t.replace(locale.decimalSeparator, QLatin1Char('.'));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (ok && value)
        *value = v;
    return ok && v >= 0;
}

double TLimitSpinBox::valueFromText(const QString& text) const {
    double v = 0;
    return Parse(text, &v) ? v : value();
}

QValidator::State TLimitSpinBox::validate(QString& text, int&) const {
    if (text.trimmed().isEmpty())
        return QValidator::Intermediate;
    return Parse(text, nullptr) ? QValidator::Acceptable : QValidator::Invalid;
}
