#pragma once
// The platform services implemented with Qt: real message boxes and dialogs, the system clock,
// the primary screen, the help viewer and the looping alarm sound.

#include "platform/Services.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QSoundEffect;
class QWidget;

namespace platform {

class HelpViewer;

// The alarm sound: a WAV file played in a loop through QSoundEffect until stop(). Loading and
// playing happen in the background, so start() returns at once. A file that is missing or that
// QSoundEffect cannot decode is replaced by the built-in alarm sound. Without an audio device
// the calls do nothing audible and never block.
class QtSound : public QObject, public SoundService {
    Q_OBJECT
  public:
    explicit QtSound(QObject* parent = nullptr);
    ~QtSound() override;
    void start(const QString& path) override;
    void stop() override;
    // The built-in alarm sound, used when a file cannot be played.
    static QString builtInSound();
    // Whether the sound currently asked for fell back to the built-in one.
    bool usingBuiltIn() const { return usingBuiltIn_; }
    // Between start() and stop().
    bool active() const { return active_; }
    QSoundEffect* effect() const { return effect_; }

  private:
    void playSource(const QUrl& url);
    void onStatusChanged();
    void onPlayingChanged();
    QSoundEffect* effect_;
    bool usingBuiltIn_ = false;
    bool active_ = false;
};

class QtPlatform : public MessageService,
                   public FileDialogService,
                   public ColorDialogService,
                   public HelpService,
                   public ClockService,
                   public ScreenService {
  public:
    QtPlatform();
    ~QtPlatform() override;
    // Installs these services (and the sound) as the program's.
    void install();

    Answer show(const QString& text, const QString& caption, Icon icon, Buttons buttons) override;
    QString openFile(const QString& filter) override;
    std::optional<qint32> pickColor(qint32 initial) override;
    void showContents() override;
    QDateTime now() const override;
    QSize size() const override;

  private:
    QtSound sound_;
    QPointer<HelpViewer> help_;
    QString lastFolder_;
};

// Marks a window that closes and deletes itself on its own schedule (the splash): dialogs are
// never parented to it.
void setNeverDialogParent(QWidget* window);
// The parent for a dialog opened now: the active window, or none when that window is marked
// with setNeverDialogParent().
QWidget* dialogParent();

// Copies the built-in alarm sound into the program folder as daduvov.WAV when it is missing.
void provideDefaultSound(const QString& programFolder);

} // namespace platform
