#include "store/ScheduleFile.h"

#include "store/Connection.h"

#include <QFile>
#include <sqlite3.h>

#include <span>

namespace store {

namespace {

struct FieldDef {
    const char* name;
    int size; // 0 for a number
};

constexpr FieldDef kDayDefs[] = {{"年月日", 12}, {"項目番号", 0},  {"レベル", 0},
                                 {"内容", 80},   {"アラーム", 10}, {"時刻", 6}};
constexpr FieldDef kTodoDefs[] = {{"年月日", 12},     {"項目番号", 0},  {"キーワード", 20},
                                  {"やるべき事", 80}, {"チェック", 10}, {"時刻", 6}};

// Numbers are REAL and refuse anything that does not become a number; texts refuse a zero-length
// text and one longer than the field (length() counts characters).
template <size_t N> QString createTable(const QString& table, const FieldDef (&defs)[N]) {
    QStringList columns;
    for (const FieldDef& def : defs) {
        const QString name = QString::fromUtf8(def.name);
        if (def.size == 0)
            columns << QStringLiteral("%1 REAL CHECK (%1 IS NULL OR typeof(%1)='real')").arg(name);
        else
            columns << QStringLiteral("%1 TEXT CHECK (%1 IS NULL OR length(%1) BETWEEN 1 AND %2)")
                           .arg(name)
                           .arg(def.size);
    }
    return QStringLiteral("CREATE TABLE %1 (\n    %2\n);\n")
        .arg(table, columns.join(QStringLiteral(",\n    ")));
}

template <size_t N> QStringList names(const FieldDef (&defs)[N]) {
    QStringList list;
    for (const FieldDef& def : defs)
        list << QString::fromUtf8(def.name);
    return list;
}

std::function<void(bool)>& longWorkHook() {
    static std::function<void(bool)> hook;
    return hook;
}

// Whether 予定表 has an index whose first column is 年月日 (a missing table has none).
bool hasDateIndex(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT 1 FROM pragma_index_list('予定表') AS l, pragma_index_info(l.name) AS i "
                           "WHERE i.seqno = 0 AND i.name = '年月日' LIMIT 1",
                           -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return true; // the schema cannot be read (not a database, locked): leave the file alone
    }
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

void ensureDayIndex(Connection& connection) {
    sqlite3* db = connection.handle();
    if (sqlite3_db_readonly(db, "main") != 0)
        return;
    connection.setBusyTimeout(kIndexBusyTimeoutMs);
    if (!hasDateIndex(db)) {
        const std::function<void(bool)> hook = longWorkHook();
        if (hook)
            hook(true);
        if (connection.exec(QStringLiteral("BEGIN IMMEDIATE; CREATE INDEX IF NOT EXISTS "
                                           "予定表_年月日_項目番号 ON 予定表 (年月日, 項目番号); COMMIT;")))
            connection.exec(QStringLiteral("ROLLBACK;"));
        if (hook)
            hook(false);
    }
    connection.setBusyTimeout(Connection::kBusyTimeoutMs);
}

QStringList dayFields() {
    return names(kDayDefs);
}
QStringList todoFields() {
    return names(kTodoDefs);
}

int textFieldWidth(const QString& field) {
    for (const auto& defs : {std::span<const FieldDef>(kDayDefs), std::span<const FieldDef>(kTodoDefs)}) {
        for (const FieldDef& def : defs) {
            if (field == QString::fromUtf8(def.name))
                return def.size;
        }
    }
    return 0;
}

Error createScheduleFile(const QString& path) {
    Error error;
    auto connection = Connection::create(path, &error);
    if (!connection)
        return error;

    const QString sql =
        QStringLiteral("BEGIN;\n") + createTable(kDayTable, kDayDefs) +
        QStringLiteral("CREATE INDEX 予定表_年月日_項目番号 ON 予定表 (年月日, 項目番号);\n") +
        createTable(kTodoTable, kTodoDefs) + QStringLiteral("COMMIT;\n");
    error = connection->exec(sql);
    if (error) {
        connection->exec(QStringLiteral("ROLLBACK;"));
        connection.reset();
        // A half-made file is worse than none: the caller may offer to create it again.
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
    }
    return error;
}

} // namespace store
