#pragma once
// One open Schedule file (an SQLite database), with the old engine's LIKE registered on it.

#include "store/Error.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

// A prepared statement owned by a Connection's cache; valid until the connection closes.
class Statement {
  public:
    explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return stmt_; }
    void bind(int index, const QVariant& value); // 1-based, as in SQLite
    void reset();

  private:
    sqlite3_stmt* stmt_;
};

class Connection {
  public:
    // Opens an existing file for reading and writing. Never creates a file: a missing path fails.
    // The file is only checked lazily by SQLite; a file that is not a database fails at the first
    // statement (code 26).
    static std::unique_ptr<Connection> open(const QString& path, Error* error);
    // Creates a new, empty database file; fails when a file already exists at the path.
    static std::unique_ptr<Connection> create(const QString& path, Error* error);

    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }
    const QString& path() const { return path_; }

    Error exec(const QString& sql);
    // A cached prepared statement for the SQL text, reset and with its bindings cleared.
    Statement* prepare(const QString& sql, Error* error);
    Error lastError() const;

    // How long a statement waits for a file another program holds locked.
    static constexpr int kBusyTimeoutMs = 3000;
    void setBusyTimeout(int milliseconds);

    // Whether the file this connection opened is still the one at its path. A file deleted or
    // replaced while open would otherwise take every later write into a file nobody sees.
    bool fileStillAtPath() const;

  private:
    Connection(sqlite3* db, QString path);
    void configure();

    sqlite3* db_;
    QString path_;
    unsigned long long device_ = 0; // identity of the opened file
    unsigned long long inode_ = 0;
    struct CacheEntry {
        QString sql;
        std::unique_ptr<Statement> statement;
    };
    std::vector<CacheEntry> cache_;                   // most recently used last
    std::vector<std::unique_ptr<Statement>> retired_; // pushed out of the cache, freed at close
};

} // namespace store
