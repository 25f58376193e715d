#pragma once

#include "controls/GridColumn.h"
#include "controls/RowStore.h"

#include <QColor>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>

#include <functional>
#include <memory>
#include <vector>

#include <QMenu>
class TGridModel;
class TGridHeader;
class TFrozenView;

// The selection rectangle in displayed columns and grid rows (row 0 is the header row).
struct TGridRect {
    int Left = -1;
    int Top = -1;
    int Right = -1;
    int Bottom = -1;
    bool IsEmpty() const { return Left < 0 || Top < 0 || Right < Left || Bottom < Top; }
};

// Colours and font of one cell as the window wants it drawn; the hook may change any.
struct TCellLook {
    QColor Text;
    QColor Background;
    QFont Font;
};

// The grid widget under the data grids: cell texts by column and row over compact
// rows, one header row, frozen leading columns that stay in view when scrolling
// sideways, a column collection with hiding and moving, a rectangular selection
// drawn as an outline, sorting by a header click, cell hints and a popup menu.
//
// Columns are addressed by their real index (position in the collection, hidden ones
// included) unless a name says "Displ" (position among the shown columns).
class TStringGrid : public QTableView {
    Q_OBJECT
public:
    explicit TStringGrid(QWidget* parent = nullptr);
    ~TStringGrid() override;

    // --- rows and cells -------------------------------------------------------------
    int FixedRows() const { return fixedRows_; }
    void SetFixedRows(int rows); // 0 or 1
    int RowCount() const;        // header rows included
    void SetRowCount(int rows);
    QString Cell(int realCol, int row) const;
    void SetCell(int realCol, int row, const QString& text);
    void SetRowTexts(int row, const QStringList& textsByRealCol);
    // The same from UTF-8 texts by real column, stored as they are (count texts).
    void SetRowUtf8(int row, const QByteArrayView* utf8ByRealCol, int count);
    QString DisplCell(int displCol, int row) const;
    void InsertRow(int row);
    void RemoveRow(int row);
    void MoveRow(int fromRow, int toRow);
    // Dragging a row's fixed cell moves the row.
    bool RowMoving() const { return rowMoving_; }
    void SetRowMoving(bool on) { rowMoving_ = on; }
    void ClearRows(); // keeps the header rows
    // The grid row at the top of the view; setting it scrolls (clamped to the rows).
    int TopRow() const;
    void SetTopRow(int row);

    // --- columns --------------------------------------------------------------------
    int AllColCount() const { return static_cast<int>(columns_.size()); }
    int ColCount() const { return static_cast<int>(shown_.size()); } // shown only
    int FixedCols() const { return fixedCols_; }
    void SetFixedCols(int cols);
    TGridColumn* AddColumn();
    TGridColumn* Column(int realCol) const;
    int IndexOfColumn(const TGridColumn* column) const;
    // Applies changed column entries (width, font, alignment, header) to the view.
    void ColumnsChanged();
    void SetColumnWidth(int realCol, int width);
    int ColumnWidth(int realCol) const; // the kept width for a hidden column

    // Column widths are design pixels (what windows set and the settings string keeps);
    // the views show them scaled by how much wider the grid's face is than the face
    // the widths were designed for, so a column holds the characters it was made for.
    static double DesignWidthScale(const QFont& font);
    double WidthScale() const { return widthScale_; }
    int ShownWidth(int realCol) const; // in screen pixels
    // The text a cell of the given width shows: the whole text when it fits, else "###"
    // for a number and the text cut with "…" otherwise.
    QString FitText(int realCol, const QString& text, const QFont& font, int cellWidth) const;
    bool IsNumberColumn(int realCol) const;
    // The width the grid needs to show all its shown columns without scrolling sideways.
    int FullWidth() const;

    void HideColumn(int realCol);
    void UnHideColumn(int realCol);
    void UnHideColumnsAll();
    bool IsHiddenColumn(int realCol) const;
    void MoveColumn(int fromReal, int toReal);
    int RealColIndex(int displCol) const;
    int DisplColIndex(int realCol) const; // -1 when hidden

    // --- fonts and looks -----------------------------------------------------------
    QFont GridFont() const { return gridFont_; }
    void SetGridFont(const QFont& font);
    QFont FixedFont() const { return fixedFont_; }
    void SetFixedFont(const QFont& font);
    int DefaultRowHeight() const { return rowHeight_; }
    void SetDefaultRowHeight(int height);
    QColor FixedColor() const { return fixedColor_; }

    // --- selection -----------------------------------------------------------------
    TGridRect Selection() const;
    void SetSelection(const TGridRect& rect);
    bool IsSelected(int displCol, int row) const;
    void SetSelectionOutline(bool on) { outline_ = on; }

    // --- sorting -------------------------------------------------------------------
    void SortByColumn(int realCol, bool ascending);
    // Sorts again by the last column and direction the user chose (after a load).
    void Resort();
    int SortColumn() const; // real index, -1 when unsorted
    // Whether the rows stand as the last sort left them: anything that writes, inserts
    // or moves rows clears it; a fill that put its rows in place itself marks it again.
    bool InSortOrder() const { return inSortOrder_; }
    void MarkInSortOrder() { inSortOrder_ = true; }
    bool SortAscending() const { return sortAscending_; }
    void SetFixedColumnSortable(bool on) { fixedSortable_ = on; }
    // A grid whose rows have a fixed meaning (header-like rows among the data) is
    // never sorted by a header click.
    void SetHeaderSortable(bool on) { headerSortable_ = on; }

    // --- editing (off unless asked for) ------------------------------------------------
    // Cells of shown, non-fixed, non-read-only columns of data rows are edited in place
    // (double click, F2 or typing) and written back with SetCell.
    void SetEditable(bool on);
    bool Editable() const { return editable_; }
    // The header row's height in pixels (both views), its captions word-wrapped.
    void SetHeaderRowHeight(int height);

    // --- hooks ---------------------------------------------------------------------
    using CellLookHook = std::function<void(int realCol, int row, TCellLook& look)>;
    using GridHintHook = std::function<void(int row, int displCol, QString& hint)>;
    void SetCellLookHook(CellLookHook hook);
    const CellLookHook& GetCellLookHook() const { return lookHook_; }
    void SetGridHintHook(GridHintHook hook) { hintHook_ = std::move(hook); }
    const GridHintHook& GetGridHintHook() const { return hintHook_; }
    // The hint shown for a cell: the hint event's text, else the whole text of a
    // cell that does not fit.
    QString HintFor(int displCol, int row);

    QMenu* PopupMenu() const { return popup_; }
    void SetPopupMenu(QMenu* menu) { popup_ = menu; }

    // The look of a cell with the hook applied (used by drawing and export).
    TCellLook CellLook(int realCol, int row) const;
    virtual Qt::Alignment CellAlignment(int realCol, int row) const;
    // A cell's text as copy and export read it.
    virtual QString GetSaveText(int realCol, int row) const;

    TRowStore& Store() { return store_; }

    // Batch fills: repaints are collected until the outermost EndUpdate, and the row
    // at the top of the view stays at the top when it survives the batch.
    void BeginUpdate();
    void EndUpdate();

signals:
    void Sorted();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

private:
    friend class TGridModel;
    friend class TGridHeader;
    friend class TFrozenView;
    void RebuildShown();
    void ApplyColumnsToViews();
    void PlaceFrozen();
    int FrozenWidth() const;
    void HeaderClicked(int displCol);
    void HeaderMoved(int logical, int oldVisual, int newVisual);
    void HeaderResized(int logical, int newSize);
    void CellsChanged();
    void RepaintCells();
    void RepaintHeaders();
    void LayoutViewsNow(); // applies a pending row layout to both views at once
    void DrawOutline(QTableView* view);
    int TextMargin() const;
    bool TextFits(const QFont& font, const QString& text, int cellWidth) const;

    TRowStore store_;
    std::vector<QString> rowBySlot_;         // SetRowTexts' texts by slot, kept between rows
    std::vector<QByteArrayView> utf8BySlot_; // the same for SetRowUtf8
    std::vector<std::unique_ptr<TGridColumn>> columns_;
    std::vector<int> shown_; // real index per displayed column
    int nextSlot_ = 0;
    int fixedRows_ = 1;
    int fixedCols_ = 1;
    QFont gridFont_;
    QFont fixedFont_;
    QColor fixedColor_;
    int rowHeight_ = 18;
    bool outline_ = true;
    bool fixedSortable_ = true;
    bool headerSortable_ = true;
    bool editable_ = false;
    bool headerWrap_ = false;
    int headerRowHeight_ = 0; // 0: as the header font needs
    bool rowMoving_ = false;
    const TGridColumn* sortColumn_ = nullptr;
    bool sortAscending_ = true;
    CellLookHook lookHook_;
    GridHintHook hintHook_;
    QPointer<QMenu> popup_;
    TGridModel* model_ = nullptr;
    TFrozenView* frozen_ = nullptr;
    int updateDepth_ = 0;
    bool resetPending_ = false; // columns changed inside a batch
    bool inSortOrder_ = false;
    QPersistentModelIndex batchTopRow_;
    int batchTopValue_ = 0;
    bool syncingWidths_ = false;
    double widthScale_ = 1.0;
};
