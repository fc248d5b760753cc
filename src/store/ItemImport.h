#pragma once
// Adds items brought in from elsewhere (an iCalendar file) to a Schedule file, all in one
// transaction: either every item is added or the file is left as it was. The write lock is taken
// first, so another program writing the file makes the import wait or fail before anything changed.
//
// Every read returns what it found or an error: a read that fails (a lock, a stored value larger
// than a read may make) stops the import instead of passing for a free slot or an unknown key.

#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DayRecords.h"
#include "store/Error.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <array>
#include <utility>
#include <vector>

namespace store {

class ItemImport {
  public:
    ItemImport() = default;
    // Rolls back whatever was not committed.
    ~ItemImport();
    ItemImport(const ItemImport&) = delete;
    ItemImport& operator=(const ItemImport&) = delete;

    // Opens the file for writing, takes its write lock and makes the table of imported keys.
    Error begin(const QString& path);

    // Whether the key of an imported item was remembered by an earlier import.
    Result<bool> knownKey(const QString& key);
    Error rememberKey(const QString& key);

    // The items a date holds now: which slots have a row, and each row's content and time text.
    struct DateItems {
        std::array<bool, kSlotCount> used{};
        std::vector<std::pair<QString, QString>> contentAndTime;
    };
    Result<DateItems> dateItems(const QDate& date);
    // Writes an item into a slot with the save rule of the entry window.
    Error addItem(const QDate& date, int slot, const SlotItem& item);

    // The texts of the ToDo list now, and adding one.
    Result<QSet<QString>> todoTexts();
    Error addTodo(const QString& text);

    Error commit();
    // Undoes everything since begin(); nothing happens when no transaction is open.
    void rollback();

  private:
    DataControl data_;
    WriteTransaction transaction_;
};

} // namespace store
