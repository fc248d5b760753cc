#pragma once
// The data control of a window (`Data1`): a database name, a record source (a table name or an
// SQL text in the dialect of the Schedule file's queries), and the updatable recordset that a refresh opens.
//
// Rows are addressed through SQLite's rowid, which is never shown. The recordset holds only the
// rowids of its rows; field values are fetched from the file when asked, so a recordset over a
// million rows stays small. Rows without a rowid (a view, a table WITHOUT ROWID) are read whole
// at the refresh and cannot be written.
//
// Another program may change the file meanwhile: a row that was read is written or removed only
// while the stored row still holds what was read (else kChangedElsewhere), so an edit never
// lands on a row that another program changed, or deleted and whose rowid went to a new row.

#include "store/Connection.h"
#include "store/Error.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace store {

struct RecordSource;

class DataControl {
  public:
    DataControl() = default;
    ~DataControl();
    DataControl(const DataControl&) = delete;
    DataControl& operator=(const DataControl&) = delete;

    // The file opens on the next refresh; a different name closes the file held so far.
    void setDatabaseName(const QString& path);
    const QString& databaseName() const { return databaseName_; }
    void setRecordSource(const QString& source);
    const QString& recordSource() const { return recordSource_; }

    // Opens the file when needed, then runs the record source: the recordset is positioned on
    // its first row, or has no current row when nothing matches. An empty record source only
    // opens the file (and checks that it is a database). On failure the recordset is empty.
    Error refresh();
    // Opens the file now when it is not open yet; the record source and recordset stay as they
    // are. For queries of its own that do not need a recordset (see datesWithItems()).
    Error openDatabase();
    bool isOpen() const { return connection_ != nullptr; }
    // Releases the file; the recordset is emptied.
    void close();

    // Recordset
    const QStringList& fieldNames() const { return fieldNames_; }
    int recordCount() const { return static_cast<int>(rowids_.size()); }
    int absolutePosition() const { return position_; } // 0-based; -1 when there is no current row
    bool hasCurrentRow() const { return position_ >= 0 && !onDeleted_ && position_ < recordCount(); }
    void moveNext();
    void moveTo(int position);

    // The value of a field of the current row: a null QVariant for a field without value. Fails
    // when there is no current row, no such field, or the row cannot be read.
    Result<QVariant> field(const QString& name) const;
    // A value of any row, for grids. Numbers come back as double, texts as QString. Fails when the
    // row cannot be read (the file is locked, a value is larger than a read may make, the row is
    // no longer in the file): never an empty value in place of one that could not be read.
    Result<QVariant> value(int row, int column) const;
    // Why a row cannot be read; no error when it can.
    Error rowError(int row) const;
    // Whether a field holds numbers (declared REAL): its null reads as a null double.
    bool numericField(int column) const;

    // Editing the current row or a new row: addNew()/edit(), setField() for each field, update().
    Error addNew();
    Error edit();
    Error setField(const QString& name, const QVariant& value);
    // Commits the new or edited row. After a new row the recordset holds it as its last row and
    // the current row is the one that was current before addNew(). A value the engine refuses
    // (too long, zero-length, not a number) fails the whole row: nothing is written and the
    // edit is dropped, so the stored row stays as it was.
    Error update();
    void cancelUpdate();
    bool editing() const { return editMode_ != EditMode::None; }
    // Removes the current row from the file and the recordset; the position stays on the gap,
    // so moveNext() reaches the row that followed.
    Error remove();

    // Grid helpers: write one row's changed fields at once, or append a row (an empty set of
    // values appends nothing). Field names are those of fieldNames().
    Error updateRow(int row, const QHash<QString, QVariant>& values);
    Error appendRow(const QHash<QString, QVariant>& values);

    Connection* connection() const { return connection_.get(); }
    // Whether every write will be refused: the file is open read-only, or the recordset's rows
    // have no address.
    bool readOnly() const;

  private:
    enum class EditMode { None, AddNew, Edit };
    Error ensureOpen();
    QString tableName() const;
    // The values of a row, or null with *error set.
    const std::vector<QVariant>* rowValues(int row, Error* error) const;
    void clearRecordset();
    int fieldIndex(const QString& name) const;
    Error fieldError(const QString& name) const;
    Error checkIsDatabase();
    // Reads every row of a record source whose rows have no address, up to about this many bytes.
    static constexpr qint64 kMaxHeldBytes = qint64(128) << 20;
    Error readAllRows(const RecordSource& source);
    // Runs the rowid query of the record source; the first row's values are read with it.
    Error readRowids(const RecordSource& source, Statement* values, const std::vector<bool>& numeric,
                     std::vector<qint64>* rowids, std::vector<QVariant>* firstRow);
    // UPDATE of the named fields of one row by its address, or INSERT of a row with them.
    QString writeStatement(bool update, const QStringList& names) const;
    // INSERT (rowid < 0) or UPDATE of one row from field values; *insertedRowid gets the new rowid.
    Error writeRow(qint64 rowid, const QHash<QString, QVariant>& values, qint64* insertedRowid);
    Error writable();
    // The record source's values of a stored row; nothing when the row is gone.
    std::optional<std::vector<QVariant>> storedRow(qint64 rowid, Error* error) const;
    // Runs `write` on a row only while the stored row can be read and is still the one read.
    Error writeChecked(qint64 rowid, const std::function<Error()>& write);

    QString databaseName_;
    QString recordSource_;
    std::unique_ptr<Connection> connection_;

    QString table_;
    QString valueQuery_; // the record source's columns of one row, by rowid
    QStringList fieldNames_;
    std::vector<bool> numericField_; // declared REAL: a null reads as a null double
    QString rowidName_;
    std::vector<qint64> rowids_;                     // for held rows: their positions
    std::vector<std::vector<QVariant>> heldRows_;    // the rows of a recordset without addresses
    mutable QHash<qint64, size_t> readFingerprints_; // rowid -> the row's values as first read
    int position_ = -1;
    bool onDeleted_ = false;

    EditMode editMode_ = EditMode::None;
    QHash<QString, QVariant> pending_;

    mutable int cachedRow_ = -1;
    mutable std::vector<QVariant> cachedValues_;
    // Row reads are given up without waiting until then, after one found the file locked.
    static constexpr std::chrono::milliseconds kLockedReadPause{1000};
    mutable std::chrono::steady_clock::time_point lockedUntil_{};
    mutable Error lockedError_;
};

} // namespace store
