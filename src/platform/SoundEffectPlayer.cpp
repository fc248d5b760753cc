// The sound module: the looping alarm sound through QSoundEffect.

#include "platform/LoopingSound.h"

#include <QFileInfo>
#include <QObject>
#include <QSoundEffect>
#include <QUrl>

namespace platform {
namespace {

class SoundEffectPlayer final : public LoopingSound {
  public:
    SoundEffectPlayer() : effect_(new QSoundEffect(&context_)) {
        effect_->setLoopCount(QSoundEffect::Infinite);
        QObject::connect(effect_, &QSoundEffect::statusChanged, &context_, [this] { onStatusChanged(); });
        QObject::connect(effect_, &QSoundEffect::playingChanged, &context_, [this] { onPlayingChanged(); });
    }
    ~SoundEffectPlayer() override {
        active_ = false;
        effect_->stop();
    }

    void start(const QString& path) override {
        active_ = true;
        const QFileInfo file(path);
        usingBuiltIn_ = path.isEmpty() || !file.isFile() || file.size() > kMaxSoundFileBytes;
        playSource(usingBuiltIn_ ? QUrl(builtInSoundUrl()) : QUrl::fromLocalFile(file.absoluteFilePath()));
        // The status may already be known (a source loaded before).
        onStatusChanged();
    }

    void stop() override {
        active_ = false;
        effect_->stop();
    }

    bool usingBuiltIn() const override { return usingBuiltIn_; }
    bool active() const override { return active_; }
    QSoundEffect* effect() const override { return effect_; }

  private:
    void onStatusChanged() {
        // The file turned out to be unplayable (decoding runs in the background, so this can come
        // after start() has returned): play the built-in sound instead, but only while the alarm
        // is still sounding. A failing built-in sound ends it; nothing is retried.
        if (effect_->status() != QSoundEffect::Error || !active_ || usingBuiltIn_)
            return;
        usingBuiltIn_ = true;
        playSource(QUrl(builtInSoundUrl()));
    }

    void onPlayingChanged() {
        // A play that was still pending when stop() came (the sample was loading) must not start
        // the sound afterwards.
        if (effect_->isPlaying() && !active_)
            effect_->stop();
    }

    void playSource(const QUrl& url) {
        effect_->stop();
        // Setting the same source again would not reload it; a source that failed before is
        // loaded afresh by going through an empty one.
        if (effect_->source() == url && effect_->status() == QSoundEffect::Error)
            effect_->setSource(QUrl());
        if (effect_->source() != url)
            effect_->setSource(url);
        effect_->setLoopCount(QSoundEffect::Infinite);
        effect_->play();
    }

    QObject context_; // receives the effect's signals; deleted last, with the effect
    QSoundEffect* effect_;
    bool usingBuiltIn_ = false;
    bool active_ = false;
};

} // namespace
} // namespace platform

extern "C" Q_DECL_EXPORT platform::LoopingSound* daduvovCreateLoopingSound() {
    return new platform::SoundEffectPlayer;
}
