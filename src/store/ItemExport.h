#pragma once
// Reads the Day records and the ToDo list of a Schedule file for an export, row by row in the
// order the tables hold them, with the number of rows ahead for a progress. The values come as
// stored: the export decides what to make of a date it cannot read.
//
// Every read returns an error when it fails: a read that stops halfway never passes for the end
// of the table.

#include "store/DataControl.h"
#include "store/Error.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace store {

// One row of 予定表 as stored. The texts are the stored bytes (UTF-8), empty for a null.
struct ExportedDay {
    QByteArray date;
    int slot = 0;  // 1..4 when stored as such a whole number, else 0
    int level = 0; // 1..5 when stored as such a whole number, else 0
    QByteArray content;
    bool alarm = false; // the alarm switch is on
    QByteArray time;
};

class ItemExport {
  public:
    // Opens the file for reading and gives the number of rows of both tables. The reads that
    // follow run without the limit of a single query: the export shows its own progress, which
    // can cancel.
    Result<qint64> open(const QString& path);

    // Hands every row of 予定表, then every entry of ToDoリスト, to `row` in table order (by the
    // rows' address, or as they come when they have none); `row` returning false stops the
    // read there without an error.
    Error forEachDay(const std::function<bool(const ExportedDay&)>& row);
    Error forEachTodo(const std::function<bool(const QByteArray& text)>& row);

  private:
    DataControl data_;
};

} // namespace store
