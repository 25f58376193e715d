#include "monitors/TFormEditProvDesc.h"
#include "session/TMetadataParser.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>

#include <QPointer>

TFormEditProvDesc::TFormEditProvDesc(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Изменение основания проводки"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Пользовательское основание проводки"), this));
    userText_ = new QPlainTextEdit(this);
    userText_->setObjectName(QStringLiteral("meUserText"));
    userText_->setTabChangesFocus(true);
    layout->addWidget(userText_, 1);
    layout->addWidget(
        new QLabel(QStringLiteral("Дополнительные данные (для бэк-офисных систем)"), this));
    specialCodes_ = new QLineEdit(this);
    specialCodes_->setObjectName(QStringLiteral("edSpecialCodes"));
    specialCodes_->setMaxLength(kMaxText);
    layout->addWidget(specialCodes_);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // A multi-line field has no length limit of its own: typing and pasting are cut here.
    connect(userText_, &QPlainTextEdit::textChanged, this, [this] { KeepUserTextShort(); });
    resize(420, 220);
}

void TFormEditProvDesc::KeepUserTextShort() {
    const QString text = userText_->toPlainText();
    if (text.size() <= kMaxText)
        return;
    QTextCursor cursor = userText_->textCursor();
    const int position = std::min<int>(cursor.position(), kMaxText);
    const QSignalBlocker block(userText_);
    userText_->setPlainText(text.left(kMaxText));
    cursor = userText_->textCursor();
    cursor.setPosition(position);
    userText_->setTextCursor(cursor);
}

bool TFormEditProvDesc::Edit(QString& userText, QString& specialCodes) {
    userText_->setPlainText(userText);
    specialCodes_->setText(specialCodes.left(kMaxText));
    userText_->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    userText = userText_->toPlainText();
    specialCodes = specialCodes_->text();
    return true;
}

TFormEditProvDesc& TFormEditProvDesc::Instance(QWidget* parent) {
    // Lives with its parent (the main window), or for the rest of the run.
    static QPointer<TFormEditProvDesc> dialog;
    if (dialog.isNull())
        dialog = new TFormEditProvDesc(parent);
    return *dialog;
}

QString TFormEditProvDesc::ReasonChangeParams(const QString& transactionNumber,
                                              const QString& userText,
                                              const QString& specialCodes) {
    return AlternatingParams({{QStringLiteral("chto"), QStringLiteral("103")},
                              {QStringLiteral("param0"), transactionNumber},
                              {QStringLiteral("param1"), userText.left(kMaxText)},
                              {QStringLiteral("param2"), specialCodes.left(kMaxText)}});
}
