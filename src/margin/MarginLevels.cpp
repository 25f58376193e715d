#include "margin/MarginLevels.h"

#include "shell/base/WorkstationLocale.h"

namespace margin {

int CellNumber(const QString& text, bool* wellFormed) {
    const QString t = text.trimmed();
    bool ok = true;
    int value = t.isEmpty() ? 0 : t.toInt(&ok);
    if (!ok)
        value = 0;
    if (wellFormed)
        *wellFormed = ok;
    return value;
}

Breach BreachOf(int percent, int startLevel, int criticalLevel) {
    if (percent < criticalLevel)
        return Breach::CriticalLevel;
    if (percent < startLevel)
        return Breach::StartLevel;
    return Breach::None;
}

MonitorSettings ParseMonitorSettings(const QString& text) {
    MonitorSettings s;
    QString rest = text;
    const auto take = [&rest](QLatin1StringView on, QLatin1StringView off, int& flag) {
        if (rest.startsWith(on)) {
            flag = 1;
            rest.remove(0, on.size());
        } else if (rest.startsWith(off)) {
            flag = 0;
            rest.remove(0, off.size());
        }
    };
    take(QLatin1StringView("BTNP01"), QLatin1StringView("BTNP00"), s.panelShown);
    take(QLatin1StringView("BTNSM0"), QLatin1StringView("BTNSM1"), s.soundOff);
    s.gridSettings = rest;
    return s;
}

QString MonitorSettingsText(bool panelShown, bool soundOff, const QString& gridSettings) {
    return QLatin1StringView(panelShown ? "BTNP01" : "BTNP00") +
           QLatin1StringView(soundOff ? "BTNSM0" : "BTNSM1") + gridSettings;
}

QString LeverageText(int startLevel) {
    if (startLevel <= 0 || startLevel > 100)
        return QString();
    const double factor = 100.0 / startLevel - 1.0;
    // "0.#": one decimal at most, none when it is zero, the workstation's separator.
    QString number = QString::number(factor, 'f', 1);
    if (number.endsWith(QLatin1String(".0")))
        number.chop(2);
    number.replace(QLatin1Char('.'), WorkstationLocale::Current().decimalSeparator);
    return QStringLiteral("1 : ") + number;
}

} // namespace margin
