#include "store/ItemExport.h"

#include "store/ScheduleLayout.h"

#include <sqlite3.h>

namespace store {

namespace {

// The number of rows a count query gives, or why it could not be read.
Result<qint64> countRows(Connection& connection, const QString& table) {
    Error error;
    Statement* statement = connection.prepare(QStringLiteral("SELECT count(*) FROM %1").arg(table), &error);
    if (!statement)
        return error;
    const int rc = sqlite3_step(statement->get());
    const Result<qint64> count = rc == SQLITE_ROW ? Result<qint64>(sqlite3_column_int64(statement->get(), 0))
                                                  : Result<qint64>(connection.lastError());
    statement->reset();
    return count;
}

// Rows in the order the table holds them: by their address, or as they come when they have none
// (a view).
Result<QString> inTableOrder(Connection& connection, const QString& table) {
    QString address;
    if (Error error = connection.rowAddress(table, &address); error.failed())
        return error;
    return address.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + address;
}

// A whole number from `low` to `high` in a REAL column, else 0.
int wholeInRange(sqlite3_stmt* stmt, int column, int low, int high) {
    const double value = sqlite3_column_double(stmt, column);
    return sqlite3_column_type(stmt, column) != SQLITE_NULL && value >= low && value <= high &&
                   value == static_cast<int>(value)
               ? static_cast<int>(value)
               : 0;
}

QByteArray bytesOf(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return text ? QByteArray(text, sqlite3_column_bytes(stmt, column)) : QByteArray();
}

// Steps the columns of `table` in table order, handing each row to `row` until it returns false.
template <typename Row>
Error eachRow(Connection& connection, const QString& columns, const QString& table, Row&& row) {
    const Result<QString> order = inTableOrder(connection, table);
    if (!order.ok())
        return order.error();
    Error error;
    Statement* rows =
        connection.prepare(QStringLiteral("SELECT %1 FROM %2").arg(columns, table) + order.value(), &error);
    if (!rows)
        return error;
    int rc;
    while ((rc = sqlite3_step(rows->get())) == SQLITE_ROW) {
        if (!row(rows->get())) {
            rc = SQLITE_DONE;
            break;
        }
    }
    const Error failure = rc == SQLITE_DONE ? Error{} : connection.lastError();
    rows->reset();
    return failure;
}

} // namespace

Result<qint64> ItemExport::open(const QString& path) {
    data_.setDatabaseName(path);
    if (Error error = data_.openDatabase(); error.failed())
        return error;
    Connection* connection = data_.connection();
    // The rows are read by one statement that lives as long as the export; the progress dialog
    // keeps the window going and can cancel, so the limit for a single query does not apply.
    connection->setWorkLimit(Connection::kWorkWithProgress);
    qint64 total = 0;
    for (const QString& table : {kDayTable, kTodoTable}) {
        const Result<qint64> count = countRows(*connection, table);
        if (!count.ok())
            return count.error();
        total += count.value();
    }
    return total;
}

Error ItemExport::forEachDay(const std::function<bool(const ExportedDay&)>& row) {
    const QString columns =
        QStringList{kDateField, kSlotField, kLevelField, kContentField, kAlarmField, kTimeField}.join(
            QStringLiteral(", "));
    return eachRow(*data_.connection(), columns, kDayTable, [&](sqlite3_stmt* stmt) {
        const auto* alarm = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 4));
        return row({bytesOf(stmt, 0), wholeInRange(stmt, 1, 1, kSlotCount),
                    wholeInRange(stmt, 2, 1, kLevelCount), bytesOf(stmt, 3),
                    alarm && QString::fromUtf8(alarm) == kAlarmOn, bytesOf(stmt, 5)});
    });
}

Error ItemExport::forEachTodo(const std::function<bool(const QByteArray& text)>& row) {
    return eachRow(*data_.connection(), kTodoField, kTodoTable,
                   [&](sqlite3_stmt* stmt) { return row(bytesOf(stmt, 0)); });
}

} // namespace store
