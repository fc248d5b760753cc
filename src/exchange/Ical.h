#pragma once
// The Schedule file in and out of iCalendar (RFC 5545) through libical.
//
// Export: every Day record becomes one VEVENT (all-day when its time is not a clock time, else
// 30 minutes from that time) whose UID follows from its date and slot, so that a calendar that
// imports a later export updates its events instead of doubling them; the ToDo list becomes VTODOs. Import:
// VEVENTs fill the free slots of their local date in one transaction, recurring events only within a date
// range the caller chooses; VTODOs join the ToDo list.

#include "exchange/Progress.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <memory>

namespace exchange {

struct IcsExport {
    qint64 events = 0;
    qint64 todos = 0;
    qint64 undated = 0; // Day records with content whose Date string cannot be read: not written
    bool cancelled = false;
    QString failure; // empty on success
};

// Writes the file at `icsPath` (replaced whole, or left as it was on failure or cancel). A target
// that is the Schedule file itself is refused.
IcsExport exportIcs(const QString& schedulePath, const QString& icsPath, const Progress& progress = {});

// The first and last local date (both included) whose occurrences of recurring events are
// imported.
struct DateRange {
    QDate first;
    QDate last;
};
// From today for 12 months.
DateRange defaultRecurrenceRange(const QDate& today);

// A parsed iCalendar file, ready to import.
class Calendar {
  public:
    // Reads and parses the file, telling `progress` how far it got; returning false there stops
    // the reading (cancelled()). A file that cannot be read, is not UTF-8, whose structure libical
    // finds broken, or of which nothing can be imported comes back with failure() set and nothing
    // to import. A property libical cannot read is passed over; an event without a start date
    // that exists is left out and counted (unreadable()). A VTIMEZONE that
    // libical could not expand in bounded time is left out: its times follow the system's zone
    // of the same name, or stay as written when there is none.
    static Calendar read(const QString& path, const Progress& progress = {});
    static Calendar parse(const QByteArray& text, const Progress& progress = {});

    Calendar(Calendar&&) noexcept;
    Calendar& operator=(Calendar&&) noexcept;
    ~Calendar();

    const QString& failure() const { return failure_; }
    bool cancelled() const { return cancelled_; }
    // The events left out because their start could not be read.
    int unreadable() const { return unreadable_; }
    bool hasRecurrences() const;

  private:
    Calendar();
    friend struct CalendarAccess;
    struct Data;
    std::unique_ptr<Data> data_;
    QString failure_;
    bool cancelled_ = false;
    int unreadable_ = 0;
};

struct ImportReport {
    int added = 0;         // Day records
    int todosAdded = 0;    // ToDo entries
    int duplicates = 0;    // events and ToDos already in the file (or twice in the file)
    QStringList fullDates; // the Date string of every event that found no free slot
    int shortened = 0;     // contents cut to 80 characters
    int timesDropped = 0;  // events added without a time, their start's time of day not existing
    int alarmsAtStart = 0; // alarms whose trigger gives no time on the start's date: set to the start
    int unreadable = 0;    // events and instances left out, their start date not readable
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

// The content as it is stored: line breaks become blanks, more than 80 characters are cut to
// 79 and "…". *shortened tells whether it was cut.
QString storedContent(const QString& summary, bool* shortened = nullptr);

} // namespace exchange
