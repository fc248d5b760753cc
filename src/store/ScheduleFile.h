#pragma once
// The Schedule file: its two tables and the creation of a new, empty file (`CREATE_SDB`).

#include "store/Error.h"
#include "store/ScheduleLayout.h"

#include <QString>
#include <functional>
#include <memory>

namespace store {

// Creates the file at `path` with both tables and no rows, then closes it. Fails when a file is
// already there, the folder is missing or not writable; nothing is left behind on failure.
Error createScheduleFile(const QString& path);

class Connection;

// Gives a file opened for writing the index on (年月日, 項目番号) when 予定表 has no index that
// starts with 年月日: every lookup of a date depends on it, and files made by other tools lack
// it. The index is made in a transaction of its own; a read-only or locked file, or one whose
// table cannot be indexed, is left as it is, silently. Row order of every query stays the same.
void ensureDayIndex(Connection& connection);

// Keeps `connection` open on the file at `path`: a file deleted or replaced since it was opened
// is opened again by its path, so that a deleted file is reported as missing rather than read and
// written unseen. A newly opened file gets the day index (see ensureDayIndex()).
Error keepOpen(std::unique_ptr<Connection>& connection, const QString& path);

// Called with true before and with false after work that can take seconds (indexing a large
// file), so that the program can show it is busy. The work runs on the calling thread.
void setLongWorkHook(std::function<void(bool started)> hook);

} // namespace store
