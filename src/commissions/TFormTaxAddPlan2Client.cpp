#include "commissions/TFormTaxAddPlan2Client.h"

#include "grids/TComboBoxIndexed.h"
#include "shell/base/Services.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

TFormTaxAddPlan2Client* g_instance = nullptr;

QString Utf(const char* text) {
    return QString::fromUtf8(text);
}

// Account entries in two parts: the id right-aligned in the width of "00000",
// then the display name 10 pixels further on.
class AccountEntryDelegate : public QStyledItemDelegate {
public:
    AccountEntryDelegate(QComboBox* box) : QStyledItemDelegate(box), box_(box) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString name = opt.text;
        opt.text.clear();
        QStyle* style = opt.widget ? opt.widget->style() : box_->style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        const TBaseSimpleObject* account = ComboObject(*box_, index.row());
        const int idWidth = opt.fontMetrics.horizontalAdvance(QStringLiteral("00000"));
        QRect rect = opt.rect.adjusted(2, 0, 0, 0);
        painter->save();
        painter->setPen(opt.palette.color(
            opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(QRect(rect.left(), rect.top(), idWidth, rect.height()),
                          Qt::AlignRight | Qt::AlignVCenter,
                          account ? QString::number(account->Id) : QString());
        rect.setLeft(rect.left() + idWidth + 10);
        painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, name);
        painter->restore();
    }

private:
    QComboBox* box_;
};

TComboBoxIndexed* AccountBox(QWidget* parent, const QString& name) {
    auto* box = new TComboBoxIndexed(parent);
    box->setObjectName(name);
    box->SetStyle(TComboBoxIndexed::csOwnerDrawFixed);
    box->setItemDelegate(new AccountEntryDelegate(box));
    box->OnSearchNumeric = [box](int number, int& foundIndex, bool& found) {
        foundIndex = IndexOfObjectId(*box, number);
        found = foundIndex >= 0;
    };
    return box;
}

void AddAccount(TComboBoxIndexed& box, const TTaxAccount* account) {
    AddComboObject(box, TReferenceData::Current().AccountDisplayName(account->Id, account->Name),
                   account);
}

} // namespace

TFormTaxAddPlan2Client::TFormTaxAddPlan2Client(QWidget* parent) : QDialog(parent) {
    if (!g_instance)
        g_instance = this;
    setWindowTitle(Utf("Установить тарифный план для клиента"));
    auto* layout = new QVBoxLayout(this);
    plans_ = new QComboBox(this);
    plans_->setObjectName(QStringLiteral("cbTarifPlan"));
    self_ = AccountBox(this, QStringLiteral("cbAcc4Self"));
    sub_ = AccountBox(this, QStringLiteral("cbAcc4SubCli"));
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
        AddAccount(*self_, account);
        AddAccount(*sub_, account);
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
