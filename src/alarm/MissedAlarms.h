#pragma once
// The alarms missed while the program was not running: armed items whose date and time lie within
// the last days before the program started, read date by date.

#include "store/ArmedItems.h"
#include "store/DayStore.h"

#include <QDateTime>
#include <vector>

namespace alarms {

// How far back missed alarms are looked for; older ones stay as they are and are never shown.
constexpr int kMissedAlarmDays = 7;
// Lines the start-up list shows at most; the rest are counted and kept for a later start.
constexpr int kMissedAlarmLines = 50;

// The armed items of the Schedule file of `days` whose alarm time is before the minute of
// `now` and not more than kMissedAlarmDays days before it, newest first (within a minute, slot order).
// Items without a well-formed time never count.
store::Result<std::vector<store::ArmedItem>> missedAlarms(store::DayStore& days, const QDateTime& now);

} // namespace alarms
