#include "commissions/TFormTaxAddTarif2Plan.h"

#include "commissions/TaxObjects.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

TFormTaxAddTarif2Plan* g_instance = nullptr;
constexpr int kTarifRole = Qt::UserRole + 1;

} // namespace

TFormTaxAddTarif2Plan::TFormTaxAddTarif2Plan(QWidget* parent) : QDialog(parent) {
    if (!g_instance)
        g_instance = this;
    setWindowTitle(QString::fromUtf8("Тарифы"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("lbListTarif"));
    list_->setUniformItemSizes(true);
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(420, 420);
}

TFormTaxAddTarif2Plan::~TFormTaxAddTarif2Plan() {
    if (g_instance == this)
        g_instance = nullptr;
}

TFormTaxAddTarif2Plan* TFormTaxAddTarif2Plan::Instance() {
    return g_instance;
}

void TFormTaxAddTarif2Plan::EmptyList() {
    list_->clear();
    outOfDate_ = true;
}

void TFormTaxAddTarif2Plan::Refresh(const TTaxLists& lists) {
    if (outOfDate_ || list_->count() == 0) {
        list_->clear();
        for (TTaxTarif* tarif : lists.Tarifs) {
            auto* item = new QListWidgetItem(
                QStringLiteral("%1  %2").arg(tarif->Id).arg(tarif->Name), list_);
            item->setData(kTarifRole, QVariant::fromValue(static_cast<void*>(tarif)));
        }
        outOfDate_ = false;
    }
    if (list_->currentRow() < 0 && list_->count() > 0)
        list_->setCurrentRow(0);
}

TTaxTarif* TFormTaxAddTarif2Plan::SelectedTarif() const {
    const QListWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected())
        return nullptr;
    return static_cast<TTaxTarif*>(item->data(kTarifRole).value<void*>());
}

int TFormTaxAddTarif2Plan::ChooseTarif(const TTaxLists& lists, TTaxTarif*& chosen) {
    Refresh(lists);
    chosen = nullptr;
    if (exec() != QDialog::Accepted)
        return QDialog::Rejected;
    chosen = SelectedTarif();
    return chosen ? QDialog::Accepted : QDialog::Rejected;
}
