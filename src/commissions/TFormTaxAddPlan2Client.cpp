#include "commissions/TFormTaxAddPlan2Client.h"

#include "commissions/TaxAccountBox.h"
#include "grids/TComboBoxIndexed.h"
#include "shell/base/Services.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

TFormTaxAddPlan2Client* g_instance = nullptr;

QString Utf(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

TFormTaxAddPlan2Client::TFormTaxAddPlan2Client(QWidget* parent) : QDialog(parent) {
    if (!g_instance)
        g_instance = this;
    setWindowTitle(Utf("Установить тарифный план для клиента"));
    auto* layout = new QVBoxLayout(this);
    plans_ = new QComboBox(this);
    plans_->setObjectName(QStringLiteral("cbTarifPlan"));
    self_ = MakeTaxAccountBox(this, QStringLiteral("cbAcc4Self"));
    sub_ = MakeTaxAccountBox(this, QStringLiteral("cbAcc4SubCli"));
    layout->addWidget(new QLabel(Utf("Тарифный план"), this));
    layout->addWidget(plans_);
    layout->addWidget(new QLabel(Utf("Счет для списания комиссии по собственным сделкам"), this));
    layout->addWidget(self_);
    layout->addWidget(new QLabel(Utf("Счет для списания комиссии по сделкам субклиентов"), this));
    layout->addWidget(sub_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFormTaxAddPlan2Client::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(440, 230);
}

TFormTaxAddPlan2Client::~TFormTaxAddPlan2Client() {
    if (g_instance == this)
        g_instance = nullptr;
}

TFormTaxAddPlan2Client* TFormTaxAddPlan2Client::Instance() {
    return g_instance;
}

void TFormTaxAddPlan2Client::EmptyLists() {
    plans_->clear();
    self_->clear();
    sub_->clear();
    work_.Plan = nullptr;
}

void TFormTaxAddPlan2Client::Prepare(const TTaxLists& lists, const TTaxClient& client) {
    work_ = client;
    EmptyLists();
    work_.Plan = client.Plan;
    dealAccount_ = std::make_unique<TTaxAccount>();
    dealAccount_->Id = 0;
    dealAccount_->Name = DealAccountName();

    for (const TTaxTarifPlan* plan : lists.Plans)
        AddComboObject(*plans_, plan->Name, plan);
    AddComboObject(*self_, dealAccount_->Name, dealAccount_.get());
    for (const TTaxAccount* account : lists.AccountsOf(client.Id)) {
        AddTaxAccount(*self_, account);
        AddTaxAccount(*sub_, account);
    }
    plans_->setCurrentIndex(IndexOfObjectId(*plans_, client.PlanId));
    self_->setCurrentIndex(IndexOfObjectId(*self_, client.SelfAccountId));
    sub_->setCurrentIndex(IndexOfObjectId(*sub_, client.CliAccountId));
    plans_->setFocus();
}

int TFormTaxAddPlan2Client::AssignPlan(const TTaxLists& lists, const TTaxClient& client) {
    Prepare(lists, client);
    return exec();
}

void TFormTaxAddPlan2Client::accept() {
    if (plans_->currentIndex() < 0 || self_->currentIndex() < 0 || sub_->currentIndex() < 0) {
        Services::MessageBox().Show(this, Utf("Заполните все поля!"), windowTitle(), MsgKind::Error,
                                    MsgCancel);
        return;
    }
    QDialog::accept();
}

const TTaxClient& TFormTaxAddPlan2Client::TakeResult() {
    auto* plan = const_cast<TTaxTarifPlan*>(
        dynamic_cast<const TTaxTarifPlan*>(ComboObject(*plans_, plans_->currentIndex())));
    work_.Plan = plan;
    work_.PlanId = plan ? plan->Id : 0;
    const TBaseSimpleObject* self = ComboObject(*self_, self_->currentIndex());
    work_.SelfAccountId = self ? self->Id : 0;
    work_.SelfAccountName = self ? self->Name : QString();
    const TBaseSimpleObject* sub = ComboObject(*sub_, sub_->currentIndex());
    work_.CliAccountId = sub ? sub->Id : 0;
    work_.CliAccountName = sub ? sub->Name : QString();
    return work_;
}
