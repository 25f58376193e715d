#include "monitors/MonitorWindowKit.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "session/wire/Cp1251.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/NumberText.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace monitorkit {

void BuildGrid(TAdvColumnGrid& grid, std::span<const Column> columns,
               std::span<const HiddenColumn> hidden, QMenu* popup) {
    grid.SetFixedRows(1);
    grid.SetFixedCols(1);
    for (const Column& def : columns) {
        TGridColumn* column = grid.AddColumn();
        column->Name = QString::fromLatin1(def.name);
        column->Header = QString::fromUtf8(def.header);
        column->Width = def.width;
        column->Alignment = (def.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
        column->FloatFormat = QString::fromLatin1(def.format);
        column->SortStyle = def.sort;
    }
    grid.Column(0)->Fixed = true;
    grid.SetPopupMenu(popup);
    grid.Loaded();
    for (const HiddenColumn& def : hidden)
        grid.AddHiddenColumn(def.tag)->Name = QString::fromLatin1(def.name);
    grid.ColumnsChanged();
    grid.SetRowCount(grid.FixedRows() + 1);
}

QAction* AddAction(QWidget& window, QMenu& popup, const QString& caption, const QKeySequence& keys,
                   const QString& step, std::function<void()> run) {
    QAction* action = popup.addAction(caption);
    if (!keys.isEmpty()) {
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        window.addAction(action);
    }
    QObject::connect(action, &QAction::triggered, &window,
                     [step, run = std::move(run)] { GuardStep(step, run); });
    return action;
}

void UsePopup(QWidget& window, QMenu& popup) {
    window.setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(&window, &QWidget::customContextMenuRequested, &popup,
                     [&window, &popup](const QPoint& pos) { popup.exec(window.mapToGlobal(pos)); });
}

ListFrame BuildListBody(QWidget& owner, QWidget* top, std::initializer_list<PopupItem> items) {
    ListFrame frame;
    frame.layout = new QVBoxLayout(&owner);
    frame.layout->setContentsMargins(0, 0, 0, 0);
    frame.layout->setSpacing(0);
    if (top)
        frame.layout->addWidget(top);
    frame.grid = new TAdvColumnGrid(&owner);
    frame.layout->addWidget(frame.grid, 1);
    frame.popup = new QMenu(&owner);
    for (const PopupItem& item : items)
        frame.items.push_back(item.caption
                                  ? AddAction(owner, *frame.popup, QString::fromUtf8(item.caption),
                                              item.keys, QString::fromLatin1(item.step), item.run)
                                  : frame.popup->addSeparator());
    UsePopup(owner, *frame.popup);
    return frame;
}

ListFrame BuildListWindow(QWidget& window, const ListWindowShape& shape,
                          std::initializer_list<PopupItem> items) {
    window.setAttribute(Qt::WA_DeleteOnClose);
    window.setWindowTitle(shape.caption);
    window.resize(shape.width, 400);
    ListFrame frame = BuildListBody(window, shape.top, items);
    BuildGrid(*frame.grid, shape.columns, shape.hidden, frame.popup);
    if (shape.look)
        frame.grid->SetCellLookHook(shape.look);
    window.resize(std::max(window.width(), frame.grid->FullWidth()), window.height());
    return frame;
}

QToolBar* NewToolbar(QWidget& window) {
    auto* panel = new QToolBar(&window);
    panel->setIconSize(QSize(16, 16));
    return panel;
}

QString GridSettingsText(const TAdvColumnGrid& grid) {
    return Cp1251::Decode(grid.SaveSettings());
}

void LoadGridSettings(TAdvColumnGrid& grid, const QString& settings, const QString& step) {
    GuardStep(step, [&] { grid.LoadSettings(Cp1251::Encode(settings)); });
}

QString KeyValue(QLatin1StringView key, const QString& value) {
    return key + QLatin1Char('=') + value + QChar(0);
}

RowTexts::RowTexts(const TAdvColumnGrid& grid, std::initializer_list<int> tags) {
    for (int tag : tags)
        realOf_.emplace_back(tag, gridcols::RealByTag(grid, tag));
}

QString RowTexts::Get(int tag) const {
    for (const auto& [t, real] : realOf_)
        if (t == tag)
            return texts_ && real >= 0 && real < texts_->size() ? texts_->at(real) : QString();
    return {};
}

void RowTexts::Set(int tag, const QString& text) {
    for (const auto& [t, real] : realOf_)
        if (t == tag && texts_ && real >= 0 && real < texts_->size())
            (*texts_)[real] = text;
}

bool ReadInt(const QString& text, int& value) {
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok;
}

void ShowAccountName(RowTexts& cells, int idTag, int nameTag) {
    int id = 0;
    if (ReadInt(cells.Get(idTag), id))
        cells.Set(nameTag, TReferenceData::Current().AccountDisplayName(id, cells.Get(nameTag)));
}

void ShowClientName(RowTexts& cells, int idTag, int nameTag) {
    int id = 0;
    if (ReadInt(cells.Get(idTag), id))
        cells.Set(nameTag, TReferenceData::Current().ClientDisplayName(id, cells.Get(nameTag)));
}

QString BalanceFormat(const QString& securityId) {
    bool ok = false;
    const int id = securityId.trimmed().toInt(&ok);
    return ok && id < 0 ? QStringLiteral("%.2n") : QStringLiteral("%.0n");
}

void FormatCells(RowTexts& cells, const QString& format, std::initializer_list<int> tags) {
    for (int tag : tags) {
        double value = 0;
        const QString text = cells.Get(tag);
        if (!text.isEmpty() && TryParseLocaleNumber(text, value))
            cells.Set(tag, FormatNumberPrintf(format, value));
    }
}

void FormatBalances(RowTexts& cells, int idBumTag, std::initializer_list<int> tags) {
    FormatCells(cells, BalanceFormat(cells.Get(idBumTag)), tags);
}

} // namespace monitorkit
