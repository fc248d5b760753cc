#pragma once
// Files as bytes, and SQL run on a Schedule file through a connection of the test's own, outside
// the program's store layer (to break a file, or to see what really reached it).

#include <QFile>
#include <QStringList>
#include <QtGlobal>
#include <sqlite3.h>

namespace testsupport {

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return !path.isEmpty() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Runs `sql` (one or more statements) on the file; false when it cannot be opened or run.
inline bool execSql(const QString& file, const QString& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
              SQLITE_OK;
    char* error = nullptr;
    if (ok && sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        qWarning("%s: %s", qPrintable(sql), error);
        ok = false;
    }
    sqlite3_free(error);
    sqlite3_close(db);
    return ok;
}

// The first column of a query's rows, in the order the query gives them.
inline QStringList sqlColumn(const QString& file, const QString& sql) {
    sqlite3* db = nullptr;
    QStringList values;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW)
                values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        } else {
            values << QStringLiteral("<no query>");
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return values;
}

// A second connection held open on the file, for holding locks while the program works on it.
struct HeldConnection {
    explicit HeldConnection(const QString& file) { sqlite3_open(QFile::encodeName(file).constData(), &db); }
    ~HeldConnection() { sqlite3_close(db); }
    HeldConnection(const HeldConnection&) = delete;
    HeldConnection& operator=(const HeldConnection&) = delete;
    int exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
    sqlite3* db = nullptr;
};

} // namespace testsupport
