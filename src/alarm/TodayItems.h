#pragma once
// Today's four items as the alarm check sees them. They are read from the Schedule file only when
// the date changes or the file has changed since the last read, so a check that finds nothing to
// ring costs the same on a file of any size, with or without an index, and asks the file nothing
// while it stands.

#include "store/DayStore.h"
#include "store/FileWatch.h"
#include "store/ScheduleLayout.h"

#include <QDate>

#include <QString>
#include <array>

namespace alarms {

// How long a read of the check waits for a file that another program holds locked. The check
// runs every second and may simply try again on the next tick; waiting the connection's usual few
// seconds would stop the clock.
constexpr int kCheckLockWaitMs = 20;

class TodayItems {
  public:
    struct Item {
        bool found = false; // the slot has a row
        QString alarmText;
        QString timeText;
        QString content;
        int level = 0; // 1..kLevelCount, 0 without a level
    };

    // The item of `slot` (1..kSlotCount) on `date` as the file of `days` holds it now. Reads the date's
    // rows when `date` is another than at the last read or the file has changed meanwhile.
    // Null when the file cannot be read now (missing, locked, not a database, no table).
    const Item* item(store::DayStore& days, const QDate& date, int slot);

    // How many times the rows were read from the file.
    int reads() const { return reads_; }

  private:
    bool read(store::DayStore& days, const QDate& date);

    store::FileWatch watch_{kCheckLockWaitMs};
    QDate readFor_; // the date of the rows held; invalid when none are held
    int reads_ = 0;
    std::array<Item, store::kSlotCount> items_;
};

} // namespace alarms
