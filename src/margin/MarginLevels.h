#pragma once

#include <QString>

// The monitor's reading of a client's row: columns "% маржи", "Начальная маржа" and
// "Критическая маржа" compared as whole numbers.
namespace margin {

// A cell as a whole number: empty counts as 0, and so does any text that is not a
// whole number (wellFormed then says so), so such a row is flagged, not passed over.
int CellNumber(const QString& text, bool* wellFormed = nullptr);

enum class Breach { None, StartLevel, CriticalLevel };

// Strict comparisons; below both levels is a critical breach only.
Breach BreachOf(int percent, int startLevel, int criticalLevel);

// The settings text of the monitor: "BTNP01"/"BTNP00" (button panel shown or hidden),
// then "BTNSM0"/"BTNSM1" (sound off or on), then the grid's settings. Each prefix is
// taken only when it matches; anything else is left for the next step.
struct MonitorSettings {
    int panelShown = -1; // 1, 0, or -1 when the text did not say
    int soundOff = -1;
    QString gridSettings;
};
MonitorSettings ParseMonitorSettings(const QString& text);
QString MonitorSettingsText(bool panelShown, bool soundOff, const QString& gridSettings);

// The leverage "own funds : credit" of a start level: "1 : " and 100 / s - 1 with at
// most one decimal in the local form; empty when s is outside 1..100.
QString LeverageText(int startLevel);

} // namespace margin
