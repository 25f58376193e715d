#include "desktops/TFormSaveAsDesktop.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TFormSaveAsDesktop::TFormSaveAsDesktop(const QStringList& desktopNames, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("FormSaveAsDesktop"));
    setWindowTitle(QStringLiteral("Сохранение рабочего стола"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Сохранить рабочий стол под именем:"), this));
    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("CbDesktopName"));
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert); // the list stays as it was at start
    combo_->addItems(desktopNames);
    layout->addWidget(combo_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setFixedSize(320, sizeHint().height());
    hide();
}

bool TFormSaveAsDesktop::Ask(QString& name) {
    combo_->setCurrentText(name);
    combo_->lineEdit()->selectAll();
    if (exec() != QDialog::Accepted)
        return false;
    name = combo_->currentText();
    return true;
}
