#include "store/FileWatch.h"

#include "store/Connection.h"

#include <sqlite3.h>

namespace store {

FileWatch::FileWatch(int lockWaitMs) : lockWaitMs_(lockWaitMs) {}

FileWatch::~FileWatch() = default;

Result<bool> FileWatch::changed(const QString& path) {
    if (connection_ && (connection_->path() != path || !connection_->fileStillAtPath()))
        connection_.reset();
    if (!connection_) {
        known_ = false;
        Error error;
        connection_ = Connection::open(path, &error);
        if (!connection_)
            return error;
        connection_->setBusyTimeout(lockWaitMs_);
    }
    // The engine's count of commits to the file that another connection made.
    Error error;
    Statement* statement = connection_->prepare(QStringLiteral("PRAGMA data_version"), &error);
    if (!statement)
        return error;
    const int rc = sqlite3_step(statement->get());
    const qint64 version = rc == SQLITE_ROW ? sqlite3_column_int64(statement->get(), 0) : 0;
    error = connection_->lastError();
    statement->reset(); // ends the read, so no lock is held between looks
    if (rc != SQLITE_ROW)
        return error; // a failure even when the engine gave no code
    const bool changed = !known_ || version != version_;
    known_ = true;
    version_ = version;
    return changed;
}

} // namespace store
