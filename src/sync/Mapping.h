#pragma once
// An item as the sync compares it on both sides, and the way between it and the two stores: a
// Day record of the file, and a calendar object resource of the collection (read through the
// import's reader, written with the export's mapping). Editing a resource changes only what the
// item holds and keeps the rest of the server's event (its description, location, time zone...).

#include "exchange/IcalReader.h"
#include "store/DayRecords.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <optional>
#include <vector>

namespace calsync {

// What an item holds, in the form both sides compare equal after a sync: the content as the
// file stores it, the time text ("" without a time), the level 0..5 and the alarm switch.
struct ItemValue {
    QDate date;
    QString time;
    QString content;
    int level = 0;
    bool alarm = false;

    bool operator==(const ItemValue&) const = default;
};

ItemValue valueOf(const QDate& date, const store::SlotItem& item);
store::SlotItem slotItemOf(const ItemValue& value);
// "2026/1/5 0930 content", for the report.
QString describe(const ItemValue& value);

// An item of a resource: an occurrence of a recurring event (named by its start as written), or
// the resource's only event (an empty occurrence).
struct ServerItem {
    QString href;
    QString occurrence;
    ItemValue value;
    int preferredSlot = 0;
};

// A resource's items within the range, and those it holds that the file cannot: their date
// and summary and why, for the report.
struct ResourceItems {
    std::vector<ServerItem> items;
    struct Left {
        QDate date;
        QString summary;
        QString reason;
    };
    std::vector<Left> left;
    bool unreadable = false; // the text could not be read (or read in bounds): its items are unknown
};
ResourceItems readResource(const QString& href, const QByteArray& data, const exchange::DateRange& range);

// The summary of a resource's VTODO; empty when it holds none (or only empty ones).
QString todoOf(const QByteArray& data);
// A new resource of one VTODO.
QByteArray newTodoResource(const QString& uid, const QString& text);

// Whether the file can hold an item of this date.
bool storableDate(const QDate& date);

// A new resource of one event with the given UID.
QByteArray newResource(const QString& uid, const ItemValue& value, int slot);

// A change to one item of a resource: its new value, or nothing to delete it; `was` is the item as
// the resource holds it now.
struct ItemEdit {
    QString occurrence;
    ItemValue was;
    std::optional<ItemValue> now;
    int slot = 0;
};
// The resource's text with the edits made: an edited occurrence of a recurring event becomes an
// override (RECURRENCE-ID), a deleted one an EXDATE of the series. Empty when nothing is left of
// the resource (its only event deleted): the resource is to be deleted. Nothing when the text
// cannot be read.
std::optional<QByteArray> editResource(const QByteArray& data, const std::vector<ItemEdit>& edits);

} // namespace calsync
