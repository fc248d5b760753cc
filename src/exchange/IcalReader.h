#pragma once
// The reading of an iCalendar (RFC 5545) text through libical: the parse, the time zones a file
// names or defines, and the items it gives within a range of dates, each as the Schedule file
// would hold it. Nothing here reads a file or the Schedule file: it works on the bytes it is
// given, within bounds on the work a text may cause (IcalLimits).

#include "exchange/Progress.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace exchange {

// The first and last local date (both included) whose occurrences of recurring events are
// imported.
struct DateRange {
    QDate first;
    QDate last;
};
// From today for 12 months.
DateRange defaultRecurrenceRange(const QDate& today);

// The content as it is stored: line breaks become blanks, more than 80 characters are cut to
// 79 and "…". *shortened tells whether it was cut.
QString storedContent(const QString& summary, bool* shortened = nullptr);

// A parsed iCalendar text, ready to read its items.
class Calendar {
  public:
    // Parses the text, telling `progress` how far it got; returning false there stops the
    // reading (cancelled()). A text that is not UTF-8, whose structure libical finds broken, or
    // of which nothing can be imported comes back with failure() set and nothing to import. A
    // property libical cannot read is passed over; an event without a start date that exists is
    // left out and counted (unreadable()). A VTIMEZONE that libical could not expand in bounded
    // time is left out: its times follow the system's zone of the same name, or stay as written
    // when there is none.
    static Calendar parse(const QByteArray& text, const Progress& progress = {});
    // A calendar that failed before its text could be parsed.
    static Calendar failed(const QString& failure);

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

// An event, or one occurrence of a recurring event, as the Schedule file would hold it.
struct CalendarItem {
    QDate date;   // its local date; invalid for an instance whose date does not exist
    QString time; // "HHMM"; empty for an all-day event, or the time text of a round trip
    QString content;
    bool shortened = false; // the content was cut
    int level = 0;          // 1..5, 0 for none
    bool alarm = false;
    int preferredSlot = 0;     // 1..4 when the file names the slot it came from
    QString key;               // UID and occurrence; empty without a UID
    bool timeDropped = false;  // the start's clock time was unusable: the item has no time
    bool alarmAtStart = false; // the alarm's trigger gives no time on the start's date
};

// The items of a calendar within a range of dates, with the work they take bounded and told to a
// progress. The recurring events of one calendar may take a bounded number of steps and give a
// bounded number of occurrences within the range; a calendar that needs more is over budget as a
// whole. The progress counts every event twice (planned, then read), every RDATE, the steps of
// every rule, and a unit for every ToDo, which the caller moves on with advance().
class ItemReader {
  public:
    // Gets an item; returning false stops the reading.
    using Sink = std::function<bool(CalendarItem&& item)>;

    ItemReader(const Calendar& calendar, const DateRange& range, const Progress& progress = {});
    ~ItemReader();
    ItemReader(const ItemReader&) = delete;
    ItemReader& operator=(const ItemReader&) = delete;

    // The summaries of the calendar's VTODOs in the order of the file, trimmed, the empty ones
    // left out.
    const QStringList& todos() const { return todos_; }

    // Counts the work ahead and takes the rules' expected steps from the budget. False when they
    // are more than a calendar may take (overBudget()) or the user cancels (cancelled()).
    bool plan();
    // Hands `add` every item in the order of the file: single events as they are, recurring ones
    // expanded within the range, instances that a RECURRENCE-ID component replaces or an EXDATE
    // removes left out, cancelled events left out. False when `add` stops, the user cancels or
    // the calendar takes more work than it may.
    bool forEachItem(const Sink& add);
    // Moves the work on by `units` of the caller's own; false once the user has cancelled.
    bool advance(qint64 units);
    // Tells the progress that the work is done; false when the user cancels there.
    bool finish();

    bool cancelled() const;
    bool overBudget() const;

  private:
    struct Work;
    const Calendar& calendar_;
    QStringList todos_;
    std::unique_ptr<Work> work_;
};

} // namespace exchange
