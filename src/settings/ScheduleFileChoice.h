#pragma once
// The three ways the Schedule file in use is chosen: the first run, a missing file, and the
// menu command 読込み. They share one file dialog (the platform's) and create a new file with
// store::createScheduleFile.

#include "settings/Settings.h"

#include <QString>

namespace settings {

inline const QString kScheduleFilter =
    QStringLiteral("スケジュールファイル(*.SDB)|*.sdb|すべてのファイル|*.*");
inline const QString kDefaultScheduleName = QStringLiteral("DEFAULT.SDB");

// A name chosen in the file dialog without an extension gets ".SDB", so that the dialog's own
// filter lists the file afterwards; a name with any extension, or one that names an existing
// file, is taken as it is.
QString withScheduleExtension(const QString& path);

// No Settings file at start-up.
void firstRunFlow(Settings& s, const QString& programFolder);
// The Settings file names a Schedule file that does not exist.
void missingFileFlow(Settings& s, const QString& programFolder);
// Menu 読込み: switch to another file, creating it when it does not exist. When the creation
// fails, or the name is one START_FILE cannot keep (a line end in it), the user is told and the
// previous file stays in use; the start-up flows fall back to the default file instead.
void openScheduleCommand(Settings& s, const QString& programFolder);
// The same switch to the file at `path`, named without the dialog (on the command line). Returns
// whether START_FILE now names that file.
bool openScheduleFile(Settings& s, const QString& path);

} // namespace settings
