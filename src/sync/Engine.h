#pragma once
// One two-way sync of a Schedule file with a calendar collection: the file's Day records (and its
// ToDo list, when the collection takes VTODOs) against the collection's events, with the pairing
// and the state of the last sync kept in the Schedule file. Nothing is lost: an item changed on
// both sides is kept in both versions, a server event the file cannot hold stays on the server
// and is reported.

#include "exchange/IcalReader.h"
#include "sync/Server.h"

#include <QDate>
#include <QString>

#include <functional>
#include <vector>

namespace calsync {

struct SyncOptions {
    // Occurrences of recurring server events within this range become items.
    exchange::DateRange range;
    // Go on with a sync that deletes more than the threshold (on either side more than 50 items,
    // or more than 10 that are more than a quarter of that side); without it such a sync stops
    // before deleting anything.
    bool allowMassDelete = false;
};

// The default range of recurring events: one year back, two years ahead of `today`.
exchange::DateRange defaultSyncRange(const QDate& today);

// An item the report names: a conflict (both texts) or a server event not shown (its reason).
struct ReportLine {
    QDate date;
    QString text;  // the server's summary, or the item's content
    QString other; // a conflict's local text; a not-shown event's reason
};

struct SyncReport {
    int sent = 0;         // items written to the server (added or changed)
    int received = 0;     // items written to the file from the server
    int deletedHere = 0;  // items deleted from the file because the server deleted them
    int deletedThere = 0; // resources deleted on the server because the file deleted them
    std::vector<ReportLine> conflicts;
    std::vector<ReportLine> notShown;
    bool massDeleteStopped = false; // stopped before deleting anything; nothing was deleted
    QString failure;                // empty on success; a Japanese sentence, then the detail
    bool ok() const { return failure.isEmpty() && !massDeleteStopped; }
};

// The name the Schedule file keeps for a collection: a hash of its identity, never the address.
QString collectionHash(const QString& collection);

// Syncs the file at `schedulePath` with the collection that `server` speaks to. `collection`
// identifies that collection (its URL); the file's pairing belongs to it, so the same file synced
// with another collection starts afresh instead of taking every item for deleted.
SyncReport runSync(const QString& schedulePath, const QString& collection, Server& server,
                   const SyncOptions& options);
// A new resource gets the UID "<uuid>@daduvov" and the address "<uuid>.ics" within the collection.
// The overload makes the UIDs with `newUid` instead (the address is the UID and ".ics"), for runs
// that must repeat themselves.
SyncReport runSync(const QString& schedulePath, const QString& collection, Server& server,
                   const SyncOptions& options, const std::function<QString()>& newUid);

} // namespace calsync
