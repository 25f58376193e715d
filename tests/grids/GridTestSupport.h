#pragma once

#include "grids/TAdvColumnGrid.h"
#include "shell/base/Services.h"

#include <QStringList>

// A data grid like the windows build it: a fixed first column and N data columns
// with tags 0..N given by Loaded.
inline void BuildGrid(TAdvColumnGrid& grid, int columns, int rows) {
    for (int i = 0; i < columns; ++i) {
        TGridColumn* column = grid.AddColumn();
        column->Header = QStringLiteral("Кол%1").arg(i);
        column->Name = QStringLiteral("F%1").arg(i);
        column->Width = 60 + i;
    }
    grid.SetFixedCols(1);
    grid.Loaded();
    grid.SetRowCount(rows + 1);
    for (int r = 1; r <= rows; ++r)
        for (int c = 0; c < columns; ++c)
            grid.SetCell(c, r, QStringLiteral("r%1c%2").arg(r).arg(c));
}

struct RecordingMessageBox : IMessageBoxService {
    QStringList texts;
    int Show(QWidget*, const QString& text, const QString&, MsgKind, int, bool) override {
        texts.append(text);
        return MsgOk;
    }
};

struct ScriptedFileDialog : IFileDialogService {
    QString answer;
    int chooseIndex = 1;
    QStringList seenFilters;
    int seenIndex = 0;
    QString GetSaveFileName(QWidget*, const QString&, const QStringList& filters, int& index,
                            const QString&) override {
        seenFilters = filters;
        seenIndex = index;
        index = chooseIndex;
        return answer;
    }
    QString GetOpenFileName(QWidget*, const QString&, const QStringList&) override { return {}; }
};

struct ScriptedFontDialog : IFontDialogService {
    QFont answer;
    QFont seen;
    bool ok = true;
    bool ChooseFont(QWidget*, QFont& font) override {
        seen = font;
        if (ok)
            font = answer;
        return ok;
    }
};
