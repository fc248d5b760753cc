#pragma once
// The Schedule file out to iCalendar (RFC 5545) through libical.
//
// Every Day record becomes one VEVENT (all-day when its time is not a clock time, else 30 minutes
// from that time) whose UID follows from its date and slot, so that a calendar that imports a
// later export updates its events instead of doubling them; the ToDo list becomes VTODOs.
//
// The text is made record by record and handed on, so that it can go to a file or anywhere else.

#include "exchange/Progress.h"

#include <libical/ical.h>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>

namespace store {
struct ExportedDay;
class ItemExport;
} // namespace store

namespace exchange {

struct IcsExport {
    qint64 events = 0;
    qint64 todos = 0;
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
// its head, a component per record, its end. Stops with the failure of a read or of `write`, or
// cancelled when the progress says so.
IcsExport writeCalendar(store::ItemExport& items, qint64 total, const IcsSink& write,
                        const Progress& progress = {});

// Writes the file at `icsPath` (replaced whole, or left as it was on failure or cancel). A target
// that is the Schedule file itself is refused.
IcsExport exportIcs(const QString& schedulePath, const QString& icsPath, const Progress& progress = {});

} // namespace exchange
