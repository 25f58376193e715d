#include "margin/TFormMarginEditRule.h"
#include "margin/LimitSpinBox.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPointer<TFormMarginEditRule>& Slot() {
    static QPointer<TFormMarginEditRule> slot;
    return slot;
}
} // namespace

TFormMarginEditRule::TFormMarginEditRule(QWidget* parent) : QDialog(parent) {
    Slot() = this;
    setWindowTitle(QStringLiteral("Редактировать "));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    client_ = new QLineEdit(this);
    client_->setReadOnly(true);
    security_ = new QLineEdit(this);
    security_->setReadOnly(true);
    limit_ = new TLimitSpinBox(this);
    form->addRow(QStringLiteral("Клиент"), client_);
    form->addRow(QStringLiteral("Бумага"), security_);
    form->addRow(QStringLiteral("Лимит"), limit_);
    layout->addLayout(form);
    buyEnable_ = new QCheckBox(QStringLiteral("Разрешить маржинальную торговлю"), this);
    calc_ = new QCheckBox(QStringLiteral("Учитывать при расчете уровня маржи"), this);
    layout->addWidget(buyEnable_);
    layout->addWidget(calc_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TFormMarginEditRule::~TFormMarginEditRule() = default;

TFormMarginEditRule* TFormMarginEditRule::Instance() {
    return Slot().data();
}

void TFormMarginEditRule::Prepare(const QString& clientName, const QString& securityName,
                                  const QString& limitText, bool marginTrading,
                                  bool countsInLevel) {
    client_->setText(clientName);
    security_->setText(securityName);
    bool ok = false;
    const double limit = limitText.trimmed().toDouble(&ok); // "." in every locale
    limit_->setValue(ok ? limit : 0);
    buyEnable_->setChecked(marginTrading);
    calc_->setChecked(countsInLevel);
}

double TFormMarginEditRule::Limit() const {
    return limit_->value();
}

bool TFormMarginEditRule::MarginTrading() const {
    return buyEnable_->isChecked();
}

bool TFormMarginEditRule::CountsInLevel() const {
    return calc_->isChecked();
}
