#pragma once
// The items of an iCalendar file into the Schedule file: VEVENTs fill the free slots of their
// local date in one transaction, recurring events only within a date range the caller chooses;
// VTODOs join the ToDo list.

#include "exchange/IcalReader.h"
#include "exchange/Progress.h"

#include <QString>
#include <QStringList>

namespace exchange {

// Reads and parses the file at `path` (see Calendar::parse). A file that cannot be read or is
// too large comes back with failure() set.
Calendar readCalendarFile(const QString& path, const Progress& progress = {});

struct ImportReport {
    int added = 0;         // Day records
    int todosAdded = 0;    // ToDo entries
    int duplicates = 0;    // events and ToDos already in the file (or twice in the file)
    QStringList fullDates; // the Date string of every event that found no free slot
    int shortened = 0;     // contents cut to 80 characters
    int timesDropped = 0;  // events added without a time, their start's time of day not existing
    int alarmsAtStart = 0; // alarms whose trigger gives no time on the start's date: set to the start
    int unreadable = 0;    // events and instances left out, their start date not readable
    int holidays = 0;      // holidays this program exported, left out: the calendar names them itself
    bool cancelled = false;
    QString failure; // empty on success; then nothing was added
};

// Adds the calendar's items to the Schedule file in one transaction: a failure or a cancel
// leaves the file as it was. The recurring events of one file may take a bounded number of steps
// and give a bounded number of occurrences within the range; a file that needs more is refused
// as a whole, with a message, and nothing is added.
ImportReport importCalendar(const Calendar& calendar, const QString& schedulePath, const DateRange& range,
                            const Progress& progress = {});

// The one message that tells the user what an import did.
QString importSummary(const ImportReport& report);

} // namespace exchange
