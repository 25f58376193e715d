#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// How a column's texts compare when the user sorts by it.
enum class TSortStyle {
    Automatic,  // numbers when both texts are numbers, else text
    Alphabetic, // text, ignoring case
    Numeric,    // a number in the locale's notation; anything else counts 0
    Financial,  // a number that may carry grouping characters; anything else counts 0
    Date,       // dd.mm.yyyy with an optional hh:mm[:ss]; anything else sorts first
    Markup,     // text that may hold simple markup tags: the text without them, ignoring case
};

// The text of a cell that may hold simple markup ("<b>", "<font color=...>", ...):
// tags removed and the entities &lt; &gt; &amp; &quot; &nbsp; decoded.
QString StripMarkup(QStringView text);
// Whether the text holds a tag at all (plain texts skip the markup drawing).
bool HoldsMarkup(QStringView text);

// Reads a number written with the workstation's decimal separator (a full stop is
// accepted too). With grouped set, the locale's thousand separator, blanks and
// non-breaking spaces are dropped first. Surrounding blanks are ignored.
bool ParseSortNumber(QStringView text, bool grouped, double& value);

// Reads "dd.mm.yyyy" with an optional " hh:mm" or " hh:mm:ss" into a value that
// orders like the moment it names; false when the text is not such a date.
bool ParseSortDate(QStringView text, double& value);

// The stable order of the rows: result[i] is the index of the text that belongs at
// position i. The prefix and the suffix are stripped from each text before it is read.
// Equal keys keep their previous order in both directions, so a re-sort by another
// column keeps the earlier order among equal rows.
std::vector<int> SortOrder(const std::vector<QString>& texts, TSortStyle style,
                           const QString& prefix, const QString& suffix, bool ascending);
