#include "store/DayRecords.h"

#include "store/ItemRules.h"
#include "store/RecordSourceTranslator.h"

#include <sqlite3.h>

#include <QSet>

#include <algorithm>

namespace store {

namespace {

// Up to this many Date strings are bound to one IN list.
constexpr int kDatesPerQuery = 400;

// A Date string goes into a record source as a literal; an apostrophe is doubled so that text
// which is not a Date string cannot change the query (it then simply matches nothing).
QString literal(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return escaped;
}

// Runs a statement that writes one row; a row it did not change is an error, not a success.
Error run(Connection& connection, Statement* statement) {
    const int rc = sqlite3_step(statement->get());
    Error error = rc == SQLITE_DONE || rc == SQLITE_ROW ? Error{} : connection.writeError();
    if (error.ok() && sqlite3_changes(connection.handle()) == 0)
        error = connection.recheckSchema({SQLITE_ERROR, QStringLiteral("the record was not written")});
    statement->reset();
    return error;
}

// The address of the first row of a slot in table order; 0 with no error when it has none.
Error firstRowOfSlot(Connection& connection, const QString& rowid, const QString& dateString, int slot,
                     qint64* found) {
    *found = 0;
    Error error;
    Statement* statement = connection.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3=?1 AND %4=?2 "
                                                             "ORDER BY %1 LIMIT 1")
                                                  .arg(rowid, kDayTable, kDateField, kSlotField),
                                              &error);
    if (!statement)
        return error;
    statement->bind(1, dateString);
    statement->bind(2, slot);
    const int rc = sqlite3_step(statement->get());
    if (rc == SQLITE_ROW)
        *found = sqlite3_column_int64(statement->get(), 0);
    else if (rc != SQLITE_DONE)
        error = connection.lastError();
    statement->reset();
    return error;
}

// The fields a save writes, in table order, with their values; the level only when the item
// names one.
std::vector<std::pair<QString, QVariant>> slotFields(const QString& dateString, int slot,
                                                     const SlotItem& item) {
    std::vector<std::pair<QString, QVariant>> fields{{kDateField, dateString},
                                                     {kSlotField, static_cast<double>(slot)}};
    if (const int level = levelNumber(item.levelText))
        fields.emplace_back(kLevelField, static_cast<double>(level));
    fields.emplace_back(kContentField, item.content);
    fields.emplace_back(kAlarmField, item.alarm ? kAlarmOn : kAlarmOff);
    fields.emplace_back(kTimeField, item.timeText.isEmpty() ? kEmptyTime : item.timeText);
    return fields;
}

// INSERT of a new row (rowid 0) or UPDATE of the row with that address.
Error writeSlotRow(Connection& connection, const QString& rowidName, qint64 rowid,
                   const std::vector<std::pair<QString, QVariant>>& fields) {
    QStringList names;
    for (const auto& field : fields)
        names << quoteName(field.first);
    const QString sql =
        rowid == 0 ? QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                         .arg(kDayTable, names.join(QStringLiteral(", ")),
                              QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")))
                   : QStringLiteral("UPDATE %1 SET %2=? WHERE %3=?")
                         .arg(kDayTable, names.join(QStringLiteral("=?, ")), rowidName);
    Error error;
    Statement* statement = connection.prepare(sql, &error);
    if (!statement)
        return error;
    int index = 1;
    for (const auto& field : fields)
        statement->bind(index++, field.second);
    if (rowid != 0)
        statement->bind(index, rowid);
    return run(connection, statement);
}

// The fields of a row of the day query, by their index in the result; -1 for a missing field.
struct RecordColumns {
    int slot = -1;
    int content = -1;
    int level = -1;
    int alarm = -1;
    int time = -1;

    explicit RecordColumns(sqlite3_stmt* stmt) {
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const QString name = QString::fromUtf8(sqlite3_column_name(stmt, i));
            for (auto [field, index] : {std::pair{&kSlotField, &slot}, std::pair{&kContentField, &content},
                                        std::pair{&kLevelField, &level}, std::pair{&kAlarmField, &alarm},
                                        std::pair{&kTimeField, &time}}) {
                if (*index < 0 && name.compare(*field, Qt::CaseInsensitive) == 0)
                    *index = i;
            }
        }
    }
};

QVariant valueAt(sqlite3_stmt* stmt, int column) {
    return column < 0 ? QVariant() : columnValue(stmt, column);
}

} // namespace

SlotItem slotItem(const DayRecord& record) {
    SlotItem item{record.content, QString(), record.alarmText == kAlarmOn, record.timeText};
    item.levelText = levelText(storedLevel(record.level));
    return item;
}

SlotItem storedForm(const SlotItem& item) {
    if (item.content.isEmpty())
        return {};
    SlotItem stored = item;
    if (levelNumber(stored.levelText) == 0)
        stored.levelText.clear();
    if (stored.timeText.isEmpty())
        stored.timeText = kEmptyTime;
    return stored;
}

namespace {

// The first row of each slot in table order is found in the index on (年月日, 項目番号) alone; only
// those rows are read from the table. Rows without an address are all read, in the order they
// come, and the first of each slot is kept.
Error readSlotRecords(Connection& connection, const QString& dateString, int firstSlot, int lastSlot,
                      DayRecords& records) {
    records = DayRecords{};
    QString rowid;
    if (Error error = connection.rowAddress(kDayTable, &rowid); error.failed())
        return error;
    const QString sql =
        rowid.isEmpty()
            ? QStringLiteral("SELECT * FROM %1 WHERE %2=?1 AND %3 IN (?2, ?3, ?4, ?5)")
                  .arg(kDayTable, kDateField, kSlotField)
            : QStringLiteral("SELECT * FROM %1 WHERE %4 IN (SELECT min(%4) FROM %1 WHERE %2=?1 AND %3 IN "
                             "(?2, ?3, ?4, ?5) GROUP BY %3) ORDER BY %4")
                  .arg(kDayTable, kDateField, kSlotField, rowid);
    Error error;
    Statement* statement = connection.prepare(sql, &error);
    if (!statement)
        return error;
    statement->bind(1, dateString);
    for (int i = 0; i < kSlotCount; ++i)
        statement->bind(i + 2, std::clamp(firstSlot + i, firstSlot, lastSlot));
    sqlite3_stmt* stmt = statement->get();
    const RecordColumns columns(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const double slot = sqlite3_column_double(stmt, columns.slot);
        if (slot < 1 || slot > kSlotCount || records[static_cast<size_t>(slot) - 1].found)
            continue;
        DayRecord& record = records[static_cast<size_t>(slot) - 1];
        record.found = true;
        record.content = valueAt(stmt, columns.content).toString();
        record.level = valueAt(stmt, columns.level);
        record.alarmText = valueAt(stmt, columns.alarm).toString();
        record.timeText = valueAt(stmt, columns.time).toString();
    }
    if (rc != SQLITE_DONE)
        error = connection.lastError();
    statement->reset();
    return error;
}

} // namespace

Error dayRowAddress(Connection& connection, QString* name) {
    if (Error error = connection.rowAddress(kDayTable, name); error.failed())
        return error;
    if (name->isEmpty())
        return connection.recheckSchema(
            {SQLITE_ERROR, QStringLiteral("no such table with addressable rows: ") + kDayTable});
    return {};
}

Error readDayRecords(Connection& connection, const QString& dateString, DayRecords& records) {
    return readSlotRecords(connection, dateString, 1, kSlotCount, records);
}

Error saveSlot(Connection& connection, const QString& dateString, int slot, const SlotItem& item) {
    if (Error error = connection.writable(); error.failed())
        return error;
    QString rowidName;
    if (Error error = dayRowAddress(connection, &rowidName); error.failed())
        return error;
    qint64 rowid = 0;
    if (Error error = firstRowOfSlot(connection, rowidName, dateString, slot, &rowid); error.failed())
        return error;
    if (!item.content.isEmpty())
        return writeSlotRow(connection, rowidName, rowid, slotFields(dateString, slot, item));
    if (rowid == 0)
        return {};
    Error error;
    Statement* remove =
        connection.prepare(QStringLiteral("DELETE FROM %1 WHERE %2=?").arg(kDayTable, rowidName), &error);
    if (!remove)
        return error;
    remove->bind(1, rowid);
    return run(connection, remove);
}

Result<QStringList> datesWithItems(Connection& connection, const QStringList& dateStrings) {
    QSet<QString> withItems;
    for (qsizetype first = 0; first < dateStrings.size(); first += kDatesPerQuery) {
        const qsizetype count = std::min<qsizetype>(kDatesPerQuery, dateStrings.size() - first);
        // Per date, the search stops at its first row with a content.
        const QString sql =
            QStringLiteral("SELECT d.column1 FROM (VALUES %1) AS d WHERE EXISTS (SELECT 1 FROM "
                           "%2 WHERE %3 = d.column1 AND %4 IS NOT NULL AND %4 <> '')")
                .arg(QStringList(count, QStringLiteral("(?)")).join(QLatin1Char(',')), kDayTable, kDateField,
                     kContentField);
        Error error;
        Statement* statement = connection.prepare(sql, &error);
        if (!statement)
            return error;
        for (qsizetype i = 0; i < count; ++i)
            statement->bind(static_cast<int>(i) + 1, dateStrings[first + i]);
        int rc;
        while ((rc = sqlite3_step(statement->get())) == SQLITE_ROW)
            withItems.insert(columnValue(statement->get(), 0).toString());
        if (rc != SQLITE_DONE)
            error = connection.lastError();
        statement->reset();
        if (error.failed())
            return error;
    }
    QStringList found;
    for (const QString& date : dateStrings) {
        if (withItems.contains(date))
            found << date;
    }
    return found;
}

QString slotQuery(const QString& dateString, int slot) {
    return QStringLiteral("SELECT * FROM %1 WHERE %2='%3' AND %4=%5 ;")
        .arg(kDayTable, kDateField, literal(dateString), kSlotField, QString::number(slot));
}

QString dateQuery(const QString& dateString) {
    return QStringLiteral("SELECT * FROM %1 WHERE %2='%3' ;").arg(kDayTable, kDateField, literal(dateString));
}

Error openDayTable(DataControl& data, const QString& path) {
    data.setDatabaseName(path);
    data.setRecordSource(QString());
    const Error error = data.refresh();
    data.setRecordSource(kDayTable);
    return error;
}

Error saveSlot(DataControl& data, const QString& dateString, int slot, const SlotItem& item) {
    if (Error error = data.openDatabase(); error.failed())
        return error;
    return saveSlot(*data.connection(), dateString, slot, item);
}

Result<SlotItem> readSlot(DataControl& data, const QString& dateString, int slot) {
    if (Error error = data.openDatabase(); error.failed())
        return error;
    if (slot < 1 || slot > kSlotCount)
        return Error{SQLITE_RANGE, QStringLiteral("no such item number: %1").arg(slot)};
    DayRecords records;
    if (Error error = readSlotRecords(*data.connection(), dateString, slot, slot, records); error.failed())
        return error;
    return slotItem(records[static_cast<size_t>(slot - 1)]);
}

} // namespace store
