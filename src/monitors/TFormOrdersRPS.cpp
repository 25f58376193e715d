#include "monitors/TFormOrdersRPS.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/CommaText.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/MonitorWindowKit.h"
#include "monitors/OrderDetailsLink.h"
#include "monitors/RequestOrdersKit.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Cp1251.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/DateValue.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Services.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QMenu>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

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

TFormOrdersRPS::TFormOrdersRPS(QWidget* parent) : TChildWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Заявки РПС и РЕПО"));
    resize(760, 400);
    sesOrdRPS_ = std::make_unique<TBrokerSession>(QStringLiteral("sesOrdRPS"), false);
    sesDelRps_ = std::make_unique<TBrokerSession>(QStringLiteral("sesDelRps"), false);
    parser_ = std::make_unique<TMetadataParser>(sesOrdRPS_.get());
    delParser_ = std::make_unique<TMetadataParser>(sesDelRps_.get());
    sesOrdRPS_->OnLogin = [this](TBrokerSession*) { sesOrdRPSLogin(); };
    sesOrdRPS_->OnData = [this](TBrokerSession*) { sesOrdRPSData(); };
    sesDelRps_->OnData = [this](TBrokerSession*) { sesDelRpsData(); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    panel_ = new QToolBar(this);
    panel_->setIconSize(QSize(16, 16));
    layout->addWidget(panel_);
    grid_ = new TAdvColumnGrid(this);
    layout->addWidget(grid_, 1);
    BuildMenusAndPanel();
    monitorkit::BuildGrid(*grid_, kColumns, kHidden, popup_);
    // "Время" and "Вид" read best centred.
    for (int tag : {kOrderTime, kBuySell})
        grid_->ColumnByTag(tag)->Alignment = Qt::AlignHCenter | Qt::AlignVCenter;
    grid_->ColumnsChanged();
    grid_->SetCellLookHook(
        [this](int realCol, int row, TCellLook& look) { CellLook(realCol, row, look); });
    resize(std::max(width(), grid_->FullWidth()), height());
    GuardStep(QStringLiteral("FormOrdersRPS.FormCreate"), [&] { sesOrdRPSLogin(); });
}

TFormOrdersRPS::~TFormOrdersRPS() {
    sesOrdRPS_->OnLogin = nullptr;
    sesOrdRPS_->OnData = nullptr;
    sesDelRps_->OnData = nullptr;
    parser_.reset();
    delParser_.reset();
    sesOrdRPS_.reset();
    sesDelRps_.reset();
}

void TFormOrdersRPS::BuildMenusAndPanel() {
    popup_ = new QMenu(this);
    QAction* del = AddAction(
        *this, *popup_, QStringLiteral("Снять заявку"), QKeySequence(Qt::Key_F8),
        QStringLiteral("FormOrdersRPS.menuDelOrderClick"), [this] { menuDelOrderClick(); });
    popup_->addSeparator();
    QAction* filter =
        AddAction(*this, *popup_, QStringLiteral("Фильтр"), QKeySequence(Qt::Key_F9),
                  QStringLiteral("FormOrdersRPS.menuFilterClick"), [this] { menuFilterClick(); });
    QAction* refresh =
        AddAction(*this, *popup_, QStringLiteral("Обновить"), QKeySequence(),
                  QStringLiteral("FormOrdersRPS.BtnRefreshClick"), [this] { sesOrdRPSLogin(); });
    AddAction(*this, *popup_, QStringLiteral("Дополнительная информация по заявке"),
              QKeySequence(Qt::SHIFT | Qt::Key_F9),
              QStringLiteral("FormOrdersRPS.menuOrderInfoClick"), [this] { menuOrderInfoClick(); });
    UsePopup(*this, *popup_);
    requestorders::AddButtons(*panel_, filter, refresh, del);
}

// ---- published properties ---------------------------------------------------------

QString TFormOrdersRPS::FormSettings() const {
    return Cp1251::Decode(grid_->SaveSettings());
}

void TFormOrdersRPS::SetFormSettings(const QString& settings) {
    GuardStep(QStringLiteral("FormOrdersRPS.FormSettings"),
              [&] { grid_->LoadSettings(Cp1251::Encode(settings)); });
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
    parser_->SendList(vocab::request::kList, kListQuery, params);
}

void TFormOrdersRPS::sesOrdRPSData() {
    RowTexts cells(*grid_, {kIdAcc, kAccountName});
    TReferenceData& refs = TReferenceData::Current();
    const AfterRowTexts hook = [&](int, int, QStringList& texts) {
        cells.Attach(texts);
        int id = 0;
        if (ReadInt(cells.Get(kIdAcc), id))
            cells.Set(kAccountName, refs.AccountDisplayName(id, cells.Get(kAccountName)));
    };
    LoadGridFromResponse(*parser_, *grid_, hook);
}

void TFormOrdersRPS::sesDelRpsData() {
    if (requestorders::WithdrawalAccepted(*delParser_, QStringLiteral("FormOrdersRPS")))
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
    delParser_->SendExec(vocab::request::kCommand, kWithdrawQuery,
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
