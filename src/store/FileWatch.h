#pragma once
// Whether a Schedule file has changed since it was last asked, for a reader that keeps what it
// read and reads again only after a change: any commit by another connection, of this or another
// program, counts, and so does a file deleted or replaced at its path.

#include "store/Error.h"

#include <QString>
#include <memory>

namespace store {

class Connection;

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
    // take what it holds as current. The look holds no lock once it returns.
    Result<bool> changed(const QString& path);

  private:
    int lockWaitMs_;
    std::unique_ptr<Connection> connection_;
    bool known_ = false; // version_ holds the count of the last answer
    qint64 version_ = 0;
};

} // namespace store
