#pragma once

#include "shell/base/Services.h"

#include <memory>

class QSoundEffect;

// The sound service of the running program: plays WAV files without waiting for them
// and without a fallback sound. A file that cannot be played (missing, not a WAV, no
// audio device) is skipped with one log line.
class TSoundPlayer : public ISoundService {
public:
    TSoundPlayer();
    ~TSoundPlayer() override;

    void Beep() override;
    void PlayFile(const QString& path) override;
    // The program's own sound settings dialog; set by the margin unit that owns it.
    void OpenSoundSettings() override;
    static void SetSettingsOpener(std::function<void()> opener);

private:
    std::unique_ptr<QSoundEffect> effect_;
};
