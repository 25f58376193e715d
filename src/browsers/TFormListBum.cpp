#include "browsers/TFormListBum.h"

#include "controls/UpdateBatch.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/NumberText.h"
#include "shell/base/WorkstationLocale.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QHash>
#include <QMenu>
#include <QVBoxLayout>

#include <functional>

namespace {

struct ColumnDef {
    const char* header;
    int width;
    bool right;
    TSortStyle sort;
};

const ColumnDef kColumns[] = {
    {"№", 50, true, TSortStyle::Numeric},
    {"Наименование", 220, false, TSortStyle::Markup},
    {"Лот", 60, true, TSortStyle::Numeric},
    {"Точность", 60, true, TSortStyle::Numeric},
    {"Номинал (для облигаций)", 90, true, TSortStyle::Numeric},
    {"Листинг", 120, false, TSortStyle::Automatic},
    {"Торговый Код", 90, false, TSortStyle::Automatic},
    {"Код гос.регистрации", 110, false, TSortStyle::Automatic},
    {"Залог на покупку (для фьючерсов)", 110, true, TSortStyle::Automatic},
    {"Залог на продажу (для фьючерсов)", 110, true, TSortStyle::Automatic},
};

std::function<void(QWidget*)>& WindowOpener() {
    static std::function<void(QWidget*)> opener;
    return opener;
}

// Most securities have no deposits: their zero skips the general conversion.
QString GeneralNumber(double value) {
    static const QString kZero = QStringLiteral("0");
    return value == 0 ? kZero
                      : FormatGeneralNumber(value, WorkstationLocale::Current().decimalSeparator);
}

} // namespace

TFormListBum::TFormListBum(QWidget* parent) : TChildWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Справочник инструментов"));
    resize(1000, 460);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    grid_ = new TAdvColumnGrid(this);
    layout->addWidget(grid_, 1);

    // The window's own popup is empty: the grid's commands are the whole menu.
    popup_ = new QMenu(this);
    grid_->SetFixedRows(1);
    grid_->SetFixedCols(1);
    int tag = 0;
    for (const ColumnDef& def : kColumns) {
        TGridColumn* column = grid_->AddColumn();
        column->Header = QString::fromUtf8(def.header);
        column->Width = def.width;
        column->Alignment = (def.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
        column->SortStyle = def.sort;
        column->Tag = tag++;
    }
    grid_->Column(0)->Fixed = true;
    grid_->SetPopupMenu(popup_);
    grid_->Loaded();
    grid_->ColumnsChanged();
    GuardStep(QStringLiteral("FormListBum.FormCreate"), [&] { Fill(TReferenceData::Current()); });
}

QString TFormListBum::DisplayName(const QString& nameTemplate, const QString& tradeCode,
                                  const QString& shortName) {
    static const QString kCode = QStringLiteral("%CODE%");
    static const QString kText = QStringLiteral("%TEXT%");
    // One pass, so a code or name that itself holds a placeholder stays as it is.
    QString out;
    out.reserve(nameTemplate.size() + tradeCode.size() + shortName.size());
    const QStringView text(nameTemplate);
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.mid(i).startsWith(kCode)) {
            out += tradeCode;
            i += kCode.size();
        } else if (text.mid(i).startsWith(kText)) {
            out += shortName;
            i += kText.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

void TFormListBum::Fill(const TReferenceData& refs) {
    // The first board of each code, found once rather than by a scan per row.
    QHash<QString, const TBoardObj*> boardByCode;
    boardByCode.reserve(refs.Boards.Count());
    for (const TBoardObj* board : refs.Boards) {
        if (!boardByCode.contains(board->BoardCode))
            boardByCode.insert(board->BoardCode, board);
    }
    const int first = grid_->FixedRows();
    UpdateBatch batch(*grid_);
    grid_->SetRowCount(first + std::max(1, refs.Securities.Count()));
    QStringList texts(grid_->AllColCount(), QString());
    grid_->SetRowTexts(first, texts);
    std::vector<int> realOf(std::size(kColumns));
    for (int tag = 0; tag < int(std::size(kColumns)); ++tag)
        realOf[size_t(tag)] = grid_->IndexOfColumn(grid_->ColumnByTag(tag));
    int row = first;
    for (const TBumObj* bum : refs.Securities) {
        auto set = [&](int tag, const QString& text) { texts[realOf[size_t(tag)]] = text; };
        set(kId, QString::number(bum->Id));
        set(kLot, QString::number(bum->LotSize));
        set(kPrecision, QString::number(bum->Precision));
        set(kNominal, QString::number(bum->Nominal));
        set(kTradeCode, bum->TradeCode);
        set(kGovernmentCode, bum->GovernmentCode);
        set(kBuyDeposit, GeneralNumber(bum->FutBuyDeposit));
        set(kSellDeposit, GeneralNumber(bum->FutSellDeposit));
        QString name, listing;
        if (const TBoardObj* board = boardByCode.value(bum->BoardCode, nullptr)) {
            if (const TTSObj* ts =
                    FindObject(refs.TradingSystems, kKindTradingSystem, bum->TradingSystemId)) {
                name = DisplayName(ts->NameTemplate, bum->TradeCode, bum->ShortName);
                listing = board->Name;
            }
        }
        set(kName, name);
        set(kListing, listing);
        grid_->SetRowTexts(row++, texts);
    }
}

void TFormListBum::ShowSecurity(const QString& securityId) {
    const int idCol = grid_->IndexOfColumn(grid_->ColumnByTag(kId));
    for (int row = grid_->FixedRows(); row < grid_->RowCount(); ++row) {
        if (grid_->Cell(idCol, row) != securityId)
            continue;
        const int col = grid_->FixedCols();
        grid_->SetSelection({col, row, col, row});
        grid_->SetTopRow(row);
        return;
    }
}

void TFormListBum::SetWindowOpener(std::function<void(QWidget*)> opener) {
    WindowOpener() = std::move(opener);
}

TFormListBum* TFormListBum::OpenOnSecurity(int securityId) {
    auto* window = new TFormListBum();
    if (WindowOpener())
        WindowOpener()(window);
    else
        window->show();
    window->ShowSecurity(QString::number(securityId));
    return window;
}

void TFormListBum::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormListBum(); };
    TWindowCatalog::Register(WindowCommand::SecuritiesReference, std::move(entry));
    SetSecurityInfoOpener([](int securityId) {
        GuardStep(QStringLiteral("FormListBum.ShowSecurity"),
                  [securityId] { OpenOnSecurity(securityId); });
    });
}
