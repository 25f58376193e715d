#include "TAdvStringGrid.h"

#include "grids/GridExport.h"
#include "shell/base/Services.h"

#include <QMenu>
#include <QScrollBar>

TAdvStringGrid::TAdvStringGrid(QWidget* parent) : TStringGrid(parent) {}

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
