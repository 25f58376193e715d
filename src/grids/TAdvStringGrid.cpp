#include "TAdvStringGrid.h"

#include "grids/GridExport.h"
#include "shell/base/Services.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include <algorithm>

namespace {

// Draws cells of several lines: the lines of a cell are separated by carriage returns,
// which Qt's text drawing would not break at, so each line is fitted on its own and
// the lines are handed over with the line separator the text layout breaks at.
class TLinesDelegate : public QStyledItemDelegate {
public:
    explicit TLinesDelegate(TAdvStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const int real = grid_->RealColIndex(index.column());
        const int width = cell.rect.width();
        QStringList lines = cell.text.split(QLatin1Char('\r'));
        for (QString& line : lines)
            line = grid_->FitText(real, line, cell.font, width);
        cell.text = lines.join(QChar::LineSeparator);
        // Rows are as tall as their longest cell: every cell starts at the top.
        cell.displayAlignment = (cell.displayAlignment & Qt::AlignHorizontal_Mask) | Qt::AlignTop;
        const QWidget* widget = cell.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        option->textElideMode = Qt::ElideNone;
    }

private:
    TAdvStringGrid* grid_;
};

} // namespace

TAdvStringGrid::TAdvStringGrid(QWidget* parent) : TStringGrid(parent) {
    setItemDelegate(new TLinesDelegate(this));
}

void TAdvStringGrid::Loaded() {
    SetFixedColumnSortable(true);
    SetSelectionOutline(false); // the selection highlight is hidden
    SetRowMoving(true);
    if (QMenu* menu = PopupMenu()) {
        menu->addSeparator();
        connect(menu->addAction(QStringLiteral("Копировать все")), &QAction::triggered, this,
                [this] { MenuCopyAll(); });
        connect(menu->addAction(QStringLiteral("Копировать выделенное")), &QAction::triggered, this,
                [this] { MenuCopySelection(); });
    }
}

void TAdvStringGrid::MenuCopyAll() {
    StrToClipboard(PlainGridCopyText(*this, false));
}

void TAdvStringGrid::MenuCopySelection() {
    StrToClipboard(PlainGridCopyText(*this, true));
}

void TAdvStringGrid::StrToClipboard(const QString& text) {
    Services::Clipboard().SetText(text);
}

bool TAdvStringGrid::IsVisibleVertSrollBar() const {
    const QScrollBar* bar = verticalScrollBar();
    return bar && !(bar->minimum() == 0 && bar->maximum() == 0);
}

void TAdvStringGrid::SetRowHeight(int row, int height) {
    const int dataRow = row - FixedRows();
    if (dataRow < 0 || dataRow >= RowCount() - FixedRows())
        return;
    verticalHeader()->resizeSection(dataRow, std::max(1, height));
}

int TAdvStringGrid::RowHeight(int row) const {
    const int dataRow = row - FixedRows();
    if (dataRow < 0)
        return horizontalHeader()->height();
    return verticalHeader()->sectionSize(dataRow);
}

void TAdvStringGrid::ZoomFont(int step) {
    QFont font = GridFont();
    const int points = font.pointSize() > 0 ? font.pointSize() : 8;
    const int wanted = std::clamp(points + (step > 0 ? 1 : -1), kMinFontPoints, kMaxFontPoints);
    if (step == 0 || wanted == points)
        return;
    font.setPointSize(wanted);
    SetGridFont(font);
    for (int c = 0; c < AllColCount(); ++c)
        Column(c)->Font = font;
    // The rows keep their heights until the owner lays them out for the new font.
    std::vector<int> heights;
    for (int r = 0; r < verticalHeader()->count(); ++r)
        heights.push_back(verticalHeader()->sectionSize(r));
    ColumnsChanged();
    for (int r = 0; r < int(heights.size()) && r < verticalHeader()->count(); ++r)
        verticalHeader()->resizeSection(r, heights[size_t(r)]);
    emit FontZoomed();
}

void TAdvStringGrid::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        const int delta = event->angleDelta().y();
        if (delta != 0)
            ZoomFont(delta);
        event->accept();
        return;
    }
    TStringGrid::wheelEvent(event);
}
