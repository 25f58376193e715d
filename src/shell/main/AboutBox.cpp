#include "AboutBox.h"

#include "shell/base/ProgramVersion.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setWindowIcon(ProductIcon());
    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ProductIcon"));
    icon->setPixmap(ProductIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    auto* product = new QLabel(QStringLiteral("Орвекс-Проф"), this);
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    product->setFont(big);
    product->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(QStringLiteral("Версия ") + kProgramVersion, this);
    version->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(product);
    layout->addWidget(version);
    layout->addWidget(buttons);
    layout->setContentsMargins(24, 18, 24, 12);
    setFixedSize(sizeHint().expandedTo(QSize(280, 0)));
}

QIcon ProductIcon() {
    return QIcon(QStringLiteral(":/orvex/orvex.svg"));
}

void ApplyProductIdentity() {
    QApplication::setApplicationName(QStringLiteral("Орвекс-Проф"));
    QApplication::setApplicationVersion(kProgramVersion);
    QApplication::setWindowIcon(ProductIcon());
}
