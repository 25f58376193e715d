#include "monitors/TFormProv.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/MonitorWindowKit.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/NumberText.h"
#include "shell/contract/ShellEvents.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QEvent>
#include <QStyle>
#include <QToolBar>

using namespace monitorkit;

namespace {

const Column kColumns[] = {
    {"id_pr", "Номер", 43, true, "", TSortStyle::Financial},
    {"pkogda", "Время", 59, false, "", TSortStyle::Automatic},
    {"oaname", "Счет отправителя", 75, false, "", TSortStyle::Automatic},
    {"ianame", "Счет получателя", 74, false, "", TSortStyle::Automatic},
    {"instr", "Инструмент", 78, false, "", TSortStyle::Automatic},
    {"pvol", "Объем", 86, true, "%.2n", TSortStyle::Financial},
    {"prim", "Основание", 111, false, "", TSortStyle::Automatic},
    {"pprice", "Средняя цена", 46, true, "%.4n", TSortStyle::Financial},
};

const HiddenColumn kHidden[] = {
    {TFormProv::kIdDebit, "ID_ACC_DEBET"},
    {TFormProv::kIdCredit, "ID_ACC_KREDIT"},
    {TFormProv::kIdBum, "ID_BUM"},
};

const QString kTransactionsQuery = QString::number(vocab::list::kTransactions);

INewTransactionDialog* Dialog() {
    return INewTransactionDialog::Current();
}

} // namespace

TFormProv::TFormProv(QWidget* parent)
    : TChildWindow(parent),
      sesProv_(
          QStringLiteral("SesProv"), true, [this] { SesProvLogin(); }, [this] { SesProvData(); }) {
    panel_ = NewToolbar(*this);
    const ListFrame frame = BuildListWindow(
        *this,
        {QStringLiteral("Проводки"), 640, kColumns, kHidden, panel_,
         [this](int realCol, int row, TCellLook& look) { CellLook(realCol, row, look); }},
        {{"Новая проводка", Qt::Key_F2, "FormProv.menuNewProvClick",
          [this] { menuNewProvClick(); }},
         {"Копировать проводку", {}, "FormProv.menuCopyProvClick", [this] { menuCopyProvClick(); }},
         {},
         {"Фильтр", Qt::Key_F9, "FormProv.menuFilterClick", [this] { menuFilterClick(); }},
         {"Обновить", {}, "FormProv.BtnRefreshClick", [this] { BtnRefreshClick(); }}});
    grid_ = frame.grid;
    popup_ = frame.popup;
    BuildPanel(frame.items);
    connect(grid_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        GuardStep(QStringLiteral("FormProv.GridProvDblClickCell"), [&] {
            GridProvDblClickCell(index.row() + grid_->FixedRows(),
                                 grid_->RealColIndex(index.column()));
        });
    });
    GuardStep(QStringLiteral("FormProv.FormCreate"), [&] { sesProv_.Session().Login(); });
}

// items: the popup's, in the order BuildListWindow was given them.
void TFormProv::BuildPanel(const std::vector<QAction*>& items) {
    newProv_ = items[0];
    copyProv_ = items[1];
    QAction* filter = items[3];
    QAction* refresh = items[4];
    // The dialog actions wait for a dialog to open.
    newProv_->setEnabled(Dialog() != nullptr);
    copyProv_->setEnabled(Dialog() != nullptr);

    // The toolbar buttons share the popup's actions and their state, with their own hints.
    const auto button = [this](QAction* action, QStyle::StandardPixmap icon, const char* name,
                               const QString& hint) {
        QAction* b = panel_->addAction(style()->standardIcon(icon), hint);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        b->setEnabled(action->isEnabled());
        connect(action, &QAction::enabledChanged, b, &QAction::setEnabled);
        connect(b, &QAction::triggered, action, &QAction::trigger);
    };
    button(newProv_, QStyle::SP_FileIcon, "BtnNewProv", QStringLiteral("Новая проводка"));
    button(copyProv_, QStyle::SP_FileLinkIcon, "BtnCopyProv",
           QStringLiteral("Копировать данные в новую проводку из текущей строки"));
    button(filter, QStyle::SP_FileDialogContentsView, "BtnFilter", QStringLiteral("Фильтр"));
    button(refresh, QStyle::SP_BrowserReload, "BtnRefresh", QStringLiteral("Обновить"));
}

// ---- published properties ---------------------------------------------------------

void TFormProv::SetSQLFilter(const QString& filter) {
    sqlFilter_ = filter;
    GuardStep(QStringLiteral("FormProv.SQLFilter"), [&] { SesProvLogin(); });
}

QString TFormProv::FormSettings() const {
    return GridSettingsText(*grid_);
}

void TFormProv::SetFormSettings(const QString& settings) {
    LoadGridSettings(*grid_, settings, QStringLiteral("FormProv.FormSettings"));
}

// ---- requests and answers -----------------------------------------------------------

void TFormProv::SesProvLogin() {
    sesProv_.Parser().SendList(vocab::request::kList, kTransactionsQuery,
                               KeyValue(vocab::key::kQuery, kTransactionsQuery) +
                                   KeyValue(vocab::key::kFilter, sqlFilter_));
}

void TFormProv::SesProvData() {
    RowTexts cells(*grid_, {kIdDebit, kDebitName, kIdCredit, kCreditName});
    const AfterRowTexts hook = [&](int, int, QStringList& texts) {
        cells.Attach(texts);
        ShowAccountName(cells, kIdDebit, kDebitName);
        ShowAccountName(cells, kIdCredit, kCreditName);
    };
    LoadGridFromResponse(sesProv_.Parser(), *grid_, hook);
}

bool TFormProv::event(QEvent* e) {
    if (e->type() == ShellEventType(kEventTransactionsChanged)) {
        GuardStep(QStringLiteral("FormProv.WMTransactionsChanged"), [&] { SesProvLogin(); });
        return true;
    }
    return TChildWindow::event(e);
}

QString TFormProv::Cell(int tag, int row) const {
    return gridcols::TextByTag(*grid_, tag, row);
}

void TFormProv::CellLook(int realCol, int row, TCellLook& look) const {
    if (row < grid_->FixedRows() || grid_->Cell(realCol, row).isEmpty())
        return;
    if (ParseGroupedNumber(Cell(kVolume, row), 0) < 0)
        look.Background = QColor(255, 0, 0);
}

// ---- actions ------------------------------------------------------------------------

void TFormProv::menuNewProvClick() {
    if (Dialog())
        Dialog()->OpenEmpty();
}

void TFormProv::GridProvDblClickCell(int row, int realCol) {
    if (!Dialog() || !gridcols::IsDataRow(*grid_, row) || realCol < 0 ||
        grid_->Cell(realCol, row).isEmpty())
        return;
    Dialog()->OpenFilled(Cell(kIdDebit, row), Cell(kIdCredit, row), Cell(kPrice, row),
                         Cell(kReason, row), Cell(kVolume, row), Cell(kInstr, row));
}

void TFormProv::menuCopyProvClick() {
    const QModelIndex current = grid_->currentIndex();
    if (!current.isValid())
        return;
    GridProvDblClickCell(current.row() + grid_->FixedRows(), grid_->RealColIndex(current.column()));
}

void TFormProv::menuFilterClick() {
    TFormFiltr& dialog = TFormFiltr::Instance();
    if (dialog.ShowFilter(3) != TFormFiltr::mrOk)
        return;
    QString caption = QStringLiteral("Проводки ");
    const QString securities = dialog.SecurityFilter(caption, true);
    // The debit and credit boxes keep what they were last set to: their group is not
    // shown for this window.
    const QString accounts = dialog.DebitCreditFilter(caption);
    sqlFilter_ = accounts + securities;
    setWindowTitle(caption);
    SesProvLogin();
}

void TFormProv::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormProv(); };
    TWindowCatalog::Register(WindowCommand::Transactions, std::move(entry));
}
