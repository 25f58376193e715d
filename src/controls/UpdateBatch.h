#pragma once

#include "controls/StringGrid.h"

// A batch fill of a grid: repaints are collected for the length of a scope and the
// grid repaints once at its end, even when the fill stops with an error.
class UpdateBatch {
public:
    explicit UpdateBatch(TStringGrid& grid) : grid_(grid) { grid_.BeginUpdate(); }
    ~UpdateBatch() { grid_.EndUpdate(); }
    UpdateBatch(const UpdateBatch&) = delete;
    UpdateBatch& operator=(const UpdateBatch&) = delete;

private:
    TStringGrid& grid_;
};
