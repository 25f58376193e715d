#include "shell/base/SoundPlayer.h"
#include "shell/base/Log.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace {
std::function<void()>& SettingsOpener() {
    static std::function<void()> opener;
    return opener;
}
} // namespace

TSoundPlayer::TSoundPlayer() = default;
TSoundPlayer::~TSoundPlayer() = default;

void TSoundPlayer::Beep() {
    QApplication::beep();
}

void TSoundPlayer::PlayFile(const QString& path) {
    if (path.isEmpty())
        return;
    if (!QFileInfo(path).isFile()) {
        WriteLog(QStringLiteral("Звуковой файл не найден: ") + path);
        return;
    }
    // One effect object: a new alarm replaces one still playing. Errors arrive later,
    // once the file was read, and are only logged.
    if (!effect_) {
        effect_ = std::make_unique<QSoundEffect>();
        QObject::connect(effect_.get(), &QSoundEffect::statusChanged, effect_.get(), [this] {
            if (effect_->status() == QSoundEffect::Error)
                WriteLog(QStringLiteral("Звуковой файл не воспроизводится: ") +
                         effect_->source().toLocalFile());
        });
    }
    effect_->stop();
    effect_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    effect_->play();
}

void TSoundPlayer::OpenSoundSettings() {
    if (SettingsOpener())
        SettingsOpener()();
}

void TSoundPlayer::SetSettingsOpener(std::function<void()> opener) {
    SettingsOpener() = std::move(opener);
}
