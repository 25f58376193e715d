#include "monitors/TFormAOrd.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/CommaText.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/OrderDetailsLink.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/DateValue.h"
#include "shell/contract/OrderStatusColors.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QMenu>

using namespace monitorkit;

namespace {

const Column kColumns[] = {
    {"ORDER_DATE", "Дата", 70, false, "", TSortStyle::Date},
    {"ORDER_NUM", "Номер", 60, true, "", TSortStyle::Financial},
    {"ORDER_TIME", "Время", 52, false, "", TSortStyle::Automatic},
    {"NAME_BUM", "Инструм.", 60, false, "", TSortStyle::Automatic},
    {"ORDER_STATUS_NAME", "Статус", 80, false, "", TSortStyle::Automatic},
    {"BUY_SELL", "Вид", 25, false, "", TSortStyle::Automatic},
    {"ORDER_TYPE_NAME", "Тип", 60, false, "", TSortStyle::Automatic},
    {"ORDER_PRICE", "Цена", 64, true, "%.4n", TSortStyle::Financial},
    {"COUNT_IN_LOT_FIRST", "Кол-во", 52, true, "%.0n", TSortStyle::Financial},
    {"COUNT_IN_LOT", "Остаток", 52, true, "%.0n", TSortStyle::Financial},
    {"ORDER_VOL", "Объем", 82, true, "%.2n", TSortStyle::Financial},
    {"NAME_ACC", "Счет", 84, false, "", TSortStyle::Automatic},
    {"ORDER_NKD", "НКД", 56, true, "%.2n", TSortStyle::Financial},
    {"ORDER_YIELD", "Доходность", 58, true, "%.2n", TSortStyle::Financial},
    {"NAME_CLI", "Клиент", 92, false, "", TSortStyle::Automatic},
};

const HiddenColumn kHidden[] = {
    {TFormAOrd::kIdAcc, "ID_ACC"},        {TFormAOrd::kIdCli, "ID_CLI"},
    {TFormAOrd::kIdBum, "ID_BUM"},        {TFormAOrd::kOrderType, "ORDER_TYPE"},
    {TFormAOrd::kStatus, "ORDER_STATUS"},
};

const TArchiveWindow::Frame kFrame{"Архив заявок",
                                   "SesAOrd",
                                   "FormAOrd",
                                   vocab::list::kArchiveOrders,
                                   true,
                                   TArchiveWindow::BusyScope::Application,
                                   15,
                                   kColumns,
                                   kHidden};

} // namespace

TFormAOrd::TFormAOrd(QWidget* parent) : TArchiveWindow(kFrame, parent) {
    AddAction(*this, *PopupMenu(), QStringLiteral("Дополнительная информация по заявке"),
              QKeySequence(Qt::SHIFT | Qt::Key_F9), StepName("menuOrderInfoClick"),
              [this] { menuOrderInfoClick(); });
    Grid().SetCellLookHook(
        [this](int realCol, int row, TCellLook& look) { CellLook(realCol, row, look); });
    Start();
}

QString TFormAOrd::RequestParams() const {
    using namespace vocab::key;
    return KeyValue(kQuery, QueryText()) + KeyValue(kParam0, FromDate()) +
           KeyValue(archivekit::kParam1, ToDate()) +
           KeyValue(kFilterAccounts, ToCommaText(filterAcc_)) +
           KeyValue(kFilterSecurities, ToCommaText(filterBum_)) +
           KeyValue(kFilterOrderStatus, QString::number(statusMask_)) +
           KeyValue(kFilterBuySell, buySell_);
}

void TFormAOrd::Load() {
    // The status name is the server's own: only the account is decorated.
    RowTexts cells(Grid(), {kIdAcc, kNameAcc});
    const AfterRowTexts hook = [&](int, int, QStringList& texts) {
        cells.Attach(texts);
        ShowAccountName(cells, kIdAcc, kNameAcc);
    };
    LoadGridFromResponse(Parser(), Grid(), hook);
}

QString TFormAOrd::AskFilter(TFormFiltr& dialog, QString& caption) {
    QString sql = dialog.AccountFilter(caption);
    sql += dialog.SecurityFilter(caption, false);
    sql += dialog.BuySellFilter(caption);
    sql += dialog.OrderStatusFilter(caption);
    filterBum_ = dialog.FilterBumList();
    filterAcc_ = dialog.FilterAccList();
    buySell_ = dialog.BuySellCode();
    statusMask_ = dialog.StatusMask();
    return sql;
}

void TFormAOrd::CellLook(int realCol, int row, TCellLook& look) const {
    if (row < Grid().FixedRows())
        return;
    if (Cell(kBuySell, row) == QLatin1String("B"))
        look.Text = QColor(0, 0, 128);
    if (realCol == gridcols::RealByTag(Grid(), kStatusName)) {
        int status = 0;
        QColor background;
        if (ReadInt(Cell(kStatus, row), status) &&
            FindOrderStatusColor(StatusPalette::ExchangeOrders, status, background))
            look.Background = background;
    }
}

void TFormAOrd::menuOrderInfoClick() {
    // By column identity, not position: a user who moved columns still gets this
    // row's order and date.
    const int row = CurrentDataRow();
    if (row < 0)
        return;
    const QString number = Cell(kOrderNum, row);
    if (number.isEmpty())
        return;
    OpenOrderDetails(number, this, ValueToDate(ParseDottedDate(Cell(kDate, row))));
}

void TFormAOrd::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormAOrd(); };
    TWindowCatalog::Register(WindowCommand::ArchiveOrders, std::move(entry));
}
