#pragma once
// One open Schedule file (an SQLite database), with the Schedule file's LIKE (* ? # [..]) registered on it.

#include "store/Error.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <chrono>
#include <functional>
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

// A column of the current result row: numbers as double, texts as QString, blobs as QByteArray;
// a null as a null double for a `numeric` column, else as a null QString.
QVariant columnValue(sqlite3_stmt* stmt, int column, bool numeric = false);

// Every connection runs with the schema untrusted (functions in views and triggers limited to
// harmless ones), in defensive mode (no writable schema, no journal tricks), and with a limit on
// how long one statement may work: a file built to make a query endless cannot freeze the program.
class Connection {
  public:
    // Opens an existing file for reading and writing. Never creates a file: a missing path fails.
    // The file is only checked lazily: a file that is not a database fails at the first
    // statement (code 26), when its schema is read (see checkSchema()).
    static std::unique_ptr<Connection> open(const QString& path, Error* error);
    // Creates a new, empty database file; fails when a file already exists at the path.
    static std::unique_ptr<Connection> create(const QString& path, Error* error);

    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }
    const QString& path() const { return path_; }

    Error exec(const QString& sql);
    // Ends the transaction that is open without its changes. Should the ROLLBACK itself fail, the
    // engine undoes the transaction from its journal when the file is next opened, so there is
    // nothing more a caller could do.
    void rollback();
    // A cached prepared statement for the SQL text, reset and with its bindings cleared.
    Statement* prepare(const QString& sql, Error* error);
    Error lastError() const;
    // The error of a write statement that failed. RAISE() in a trigger planted since the schema
    // was read would blame the user's input with the file's own text: it gives the file's
    // read-only reason instead (see recheckSchema()).
    Error writeError();

    // The name that addresses the rows of `table`: rowid, _rowid_ or oid, whichever the table
    // has not taken as the name of a column of its own. Empty, with no error, when its rows have
    // no address (a view, a table WITHOUT ROWID, a table that does not exist): they can only be
    // read in the order they come.
    Error rowAddress(const QString& table, QString* name);

    // The largest text, blob or row a statement may read or make. The program's fields hold at
    // most 80 characters; without a limit a file a few kilobytes long can make every read build a
    // value of a gigabyte (a view or a generated column of hex(zeroblob(...))). A larger value
    // fails its statement with SQLITE_TOOBIG.
    static constexpr int kMaxValueBytes = 1 << 20;

    // How long a statement waits for a file another program holds locked.
    static constexpr int kBusyTimeoutMs = 3000;
    void setBusyTimeout(int milliseconds);

    // Reads the schema before the first statement, and again once another program (or this one)
    // changed it: a file whose 予定表 or ToDoリスト is a view, or that carries a trigger on any
    // table, becomes read-only, with the reason in readOnlyReason(), since a write there would run
    // code the file brought along; so does one whose rows there have no address (WITHOUT ROWID, a
    // virtual table). Only those two tables, the triggers and the indexes are looked at: a file of
    // many other tables or views costs no more after it has been read. A failure (a lock, not a
    // database) is returned, and the check is made again before the next statement.
    //
    // A trigger another program adds later never runs either: a statement that would set off a
    // trigger that writes fails to prepare (SQLITE_AUTH), and the schema is checked again, so the
    // file turns read-only with its reason.
    Error checkSchema();
    // For a write that failed in a way another program's change to the schema explains: a row
    // the write did not change (a trigger planted since the schema was read skipped it with
    // RAISE(IGNORE), which only reads and so passes the authorizer), a table whose rows lost their
    // address (it became a view). The schema is read again: the error is the file's read-only
    // reason when it now has one, else `otherwise`.
    Error recheckSchema(const Error& otherwise);
    // Whether a write may go ahead: the schema is checked, the file is not open read-only, and it
    // is still the file at its path (a file deleted or replaced would take the write where
    // nobody sees it). Fails with the reason otherwise.
    Error writable();
    // Why the file is open read-only (a Japanese sentence for the user); empty when writable or
    // not checked yet.
    const QString& readOnlyReason() const { return readOnlyReason_; }
    // How many times the schema was checked in full since the file was opened.
    int schemaChecks() const { return schemaChecks_; }

    // How long one statement may work (time spent waiting for another program's lock does not
    // count) before it is ended with SQLITE_INTERRUPT.
    static constexpr std::chrono::milliseconds kWorkLimit{2000};
    // For work that steps one statement across the whole file under its own progress dialog with
    // a cancel button (an export): the window stays responsive, so no limit applies.
    static constexpr std::chrono::milliseconds kWorkWithProgress{std::chrono::hours(24)};
    void setWorkLimit(std::chrono::milliseconds limit) { workLimit_ = limit; }
    // How long the engine may read the file's schema (the list of tables, views, indexes and
    // triggers) for a statement, at most the work limit. Its time grows with the square of the
    // entries: a file of a few hundred thousand views would take minutes, while one of a few
    // entries, as every Schedule file has, takes well under a millisecond. Reading it is given up
    // with SQLITE_INTERRUPT, and not tried again on that file, by any connection, until it changes.
    static constexpr std::chrono::milliseconds kSchemaReadLimit{500};
    // Whether the statement running now has used up its work limit.
    bool workLimitReached() const;

    // Whether the file this connection opened is still the one at its path. A file deleted or
    // replaced while open would otherwise take every later write into a file nobody sees.
    bool fileStillAtPath() const;

  private:
    Connection(sqlite3* db, QString path);
    void configure();
    static int traced(unsigned type, void* self, void* statement, void* detail);
    static int busyWait(void* self, int count);
    static int authorize(void* self, int action, const char*, const char*, const char*, const char* inside);
    // The progress handler: whether to end the statement or schema read working now.
    int progress();
    // Runs a call that may read the schema (a prepare, an exec) under kSchemaReadLimit; whether
    // the schema read was given up is left in schemaGivenUp_.
    int readingSchema(const std::function<int()>& call);
    bool schemaKnownTooSlow() const;
    void rememberSchemaTooSlow();
    Error readSchemaVersion(int* version);
    // What in the schema makes the file read-only: its two tables and every trigger and index.
    struct SchemaFindings {
        QStringList causes;       // one clause each, for the user
        bool plantedCode = false; // a view or a trigger would run code the file brought along
        bool otherLike = false;   // an index or table defined with another program's LIKE
    };
    Error findReadOnlyCauses(SchemaFindings* findings);
    static QString readOnlyText(const SchemaFindings& findings);
    Error findRowAddress(const QString& table, QString* name, Error* fault);

    using Clock = std::chrono::steady_clock;
    struct Running {
        sqlite3_stmt* statement;
        Clock::time_point start;
    };

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
    bool schemaChecked_ = false;
    int schemaChecks_ = 0;
    int schemaVersion_ = 0;    // PRAGMA schema_version at the last check
    unsigned dataVersion_ = 0; // the engine's count of changes to the file, when last seen
    sqlite3_stmt* versionStatement_ = nullptr;
    bool schemaGivenUp_ = false;
    struct Address {
        QString table;
        QString name; // empty: the rows have no address
        Error fault;  // the table's columns leave no name for the rowid
    };
    std::vector<Address> addresses_; // found since the last schema check
    QString readOnlyReason_;
    std::vector<Running> running_; // statements started and not yet ended, oldest first
    std::chrono::milliseconds workLimit_ = kWorkLimit;
    int busyTimeoutMs_ = kBusyTimeoutMs;
    std::chrono::milliseconds waited_{0}; // the current lock wait so far
    std::function<bool()> likeStop_;
};

// A write transaction of our own on a connection. It takes the write lock first (BEGIN
// IMMEDIATE), so another program writing the file makes it wait or fail before anything changed.
class WriteTransaction {
  public:
    Error begin(Connection& connection);
    Error commit();
    // Undoes an open transaction of ours; nothing when none is open or the engine already ended
    // it (a full disk, an I/O error).
    void rollback();
    bool open() const { return connection_ != nullptr; }

  private:
    Connection* connection_ = nullptr; // while a transaction of ours is open
};

} // namespace store
