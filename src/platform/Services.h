#pragma once
// The services of the desktop platform that the program calls: message boxes, file and colour
// dialogs, help, clock, screen size and sound. Each is a small interface; the program installs
// the Qt implementations at start, tests install a scripted fake.

#include <QDateTime>
#include <QSize>
#include <QString>
#include <optional>

class QWidget;

namespace platform {

// Caption of every message box that has no title of its own.
inline const QString kAppTitle = QStringLiteral("Daduvov");

enum class Icon { None, Information, Exclamation, Question, Critical };
// OverwriteCancel: 上書き answers Yes, 取消 (also the default and Escape) answers No.
enum class Buttons { Ok, YesNo, OverwriteCancel };
// An OK box that ended without being answered (its window went away, the program is ending)
// answers No: whatever it announced was not seen.
enum class Answer { Ok, Yes, No };

class MessageService {
  public:
    virtual ~MessageService() = default;
    // Shows a modal message box; the event loop (and with it every timer) keeps running.
    virtual Answer show(const QString& text, const QString& caption, Icon icon, Buttons buttons) = 0;
};

// Where a file dialog opens: over `owner`, the window that asks (none: the active window), and in
// the folder of the last file chosen in a file dialog during this run, or in `firstFolder` before
// any was chosen (none: the program folder).
struct DialogPlace {
    QWidget* owner = nullptr;
    QString firstFolder;
};

// A check box a save-file dialog shows below the file name: its label, and its state, which the
// dialog sets to the one the user left when a file is chosen.
struct SaveChoice {
    QString label;
    bool checked = false;
};

class FileDialogService {
  public:
    virtual ~FileDialogService() = default;
    // Open-file dialog. `filter` is "label|pattern|label|pattern..." and matches case-insensitively.
    // The user may name a file that does not exist. Returns the full path, or empty on cancel.
    virtual QString openFile(const QString& filter, const DialogPlace& place = {}) = 0;
    // Save-file dialog, for a file the program writes: asks before replacing an existing file.
    // With `choice` it also shows that check box. Returns the full path, or empty on cancel.
    virtual QString saveFile(const QString& filter, const QString& suggestedName,
                             const DialogPlace& place = {}, SaveChoice* choice = nullptr) {
        (void)suggestedName;
        (void)choice;
        return openFile(filter, place);
    }
};

class ColorDialogService {
  public:
    virtual ~ColorDialogService() = default;
    // Returns the chosen colour as 0x00BBGGRR, or nothing when the user cancels.
    virtual std::optional<qint32> pickColor(qint32 initial) = 0;
};

class HelpService {
  public:
    virtual ~HelpService() = default;
    // Opens the program's help at its contents page; does not wait.
    virtual void showContents() = 0;
};

class ClockService {
  public:
    virtual ~ClockService() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
    // Whole seconds since the epoch: what tells that the shown second has changed, cheaper than
    // now() (no time zone is consulted).
    virtual qint64 epochSecond() const { return now().toSecsSinceEpoch(); }
};

class ScreenService {
  public:
    virtual ~ScreenService() = default;
    // Size of the primary screen in pixels.
    virtual QSize size() const = 0;
};

class SoundService {
  public:
    virtual ~SoundService() = default;
    // Starts playing the WAV file in a loop and returns at once. A file that cannot be played
    // gives the built-in alarm sound instead.
    virtual void start(const QString& path) = 0;
    // Silences whatever start() began.
    virtual void stop() = 0;
};

struct Services {
    MessageService* messages = nullptr;
    FileDialogService* files = nullptr;
    ColorDialogService* colors = nullptr;
    HelpService* help = nullptr;
    ClockService* clock = nullptr;
    ScreenService* screen = nullptr;
    SoundService* sound = nullptr;
};

// The services in force for the whole program.
Services& services();
void install(const Services& s);

// Shorthands for the calls every window makes.
Answer message(const QString& text, const QString& caption = kAppTitle, Icon icon = Icon::None,
               Buttons buttons = Buttons::Ok);
QDateTime now();
QDate today();
qint64 epochSecond();

} // namespace platform
