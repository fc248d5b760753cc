#include "store/Connection.h"

#include <utility>

#include "store/Collation.h"
#include "store/Like.h"
#include "store/ScheduleLayout.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <sqlite3.h>

#include <algorithm>
#include <iterator>
#include <string_view>
#include <sys/stat.h>

namespace store {

namespace {

constexpr size_t kStatementCacheSize = 32;
// The work limit is checked after this many engine instructions.
constexpr int kProgressSteps = 1000;

// file: URI for an absolute path; every byte that is not unreserved is percent-encoded, so
// blanks, '#', '?', '%' and Japanese names reach the file system unchanged.
QByteArray fileUri(const QString& path, const char* mode) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    return QByteArray("file://") + QUrl::toPercentEncoding(absolute, "/") + "?mode=" + mode;
}

// Whether a table's CREATE statement, as the schema holds it, makes a virtual table: the engine
// reads VIRTUAL only as the word right after CREATE, with blanks and comments between.
bool createsVirtualTable(std::string_view sql) {
    const auto startsWith = [&](size_t at, std::string_view word) {
        if (sql.size() - at < word.size())
            return false;
        for (size_t i = 0; i < word.size(); ++i) {
            const char c = sql[at + i];
            if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != word[i])
                return false;
        }
        return true;
    };
    if (!startsWith(0, "create"))
        return false;
    size_t at = 6;
    while (at < sql.size()) {
        if (std::string_view(" \t\n\f\r").find(sql[at]) != std::string_view::npos) {
            ++at;
        } else if (startsWith(at, "--")) {
            at = sql.find('\n', at);
        } else if (startsWith(at, "/*")) {
            at = sql.find("*/", at + 2);
            at = at == std::string_view::npos ? at : at + 2;
        } else {
            break;
        }
    }
    return at < sql.size() && startsWith(at, "virtual");
}

Error schemaTooSlow() {
    return {SQLITE_INTERRUPT,
            QStringLiteral("reading the list of tables, views and triggers in the file took too long")};
}

Error errorOf(sqlite3* db, int rc) {
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return {};
    QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    return {rc & 0xFF, message};
}

} // namespace

QVariant columnValue(sqlite3_stmt* stmt, int column, bool numeric) {
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, column);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                                 sqlite3_column_bytes(stmt, column));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, column)),
                          sqlite3_column_bytes(stmt, column));
    default:
        return QVariant(numeric ? QMetaType::fromType<double>() : QMetaType::fromType<QString>());
    }
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

void Statement::bind(int index, const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(stmt_, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(stmt_, index, value.toDouble());
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Bool:
        sqlite3_bind_int64(stmt_, index, value.toLongLong());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob64(stmt_, index, bytes.constData(), static_cast<sqlite3_uint64>(bytes.size()),
                            SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        sqlite3_bind_text64(stmt_, index, text.constData(), static_cast<sqlite3_uint64>(text.size()),
                            SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    }
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

namespace {

bool fileIdentity(const QString& path, unsigned long long* device, unsigned long long* inode) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    *device = static_cast<unsigned long long>(st.st_dev);
    *inode = static_cast<unsigned long long>(st.st_ino);
    return true;
}

// A file as it is now: any write changes its stamp.
struct FileStamp {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modifiedSeconds = 0;
    long long modifiedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

bool fileStamp(const QString& path, FileStamp* stamp) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    *stamp = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
              static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
              static_cast<long long>(st.st_mtim.tv_nsec)};
    return true;
}

// Files whose schema took longer than kSchemaReadLimit to read, as they were then. Every
// connection of the program (each window opens its own) gives up on them at once instead of
// spending the time again; a file changed since is read again.
std::vector<FileStamp>& slowSchemas() {
    static std::vector<FileStamp> files;
    return files;
}
constexpr size_t kSlowSchemasKept = 16;

} // namespace

Connection::Connection(sqlite3* db, QString path) : db_(db), path_(std::move(path)) {
    fileIdentity(path_, &device_, &inode_);
}

void Connection::setBusyTimeout(int milliseconds) {
    busyTimeoutMs_ = milliseconds;
}

bool Connection::fileStillAtPath() const {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    return fileIdentity(path_, &device, &inode) && device == device_ && inode == inode_;
}

Connection::~Connection() {
    cache_.clear(); // finalize every statement before closing
    retired_.clear();
    sqlite3_finalize(versionStatement_);
    sqlite3_close(db_);
}

std::unique_ptr<Connection> Connection::open(const QString& path, Error* error) {
    if (error)
        *error = {};
    if (path.isEmpty()) {
        if (error)
            *error = {SQLITE_CANTOPEN, QStringLiteral("no file name given")};
        return nullptr;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(fileUri(path, "rw").constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK) {
        if (error) {
            *error = errorOf(db, rc);
            error->message += QStringLiteral(": ") + path;
        }
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<Connection> connection(new Connection(db, path));
    connection->configure();
    return connection;
}

std::unique_ptr<Connection> Connection::create(const QString& path, Error* error) {
    if (error)
        *error = {};
    // The new file is made with O_EXCL, so an existing file (or one that appears meanwhile) is
    // never taken over. An empty file is a valid, empty SQLite database.
    QFile file(path);
    if (path.isEmpty() || QFileInfo(path).isSymLink() ||
        !file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (error) {
            const QString reason = QFileInfo::exists(path) || QFileInfo(path).isSymLink()
                                       ? QStringLiteral("a file already exists")
                                       : file.errorString();
            *error = {SQLITE_CANTOPEN, reason + QStringLiteral(": ") + path};
        }
        return nullptr;
    }
    file.close();
    Error openError;
    auto connection = open(path, &openError);
    if (!connection) {
        QFile::remove(path);
        if (error)
            *error = openError;
    }
    return connection;
}

void Connection::configure() {
    sqlite3_extended_result_codes(db_, 0);
    // The file is a document from anywhere: functions with side effects stay out of its views,
    // triggers and constraints, and no statement may corrupt it on purpose.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
    likeStop_ = [this] { return workLimitReached(); };
    registerJetLike(db_, &likeStop_);
    registerCollations(db_);
    sqlite3_trace_v2(db_, SQLITE_TRACE_STMT | SQLITE_TRACE_PROFILE, &Connection::traced, this);
    sqlite3_progress_handler(
        db_, kProgressSteps, [](void* self) { return static_cast<Connection*>(self)->progress(); }, this);
    // DELETE is SQLite's own default; the pragma only matters for a file some other tool left in
    // another journal mode. It runs before the busy timeout is set so that opening a file that is
    // in use does not wait twice: a failure here (a lock, a file that is not a database, a schema
    // too slow to read) shows again, with its code, at the first real statement, and the caller
    // reports it there. The first statement reads the schema, which a file given up before would
    // only take as long again.
    if (!schemaKnownTooSlow())
        readingSchema([&] {
            return sqlite3_exec(db_, "PRAGMA synchronous=FULL; PRAGMA journal_mode=DELETE;", nullptr, nullptr,
                                nullptr);
        });
    sqlite3_set_authorizer(db_, &Connection::authorize, this);
    sqlite3_busy_handler(db_, &Connection::busyWait, this);
}

int Connection::progress() {
    if (!workLimitReached())
        return 0;
    // No statement is running: the engine is reading the schema for a prepare.
    if (running_.back().statement == nullptr) {
        schemaGivenUp_ = true;
        rememberSchemaTooSlow();
    }
    return 1;
}

int Connection::readingSchema(const std::function<int()>& call) {
    // The engine reads the schema inside no statement that the trace announces: the time it takes
    // is counted from here.
    schemaGivenUp_ = false;
    running_.push_back({nullptr, Clock::now()});
    const int rc = call();
    const auto self =
        std::find_if(running_.rbegin(), running_.rend(), [](const Running& r) { return !r.statement; });
    if (self != running_.rend())
        running_.erase(std::next(self).base());
    return rc;
}

bool Connection::schemaKnownTooSlow() const {
    const std::vector<FileStamp>& slow = slowSchemas();
    FileStamp stamp;
    return !slow.empty() && fileStamp(path_, &stamp) && stamp.device == device_ && stamp.inode == inode_ &&
           std::find(slow.begin(), slow.end(), stamp) != slow.end();
}

void Connection::rememberSchemaTooSlow() {
    std::vector<FileStamp>& slow = slowSchemas();
    FileStamp stamp;
    if (!fileStamp(path_, &stamp) || stamp.device != device_ || stamp.inode != inode_ ||
        std::find(slow.begin(), slow.end(), stamp) != slow.end())
        return;
    if (slow.size() >= kSlowSchemasKept)
        slow.erase(slow.begin());
    slow.push_back(stamp);
}

// The user's sentence for a file that opens read-only for the causes found in its schema.
QString Connection::readOnlyText(const SchemaFindings& findings) {
    return QStringLiteral("このスケジュールファイルでは") + findings.causes.join(QStringLiteral("、")) +
           QStringLiteral("。") +
           (findings.plantedCode ? QStringLiteral("書き込むとファイルに仕込まれた処理が動くため、")
            : findings.otherLike ? QStringLiteral("このプログラムの LIKE（* ? #）は作成したプログラムのものと"
                                                  "意味が違い、書き込むと索引が食い違うため、")
                                 : QStringLiteral("項目を一つずつ区別して書き込めないため、")) +
           QStringLiteral("読み取り専用で開きました（表示と書き出しはできます）。");
}

Error Connection::readSchemaVersion(int* version) {
    // Reading the version reads no more than the file's header, not the schema itself.
    if (!versionStatement_) {
        const int rc = sqlite3_prepare_v3(db_, "PRAGMA schema_version", -1, SQLITE_PREPARE_PERSISTENT,
                                          &versionStatement_, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(versionStatement_);
            versionStatement_ = nullptr;
            return errorOf(db_, rc);
        }
    }
    const int rc = sqlite3_step(versionStatement_);
    *version = rc == SQLITE_ROW ? sqlite3_column_int(versionStatement_, 0) : 0;
    const Error error = rc == SQLITE_ROW ? Error{} : errorOf(db_, rc);
    sqlite3_reset(versionStatement_);
    return error;
}

Error Connection::checkSchema() {
    if (schemaKnownTooSlow())
        return schemaTooSlow();
    // The engine counts every change to the file, its own and other programs', as of the last
    // statement: while the count stands, so does the schema, and nothing is read.
    unsigned dataVersion = 0;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_DATA_VERSION, &dataVersion);
    if (schemaChecked_ && dataVersion == dataVersion_)
        return {};
    int version = 0;
    if (Error error = readSchemaVersion(&version); error.failed())
        return error;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_DATA_VERSION, &dataVersion_);
    if (schemaChecked_ && version == schemaVersion_)
        return {};
    ++schemaChecks_;
    addresses_.clear();
    SchemaFindings findings;
    const Error error = findReadOnlyCauses(&findings);
    schemaChecked_ = error.ok();
    schemaVersion_ = version;
    if (error.failed() || findings.causes.isEmpty())
        return error;
    // Reading stays possible, so the user can still see and export the items.
    sqlite3_exec(db_, "PRAGMA query_only=ON;", nullptr, nullptr, nullptr);
    readOnlyReason_ = readOnlyText(findings);
    return {};
}

Error Connection::findReadOnlyCauses(SchemaFindings* findings) {
    // Names compare as the engine compares them: without case for Latin letters. The program
    // makes no triggers, so any trigger in the file, on whatever table, came with it. LIKE means
    // here what the Schedule file's queries mean (* ? #), not what it meant to the program that
    // made an index (or a stored generated column) with it: entries this program writes there
    // would disagree with the rest, and another program's queries through the index lose rows.
    // The engine keeps each entry's type, name and table in step with its statement, and shows
    // the key of a table WITHOUT ROWID as the index_info of the table's name. The other tables and
    // views are not looked at: listing them all would make the engine work out the columns of
    // every view, in time that grows with the square of their number.
    static const char* const sql =
        "SELECT s.type, s.name, s.tbl_name, instr(lower(s.sql), 'like') > 0, s.sql, s.type = 'table' AND "
        "EXISTS (SELECT 1 FROM pragma_index_info(s.name)) FROM sqlite_master AS s WHERE s.type = 'trigger' "
        "OR (s.type = 'index' AND instr(lower(s.sql), 'like')) OR (s.type IN ('table', 'view') AND "
        "(s.name = ?1 COLLATE NOCASE OR s.name = ?2 COLLATE NOCASE))";
    sqlite3_stmt* stmt = nullptr;
    int rc = readingSchema([&] { return sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr); });
    if (rc != SQLITE_OK) {
        const Error error = schemaGivenUp_ ? schemaTooSlow() : errorOf(db_, rc);
        sqlite3_finalize(stmt);
        return error;
    }
    const QByteArray day = kDayTable.toUtf8();
    const QByteArray todo = kTodoTable.toUtf8();
    sqlite3_bind_text(stmt, 1, day.constData(), static_cast<int>(day.size()), SQLITE_STATIC);
    sqlite3_bind_text(stmt, 2, todo.constData(), static_cast<int>(todo.size()), SQLITE_STATIC);
    QStringList& causes = findings->causes;
    auto column = [&](int i) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                 sqlite3_column_bytes(stmt, i));
    };
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const QString type = column(0);
        const bool like = sqlite3_column_int(stmt, 3) != 0;
        if (type == QLatin1String("view") || type == QLatin1String("trigger")) {
            findings->plantedCode = true;
            if (type == QLatin1String("view"))
                causes << QStringLiteral("「%1」が表ではなくビューです").arg(column(1));
            else
                causes << QStringLiteral("「%1」にトリガー「%2」があります").arg(column(2), column(1));
            continue;
        }
        findings->otherLike = findings->otherLike || like;
        if (type == QLatin1String("index")) {
            causes << QStringLiteral("「%1」の索引「%2」に LIKE があります").arg(column(2), column(1));
            continue;
        }
        if (like)
            causes << QStringLiteral("「%1」の定義に LIKE があります").arg(column(1));
        const std::string_view create(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 4)),
                                      static_cast<size_t>(sqlite3_column_bytes(stmt, 4)));
        if (createsVirtualTable(create))
            causes << QStringLiteral("「%1」が仮想表（VIRTUAL TABLE）です").arg(column(1));
        else if (sqlite3_column_int(stmt, 5) != 0)
            causes << QStringLiteral("「%1」が行番号のない表（WITHOUT ROWID）です").arg(column(1));
    }
    const Error error = rc == SQLITE_DONE ? Error{} : errorOf(db_, rc);
    sqlite3_finalize(stmt);
    return error;
}

Error Connection::recheckSchema(const Error& otherwise) {
    schemaChecked_ = false;
    if (Error error = checkSchema(); error.failed())
        return error;
    return readOnlyReason_.isEmpty() ? otherwise : Error{SQLITE_READONLY, readOnlyReason_};
}

Error Connection::writable() {
    if (Error error = checkSchema(); error.failed())
        return error;
    if (!readOnlyReason_.isEmpty())
        return {SQLITE_READONLY, readOnlyReason_};
    if (!fileStillAtPath())
        return {SQLITE_CANTOPEN, QStringLiteral("the Schedule file was deleted or replaced: ") + path_};
    return {};
}

bool Connection::workLimitReached() const {
    // The statement that started last is the one working now: a statement stepped inside the
    // loop of another ends before the outer one steps again.
    if (running_.empty())
        return false;
    const Running& current = running_.back();
    return Clock::now() - current.start >
           (current.statement ? workLimit_ : std::min(workLimit_, kSchemaReadLimit));
}

int Connection::traced(unsigned type, void* self, void* statement, void* detail) {
    auto& running = static_cast<Connection*>(self)->running_;
    auto* stmt = static_cast<sqlite3_stmt*>(statement);
    const auto found =
        std::find_if(running.begin(), running.end(), [&](const Running& r) { return r.statement == stmt; });
    if (type == SQLITE_TRACE_STMT) {
        // A trigger's program inside the statement is announced as an SQL comment; it is part of
        // the statement's work.
        const char* text = static_cast<const char*>(detail);
        if (text && text[0] == '-' && text[1] == '-')
            return 0;
        if (found != running.end())
            running.erase(found);
        running.push_back({stmt, Clock::now()});
    } else if (type == SQLITE_TRACE_PROFILE && found != running.end()) {
        running.erase(found);
        // Between the statements of one exec, a schema read is timed from the last one's end.
        if (!running.empty() && !running.back().statement)
            running.back().start = Clock::now();
    }
    return 0;
}

int Connection::authorize(void* self, int action, const char*, const char*, const char*, const char* inside) {
    // `inside` names the trigger or view whose code is being prepared into the statement. A view
    // only reads; a trigger that does anything else was planted, as the program makes none.
    if (!inside || action == SQLITE_READ || action == SQLITE_SELECT || action == SQLITE_FUNCTION ||
        action == SQLITE_RECURSIVE)
        return SQLITE_OK;
    static_cast<Connection*>(self)->schemaChecked_ = false;
    return SQLITE_DENY;
}

int Connection::busyWait(void* self, int count) {
    // SQLite's own schedule of pauses, up to the busy timeout.
    static constexpr int pauses[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    auto* connection = static_cast<Connection*>(self);
    if (count == 0)
        connection->waited_ = std::chrono::milliseconds(0);
    const long long remaining = connection->busyTimeoutMs_ - connection->waited_.count();
    if (remaining <= 0)
        return 0;
    const int pause = static_cast<int>(
        std::min<long long>(count < static_cast<int>(std::size(pauses)) ? pauses[count] : 100, remaining));
    const Clock::time_point before = Clock::now();
    sqlite3_sleep(pause);
    const Clock::duration slept = Clock::now() - before;
    connection->waited_ += std::chrono::milliseconds(pause);
    // Waiting for another program's lock is not work.
    for (Running& r : connection->running_)
        r.start += slept;
    return 1;
}

Error Connection::exec(const QString& sql) {
    if (Error error = checkSchema(); error.failed())
        return error;
    char* message = nullptr;
    const int rc = readingSchema(
        [&] { return sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &message); });
    Error error;
    if (schemaGivenUp_) {
        error = schemaTooSlow();
    } else if (rc != SQLITE_OK) {
        error.code = rc & 0xFF;
        error.message = message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc));
    }
    sqlite3_free(message);
    return error;
}

Statement* Connection::prepare(const QString& sql, Error* error) {
    if (error)
        *error = {};
    if (Error failure = checkSchema(); failure.failed()) {
        if (error)
            *error = failure;
        return nullptr;
    }
    const auto found =
        std::find_if(cache_.begin(), cache_.end(), [&](const CacheEntry& entry) { return entry.sql == sql; });
    if (found != cache_.end()) {
        std::rotate(found, found + 1, cache_.end()); // most recently used last
        Statement* statement = cache_.back().statement.get();
        statement->reset();
        return statement;
    }

    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = readingSchema([&] {
        return sqlite3_prepare_v3(db_, text.constData(), static_cast<int>(text.size()),
                                  SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
    });
    if (rc != SQLITE_OK || !stmt) {
        sqlite3_finalize(stmt);
        if (error)
            *error = schemaGivenUp_    ? schemaTooSlow()
                     : rc != SQLITE_OK ? errorOf(db_, rc)
                                       : Error{SQLITE_MISUSE, QStringLiteral("empty statement")};
        return nullptr;
    }
    if (cache_.size() >= kStatementCacheSize) {
        // A statement pushed out of the cache may still be held by a caller: it stays valid,
        // reset, until the connection closes.
        cache_.front().statement->reset();
        retired_.push_back(std::move(cache_.front().statement));
        cache_.erase(cache_.begin());
    }
    cache_.push_back({sql, std::make_unique<Statement>(stmt)});
    return cache_.back().statement.get();
}

Error Connection::rowAddress(const QString& table, QString* name) {
    name->clear();
    if (Error error = checkSchema(); error.failed())
        return error;
    const auto known = std::find_if(addresses_.begin(), addresses_.end(),
                                    [&](const Address& address) { return address.table == table; });
    if (known != addresses_.end()) {
        *name = known->name;
        return known->fault;
    }
    Address address{table, QString(), Error()};
    if (Error error = findRowAddress(table, &address.name, &address.fault); error.failed())
        return error;
    addresses_.push_back(address);
    *name = address.name;
    return address.fault;
}

Error Connection::findRowAddress(const QString& table, QString* name, Error* fault) {
    // Only a table of the file's own has rows with an address: not a view, not a virtual table,
    // not one WITHOUT ROWID (its key shows as the index_info of its name), not a missing one.
    Error error;
    Statement* statement =
        prepare(QStringLiteral("SELECT sql, EXISTS (SELECT 1 FROM pragma_index_info(?1)) FROM sqlite_master "
                               "WHERE type = 'table' AND name = ?1 COLLATE NOCASE"),
                &error);
    if (!statement)
        return error;
    statement->bind(1, table);
    int rc = sqlite3_step(statement->get());
    const bool addressable = rc == SQLITE_ROW &&
                             !createsVirtualTable(std::string_view(
                                 reinterpret_cast<const char*>(sqlite3_column_text(statement->get(), 0)),
                                 static_cast<size_t>(sqlite3_column_bytes(statement->get(), 0)))) &&
                             sqlite3_column_int(statement->get(), 1) == 0;
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        error = lastError();
    statement->reset();
    if (error.failed() || !addressable)
        return error;

    statement = prepare(QStringLiteral("SELECT name FROM pragma_table_xinfo(?1)"), &error);
    if (!statement)
        return error;
    statement->bind(1, table);
    QStringList columns;
    while ((rc = sqlite3_step(statement->get())) == SQLITE_ROW)
        columns << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement->get(), 0)),
                                     sqlite3_column_bytes(statement->get(), 0));
    if (rc != SQLITE_DONE)
        error = lastError();
    statement->reset();
    if (error.failed())
        return error;
    for (const char* candidate : {"rowid", "_rowid_", "oid"}) {
        if (!columns.contains(QLatin1String(candidate), Qt::CaseInsensitive)) {
            *name = QLatin1String(candidate);
            return {};
        }
    }
    *fault = {SQLITE_ERROR, QStringLiteral("表「%1」には rowid、_rowid_、oid という名前の列がすべてあり、"
                                           "行を区別できないため、このファイルは使えません")
                                .arg(table)};
    return {};
}

void Connection::rollback() {
    if (!sqlite3_get_autocommit(db_))
        static_cast<void>(exec(QStringLiteral("ROLLBACK")));
}

Error WriteTransaction::begin(Connection& connection) {
    if (Error error = connection.exec(QStringLiteral("BEGIN IMMEDIATE")); error.failed())
        return error;
    connection_ = &connection;
    return {};
}

Error WriteTransaction::commit() {
    if (!connection_)
        return {};
    const Error error = connection_->exec(QStringLiteral("COMMIT"));
    if (error.ok())
        connection_ = nullptr;
    return error;
}

void WriteTransaction::rollback() {
    if (Connection* connection = std::exchange(connection_, nullptr))
        connection->rollback();
}

Error Connection::lastError() const {
    return errorOf(db_, sqlite3_errcode(db_));
}

Error Connection::writeError() {
    const Error error = lastError();
    return sqlite3_extended_errcode(db_) == SQLITE_CONSTRAINT_TRIGGER ? recheckSchema(error) : error;
}

} // namespace store
