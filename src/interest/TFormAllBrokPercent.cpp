#include "interest/TFormAllBrokPercent.h"

#include "controls/UpdateBatch.h"
#include "grids/TAdvColumnGrid.h"
#include "interest/TFormUpdateBrokPercent.h"
#include "session/TBrokerSession.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/NumberText.h"
#include "shell/base/Services.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

// Fields of a GET_CLI_PERCENT_ALL row.
enum Field {
    kFieldClient = 0,
    kFieldName = 1,
    kFieldWithholding = 2,
    kFieldLower = 4,
    kFieldUpper = 5,
    kFieldPercent = 7,
    kFieldAccount = 8
};

const QString kOn = QStringLiteral("ON");
const QString kOff = QStringLiteral("OFF");
const QString kSwitchOn = QStringLiteral("Включить удержание процентов");
const QString kSwitchOff = QStringLiteral("Отключить удержание процентов");
const QColor kLime(0, 255, 0);

QString Pair(const QString& key, const QString& value) {
    return key + QLatin1Char('=') + value + QChar(0);
}

TFormAllBrokPercent::TierDialogRunner& Runner() {
    static TFormAllBrokPercent::TierDialogRunner runner;
    return runner;
}

// The same few percentages recur down tens of thousands of rows: format each once.
class FormatCache {
public:
    explicit FormatCache(const QString& pattern) : pattern_(pattern) {}
    QString operator()(const QString& dotText) {
        auto it = done_.constFind(dotText);
        if (it != done_.constEnd())
            return *it;
        const QString text = FormatDotNumber(pattern_, dotText); // throws on a non-number
        if (done_.size() < 4096)
            done_.insert(dotText, text);
        return text;
    }

private:
    QString pattern_;
    QHash<QString, QString> done_;
};

} // namespace

TFormAllBrokPercent::TFormAllBrokPercent(QWidget* parent) : TChildWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Проценты"));
    resize(640, 400);
    sesAll_ = std::make_unique<TBrokerSession>(QStringLiteral("SesPercAll"));
    sesCmd_ = std::make_unique<TBrokerSession>(QStringLiteral("SesPercCmd"));
    sesAll_->OnData = [this](TBrokerSession*) { SesPercAllData(); };
    sesCmd_->OnData = [this](TBrokerSession*) { SesPercCmdData(); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* bar = new QHBoxLayout();
    bar->setContentsMargins(4, 4, 4, 2);
    bar->setSpacing(5);
    bar->addWidget(new QLabel(QStringLiteral("Счет для зачисления процентов"), this));
    accounts_ = new QComboBox(this);
    accounts_->setEditable(false);
    accounts_->setMinimumContentsLength(30);
    bar->addWidget(accounts_);
    bar->addStretch(1);
    layout->addLayout(bar);
    grid_ = new TAdvColumnGrid(this);
    layout->addWidget(grid_, 1);

    popup_ = new QMenu(this);
    connect(popup_->addAction(QStringLiteral("Проценты по клиенту")), &QAction::triggered, this,
            [this] {
                GuardStep(QStringLiteral("FormAllBrokPercent.menuClientPercentClick"),
                          [this] { menuClientPercentClick(); });
            });
    popup_->addSeparator();
    switch_ = popup_->addAction(kSwitchOn);
    connect(switch_, &QAction::triggered, this, [this] {
        GuardStep(QStringLiteral("FormAllBrokPercent.menuSwitchClick"),
                  [this] { menuSwitchClick(); });
    });
    // Only the user's choice changes the account: "activated" is not raised when the
    // answer selects the entry.
    connect(accounts_, &QComboBox::activated, this, [this](int index) {
        GuardStep(QStringLiteral("FormAllBrokPercent.CBPercAccChange"),
                  [&] { CBPercAccActivated(index); });
    });
    BuildGrid();
    FillAccounts();
}

TFormAllBrokPercent::~TFormAllBrokPercent() {
    sesAll_->OnData = nullptr;
    sesCmd_->OnData = nullptr;
}

void TFormAllBrokPercent::BuildGrid() {
    grid_->SetFixedRows(1);
    grid_->SetFixedCols(1);
    const std::pair<const char*, int> columns[] = {
        {"#/<>", 50}, {"Клиент", 160}, {"Удержание %", 75}};
    for (const auto& [header, width] : columns) {
        TGridColumn* column = grid_->AddColumn();
        column->Header = QString::fromUtf8(header);
        column->Width = width;
    }
    grid_->Loaded();
    // The window's popup, set after the grid's set-up so the grid adds none of its own
    // commands to it; the row of upper bounds must stay where it is.
    grid_->SetPopupMenu(popup_);
    grid_->SetRowMoving(false);
    grid_->SetHeaderSortable(false);
    grid_->SetRowCount(kFirstClientRow);
    grid_->SetCellLookHook(
        [this](int realCol, int row, TCellLook& look) { CellLook(realCol, row, look); });
    connect(popup_, &QMenu::aboutToShow, this, [this] {
        SelectCellAt(grid_->viewport()->mapFromGlobal(QCursor::pos()));
        PreparePopup();
    });
    connect(grid_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.row() + grid_->FixedRows() >= kFirstClientRow)
            GuardStep(QStringLiteral("FormAllBrokPercent.PercAllGridDblClick"),
                      [this] { menuClientPercentClick(); });
    });
}

void TFormAllBrokPercent::FillAccounts() {
    // Entries in the order of the reference list: the firm's own accounts.
    const QSignalBlocker quiet(accounts_);
    TReferenceData& refs = TReferenceData::Current();
    bool ok = false;
    const qint32 firm = refs.ClientKey.trimmed().toInt(&ok);
    const QVariant chosen = accounts_->currentData();
    accounts_->clear();
    if (!ok)
        return;
    for (int i = 0; i < refs.Accounts.Count(); ++i) {
        const TAccObj* account = refs.Accounts[i];
        if (account->ClientId == firm)
            accounts_->addItem(account->Name, account->Id);
    }
    accounts_->setCurrentIndex(accounts_->findData(chosen));
}

void TFormAllBrokPercent::showEvent(QShowEvent* event) {
    TChildWindow::showEvent(event);
    if (loaded_)
        return;
    loaded_ = true;
    GuardStep(QStringLiteral("FormAllBrokPercent.FormShow"), [this] { ReloadInterest(); });
}

void TFormAllBrokPercent::ReloadInterest() {
    const QModelIndex current = grid_->currentIndex();
    rememberedRow_ = current.isValid() ? current.row() + grid_->FixedRows() : -1;
    rememberedCol_ = current.isValid() ? grid_->RealColIndex(current.column()) : -1;
    setCursor(Qt::WaitCursor);
    try {
        sesAll_->SendRequest(
            vocab::request::kStoredProcedure,
            Pair(QStringLiteral("SP"), QStringLiteral("GET_CLI_PERCENT_ALL")) +
                Pair(QStringLiteral("Params"), TReferenceData::Current().ClientKey));
    } catch (...) {
        unsetCursor();
        throw;
    }
}

void TFormAllBrokPercent::SesPercAllData() {
    unsetCursor();
    TBrokerSession& ses = *sesAll_;
    UpdateBatch batch(*grid_);
    grid_->SetRowCount(kFirstClientRow);
    const int rows = ses.GetRowCount();
    if (rows <= 0)
        return;

    FillAccounts();
    {
        const QSignalBlocker quiet(accounts_);
        accounts_->setCurrentIndex(
            accounts_->findData(ses.GetCell(0, kFieldAccount).trimmed().toInt()));
    }

    // The tiers of one client: rows up to the first of another client.
    const QString firstClient = ses.GetCell(0, kFieldClient);
    int tiers = rows;
    for (int r = 1; r < rows; ++r)
        if (ses.GetCell(r, kFieldClient) != firstClient) {
            tiers = r;
            break;
        }
    const int clients = rows / tiers;

    // Tier columns: as many as the answer has, more hidden from an earlier answer.
    while (grid_->AllColCount() < kFirstTier + tiers) {
        TGridColumn* column = grid_->AddColumn();
        column->Tag = grid_->AllColCount() - 1;
        column->Width = 80;
        column->ReadOnly = true;
        column->Alignment = Qt::AlignRight | Qt::AlignVCenter;
        column->Font = grid_->GridFont();
    }
    for (int c = kFirstTier; c < grid_->AllColCount(); ++c) {
        const bool used = c < kFirstTier + tiers;
        if (used && grid_->IsHiddenColumn(c))
            grid_->UnHideColumn(c);
        else if (!used && !grid_->IsHiddenColumn(c))
            grid_->HideColumn(c);
    }
    grid_->ColumnsChanged();

    FormatCache bound(QStringLiteral(",0"));
    FormatCache percent(QStringLiteral("0.######"));
    QStringList upper(grid_->AllColCount());
    for (int j = 0; j < tiers; ++j) {
        grid_->SetCell(kFirstTier + j, 0,
                       QStringLiteral("от ") + bound(ses.GetCell(j, kFieldLower)));
        upper[kFirstTier + j] = QStringLiteral("до ") + bound(ses.GetCell(j, kFieldUpper));
    }
    grid_->SetRowCount(clients + kFirstClientRow);
    grid_->SetRowTexts(1, upper);
    QStringList texts(grid_->AllColCount());
    for (int k = 0; k < clients; ++k) {
        const int first = k * tiers;
        texts[kClientId] = ses.GetCell(first, kFieldClient);
        texts[kClientName] = ses.GetCell(first, kFieldName);
        texts[kWithholding] =
            ses.GetCell(first, kFieldWithholding) == QLatin1String("1") ? kOn : kOff;
        for (int j = 0; j < tiers; ++j)
            texts[kFirstTier + j] = percent(ses.GetCell(first + j, kFieldPercent));
        grid_->SetRowTexts(k + kFirstClientRow, texts);
    }

    if (rememberedRow_ >= kFirstClientRow && rememberedRow_ < grid_->RowCount() &&
        rememberedCol_ > 0 && rememberedCol_ < kFirstTier + tiers)
        SelectCell(rememberedRow_, rememberedCol_);
}

void TFormAllBrokPercent::CellLook(int realCol, int row, TCellLook& look) const {
    (void)realCol;
    if (row == 1)
        look.Background = grid_->FixedColor();
    else if (row >= kFirstClientRow && grid_->Cell(kWithholding, row) == kOn)
        look.Background = kLime;
}

void TFormAllBrokPercent::SelectCell(int row, int realCol) {
    const int displ = grid_->DisplColIndex(realCol);
    if (displ < 0 || row < grid_->FixedRows())
        return;
    grid_->setCurrentIndex(grid_->model()->index(row - grid_->FixedRows(), displ));
}

void TFormAllBrokPercent::SelectCellAt(const QPoint& viewportPos) {
    const QModelIndex index = grid_->indexAt(viewportPos);
    if (index.isValid())
        grid_->setCurrentIndex(index);
}

int TFormAllBrokPercent::CurrentClientRow() const {
    const QModelIndex current = grid_->currentIndex();
    const int row = current.isValid() ? current.row() + grid_->FixedRows() : -1;
    return row >= kFirstClientRow && row < grid_->RowCount() ? row : -1;
}

void TFormAllBrokPercent::PreparePopup() {
    const int row = CurrentClientRow();
    switch_->setText(row >= 0 && grid_->Cell(kWithholding, row) == kOn ? kSwitchOff : kSwitchOn);
}

void TFormAllBrokPercent::menuClientPercentClick() {
    const int row = CurrentClientRow();
    if (row < 0)
        return;
    const QString client = grid_->Cell(kClientId, row);
    const QString name = grid_->Cell(kClientName, row);
    const bool accepted =
        Runner() ? Runner()(client, name) : TFormUpdateBrokPercent::Shared().Execute(client, name);
    if (accepted)
        ReloadInterest();
}

void TFormAllBrokPercent::SendCommand(const QString& request, const QString& params) {
    setCursor(Qt::WaitCursor);
    try {
        sesCmd_->SendRequest(request, params);
    } catch (...) {
        unsetCursor();
        throw;
    }
}

void TFormAllBrokPercent::menuSwitchClick() {
    const int row = CurrentClientRow();
    if (row < 0)
        return;
    const bool on = grid_->Cell(kWithholding, row) == kOn;
    SendCommand(
        vocab::request::kUpdatePercentFlag,
        Pair(QStringLiteral("CLI"), grid_->Cell(kClientId, row)) +
            Pair(QStringLiteral("AUTO_CALC"), on ? QStringLiteral("0") : QStringLiteral("1")));
}

void TFormAllBrokPercent::CBPercAccActivated(int index) {
    const QVariant account = accounts_->itemData(index);
    if (!account.isValid())
        return;
    SendCommand(vocab::request::kUpdatePercentAccount,
                Pair(QStringLiteral("CLI"), TReferenceData::Current().ClientKey) +
                    Pair(QStringLiteral("PERC_ACC"), QString::number(account.toInt())));
}

void TFormAllBrokPercent::SesPercCmdData() {
    unsetCursor();
    const QString text = sesCmd_->GetRequestParam(QStringLiteral("Text"));
    if (text == QLatin1String("OK")) {
        ReloadInterest();
        return;
    }
    Services::MessageBox().Show(this, text, windowTitle(), MsgKind::Error, MsgCancel);
}

void TFormAllBrokPercent::SetTierDialogRunner(TierDialogRunner runner) {
    Runner() = std::move(runner);
}

void TFormAllBrokPercent::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormAllBrokPercent(); };
    TWindowCatalog::Register(WindowCommand::Interest, std::move(entry));
}
