#include "WorkstationLocale.h"

#include <QLocale>

WorkstationLocale& WorkstationLocale::Current() {
    static WorkstationLocale current = FromSystem();
    return current;
}

WorkstationLocale WorkstationLocale::FromSystem() {
    const QLocale system = QLocale::system();
    // A machine without a configured language ("C") gets the Russian conventions
    // of the workstation's users rather than month names in dates.
    if (system.language() == QLocale::C)
        return Russian();
    WorkstationLocale locale;
    const QString decimal = system.decimalPoint();
    const QString group = system.groupSeparator();
    if (decimal.size() == 1)
        locale.decimalSeparator = decimal.at(0);
    if (group.size() == 1)
        locale.thousandSeparator = group.at(0);
    const QString date = system.dateFormat(QLocale::ShortFormat);
    if (!date.isEmpty())
        locale.shortDateFormat = date;
    return locale;
}

WorkstationLocale WorkstationLocale::Russian() {
    WorkstationLocale locale;
    locale.decimalSeparator = QLatin1Char(',');
    locale.thousandSeparator = QChar(0x00A0);
    locale.shortDateFormat = QStringLiteral("dd.MM.yyyy");
    return locale;
}

WorkstationLocale WorkstationLocale::English() {
    return WorkstationLocale{};
}

ScopedWorkstationLocale::ScopedWorkstationLocale(const WorkstationLocale& locale)
    : saved_(WorkstationLocale::Current()) {
    WorkstationLocale::Current() = locale;
}

ScopedWorkstationLocale::~ScopedWorkstationLocale() {
    WorkstationLocale::Current() = saved_;
}
