#include "monitors/TFormAProv.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/INewTransactionDialog.h"
#include "monitors/TFormEditProvDesc.h"
#include "session/TBrokerSession.h"
#include "session/wire/Cp1251.h"
#include "session/wire/Vocabulary.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

using namespace monitorkit;

namespace {

const Column kColumns[] = {
    {"dtorg", "Дата исполнения", 70, false, "", TSortStyle::Date},
    {"id_pr", "Номер", 50, true, "", TSortStyle::Numeric},
    {"pkogda", "Время исполнения", 59, false, "", TSortStyle::Automatic},
    {"oaname", "Счет отправителя", 90, false, "", TSortStyle::Automatic},
    {"ianame", "Счет получателя", 90, false, "", TSortStyle::Automatic},
    {"instr", "Инструмент", 90, false, "", TSortStyle::Automatic},
    {"pvol", "Объем", 86, true, "%.2n", TSortStyle::Financial},
    {"prim", "Основание", 140, false, "", TSortStyle::Automatic},
    {"pprice", "Средняя цена", 60, true, "%.4n", TSortStyle::Automatic},
    {"CREATE_DATE", "Дата создания", 70, false, "", TSortStyle::Date},
    {"PROV_SYMBOL_TEXT", "Классификатор", 80, false, "", TSortStyle::Automatic},
    {"SPECIAL_CODES", "Доп.данные", 80, false, "", TSortStyle::Automatic},
};

const HiddenColumn kHidden[] = {
    {TFormAProv::kIdDebit, "ID_ACC_DEBET"},
    {TFormAProv::kIdCredit, "ID_ACC_KREDIT"},
    {TFormAProv::kIdBum, "ID_BUM"},
};

const TArchiveWindow::Frame kFrame{"Проводки в архиве ",
                                   "SesAProv",
                                   "FormAProv",
                                   vocab::list::kArchiveTransactions,
                                   true,
                                   TArchiveWindow::BusyScope::Panel,
                                   35,
                                   kColumns,
                                   kHidden};

} // namespace

TFormAProv::TFormAProv(QWidget* parent) : TArchiveWindow(kFrame, parent) {
    sesEditProvDesc_ = std::make_unique<TBrokerSession>(QStringLiteral("sesEditProvDesc"), true);
    sesEditProvDesc_->OnData = [this](TBrokerSession*) { SesEditProvDescData(); };

    listMode_ = new QComboBox(TopPanel());
    listMode_->setObjectName(QStringLiteral("cbListMode"));
    listMode_->addItems({QStringLiteral("Дата исполнения"), QStringLiteral("Дата создания"),
                         QStringLiteral("Дата исполнения(<>дате создания)"),
                         QStringLiteral("Дата создания(<>дате исполнения)")});
    listMode_->setCurrentIndex(0);
    PanelLayout()->insertWidget(0, listMode_);

    copyProv_ =
        AddAction(*this, *PopupMenu(), QStringLiteral("Копировать проводку"), QKeySequence(),
                  StepName("menuCopyProvClick"), [this] { menuCopyProvClick(); });
    AddAction(*this, *PopupMenu(), QStringLiteral("Изменить основание"), QKeySequence(),
              StepName("menuEditDescClick"), [this] { menuEditDescClick(); });
    // Without a new-transaction dialog the copy stays disabled.
    copyProv_->setEnabled(INewTransactionDialog::Current() != nullptr);
    auto* copyButton = new QToolButton(TopPanel());
    copyButton->setObjectName(QStringLiteral("BtnCopyProv"));
    copyButton->setDefaultAction(copyProv_);
    copyButton->setIcon(style()->standardIcon(QStyle::SP_FileLinkIcon));
    copyButton->setToolTip(QStringLiteral("Копировать данные в новую проводку из текущей строки"));
    copyButton->setAutoRaise(true);
    PanelLayout()->addWidget(copyButton);

    Start();
    for (int tag : {kSymbolText, kSpecialCodes})
        Grid().HideColumn(gridcols::RealByTag(Grid(), tag));
}

TFormAProv::~TFormAProv() {
    sesEditProvDesc_->OnData = nullptr;
}

QString TFormAProv::RequestParams() const {
    using namespace vocab::key;
    return KeyValue(kQuery, QueryText()) + KeyValue(kParam0, FromDate()) +
           KeyValue(archivekit::kParam1, ToDate()) +
           KeyValue(archivekit::kParam2, QString::number(listMode_->currentIndex())) +
           KeyValue(kFilter, sqlFilter_);
}

void TFormAProv::Load() {
    RowTexts cells(Grid(), {kIdDebit, kDebitName, kIdCredit, kCreditName});
    const AfterRowTexts hook = [&](int, int, QStringList& texts) {
        cells.Attach(texts);
        ShowAccountName(cells, kIdDebit, kDebitName);
        ShowAccountName(cells, kIdCredit, kCreditName);
    };
    LoadGridFromResponse(Parser(), Grid(), hook);
}

QString TFormAProv::AskFilter(TFormFiltr& dialog, QString& caption) {
    // Asked securities first, stored transaction accounts first.
    const QString securities = dialog.SecurityFilter(caption, true);
    const QString accounts = dialog.DebitCreditFilter(caption);
    return accounts + securities;
}

void TFormAProv::menuCopyProvClick() {
    INewTransactionDialog* dialog = INewTransactionDialog::Current();
    const int row = CurrentDataRow();
    const QModelIndex current = Grid().currentIndex();
    if (!dialog || row < 0 || !current.isValid())
        return;
    if (Grid().Cell(Grid().RealColIndex(current.column()), row).isEmpty())
        return;
    dialog->OpenFilled(Cell(kIdDebit, row), Cell(kIdCredit, row), Cell(kPrice, row),
                       Cell(kReason, row), Cell(kVolume, row), Cell(kInstr, row));
}

void TFormAProv::menuEditDescClick() {
    const int row = CurrentDataRow();
    if (row < 0)
        return;
    const QString number = Cell(kIdPr, row);
    if (number.isEmpty())
        return;
    QString userText = Cell(kReason, row);
    QString specialCodes = Cell(kSpecialCodes, row);
    if (!TFormEditProvDesc::Instance().Edit(userText, specialCodes))
        return;
    sesEditProvDesc_->SendCommand(vocab::request::kCommand, TFormEditProvDesc::ReasonChangeParams(
                                                                number, userText, specialCodes));
}

void TFormAProv::SesEditProvDescData() {
    // A refusal changes nothing, silently.
    if (sesEditProvDesc_->GetRowCount() > 0 &&
        Cp1251::Decode(sesEditProvDesc_->GetField(0, 0)) == QLatin1String("0"))
        Button1Click();
}

void TFormAProv::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormAProv(); };
    TWindowCatalog::Register(WindowCommand::ArchiveTransactions, std::move(entry));
}
