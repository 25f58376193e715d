#include "monitors/TFormOrdersRPS.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/CommaText.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/MonitorWindowKit.h"
#include "monitors/OrderDetailsLink.h"
#include "monitors/RequestOrdersKit.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/DateValue.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Services.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QStyle>
#include <QToolBar>

using namespace monitorkit;

namespace {

const Column kColumns[] = {
    {"ORDER_ID", "Номер", 45, true, "", TSortStyle::Automatic},
    {"ORDER_EXCHANGE_ID", "Номер на бирже", 60, true, "", TSortStyle::Automatic},
    {"ORDER_TIME", "Время", 56, false, "", TSortStyle::Automatic},
    {"BUM_NAME", "Инструм.", 103, false, "", TSortStyle::Automatic},
    {"ORDER_STATUS_NAME", "Статус", 72, false, "", TSortStyle::Automatic},
    {"BUY_SELL", "Вид", 34, false, "", TSortStyle::Automatic},
    {"ORDER_TYPE_NAME", "Тип", 87, false, "", TSortStyle::Automatic},
    {"ORDER_PRICE", "Цена", 97, true, "%.4n", TSortStyle::Automatic},
    {"ORDER_COUNT", "Кол-во (лот)", 65, true, "", TSortStyle::Automatic},
    {"COUNT_IN_STOCK", "Кол-во (шт)", 67, true, "", TSortStyle::Automatic},
    {"VOL", "Объем", 66, true, "%.2n", TSortStyle::Automatic},
    {"CLIENT_NAME", "Клиент", 93, false, "", TSortStyle::Automatic},
    {"ACCOUNT_NAME", "Счет", 93, false, "", TSortStyle::Automatic},
    {"REF1", "Ссылка", 65, false, "", TSortStyle::Automatic},
    {"REF2", "Примечание", 76, false, "", TSortStyle::Automatic},
    {"CONTRAGENT_CODE", "Код партнера", 75, false, "", TSortStyle::Automatic},
    {"CONTRAGENT_NAME", "Партнер", 101, false, "", TSortStyle::Automatic},
    {"REPO_SECOND_DATE", "Дата возврата", 76, false, "", TSortStyle::Automatic},
    {"REPO_RATE", "Ставка РЕПО", 88, true, "%.4n", TSortStyle::Financial},
    {"REPO_TERM_IN_DAYS", "Срок РЕПО, дни", 70, true, "", TSortStyle::Financial},
    {"REPO_REFUND_RATE", "Возмещение РЕПО, %", 50, true, "%.4n", TSortStyle::Financial},
};

const HiddenColumn kHidden[] = {
    {TFormOrdersRPS::kIdAcc, "ID_ACC"},        {TFormOrdersRPS::kIdBum, "ID_BUM"},
    {TFormOrdersRPS::kStatus, "ORDER_STATUS"}, {TFormOrdersRPS::kOrderType, "ORDER_TYPE"},
    {TFormOrdersRPS::kGroupId, "GROUP_ID"},
};

const QString kListQuery = QString::number(vocab::list::kRpsRepoOrders);
const QString kWithdrawQuery = QString::number(vocab::command::kWithdrawRpsRepoOrder);

} // namespace

TFormOrdersRPS::TFormOrdersRPS(QWidget* parent)
    : TChildWindow(parent), sesOrdRPS_(
                                QStringLiteral("sesOrdRPS"), false, [this] { sesOrdRPSLogin(); },
                                [this] { sesOrdRPSData(); }),
      sesDelRps_(QStringLiteral("sesDelRps"), false, {}, [this] { sesDelRpsData(); }) {
    panel_ = NewToolbar(*this);
    const ListFrame frame = BuildListWindow(
        *this,
        {QStringLiteral("Заявки РПС и РЕПО"), 760, kColumns, kHidden, panel_,
         [this](int realCol, int row, TCellLook& look) { CellLook(realCol, row, look); }},
        {{"Снять заявку", Qt::Key_F8, "FormOrdersRPS.menuDelOrderClick",
          [this] { menuDelOrderClick(); }},
         {},
         {"Фильтр", Qt::Key_F9, "FormOrdersRPS.menuFilterClick", [this] { menuFilterClick(); }},
         {"Обновить", {}, "FormOrdersRPS.BtnRefreshClick", [this] { sesOrdRPSLogin(); }},
         {"Дополнительная информация по заявке", Qt::SHIFT | Qt::Key_F9,
          "FormOrdersRPS.menuOrderInfoClick", [this] { menuOrderInfoClick(); }}});
    grid_ = frame.grid;
    popup_ = frame.popup;
    requestorders::AddButtons(*panel_, frame.items[2], frame.items[3], frame.items[0]);
    // "Время" and "Вид" read best centred.
    for (int tag : {kOrderTime, kBuySell})
        grid_->ColumnByTag(tag)->Alignment = Qt::AlignHCenter | Qt::AlignVCenter;
    grid_->ColumnsChanged();
    GuardStep(QStringLiteral("FormOrdersRPS.FormCreate"), [&] { sesOrdRPSLogin(); });
}

// ---- published properties ---------------------------------------------------------

QString TFormOrdersRPS::FormSettings() const {
    return GridSettingsText(*grid_);
}

void TFormOrdersRPS::SetFormSettings(const QString& settings) {
    LoadGridSettings(*grid_, settings, QStringLiteral("FormOrdersRPS.FormSettings"));
}

// ---- requests and answers -----------------------------------------------------------

void TFormOrdersRPS::sesOrdRPSLogin() {
    using namespace vocab::key;
    QString params =
        KeyValue(kQuery, kListQuery) + KeyValue(kFilterAccounts, ToCommaText(filterAcc_)) +
        KeyValue(kFilterSecurities, ToCommaText(filterBum_)) + KeyValue(kFilterBuySell, buySell_);
    // Without a status choice the key is left out altogether.
    if (statusMask_ != 0)
        params += KeyValue(kFilterOrderStatus, QString::number(statusMask_));
    sesOrdRPS_.Parser().SendList(vocab::request::kList, kListQuery, params);
}

void TFormOrdersRPS::sesOrdRPSData() {
    RowTexts cells(*grid_, {kIdAcc, kAccountName});
    const AfterRowTexts hook = [&](int, int, QStringList& texts) {
        cells.Attach(texts);
        ShowAccountName(cells, kIdAcc, kAccountName);
    };
    LoadGridFromResponse(sesOrdRPS_.Parser(), *grid_, hook);
}

void TFormOrdersRPS::sesDelRpsData() {
    if (requestorders::WithdrawalAccepted(sesDelRps_.Parser(), QStringLiteral("FormOrdersRPS")))
        sesOrdRPSLogin();
}

QString TFormOrdersRPS::Cell(int tag, int row) const {
    return gridcols::TextByTag(*grid_, tag, row);
}

void TFormOrdersRPS::CellLook(int realCol, int row, TCellLook& look) const {
    requestorders::StatusLook(*grid_, realCol, row, kBuySell, kStatus, kStatusName, look);
}

// ---- actions ------------------------------------------------------------------------

void TFormOrdersRPS::menuDelOrderClick() {
    const int row = gridcols::CurrentRow(*grid_);
    if (!gridcols::IsDataRow(*grid_, row) || Cell(kOrderId, row).isEmpty())
        return;
    const QString id = Cell(kOrderId, row);
    const QString quote = QStringLiteral("\"");
    const QString question = QStringLiteral("Снять заявку №") + id + QStringLiteral(" по ") +
                             quote + Cell(kBumName, row) + quote + QStringLiteral(" \r\n") +
                             Cell(kCount, row) + QStringLiteral(" лот. по ") + Cell(kPrice, row) +
                             QStringLiteral("\r\nтип заявки ") + quote + Cell(kTypeName, row) +
                             quote + QStringLiteral(" ?");
    const bool yes = Services::MessageBox().Show(this, question, windowTitle(), MsgKind::Question,
                                                 MsgYes | MsgNo) == MsgYes;
    grid_->setFocus(Qt::OtherFocusReason);
    if (!yes)
        return;
    sesDelRps_.Parser().SendExec(vocab::request::kCommand, kWithdrawQuery,
                                 AlternatingParams({{QString(vocab::key::kQuery), kWithdrawQuery},
                                                    {QString(vocab::key::kParam0), id}}));
}

void TFormOrdersRPS::menuOrderInfoClick() {
    const int row = gridcols::CurrentRow(*grid_);
    if (!gridcols::IsDataRow(*grid_, row) || Cell(kOrderId, row).isEmpty())
        return;
    OpenOrderDetails(Cell(kOrderId, row), this, ValueToDate(TReferenceData::Current().TradingDate));
}

void TFormOrdersRPS::menuFilterClick() {
    requestorders::OrderFilter chosen;
    if (!requestorders::AskOrderFilter(QStringLiteral("Заявки РПС и РЕПО"), chosen))
        return;
    sqlFilter_ = chosen.condition;
    setWindowTitle(chosen.caption);
    filterBum_ = chosen.securities;
    filterAcc_ = chosen.accounts;
    buySell_ = chosen.buySell;
    statusMask_ = chosen.statusMask;
    sesOrdRPSLogin();
}

void TFormOrdersRPS::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormOrdersRPS(); };
    TWindowCatalog::Register(WindowCommand::RpsRepoOrders, std::move(entry));
}
