#include "margin/TFormSoundSettings.h"
#include "shell/base/Services.h"
#include "shell/base/SoundScheme.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFormSoundSettings::TFormSoundSettings(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Настройка звуковых сигналов"));
    resize(560, 140);
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout();
    critical_ = AddRow(grid, 0, QStringLiteral("Критический уровень маржи"));
    start_ = AddRow(grid, 1, QStringLiteral("Начальный уровень маржи"));
    layout->addLayout(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFormSoundSettings::ConfirmClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QLineEdit* TFormSoundSettings::AddRow(QGridLayout* grid, int row, const QString& caption) {
    auto* file = new QLineEdit(this);
    auto* browse = new QPushButton(QStringLiteral("Обзор..."), this);
    auto* listen = new QPushButton(QStringLiteral("Прослушать"), this);
    browse->setAutoDefault(false);
    listen->setAutoDefault(false);
    grid->addWidget(new QLabel(caption, this), row, 0);
    grid->addWidget(file, row, 1);
    grid->addWidget(browse, row, 2);
    grid->addWidget(listen, row, 3);
    connect(browse, &QPushButton::clicked, this, [this, file] {
        const QString path = Services::FileDialog().GetOpenFileName(
            this, QStringLiteral("Звуковой файл"), {QStringLiteral("Звуки (*.wav)")});
        if (!path.isEmpty())
            file->setText(QDir::toNativeSeparators(path));
    });
    connect(listen, &QPushButton::clicked, this,
            [file] { Services::Sound().PlayFile(file->text().trimmed()); });
    return file;
}

QString TFormSoundSettings::SoundsFolder() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/sounds");
}

int TFormSoundSettings::ShowModal() {
    critical_->setText(SoundEventFile(SoundEvent::CriticalLevel));
    start_->setText(SoundEventFile(SoundEvent::StartLevel));
    return exec();
}

void TFormSoundSettings::ConfirmClick() {
    SetSoundEventFile(SoundEvent::CriticalLevel, critical_->text().trimmed());
    SetSoundEventFile(SoundEvent::StartLevel, start_->text().trimmed());
    accept();
}
