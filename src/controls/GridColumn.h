#pragma once

#include "controls/SortKeys.h"

#include <QFont>
#include <QString>

// One entry of a grid's column collection. The entry moves with its column when the
// user reorders columns; its cells live in a storage slot that moves with it.
struct TGridColumn {
    QString Name;   // the response field the column shows
    QString Header; // caption in the header row
    int Width = 64;
    Qt::Alignment Alignment = Qt::AlignLeft;
    QFont Font;
    bool Fixed = false;
    bool ReadOnly = false;
    int Tag = 0;
    TSortStyle SortStyle = TSortStyle::Automatic;
    QString SortPrefix;
    QString SortSuffix;
    QString FloatFormat; // "%.2f", "%.4n", ... for numbers filled by position
    bool PrintBorders = false;

private:
    friend class TStringGrid;
    bool hidden_ = false;
    int slot_ = 0;
};
