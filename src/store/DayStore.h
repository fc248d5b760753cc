#pragma once
// The day records of one Schedule file, for a feature that shows or changes the items of dates:
// the month colouring, the day display, the entry window, the alarm check. Each feature holds a
// DayStore of its own, opened by path; the file opens on first use and again by its path when it
// was deleted or replaced meanwhile.

#include "store/ArmedItems.h"
#include "store/Connection.h"
#include "store/DayRecords.h"
#include "store/Error.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace store {

class DayStore {
  public:
    // Reads wait at most `readLockWaitMs` for a file that another program holds locked: readers
    // on the clock tick and in the calendar can show nothing for a moment and try again. Writes
    // always wait the connection's usual time.
    explicit DayStore(const QString& path = QString(), int readLockWaitMs = Connection::kBusyTimeoutMs);
    ~DayStore();
    DayStore(const DayStore&) = delete;
    DayStore& operator=(const DayStore&) = delete;

    // Another path closes the file held so far.
    void setPath(const QString& path);
    const QString& path() const { return path_; }
    // Opens the file when it is not open (or no longer the one at the path) and checks that it is
    // a database.
    Error open();
    bool isOpen() const { return connection_ != nullptr; }
    void close();

    // The rows of the four slots of a date, as stored.
    Error readDay(const QDate& date, DayRecords& records);
    // The four slots of a date as the entry window shows them.
    Error readDay(const QDate& date, std::array<SlotItem, kSlotCount>& items);

    // Saves the slots of a date that a window changed: those whose item in `wanted` differs from
    // `loaded`, what the window read (slot 1 first). Another program may have saved the same date
    // meanwhile, so a changed slot is written only while its stored item is still the loaded one;
    // slots nobody changed here are left alone. When a changed slot's stored item differs, nothing
    // is written, the error is kChangedElsewhere and *conflicts lists those slots: to overwrite them
    // after asking, call again with their stored items as the loaded ones. On success the written
    // slots of `loaded` become what the file now holds. One transaction: one durable commit, and a
    // failure part-way leaves the date as it was. The write lock is taken first, so another
    // program writing the file makes this wait or fail before anything changed.
    Error saveDay(const QDate& date, std::array<SlotItem, kSlotCount>& loaded,
                  const std::array<SlotItem, kSlotCount>& wanted,
                  std::vector<SlotConflict>* conflicts = nullptr);

    // The subset of the given Date strings that carry an item (a row with a non-empty content).
    Result<QStringList> datesWithItems(const QStringList& dateStrings);

    // The armed items of a date, slot 1 first, each from its slot's first row.
    Result<std::vector<ArmedItem>> armedItems(const QDate& date);
    // Writes "False" into the alarm switch of the slot's first row; fails when the slot has no row.
    Error disarm(const QDate& date, int slot);

    // Why the file is open read-only (a Japanese sentence for the user); empty when it is
    // writable or cannot be read now. Opens the file and reads its schema when not done yet,
    // without waiting for another program's lock: the caller may ask again.
    QString readOnlyReason();
    // The same, with an error when it cannot be told now (the file missing, locked or no database).
    Result<QString> readOnlyStatus();

  private:
    class ReadWait;
    Error write(const std::function<Error()>& work);
    Error saveChangedSlots(const QString& key, std::array<SlotItem, kSlotCount>& stored,
                           const std::array<SlotItem, kSlotCount>& loaded,
                           const std::array<SlotItem, kSlotCount>& wanted, std::vector<SlotConflict>* found);

    QString path_;
    int readLockWaitMs_;
    std::unique_ptr<Connection> connection_;
};

} // namespace store
