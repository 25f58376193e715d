#include "monitors/TFormAPortfel.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/Log.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

using namespace monitorkit;

namespace {

// Numbers are written by row as they load: the balances by the instrument (money or
// not), the prices and money columns by their column's format.
const Column kColumns[] = {
    {"instr", "Инструмент", 100, false, "", TSortStyle::Automatic},
    {"name_cli", "Клиент", 92, false, "", TSortStyle::Automatic},
    {"aname", "Счет", 84, false, "", TSortStyle::Automatic},
    {"limit", "Входящий", 81, true, "", TSortStyle::Financial},
    {"curr", "Текущий", 81, true, "", TSortStyle::Financial},
    {"plann", "Плановый", 81, true, "", TSortStyle::Financial},
    {"avprice", "Средняя цена", 70, true, "%.4n", TSortStyle::Financial},
    {"VAR_MARGIN", "Вариационная маржа", 80, true, "%.2n", TSortStyle::Automatic},
    {"BUY_DEPOSIT", "Залог на ПОКУПКУ", 80, true, "%.2n", TSortStyle::Automatic},
    {"SELL_DEPOSIT", "Залог на ПРОДАЖУ", 80, true, "%.2n", TSortStyle::Automatic},
};

const HiddenColumn kHidden[] = {
    {TFormAPortfel::kIdAcc, "ID_ACC"},
    {TFormAPortfel::kIdCli, "ID_CLI"},
    {TFormAPortfel::kIdBum, "ID_BUM"},
};

const TArchiveWindow::Frame kFrame{"Портфель в архиве ",
                                   "SesAPrf",
                                   "FormAPortfel",
                                   vocab::list::kArchivePortfolio,
                                   false,
                                   TArchiveWindow::BusyScope::Panel,
                                   19,
                                   kColumns,
                                   kHidden};

} // namespace

TFormAPortfel::TFormAPortfel(QWidget* parent) : TArchiveWindow(kFrame, parent) {
    Start();
}

QString TFormAPortfel::RequestParams() const {
    using namespace vocab::key;
    return KeyValue(kQuery, QueryText()) + KeyValue(kFilter, sqlFilter_) +
           KeyValue(kParam0, FromDate());
}

void TFormAPortfel::BeforeSend() {
    WriteLog(QStringLiteral("chto=306 fltr=") + sqlFilter_ + QStringLiteral(" param0=") +
             FromDate());
}

void TFormAPortfel::Load() {
    WriteLog(QStringLiteral("SesAPrfData start"));
    RowTexts cells(Grid(), {kIdAcc, kNameAcc, kIdCli, kNameCli, kIdBum, kLimit, kCurr, kPlann,
                            kAvPrice, kVarMargin, kBuyDeposit, kSellDeposit});
    const QString price = QStringLiteral("%.4n");
    const QString money = QStringLiteral("%.2n");
    const AfterRowTexts hook = [&](int, int, QStringList& texts) {
        cells.Attach(texts);
        ShowAccountName(cells, kIdAcc, kNameAcc);
        ShowClientName(cells, kIdCli, kNameCli);
        monitorkit::FormatBalances(cells, kIdBum, {kLimit, kCurr, kPlann});
        monitorkit::FormatCells(cells, price, {kAvPrice});
        monitorkit::FormatCells(cells, money, {kVarMargin, kBuyDeposit, kSellDeposit});
    };
    LoadGridFromResponse(Parser(), Grid(), hook);
    archivekit::FitFirstColumn(Grid());
    WriteLog(QStringLiteral("SesAPrfData end"));
}

QString TFormAPortfel::AskFilter(TFormFiltr& dialog, QString& caption) {
    QString sql = dialog.AccountFilter(caption);
    sql += dialog.SecurityFilter(caption, true);
    sql += dialog.PositionFilter(caption);
    return sql;
}

void TFormAPortfel::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormAPortfel(); };
    TWindowCatalog::Register(WindowCommand::ArchivePortfolio, std::move(entry));
}
