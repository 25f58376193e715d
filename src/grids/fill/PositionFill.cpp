#include "grids/fill/PositionFill.h"

#include "controls/UpdateBatch.h"
#include "controls/WaitCursor.h"
#include "grids/TAdvColumnGrid.h"
#include "session/TBrokerSession.h"
#include "session/wire/Cp1251.h"
#include "shell/base/ConvertError.h"
#include "shell/base/NumberText.h"

#include <QStringList>

#include <vector>

namespace {
void FillRows(TBrokerSession& session, TAdvColumnGrid& grid, int first, int n,
              const PositionFillOptions& options) {
    const int columns = grid.AllColCount();
    grid.SetRowCount(first + n);
    // Column identity q -> real column and its number format, once per fill.
    struct Target {
        int realCol = -1;
        QString floatFormat;
    };
    std::vector<Target> targets(static_cast<size_t>(columns));
    for (int q = 0; q < columns; ++q) {
        if (TGridColumn* c = grid.ColumnByTag(q))
            targets[size_t(q)] = {grid.IndexOfColumn(c), c->FloatFormat};
    }
    QStringList texts(columns, QString());
    for (int i = 0; i < n; ++i) {
        for (QString& t : texts)
            t.clear();
        for (int q = 0; q < columns; ++q) {
            const Target& target = targets[size_t(q)];
            if (target.realCol < 0)
                continue;
            QString text = Cp1251::Decode(session.GetField(i, q));
            if (!target.floatFormat.isEmpty()) {
                // A value that is not a number is shown as it came rather than
                // abandoning the rest of the answer, unless the window asks to stop.
                try {
                    text = FormatNumberPrintf(target.floatFormat, DotTextToFloat(text));
                } catch (const EConvertError&) {
                    if (options.StopOnNonNumber)
                        throw EConvertError(QStringLiteral("Строка %1 ответа, поле %2: \"%3\" "
                                                           "не является числом")
                                                .arg(i + 1)
                                                .arg(q)
                                                .arg(text));
                }
            }
            texts[target.realCol] = text;
        }
        if (options.AfterRowTexts)
            options.AfterRowTexts(i, texts);
        grid.SetRowTexts(first + i, texts);
    }
}
} // namespace

void LoadGridByPosition(TBrokerSession& session, TAdvColumnGrid& grid,
                        const PositionFillOptions& options) {
    WaitCursor wait(grid);
    const int first = grid.FixedRows();
    grid.SetRowCount(first + 1);
    const int columns = grid.AllColCount();
    grid.SetRowTexts(first, QStringList(columns, QString()));

    const int n = session.GetRowCount();
    if (n <= 0)
        return;
    {
        // Repaints wait until the rows are in, even when reading the answer fails.
        UpdateBatch batch(grid);
        FillRows(session, grid, first, n, options);
    }
    grid.Resort();
}
