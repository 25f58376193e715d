// Shows a filled data grid with a selection, sorted by a money column, and opens its
// popup menu, so the look can be checked on a screenshot.
#include "GridSample.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Биржевые заявки"));
    auto* grid = new TAdvColumnGrid(&window);
    BuildSampleColumns(*grid);
    grid->SetCellLookHook([grid](int, int row, TCellLook& look) {
        if (grid->Cell(7, row) == QStringLiteral("Купля"))
            look.Text = QColor(0, 0, 128);
        if (grid->Cell(12, row) == QStringLiteral("Исполнена"))
            look.Background = QColor(220, 255, 220);
    });
    grid->SetRowCount(1 + 2000);
    for (int r = 0; r < 2000; ++r)
        grid->SetRowTexts(r + 1, SampleRow(r));
    grid->SortByColumn(10, false);
    window.setCentralWidget(grid);
    window.resize(1200, 700);
    window.move(20, 20);
    window.show();
    grid->horizontalScrollBar()->setValue(120);
    grid->SetSelection(TGridRect{9, 3, 9, 8});
    QTimer::singleShot(800,
                       [grid] { grid->PopupMenu()->popup(grid->mapToGlobal(QPoint(700, 260))); });
    if (argc > 1)
        QTimer::singleShot(std::atoi(argv[1]), &app, &QApplication::quit);
    return app.exec();
}
