#pragma once

#include "controls/StringGrid.h"

// The plain grid of the one table that is not described column by column: the
// common look and two copy commands.
class TAdvStringGrid : public TStringGrid {
    Q_OBJECT
public:
    explicit TAdvStringGrid(QWidget* parent = nullptr);

    void Loaded();
    void MenuCopyAll();
    void MenuCopySelection();
    void StrToClipboard(const QString& text);
    // True when the vertical scroll bar has a range.
    bool IsVisibleVertSrollBar() const;
};
