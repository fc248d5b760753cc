#pragma once
// Today's four items as the alarm check sees them. They are read from the Schedule file only when
// the minute changes or the file has changed since the last read, so a check that finds nothing
// to ring costs the same on a file of any size, with or without an index.

#include "store/Connection.h"
#include "store/DayStore.h"

#include <QDate>
#include <QVariant>

#include <QString>
#include <array>
#include <memory>

namespace alarms {

// How long a read of the check waits for a file that another program holds locked. The check
// runs ten times a second and may simply try again on the next tick; waiting the connection's
// usual few seconds would stop the clock.
constexpr int kCheckLockWaitMs = 20;

// The level 1..5 of a stored レベル value; 0 for none or any other value.
int levelOf(const QVariant& value);

class TodayItems {
  public:
    struct Item {
        bool found = false; // the slot has a row
        QString alarmText;
        QString timeText;
        QString content;
        int level = 0; // 1..5, 0 without a level
    };

    // The item of `slot` (1..4) on `date` as the file of `days` holds it now. Reads the date's
    // rows when `minute` is another than at the last read or the file has changed meanwhile.
    // Null when the file cannot be read now (missing, locked, not a database, no table).
    const Item* item(store::DayStore& days, const QDate& date, const QString& minute, int slot);

    // How many times the rows were read from the file.
    int reads() const { return reads_; }

  private:
    // The file's change count as a connection of our own sees it: any commit by another
    // connection (of this or another program) changes it. False when it cannot be read.
    bool fileVersion(const QString& file, qint64* version);
    bool read(store::DayStore& days, const QDate& date);

    std::unique_ptr<store::Connection> watch_;
    QString readFor_; // date and minute of the rows held; empty when none are held
    qint64 readVersion_ = 0;
    int reads_ = 0;
    std::array<Item, 4> items_;
};

} // namespace alarms
