#pragma once
// The platform services implemented with Qt: real message boxes and dialogs, the system clock,
// the primary screen, the help viewer and the looping alarm sound.

#include "platform/Services.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QFileDialog;
class QSoundEffect;
class QWidget;

namespace platform {

class HelpViewer;
class LoopingSound;

// The alarm sound: a WAV file played in a loop through QSoundEffect until stop(). Loading and
// playing happen in the background, so start() returns at once. A file that is missing, too large
// or that QSoundEffect cannot decode is replaced by the built-in alarm sound. Without an audio
// device the calls do nothing audible and never block. The sound module, and with it Qt
// Multimedia and the audio libraries, is loaded on the first start(); when it cannot be loaded
// the alarm is silent.
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
    bool usingBuiltIn() const;
    // Between start() and stop().
    bool active() const;
    // Null until the first start().
    QSoundEffect* effect() const;

  private:
    std::unique_ptr<LoopingSound> player_;
    bool loadFailed_ = false;
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
    QString openFile(const QString& filter, const DialogPlace& place) override;
    QString saveFile(const QString& filter, const QString& suggestedName, const DialogPlace& place,
                     SaveChoice* choice) override;
    std::optional<qint32> pickColor(qint32 initial) override;
    void showContents() override;
    QDateTime now() const override;
    qint64 epochSecond() const override;
    QSize size() const override;

  private:
    // The folder a file dialog shows first: the last one used, else the place's first folder,
    // else the program folder (each only while it exists).
    QString startFolder(const DialogPlace& place) const;
    // A file dialog over the place's window, showing the filter's files in startFolder().
    QFileDialog* makeFileDialog(const QString& caption, const QString& filter,
                                const DialogPlace& place) const;
    // Shows the dialog (and deletes it) and returns the full path chosen, or empty.
    QString runFileDialog(QFileDialog* dialog);

    QtSound sound_;
    QPointer<HelpViewer> help_;
    QString lastFolder_;
};

// Marks a window that closes and deletes itself on its own schedule (the splash): dialogs are
// never parented to it.
void setNeverDialogParent(QWidget* window);
// The parent for a dialog opened now: the window of `owner` when given, else the active window;
// none when that window is marked with setNeverDialogParent().
QWidget* dialogParent(QWidget* owner = nullptr);

// Copies the built-in alarm sound into the program folder as daduvov.WAV when it is missing.
void provideDefaultSound(const QString& programFolder);

} // namespace platform
