#include "alarm/TodayItems.h"

#include "store/DayRecords.h"
#include "store/ScheduleFile.h"

#include <sqlite3.h>

namespace alarms {

namespace {

// How long a read of the check waits for a file that another program holds locked. The check
// runs ten times a second and may simply try again on the next tick; waiting the connection's
// usual few seconds would stop the clock.
constexpr int kCheckBusyTimeoutMs = 20;

// A number equal to the slot, compared as the engine compares 項目番号 = n: texts and null never
// match.
bool isSlot(const QVariant& value, int slot) {
    const int type = value.typeId();
    return !value.isNull() && type != QMetaType::QString && type != QMetaType::QByteArray &&
           value.toDouble() == slot;
}

} // namespace

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
        watch_->setBusyTimeout(kCheckBusyTimeoutMs);
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

bool TodayItems::read(store::DataControl& data, const QString& file, const QString& date) {
    data.setDatabaseName(file);
    if (data.openDatabase())
        return false;
    store::ShortLockWait wait(data, kCheckBusyTimeoutMs);
    data.setRecordSource(QString());
    if (data.refresh())
        return false;
    // One query for the date; per slot its first row in table order, as the Slot query finds it.
    data.setRecordSource(store::dateQuery(date));
    if (data.refresh())
        return false;
    items_ = {};
    for (; data.hasCurrentRow(); data.moveNext()) {
        for (int slot = 1; slot <= 4; ++slot) {
            Item& item = items_[static_cast<size_t>(slot - 1)];
            if (item.found || !isSlot(data.field(QStringLiteral("項目番号")), slot))
                continue;
            item.found = true;
            item.alarmText = data.field(QStringLiteral("アラーム")).toString();
            item.timeText = data.field(QStringLiteral("時刻")).toString();
            item.content = data.field(QStringLiteral("内容")).toString();
            item.level = levelOf(data.field(QStringLiteral("レベル")));
        }
    }
    return true;
}

const TodayItems::Item* TodayItems::item(store::DataControl& data, const QString& file, const QString& date,
                                         const QString& minute, int slot) {
    qint64 version = 0;
    if (!fileVersion(file, &version))
        return nullptr;
    const QString readFor = date + QLatin1Char(' ') + minute;
    if (readFor_ != readFor || readVersion_ != version) {
        // The version is taken before the rows: a commit in between shows as a change next time.
        readFor_.clear();
        if (!read(data, file, date))
            return nullptr;
        readFor_ = readFor;
        readVersion_ = version;
    }
    return &items_[static_cast<size_t>(slot - 1)];
}

} // namespace alarms
