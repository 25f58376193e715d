#include "interest/TFormUpdateBrokPercent.h"

#include "grids/TAdvColumnGrid.h"
#include "grids/fill/PositionFill.h"
#include "interest/InterestRules.h"
#include "session/TBrokerSession.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ConvertError.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/NumberText.h"
#include "shell/base/Services.h"

#include <QDialogButtonBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPointer<TFormUpdateBrokPercent>& SharedSlot() {
    static QPointer<TFormUpdateBrokPercent> dialog;
    return dialog;
}

const QString kCaption = QStringLiteral("Изменение брокерского процента");

} // namespace

TFormUpdateBrokPercent::TFormUpdateBrokPercent(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kCaption);
    resize(560, 240);
    sesPerc_ = std::make_unique<TMetadataSession>(QStringLiteral("SesPerc"));
    sesUpd_ = std::make_unique<TMetadataSession>(QStringLiteral("SesPercUpd"));
    sesPerc_->OnData = [this](TBrokerSession*) { SesPercData(); };
    sesUpd_->OnData = [this](TBrokerSession*) { SesUpdData(); };

    auto* layout = new QVBoxLayout(this);
    grid_ = new TAdvColumnGrid(this);
    layout->addWidget(grid_, 1);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    // OK closes only after the server's answer; the box must not accept by itself.
    disconnect(buttons, nullptr, this, nullptr);
    connect(ok_, &QPushButton::clicked, this, [this] {
        GuardStep(QStringLiteral("FormUpdateBrokPercent.BtnOkClick"), [this] { BtnOkClick(); });
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    BuildGrid();
    // Every column in view, and room for the scroll bar.
    resize(std::max(width(), grid_->FullWidth() + 48), height());
}

TFormUpdateBrokPercent::~TFormUpdateBrokPercent() {
    sesPerc_->OnData = nullptr;
    sesUpd_->OnData = nullptr;
}

TFormUpdateBrokPercent& TFormUpdateBrokPercent::Shared() {
    if (!SharedSlot())
        CreateShared(nullptr);
    return *SharedSlot();
}

void TFormUpdateBrokPercent::CreateShared(QWidget* parent) {
    delete SharedSlot().data();
    SharedSlot() = new TFormUpdateBrokPercent(parent);
}

void TFormUpdateBrokPercent::BuildGrid() {
    struct ColumnShape {
        const char* header;
        int width;
        const char* format;
    };
    static const ColumnShape kColumns[] = {{"", 40, ""},
                                           {"ОТ", 100, "%.0n"},
                                           {"ДО", 100, "%.0n"},
                                           {"% вышестоящего брокера", 90, ""},
                                           {"%", 70, ""}};
    grid_->SetFixedRows(1);
    grid_->SetFixedCols(4);
    for (const ColumnShape& shape : kColumns) {
        TGridColumn* column = grid_->AddColumn();
        column->Header = QString::fromUtf8(shape.header);
        column->Width = shape.width;
        column->FloatFormat = QString::fromLatin1(shape.format);
        column->Alignment =
            (column->Header.isEmpty() ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
    }
    grid_->Loaded();
    grid_->Column(kPercent)->ReadOnly = false;
    grid_->SetRowMoving(false);
    grid_->SetHeaderSortable(false);
    grid_->SetEditable(true);
    grid_->SetHeaderRowHeight(50);
    grid_->ColumnsChanged();
    grid_->SetRowCount(2);
    // The tier's data cells but the client's percentage look read-only.
    const QColor buttonFace = palette().color(QPalette::Button);
    grid_->SetCellLookHook([buttonFace](int realCol, int row, TCellLook& look) {
        if (row >= 1 && realCol >= kTierId && realCol <= kUpperBroker)
            look.Background = buttonFace;
    });
}

void TFormUpdateBrokPercent::Open(const QString& clientId, const QString& clientName) {
    clientId_ = clientId;
    setWindowTitle(QStringLiteral("Проценты по: ") + clientName);
    grid_->SetRowCount(2);
    setCursor(Qt::WaitCursor);
    try {
        sesPerc_->SendRequest(vocab::request::kStoredProcedure,
                              QStringLiteral("SP=GET_CLI_PERCENT") + QChar(0) +
                                  QStringLiteral("Params=") + clientId + QChar(0));
    } catch (...) {
        unsetCursor();
        throw;
    }
}

bool TFormUpdateBrokPercent::Execute(const QString& clientId, const QString& clientName) {
    Open(clientId, clientName);
    return exec() == QDialog::Accepted;
}

void TFormUpdateBrokPercent::SesPercData() {
    unsetCursor();
    LoadGridByPosition(*sesPerc_, *grid_);
    for (int row = 1; row < grid_->RowCount(); ++row)
        for (int col : {kUpperBroker, kPercent}) {
            const QString text = grid_->Cell(col, row);
            if (!text.isEmpty())
                grid_->SetCell(col, row, FormatDotNumber(QStringLiteral("0.######"), text));
        }
    grid_->setFocus(Qt::OtherFocusReason);
}

void TFormUpdateBrokPercent::ShowError(const QString& text) {
    Services::MessageBox().Show(this, text, windowTitle(), MsgKind::Error, MsgCancel);
}

void TFormUpdateBrokPercent::BtnOkClick() {
    // A cell still being edited was written back when the button took the focus.
    QStringList percents;
    QList<TTierPercent> tiers;
    for (int row = 1; row < grid_->RowCount(); ++row) {
        percents << grid_->Cell(kPercent, row);
        tiers.append({grid_->Cell(kTierId, row), grid_->Cell(kPercent, row)});
    }
    const QString refusal = CheckTierPercents(percents);
    if (!refusal.isEmpty()) {
        ShowError(refusal);
        return;
    }
    if (tiers.size() < 2) {
        reject();
        return;
    }
    QString params;
    try {
        params = UpdateBrokerPercentParams(clientId_, tiers);
    } catch (const EConvertError& e) {
        ShowError(e.Message());
        return;
    }
    setCursor(Qt::WaitCursor);
    try {
        sesUpd_->SendRequest(vocab::request::kUpdateBrokerPercent, params);
    } catch (...) {
        unsetCursor();
        throw;
    }
}

void TFormUpdateBrokPercent::SesUpdData() {
    unsetCursor();
    const QString text = sesUpd_->GetRequestParam(QStringLiteral("Text"));
    if (text == QLatin1String("OK"))
        accept();
    else
        ShowError(text);
}
