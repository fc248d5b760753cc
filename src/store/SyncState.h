#pragma once
// What the two-way sync keeps in the Schedule file: the resources of the collection as last seen
// (address, UID, ETag, iCalendar text), which Day record each of their items is paired with and
// the item's value at the last sync, and the collection's sync token. It belongs to one
// collection, named by a hash of its identity (never its address): the same file synced with
// another collection starts afresh.
//
// Every change is a short transaction of the caller's (begin/commit), so another program writing
// the file meanwhile waits only a moment; a slot is written only while it still holds what the
// caller read (kChangedElsewhere otherwise).

#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DayRecords.h"
#include "store/Error.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace store {

// A Day record with content, as stored now.
struct DatedItem {
    QDate date;
    int slot = 0;
    SlotItem item;
};

// A resource of the collection as last seen. A pending one was recorded before the request that
// creates it: the next listing tells whether that request reached the server.
struct SyncedResource {
    QString href;
    QString uid;
    QString etag;
    QByteArray data;
    bool pending = false;
};

// A Day record paired with an item of a resource (an occurrence of a recurring one, or the
// resource's only event when `occurrence` is empty), and the item as both sides held it at the
// last sync.
struct SyncedItem {
    QString href;
    QString occurrence;
    QDate date;
    int slot = 0;
    SlotItem value;
};

class SyncState {
  public:
    SyncState() = default;
    ~SyncState();
    SyncState(const SyncState&) = delete;
    SyncState& operator=(const SyncState&) = delete;

    // Opens the file for writing and makes the sync's tables when missing. A file whose pairing
    // belongs to another collection than `collectionHash` forgets it, token included.
    Error open(const QString& path, const QString& collectionHash);

    // A short write transaction (the write lock first); rollback() undoes an open one.
    Error begin();
    Error commit();
    void rollback();

    Result<QString> token();
    Error setToken(const QString& token);

    Result<std::vector<SyncedResource>> resources();
    // Adds or replaces a resource by its address.
    Error putResource(const SyncedResource& resource);
    // Forgets a resource; its paired items stay until removeItem() (the pairing tells that the
    // server deleted them).
    Error removeResource(const QString& href);

    Result<std::vector<SyncedItem>> items();
    // Adds or replaces the pairing of a resource's item (by address and occurrence); a pairing
    // that held the same slot is replaced too.
    Error putItem(const SyncedItem& item);
    Error removeItem(const QString& href, const QString& occurrence);

    // The pairing of ToDo entries with VTODO resources: address -> the entry's text at the last
    // sync.
    Result<QHash<QString, QString>> todoPairs();
    Error putTodoPair(const QString& href, const QString& text);
    Error removeTodoPair(const QString& href);
    // The texts of the ToDo list now, in table order.
    Result<QStringList> todos();
    Error addTodo(const QString& text);
    // Changes or removes (an empty `now`) one entry that holds `was`; *found tells whether there
    // was one (another program may have changed it since it was read).
    Error changeTodo(const QString& was, const QString& now, bool* found);

    // The Day records with content, each slot's first row, those whose date string is written
    // as this program writes it.
    Result<std::vector<DatedItem>> dayItems();
    // The four slots of a date now.
    Result<std::array<SlotItem, kSlotCount>> readDate(const QDate& date);
    // Writes one slot with the save rule of the entry window (an empty content deletes it).
    Error saveSlot(const QDate& date, int slot, const SlotItem& item);

  private:
    DataControl data_;
    WriteTransaction transaction_;
};

} // namespace store
