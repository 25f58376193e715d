#include "monitors/TFormProvWait.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/CommaText.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/INewTransactionDialog.h"
#include "monitors/MonitorWindowKit.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/base/Services.h"
#include "shell/contract/ShellEvents.h"
#include "shell/contract/ShellLink.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QEvent>
#include <QStyle>
#include <QToolBar>

using namespace monitorkit;

namespace {

const Column kColumns[] = {
    {"ID", "Номер", 43, true, "", TSortStyle::Financial},
    {"CREATE_DATE", "Дата возникновения", 72, false, "", TSortStyle::Date},
    {"PROV_STATUS_NAME", "Статус", 81, false, "", TSortStyle::Automatic},
    {"SOURCE_ACCOUNT_NAME", "Счет отправителя", 96, false, "", TSortStyle::Automatic},
    {"DEST_ACCOUNT_NAME", "Счет получателя", 90, false, "", TSortStyle::Automatic},
    {"BUM_NAME", "Инструмент", 86, false, "", TSortStyle::Automatic},
    {"PROV_SUM", "Объем", 75, true, "%.2n", TSortStyle::Financial},
    {"PROV_TEXT", "Основание", 211, false, "", TSortStyle::Automatic},
    {"BUM_AVG_PRICE", "Средняя цена", 78, true, "%.4n", TSortStyle::Financial},
};

const HiddenColumn kHidden[] = {
    {TFormProvWait::kSourceId, "SOURCE_ACCOUNT_ID"},
    {TFormProvWait::kDestId, "DEST_ACCOUNT_ID"},
    {TFormProvWait::kStatus, "PROV_STATUS"},
    {TFormProvWait::kIdBum, "ID_BUM"},
};

const QString kPendingQuery = QString::number(vocab::list::kPendingTransactions);
const QString kCancelQuery = QString::number(vocab::command::kCancelPendingTransaction);

constexpr int kStatusWaiting = 10;
constexpr int kStatusCancelled = 20;

} // namespace

TFormProvWait::TFormProvWait(QWidget* parent)
    : TChildWindow(parent), sesProvWait_(
                                QStringLiteral("SesProvWait"), true, [this] { SesProvWaitLogin(); },
                                [this] { SesProvWaitData(); }),
      sesProvWaitDel_(QStringLiteral("sesProvWaitDel"), false, {},
                      [this] { sesProvWaitDelData(); }) {
    panel_ = NewToolbar(*this);
    const ListFrame frame = BuildListWindow(
        *this,
        {QStringLiteral("Отложенные проводки"), 720, kColumns, kHidden, panel_,
         [this](int realCol, int row, TCellLook& look) { CellLook(realCol, row, look); }},
        {{"Фильтр", Qt::Key_F9, "FormProvWait.menuFilterClick", [this] { menuFilterClick(); }},
         {"Обновить", {}, "FormProvWait.BtnRefreshClick", [this] { SesProvWaitLogin(); }}});
    grid_ = frame.grid;
    popup_ = frame.popup;
    BuildPanel(frame.items[0], frame.items[1]);
    GuardStep(QStringLiteral("FormProvWait.FormCreate"), [&] { sesProvWait_.Session().Login(); });
}

void TFormProvWait::BuildPanel(QAction* filter, QAction* refresh) {
    // Cancelling and copying are on the toolbar only.
    const auto button = [this](QStyle::StandardPixmap icon, const char* name, const QString& hint,
                               std::function<void()> run) {
        QAction* b = panel_->addAction(style()->standardIcon(icon), hint);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        const QString step =
            QStringLiteral("FormProvWait.") + QString::fromLatin1(name) + QStringLiteral("Click");
        connect(b, &QAction::triggered, this, [step, run] { GuardStep(step, run); });
        return b;
    };
    button(QStyle::SP_DialogCancelButton, "BtnDelProvWait",
           QStringLiteral("Отменить отложенную проводку"), [this] { BtnDelProvWaitClick(); });
    QAction* copy = button(QStyle::SP_FileLinkIcon, "BtnCopyProv",
                           QStringLiteral("Копировать данные в новую проводку из текущей строки"),
                           [this] { BtnCopyProvClick(); });
    copy->setEnabled(INewTransactionDialog::Current() != nullptr);
    button(QStyle::SP_FileDialogContentsView, "BtnFilter", QStringLiteral("Фильтр"),
           [filter] { filter->trigger(); });
    button(QStyle::SP_BrowserReload, "BtnRefresh", QStringLiteral("Обновить"),
           [refresh] { refresh->trigger(); });
}

// ---- published properties ---------------------------------------------------------

void TFormProvWait::SetSQLFilter(const QString& fragment) {
    sqlFilter_ = fragment;
    GuardStep(QStringLiteral("FormProvWait.SQLFilter"), [&] { SesProvWaitLogin(); });
}

QString TFormProvWait::FormSettings() const {
    return GridSettingsText(*grid_);
}

void TFormProvWait::SetFormSettings(const QString& settings) {
    LoadGridSettings(*grid_, settings, QStringLiteral("FormProvWait.FormSettings"));
}

// ---- requests and answers -----------------------------------------------------------

void TFormProvWait::SesProvWaitLogin() {
    // The fragment goes unchanged between the query piece and one more NUL: an empty
    // filter gives "chto=207" and two NULs, and so does a fragment's own closing NUL.
    sesProvWait_.Parser().SendList(vocab::request::kList, kPendingQuery,
                                   KeyValue(vocab::key::kQuery, kPendingQuery) + sqlFilter_ +
                                       QChar(0));
}

void TFormProvWait::SesProvWaitData() {
    RowTexts cells(*grid_, {kSourceId, kSourceName, kDestId, kDestName});
    const AfterRowTexts hook = [&](int, int, QStringList& texts) {
        cells.Attach(texts);
        ShowAccountName(cells, kSourceId, kSourceName);
        ShowAccountName(cells, kDestId, kDestName);
    };
    LoadGridFromResponse(sesProvWait_.Parser(), *grid_, hook);
}

void TFormProvWait::sesProvWaitDelData() {
    TMetadataParser& delParser = sesProvWaitDel_.Parser();
    delParser.ParseMetadata();
    if (!delParser.IsValid()) // the getter's default reads as success; the reload tells
        WriteLog(QStringLiteral("FormProvWait.sesProvWaitDelData: ответ на отмену без "
                                "метаданных, список обновляется"));
    const int code = delParser.GetInt(QStringLiteral("RESULT_CODE"), 0, 0);
    if (code != 0) {
        TShellLink::PostDeferredMessage(delParser.GetText(QStringLiteral("RESULT_MSG"), 0),
                                        MsgKind::Warning, MsgCancel);
        return;
    }
    TShellLink::BroadcastToWindows(kEventPendingTransactionsChanged);
}

bool TFormProvWait::event(QEvent* e) {
    if (e->type() == ShellEventType(kEventPendingTransactionsChanged)) {
        GuardStep(QStringLiteral("FormProvWait.WMPendingChanged"), [&] { SesProvWaitLogin(); });
        return true;
    }
    return TChildWindow::event(e);
}

QString TFormProvWait::Cell(int tag, int row) const {
    return gridcols::TextByTag(*grid_, tag, row);
}

void TFormProvWait::CellLook(int realCol, int row, TCellLook& look) const {
    if (row < grid_->FixedRows() || Cell(kId, row).isEmpty())
        return;
    const TGridColumn* column = grid_->Column(realCol);
    if (!column || column->Fixed)
        return;
    int status = 0;
    if (!ReadInt(Cell(kStatus, row), status))
        status = 0;
    if (status == kStatusWaiting)
        look.Background = QColor(0, 255, 0);
    else if (status == kStatusCancelled)
        look.Background = QColor(192, 192, 192);
}

// ---- actions ------------------------------------------------------------------------

void TFormProvWait::BtnDelProvWaitClick() {
    const int row = gridcols::CurrentRow(*grid_);
    if (!gridcols::IsDataRow(*grid_, row))
        return;
    const QString id = Cell(kId, row);
    if (id.isEmpty())
        return;
    const bool yes =
        Services::MessageBox().Show(this, QStringLiteral("Удалить отложенную проводку №") + id,
                                    windowTitle(), MsgKind::Question, MsgYes | MsgNo) == MsgYes;
    grid_->setFocus(Qt::OtherFocusReason);
    if (!yes)
        return;
    sesProvWaitDel_.Parser().SendExec(
        vocab::request::kCommand, kCancelQuery,
        AlternatingParams(
            {{QString(vocab::key::kQuery), kCancelQuery}, {QString(vocab::key::kParam0), id}}));
}

void TFormProvWait::BtnCopyProvClick() {
    INewTransactionDialog* dialog = INewTransactionDialog::Current();
    if (!dialog)
        return;
    const int row = gridcols::CurrentRow(*grid_);
    const QModelIndex current = grid_->currentIndex();
    const int realCol = current.isValid() ? grid_->RealColIndex(current.column()) : -1;
    if (!gridcols::IsDataRow(*grid_, row) || realCol < 0 || grid_->Cell(realCol, row).isEmpty()) {
        dialog->OpenEmpty();
        return;
    }
    dialog->OpenFilled(Cell(kSourceId, row), Cell(kDestId, row), Cell(kPrice, row),
                       Cell(kText, row), Cell(kSum, row), Cell(kBumName, row));
}

void TFormProvWait::menuFilterClick() {
    TFormFiltr& dialog = TFormFiltr::Instance();
    if (dialog.ShowFilter(35) != TFormFiltr::mrOk)
        return;
    QString caption = QStringLiteral("Отложенные проводки ");
    // The expressions are not used: asking for them fills the lists and the caption.
    dialog.SecurityFilter(caption, true);
    dialog.DebitCreditFilter(caption);
    setWindowTitle(caption);
    const QString accounts = ToCommaText(dialog.FilterAccList());
    QString fragment =
        QStringLiteral("filter_bum=") + ToCommaText(dialog.FilterBumList()) + QChar(0);
    if (dialog.IsDebetChecked())
        fragment += QStringLiteral("filter_source_acc=") + accounts + QChar(0);
    if (dialog.IsKreditChecked())
        fragment += QStringLiteral("filter_dest_acc=") + accounts + QChar(0);
    // Stored here and sent once below; the property would send as well.
    sqlFilter_ = fragment;
    SesProvWaitLogin();
}

void TFormProvWait::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormProvWait(); };
    TWindowCatalog::Register(WindowCommand::PendingTransactions, std::move(entry));
}
