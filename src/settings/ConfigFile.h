#pragma once
// Reading and writing the Settings file "ZIZARU.INI".

#include "settings/Settings.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace settings {

inline const QString kSettingsFileName = QStringLiteral("ZIZARU.INI");
inline const QString kDefaultSoundName = QStringLiteral("daduvov.WAV");
// A real Settings file is under 2 KiB; anything above this is not one.
constexpr qint64 kMaxSettingsFileBytes = 1024 * 1024;

// What reading the file needs from the main window.
class ConfigHost {
  public:
    virtual ~ConfigHost() = default;
    // No Settings file: choose or create the Schedule file (fills START_FILE).
    virtual void firstRunFlow() = 0;
    // START_FILE names a missing file (after the whole file was read): choose or create another.
    virtual void missingFileFlow() = 0;
    // TOP and LEFT, in twips, applied straight to the main window.
    virtual void setMainTop(float twips) = 0;
    virtual void setMainLeft(float twips) = 0;
    // The Settings file is damaged and will not be read; called before the user is told so. From
    // here on the file is left alone, by a shut-down while that message is up as well, until a
    // setting changes.
    virtual void keepDamagedSettingsFile() {}
};

// The part of a field before / after the first "=". Null when the field holds no "=". A part
// that reads as a number comes back as that number (a double): "007" gives 7.
QVariant fieldKey(const QString& field);
QVariant fieldValue(const QString& field);

// The fields of the file's text: each ends at a line end (CR LF, LF or CR) or at a comma,
// except that a field of a text key (START_FILE, INI_FILE, ALM_FILE, KOUMOKU1..KOUMOKU4) runs on
// to the line end, so a path or a label keeps its commas.
QStringList splitFields(const QString& text);

// Fills `s` from the file text, key by key; the last occurrence of a key wins. A text key takes
// its value exactly as written; a value that does not convert to its field's type leaves that
// field as it was. When the text had a START_FILE line
// and the last one names no file, the missing-file flow runs once, after everything was read.
void applyConfigText(Settings& s, const QString& fileText, ConfigHost& host);

enum class ConfigFileState {
    Read,    // read (damaged lines are skipped)
    Absent,  // no file: the first-run flow ran
    Damaged, // not a regular file of at most kMaxSettingsFileBytes, or unreadable
};

// Sets INI_FILE and ALM_FILE from the program folder, removes temporary files that
// a killed save of the Settings file left there, then runs the first-run flow when the file is
// missing, or reads it. A damaged file is not read: the user is told once, the defaults stay,
// START_FILE names the default Schedule file (the missing-file flow runs when that is missing),
// and the file itself is left alone; the caller then saves at shut-down only what changed.
ConfigFileState loadSettingsFile(Settings& s, const QString& programFolder, ConfigHost& host);

// Whether the file gives back a text value (a path, a label) exactly as written: a value is one
// line, so it holds no line end (CR or LF), and it is text that UTF-8 can hold.
bool settingsFileKeeps(const QString& text);

// The 26 lines that saveSettingsFile writes, in order.
QStringList configLines(const Settings& s, float top, float left);

// Writes the file at INI_FILE atomically. Returns the reason on failure.
std::optional<QString> saveSettingsFile(const Settings& s, float top, float left);

// Shortest decimal form of a single-precision number: 1440, 1234.5.
QString singleToText(float value);

} // namespace settings
