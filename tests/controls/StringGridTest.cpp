#include "controls/StringGrid.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QHeaderView>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace {
// Qt's model checks run on every change of the grid's model; a broken contract aborts.
constexpr auto kFatalModelCheck = QAbstractItemModelTester::FailureReportingMode::Fatal;
// Three columns, header row, four data rows: A0..A3 / B.. / C..
void Fill(TStringGrid& grid) {
    for (const char* name : {"A", "B", "C"}) {
        TGridColumn* column = grid.AddColumn();
        column->Header = QString::fromLatin1(name);
        column->Width = 50;
    }
    grid.SetRowCount(5);
    for (int r = 1; r < 5; ++r)
        for (int c = 0; c < 3; ++c)
            grid.SetCell(c, r, grid.Column(c)->Header + QString::number(r));
}
} // namespace

TEST(StringGrid, CellsFollowTheirColumnThroughMovesAndHiding) {
    TStringGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    Fill(grid);
    EXPECT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.ColCount(), 3);
    EXPECT_EQ(grid.Cell(1, 0), QStringLiteral("B")); // header row holds the captions
    grid.MoveColumn(2, 0);                           // C A B
    EXPECT_EQ(grid.Column(0)->Header, QStringLiteral("C"));
    EXPECT_EQ(grid.Cell(0, 3), QStringLiteral("C3"));
    EXPECT_EQ(grid.Cell(2, 3), QStringLiteral("B3"));

    grid.SetColumnWidth(1, 77);
    grid.HideColumn(1); // A hidden, width kept
    EXPECT_TRUE(grid.IsHiddenColumn(1));
    EXPECT_EQ(grid.ColCount(), 2);
    EXPECT_EQ(grid.AllColCount(), 3);
    EXPECT_EQ(grid.RealColIndex(1), 2);
    EXPECT_EQ(grid.DisplColIndex(1), -1);
    EXPECT_EQ(grid.DisplCell(1, 2), QStringLiteral("B2"));
    EXPECT_EQ(grid.ColumnWidth(1), 77);
    grid.SetCell(1, 4, QStringLiteral("hidden text")); // hidden columns still hold data
    grid.UnHideColumnsAll();
    EXPECT_EQ(grid.ColCount(), 3);
    EXPECT_EQ(grid.Cell(1, 4), QStringLiteral("hidden text"));
    EXPECT_EQ(grid.ColumnWidth(1), 77);

    // Nonsense indexes do nothing.
    grid.HideColumn(9);
    grid.MoveColumn(-1, 2);
    grid.SetCell(7, 1, QStringLiteral("x"));
    EXPECT_EQ(grid.Cell(7, 1), QString());
    EXPECT_EQ(grid.RealColIndex(5), -1);
}

TEST(StringGrid, SortMovesWholeRowsAndResortKeepsTheChoice) {
    TStringGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    Fill(grid);
    grid.Column(1)->SortStyle = TSortStyle::Numeric;
    const QStringList values{QStringLiteral("30"), QStringLiteral("4"), QStringLiteral("100"),
                             QStringLiteral("4")};
    for (int r = 1; r < 5; ++r)
        grid.SetCell(1, r, values[r - 1]);
    grid.SortByColumn(1, false);
    EXPECT_EQ(grid.SortColumn(), 1);
    EXPECT_EQ(grid.Cell(1, 1), QStringLiteral("100"));
    EXPECT_EQ(grid.Cell(0, 1), QStringLiteral("A3"));
    EXPECT_EQ(grid.Cell(0, 3), QStringLiteral("A2")); // equal keys keep their order
    EXPECT_EQ(grid.Cell(0, 4), QStringLiteral("A4"));
    EXPECT_EQ(grid.Cell(1, 0), QStringLiteral("B")); // the header row never moves

    // A reload followed by Resort keeps column and direction even after the column moved.
    grid.MoveColumn(1, 2);
    for (int r = 1; r < 5; ++r)
        grid.SetCell(2, r, QString::number(r));
    grid.Resort();
    EXPECT_EQ(grid.SortColumn(), 2);
    EXPECT_FALSE(grid.SortAscending());
    EXPECT_EQ(grid.Cell(2, 1), QStringLiteral("4"));
}

TEST(StringGrid, SelectionNeverHoldsHeaderCellsAndHintsShowCutTexts) {
    TStringGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    Fill(grid);
    grid.SetSelection(TGridRect{0, 2, 1, 3}); // the fixed column is never selected
    const TGridRect rect = grid.Selection();
    EXPECT_EQ(rect.Left, 1);
    EXPECT_EQ(rect.Right, 1);
    EXPECT_EQ(rect.Top, 2);
    EXPECT_EQ(rect.Bottom, 3);
    EXPECT_TRUE(grid.IsSelected(1, 3));
    EXPECT_FALSE(grid.IsSelected(2, 3));
    EXPECT_FALSE(grid.IsSelected(0, 0));
    EXPECT_FALSE(grid.IsSelected(0, 3));
    grid.SetSelection(TGridRect{0, 0, 5, 99}); // outside the grid: nothing but the current cell
    EXPECT_FALSE(grid.IsSelected(1, 3));

    grid.SetCell(0, 1, QStringLiteral("Очень длинное название клиента, которое не влезает"));
    EXPECT_EQ(grid.HintFor(0, 1), grid.Cell(0, 1));
    EXPECT_EQ(grid.HintFor(1, 1), QString()); // fits
    grid.SetGridHintHook(
        [](int row, int col, QString& hint) { hint = QStringLiteral("%1/%2").arg(row).arg(col); });
    EXPECT_EQ(grid.HintFor(1, 1), QStringLiteral("1/1"));
}

TEST(StringGrid, RowsMoveButHeaderRowStays) {
    TStringGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    Fill(grid);
    grid.MoveRow(1, 4);
    EXPECT_EQ(grid.Cell(0, 4), QStringLiteral("A1"));
    EXPECT_EQ(grid.Cell(0, 1), QStringLiteral("A2"));
    grid.MoveRow(0, 2); // the header row cannot move
    grid.MoveRow(2, 9);
    EXPECT_EQ(grid.Cell(0, 0), QStringLiteral("A"));
    EXPECT_EQ(grid.Cell(0, 2), QStringLiteral("A3"));
}

TEST(StringGrid, HeaderClicksSortAndDragsMoveTheColumnEntry) {
    TStringGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    Fill(grid);
    grid.SetCell(0, 1, QStringLiteral("z"));
    QHeaderView* header = grid.horizontalHeader();
    emit header->sectionClicked(0); // the fixed column sorts too
    EXPECT_EQ(grid.SortColumn(), 0);
    EXPECT_TRUE(grid.SortAscending());
    EXPECT_EQ(grid.Cell(0, 4), QStringLiteral("z"));
    emit header->sectionClicked(0);
    EXPECT_FALSE(grid.SortAscending());
    EXPECT_EQ(grid.Cell(0, 1), QStringLiteral("z"));

    TGridColumn* c = grid.Column(2);
    header->moveSection(2, 1); // the user drags C before B
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.Column(1), c);
    EXPECT_EQ(header->visualIndex(1), 1); // the header itself keeps plain order
    EXPECT_EQ(grid.DisplCell(1, 0), QStringLiteral("C"));
    header->moveSection(1, 0); // nothing moves into the fixed column
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.Column(1), c);
}

TEST(StringGrid, FrozenColumnCoversTheFixedColumnsOnly) {
    TStringGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    Fill(grid);
    grid.SetColumnWidth(0, 70);
    grid.resize(120, 200);
    grid.show();
    QCoreApplication::processEvents();
    // The overlay is the one child view other than the main one's own widgets.
    const auto views = grid.findChildren<QTableView*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(views.size(), 1);
    QTableView* frozen = views.front();
    EXPECT_TRUE(frozen->isVisible());
    EXPECT_EQ(frozen->width(), grid.ShownWidth(0));
    EXPECT_FALSE(frozen->isColumnHidden(0));
    EXPECT_TRUE(frozen->isColumnHidden(1));
    grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum());
    EXPECT_EQ(frozen->x(), grid.frameWidth()); // stays put while the rest scrolls
    grid.SetFixedCols(0);
    EXPECT_FALSE(frozen->isVisible());
}

TEST(StringGrid, LookHookColoursDataCellsOnly) {
    TStringGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    Fill(grid);
    grid.SetCellLookHook([](int realCol, int row, TCellLook& look) {
        if (realCol == 2 && row == 3)
            look.Background = QColor(255, 0, 0);
        look.Text = QColor(0, 0, 128);
    });
    EXPECT_EQ(grid.CellLook(2, 3).Background, QColor(255, 0, 0));
    EXPECT_EQ(grid.CellLook(1, 3).Text, QColor(0, 0, 128));
    EXPECT_NE(grid.CellLook(2, 0).Text, QColor(0, 0, 128));
}

// Design widths are scaled by the face: the numbers a column was designed for show
// whole in any face; what still does not fit shows "###" (a number) or ends in "…".
TEST(StringGrid, DesignWidthsHoldTheirDigitsInAnyFace) {
    struct Case {
        const char* text;
        int width;
        Qt::Alignment alignment;
        const char* shown; // nullptr: the whole text
    };
    const Case cases[] = {
        {"1000301", 45, Qt::AlignRight, nullptr},    {"33510,9341", 60, Qt::AlignRight, nullptr},
        {"3590970,17", 60, Qt::AlignRight, nullptr}, {"1 234 567,00", 20, Qt::AlignRight, "###"},
        {"Сбербанк России", 40, Qt::AlignLeft, "…"},
    };
    QFont condensed(QStringLiteral("DejaVu Sans Condensed"), 8);
    QFont wide(QStringLiteral("DejaVu Sans"), 13);
    QFont wideBold(QStringLiteral("DejaVu Sans"), 16, QFont::Bold);
    for (const QFont& font : {condensed, wide, wideBold}) {
        TStringGrid grid;
        grid.SetGridFont(font);
        grid.SetFixedCols(0);
        for (const Case& c : cases) {
            TGridColumn* column = grid.AddColumn();
            column->Width = c.width;
            column->Alignment = c.alignment;
        }
        grid.ColumnsChanged();
        for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
            const QString text = QString::fromUtf8(cases[i].text);
            const QString what = font.toString() + QStringLiteral(" / ") + text;
            EXPECT_EQ(grid.ColumnWidth(i), cases[i].width) << what.toStdString();
            EXPECT_EQ(grid.horizontalHeader()->sectionSize(i), grid.ShownWidth(i));
            const QString shown = grid.FitText(i, text, font, grid.ShownWidth(i));
            if (!cases[i].shown)
                EXPECT_EQ(shown, text) << what.toStdString();
            else if (QString::fromUtf8(cases[i].shown) == QStringLiteral("###"))
                EXPECT_EQ(shown, QStringLiteral("###")) << what.toStdString();
            else
                EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
        }
    }
}

TEST(StringGrid, EditingAndHeaderSortingAreTheGridsChoice) {
    TStringGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    Fill(grid);
    grid.Column(1)->ReadOnly = true;
    QAbstractItemModel& model = *grid.model();
    // Off unless asked for; then only non-fixed columns that are not read-only.
    EXPECT_FALSE(model.flags(model.index(0, 2)) & Qt::ItemIsEditable);
    grid.SetEditable(true);
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    ASSERT_TRUE(model.flags(model.index(0, 2)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.setData(model.index(0, 2), QStringLiteral("12,5")));
    EXPECT_EQ(grid.Cell(2, 1), QStringLiteral("12,5"));
    EXPECT_FALSE(model.setData(model.index(0, 1), QStringLiteral("x")));
    EXPECT_EQ(grid.Cell(1, 1), QStringLiteral("B1"));

    grid.SetHeaderSortable(false);
    emit grid.horizontalHeader()->sectionClicked(2);
    EXPECT_EQ(grid.SortColumn(), -1);
    EXPECT_EQ(grid.Cell(2, 1), QStringLiteral("12,5"));
}
