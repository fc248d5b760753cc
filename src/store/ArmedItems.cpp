#include "store/ArmedItems.h"

#include <sqlite3.h>

#include <QSet>

namespace store {

namespace {

QString columnText(sqlite3_stmt* statement, int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

} // namespace

std::vector<ArmedItem> armedItems(DataControl& data, const QStringList& dateStrings, Error* error) {
    if (error)
        *error = {};
    std::vector<ArmedItem> found;
    if (dateStrings.isEmpty())
        return found;
    Error failure = data.openDatabase();
    Statement* statement = nullptr;
    if (!failure) {
        // The dates go through an IN list, so the engine looks each one up in the index; all rows
        // of the dates are read (a handful), because only the first row of a slot counts.
        const QString sql = QStringLiteral("SELECT rowid, 年月日, 項目番号, レベル, 内容, アラーム, 時刻 "
                                           "FROM 予定表 WHERE 年月日 IN (") +
                            QStringList(dateStrings.size(), QStringLiteral("?")).join(QLatin1Char(',')) +
                            QStringLiteral(") ORDER BY rowid");
        statement = data.connection()->prepare(sql, &failure);
    }
    if (statement) {
        for (qsizetype i = 0; i < dateStrings.size(); ++i)
            statement->bind(static_cast<int>(i) + 1, dateStrings[i]);
        QSet<QString> seenSlots;
        sqlite3_stmt* row = statement->get();
        int rc;
        while ((rc = sqlite3_step(row)) == SQLITE_ROW) {
            // 項目番号 compares as a number; a text or null never names a slot.
            if (sqlite3_column_type(row, 2) != SQLITE_FLOAT && sqlite3_column_type(row, 2) != SQLITE_INTEGER)
                continue;
            const double slotNumber = sqlite3_column_double(row, 2);
            const QString date = columnText(row, 1);
            const QString slotKey = date + QLatin1Char('\n') + QString::number(slotNumber);
            if (seenSlots.contains(slotKey))
                continue;
            seenSlots.insert(slotKey);
            if (sqlite3_column_type(row, 5) != SQLITE_TEXT || columnText(row, 5) != QStringLiteral("True"))
                continue;
            if (slotNumber < 1 || slotNumber > 4 || slotNumber != static_cast<int>(slotNumber))
                continue;
            ArmedItem item;
            item.rowid = sqlite3_column_int64(row, 0);
            item.date = date;
            item.slot = static_cast<int>(slotNumber);
            const double level = sqlite3_column_double(row, 3);
            if (sqlite3_column_type(row, 3) != SQLITE_NULL && level >= 1 && level <= 5 &&
                level == static_cast<int>(level))
                item.level = static_cast<int>(level);
            item.content = columnText(row, 4);
            item.timeText = columnText(row, 6);
            found.push_back(item);
        }
        if (rc != SQLITE_DONE)
            failure = data.connection()->lastError();
        statement->reset();
    }
    if (failure) {
        if (error)
            *error = failure;
        return {};
    }
    return found;
}

Error disarmRows(DataControl& data, const std::vector<qint64>& rowids) {
    if (rowids.empty())
        return {};
    if (Error error = data.openDatabase())
        return error;
    Connection* connection = data.connection();
    if (Error error = connection->exec(QStringLiteral("BEGIN IMMEDIATE")))
        return error;
    Error error;
    Statement* statement = connection->prepare(
        QStringLiteral("UPDATE 予定表 SET アラーム='False' WHERE rowid=? AND アラーム='True'"), &error);
    for (size_t i = 0; statement && !error && i < rowids.size(); ++i) {
        statement->bind(1, rowids[i]);
        if (sqlite3_step(statement->get()) != SQLITE_DONE)
            error = connection->lastError();
        statement->reset();
    }
    if (!error)
        error = connection->exec(QStringLiteral("COMMIT"));
    if (error && !sqlite3_get_autocommit(connection->handle()))
        connection->exec(QStringLiteral("ROLLBACK"));
    return error;
}

} // namespace store
