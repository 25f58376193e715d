#include "TAdvColumnGrid.h"

#include "grids/GridEvents.h"
#include "grids/GridExport.h"
#include "grids/SettingsStream.h"
#include "grids/TFormCols.h"
#include "shell/base/NumberText.h"
#include "shell/base/Services.h"
#include "shell/base/WorkstationLocale.h"

#include <QAction>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>

#include <cmath>

namespace {

const char kSignature[] = "acg04";

QPointer<TFormCols>& SharedColumnsDialog() {
    static QPointer<TFormCols> dialog;
    return dialog;
}

// Style bits as the settings string keeps them: 8 bold, 4 italic, 2 underline, 1 strike.
int StyleOf(const QFont& font) {
    const int natural = (font.bold() ? 1 : 0) | (font.italic() ? 2 : 0) |
                        (font.underline() ? 4 : 0) | (font.strikeOut() ? 8 : 0);
    return ReverseStyleBits(natural);
}

void ApplyStyle(QFont& font, int stored) {
    const int natural = ReverseStyleBits(stored & 0x0F);
    font.setBold(natural & 1);
    font.setItalic(natural & 2);
    font.setUnderline(natural & 4);
    font.setStrikeOut(natural & 8);
}

int PointSizeOf(const QFont& font) {
    if (font.pointSize() > 0)
        return font.pointSize();
    if (font.pointSizeF() > 0)
        return static_cast<int>(std::lround(font.pointSizeF()));
    return font.pixelSize() > 0 ? static_cast<int>(std::lround(font.pixelSize() * 72.0 / 96.0)) : 8;
}

void WriteFont(TSettingsWriter& out, const QFont& font) {
    out.WriteString(font.family());
    out.WriteInteger(PointSizeOf(font));
    out.WriteInteger(StyleOf(font));
}

QFont ReadFont(TSettingsReader& in, QFont font) {
    font.setFamily(in.ReadString());
    const int size = in.ReadInteger();
    if (size > 0 && size < 500)
        font.setPointSize(size);
    ApplyStyle(font, in.ReadInteger());
    return font;
}

} // namespace

TAdvColumnGrid::TAdvColumnGrid(QWidget* parent) : TStringGrid(parent) {}

void TAdvColumnGrid::Loaded() {
    if (loaded_)
        return;
    loaded_ = true;
    SetFixedColumnSortable(true);
    SetSelectionOutline(true);
    SetRowMoving(true);
    for (int i = 0; i < AllColCount(); ++i) {
        TGridColumn* column = Column(i);
        column->ReadOnly = true;
        column->Tag = i;
        if (i < FixedCols())
            column->Fixed = true;
    }
    savedGridHint_ = GetGridHintHook();
    SetGridHintHook([this](int row, int col, QString& hint) { GridSumHint(row, col, hint); });
    ExtendPopupMenu();
    ColumnsChanged();
    defaultSettings_ = SaveSettings();
}

void TAdvColumnGrid::ExtendPopupMenu() {
    // Only a grid that has a popup menu gets the grid's commands (and Ctrl+S): the
    // editors' grids have none and must not offer export or print.
    QMenu* menu = PopupMenu();
    if (!menu)
        return;
    firstOwnSeparator_ = menu->addSeparator();
    QMenu* settings = menu->addMenu(QStringLiteral("Настройки"));
    connect(settings->addAction(QStringLiteral("Колонки")), &QAction::triggered, this,
            [this] { ShowColumnsDialog(); });
    connect(settings->addAction(QStringLiteral("Шрифт таблицы")), &QAction::triggered, this,
            [this] { ChooseTableFont(); });
    connect(settings->addAction(QStringLiteral("Шрифт заголовков")), &QAction::triggered, this,
            [this] { ChooseHeaderFont(); });
    settings->addSeparator();
    connect(settings->addAction(QStringLiteral("Восстановить по умолчанию")), &QAction::triggered,
            this, [this] { RestoreDefaults(); });
    menu->addSeparator();
    QAction* exportAction = menu->addAction(QStringLiteral("Экспорт в файл..."));
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    exportAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(exportAction); // the shortcut works without opening the menu
    connect(exportAction, &QAction::triggered, this, [this] { ExportToFile(); });
    connect(menu->addAction(QStringLiteral("Печать")), &QAction::triggered, this,
            [this] { PrintGrid(); });
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Копировать все")), &QAction::triggered, this,
            [this] { MenuCopyAll(); });
    connect(menu->addAction(QStringLiteral("Копировать выделенное")), &QAction::triggered, this,
            [this] { MenuCopySelection(); });
}

void TAdvColumnGrid::InsertPopupItem(QAction* action) {
    if (!action)
        return;
    QMenu* menu = PopupMenu();
    if (!menu)
        return;
    if (firstOwnSeparator_)
        menu->insertAction(firstOwnSeparator_, action);
    else
        menu->addAction(action);
}

// --- settings string ----------------------------------------------------------------

QByteArray TAdvColumnGrid::SaveSettings() const {
    TSettingsWriter out;
    out.WriteString(QString::fromLatin1(kSignature));
    const TGridColumn* data = Column(FixedCols());
    WriteFont(out, data ? data->Font : GridFont());
    WriteFont(out, FixedFont());
    int count = 0;
    for (int i = 0; i < AllColCount(); ++i)
        if (Column(i)->Tag >= 0)
            ++count;
    out.WriteInteger(count);
    for (int i = 0; i < AllColCount(); ++i) {
        const TGridColumn* column = Column(i);
        if (column->Tag < 0)
            continue;
        out.WriteInteger(column->Tag);
        out.WriteInteger(column->Width);
        out.WriteBoolean(IsHiddenColumn(i));
    }
    return out.Bytes();
}

void TAdvColumnGrid::LoadSettings(const QByteArray& settings) {
    TSettingsReader in(settings);
    if (in.ReadString() != QLatin1String(kSignature))
        return;
    SetGridFont(ReadFont(in, GridFont()));
    SetFixedFont(ReadFont(in, FixedFont()));
    const int count = in.ReadInteger();

    BeginUpdate();
    std::vector<bool> hidden(static_cast<std::size_t>(AllColCount()), false);
    UnHideColumnsAll();
    try {
        for (int i = 0; i < count; ++i) {
            const int tag = in.ReadInteger();
            TGridColumn* column = ColumnByTag(tag);
            const int width = in.ReadInteger();
            const bool isHidden = in.ReadBoolean();
            // An entry whose tag no column has, or that would land beyond the last
            // column, is skipped; the others still apply.
            if (!column || i >= AllColCount())
                continue;
            column->Width = std::max(0, width);
            MoveColumn(IndexOfColumn(column), i);
            hidden[i] = isHidden;
        }
    } catch (const TSettingsReadError&) {
        // The entries applied so far stay.
    }
    for (int j = 0; j < AllColCount(); ++j) {
        TGridColumn* column = Column(j);
        if (!column->Fixed)
            column->Font = GridFont();
        if ((hidden[j] || column->Tag < 0) && ColCount() > FixedCols() + 1)
            HideColumn(j);
    }
    EndUpdate();
    UpdateRowHeight();
    ColumnsChanged();
}

void TAdvColumnGrid::RestoreDefaults() {
    try {
        LoadSettings(defaultSettings_);
    } catch (const TSettingsReadError&) {
        // The defaults were written by this grid; a failure leaves the grid as it is.
    }
}

TGridColumn* TAdvColumnGrid::ColumnByTag(int id) const {
    for (int i = 0; i < AllColCount(); ++i)
        if (Column(i)->Tag == id)
            return Column(i);
    return nullptr;
}

TGridColumn* TAdvColumnGrid::AddHiddenColumn(int tag) {
    TGridColumn* column = AddColumn();
    column->Tag = tag;
    column->ReadOnly = true;
    HideColumn(AllColCount() - 1);
    return column;
}

int TAdvColumnGrid::FontHeight(const QFont& font) {
    if (font.pixelSize() > 0)
        return -font.pixelSize();
    return -static_cast<int>(std::lround(PointSizeOf(font) * 96.0 / 72.0));
}

void TAdvColumnGrid::UpdateRowHeight() {
    const TGridColumn* data = Column(FixedCols());
    const int dataHeight = FontHeight(data ? data->Font : GridFont());
    const int h = std::min(dataHeight, FontHeight(FixedFont()));
    SetDefaultRowHeight(h < -15 ? 3 - h : 5 - h);
}

// --- menu actions -------------------------------------------------------------------

void TAdvColumnGrid::SetColumnsDialog(TFormCols* dialog) {
    SharedColumnsDialog() = dialog;
}

void TAdvColumnGrid::ShowColumnsDialog() {
    TFormCols* dialog = SharedColumnsDialog().data();
    std::unique_ptr<TFormCols> own;
    if (!dialog) {
        own = std::make_unique<TFormCols>(this);
        dialog = own.get();
    }
    dialog->Clear();
    for (int i = FixedCols(); i < AllColCount(); ++i) {
        const TGridColumn* column = Column(i);
        if (column->Tag >= 0)
            dialog->AddEntry(column->Header, column->Tag, !IsHiddenColumn(i));
    }
    if (!dialog->Execute())
        return;
    BeginUpdate();
    UnHideColumnsAll();
    const int entries = dialog->Count();
    for (int p = 0; p < entries; ++p) {
        TGridColumn* column = ColumnByTag(dialog->Entry(p).Value);
        if (column && FixedCols() + p < AllColCount())
            MoveColumn(IndexOfColumn(column), FixedCols() + p);
    }
    for (int p = 0; p < entries; ++p) {
        const TColsEntry entry = dialog->Entry(p);
        TGridColumn* column = ColumnByTag(entry.Value);
        if (column && (!entry.Checked || column->Tag < 0))
            HideColumn(IndexOfColumn(column));
    }
    for (int i = FixedCols(); i < AllColCount(); ++i)
        if (Column(i)->Tag < 0)
            HideColumn(i);
    EndUpdate();
}

void TAdvColumnGrid::ChooseTableFont() {
    const TGridColumn* data = Column(FixedCols());
    QFont font = data ? data->Font : GridFont();
    if (!Services::FontDialog().ChooseFont(this, font))
        return;
    for (int i = FixedCols(); i < AllColCount(); ++i)
        Column(i)->Font = font;
    UpdateRowHeight();
    ColumnsChanged();
}

void TAdvColumnGrid::ChooseHeaderFont() {
    QFont font = FixedFont();
    if (!Services::FontDialog().ChooseFont(this, font))
        return;
    SetFixedFont(font);
    UpdateRowHeight();
}

void TAdvColumnGrid::MenuCopyAll() {
    CopyToClipboard(GridCopyText(*this, false));
}

void TAdvColumnGrid::MenuCopySelection() {
    CopyToClipboard(GridCopyText(*this, true));
}

void TAdvColumnGrid::CopyToClipboard(const QString& text) {
    Services::Clipboard().SetText(text);
}

void TAdvColumnGrid::ExportToFile() {
    ExportGridWithDialog(*this);
}

void TAdvColumnGrid::PrintGrid() {
    PrintGridToDefaultPrinter(*this);
}

QString TAdvColumnGrid::PrintJobName() const {
    // The nearest enclosing window: a child window of the frame when the grid is in
    // one (window() would skip it and give the frame's caption), else the top level.
    const QWidget* holder = parentWidget();
    while (holder && !holder->isWindow() && !qobject_cast<const QMdiSubWindow*>(holder))
        holder = holder->parentWidget();
    if (!holder || holder->windowTitle().isEmpty())
        return QStringLiteral("Velmor-Orvex");
    return holder->windowTitle().left(50);
}

// --- selection sum ------------------------------------------------------------------

void TAdvColumnGrid::GridSumHint(int row, int displCol, QString& hint) {
    try {
        if (savedGridHint_)
            savedGridHint_(row, displCol, hint);
        if (!hint.isEmpty())
            return;
        if (!IsSelected(displCol, row)) {
            PostGridSum(QString());
            return;
        }
        const int real = RealColIndex(displCol);
        const TGridColumn* column = Column(real);
        if (!column)
            return;
        const bool numeric = (column->Alignment & Qt::AlignRight) ||
                             column->SortStyle == TSortStyle::Numeric ||
                             column->SortStyle == TSortStyle::Financial ||
                             (CellAlignment(real, row) & Qt::AlignRight);
        if (!numeric)
            return;
        const TGridRect rect = Selection();
        if (!(rect.Top < rect.Bottom) || rect.Left != rect.Right)
            return;
        double sum = 0;
        for (int r = rect.Top; r <= rect.Bottom; ++r)
            sum += ParseGroupedNumber(Cell(real, r), 0);
        hint = QStringLiteral("Сумма= ") + FormatNumberPattern(QStringLiteral(",0.00"), sum);
        PostGridSum(hint);
    } catch (...) {
        // The hint stays as it was.
    }
}

// --- overrides ----------------------------------------------------------------------

QString TAdvColumnGrid::GetSaveText(int realCol, int row) const {
    QString text = TStringGrid::GetSaveText(realCol, row);
    const TGridColumn* column = Column(realCol);
    if (row >= FixedRows() && column && column->SortStyle == TSortStyle::Financial)
        text.remove(WorkstationLocale::Current().thousandSeparator);
    // Copy and export take what the cell shows, not its tags.
    if (row >= FixedRows() && column && column->SortStyle == TSortStyle::Markup)
        text = StripMarkup(text);
    return text;
}

Qt::Alignment TAdvColumnGrid::CellAlignment(int realCol, int row) const {
    if (row < FixedRows())
        return Qt::AlignLeft | Qt::AlignVCenter;
    return TStringGrid::CellAlignment(realCol, row);
}
