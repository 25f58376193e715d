#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// Date-time values are days since 30 December 1899 as a double, the time of day
// as the fraction; 0 stands for no date.
double DateToValue(const QDate& date);
double DateTimeToValue(const QDateTime& dateTime);
QDateTime ValueToDateTime(double value); // a wall-clock value, kept in UTC
QDate ValueToDate(double value);

// "dd.mm.yyyy" read by positions (day 1-2, month 4-5, year 7-10); 0 when not a date.
double ParseDottedDate(const QString& text);
QString FormatDottedDate(double value);

// The date in the workstation's short date format, followed by " hh:mm:ss" when
// the time of day is not 0; empty for 0.
QString FormatShortDateTime(double value);
