#pragma once
// Where the program keeps its files, and the rule that names a file in a folder.

#include <QString>

namespace platform {

// The program folder: $XDG_DATA_HOME/daduvov (~/.local/share/daduvov when that is unset or not
// an absolute path), created when missing. The Settings file, the default Schedule file and the default alarm
// sound live there.
QString programFolder();

// folder + "/" + name, without doubling the separator when the folder already ends with "/".
QString joinPath(const QString& folder, const QString& name);

bool fileExists(const QString& path);

// A folder that is no link, belongs to this user and is closed to everyone else.
bool isPrivateFolder(const QString& path);

// $XDG_RUNTIME_DIR when it is such a private folder, otherwise empty: the place for what lives as
// long as the user's login (a socket, the notifications still on the desktop).
QString privateRuntimeFolder();

} // namespace platform
