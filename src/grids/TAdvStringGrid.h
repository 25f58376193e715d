#pragma once

#include "controls/StringGrid.h"

// The plain grid of the one table that is not described column by column: the
// common look and two copy commands. Its cells may hold several lines separated by
// carriage returns (each row as tall as its owner makes it), and Ctrl with the mouse
// wheel makes its font larger or smaller.
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

    // The height of one grid row (header row included) in pixels.
    void SetRowHeight(int row, int height);
    int RowHeight(int row) const;

    // One wheel step with Ctrl held: the font of the grid and of every column one
    // point larger (step > 0) or smaller, between kMinFontPoints and kMaxFontPoints.
    void ZoomFont(int step);
    static constexpr int kMinFontPoints = 6;
    static constexpr int kMaxFontPoints = 36;

signals:
    // The font size changed through Ctrl and the wheel; the owner lays its cells out again.
    void FontZoomed();

protected:
    void wheelEvent(QWheelEvent* event) override;
};
