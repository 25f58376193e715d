#pragma once

#include <QString>
#include <QStringList>

// The server's own log: one line per event, "yyyy-MM-dd hh:mm:ss.zzz text", to the
// log file when one is set, otherwise to standard error. The last lines are kept in
// memory so tests can see why a request was refused.
namespace ServerLog {
void SetFile(const QString& path); // empty: standard error
void SetQuiet(bool quiet);         // no output at all (lines are still kept)
void Line(const QString& text);
QStringList Recent(); // the last lines, oldest first
void ClearRecent();
} // namespace ServerLog
