#pragma once
// The Schedule file out to iCalendar (RFC 5545) through libical.
//
// Every Day record becomes one VEVENT (all-day when its time is not a clock time, else 30 minutes
// from that time) whose UID follows from its date and slot, so that a calendar that imports a
// later export updates its events instead of doubling them; the ToDo list becomes VTODOs.
//
// On request the national holidays of one year follow as all-day events (free time, category
// 祝日) with a UID of their own; the program's import leaves them out, as it names them itself.
//
// The text is made record by record and handed on, so that it can go to a file or anywhere else.

#include "exchange/Progress.h"

#include <libical/ical.h>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>
#include <optional>

namespace calendar {
struct Holiday;
}

namespace store {
struct ExportedDay;
class ItemExport;
} // namespace store

namespace exchange {

struct IcsExport {
    qint64 events = 0;
    qint64 todos = 0;
    qint64 holidays = 0;
    qint64 undated = 0; // Day records with content whose Date string cannot be read: not written
    bool cancelled = false;
    QString failure; // empty on success
};

// The components of a calendar, one record at a time. Every component made by one writer has the
// same DTSTAMP, the moment the writer was made.
class IcsWriter {
  public:
    IcsWriter();

    // The calendar's own lines up to its first component, and its END line.
    static QByteArray head();
    static QByteArray end();

    // The VEVENT of one Day record, or nothing for a record without content or without a
    // readable date (counted in undated()). A date and slot repeated in the file get a UID each.
    QByteArray event(const store::ExportedDay& record);
    // The VTODO of one ToDo entry, or nothing for an empty one. The UID follows from the text, so
    // the same entry keeps its UID across exports; entries with the same text get one each.
    QByteArray todo(const QByteArray& text);
    // The all-day VEVENT of a national holiday.
    QByteArray holiday(const calendar::Holiday& holiday);

    qint64 undated() const { return undated_; }

  private:
    icaltimetype stamp_;
    QHash<qint64, int> seen_;
    QHash<QByteArray, int> todoRepeats_;
    qint64 undated_ = 0;
};

// Writes a piece of the calendar's text; returns why it could not, empty when it did.
using IcsSink = std::function<QString(const QByteArray& text)>;

// Hands `write` the whole calendar of the rows `items` reads, `total` of them (for the progress):
// its head, a component per record, the holidays of `holidayYear` when one is given, its end.
// Stops with the failure of a read or of `write`, or cancelled when the progress says so. A
// holiday year the holiday rules do not cover is refused before anything is written.
IcsExport writeCalendar(store::ItemExport& items, qint64 total, const IcsSink& write,
                        const Progress& progress = {}, std::optional<int> holidayYear = std::nullopt);

// Writes the file at `icsPath` (replaced whole, or left as it was on failure or cancel). A target
// that is the Schedule file itself is refused.
IcsExport exportIcs(const QString& schedulePath, const QString& icsPath, const Progress& progress = {},
                    std::optional<int> holidayYear = std::nullopt);

// Whether an iCalendar UID is that of a holiday this program's export added.
bool isExportedHolidayUid(const QString& uid);

} // namespace exchange
