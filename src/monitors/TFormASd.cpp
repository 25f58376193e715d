#include "monitors/TFormASd.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/NumberText.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QLabel>
#include <QMouseEvent>
#include <QStatusBar>
#include <QVBoxLayout>

using namespace monitorkit;

namespace {

const Column kColumns[] = {
    {"dtorg", "Дата", 70, false, "", TSortStyle::Date},
    {"snum", "Номер", 55, true, "", TSortStyle::Financial},
    {"sord", "Заявка", 55, true, "", TSortStyle::Financial},
    {"skogda", "Время", 50, false, "", TSortStyle::Automatic},
    {"name_bum", "Инструм.", 52, false, "", TSortStyle::Automatic},
    {"buy_sell", "Вид", 25, false, "", TSortStyle::Automatic},
    {"sprice", "Цена", 64, true, "%.4n", TSortStyle::Financial},
    {"skolvo", "Кол-во", 52, true, "%.0n", TSortStyle::Financial},
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
    {"sbrok_my", "Моя комиссия", 64, true, "%.2n", TSortStyle::Financial},
    {"sbrok_ret", "Возврат", 56, true, "%.2n", TSortStyle::Financial},
};

const HiddenColumn kHidden[] = {
    {TFormASd::kIdAcc, "ID_ACC"},
    {TFormASd::kIdCli, "ID_CLI"},
    {TFormASd::kIdBum, "ID_BUM"},
};

// The column of each total, in the order of the totals line ("Моя комиссия" and
// "Возврат" are not summed).
const int kTotalColumns[TFormSd::kTotals] = {TFormASd::kVolume,  TFormASd::kFeeExch,
                                             TFormASd::kFeeDepo, TFormASd::kFeeBrok,
                                             TFormASd::kNkd,     TFormASd::kProfit};

const TArchiveWindow::Frame kFrame{"Архив сделок",
                                   "SesASd",
                                   "FormASd",
                                   vocab::list::kArchiveDeals,
                                   true,
                                   TArchiveWindow::BusyScope::Panel,
                                   7,
                                   kColumns,
                                   kHidden};

} // namespace

TFormASd::TFormASd(QWidget* parent) : TArchiveWindow(kFrame, parent) {
    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);
    // A plain label as the first panel: a menu item's hover message would wipe a
    // message of the bar.
    totalsLabel_ = new QLabel(statusBar_);
    totalsLabel_->setTextFormat(Qt::PlainText);
    statusBar_->addWidget(totalsLabel_);
    MainLayout()->addWidget(statusBar_);
    TopPanel()->installEventFilter(this);
    Grid().SetCellLookHook(
        [this](int realCol, int row, TCellLook& look) { CellLook(realCol, row, look); });
    totalsLabel_->setText(TotalsText());
    Start();
    KeepTotalsWidth();
}

QString TFormASd::RequestParams() const {
    using namespace vocab::key;
    return KeyValue(kQuery, QueryText()) + KeyValue(kFilter, sqlFilter_) +
           KeyValue(kParam0, FromDate()) + KeyValue(archivekit::kParam1, ToDate());
}

void TFormASd::Load() {
    RowTexts cells(Grid(), {kIdAcc, kNameAcc, kIdCli, kNameCli, kVolume, kFeeExch, kFeeDepo,
                            kFeeBrok, kNkd, kProfit});
    totals_.fill(0);
    // Summed from the texts as stored, in the same pass: the totals cover exactly the
    // rows shown, also when the load ends early.
    const AfterRowTexts hook = [&](int, int, QStringList& texts) {
        cells.Attach(texts);
        ShowAccountName(cells, kIdAcc, kNameAcc);
        ShowClientName(cells, kIdCli, kNameCli);
        for (int t = 0; t < TFormSd::kTotals; ++t) {
            double value = 0;
            const QString text = cells.Get(kTotalColumns[t]);
            if (!text.isEmpty() && TryParseLocaleNumber(text, value))
                totals_[size_t(t)] += value;
        }
    };
    struct ShowAtEnd {
        TFormASd* form;
        ~ShowAtEnd() { form->totalsLabel_->setText(form->TotalsText()); }
    } showAtEnd{this};
    LoadGridFromResponse(Parser(), Grid(), hook);
}

QString TFormASd::TotalsText() const {
    return TFormSd::TotalsLine(totals_);
}

QString TFormASd::AskFilter(TFormFiltr& dialog, QString& caption) {
    QString sql = dialog.AccountFilter(caption);
    sql += dialog.SecurityFilter(caption, false);
    sql += dialog.BuySellFilter(caption);
    return sql;
}

void TFormASd::CellLook(int realCol, int row, TCellLook& look) const {
    if (row < Grid().FixedRows() || Cell(kNum, row).isEmpty())
        return;
    if (Cell(kBuySell, row) == QLatin1String("B"))
        look.Text = QColor(0, 0, 128);
    if (realCol == gridcols::RealByTag(Grid(), kProfit) &&
        Grid().Cell(realCol, row).startsWith(QLatin1Char('-')))
        look.Text = QColor(255, 0, 0);
}

void TFormASd::Panel1Click() {
    const int real = gridcols::RealByTag(Grid(), kDate);
    if (real < 0)
        return;
    if (Grid().IsHiddenColumn(real))
        Grid().UnHideColumn(real);
    else
        Grid().HideColumn(real);
}

bool TFormASd::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TopPanel() && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        GuardStep(StepName("Panel1Click"), [this] { Panel1Click(); });
    return TArchiveWindow::eventFilter(watched, event);
}

void TFormASd::resizeEvent(QResizeEvent* event) {
    TArchiveWindow::resizeEvent(event);
    KeepTotalsWidth();
}

void TFormASd::KeepTotalsWidth() {
    // The first panel stays 10 pixels narrower than the bar.
    totalsLabel_->setFixedWidth(std::max(0, width() - 10));
}

void TFormASd::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormASd(); };
    TWindowCatalog::Register(WindowCommand::ArchiveDeals, std::move(entry));
}
