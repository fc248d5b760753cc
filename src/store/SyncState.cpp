#include "store/SyncState.h"

#include "store/ItemRules.h"
#include "store/ScheduleLayout.h"

#include <sqlite3.h>

namespace store {

namespace {

// The resources as last seen, by address.
const QString kResourceTable = QStringLiteral("同期資源");
// The pairing of resources' items with Day records, and each item's value at the last sync.
const QString kPairTable = QStringLiteral("同期記録");
// The pairing of ToDo entries with VTODO resources, by the entry's text at the last sync.
const QString kTodoPairTable = QStringLiteral("同期ToDo");
// Named values: the collection the pairing belongs to (a hash) and its sync token.
const QString kStateTable = QStringLiteral("同期状態");
const QString kCollectionName = QStringLiteral("コレクション");
const QString kTokenName = QStringLiteral("トークン");

QString textColumn(sqlite3_stmt* stmt, int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                             sqlite3_column_bytes(stmt, column));
}

// Runs a prepared statement with its parameters, handing each row to `row`.
template <typename Row>
Error run(Connection& connection, const QString& sql, const QVariantList& parameters, Row&& row) {
    Error error;
    Statement* statement = connection.prepare(sql, &error);
    if (!statement)
        return error;
    for (int i = 0; i < parameters.size(); ++i)
        statement->bind(i + 1, parameters[i]);
    int rc;
    while ((rc = sqlite3_step(statement->get())) == SQLITE_ROW)
        row(statement->get());
    error = rc == SQLITE_DONE ? Error{} : connection.lastError();
    statement->reset();
    return error;
}

Error run(Connection& connection, const QString& sql, const QVariantList& parameters = {}) {
    return run(connection, sql, parameters, [](sqlite3_stmt*) {});
}

Result<QString> stateValue(Connection& connection, const QString& name) {
    QString value;
    const Error error = run(connection, QStringLiteral("SELECT 値 FROM %1 WHERE 名前=?").arg(kStateTable),
                            {name}, [&](sqlite3_stmt* stmt) { value = textColumn(stmt, 0); });
    if (error.failed())
        return error;
    return value;
}

Error setStateValue(Connection& connection, const QString& name, const QString& value) {
    return run(connection,
               QStringLiteral("INSERT OR REPLACE INTO %1 (名前, 値) VALUES (?, ?)").arg(kStateTable),
               {name, value});
}

} // namespace

SyncState::~SyncState() {
    rollback();
}

Error SyncState::open(const QString& path, const QString& collectionHash) {
    if (Error error = openDayTable(data_, path); error.failed())
        return error;
    Connection& connection = *data_.connection();
    if (Error error = connection.writable(); error.failed())
        return error;
    if (Error error = begin(); error.failed())
        return error;
    const QString tables[] = {
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS %1 (場所 TEXT PRIMARY KEY, UID TEXT, ETag TEXT, データ BLOB, "
            "保留 INTEGER)")
            .arg(kResourceTable),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS %1 (場所 TEXT, 回 TEXT, %2 TEXT, %3 INTEGER, %4 TEXT, %5 TEXT, "
            "%6 INTEGER, %7 TEXT, PRIMARY KEY (場所, 回))")
            .arg(kPairTable, kDateField, kSlotField, kContentField, kLevelField, kAlarmField, kTimeField),
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (名前 TEXT PRIMARY KEY, 値 TEXT)").arg(kStateTable),
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (場所 TEXT PRIMARY KEY, %2 TEXT)")
            .arg(kTodoPairTable, kTodoField),
    };
    for (const QString& sql : tables) {
        if (Error error = run(connection, sql); error.failed())
            return error;
    }
    const Result<QString> stored = stateValue(connection, kCollectionName);
    if (!stored.ok())
        return stored.error();
    if (stored.value() != collectionHash) {
        for (const QString& table : {kResourceTable, kPairTable, kStateTable, kTodoPairTable}) {
            if (Error error = run(connection, QStringLiteral("DELETE FROM %1").arg(table)); error.failed())
                return error;
        }
        if (Error error = setStateValue(connection, kCollectionName, collectionHash); error.failed())
            return error;
    }
    return commit();
}

Error SyncState::begin() {
    return transaction_.begin(*data_.connection());
}

Error SyncState::commit() {
    return transaction_.commit();
}

void SyncState::rollback() {
    transaction_.rollback();
}

Result<QString> SyncState::token() {
    return stateValue(*data_.connection(), kTokenName);
}

Error SyncState::setToken(const QString& token) {
    return setStateValue(*data_.connection(), kTokenName, token);
}

Result<std::vector<SyncedResource>> SyncState::resources() {
    std::vector<SyncedResource> found;
    const Error error =
        run(*data_.connection(),
            QStringLiteral("SELECT 場所, UID, ETag, データ, 保留 FROM %1").arg(kResourceTable), {},
            [&](sqlite3_stmt* stmt) {
                const auto* blob = static_cast<const char*>(sqlite3_column_blob(stmt, 3));
                found.push_back({textColumn(stmt, 0), textColumn(stmt, 1), textColumn(stmt, 2),
                                 QByteArray(blob, sqlite3_column_bytes(stmt, 3)),
                                 sqlite3_column_int(stmt, 4) != 0});
            });
    if (error.failed())
        return error;
    return found;
}

Error SyncState::putResource(const SyncedResource& resource) {
    return run(
        *data_.connection(),
        QStringLiteral("INSERT OR REPLACE INTO %1 (場所, UID, ETag, データ, 保留) VALUES (?, ?, ?, ?, ?)")
            .arg(kResourceTable),
        {resource.href, resource.uid, resource.etag, resource.data, resource.pending ? 1 : 0});
}

Error SyncState::removeResource(const QString& href) {
    return run(*data_.connection(), QStringLiteral("DELETE FROM %1 WHERE 場所=?").arg(kResourceTable),
               {href});
}

Result<std::vector<SyncedItem>> SyncState::items() {
    std::vector<SyncedItem> found;
    const Error error =
        run(*data_.connection(),
            QStringLiteral("SELECT 場所, 回, %2, %3, %4, %5, %6, %7 FROM %1")
                .arg(kPairTable, kDateField, kSlotField, kContentField, kLevelField, kAlarmField, kTimeField),
            {}, [&](sqlite3_stmt* stmt) {
                SyncedItem item;
                item.href = textColumn(stmt, 0);
                item.occurrence = textColumn(stmt, 1);
                item.date = dateOfString(textColumn(stmt, 2));
                item.slot = sqlite3_column_int(stmt, 3);
                item.value = {textColumn(stmt, 4), textColumn(stmt, 5), sqlite3_column_int(stmt, 6) != 0,
                              textColumn(stmt, 7)};
                found.push_back(std::move(item));
            });
    if (error.failed())
        return error;
    return found;
}

Error SyncState::putItem(const SyncedItem& item) {
    Connection& connection = *data_.connection();
    if (Error error =
            run(connection,
                QStringLiteral("DELETE FROM %1 WHERE %2=? AND %3=?").arg(kPairTable, kDateField, kSlotField),
                {dateString(item.date), item.slot});
        error.failed())
        return error;
    return run(
        connection,
        QStringLiteral(
            "INSERT OR REPLACE INTO %1 (場所, 回, %2, %3, %4, %5, %6, %7) VALUES (?, ?, ?, ?, ?, ?, "
            "?, ?)")
            .arg(kPairTable, kDateField, kSlotField, kContentField, kLevelField, kAlarmField, kTimeField),
        {item.href, item.occurrence, dateString(item.date), item.slot, item.value.content,
         item.value.levelText, item.value.alarm ? 1 : 0, item.value.timeText});
}

Error SyncState::removeItem(const QString& href, const QString& occurrence) {
    return run(*data_.connection(), QStringLiteral("DELETE FROM %1 WHERE 場所=? AND 回=?").arg(kPairTable),
               {href, occurrence});
}

Result<QHash<QString, QString>> SyncState::todoPairs() {
    QHash<QString, QString> found;
    const Error error =
        run(*data_.connection(), QStringLiteral("SELECT 場所, %2 FROM %1").arg(kTodoPairTable, kTodoField),
            {}, [&](sqlite3_stmt* stmt) { found.insert(textColumn(stmt, 0), textColumn(stmt, 1)); });
    if (error.failed())
        return error;
    return found;
}

Error SyncState::putTodoPair(const QString& href, const QString& text) {
    return run(
        *data_.connection(),
        QStringLiteral("INSERT OR REPLACE INTO %1 (場所, %2) VALUES (?, ?)").arg(kTodoPairTable, kTodoField),
        {href, text});
}

Error SyncState::removeTodoPair(const QString& href) {
    return run(*data_.connection(), QStringLiteral("DELETE FROM %1 WHERE 場所=?").arg(kTodoPairTable),
               {href});
}

Result<QStringList> SyncState::todos() {
    QString rowid;
    if (Error error = data_.connection()->rowAddress(kTodoTable, &rowid); error.failed())
        return error;
    QStringList found;
    const Error error = run(*data_.connection(),
                            QStringLiteral("SELECT %1 FROM %2").arg(kTodoField, kTodoTable) +
                                (rowid.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + rowid),
                            {}, [&](sqlite3_stmt* stmt) { found << textColumn(stmt, 0); });
    if (error.failed())
        return error;
    return found;
}

Error SyncState::addTodo(const QString& text) {
    return run(*data_.connection(),
               QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(kTodoTable, kTodoField), {text});
}

Error SyncState::changeTodo(const QString& was, const QString& now, bool* found) {
    *found = false;
    QString rowid;
    if (Error error = data_.connection()->rowAddress(kTodoTable, &rowid); error.failed())
        return error;
    if (rowid.isEmpty())
        return Error{kChangedElsewhere, QStringLiteral("the ToDo list has no row addresses")};
    qint64 row = 0;
    if (Error error = run(*data_.connection(),
                          QStringLiteral("SELECT %1 FROM %2 WHERE %3=? ORDER BY %1 LIMIT 1")
                              .arg(rowid, kTodoTable, kTodoField),
                          {was},
                          [&](sqlite3_stmt* stmt) {
                              row = sqlite3_column_int64(stmt, 0);
                              *found = true;
                          });
        error.failed() || !*found)
        return error;
    if (now.isEmpty())
        return run(*data_.connection(), QStringLiteral("DELETE FROM %1 WHERE %2=?").arg(kTodoTable, rowid),
                   {row});
    return run(*data_.connection(),
               QStringLiteral("UPDATE %1 SET %2=? WHERE %3=?").arg(kTodoTable, kTodoField, rowid),
               {now, row});
}

Result<std::vector<DatedItem>> SyncState::dayItems() {
    std::vector<DatedItem> found;
    QSet<QPair<qint64, int>> seen;
    QString rowid;
    if (Error error = dayRowAddress(*data_.connection(), &rowid); error.failed())
        return error;
    const Error error = run(*data_.connection(),
                            QStringLiteral("SELECT %1, %2, %3, %4, %5, %6 FROM %7 ORDER BY %8")
                                .arg(kDateField, kSlotField, kLevelField, kContentField, kAlarmField,
                                     kTimeField, kDayTable, rowid),
                            {}, [&](sqlite3_stmt* stmt) {
                                const QString text = textColumn(stmt, 0);
                                const QDate date = dateOfString(text);
                                const double slot = sqlite3_column_double(stmt, 1);
                                if (!date.isValid() || dateString(date) != text || slot < 1 ||
                                    slot > kSlotCount || slot != static_cast<int>(slot))
                                    return;
                                if (seen.contains({date.toJulianDay(), static_cast<int>(slot)}))
                                    return;
                                seen.insert({date.toJulianDay(), static_cast<int>(slot)});
                                DayRecord record;
                                record.found = true;
                                record.level = columnValue(stmt, 2, true);
                                record.content = textColumn(stmt, 3);
                                record.alarmText = textColumn(stmt, 4);
                                record.timeText = textColumn(stmt, 5);
                                if (!record.content.isEmpty())
                                    found.push_back({date, static_cast<int>(slot), slotItem(record)});
                            });
    if (error.failed())
        return error;
    return found;
}

Result<std::array<SlotItem, kSlotCount>> SyncState::readDate(const QDate& date) {
    DayRecords records;
    if (Error error = readDayRecords(*data_.connection(), dateString(date), records); error.failed())
        return error;
    std::array<SlotItem, kSlotCount> items;
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = slotItem(records[i]);
    return items;
}

Error SyncState::saveSlot(const QDate& date, int slot, const SlotItem& item) {
    return store::saveSlot(*data_.connection(), dateString(date), slot, item);
}

} // namespace store
