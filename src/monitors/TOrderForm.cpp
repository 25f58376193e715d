#include "monitors/TOrderForm.h"
#include "filter/TFormFiltr.h"
#include "grids/SettingsStream.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/CommaText.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/OrderDetailsLink.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Cp1251.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ConvertError.h"
#include "shell/base/DateValue.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Services.h"
#include "shell/contract/OrderStatusColors.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QHash>
#include <QMenu>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString kUpdateWithKey = QStringLiteral("UPDATE_WITH_KEY_FIELD");
const QString kSettingsPrefix = QStringLiteral("BTNP0");

struct ColumnSpec {
    const char* name;
    const char* header;
    int width;
    bool right;
    const char* format;
    TSortStyle sort;
};

// The design-time columns in declaration order; the order gives their identities.
const ColumnSpec kColumns[] = {
    {"ORDER_NUM", "Номер", 45, true, "", TSortStyle::Automatic},
    {"ORDER_TIME", "Время", 50, false, "", TSortStyle::Automatic},
    {"NAME_BUM", "Инструм.", 80, false, "", TSortStyle::Automatic},
    {"ORDER_STATUS_NAME", "Статус", 60, false, "", TSortStyle::Automatic},
    {"BUY_SELL", "Вид", 26, false, "", TSortStyle::Automatic},
    {"ORDER_TYPE_NAME", "Тип", 60, false, "", TSortStyle::Automatic},
    {"ORDER_PRICE", "Цена", 60, true, "%.4n", TSortStyle::Financial},
    {"COUNT_IN_LOT_FIRST", "Кол-во (лот)", 65, true, "%.0n", TSortStyle::Financial},
    {"COUNT_IN_LOT", "Остаток (лот)", 75, true, "%.0n", TSortStyle::Financial},
    {"ORDER_VOL", "Объем", 60, true, "%.2n", TSortStyle::Financial},
    {"NAME_CLI", "Клиент", 75, false, "", TSortStyle::Automatic},
    {"NAME_ACC", "Счет", 75, false, "", TSortStyle::Automatic},
    {"ORDER_NKD", "НКД", 50, true, "%.2n", TSortStyle::Financial},
    {"ORDER_YIELD", "Доходность", 68, true, "%.2n", TSortStyle::Financial},
    {"ORDER_GROUP", "Группа", 59, true, "", TSortStyle::Automatic},
};

const std::pair<int, const char*> kHiddenColumns[] = {
    {TOrderForm::kIdAcc, "ID_ACC"},         {TOrderForm::kIdCli, "ID_CLI"},
    {TOrderForm::kIdBum, "ID_BUM"},         {TOrderForm::kStatus, "ORDER_STATUS"},
    {TOrderForm::kOrderType, "ORDER_TYPE"}, {TOrderForm::kKeyField, "KEY_FIELD"},
};

// The orders list's query number as its request sends it.
const QString kOrdersQuery = QString::number(vocab::list::kOrders);

// One "key=value" piece of a request's parameter string.
QString KeyValue(QLatin1StringView key, const QString& value) {
    return key + QLatin1Char('=') + value + QChar(0);
}

bool ReadInt(const QString& text, int& value) {
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok;
}

} // namespace

TOrderForm::TOrderForm(QWidget* parent) : TChildWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Заявки"));
    resize(760, 400);
    sesOrd_ = std::make_unique<TBrokerSession>(QStringLiteral("SesOrd"), true);
    sesNDel_ = std::make_unique<TBrokerSession>(QStringLiteral("SesNDel"), true);
    parser_ = std::make_unique<TMetadataParser>(sesOrd_.get());
    sesOrd_->OnLogin = [this](TBrokerSession*) { SesOrdLogin(); };
    sesOrd_->OnData = [this](TBrokerSession*) { SesOrdData(); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    panel_ = new QToolBar(this);
    panel_->setIconSize(QSize(16, 16));
    layout->addWidget(panel_);
    grid_ = new TAdvColumnGrid(this);
    layout->addWidget(grid_, 1);
    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);
    statusBar_->hide();
    layout->addWidget(statusBar_);
    BuildMenusAndPanel();
    BuildGrid();
    // Wide enough for every column; the main window bounds it by its own room.
    resize(std::max(width(), grid_->FullWidth()), height());
}

TOrderForm::~TOrderForm() {
    // The sessions go before the grid their handlers fill.
    sesOrd_->OnLogin = nullptr;
    sesOrd_->OnData = nullptr;
    parser_.reset();
    sesOrd_.reset();
    sesNDel_.reset();
}

void TOrderForm::BuildGrid() {
    grid_->SetFixedRows(1);
    grid_->SetFixedCols(1);
    for (const ColumnSpec& def : kColumns) {
        TGridColumn* column = grid_->AddColumn();
        column->Name = QString::fromLatin1(def.name);
        column->Header = QString::fromUtf8(def.header);
        column->Width = def.width;
        column->Alignment = (def.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
        column->FloatFormat = QString::fromLatin1(def.format);
        column->SortStyle = def.sort;
    }
    grid_->Column(0)->Fixed = true;
    grid_->SetPopupMenu(popup_);
    grid_->Loaded();
    for (const auto& [tag, name] : kHiddenColumns)
        grid_->AddHiddenColumn(tag)->Name = QString::fromLatin1(name);
    grid_->ColumnsChanged();
    grid_->SetRowCount(grid_->FixedRows() + 1);
    grid_->SetCellLookHook(
        [this](int realCol, int row, TCellLook& look) { CellLook(realCol, row, look); });
}

void TOrderForm::BuildMenusAndPanel() {
    popup_ = new QMenu(this);
    const auto add = [this](const QString& caption, const QKeySequence& keys, auto slot) {
        QAction* action = popup_->addAction(caption);
        if (!keys.isEmpty()) {
            action->setShortcut(keys);
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            addAction(action);
        }
        connect(action, &QAction::triggered, this,
                [this, slot] { GuardStep(QStringLiteral("OrderForm"), [&] { (this->*slot)(); }); });
        return action;
    };
    QAction* delOrder = add(QStringLiteral("Снять заявку"), QKeySequence(Qt::Key_F8),
                            &TOrderForm::menuDelOrderClick);
    QAction* delGroup = add(QStringLiteral("Снять групповую заявку"), QKeySequence(),
                            &TOrderForm::menuDelGroupOrderClick);
    popup_->addSeparator();
    QAction* delAcc =
        add(QStringLiteral("Снять все заявки  по счету"), QKeySequence(Qt::CTRL | Qt::Key_F8),
            &TOrderForm::menuDelAllAccOrderClick);
    QAction* delCli = add(QStringLiteral("Снять все заявки  клиента"), QKeySequence(),
                          &TOrderForm::BtnDelAllCliOrdersClick);
    popup_->addSeparator();
    QAction* filter =
        add(QStringLiteral("Фильтр"), QKeySequence(Qt::Key_F9), &TOrderForm::menuFilterClick);
    QAction* refresh =
        add(QStringLiteral("Обновить"), QKeySequence(), &TOrderForm::BtnRefreshClick);
    add(QStringLiteral("Дополнительная информация по заявке"), QKeySequence(Qt::SHIFT | Qt::Key_F9),
        &TOrderForm::menuOrderInfoClick);
    showPanel_ = popup_->addAction(QStringLiteral("Панель кнопок"));
    showPanel_->setCheckable(true);
    showPanel_->setChecked(true);
    connect(showPanel_, &QAction::triggered, this, [this] { menuShowPanelClick(); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popup_->exec(mapToGlobal(pos)); });

    // The toolbar buttons share the popup's actions but show their own hints.
    const auto button = [this](QAction* action, QStyle::StandardPixmap icon, const QString& hint) {
        QAction* b = panel_->addAction(style()->standardIcon(icon), hint);
        b->setToolTip(hint);
        connect(b, &QAction::triggered, action, &QAction::trigger);
    };
    button(delOrder, QStyle::SP_DialogCancelButton, QStringLiteral("Снять заявку"));
    button(delGroup, QStyle::SP_DialogDiscardButton, QStringLiteral("Снять групповую заявку"));
    button(delAcc, QStyle::SP_TrashIcon, QStringLiteral("Снять все заявки по счету"));
    button(delCli, QStyle::SP_DialogNoButton, QStringLiteral("Снять все заявки клиента"));
    button(filter, QStyle::SP_FileDialogContentsView, QStringLiteral("Фильтр"));
    button(refresh, QStyle::SP_BrowserReload, QStringLiteral("Обновить"));
}

// ---- published properties ---------------------------------------------------------

QString TOrderForm::FormSettings() const {
    const QString prefix =
        kSettingsPrefix + (panel_->isHidden() ? QLatin1Char('0') : QLatin1Char('1'));
    return prefix + Cp1251::Decode(grid_->SaveSettings());
}

void TOrderForm::SetFormSettings(const QString& settings) {
    QString rest = settings;
    if (settings.left(5) == kSettingsPrefix) {
        const bool shown = settings.size() > 5 && settings.at(5) == QLatin1Char('1');
        panel_->setVisible(shown);
        showPanel_->setChecked(shown);
        rest = settings.mid(6);
    }
    GuardStep(QStringLiteral("OrderForm.FormSettings"),
              [&] { grid_->LoadSettings(Cp1251::Encode(rest)); });
}

QString TOrderForm::InternalFilterListBum() const {
    return ToLinesText(filterBum_);
}

void TOrderForm::SetInternalFilterListBum(const QString& lines) {
    filterBum_ = FromLinesText(lines);
}

QString TOrderForm::InternalFilterListAcc() const {
    return ToLinesText(filterAcc_);
}

void TOrderForm::SetInternalFilterListAcc(const QString& lines) {
    filterAcc_ = FromLinesText(lines);
}

void TOrderForm::SetRestoredComplete(int) {
    GuardStep(QStringLiteral("OrderForm.RestoredComplete"), [&] { SesOrdLogin(); });
}

// ---- requests and answers -----------------------------------------------------------

QString TOrderForm::FilterParams() const {
    using namespace vocab::key;
    return KeyValue(kQuery, kOrdersQuery) + KeyValue(kFilterAccounts, ToCommaText(filterAcc_)) +
           KeyValue(kFilterSecurities, ToCommaText(filterBum_)) +
           KeyValue(kFilterOrderStatus, QString::number(statusMask_)) +
           KeyValue(kFilterBuySell, buySell_);
}

void TOrderForm::SesOrdLogin() {
    parser_->SendList(vocab::request::kList, kOrdersQuery, FilterParams());
}

void TOrderForm::RefreshByKeys(const QStringList& keys) {
    GuardStep(QStringLiteral("OrderForm.RefreshByKeys"), [&] {
        using namespace vocab::key;
        const QString keyText = ToCommaText(keys);
        const QString params = FilterParams() + KeyValue(kFilterKeyValues, keyText) +
                               KeyValue(kLoopBackCount, QStringLiteral("2")) +
                               KeyValue(kLoopBack0, kUpdateWithKey) + KeyValue(kLoopBack1, keyText);
        parser_->SendList(vocab::request::kList, kOrdersQuery, params);
    });
}

void TOrderForm::SesOrdData() {
    // The fix-up works on the fields of each row before they are stored; the columns it
    // touches are looked up once per answer, and its accessors are made once too.
    QHash<int, int> realOf;
    for (int tag : {kIdAcc, kNameAcc, kIdCli, kNameCli, kStatus, kStatusName, kOrderNum})
        realOf.insert(tag, gridcols::RealByTag(*grid_, tag));
    TRowFields* row = nullptr;
    RowCells cells;
    cells.Get = [&](int tag) { return row->Text(realOf.value(tag, -1)); };
    cells.Set = [&](int tag, const QString& text) { row->SetText(realOf.value(tag, -1), text); };
    const AfterRowFields hook = [this, &row, &cells](int i, int, TRowFields& fields) {
        row = &fields;
        FixUpRow(i, cells);
    };
    if (sesOrd_->GetRequestParam(vocab::key::kLoopBack0, 1) == kUpdateWithKey)
        MergeGridByKey(*parser_, *grid_, hook);
    else
        LoadGridFromResponse(*parser_, *grid_, hook);
    // A filter the server refused answers no rows: say so, or the empty grid reads as a
    // quiet market.
    if (sesOrd_->GetTableSize(TBrokerSession::kRefusalTable) > 0) {
        statusBar_->showMessage(QStringLiteral("Фильтр не принят сервером"));
        statusBar_->setToolTip(
            sesOrd_->GetTableValue(TBrokerSession::kRefusalTable, TBrokerSession::kRefusalText));
        statusBar_->show();
    } else if (!statusBar_->isHidden()) {
        statusBar_->clearMessage();
        statusBar_->setToolTip(QString());
        statusBar_->hide();
    }
}

QString TOrderForm::StatusText() const {
    return statusBar_->currentMessage();
}

void TOrderForm::AfterRowFilled(int responseRow, int gridRow) {
    RowCells cells;
    cells.Get = [&](int tag) { return Cell(tag, gridRow); };
    cells.Set = [&](int tag, const QString& text) {
        gridcols::SetTextByTag(*grid_, tag, gridRow, text);
    };
    FixUpRow(responseRow, cells);
}

void TOrderForm::FixUpRow(int responseRow, const RowCells& cells) {
    TReferenceData& refs = TReferenceData::Current();
    // A name is written back only when a label was added to it: most rows keep theirs.
    const auto showLabel = [&cells](int nameTag, const auto& displayName) {
        const QString name = cells.Get(nameTag);
        const QString shown = displayName(name);
        if (shown.size() != name.size())
            cells.Set(nameTag, shown);
    };
    int id = 0;
    if (ReadInt(cells.Get(kIdAcc), id))
        showLabel(kNameAcc, [&](const QString& name) { return refs.AccountDisplayName(id, name); });
    if (ReadInt(cells.Get(kIdCli), id))
        showLabel(kNameCli, [&](const QString& name) { return refs.ClientDisplayName(id, name); });
    int status = 0;
    const QString statusText = cells.Get(kStatus);
    if (!ReadInt(statusText, status)) {
        // Ends the answer here: the rows after this one stay blank. The text names the
        // row for the log line the session writes.
        throw EConvertError(QStringLiteral("Строка %1 ответа, заявка %2: статус заявки \"%3\" "
                                           "не является целым числом")
                                .arg(responseRow + 1)
                                .arg(cells.Get(kOrderNum), statusText));
    }
    cells.Set(kStatusName, refs.OrderStatusName(status));
}

void TOrderForm::CellLook(int realCol, int row, TCellLook& look) const {
    if (row < grid_->FixedRows())
        return;
    if (Cell(kBuySell, row) == QLatin1String("B"))
        look.Text = QColor(0, 0, 128);
    if (realCol == gridcols::RealByTag(*grid_, kStatusName)) {
        int status = 0;
        QColor background;
        if (ReadInt(Cell(kStatus, row), status) &&
            FindOrderStatusColor(StatusPalette::ExchangeOrders, status, background))
            look.Background = background;
    }
}

// ---- actions ------------------------------------------------------------------------

QString TOrderForm::Cell(int tag, int row) const {
    return gridcols::TextByTag(*grid_, tag, row);
}

int TOrderForm::CurrentDataRow() const {
    const int row = gridcols::CurrentRow(*grid_);
    return gridcols::IsDataRow(*grid_, row) ? row : -1;
}

bool TOrderForm::Confirm(const QString& question) {
    const bool yes = Services::MessageBox().Show(this, question, windowTitle(), MsgKind::Question,
                                                 MsgYes | MsgNo) == MsgYes;
    // The window's keys (F8, F9, ...) work again at once after the question closes.
    grid_->setFocus(Qt::OtherFocusReason);
    return yes;
}

void TOrderForm::SendWithdrawal(int query, const QString& param0) {
    // The answer is not read: the order's new state arrives through the change stream,
    // so a refused withdrawal leaves the table as it is. A failing session is logged.
    GuardStep(QStringLiteral("OrderForm.SesNDel"), [&] {
        sesNDel_->SendCommand(vocab::request::kCommand,
                              AlternatingParams({{vocab::key::kQuery, QString::number(query)},
                                                 {vocab::key::kParam0, param0}}),
                              0, 1);
    });
}

void TOrderForm::menuDelOrderClick() {
    const int row = CurrentDataRow();
    if (row < 0 || Cell(kOrderNum, row).isEmpty())
        return;
    int status = 0;
    if (!ReadInt(Cell(kStatus, row), status) || status >= vocab::status::kFinal)
        return;
    const QString number = Cell(kOrderNum, row);
    if (!Confirm(QStringLiteral("Снять заявку №") + number + QLatin1Char(' ') +
                 Cell(kNameBum, row) + QLatin1Char(' ') + Cell(kCountFirst, row) +
                 QStringLiteral(" лот. по ") + Cell(kPrice, row) + QLatin1Char('?')))
        return;
    SendWithdrawal(vocab::command::kWithdrawOrder, number);
}

void TOrderForm::menuDelAllAccOrderClick() {
    const int row = CurrentDataRow();
    if (row < 0 || Cell(kOrderNum, row).isEmpty())
        return;
    int account = 0;
    if (!ReadInt(Cell(kIdAcc, row), account))
        return;
    if (!Confirm(QStringLiteral("Снять все заявки со счета ") + Cell(kNameAcc, row) +
                 QStringLiteral(" ?")))
        return;
    SendWithdrawal(vocab::command::kWithdrawAccountOrders, QString::number(account));
}

void TOrderForm::BtnDelAllCliOrdersClick() {
    const int row = CurrentDataRow();
    if (row < 0 || Cell(kOrderNum, row).isEmpty())
        return;
    int client = 0;
    if (!ReadInt(Cell(kIdCli, row), client))
        return;
    if (!Confirm(QStringLiteral("Снять все заявки клиента ") + Cell(kNameCli, row) +
                 QStringLiteral(" ?")))
        return;
    SendWithdrawal(vocab::command::kWithdrawClientOrders, QString::number(client));
}

void TOrderForm::menuDelGroupOrderClick() {
    const int row = CurrentDataRow();
    if (row < 0)
        return;
    const QString group = Cell(kGroup, row);
    if (group.isEmpty())
        return;
    if (!Confirm(QStringLiteral("Снять ГРУППОВУЮ заявку № ") + group + QStringLiteral(" ?")))
        return;
    SendWithdrawal(vocab::command::kWithdrawGroupOrders, group);
}

void TOrderForm::menuFilterClick() {
    TFormFiltr& dialog = TFormFiltr::Instance();
    if (dialog.ShowFilter(15) != TFormFiltr::mrOk)
        return;
    QString caption = QStringLiteral("Заявки");
    QString sql = dialog.AccountFilter(caption);
    sql += dialog.SecurityFilter(caption, false);
    sql += dialog.BuySellFilter(caption);
    sql += dialog.OrderStatusFilter(caption);
    sqlFilter_ = sql;
    setWindowTitle(caption);
    filterBum_ = dialog.FilterBumList();
    filterAcc_ = dialog.FilterAccList();
    buySell_ = dialog.BuySellCode();
    statusMask_ = dialog.StatusMask();
    SesOrdLogin();
}

void TOrderForm::menuOrderInfoClick() {
    const int row = CurrentDataRow();
    if (row < 0)
        return;
    // The fixed column's number; a blank one opens nothing.
    OpenOrderDetails(Cell(kOrderNum, row), this,
                     ValueToDate(TReferenceData::Current().TradingDate));
}

void TOrderForm::menuShowPanelClick() {
    panel_->setVisible(panel_->isHidden());
    showPanel_->setChecked(!panel_->isHidden());
}

void TOrderForm::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TOrderForm(); };
    entry.AfterShow = [](QWidget* window) { window->setProperty("RestoredComplete", 0); };
    TWindowCatalog::Register(WindowCommand::Orders, std::move(entry));
}
