#pragma once
// The looping alarm sound as the sound module implements it. The module (libdaduvov_sound.so)
// is the only part of the program linked to Qt Multimedia, and through it to the audio server's
// client library and its codecs; it is loaded when a sound is first played, so a program that
// never rings does not load them at all.

#include <QString>

class QSoundEffect;

namespace platform {

// The built-in alarm sound, a 16-bit PCM WAV among the program's resources.
inline QString builtInSoundUrl() {
    return QStringLiteral("qrc:/sounds/alarm.wav");
}

// A WAV file larger than this is not loaded (the whole file would be decoded into memory): the
// built-in sound plays instead.
constexpr qint64 kMaxSoundFileBytes = 50 * 1024 * 1024;

class LoopingSound {
  public:
    virtual ~LoopingSound() = default;
    // Plays the file in a loop, or the built-in sound for a file that is missing, too large or
    // turns out not to be playable; returns at once.
    virtual void start(const QString& path) = 0;
    virtual void stop() = 0;
    virtual bool usingBuiltIn() const = 0;
    virtual bool active() const = 0;
    virtual QSoundEffect* effect() const = 0;
};

} // namespace platform

// The module's one entry point: a new sound, owned by the caller.
extern "C" {
using CreateLoopingSoundFunction = platform::LoopingSound* (*)();
}
inline constexpr const char* kCreateLoopingSoundSymbol = "daduvovCreateLoopingSound";
