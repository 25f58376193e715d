#pragma once

#include <QString>

// The alarm sounds of the margin monitor, as the user's sound scheme names them: each
// event is a key of the per-user settings store whose default (unnamed) value is the
// path of a sound file. A new user has none set.
enum class SoundEvent { CriticalLevel, StartLevel };

// The key of an event's current sound.
QString SoundEventKey(SoundEvent event);
// The sound file of the event; empty when the key or its value is missing. Reading
// never creates the key.
QString SoundEventFile(SoundEvent event);
// Stores the event's sound file (an empty path leaves the event silent).
bool SetSoundEventFile(SoundEvent event, const QString& path);
