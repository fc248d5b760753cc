#include "store/FileWatch.h"

#include "platform/FileSystem.h"
#include "store/Connection.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <sqlite3.h>

namespace store {

FileNotice::FileNotice() = default;

FileNotice::~FileNotice() = default;

void FileNotice::watch(const QString& path) {
    watched_ = path;
    watcher_ = std::make_unique<QFileSystemWatcher>();
    QObject::connect(watcher_.get(), &QFileSystemWatcher::fileChanged, watcher_.get(),
                     [this] { pending_ = true; });
    QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, watcher_.get(), [this] {
        pending_ = true;
        rearm_ = true;
    });
    const QString folder = QFileInfo(path).absolutePath();
    watcher_->addPath(folder);
    unannounced_ = platform::changesUnannounced(folder);
    rearm();
}

void FileNotice::rearm() {
    rearm_ = false;
    const QStringList old = watcher_->files();
    if (!old.isEmpty())
        watcher_->removePaths(old);
    for (const QString& file : {watched_, watched_ + QStringLiteral("-wal")})
        if (QFileInfo::exists(file))
            watcher_->addPath(file);
}

bool FileNotice::take(const QString& path) {
    if (path != watched_ || !watcher_) {
        watch(path);
        pending_ = true;
    } else if (unannounced_ && sinceTaken_.hasExpired(kUnannouncedPollMs)) {
        pending_ = true;
    }
    if (!pending_)
        return false;
    // Watched again before the caller looks, so a change made during its look is reported.
    pending_ = false;
    if (rearm_)
        rearm();
    sinceTaken_.start();
    return true;
}

FileWatch::FileWatch(int lockWaitMs) : lockWaitMs_(lockWaitMs) {}

FileWatch::~FileWatch() = default;

Result<bool> FileWatch::changed(const QString& path) {
    if (!notice_.take(path) && !failed_ && connection_)
        return false;
    ++looks_;
    failed_ = true; // until the look succeeds
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
    failed_ = false;
    const bool changed = !known_ || version != version_;
    known_ = true;
    version_ = version;
    return changed;
}

} // namespace store
