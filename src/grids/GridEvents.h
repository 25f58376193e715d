#pragma once

#include "shell/contract/ShellEvents.h"

#include <QString>

class QObject;

// The selection sum of the data grids. Whenever a grid changes the application-wide
// sum text, it posts an event without parameters of type GridSumEventType() to the
// receiver set here (the main window), which shows GridSumText() followed by two
// spaces in the fifth panel of its status bar. The event number (1237) is one of
// the window contract's.

// The text of the last selection sum, shared by all grids ("" when there is none).
QString& GridSumText();

// The object that receives the posted sum events; nullptr posts nothing.
void SetGridSumReceiver(QObject* receiver);
QObject* GridSumReceiver();

// Sets the text and posts the event to the receiver.
void PostGridSum(const QString& text);
