#include "monitors/TFormConditionOrders.h"
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
#include <QToolBar>

using namespace monitorkit;

namespace {

const Column kColumns[] = {
    {"ORDER_ID", "Номер", 40, false, "", TSortStyle::Automatic},
    {"LIFE_START_DATE_TEXT", "Начало периода действия", 114, false, "", TSortStyle::Date},
    {"LIFE_STOP_DATE_TEXT", "Конец периода действия", 107, false, "", TSortStyle::Date},
    {"ORDER_TYPE_NAME", "Тип", 151, false, "", TSortStyle::Automatic},
    {"ORDER_STATUS_NAME", "Статус", 59, false, "", TSortStyle::Automatic},
    {"IF_TEXT", "Условие", 139, false, "", TSortStyle::Automatic},
    {"ACTION_TEXT", "Действие", 159, false, "", TSortStyle::Automatic},
    {"ACC_NAME", "Счет", 78, false, "", TSortStyle::Automatic},
};

const HiddenColumn kHidden[] = {
    {TFormConditionOrders::kIdAcc, "ID_ACC"},
    {TFormConditionOrders::kIdBum, "ID_BUM"},
    {TFormConditionOrders::kStatus, "ORDER_STATUS"},
    {TFormConditionOrders::kBuySell, "BUY_SELL"},
    {TFormConditionOrders::kStartDate, "LIFE_START_DATE"},
    {TFormConditionOrders::kStopDate, "LIFE_STOP_DATE"},
};

const QString kListQuery = QString::number(vocab::list::kConditionalOrders);
const QString kWithdrawQuery = QString::number(vocab::command::kWithdrawConditionalOrder);

} // namespace

QString ConditionPeriodText(double dateValue) {
    if (dateValue == 0)
        return QString();
    const QDateTime moment = ValueToDateTime(dateValue);
    return moment.isValid() ? moment.toString(QStringLiteral("dd.MM.yyyy hh:mm")) : QString();
}

TFormConditionOrders::TFormConditionOrders(QWidget* parent)
    : TChildWindow(parent),
      sesConditionOrders_(
          QStringLiteral("sesConditionOrders"), false, [this] { sesConditionOrdersLogin(); },
          [this] { sesConditionOrdersData(); }),
      sesOrderExec_(QStringLiteral("sesOrderExec"), false, {}, [this] { sesOrderExecData(); }) {
    panel_ = NewToolbar(*this);
    const ListFrame frame = BuildListWindow(
        *this,
        {QStringLiteral("Условные заявки"), 760, kColumns, kHidden, panel_,
         [this](int realCol, int row, TCellLook& look) { CellLook(realCol, row, look); }},
        {{"Снять заявку", Qt::Key_F8, "FormConditionOrders.menuDelOrderClick",
          [this] { menuDelOrderClick(); }},
         {},
         {"Фильтр", Qt::Key_F9, "FormConditionOrders.menuFilterClick",
          [this] { menuFilterClick(); }},
         {"Обновить",
          {},
          "FormConditionOrders.BtnRefreshClick",
          [this] { sesConditionOrdersLogin(); }},
         {"Дополнительная информация по заявке", Qt::SHIFT | Qt::Key_F9,
          "FormConditionOrders.menuOrderInfoClick", [this] { menuOrderInfoClick(); }}});
    grid_ = frame.grid;
    popup_ = frame.popup;
    requestorders::AddButtons(*panel_, frame.items[2], frame.items[3], frame.items[0]);
    GuardStep(QStringLiteral("FormConditionOrders.FormCreate"), [&] { sesConditionOrdersLogin(); });
}

// ---- requests and answers -----------------------------------------------------------

void TFormConditionOrders::sesConditionOrdersLogin() {
    using namespace vocab::key;
    // The status mask always travels, before the side.
    const QString params = KeyValue(kQuery, kListQuery) +
                           KeyValue(kFilterAccounts, ToCommaText(filterAcc_)) +
                           KeyValue(kFilterSecurities, ToCommaText(filterBum_)) +
                           KeyValue(kFilterOrderStatus, QString::number(statusMask_)) +
                           KeyValue(kFilterBuySell, buySell_);
    sesConditionOrders_.Parser().SendList(vocab::request::kList, kListQuery, params);
}

void TFormConditionOrders::sesConditionOrdersData() {
    RowTexts cells(*grid_, {kIdAcc, kAccName, kStartText, kStopText, kIdBum});
    TMetadataParser& parser = sesConditionOrders_.Parser();
    const AfterRowTexts hook = [&](int i, int, QStringList& texts) {
        cells.Attach(texts);
        ShowAccountName(cells, kIdAcc, kAccName);
        // A zero date keeps the server's own text of the period.
        const QString start =
            ConditionPeriodText(parser.GetDate(QStringLiteral("LIFE_START_DATE"), i, 0));
        if (!start.isEmpty())
            cells.Set(kStartText, start);
        const QString stop =
            ConditionPeriodText(parser.GetDate(QStringLiteral("LIFE_STOP_DATE"), i, 0));
        if (!stop.isEmpty())
            cells.Set(kStopText, stop);
        // "Информация по бумаге..." shows the security of the condition.
        cells.Set(kIdBum, parser.GetText(QStringLiteral("IF_BUM"), i));
    };
    LoadGridFromResponse(parser, *grid_, hook);
}

void TFormConditionOrders::sesOrderExecData() {
    if (requestorders::WithdrawalAccepted(sesOrderExec_.Parser(),
                                          QStringLiteral("FormConditionOrders")))
        sesConditionOrdersLogin();
}

QString TFormConditionOrders::Cell(int tag, int row) const {
    return gridcols::TextByTag(*grid_, tag, row);
}

void TFormConditionOrders::CellLook(int realCol, int row, TCellLook& look) const {
    requestorders::StatusLook(*grid_, realCol, row, kBuySell, kStatus, kStatusName, look);
}

// ---- actions ------------------------------------------------------------------------

void TFormConditionOrders::menuDelOrderClick() {
    const int row = gridcols::CurrentRow(*grid_);
    if (!gridcols::IsDataRow(*grid_, row) || Cell(kOrderId, row).isEmpty())
        return;
    const QString id = Cell(kOrderId, row);
    const bool yes =
        Services::MessageBox().Show(
            this, QStringLiteral("Снять условную заявку №") + id + QStringLiteral(" ?"),
            windowTitle(), MsgKind::Question, MsgYes | MsgNo) == MsgYes;
    grid_->setFocus(Qt::OtherFocusReason);
    if (!yes)
        return;
    sesOrderExec_.Parser().SendExec(
        vocab::request::kCommand, kWithdrawQuery,
        AlternatingParams(
            {{QString(vocab::key::kQuery), kWithdrawQuery}, {QString(vocab::key::kParam0), id}}));
}

void TFormConditionOrders::menuOrderInfoClick() {
    const int row = gridcols::CurrentRow(*grid_);
    if (!gridcols::IsDataRow(*grid_, row) || Cell(kOrderId, row).isEmpty())
        return;
    OpenConditionalOrderDetails(Cell(kOrderId, row), this);
}

void TFormConditionOrders::menuFilterClick() {
    requestorders::OrderFilter chosen;
    if (!requestorders::AskOrderFilter(QStringLiteral("Условные заявки"), chosen))
        return;
    conditionText_ = chosen.condition;
    setWindowTitle(chosen.caption);
    filterBum_ = chosen.securities;
    filterAcc_ = chosen.accounts;
    buySell_ = chosen.buySell;
    statusMask_ = chosen.statusMask;
    sesConditionOrdersLogin();
}

void TFormConditionOrders::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormConditionOrders(); };
    TWindowCatalog::Register(WindowCommand::ConditionalOrders, std::move(entry));
}
