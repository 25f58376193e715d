#pragma once

#include <QChar>
#include <QString>

// The workstation's number and date conventions: one program-wide object.
// It starts from the system locale; tests set it to a known state.
struct WorkstationLocale {
    QChar decimalSeparator = QLatin1Char('.');
    QChar thousandSeparator = QLatin1Char(',');
    // Short date as a QDateTime pattern, e.g. "dd.MM.yyyy".
    QString shortDateFormat = QStringLiteral("dd.MM.yyyy");

    static WorkstationLocale& Current();
    static WorkstationLocale FromSystem(); // Russian when the system has no language set
    static WorkstationLocale Russian();    // "," decimal, non-breaking-space grouping, dd.MM.yyyy
    static WorkstationLocale English();    // "." decimal, "," grouping, dd.MM.yyyy
};

// Sets the program-wide locale for the lifetime of the object, then restores it.
class ScopedWorkstationLocale {
public:
    explicit ScopedWorkstationLocale(const WorkstationLocale& locale);
    ~ScopedWorkstationLocale();
    ScopedWorkstationLocale(const ScopedWorkstationLocale&) = delete;
    ScopedWorkstationLocale& operator=(const ScopedWorkstationLocale&) = delete;

private:
    WorkstationLocale saved_;
};
