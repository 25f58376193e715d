#include "StringGrid.h"
#include "GridModel.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <cmath>

// Shows the hint of the cell under a hint event in one of the grid's views (the
// main view or the frozen column), or hides the hint when the cell has none.
static void ShowCellHint(QTableView& view, TStringGrid& grid, QHelpEvent* help) {
    const QModelIndex index = view.indexAt(help->pos());
    const QString hint =
        index.isValid() ? grid.HintFor(index.column(), index.row() + grid.FixedRows()) : QString();
    if (hint.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), hint, view.viewport());
}

// ---------------------------------------------------------------------------------
// Header: sort arrows of our own beside the caption.

class TGridHeader : public QHeaderView {
public:
    explicit TGridHeader(TStringGrid* grid, QWidget* parent)
        : QHeaderView(Qt::Horizontal, parent), grid_(grid) {
        setSectionsClickable(true);
        setHighlightSections(false);
        setSortIndicatorShown(false);
        setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setMinimumSectionSize(0);
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logical) const override {
        painter->save();
        QHeaderView::paintSection(painter, rect, logical);
        painter->restore();
        const int sorted = grid_->SortColumn();
        if (sorted < 0 || grid_->RealColIndex(logical) != sorted || rect.width() < 12)
            return;
        // A small filled triangle at the right edge: point up for ascending.
        const int size = 7;
        const int x = rect.right() - size - 4;
        const int y = rect.center().y() - size / 2;
        QPainterPath arrow;
        if (grid_->SortAscending()) {
            arrow.moveTo(x, y + size - 1);
            arrow.lineTo(x + size, y + size - 1);
            arrow.lineTo(x + size / 2.0, y);
        } else {
            arrow.moveTo(x, y);
            arrow.lineTo(x + size, y);
            arrow.lineTo(x + size / 2.0, y + size - 1);
        }
        arrow.closeSubpath();
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(arrow, palette().color(QPalette::Shadow));
        painter->restore();
    }

private:
    TStringGrid* grid_;
};

// ---------------------------------------------------------------------------------
// Delegate: a selected cell keeps its normal colours; the selection shows as an outline.

class TGridDelegate : public QStyledItemDelegate {
public:
    explicit TGridDelegate(TStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    // A text that does not fit its cell never loses characters silently: a number
    // shows "###", a text ends with "…" (the hint shows either whole).
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const int real = grid_->RealColIndex(index.column());
        const QWidget* widget = cell.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        const TGridColumn* column = grid_->Column(real);
        if (column && column->SortStyle == TSortStyle::Markup && HoldsMarkup(cell.text)) {
            PaintMarkup(painter, cell, style);
            return;
        }
        cell.text = grid_->FitText(real, cell.text, cell.font, cell.rect.width());
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        option->textElideMode = Qt::ElideNone; // FitText has cut it already
    }

private:
    // A cell of a markup column: the background as usual, the text drawn as simple
    // rich text in the cell's font and colour, clipped to the cell.
    static void PaintMarkup(QPainter* painter, QStyleOptionViewItem& cell, QStyle* style) {
        const QString markup = cell.text;
        cell.text.clear();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
        QTextDocument doc;
        doc.setDefaultFont(cell.font);
        doc.setDocumentMargin(0);
        doc.setHtml(markup);
        const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, cell.widget);
        painter->save();
        painter->setClipRect(text);
        const qreal top = text.top() + (text.height() - doc.size().height()) / 2;
        painter->translate(text.left() + 2, top);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette.setColor(QPalette::Text, cell.palette.color(QPalette::Text));
        doc.documentLayout()->draw(painter, context);
        painter->restore();
    }

    TStringGrid* grid_;
};

// ---------------------------------------------------------------------------------
// The frozen leading columns: a second view over the same model laid on top of the
// main view's left edge. It shares the selection and scrolls vertically with it.

class TFrozenView : public QTableView {
public:
    explicit TFrozenView(TStringGrid* grid) : QTableView(grid), grid_(grid) {
        setHorizontalHeader(new TGridHeader(grid, this));
        verticalHeader()->hide();
        setFocusPolicy(Qt::NoFocus);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setFrameShape(QFrame::NoFrame);
        setEditTriggers(NoEditTriggers);
        setWordWrap(false);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QTableView::paintEvent(event);
        grid_->DrawOutline(this);
        if (dropRow_ >= 0) {
            QPainter painter(viewport());
            painter.fillRect(QRect(0, rowViewportPosition(dropRow_) - 1, viewport()->width(), 2),
                             QColor(0, 0, 128));
        }
    }
    bool viewportEvent(QEvent* event) override {
        if (event->type() == QEvent::ToolTip) {
            // Forward hints to the main view's logic.
            ShowCellHint(*this, *grid_, static_cast<QHelpEvent*>(event));
            return true;
        }
        return QTableView::viewportEvent(event);
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        if (grid_->PopupMenu())
            grid_->PopupMenu()->exec(event->globalPos());
    }
    // Rows move by dragging their fixed cell up or down.
    void mousePressEvent(QMouseEvent* event) override {
        dragFrom_ = -1;
        dropRow_ = -1;
        if (event->button() == Qt::LeftButton && grid_->RowMoving()) {
            const QModelIndex index = indexAt(event->position().toPoint());
            if (index.isValid()) {
                dragFrom_ = index.row();
                pressY_ = event->position().toPoint().y();
            }
        }
        QTableView::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (dragFrom_ >= 0 && (event->buttons() & Qt::LeftButton)) {
            const QPoint pos = event->position().toPoint();
            if (dropRow_ >= 0 || std::abs(pos.y() - pressY_) >= QApplication::startDragDistance()) {
                const QModelIndex index = indexAt(QPoint(2, pos.y()));
                dropRow_ = index.isValid() ? index.row() : dropRow_;
                viewport()->update();
                grid_->viewport()->update();
            }
            return;
        }
        QTableView::mouseMoveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const int from = dragFrom_, to = dropRow_;
        dragFrom_ = dropRow_ = -1;
        QTableView::mouseReleaseEvent(event);
        if (from >= 0 && to >= 0 && from != to)
            grid_->MoveRow(from + grid_->FixedRows(), to + grid_->FixedRows());
        viewport()->update();
    }

public:
    int DropRow() const { return dropRow_; }
    void LayoutNow() { executeDelayedItemsLayout(); }

private:
    TStringGrid* grid_;
    int dragFrom_ = -1;
    int dropRow_ = -1;
    int pressY_ = 0;
};

// ---------------------------------------------------------------------------------

TStringGrid::TStringGrid(QWidget* parent) : QTableView(parent) {
    model_ = new TGridModel(this);
    gridFont_ = font();
    fixedFont_ = font();
    fixedColor_ = palette().color(QPalette::Button);

    setHorizontalHeader(new TGridHeader(this, this));
    setModel(model_);
    setItemDelegate(new TGridDelegate(this));
    setSelectionMode(ContiguousSelection);
    setSelectionBehavior(SelectItems);
    setEditTriggers(NoEditTriggers);
    setWordWrap(false);
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(rowHeight_);
    horizontalHeader()->setSectionsMovable(true);

    frozen_ = new TFrozenView(this);
    frozen_->setModel(model_);
    frozen_->setItemDelegate(itemDelegate());
    frozen_->setSelectionModel(selectionModel());
    frozen_->setSelectionMode(ContiguousSelection);
    frozen_->verticalHeader()->setMinimumSectionSize(1);
    frozen_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    frozen_->verticalHeader()->setDefaultSectionSize(rowHeight_);
    viewport()->stackUnder(frozen_);

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int logical) { HeaderClicked(logical); });
    connect(frozen_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int logical) { HeaderClicked(logical); });
    connect(horizontalHeader(), &QHeaderView::sectionMoved, this,
            [this](int logical, int from, int to) { HeaderMoved(logical, from, to); });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) { HeaderResized(logical, size); });
    connect(frozen_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) { HeaderResized(logical, size); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, frozen_->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(frozen_->verticalScrollBar(), &QScrollBar::valueChanged, verticalScrollBar(),
            &QScrollBar::setValue);
    // The outline spans both views; repaint both when the selection changes.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        viewport()->update();
        frozen_->viewport()->update();
    });
    // Selected cells keep their normal colours: the style's selection panel is made
    // invisible, and the selection is drawn as an outline instead.
    for (QTableView* view : {static_cast<QTableView*>(this), static_cast<QTableView*>(frozen_)}) {
        QPalette colours = view->palette();
        colours.setColor(QPalette::Highlight, Qt::transparent);
        colours.setColor(QPalette::HighlightedText, colours.color(QPalette::Text));
        view->setPalette(colours);
    }
    ApplyColumnsToViews();
}

TStringGrid::~TStringGrid() {
    model_->Detach();
}

// --- rows and views -----------------------------------------------------------------

void TStringGrid::SetFixedRows(int rows) {
    fixedRows_ = std::clamp(rows, 0, 1);
    horizontalHeader()->setVisible(fixedRows_ > 0);
    frozen_->horizontalHeader()->setVisible(fixedRows_ > 0);
    model_->Reset();
    ApplyColumnsToViews();
}

void TStringGrid::RepaintCells() {
    viewport()->update();
    frozen_->viewport()->update();
}

void TStringGrid::RepaintHeaders() {
    horizontalHeader()->viewport()->update();
    frozen_->horizontalHeader()->viewport()->update();
}

void TStringGrid::LayoutViewsNow() {
    executeDelayedItemsLayout();
    frozen_->LayoutNow();
}

// --- columns ------------------------------------------------------------------------

void TStringGrid::SetFixedCols(int cols) {
    fixedCols_ = std::max(0, cols);
    ApplyColumnsToViews();
}

TGridColumn* TStringGrid::AddColumn() {
    auto column = std::make_unique<TGridColumn>();
    column->Font = gridFont_;
    column->slot_ = nextSlot_++;
    store_.SetSlotCount(nextSlot_);
    columns_.push_back(std::move(column));
    RebuildShown();
    return columns_.back().get();
}

TGridColumn* TStringGrid::Column(int realCol) const {
    if (realCol < 0 || realCol >= AllColCount())
        return nullptr;
    return columns_[realCol].get();
}

int TStringGrid::IndexOfColumn(const TGridColumn* column) const {
    for (int i = 0; i < AllColCount(); ++i)
        if (columns_[i].get() == column)
            return i;
    return -1;
}

void TStringGrid::ColumnsChanged() {
    model_->Reset();
    ApplyColumnsToViews();
}

void TStringGrid::SetColumnWidth(int realCol, int width) {
    if (TGridColumn* column = Column(realCol)) {
        column->Width = std::max(0, width);
        ApplyColumnsToViews();
    }
}

int TStringGrid::ColumnWidth(int realCol) const {
    const TGridColumn* column = Column(realCol);
    return column ? column->Width : 0;
}

void TStringGrid::HideColumn(int realCol) {
    TGridColumn* column = Column(realCol);
    if (!column || column->hidden_)
        return;
    column->hidden_ = true; // Width keeps the width it had
    RebuildShown();
}

void TStringGrid::UnHideColumn(int realCol) {
    TGridColumn* column = Column(realCol);
    if (!column || !column->hidden_)
        return;
    column->hidden_ = false;
    RebuildShown();
}

void TStringGrid::UnHideColumnsAll() {
    bool any = false;
    for (auto& column : columns_) {
        any = any || column->hidden_;
        column->hidden_ = false;
    }
    if (any)
        RebuildShown();
}

bool TStringGrid::IsHiddenColumn(int realCol) const {
    const TGridColumn* column = Column(realCol);
    return column && column->hidden_;
}

void TStringGrid::MoveColumn(int fromReal, int toReal) {
    if (!Column(fromReal) || !Column(toReal) || fromReal == toReal)
        return;
    auto moved = std::move(columns_[fromReal]);
    columns_.erase(columns_.begin() + fromReal);
    columns_.insert(columns_.begin() + toReal, std::move(moved));
    RebuildShown();
}

int TStringGrid::RealColIndex(int displCol) const {
    if (displCol < 0 || displCol >= ColCount())
        return -1;
    return shown_[displCol];
}

int TStringGrid::DisplColIndex(int realCol) const {
    for (int i = 0; i < ColCount(); ++i)
        if (shown_[i] == realCol)
            return i;
    return -1;
}

void TStringGrid::RebuildShown() {
    shown_.clear();
    for (int i = 0; i < AllColCount(); ++i)
        if (!columns_[i]->hidden_)
            shown_.push_back(i);
    if (updateDepth_ > 0) {
        resetPending_ = true;
        return;
    }
    model_->Reset();
    ApplyColumnsToViews();
}

void TStringGrid::ApplyColumnsToViews() {
    const TGridColumn* data = Column(fixedCols_);
    widthScale_ = DesignWidthScale(data ? data->Font : gridFont_);
    syncingWidths_ = true;
    QHeaderView* mainHeader = horizontalHeader();
    QHeaderView* frozenHeader = frozen_->horizontalHeader();
    for (int d = 0; d < ColCount(); ++d) {
        const int width = ShownWidth(shown_[d]);
        mainHeader->resizeSection(d, width);
        frozenHeader->resizeSection(d, width);
        frozen_->setColumnHidden(d, d >= fixedCols_);
    }
    const int headerHeight =
        headerRowHeight_ > 0 ? headerRowHeight_ : QFontMetrics(fixedFont_).height() + 6;
    mainHeader->setFixedHeight(fixedRows_ > 0 ? std::max(headerHeight, rowHeight_) : 0);
    frozenHeader->setFixedHeight(mainHeader->height());
    syncingWidths_ = false;
    PlaceFrozen();
    viewport()->update();
    frozen_->viewport()->update();
}

int TStringGrid::FrozenWidth() const {
    int width = 0;
    for (int d = 0; d < std::min(fixedCols_, ColCount()); ++d)
        width += ShownWidth(shown_[d]);
    return width;
}

void TStringGrid::PlaceFrozen() {
    const int width = FrozenWidth();
    frozen_->setVisible(width > 0 && fixedCols_ > 0 && ColCount() > fixedCols_);
    frozen_->setGeometry(frameWidth(), frameWidth(), width,
                         viewport()->height() + horizontalHeader()->height());
}

void TStringGrid::HeaderResized(int logical, int size) {
    if (syncingWidths_)
        return;
    const int real = RealColIndex(logical);
    if (real < 0)
        return;
    // The column keeps design pixels; a width the scale gives back unchanged stays
    // exactly as it was, so an untouched column saves the same number.
    if (ShownWidth(real) != size)
        columns_[real]->Width = static_cast<int>(std::lround(size / widthScale_));
    syncingWidths_ = true;
    horizontalHeader()->resizeSection(logical, size);
    frozen_->horizontalHeader()->resizeSection(logical, size);
    syncingWidths_ = false;
    PlaceFrozen();
}

void TStringGrid::HeaderMoved(int logical, int oldVisual, int newVisual) {
    // The header only reports the drag; the collection entry itself moves, so put
    // the header back and move the column.
    QHeaderView* header = horizontalHeader();
    header->blockSignals(true);
    header->moveSection(newVisual, oldVisual);
    header->blockSignals(false);
    const int from = RealColIndex(logical);
    const int to = RealColIndex(newVisual);
    if (from < 0 || to < 0 || newVisual < fixedCols_ || oldVisual < fixedCols_)
        return;
    QTimer::singleShot(0, this, [this, from, to] { MoveColumn(from, to); });
}

// --- fonts --------------------------------------------------------------------------

void TStringGrid::SetGridFont(const QFont& font) {
    gridFont_ = font;
    viewport()->update();
}

void TStringGrid::SetFixedFont(const QFont& font) {
    fixedFont_ = font;
    horizontalHeader()->setFont(font);
    frozen_->horizontalHeader()->setFont(font);
    ApplyColumnsToViews();
}

void TStringGrid::SetEditable(bool on) {
    editable_ = on;
    setEditTriggers(on ? (DoubleClicked | EditKeyPressed | AnyKeyPressed) : NoEditTriggers);
}

void TStringGrid::SetHeaderRowHeight(int height) {
    headerWrap_ = true;
    headerRowHeight_ = std::max(1, height);
    ApplyColumnsToViews();
}

void TStringGrid::SetDefaultRowHeight(int height) {
    height = std::max(1, height);
    if (height == rowHeight_)
        return; // the headers walk every row on a change
    rowHeight_ = height;
    verticalHeader()->setDefaultSectionSize(rowHeight_);
    frozen_->verticalHeader()->setDefaultSectionSize(rowHeight_);
    ApplyColumnsToViews();
}

// --- looks --------------------------------------------------------------------------

TCellLook TStringGrid::CellLook(int realCol, int row) const {
    TCellLook look;
    const TGridColumn* column = Column(realCol);
    look.Font = row < fixedRows_ ? fixedFont_ : (column ? column->Font : gridFont_);
    if (row < fixedRows_)
        look.Background = fixedColor_;
    else if (column && column->Fixed)
        look.Background = fixedColor_;
    if (lookHook_ && row >= fixedRows_)
        lookHook_(realCol, row, look);
    return look;
}

Qt::Alignment TStringGrid::CellAlignment(int realCol, int /*row*/) const {
    const TGridColumn* column = Column(realCol);
    const Qt::Alignment horizontal =
        column ? column->Alignment & Qt::AlignHorizontal_Mask : Qt::Alignment(Qt::AlignLeft);
    return horizontal | Qt::AlignBottom;
}

QString TStringGrid::GetSaveText(int realCol, int row) const {
    return Cell(realCol, row);
}

void TStringGrid::SetCellLookHook(CellLookHook hook) {
    lookHook_ = std::move(hook);
    viewport()->update();
}

// --- selection ----------------------------------------------------------------------

TGridRect TStringGrid::Selection() const {
    TGridRect rect;
    const QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty()) {
        const QModelIndex current = currentIndex();
        if (!current.isValid())
            return rect;
        rect.Left = rect.Right = current.column();
        rect.Top = rect.Bottom = current.row() + fixedRows_;
        return rect;
    }
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (const QItemSelectionRange& range : selection) {
        left = std::min(left, range.left());
        right = std::max(right, range.right());
        top = std::min(top, range.top());
        bottom = std::max(bottom, range.bottom());
    }
    rect.Left = left;
    rect.Right = right;
    rect.Top = top + fixedRows_;
    rect.Bottom = bottom + fixedRows_;
    return rect;
}

void TStringGrid::SetSelection(const TGridRect& wanted) {
    selectionModel()->clearSelection();
    TGridRect rect = wanted;
    rect.Left = std::max(rect.Left, fixedCols_);
    rect.Top = std::max(rect.Top, fixedRows_);
    if (rect.IsEmpty())
        return;
    const QModelIndex topLeft = model_->index(rect.Top - fixedRows_, rect.Left);
    const QModelIndex bottomRight = model_->index(rect.Bottom - fixedRows_, rect.Right);
    if (!topLeft.isValid() || !bottomRight.isValid())
        return;
    selectionModel()->setCurrentIndex(topLeft, QItemSelectionModel::NoUpdate);
    selectionModel()->select(QItemSelection(topLeft, bottomRight),
                             QItemSelectionModel::ClearAndSelect);
}

bool TStringGrid::IsSelected(int displCol, int row) const {
    if (row < fixedRows_ || displCol < fixedCols_)
        return false;
    const TGridRect rect = Selection();
    return !rect.IsEmpty() && displCol >= rect.Left && displCol <= rect.Right && row >= rect.Top &&
           row <= rect.Bottom;
}

void TStringGrid::DrawOutline(QTableView* view) {
    if (!outline_)
        return;
    const TGridRect rect = Selection();
    if (rect.IsEmpty())
        return;
    const QRect first = view->visualRect(model_->index(rect.Top - fixedRows_, rect.Left));
    const QRect last = view->visualRect(model_->index(rect.Bottom - fixedRows_, rect.Right));
    // Columns hidden in this view give empty rectangles; clip to what the view shows.
    int left = first.isValid() ? first.left() : -2;
    int right = last.isValid() ? last.right() : view->viewport()->width() + 2;
    if (!first.isValid() && !last.isValid()) {
        if (view == frozen_)
            return;
    }
    const int top = view->rowViewportPosition(rect.Top - fixedRows_);
    const int bottom = view->rowViewportPosition(rect.Bottom - fixedRows_) + rowHeight_ - 1;
    if (view == this && first.isValid() && rect.Left < fixedCols_)
        left = first.left();
    QPainter painter(view->viewport());
    QPen pen(QColor(0, 0, 128));
    pen.setWidth(2);
    painter.setPen(pen);
    painter.drawRect(QRect(QPoint(left + 1, top + 1), QPoint(right - 1, bottom - 1)));
}

// --- hints and events ---------------------------------------------------------------

QString TStringGrid::HintFor(int displCol, int row) {
    QString hint;
    if (hintHook_)
        hintHook_(row, displCol, hint);
    if (!hint.isEmpty())
        return hint;
    const int real = RealColIndex(displCol);
    const QString text = Cell(real, row);
    if (text.isEmpty() || TextFits(CellLook(real, row).Font, text, ShownWidth(real)))
        return {};
    return text;
}

// --- widths and fitting -------------------------------------------------------------

double TStringGrid::DesignWidthScale(const QFont& font) {
    // The design face: 8 points at 96 dpi, its characters and its digits 5 pixels
    // wide. Digits count on their own: a face may be narrow on average and still
    // wide in the digits that fill most columns.
    constexpr double kDesignChar = 5.0;
    const QFontMetricsF metrics(font);
    const double ratio =
        std::max(metrics.averageCharWidth(), metrics.horizontalAdvance(QLatin1Char('0'))) /
        kDesignChar;
    return std::max(1.0, std::round(ratio * 100.0) / 100.0);
}

int TStringGrid::ShownWidth(int realCol) const {
    const TGridColumn* column = Column(realCol);
    return column ? static_cast<int>(std::lround(column->Width * widthScale_)) : 0;
}

int TStringGrid::FullWidth() const {
    int width = 2 * frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    for (const int real : shown_)
        width += ShownWidth(real);
    return width;
}

int TStringGrid::TextMargin() const {
    return style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
}

bool TStringGrid::TextFits(const QFont& font, const QString& text, int cellWidth) const {
    return QFontMetrics(font).horizontalAdvance(text) <= cellWidth - 2 * TextMargin();
}

bool TStringGrid::IsNumberColumn(int realCol) const {
    const TGridColumn* column = Column(realCol);
    return column && (column->SortStyle == TSortStyle::Numeric ||
                      column->SortStyle == TSortStyle::Financial ||
                      !column->FloatFormat.isEmpty() || (column->Alignment & Qt::AlignRight));
}

static bool LooksLikeNumber(const QString& text) {
    bool digit = false;
    for (const QChar c : text) {
        if (c.isDigit())
            digit = true;
        else if (!c.isSpace() && !QStringLiteral("+-.,%eE").contains(c))
            return false;
    }
    return digit;
}

QString TStringGrid::FitText(int realCol, const QString& text, const QFont& font,
                             int cellWidth) const {
    if (text.isEmpty() || TextFits(font, text, cellWidth))
        return text;
    if (IsNumberColumn(realCol) && LooksLikeNumber(text))
        return QStringLiteral("###");
    return QFontMetrics(font).elidedText(text, Qt::ElideRight, cellWidth - 2 * TextMargin());
}

bool TStringGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        ShowCellHint(*this, *this, static_cast<QHelpEvent*>(event));
        return true;
    }
    return QTableView::viewportEvent(event);
}

void TStringGrid::contextMenuEvent(QContextMenuEvent* event) {
    if (popup_)
        popup_->exec(event->globalPos());
}

void TStringGrid::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    DrawOutline(this);
}

void TStringGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    PlaceFrozen();
}

void TStringGrid::updateGeometries() {
    QTableView::updateGeometries();
    if (frozen_)
        PlaceFrozen();
}

QModelIndex TStringGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = QTableView::moveCursor(action, modifiers);
    // Keep a cell that moved left under the frozen columns in view.
    const int frozen = FrozenWidth();
    if (action == MoveLeft && current.isValid() && current.column() >= fixedCols_ &&
        visualRect(current).left() < frozen) {
        const int shift = visualRect(current).left() - frozen;
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + shift);
    }
    return current;
}

void TStringGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid())
        return;
    if (index.column() >= fixedCols_) {
        QTableView::scrollTo(index, hint);
        return;
    }
    // A frozen cell is always in view sideways; only bring its row into view.
    QScrollBar* bar = verticalScrollBar();
    const int visible = std::max(1, viewport()->height() / std::max(1, rowHeight_));
    if (index.row() < bar->value())
        bar->setValue(index.row());
    else if (index.row() >= bar->value() + visible)
        bar->setValue(index.row() - visible + 1);
}
