#pragma once
// What the iCalendar export and the reading of a calendar share: owners of libical's allocations,
// and how the fields iCalendar has no place for travel in a file of ours, so that a file the
// export writes reads back as the same items.

#include "store/ScheduleLayout.h"

#include <libical/ical.h>

#include <cstdlib>
#include <memory>

namespace exchange::ical {

struct ComponentDeleter {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

// A string libical allocated with malloc (the *_r functions).
struct MallocDeleter {
    void operator()(char* text) const { std::free(text); }
};
using IcalText = std::unique_ptr<char, MallocDeleter>;

// The slot (1..4) an event came from, so that it goes back there when that slot is free.
inline constexpr char kSlotProperty[] = "X-DADUVOV-SLOT";
// The time text of a record whose time is no clock time ("930", "12:00"), kept for a round trip.
inline constexpr char kTimeProperty[] = "X-DADUVOV-TIME";

// Level 1..5 -> PRIORITY 1, 3, 5, 7, 9; and back (0 and anything else: no level).
static_assert(store::kLevelCount * 2 - 1 <= 9, "every level has a PRIORITY of its own");
// The UID of a national holiday the export adds, "holiday-YYYYMMDD@daduvov": unlike an item's
// UID ("YYYYMMDD-slot@daduvov") or a ToDo's ("todo-...@daduvov"), so neither is ever taken for it.
inline constexpr char kHolidayUidPrefix[] = "holiday-";
inline constexpr char kUidDomain[] = "@daduvov";

inline int priorityOfLevel(int level) {
    return level >= 1 && level <= store::kLevelCount ? level * 2 - 1 : 0;
}
inline int levelOfPriority(int priority) {
    return priority >= 1 && priority <= 9 ? (priority + 1) / 2 : 0;
}

} // namespace exchange::ical
