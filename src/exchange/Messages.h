#pragma once
// The texts the exchange functions give the user: one line each, except the import summary.

#include <QString>
#include <QStringList>

namespace store {
struct Error;
}

namespace exchange::messages {

QString cannotWrite(const QString& path, const QString& reason);
QString cannotRead(const QString& path, const QString& reason);
QString tooLarge(const QString& path);
// A failure of the Schedule file, its sentence and the engine's text on one line.
QString storeFailure(const store::Error& error);
// A record the export could not read (its number counts from 1), with the reason: nothing was
// written.
QString unreadableRecord(qint64 record, const QString& reason);
// The Day records an iCalendar export left out because their date cannot be read.
QString undatedNotExported(qint64 count);
// The national holidays an export added, and the year whose holidays the rules do not know.
QString holidaysExported(qint64 count, int year);
QString holidaysUnknown(int year);
QString notUtf8();
QString notICalendar();
QString brokenICalendar(const QString& detail);
// The recurring events of a file would take more work than an import may.
QString tooManyOccurrences();
// The content of an event without SUMMARY.
QString untitled();
QString importSummary(int added, int todosAdded, int duplicates, const QStringList& fullDates, int shortened,
                      int timesDropped, int alarmsAtStart = 0, int unreadable = 0, int holidays = 0);

// Tells the user how an export ended: cancelled, failed with `failure`, or done (`doneText`).
void showExportOutcome(bool cancelled, const QString& failure, const QString& doneText);

} // namespace exchange::messages
