#include "store/DayRecords.h"

#include "store/ScheduleFile.h"

#include <sqlite3.h>

#include <QSet>

namespace store {

namespace {

const QString kDateField = QStringLiteral("年月日");
const QString kSlotField = QStringLiteral("項目番号");
const QString kLevelField = QStringLiteral("レベル");
const QString kContentField = QStringLiteral("内容");
const QString kAlarmField = QStringLiteral("アラーム");
const QString kTimeField = QStringLiteral("時刻");
const QString kTrue = QStringLiteral("True");
const QString kFalse = QStringLiteral("False");

// A Date string goes into the query as a literal; an apostrophe is doubled so that text which is
// not a Date string cannot change the query (it then simply matches nothing).
QString literal(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return escaped;
}

// Up to this many Date strings are bound to one IN list.
constexpr int kDatesPerQuery = 400;

} // namespace

QString dateString(const QDate& date) {
    if (!date.isValid())
        return QString();
    return dateString(date.year(), date.month(), date.day());
}

QString dateString(int year, int month, int day) {
    return QString::number(year) + QLatin1Char('/') + QString::number(month) + QLatin1Char('/') +
           QString::number(day);
}

QString slotQuery(const QString& dateString, int slot) {
    return QStringLiteral("SELECT * FROM 予定表 WHERE 年月日='") + literal(dateString) +
           QStringLiteral("' AND 項目番号=") + QString::number(slot) + QStringLiteral(" ;");
}

QString dateQuery(const QString& dateString) {
    return QStringLiteral("SELECT * FROM 予定表 WHERE 年月日='") + literal(dateString) +
           QStringLiteral("' ;");
}

QString levelText(int level) {
    if (level < 1 || level > 5)
        return QString();
    return QStringLiteral("ﾚﾍﾞﾙ") + QString::number(level);
}

int levelNumber(const QString& text) {
    for (int level = 1; level <= 5; ++level) {
        if (text == levelText(level))
            return level;
    }
    return 0;
}

Error openDayTable(DataControl& data, const QString& path) {
    data.setDatabaseName(path);
    data.setRecordSource(QString());
    const Error error = data.refresh();
    data.setRecordSource(kDayTable);
    return error;
}

Error saveSlot(DataControl& data, const QString& dateString, int slot, const SlotItem& item) {
    data.setRecordSource(slotQuery(dateString, slot));
    Error error = data.refresh();
    if (error)
        return error;

    if (item.content.isEmpty()) {
        if (data.hasCurrentRow())
            return data.remove();
        return {};
    }

    error = data.hasCurrentRow() ? data.edit() : data.addNew();
    if (error)
        return error;
    const int level = levelNumber(item.levelText);
    for (const auto& [name, value] : {
             std::pair{kDateField, QVariant(dateString)},
             std::pair{kSlotField, QVariant(static_cast<double>(slot))},
             std::pair{kLevelField, level > 0 ? QVariant(static_cast<double>(level)) : QVariant()},
             std::pair{kContentField, QVariant(item.content)},
             std::pair{kAlarmField, QVariant(item.alarm ? kTrue : kFalse)},
             std::pair{kTimeField, QVariant(item.timeText.isEmpty() ? kEmptyTime : item.timeText)},
         }) {
        if (name == kLevelField && level == 0)
            continue; // any other level text leaves the stored level as it is
        error = data.setField(name, value);
        if (error) {
            data.cancelUpdate();
            return error;
        }
    }
    return data.update();
}

SlotItem readSlot(DataControl& data, const QString& dateString, int slot, Error* failure) {
    SlotItem item;
    data.setRecordSource(slotQuery(dateString, slot));
    const Error refreshed = data.refresh();
    if (failure)
        *failure = refreshed;
    if (refreshed || !data.hasCurrentRow())
        return item;

    // Each field on its own: one that cannot be read leaves its part empty.
    Error error;
    QVariant value = data.field(kContentField, &error);
    if (!error && !value.isNull())
        item.content = value.toString();

    value = data.field(kLevelField, &error);
    if (!error && !value.isNull()) {
        bool ok = false;
        const double number = value.toDouble(&ok);
        for (int level = 1; ok && level <= 5; ++level) {
            if (number == level)
                item.levelText = levelText(level);
        }
    }

    value = data.field(kAlarmField, &error);
    item.alarm = !error && !value.isNull() && value.toString() == kTrue;

    value = data.field(kTimeField, &error);
    if (!error && !value.isNull())
        item.timeText = value.toString();
    return item;
}

QStringList datesWithItems(DataControl& data, const QStringList& dateStrings, Error* error) {
    if (error)
        *error = {};
    QStringList found;
    if (dateStrings.isEmpty())
        return found;
    Error failure = data.openDatabase();
    Connection* connection = data.connection();
    QSet<QString> withItems;
    for (qsizetype first = 0; !failure && first < dateStrings.size(); first += kDatesPerQuery) {
        const qsizetype count = std::min<qsizetype>(kDatesPerQuery, dateStrings.size() - first);
        // Per date, the search stops at its first row with a content.
        const QString sql =
            QStringLiteral("SELECT d.column1 FROM (VALUES ") +
            QStringList(count, QStringLiteral("(?)")).join(QLatin1Char(',')) +
            QStringLiteral(") AS d WHERE EXISTS (SELECT 1 FROM 予定表 WHERE 年月日 = d.column1 "
                           "AND 内容 IS NOT NULL AND 内容 <> '')");
        Statement* statement = connection->prepare(sql, &failure);
        if (!statement)
            break;
        for (qsizetype i = 0; i < count; ++i)
            statement->bind(static_cast<int>(i) + 1, dateStrings[first + i]);
        int rc;
        while ((rc = sqlite3_step(statement->get())) == SQLITE_ROW)
            withItems.insert(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement->get(), 0)),
                                  sqlite3_column_bytes(statement->get(), 0)));
        if (rc != SQLITE_DONE)
            failure = connection->lastError();
        statement->reset();
    }
    if (failure) {
        if (error)
            *error = failure;
        return {};
    }
    for (const QString& date : dateStrings) {
        if (withItems.contains(date))
            found << date;
    }
    return found;
}

Error saveDay(DataControl& data, const QString& dateString, std::array<SlotItem, 4>& loaded,
              const std::array<SlotItem, 4>& wanted, std::vector<SlotConflict>* conflicts) {
    if (conflicts)
        conflicts->clear();
    Connection* connection = data.connection();
    if (!connection)
        return {SQLITE_CANTOPEN, QStringLiteral("the Schedule file is not open")};
    if (Error error = connection->checkSchema())
        return error;
    if (!connection->readOnlyReason().isEmpty())
        return {SQLITE_READONLY, connection->readOnlyReason()};
    if (Error error = connection->exec(QStringLiteral("BEGIN IMMEDIATE")))
        return error;

    Error error;
    std::array<SlotItem, 4> stored;
    std::vector<SlotConflict> found;
    for (std::size_t i = 0; i < stored.size() && !error; ++i) {
        const int slot = static_cast<int>(i) + 1;
        stored[i] = readSlot(data, dateString, slot, &error);
        if (!error && wanted[i] != loaded[i] && stored[i] != loaded[i])
            found.push_back({slot, stored[i], wanted[i]});
    }
    if (!error && !found.empty())
        error = {kChangedElsewhere, QStringLiteral("another program saved this date meanwhile")};
    for (std::size_t i = 0; i < stored.size() && !error; ++i) {
        if (wanted[i] != loaded[i])
            error = saveSlot(data, dateString, static_cast<int>(i) + 1, wanted[i]);
    }
    // What the file holds now, for the next save's comparison.
    for (std::size_t i = 0; i < stored.size() && !error; ++i) {
        if (wanted[i] != loaded[i])
            stored[i] = readSlot(data, dateString, static_cast<int>(i) + 1, &error);
    }
    if (!error)
        error = connection->exec(QStringLiteral("COMMIT"));
    if (error) {
        if (data.editing())
            data.cancelUpdate();
        // The engine may have ended the transaction itself (a full disk, an I/O error).
        if (!sqlite3_get_autocommit(connection->handle()))
            connection->exec(QStringLiteral("ROLLBACK"));
        if (conflicts)
            *conflicts = std::move(found);
        return error;
    }
    // Slots not written keep what the window shows, also when the file holds something newer.
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (wanted[i] != loaded[i])
            loaded[i] = stored[i];
    }
    return {};
}

} // namespace store
