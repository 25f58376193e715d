#include "monitors/TFormSd.h"
#include "controls/UpdateBatch.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/MonitorWindowKit.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/Beep.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/base/NumberText.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QLabel>
#include <QStatusBar>
#include <QVBoxLayout>

#include <cmath>

using namespace monitorkit;

namespace {

const Column kColumns[] = {
    {"snum", "Номер", 55, true, "", TSortStyle::Numeric},
    {"sord", "Заявка", 48, true, "", TSortStyle::Numeric},
    {"skogda", "Время", 50, false, "", TSortStyle::Automatic},
    {"name_bum", "Инструм.", 52, false, "", TSortStyle::Automatic},
    {"buy_sell", "Вид", 25, false, "", TSortStyle::Automatic},
    {"sprice", "Цена", 64, true, "%.4n", TSortStyle::Financial},
    {"skolvo", "Кол-во (лот)", 52, true, "%.0n", TSortStyle::Financial},
    {"svol", "Объем", 82, true, "%.2n", TSortStyle::Financial},
    {"name_cli", "Клиент", 92, false, "", TSortStyle::Automatic},
    {"sexch", "Бирже", 64, true, "%.2n", TSortStyle::Financial},
    {"sdepo", "Депо", 41, true, "%.2n", TSortStyle::Financial},
    {"sbrok", "Брокеру", 52, true, "%.2n", TSortStyle::Financial},
    {"net_price", "Net price", 66, true, "%.4n", TSortStyle::Financial},
    {"sprofit", "Доход", 49, true, "%.2n", TSortStyle::Financial},
    {"name_acc", "Счет", 84, false, "", TSortStyle::Automatic},
    {"snkd", "НКД", 56, true, "%.2n", TSortStyle::Financial},
    {"syield", "Доходность", 58, true, "%.2n", TSortStyle::Financial},
};

const HiddenColumn kHidden[] = {
    {TFormSd::kIdAcc, "ID_ACC"},
    {TFormSd::kIdCli, "ID_CLI"},
    {TFormSd::kIdBum, "ID_BUM"},
};

// The column of each running total.
const int kTotalColumns[TFormSd::kTotals] = {TFormSd::kVolume,  TFormSd::kFeeExch,
                                             TFormSd::kFeeDepo, TFormSd::kFeeBrok,
                                             TFormSd::kNkd,     TFormSd::kProfit};

// How a new deal's fields land in the table: column, field of the change record and
// the pattern its number is written with (none: the text as it comes).
struct DealField {
    int tag;
    int field;
    const char* pattern;
};
const DealField kDealFields[] = {
    {TFormSd::kNum, 15, nullptr},       {TFormSd::kOrder, 3, nullptr},
    {TFormSd::kTime, 13, nullptr},      {TFormSd::kNameBum, 1, nullptr},
    {TFormSd::kBuySell, 7, nullptr},    {TFormSd::kNameCli, 19, nullptr},
    {TFormSd::kPrice, 5, ",##0.0000"},  {TFormSd::kLots, 8, ",##0"},
    {TFormSd::kVolume, 9, ",##0.00"},   {TFormSd::kNameAcc, 14, nullptr},
    {TFormSd::kFeeExch, 16, ",##0.00"}, {TFormSd::kFeeDepo, 17, ",##0.00"},
    {TFormSd::kFeeBrok, 18, ",##0.00"}, {TFormSd::kProfit, 11, ",##0.00"},
    {TFormSd::kNkd, 10, ",##0.00"},     {TFormSd::kYield, 12, ",##0.00"},
};

constexpr int kFieldBuySell = 7;
constexpr int kFieldAccountId = 20;
constexpr int kFieldSecurityId = 21;

const QString kDealsQuery = QString::number(vocab::list::kDeals);

// A cell's number as the table shows it: loaded rows hold plain numbers, appended
// rows grouped ones; an empty or unreadable cell counts 0.
double CellNumber(const QString& text) {
    double value = 0;
    if (text.isEmpty() || TryParseLocaleNumber(text, value))
        return value;
    return ParseGroupedNumber(text, 0);
}

} // namespace

TFormSd::TFormSd(QWidget* parent)
    : TChildWindow(parent),
      sesSd_(
          QStringLiteral("SesSd"), true, [this] { SesSdLogin(); }, [this] { SesSdData(); }) {
    const ListFrame frame = BuildListWindow(
        *this,
        {QStringLiteral("Сделки"), 760, kColumns, kHidden, nullptr,
         [this](int realCol, int row, TCellLook& look) { CellLook(realCol, row, look); }},
        {{"Фильтр", Qt::Key_F9, "FormSd.menuFilterClick", [this] { menuFilterClick(); }},
         {"Обновить", {}, "FormSd.menuRefreshClick", [this] { menuRefreshClick(); }}});
    grid_ = frame.grid;
    popup_ = frame.popup;
    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);
    // A label rather than the bar's message: hovering a menu item shows its own
    // message in the bar, which would wipe a message but leaves a label.
    totalsLabel_ = new QLabel(statusBar_);
    statusBar_->addWidget(totalsLabel_, 1);
    frame.layout->addWidget(statusBar_);
    ShowTotals();
}

// ---- published properties ---------------------------------------------------------

void TFormSd::SetSQLFilter(const QString& filter) {
    sqlFilter_ = filter;
    GuardStep(QStringLiteral("FormSd.SQLFilter"), [&] { sesSd_.Session().Login(); });
}

QString TFormSd::FormSettings() const {
    return GridSettingsText(*grid_);
}

void TFormSd::SetFormSettings(const QString& settings) {
    LoadGridSettings(*grid_, settings, QStringLiteral("FormSd.FormSettings"));
}

void TFormSd::SetDealFilter(const QStringList& securities, const QStringList& accounts,
                            const QString& buySell) {
    filterBum_ = securities;
    filterAcc_ = accounts;
    buySell_ = buySell;
}

// ---- requests and answers -----------------------------------------------------------

void TFormSd::SesSdLogin() {
    sesSd_.Parser().SendList(vocab::request::kList, kDealsQuery,
                             KeyValue(vocab::key::kQuery, kDealsQuery) +
                                 KeyValue(vocab::key::kFilter, sqlFilter_));
}

void TFormSd::SesSdData() {
    RowTexts cells(*grid_, {kIdAcc, kNameAcc, kIdCli, kNameCli, kVolume, kFeeExch, kFeeDepo,
                            kFeeBrok, kNkd, kProfit});
    // The totals are summed from each row's texts as the fill stores them: one pass,
    // and they cover exactly the rows stored, also when the fill ends early.
    totals_.fill(0);
    const AfterRowTexts hook = [&](int, int, QStringList& texts) {
        cells.Attach(texts);
        ShowAccountName(cells, kIdAcc, kNameAcc);
        ShowClientName(cells, kIdCli, kNameCli);
        for (int t = 0; t < kTotals; ++t)
            totals_[size_t(t)] += CellNumber(cells.Get(kTotalColumns[t]));
    };
    struct ShowAtEnd {
        TFormSd* form;
        ~ShowAtEnd() { form->ShowTotals(); }
    } showAtEnd{this};
    LoadGridFromResponse(sesSd_.Parser(), *grid_, hook);
}

void TFormSd::AddRowToTotals(int row) {
    for (int t = 0; t < kTotals; ++t)
        totals_[size_t(t)] += CellNumber(Cell(kTotalColumns[t], row));
}

QString TFormSd::TotalsLine(const std::array<double, kTotals>& totals) {
    const auto f = [&totals](Total t) {
        return FormatNumberPattern(QStringLiteral(",##0.00"), totals[size_t(t)]);
    };
    return QStringLiteral("  Итого Оборот: ") + f(kTurnover) + QStringLiteral(",  Бирже: ") +
           f(kExchange) + QStringLiteral(",  Депо: ") + f(kDepository) +
           QStringLiteral(",  Брокеру: ") + f(kBroker) + QStringLiteral(",  НКД: ") + f(kAccrued) +
           QStringLiteral(",  Доход: ") + f(kProfitTotal);
}

void TFormSd::ShowTotals() {
    totalsLabel_->setText(TotalsText());
}

QString TFormSd::Cell(int tag, int row) const {
    return gridcols::TextByTag(*grid_, tag, row);
}

void TFormSd::CellLook(int realCol, int row, TCellLook& look) const {
    if (row < grid_->FixedRows() || Cell(kNum, row).isEmpty())
        return;
    if (Cell(kBuySell, row) == QLatin1String("B"))
        look.Text = QColor(0, 0, 128);
    if (realCol == gridcols::RealByTag(*grid_, kProfit) &&
        grid_->Cell(realCol, row).startsWith(QLatin1Char('-')))
        look.Text = QColor(255, 0, 0);
}

// ---- the change stream --------------------------------------------------------------

bool TFormSd::DealMatchesFilter(const TChangeRecord& deal) {
    if (sqlFilter_.isEmpty())
        return true;
    if (!buySell_.isEmpty()) {
        // An empty letter would "occur" in any code.
        const QString letter = deal.Field(kFieldBuySell);
        if (letter.isEmpty() || !buySell_.contains(letter))
            return false;
    }
    if (!filterAcc_.isEmpty() && !filterAcc_.contains(deal.Field(kFieldAccountId)))
        return false;
    if (!filterBum_.isEmpty() && !filterBum_.contains(deal.Field(kFieldSecurityId)))
        return false;
    return true;
}

void TFormSd::AppendDeals(const std::vector<TChangeRecord>& deals) {
    const bool wasInOrder = grid_->InSortOrder();
    std::vector<int> written;
    {
        UpdateBatch batch(*grid_);
        for (const TChangeRecord& deal : deals) {
            const QString fault = deal.DealFault();
            if (!fault.isEmpty()) {
                WriteLog(QStringLiteral("FormSd.AppendDeal: сделка пропущена, ") + fault);
                ShortBeep();
                continue;
            }
            const int row = WriteDeal(deal);
            AddRowToTotals(row);
            written.push_back(row);
        }
    }
    ShowTotals();
    KeepRowsSorted(*grid_, written, wasInOrder);
}

int TFormSd::WriteDeal(const TChangeRecord& deal) {
    const int first = grid_->FixedRows();
    int row = first;
    if (grid_->RowCount() <= first || !Cell(kNum, first).isEmpty()) {
        row = grid_->RowCount();
        grid_->SetRowCount(row + 1);
    }
    QStringList texts(grid_->AllColCount());
    const auto set = [&](int tag, const QString& text) {
        const int real = gridcols::RealByTag(*grid_, tag);
        if (real >= 0)
            texts[real] = text;
    };
    for (const DealField& f : kDealFields)
        set(f.tag, f.pattern ? FormatDotNumber(QString::fromLatin1(f.pattern), deal.Field(f.field))
                             : deal.Field(f.field));

    // The net price from the cells as written, with the security's lot and nominal.
    const QString securityId = deal.Field(kFieldSecurityId);
    bool idOk = false;
    const qint32 id = securityId.toInt(&idOk);
    const TObjectList<TBumObj>& securities = TReferenceData::Current().Securities;
    for (int i = securities.Count() - 1; idOk && i >= 0; --i) {
        const TBumObj* s = securities.At(i);
        if (s->Id != id)
            continue;
        const auto number = [&](int tag) {
            return CellNumber(texts.value(gridcols::RealByTag(*grid_, tag)));
        };
        const double fees = number(kFeeExch) + number(kFeeDepo) + number(kFeeBrok);
        double net = 0;
        if (NetPrice(number(kPrice), deal.Field(kFieldBuySell) == QLatin1String("B"), fees,
                     number(kLots), s->LotSize, s->Nominal, net))
            set(kNetPrice, FormatNumberPattern(QStringLiteral(",##0.0000"), net));
        break;
    }
    grid_->SetRowTexts(row, texts);
    return row;
}

bool TFormSd::NetPrice(double price, bool buy, double fees, double lots, double lotSize,
                       double nominal, double& net) {
    const double base = lots * lotSize * nominal / 100.0;
    if (base == 0 || !std::isfinite(base))
        return false;
    const double perUnit = fees / base;
    net = buy ? price + perUnit : price - perUnit;
    return std::isfinite(net);
}

// ---- actions ------------------------------------------------------------------------

void TFormSd::menuFilterClick() {
    TFormFiltr& dialog = TFormFiltr::Instance();
    if (dialog.ShowFilter(7) != TFormFiltr::mrOk)
        return;
    QString caption = QStringLiteral("Сделки");
    QString sql = dialog.AccountFilter(caption);
    sql += dialog.SecurityFilter(caption, false);
    sql += dialog.BuySellFilter(caption);
    // Stored here and sent once below; the property would send a second time.
    sqlFilter_ = sql;
    setWindowTitle(caption);
    SetDealFilter(dialog.FilterBumList(), dialog.FilterAccList(), dialog.BuySellCode());
    statusMask_ = dialog.StatusMask();
    SesSdLogin();
}

void TFormSd::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormSd(); };
    entry.AfterShow = [](QWidget* window) { window->setProperty("SQLFilter", QString()); };
    TWindowCatalog::Register(WindowCommand::Deals, std::move(entry));
}
