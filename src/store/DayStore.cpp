#include "store/DayStore.h"

#include "store/ItemRules.h"
#include "store/ScheduleFile.h"

#include <sqlite3.h>

namespace store {

// While it lives, the connection waits for another program's lock no longer than reads may.
class DayStore::ReadWait {
  public:
    ReadWait(Connection& connection, int milliseconds) : connection_(connection) {
        connection_.setBusyTimeout(milliseconds);
    }
    ~ReadWait() { connection_.setBusyTimeout(Connection::kBusyTimeoutMs); }
    ReadWait(const ReadWait&) = delete;
    ReadWait& operator=(const ReadWait&) = delete;

  private:
    Connection& connection_;
};

namespace {

// Whether a slot's item differs in what the file would hold: an empty time box and the stored
// "####" are the same item, so a slot nobody touched never counts as changed.
bool changed(const SlotItem& before, const SlotItem& after) {
    return storedForm(before) != storedForm(after);
}

} // namespace

DayStore::DayStore(const QString& path, int readLockWaitMs) : path_(path), readLockWaitMs_(readLockWaitMs) {}

DayStore::~DayStore() = default;

void DayStore::setPath(const QString& path) {
    if (path != path_)
        close();
    path_ = path;
}

void DayStore::close() {
    connection_.reset();
}

Error DayStore::open() {
    return keepOpen(connection_, path_);
}

Error DayStore::readDay(const QDate& date, DayRecords& records) {
    records = DayRecords{};
    if (Error error = open(); error.failed())
        return error;
    const ReadWait wait(*connection_, readLockWaitMs_);
    return readDayRecords(*connection_, dateString(date), records);
}

Error DayStore::readDay(const QDate& date, std::array<SlotItem, kSlotCount>& items) {
    DayRecords records;
    const Error error = readDay(date, records);
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = slotItem(records[i]);
    return error;
}

Result<QStringList> DayStore::datesWithItems(const QStringList& dateStrings) {
    if (dateStrings.isEmpty())
        return QStringList();
    if (Error error = open(); error.failed())
        return error;
    const ReadWait wait(*connection_, readLockWaitMs_);
    return store::datesWithItems(*connection_, dateStrings);
}

Result<std::vector<ArmedItem>> DayStore::armedItems(const QDate& date) {
    DayRecords records;
    if (Error error = readDay(date, records); error.failed())
        return error;
    std::vector<ArmedItem> armed;
    for (size_t i = 0; i < records.size(); ++i) {
        if (!records[i].found || records[i].alarmText != kAlarmOn)
            continue;
        ArmedItem item;
        item.date = dateString(date);
        item.slot = static_cast<int>(i) + 1;
        item.level = storedLevel(records[i].level);
        item.timeText = records[i].timeText;
        item.content = records[i].content;
        armed.push_back(item);
    }
    return armed;
}

QString DayStore::readOnlyReason() {
    return readOnlyStatus().value();
}

Result<QString> DayStore::readOnlyStatus() {
    if (Error error = open(); error.failed())
        return error;
    const ReadWait wait(*connection_, 0);
    // A schema that cannot be read now (a lock) gives no reason yet; the caller asks again.
    if (Error error = connection_->checkSchema(); error.failed())
        return error;
    return connection_->readOnlyReason();
}

Error DayStore::write(const std::function<Error()>& work) {
    if (Error error = open(); error.failed())
        return error;
    if (Error error = connection_->writable(); error.failed())
        return error;
    if (Error error = connection_->exec(QStringLiteral("BEGIN IMMEDIATE")); error.failed())
        return error;
    Error error = work();
    if (error.ok())
        error = connection_->exec(QStringLiteral("COMMIT"));
    // The engine may have ended the transaction itself (a full disk, an I/O error).
    if (error.failed())
        connection_->rollback();
    return error;
}

Error DayStore::disarm(const QDate& date, int slot) {
    return write([&]() -> Error {
        QString rowid;
        if (Error error = dayRowAddress(*connection_, &rowid); error.failed())
            return error;
        Error error;
        Statement* statement = connection_->prepare(
            QStringLiteral(
                "UPDATE %1 SET %2=?1 WHERE %3=(SELECT %3 FROM %1 WHERE %4=?2 AND %5=?3 ORDER BY %3 LIMIT 1)")
                .arg(kDayTable, kAlarmField, rowid, kDateField, kSlotField),
            &error);
        if (!statement)
            return error;
        statement->bind(1, kAlarmOff);
        statement->bind(2, dateString(date));
        statement->bind(3, slot);
        if (sqlite3_step(statement->get()) != SQLITE_DONE)
            error = connection_->writeError();
        else if (sqlite3_changes(connection_->handle()) == 0)
            error = connection_->recheckSchema({SQLITE_ERROR, kRecordGoneText});
        statement->reset();
        return error;
    });
}

Error DayStore::saveChangedSlots(const QString& key, std::array<SlotItem, kSlotCount>& stored,
                                 const std::array<SlotItem, kSlotCount>& loaded,
                                 const std::array<SlotItem, kSlotCount>& wanted,
                                 std::vector<SlotConflict>* found) {
    DayRecords records;
    if (Error error = readDayRecords(*connection_, key, records); error.failed())
        return error;
    for (size_t i = 0; i < stored.size(); ++i) {
        stored[i] = slotItem(records[i]);
        if (changed(loaded[i], wanted[i]) && changed(loaded[i], stored[i]))
            found->push_back({static_cast<int>(i) + 1, stored[i], wanted[i]});
    }
    if (!found->empty())
        return {kChangedElsewhere, QString()};
    for (size_t i = 0; i < stored.size(); ++i) {
        if (!changed(loaded[i], wanted[i]))
            continue;
        if (Error error = saveSlot(*connection_, key, static_cast<int>(i) + 1, wanted[i]); error.failed())
            return error;
    }
    // What the file holds now, for the next save's comparison.
    if (Error error = readDayRecords(*connection_, key, records); error.failed())
        return error;
    for (size_t i = 0; i < stored.size(); ++i)
        stored[i] = slotItem(records[i]);
    return {};
}

Error DayStore::saveDay(const QDate& date, std::array<SlotItem, kSlotCount>& loaded,
                        const std::array<SlotItem, kSlotCount>& wanted,
                        std::vector<SlotConflict>* conflicts) {
    if (conflicts)
        conflicts->clear();
    std::array<SlotItem, kSlotCount> stored;
    std::vector<SlotConflict> found;
    if (Error error =
            write([&] { return saveChangedSlots(dateString(date), stored, loaded, wanted, &found); });
        error.failed()) {
        if (conflicts)
            *conflicts = std::move(found);
        return error;
    }
    // Slots not written keep what the window shows, also when the file holds something newer.
    for (size_t i = 0; i < stored.size(); ++i) {
        if (changed(loaded[i], wanted[i]))
            loaded[i] = stored[i];
    }
    return {};
}

} // namespace store
