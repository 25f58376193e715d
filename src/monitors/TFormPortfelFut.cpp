#include "monitors/TFormPortfelFut.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/CommaText.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/MonitorWindowKit.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/NumberText.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <vector>

using namespace monitorkit;

namespace {

using T = TFormPortfelFut;

const Column kContractColumns[] = {
    {"NAME_BUM", "Инструмент", 111, false, "", TSortStyle::Automatic},
    {"NAME_CLI", "Клиент", 103, false, "", TSortStyle::Automatic},
    {"NAME_ACC", "Счет", 84, false, "", TSortStyle::Automatic},
    {"INPUT_CONTRACT_COUNT", "Входящих контрактов", 99, true, "", TSortStyle::Financial},
    {"CURR_CONTRACT_COUNT", "Текущих контрактов", 104, true, "", TSortStyle::Financial},
    {"CURR_DEPOSIT", "Залог текущий", 89, true, "%.2n", TSortStyle::Financial},
    {"PLAN_DEPOSIT", "Залог плановый", 87, true, "%.2n", TSortStyle::Financial},
    {"AVG_PRICE", "Средняя цена", 82, true, "%.4n", TSortStyle::Financial},
    {"PLAN_VARIATION_MARGIN", "Вариационная маржа плановая", 103, true, "%.2n",
     TSortStyle::Financial},
};

const HiddenColumn kContractHidden[] = {
    {T::kIdAcc, "ID_ACC"}, {T::kIdBum, "ID_BUM"}, {T::kIdCli, "ID_CLI"}};

const Column kMoneyColumns[] = {
    {"NAME_BUM", "Инструмент", 111, false, "", TSortStyle::Automatic},
    {"NAME_CLI", "Клиент", 103, false, "", TSortStyle::Automatic},
    {"NAME_ACC", "Счет", 84, false, "", TSortStyle::Automatic},
    {"MONEY_FREE", "Свободные средства", 116, true, "%.2n", TSortStyle::Financial},
    {"MONEY_SUM_DEPOSIT", "Залоги суммарно", 98, true, "%.2n", TSortStyle::Financial},
    {"MONEY_TOTAL", "Всего денег (Залоги+Свободные)", 95, true, "%.2n", TSortStyle::Financial},
    {"PLAN_SUM_VARIATION_MARGIN", "Вариационная маржа плановая", 119, true, "%.2n",
     TSortStyle::Financial},
    {"PLAN_SUM_COMISSION", "Комисии плановые", 95, true, "%.2n", TSortStyle::Financial},
    {"PLAN_MONEY_TOTAL", "Всего денег, планируемый остаток", 118, true, "%.2n",
     TSortStyle::Financial},
    {"PLAN_SUM_AVAILABLE_MONEY", "Доступно к выводу", 139, true, "%.2n", TSortStyle::Financial},
};

const HiddenColumn kMoneyHidden[] = {{T::kIdAcc, "ID_ACC"}, {T::kIdCli, "ID_CLI"}};

const QString kContractsQuery = QString::number(vocab::list::kFuturesContracts);
const QString kMoneyQuery = QString::number(vocab::list::kFuturesMoney);

// The columns with a number format, by real index.
std::vector<std::pair<int, QString>> NumberFormats(const TAdvColumnGrid& grid) {
    std::vector<std::pair<int, QString>> formats;
    for (int c = 0; c < grid.AllColCount(); ++c)
        if (!grid.Column(c)->FloatFormat.isEmpty())
            formats.emplace_back(c, grid.Column(c)->FloatFormat);
    return formats;
}

// The row fix-up of both pages: account and client names as the reference data shows
// them, money and prices in their column's format (a text that is no number stays).
AfterRowTexts RowFixUp(RowTexts& cells, const std::vector<std::pair<int, QString>>& formats) {
    return [&cells, &formats](int, int, QStringList& texts) {
        cells.Attach(texts);
        ShowAccountName(cells, T::kIdAcc, T::kFutNameAcc);
        ShowClientName(cells, T::kIdCli, T::kFutNameCli);
        for (const auto& [real, format] : formats) {
            double value = 0;
            if (real < texts.size() && !texts[real].isEmpty() &&
                TryParseLocaleNumber(texts[real], value))
                texts[real] = FormatNumberPrintf(format, value);
        }
    };
}

// One page of the window: its toolbar over its grid, its popup with the items given.
ListFrame AddPage(QTabWidget& pages, const QString& title, QToolBar*& panel,
                  std::initializer_list<PopupItem> items) {
    auto* page = new QWidget(&pages);
    panel = NewToolbar(*page);
    ListFrame frame = BuildListBody(*page, panel, items);
    pages.addTab(page, title);
    return frame;
}

} // namespace

TFormPortfelFut::TFormPortfelFut(QWidget* parent)
    : TChildWindow(parent), sesFut_(
                                QStringLiteral("SesPortfelFut"), true,
                                [this] { SesPortfelFutLogin(); }, [this] { SesPortfelFutData(); }),
      sesMoney_(
          QStringLiteral("sesMoneyPos"), false, [this] { sesMoneyPosLogin(); },
          [this] { sesMoneyPosData(); }) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Фьючерсные позиции"));
    resize(760, 400);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("PageControl1"));
    layout->addWidget(pages_, 1);
    // The filter belongs to the contracts page: its key works there only.
    const ListFrame contracts = AddPage(
        *pages_, QStringLiteral("Контракты"), panelFut_,
        {{"Фильтр", Qt::Key_F9, "FormPortfelFut.menuFilterClick", [this] { menuFilterClick(); }},
         {"Обновить", {}, "FormPortfelFut.BtnRefreshClick", [this] { SendContracts(); }}});
    const ListFrame money =
        AddPage(*pages_, QStringLiteral("Деньги"), panelMoney_,
                {{"Обновить", {}, "FormPortfelFut.BtnRefreshMoneyClick", [this] { SendMoney(); }}});
    gridFut_ = contracts.grid;
    popupFut_ = contracts.popup;
    gridMoney_ = money.grid;
    popupMoney_ = money.popup;
    const auto button = [this](QToolBar* panel, QAction* action, QStyle::StandardPixmap icon,
                               const char* name) {
        QAction* b = panel->addAction(style()->standardIcon(icon), action->text());
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(action->text());
        connect(b, &QAction::triggered, action, &QAction::trigger);
    };
    button(panelFut_, contracts.items[0], QStyle::SP_FileDialogContentsView, "BtnFilter");
    button(panelFut_, contracts.items[1], QStyle::SP_BrowserReload, "BtnRefresh");
    button(panelMoney_, money.items[0], QStyle::SP_BrowserReload, "BtnRefreshMoney");

    monitorkit::BuildGrid(*gridFut_, kContractColumns, kContractHidden, popupFut_);
    monitorkit::BuildGrid(*gridMoney_, kMoneyColumns, kMoneyHidden, popupMoney_);
    gridMoney_->SetCellLookHook(
        [this](int realCol, int row, TCellLook& look) { MoneyCellLook(realCol, row, look); });
    pages_->setCurrentIndex(kContractsPage);
    connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
        GuardStep(QStringLiteral("FormPortfelFut.PageControl1Change"), [&] { PageChanged(index); });
    });
    resize(std::max(width(), gridMoney_->FullWidth() + 8), height());
}

// ---- published properties ---------------------------------------------------------

QString TFormPortfelFut::InternalFilterListBum() const {
    return ToLinesText(filterBum_);
}

void TFormPortfelFut::SetInternalFilterListBum(const QString& lines) {
    filterBum_ = FromLinesText(lines);
}

QString TFormPortfelFut::InternalFilterListAcc() const {
    return ToLinesText(filterAcc_);
}

void TFormPortfelFut::SetInternalFilterListAcc(const QString& lines) {
    filterAcc_ = FromLinesText(lines);
}

// ---- requests and answers -----------------------------------------------------------

void TFormPortfelFut::showEvent(QShowEvent* event) {
    TChildWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    // The first request goes out once the window is placed: a desktop being restored
    // has written its filter lists by then, so they travel with it.
    pages_->setCurrentIndex(kContractsPage);
    QTimer::singleShot(0, this, [this] {
        GuardStep(QStringLiteral("FormPortfelFut.FormShow"), [&] { SendContracts(); });
    });
}

void TFormPortfelFut::SendContracts() {
    using namespace vocab::key;
    sesFut_.Parser().SendList(vocab::request::kList, kContractsQuery,
                              KeyValue(kQuery, kContractsQuery) +
                                  KeyValue(kFilterAccounts, ToCommaText(filterAcc_)) +
                                  KeyValue(kFilterSecurities, ToCommaText(filterBum_)));
}

void TFormPortfelFut::SendMoney() {
    sesMoney_.Parser().SendList(vocab::request::kList, kMoneyQuery,
                                KeyValue(vocab::key::kQuery, kMoneyQuery));
}

void TFormPortfelFut::PageChanged(int index) {
    if (index == kMoneyPage)
        SendMoney();
    else if (index == kContractsPage)
        SendContracts();
}

void TFormPortfelFut::BtnRefreshClick() {
    PageChanged(pages_->currentIndex());
}

void TFormPortfelFut::SesPortfelFutData() {
    RowTexts cells(*gridFut_, {kIdAcc, kFutNameAcc, kIdCli, kFutNameCli});
    const auto formats = NumberFormats(*gridFut_);
    LoadGridFromResponse(sesFut_.Parser(), *gridFut_, RowFixUp(cells, formats));
}

void TFormPortfelFut::sesMoneyPosData() {
    RowTexts cells(*gridMoney_, {kIdAcc, kMoneyNameAcc, kIdCli, kMoneyNameCli});
    const auto formats = NumberFormats(*gridMoney_);
    LoadGridFromResponse(sesMoney_.Parser(), *gridMoney_, RowFixUp(cells, formats));
}

void TFormPortfelFut::MoneyCellLook(int realCol, int row, TCellLook& look) const {
    if (row < gridMoney_->FixedRows())
        return;
    const int tag = gridMoney_->Column(realCol)->Tag;
    if (tag != kMoneyFree && tag != kMoneyTotal && tag != kPlanMoneyTotal)
        return;
    // The cells hold their formatted, grouped text; anything else counts 0.
    if (ParseGroupedNumber(gridMoney_->Cell(realCol, row), 0) < 0)
        look.Text = QColor(255, 0, 0);
}

// ---- actions ------------------------------------------------------------------------

void TFormPortfelFut::menuFilterClick() {
    TFormFiltr& dialog = TFormFiltr::Instance();
    if (dialog.ShowFilter(3) != TFormFiltr::mrOk)
        return;
    QString caption = QStringLiteral("Фьючерсные позиции");
    // Asked securities first, kept accounts first.
    const QString securities = dialog.SecurityFilter(caption, false);
    const QString accounts = dialog.AccountFilter(caption);
    condition_ = accounts + securities;
    setWindowTitle(caption);
    filterBum_ = dialog.FilterBumList();
    filterAcc_ = dialog.FilterAccList();
    SendContracts();
}

void TFormPortfelFut::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormPortfelFut(); };
    TWindowCatalog::Register(WindowCommand::FuturesPosition, std::move(entry));
}
