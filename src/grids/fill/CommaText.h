#pragma once

#include <QString>
#include <QStringList>

// Comma text, the list form of request parameters and loop-back values: items joined
// with ","; an item that is empty or holds a blank, a comma, a double quote or a
// control character is enclosed in double quotes with inner quotes doubled. An empty
// list gives an empty text.
QString ToCommaText(const QStringList& items);

// Reads comma text back: items are separated by commas (blanks around an unquoted
// item are dropped); a quoted item keeps its blanks and commas and reads "" as ".
QStringList FromCommaText(const QString& text);

// Lines separated by CR LF (the form of the published filter lists) and back; an
// empty text is an empty list.
QString ToLinesText(const QStringList& items);
QStringList FromLinesText(const QString& text);
