#include "margin/TFormMarginLevel.h"
#include "margin/MarginLevels.h"
#include "shell/base/Log.h"
#include "shell/base/Services.h"
#include "shell/refs/ReferenceData.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <exception>

namespace {
QPointer<TFormMarginLevel>& Slot() {
    static QPointer<TFormMarginLevel> slot;
    return slot;
}
} // namespace

TFormMarginLevel::TFormMarginLevel(QWidget* parent) : QDialog(parent) {
    Slot() = this;
    setWindowTitle(QStringLiteral("Изменение уровней маржи"));
    auto* layout = new QVBoxLayout(this);
    clientName_ = new QLabel(this);
    QFont bold = clientName_->font();
    bold.setBold(true);
    clientName_->setFont(bold);
    layout->addWidget(clientName_);
    mode_ = new QCheckBox(QStringLiteral("Маржинальный клиент"), this);
    layout->addWidget(mode_);
    auto* form = new QFormLayout();
    accounts_ = new QComboBox(this);
    form->addRow(QStringLiteral("Заемный счет"), accounts_);
    start_ = new QSpinBox(this);
    start_->setRange(1, 100);
    form->addRow(QStringLiteral("Уровень \nначальной маржи"), start_);
    factor_ = new QLabel(QStringLiteral(":"), this);
    form->addRow(QStringLiteral("Плечо, как отношение \nсобственные средства : кредит"), factor_);
    critical_ = new QSpinBox(this);
    critical_->setRange(1, 100);
    form->addRow(QStringLiteral("Уровень критической маржи"), critical_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFormMarginLevel::ConfirmClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(start_, &QSpinBox::valueChanged, this, [this] { UpdateFactor(); });
}

TFormMarginLevel::~TFormMarginLevel() = default;

TFormMarginLevel* TFormMarginLevel::Instance() {
    return Slot().data();
}

void TFormMarginLevel::FillControls(const TReferenceData& refs) {
    WriteLog(QStringLiteral("Построение диалога изменения уровней маржи"));
    try {
        accounts_->clear();
        bool ok = false;
        const int firm = refs.ClientKey.toInt(&ok);
        if (!ok)
            return;
        // Each entry carries the account's id, not the object: a reload frees the
        // objects while the list may still be shown.
        for (const TAccObj* acc : refs.Accounts)
            if (acc->ClientId == firm)
                accounts_->addItem(acc->Name, acc->Id);
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("EXCEPTION FormMarginLevel.FillControls. ") +
                 QString::fromUtf8(e.what()));
    }
}

void TFormMarginLevel::ClearAccounts() {
    accounts_->clear();
}

void TFormMarginLevel::Prepare(const QString& clientNumber, const QString& clientName,
                               const QString& accountName, bool marginMode, int startLevel,
                               int criticalLevel) {
    clientNumber_ = clientNumber;
    clientName_->setText(clientName);
    int found = -1;
    for (int i = 0; i < accounts_->count() && found < 0; ++i)
        if (accounts_->itemText(i).compare(accountName, Qt::CaseInsensitive) == 0)
            found = i;
    accounts_->setCurrentIndex(found);
    mode_->setChecked(marginMode);
    start_->setValue(startLevel);
    critical_->setValue(criticalLevel);
    UpdateFactor();
}

bool TFormMarginLevel::MarginMode() const {
    return mode_->isChecked();
}

int TFormMarginLevel::ChosenAccountId() const {
    return accounts_->currentIndex() < 0 ? 0 : accounts_->currentData().toInt();
}

int TFormMarginLevel::StartLevel() const {
    return start_->value();
}

int TFormMarginLevel::CriticalLevel() const {
    return critical_->value();
}

void TFormMarginLevel::UpdateFactor() {
    const QString text = margin::LeverageText(start_->value());
    if (!text.isEmpty())
        factor_->setText(text);
}

void TFormMarginLevel::ConfirmClick() {
    const auto refuse = [this](const QString& text) {
        Services::MessageBox().Show(this, text, windowTitle(), MsgKind::Error, MsgCancel);
    };
    if (accounts_->currentIndex() < 0 && mode_->isChecked()) {
        refuse(QStringLiteral("Не выбран кредитный счет!"));
        return;
    }
    if (start_->value() < critical_->value()) {
        refuse(
            QStringLiteral("Критический уровень маржи должен быть меньше или равен начальному!"));
        return;
    }
    accept();
}
