#pragma once

#include <QString>

// The diagnostic log: one line per call, "dd.MM.yy hh:mm:ss", two blanks, the
// thread id, a blank, the text, CR LF; Windows-1251 bytes. At 131071 bytes the
// file moves to the same name plus ".old" and the next line starts a fresh file.
constexpr qint64 kLogSizeLimit = 0x1FFFF;

void WriteLog(const QString& text, const QString& fileName = QString());

QString LogFileName();
void SetLogFileName(const QString& fileName);
