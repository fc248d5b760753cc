#include "alarm/TodayItems.h"

#include "store/DayRecords.h"
#include "store/ScheduleFile.h"

#include <sqlite3.h>

namespace alarms {

int levelOf(const QVariant& value) {
    bool ok = false;
    const double number = value.isNull() ? 0 : value.toDouble(&ok);
    return ok && number >= 1 && number <= 5 && number == static_cast<int>(number) ? static_cast<int>(number)
                                                                                  : 0;
}

bool TodayItems::fileVersion(const QString& file, qint64* version) {
    if (watch_ && (watch_->path() != file || !watch_->fileStillAtPath()))
        watch_.reset();
    if (!watch_) {
        readFor_.clear();
        watch_ = store::Connection::open(file, nullptr);
        if (!watch_)
            return false;
        watch_->setBusyTimeout(kCheckLockWaitMs);
    }
    store::Statement* statement = watch_->prepare(QStringLiteral("PRAGMA data_version"), nullptr);
    if (!statement)
        return false;
    const bool ok = sqlite3_step(statement->get()) == SQLITE_ROW;
    if (ok)
        *version = sqlite3_column_int64(statement->get(), 0);
    statement->reset(); // ends the read, so no lock is held between ticks
    return ok;
}

bool TodayItems::read(store::DayStore& days, const QDate& date) {
    store::DayRecords records;
    ++reads_;
    if (days.readDay(date, records).failed())
        return false;
    for (size_t i = 0; i < records.size(); ++i) {
        const store::DayRecord& record = records[i];
        items_[i] = {record.found, record.alarmText, record.timeText, record.content, levelOf(record.level)};
    }
    return true;
}

const TodayItems::Item* TodayItems::item(store::DayStore& days, const QDate& date, const QString& minute,
                                         int slot) {
    qint64 version = 0;
    if (!fileVersion(days.path(), &version))
        return nullptr;
    const QString readFor = store::dateString(date) + QLatin1Char(' ') + minute;
    if (readFor_ != readFor || readVersion_ != version) {
        // The version is taken before the rows: a commit in between shows as a change next time.
        readFor_.clear();
        if (!read(days, date))
            return nullptr;
        readFor_ = readFor;
        readVersion_ = version;
    }
    return &items_[static_cast<size_t>(slot - 1)];
}

} // namespace alarms
