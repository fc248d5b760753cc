#include "store/ItemImport.h"

#include "store/ScheduleLayout.h"

#include <sqlite3.h>

namespace store {

namespace {

// The table of imported items: one key (UID and occurrence) per item already added, so that an
// item edited since is still not added a second time.
const QString kImportedTable = QStringLiteral("取込記録");

QString textColumn(sqlite3_stmt* stmt, int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                             sqlite3_column_bytes(stmt, column));
}

// Steps a statement through its rows, handing each to `row`; the error of a step that neither gave
// a row nor finished.
template <typename Row> Error eachRow(Connection& connection, Statement* statement, Row&& row) {
    int rc;
    while ((rc = sqlite3_step(statement->get())) == SQLITE_ROW)
        row(statement->get());
    const Error error = rc == SQLITE_DONE ? Error{} : connection.lastError();
    statement->reset();
    return error;
}

} // namespace

ItemImport::~ItemImport() {
    rollback();
}

Error ItemImport::begin(const QString& path) {
    if (Error error = openDayTable(data_, path); error.failed())
        return error;
    Connection* connection = data_.connection();
    // A file opened read-only says why before anything is read.
    if (Error error = connection->writable(); error.failed())
        return error;
    if (Error error = transaction_.begin(*connection); error.failed())
        return error;
    return connection->exec(
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (キー TEXT PRIMARY KEY)").arg(kImportedTable));
}

Result<bool> ItemImport::knownKey(const QString& key) {
    Error error;
    Statement* known = data_.connection()->prepare(
        QStringLiteral("SELECT 1 FROM %1 WHERE キー=?").arg(kImportedTable), &error);
    if (!known)
        return error;
    known->bind(1, key);
    bool found = false;
    if ((error = eachRow(*data_.connection(), known, [&](sqlite3_stmt*) { found = true; })).failed())
        return error;
    return found;
}

Error ItemImport::rememberKey(const QString& key) {
    if (key.isEmpty())
        return {};
    Error error;
    Statement* remember = data_.connection()->prepare(
        QStringLiteral("INSERT OR IGNORE INTO %1 (キー) VALUES (?)").arg(kImportedTable), &error);
    if (!remember)
        return error;
    remember->bind(1, key);
    return eachRow(*data_.connection(), remember, [](sqlite3_stmt*) {});
}

Result<ItemImport::DateItems> ItemImport::dateItems(const QDate& date) {
    Error error;
    Statement* rows =
        data_.connection()->prepare(QStringLiteral("SELECT %1, %2, %3 FROM %4 WHERE %5=?")
                                        .arg(kSlotField, kContentField, kTimeField, kDayTable, kDateField),
                                    &error);
    if (!rows)
        return error;
    rows->bind(1, dateString(date));
    DateItems items;
    error = eachRow(*data_.connection(), rows, [&](sqlite3_stmt* stmt) {
        const double slot = sqlite3_column_double(stmt, 0);
        if (slot >= 1 && slot <= kSlotCount && slot == static_cast<int>(slot))
            items.used[static_cast<size_t>(slot) - 1] = true;
        items.contentAndTime.emplace_back(textColumn(stmt, 1), textColumn(stmt, 2));
    });
    if (error.failed())
        return error;
    return items;
}

Error ItemImport::addItem(const QDate& date, int slot, const SlotItem& item) {
    return saveSlot(data_, dateString(date), slot, item);
}

Result<QSet<QString>> ItemImport::todoTexts() {
    Error error;
    Statement* rows =
        data_.connection()->prepare(QStringLiteral("SELECT %1 FROM %2").arg(kTodoField, kTodoTable), &error);
    if (!rows)
        return error;
    QSet<QString> texts;
    if ((error = eachRow(*data_.connection(), rows, [&](sqlite3_stmt* stmt) {
             texts.insert(textColumn(stmt, 0));
         })).failed())
        return error;
    return texts;
}

Error ItemImport::addTodo(const QString& text) {
    Error error;
    Statement* insert = data_.connection()->prepare(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(kTodoTable, kTodoField), &error);
    if (!insert)
        return error;
    insert->bind(1, text);
    return eachRow(*data_.connection(), insert, [](sqlite3_stmt*) {});
}

Error ItemImport::commit() {
    return transaction_.commit();
}

void ItemImport::rollback() {
    transaction_.rollback();
}

} // namespace store
