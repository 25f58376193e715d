#include "DateValue.h"

#include "WorkstationLocale.h"

#include <cmath>

namespace {

const QDate& Epoch() {
    static const QDate epoch(1899, 12, 30);
    return epoch;
}

constexpr qint64 kMsPerDay = 86400000;

// Reads characters [from, from + count) of text as a decimal number made of digits only.
bool ReadDigits(const QString& text, qsizetype from, qsizetype count, int& out) {
    if (text.size() < from + count)
        return false;
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const QChar c = text[i];
        if (c.unicode() < '0' || c.unicode() > '9')
            return false;
        value = value * 10 + (c.unicode() - '0');
    }
    out = value;
    return true;
}

} // namespace

double DateToValue(const QDate& date) {
    return date.isValid() ? static_cast<double>(Epoch().daysTo(date)) : 0.0;
}

double DateTimeToValue(const QDateTime& dateTime) {
    if (!dateTime.isValid())
        return 0.0;
    const double days = DateToValue(dateTime.date());
    const double fraction = dateTime.time().msecsSinceStartOfDay() / double(kMsPerDay);
    // Before the epoch the fraction still counts forward from midnight.
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime ValueToDateTime(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
        return {};
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    qint64 ms = std::llround(fraction * kMsPerDay);
    qint64 days = static_cast<qint64>(whole);
    if (ms >= kMsPerDay) { // rounding reached the next midnight
        ms -= kMsPerDay;
        days += value >= 0 ? 1 : -1;
    }
    // Wall-clock values carry no time zone: UTC keeps them clear of daylight-saving gaps
    // and of the system's zone lookups.
    return QDateTime(Epoch().addDays(days), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)),
                     Qt::UTC);
}

QDate ValueToDate(double value) {
    return ValueToDateTime(value).date();
}

double ParseDottedDate(const QString& text) {
    int day = 0, month = 0, year = 0;
    if (!ReadDigits(text, 0, 2, day) || !ReadDigits(text, 3, 2, month) ||
        !ReadDigits(text, 6, 4, year))
        return 0.0;
    const QDate date(year, month, day);
    return date.isValid() ? DateToValue(date) : 0.0;
}

QString FormatDottedDate(double value) {
    return ValueToDate(value).toString(QStringLiteral("dd.MM.yyyy"));
}

QString FormatShortDateTime(double value) {
    if (value == 0.0)
        return {};
    const QDateTime dt = ValueToDateTime(value);
    if (!dt.isValid())
        return {};
    QString text = dt.date().toString(WorkstationLocale::Current().shortDateFormat);
    if (dt.time().msecsSinceStartOfDay() != 0)
        text += QLatin1Char(' ') + dt.time().toString(QStringLiteral("hh:mm:ss"));
    return text;
}
