#include "store/ScheduleFile.h"

#include "store/Connection.h"

#include <QFile>
#include <sqlite3.h>

namespace store {

namespace {

// Numbers are REAL and refuse anything that does not become a number; texts refuse a zero-length
// text and one longer than the field (length() counts characters).
QString createTable(const QString& table, const QStringList& fields) {
    QStringList columns;
    for (const QString& name : fields) {
        const int width = textFieldWidth(name);
        if (width == 0)
            columns << QStringLiteral("%1 REAL CHECK (%1 IS NULL OR typeof(%1)='real')").arg(name);
        else
            columns << QStringLiteral("%1 TEXT CHECK (%1 IS NULL OR length(%1) BETWEEN 1 AND %2)")
                           .arg(name)
                           .arg(width);
    }
    return QStringLiteral("CREATE TABLE %1 (\n    %2\n);\n")
        .arg(table, columns.join(QStringLiteral(",\n    ")));
}

// The index on (年月日, 項目番号) that every lookup of a date uses.
QString createDayIndex(const char* ifNotExists) {
    return QStringLiteral("CREATE INDEX %1%2_%3_%4 ON %2 (%3, %4);\n")
        .arg(QLatin1String(ifNotExists), kDayTable, kDateField, kSlotField);
}

std::function<void(bool)>& longWorkHook() {
    static std::function<void(bool)> hook;
    return hook;
}

// Whether 予定表 has an index whose first column is 年月日 (a missing table has none).
bool hasDateIndex(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT 1 FROM pragma_index_list(?1) AS l, pragma_index_info(l.name) AS i "
                           "WHERE i.seqno = 0 AND i.name = ?2 LIMIT 1",
                           -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return true; // the schema cannot be read (not a database, locked): leave the file alone
    }
    const QByteArray table = kDayTable.toUtf8();
    const QByteArray field = kDateField.toUtf8();
    sqlite3_bind_text(stmt, 1, table.constData(), static_cast<int>(table.size()), SQLITE_STATIC);
    sqlite3_bind_text(stmt, 2, field.constData(), static_cast<int>(field.size()), SQLITE_STATIC);
    const int rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    return rc != SQLITE_DONE;
}

// How long the index waits for a file that another program is using before it is given up.
constexpr int kIndexBusyTimeoutMs = 200;

} // namespace

void setLongWorkHook(std::function<void(bool)> hook) {
    longWorkHook() = std::move(hook);
}

// How long the one-time creation of the day index may work before it is given up.
constexpr std::chrono::milliseconds kIndexWorkLimit = std::chrono::minutes(2);

void ensureDayIndex(Connection& connection) {
    sqlite3* db = connection.handle();
    if (sqlite3_db_readonly(db, "main") != 0)
        return;
    connection.setBusyTimeout(kIndexBusyTimeoutMs);
    // A file opened read-only for what its schema holds is left as it is.
    if (connection.checkSchema().failed() || !connection.readOnlyReason().isEmpty()) {
        connection.setBusyTimeout(Connection::kBusyTimeoutMs);
        return;
    }
    if (!hasDateIndex(db)) {
        const std::function<void(bool)> hook = longWorkHook();
        if (hook)
            hook(true);
        // Indexing is done once per file and grows with it (seconds for millions of rows on a
        // slow disk); ended by the limit for a single query it would start over at every open.
        connection.setWorkLimit(kIndexWorkLimit);
        if (connection
                .exec(QStringLiteral("BEGIN IMMEDIATE; ") + createDayIndex("IF NOT EXISTS ") +
                      QStringLiteral("COMMIT;"))
                .failed())
            connection.rollback();
        connection.setWorkLimit(Connection::kWorkLimit);
        if (hook)
            hook(false);
    }
    connection.setBusyTimeout(Connection::kBusyTimeoutMs);
}

Error keepOpen(std::unique_ptr<Connection>& connection, const QString& path) {
    if (connection && !connection->fileStillAtPath())
        connection.reset();
    if (connection)
        return {};
    if (path.isEmpty())
        return {SQLITE_CANTOPEN, QStringLiteral("no Schedule file is set")};
    Error error;
    connection = Connection::open(path, &error);
    if (connection)
        ensureDayIndex(*connection);
    return error;
}

Error createScheduleFile(const QString& path) {
    Error error;
    auto connection = Connection::create(path, &error);
    if (!connection)
        return error;

    const QString sql = QStringLiteral("BEGIN;\n") + createTable(kDayTable, dayFields()) +
                        createDayIndex("") + createTable(kTodoTable, todoFields()) +
                        QStringLiteral("COMMIT;\n");
    error = connection->exec(sql);
    if (error.failed()) {
        connection->rollback();
        connection.reset();
        // A half-made file is worse than none: the caller may offer to create it again.
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
    }
    return error;
}

} // namespace store
