#pragma once
// Whether a Schedule file has changed, learnt without asking the file while nothing changes.
//
// FileNotice hears from the kernel that the file, its write-ahead log or its folder changed (a
// journal made or removed, a file renamed over the path or deleted); on a file system where
// another machine's write raises no such report (NFS, SMB, FUSE …) it also gives notice once every
// few seconds. FileWatch, for a reader that keeps what it read and reads again only after a
// change, then asks the file whether it really changed: any commit by another connection, of this
// or another program, counts, and so does a file deleted or replaced at its path.
//
// Reports arrive through the event loop: a change is noticed once the loop has run after it.

#include "store/Error.h"

#include <QElapsedTimer>
#include <QString>
#include <memory>

class QFileSystemWatcher;

namespace store {

class Connection;

class FileNotice {
  public:
    // How often a file on a file system without change reports is taken as changed.
    static constexpr int kUnannouncedPollMs = 3000;

    FileNotice();
    ~FileNotice();
    FileNotice(const FileNotice&) = delete;
    FileNotice& operator=(const FileNotice&) = delete;

    // True the first time a path is asked about, and once something may have changed it since the
    // last true answer; false otherwise, without a call to the file system.
    bool take(const QString& path);

  private:
    void watch(const QString& path);
    // Watches the file and its log again: after a replacement the path names another file.
    void rearm();

    QString watched_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
    bool pending_ = false;
    bool rearm_ = false;       // the folder changed: the paths may name other files now
    bool unannounced_ = false; // the folder lies on a file system that reports no remote writes
    QElapsedTimer sinceTaken_;
};

class FileWatch {
  public:
    // `lockWaitMs`: how long a look waits for a file another program holds locked.
    explicit FileWatch(int lockWaitMs);
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // True the first time a file is asked about, after the file at the path was replaced, and
    // once the file has changed since the last answer; false while it stands. An error when the
    // file cannot be looked at now (missing, locked, not a database): a reader must then not
    // take what it holds as current, and the next question looks again. The look holds no lock
    // once it returns; without a notice of a change there is no look.
    Result<bool> changed(const QString& path);

    // How many times the file itself was looked at.
    int looks() const { return looks_; }

  private:
    int lockWaitMs_;
    FileNotice notice_;
    std::unique_ptr<Connection> connection_;
    bool known_ = false;  // version_ holds the count of the last answer
    bool failed_ = false; // the last look failed: the next one looks again
    qint64 version_ = 0;
    int looks_ = 0;
};

} // namespace store
