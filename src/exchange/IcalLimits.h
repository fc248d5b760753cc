#pragma once
// What reading an iCalendar file may make libical do, kept within bounds: the parse (which can
// be cancelled and refuses a deep nesting), the time zones a file names or defines, and the check
// of a recurrence rule's days that the import shares.

#include "exchange/Progress.h"

#include <libical/ical.h>

#include <QByteArrayView>

namespace exchange::limits {

// libical checks and frees a tree by recursion: a file nested deeper than this is refused before
// it could overflow the stack. Calendars nest three deep (VCALENDAR, VEVENT, VALARM).
constexpr int kMaxNesting = 32;
// How much of the text passes between two reports of the progress.
constexpr qsizetype kReportBytes = 256 * 1024;

struct Parsed {
    icalcomponent* root = nullptr; // the caller's to free; nothing when tooDeep or cancelled
    bool tooDeep = false;
    bool cancelled = false;
};

// Parses the text (up to its first NUL byte) as icalparser_parse_string does, several components
// under an XROOT, and tells `progress` how far it got: `before` plus the bytes read, of `total`.
// Returning false there cancels.
Parsed parse(QByteArrayView text, const Progress& progress, qint64 before, qint64 total);

// Whether a TZID names a file outside the system's zone folder ("../x"): libical would open it to
// look for a zone of that name, and a FIFO there would block the import for good.
bool leavesZoneFolder(const char* tzid);

// Times whose TZID names a path outside the system's zone folder ("../x") stay as written:
// libical would open that file to look for a zone, and a FIFO there would block for good.
void dropUnsafeZoneNames(icalcomponent* root);

// Leaves out every VTIMEZONE that libical could not expand in bounded time (a rule more frequent
// than yearly, or one that gives more changes a year than zones have), and those beyond a bound for
// the whole file: times in their zone follow the system's zone of the same name, or stay as written
// when there is none. The kept ones are expanded once, to their end, here: libical expands a zone
// again from its start whenever a later year is asked for.
void keepBoundedZones(icalcomponent* root);

// The number of values of a BY part of a rule.
template <size_t N> int countOf(const short (&values)[N]) {
    int n = 0;
    while (n < static_cast<int>(N) && values[n] != ICAL_RECURRENCE_ARRAY_MAX)
        ++n;
    return n;
}

// Whether a rule can have an instance at all as far as its months, days of the month and n-th
// weekdays go: libical searches up to the year 20000 for a 31 April or a sixth Monday.
bool hasSuchDay(const icalrecurrencetype& rule);

} // namespace exchange::limits
