#include "store/DataControl.h"
#include "store/ScheduleFile.h"

#include "store/RecordSourceTranslator.h"

#include <sqlite3.h>

#include <QSet>

#include <algorithm>
#include <chrono>
#include <functional>
#include <numeric>

namespace store {

namespace {

// The values of the current result row; numbers as double, a null of a REAL column as a null double.
std::vector<QVariant> readColumns(sqlite3_stmt* stmt, const std::vector<bool>& numericField) {
    const int columns = sqlite3_column_count(stmt);
    std::vector<QVariant> values;
    values.reserve(static_cast<size_t>(columns));
    for (int i = 0; i < columns; ++i)
        values.push_back(columnValue(
            stmt, i, static_cast<size_t>(i) < numericField.size() && numericField[static_cast<size_t>(i)]));
    return values;
}

// The names of a statement's result columns, and which of them are declared REAL.
void resultColumns(sqlite3_stmt* stmt, QStringList* names, std::vector<bool>* numeric) {
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        *names << QString::fromUtf8(sqlite3_column_name(stmt, i));
        const char* declared = sqlite3_column_decltype(stmt, i);
        numeric->push_back(declared && qstricmp(declared, "REAL") == 0);
    }
}

// A record source's statement over its rows, with the source's parameters bound.
Statement* prepareRows(Connection& connection, const QString& sql, const RecordSource& source, Error* error) {
    Statement* rows = connection.prepare(sql, error);
    for (size_t i = 0; rows && i < source.args.size(); ++i)
        rows->bind(static_cast<int>(i) + 1, source.args[i]);
    return rows;
}

Error noCurrentRecord() {
    return {SQLITE_ERROR, QStringLiteral("no current record")};
}

Error recordGone() {
    return {SQLITE_ERROR, kRecordGoneText};
}

// What a row held when it was read, to tell later whether the stored row is still that one.
size_t fingerprint(const std::vector<QVariant>& values) {
    QByteArray bytes;
    for (const QVariant& value : values) {
        bytes += QByteArray::number(value.isNull() ? -1 : value.typeId()) + ':';
        const QByteArray data = value.typeId() == QMetaType::QByteArray ? value.toByteArray()
                                : value.typeId() == QMetaType::Double
                                    ? QByteArray::number(value.toDouble(), 'g', 17)
                                    : value.toString().toUtf8();
        bytes += QByteArray::number(data.size()) + ':' + data;
    }
    return qHash(bytes);
}

} // namespace

DataControl::~DataControl() = default;

void DataControl::setDatabaseName(const QString& path) {
    if (path != databaseName_)
        close();
    databaseName_ = path;
}

void DataControl::setRecordSource(const QString& source) {
    recordSource_ = source;
}

Error DataControl::ensureOpen() {
    if (connection_ && !connection_->fileStillAtPath())
        clearRecordset();
    return keepOpen(connection_, databaseName_);
}

Error DataControl::openDatabase() {
    return ensureOpen();
}

void DataControl::clearRecordset() {
    table_.clear();
    valueQuery_.clear();
    fieldNames_.clear();
    numericField_.clear();
    rowids_.clear();
    heldRows_.clear();
    readFingerprints_.clear();
    rowidName_.clear();
    position_ = -1;
    onDeleted_ = false;
    cachedRow_ = -1;
    cachedValues_.clear();
}

Error DataControl::checkIsDatabase() {
    // Reading the schema fails on anything that is not a database.
    Error error;
    Statement* statement = connection_->prepare(QStringLiteral("SELECT count(*) FROM sqlite_master"), &error);
    if (statement) {
        const int rc = sqlite3_step(statement->get());
        if (rc != SQLITE_ROW)
            error = connection_->lastError();
        statement->reset();
    }
    if (error.failed())
        close();
    return error;
}

Error DataControl::refresh() {
    cancelUpdate();
    clearRecordset();
    Error error = ensureOpen();
    if (error.failed())
        return error;
    if (recordSource_.trimmed().isEmpty())
        return checkIsDatabase();

    RecordSource source;
    QString rowidName;
    const auto address = [&](const QString& table, QString* name) {
        const Error failure = connection_->rowAddress(table, name);
        rowidName = *name;
        return failure;
    };
    error = translateRecordSource(recordSource_, address, &source);
    if (error.failed())
        return error;
    if (!source.allRowsQuery.isEmpty())
        return readAllRows(source);

    Statement* values = connection_->prepare(source.valueQuery, &error);
    if (!values)
        return error;
    QStringList names;
    std::vector<bool> numeric;
    resultColumns(values->get(), &names, &numeric);
    std::vector<qint64> rowids;
    std::vector<QVariant> firstRow;
    if ((error = readRowids(source, values, numeric, &rowids, &firstRow)).failed())
        return error;

    table_ = source.table;
    rowidName_ = rowidName;
    valueQuery_ = source.valueQuery;
    fieldNames_ = names;
    numericField_ = std::move(numeric);
    rowids_ = std::move(rowids);
    position_ = rowids_.empty() ? -1 : 0;
    if (!firstRow.empty()) {
        readFingerprints_.insert(rowids_.front(), fingerprint(firstRow));
        cachedRow_ = 0;
        cachedValues_ = std::move(firstRow);
    }
    return {};
}

Error DataControl::readAllRows(const RecordSource& source) {
    Error error;
    Statement* rows = prepareRows(*connection_, source.allRowsQuery, source, &error);
    if (!rows)
        return error;
    sqlite3_stmt* stmt = rows->get();
    QStringList names;
    std::vector<bool> numeric;
    resultColumns(stmt, &names, &numeric);
    std::vector<std::vector<QVariant>> held;
    // Rows without an address are held whole: a view can give far more than fits in memory in
    // the time a statement may work.
    qint64 heldBytes = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW && heldBytes <= kMaxHeldBytes) {
        held.push_back(readColumns(stmt, numeric));
        for (const QVariant& value : held.back())
            heldBytes += qint64(sizeof(QVariant)) +
                         (value.typeId() == QMetaType::QString      ? value.toString().size() * 2
                          : value.typeId() == QMetaType::QByteArray ? value.toByteArray().size()
                                                                    : 0);
    }
    if (rc == SQLITE_ROW)
        error = {SQLITE_TOOBIG, QStringLiteral("more rows than can be held: ") + source.table};
    else if (rc != SQLITE_DONE)
        error = connection_->lastError();
    rows->reset();
    if (error.failed())
        return error;

    table_ = source.table;
    fieldNames_ = names;
    numericField_ = std::move(numeric);
    heldRows_ = std::move(held);
    rowids_.resize(heldRows_.size());
    std::iota(rowids_.begin(), rowids_.end(), 0);
    position_ = rowids_.empty() ? -1 : 0;
    return {};
}

Error DataControl::readRowids(const RecordSource& source, Statement* values, const std::vector<bool>& numeric,
                              std::vector<qint64>* rowids, std::vector<QVariant>* firstRow) {
    Error error;
    Statement* rows = prepareRows(*connection_, source.rowidQuery, source, &error);
    if (!rows)
        return error;
    int rc;
    while ((rc = sqlite3_step(rows->get())) == SQLITE_ROW) {
        rowids->push_back(sqlite3_column_int64(rows->get(), 0));
        // The first row's values are read inside the same read transaction: most refreshes are
        // followed by reading the fields of the current row.
        if (rowids->size() == 1) {
            sqlite3_stmt* stmt = values->get();
            sqlite3_bind_int64(stmt, 1, rowids->front());
            if (sqlite3_step(stmt) == SQLITE_ROW)
                *firstRow = readColumns(stmt, numeric);
            values->reset();
        }
    }
    if (rc != SQLITE_DONE)
        error = connection_->lastError();
    rows->reset();
    return error;
}

void DataControl::close() {
    cancelUpdate();
    clearRecordset();
    connection_.reset();
}

void DataControl::moveNext() {
    cancelUpdate();
    if (position_ < 0)
        return;
    if (onDeleted_)
        onDeleted_ = false; // the row that followed the deleted one has moved into its place
    else
        ++position_;
    if (position_ >= recordCount())
        position_ = -1;
}

void DataControl::moveTo(int position) {
    cancelUpdate();
    onDeleted_ = false;
    position_ = position >= 0 && position < recordCount() ? position : -1;
}

QString DataControl::tableName() const {
    return table_;
}

int DataControl::fieldIndex(const QString& name) const {
    for (int i = 0; i < fieldNames_.size(); ++i) {
        if (fieldNames_[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

Error DataControl::fieldError(const QString& name) const {
    return {SQLITE_ERROR, QStringLiteral("no such column: ") + name};
}

const std::vector<QVariant>* DataControl::rowValues(int row, Error* error) const {
    *error = {};
    if (row == cachedRow_)
        return &cachedValues_;
    cachedRow_ = -1;
    cachedValues_.clear();
    if (!connection_ || row < 0 || row >= recordCount()) {
        *error = noCurrentRecord();
        return nullptr;
    }
    if (!heldRows_.empty())
        return &heldRows_[static_cast<size_t>(row)];
    // A read that found the file locked by another program has already waited the busy timeout;
    // the rows read right after it (a grid paints many at once) fail at once with the same error,
    // so that one repaint waits once instead of once per row.
    if (std::chrono::steady_clock::now() < lockedUntil_) {
        *error = lockedError_;
        return nullptr;
    }
    Statement* statement = connection_->prepare(valueQuery_, error);
    if (!statement)
        return nullptr;
    sqlite3_stmt* stmt = statement->get();
    const qint64 rowid = rowids_[static_cast<size_t>(row)];
    sqlite3_bind_int64(stmt, 1, rowid);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        cachedValues_ = readColumns(stmt, numericField_);
        cachedRow_ = row;
        // The first reading counts: an edit is based on what was shown before the row changed.
        if (!readFingerprints_.contains(rowid))
            readFingerprints_.insert(rowid, fingerprint(cachedValues_));
    } else if (rc == SQLITE_DONE) {
        *error = recordGone();
    } else {
        *error = connection_->lastError();
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            lockedUntil_ = std::chrono::steady_clock::now() + kLockedReadPause;
            lockedError_ = *error;
        }
    }
    statement->reset();
    return error->failed() ? nullptr : &cachedValues_;
}

Error DataControl::rowError(int row) const {
    Error error;
    rowValues(row, &error);
    return error;
}

bool DataControl::numericField(int column) const {
    return column >= 0 && static_cast<size_t>(column) < numericField_.size() &&
           numericField_[static_cast<size_t>(column)];
}

Result<QVariant> DataControl::field(const QString& name) const {
    const int index = fieldIndex(name);
    if (index < 0)
        return fieldError(name);
    const QString& canonical = fieldNames_[index];
    if (editMode_ != EditMode::None && pending_.contains(canonical))
        return pending_.value(canonical);
    if (editMode_ == EditMode::AddNew)
        return numericField_[static_cast<size_t>(index)] ? QVariant(QMetaType::fromType<double>())
                                                         : QVariant(QMetaType::fromType<QString>());
    if (!hasCurrentRow())
        return noCurrentRecord();
    return value(position_, index);
}

Result<QVariant> DataControl::value(int row, int column) const {
    Error error;
    const std::vector<QVariant>* values = rowValues(row, &error);
    if (!values)
        return error;
    if (column < 0 || static_cast<size_t>(column) >= values->size())
        return Error{SQLITE_RANGE, QStringLiteral("no such column: %1").arg(column)};
    return (*values)[static_cast<size_t>(column)];
}

Error DataControl::addNew() {
    if (table_.isEmpty())
        return {SQLITE_ERROR, QStringLiteral("no recordset is open")};
    cancelUpdate();
    editMode_ = EditMode::AddNew;
    return {};
}

Error DataControl::edit() {
    if (!hasCurrentRow())
        return noCurrentRecord();
    cancelUpdate();
    editMode_ = EditMode::Edit;
    return {};
}

Error DataControl::setField(const QString& name, const QVariant& value) {
    if (editMode_ == EditMode::None)
        return {SQLITE_ERROR, QStringLiteral("the record is not being edited")};
    const int index = fieldIndex(name);
    if (index < 0)
        return fieldError(name);
    pending_.insert(fieldNames_[index], value);
    return {};
}

Error DataControl::writable() {
    if (!connection_ || table_.isEmpty())
        return {SQLITE_ERROR, QStringLiteral("no recordset is open")};
    if (Error error = connection_->writable(); error.failed())
        return error;
    if (rowidName_.isEmpty())
        return {SQLITE_READONLY,
                QStringLiteral("the rows of %1 have no address to write them by").arg(table_)};
    return {};
}

bool DataControl::readOnly() const {
    return connection_ &&
           (!connection_->readOnlyReason().isEmpty() || (!table_.isEmpty() && rowidName_.isEmpty()));
}

std::optional<std::vector<QVariant>> DataControl::storedRow(qint64 rowid, Error* error) const {
    *error = {};
    Statement* statement = connection_->prepare(valueQuery_, error);
    if (!statement)
        return std::nullopt;
    sqlite3_bind_int64(statement->get(), 1, rowid);
    std::optional<std::vector<QVariant>> values;
    const int rc = sqlite3_step(statement->get());
    if (rc == SQLITE_ROW)
        values = readColumns(statement->get(), numericField_);
    else if (rc != SQLITE_DONE)
        *error = connection_->lastError();
    statement->reset();
    return values;
}

Error DataControl::writeChecked(qint64 rowid, const std::function<Error()>& write) {
    const auto known = readFingerprints_.constFind(rowid);
    // The check and the write are one transaction, the caller's when it holds one.
    const bool ownTransaction = sqlite3_get_autocommit(connection_->handle()) != 0;
    if (ownTransaction) {
        if (Error error = connection_->exec(QStringLiteral("BEGIN IMMEDIATE")); error.failed())
            return error;
    }
    // A row that cannot be read (a value larger than a read may make) is never written blind:
    // the write would replace what nobody was shown.
    Error error;
    const std::optional<std::vector<QVariant>> stored = storedRow(rowid, &error);
    if (error.ok() && !stored)
        error = connection_->recheckSchema(recordGone());
    else if (error.ok() && known != readFingerprints_.constEnd() && fingerprint(*stored) != known.value())
        error = {kChangedElsewhere, QString()};
    if (error.ok())
        error = write();
    if (error.ok()) {
        // What is stored now is what this program knows the row to hold.
        const std::optional<std::vector<QVariant>> written = storedRow(rowid, &error);
        if (written)
            readFingerprints_.insert(rowid, fingerprint(*written));
        else
            readFingerprints_.remove(rowid);
        error = {};
    }
    if (ownTransaction) {
        if (error.ok())
            error = connection_->exec(QStringLiteral("COMMIT"));
        if (error.failed())
            connection_->rollback();
    }
    return error;
}

QString DataControl::writeStatement(bool update, const QStringList& names) const {
    QStringList quoted;
    for (const QString& name : names)
        quoted << quoteName(name);
    if (update)
        return QStringLiteral("UPDATE %1 SET %2=? WHERE %3=?")
            .arg(quoteName(table_), quoted.join(QStringLiteral("=?, ")), rowidName_);
    if (names.isEmpty())
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteName(table_));
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(quoteName(table_), quoted.join(QStringLiteral(", ")),
             QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
}

Error DataControl::writeRow(qint64 rowid, const QHash<QString, QVariant>& values, qint64* insertedRowid) {
    if (Error error = writable(); error.failed())
        return error;
    // Fields in recordset order, so that the same set of fields gives the same cached statement.
    QHash<QString, QVariant> byField;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        const int index = fieldIndex(it.key());
        if (index < 0)
            return fieldError(it.key());
        byField.insert(fieldNames_[index], it.value());
    }
    QStringList names;
    std::vector<QVariant> bound;
    for (const QString& field : fieldNames_) {
        const auto it = byField.constFind(field);
        if (it != byField.constEnd() && !names.contains(field)) {
            names << field;
            bound.push_back(it.value());
        }
    }

    if (rowid >= 0 && names.isEmpty())
        return {};
    const QString sql = writeStatement(rowid >= 0, names);

    const auto write = [&]() -> Error {
        Error error;
        Statement* statement = connection_->prepare(sql, &error);
        if (!statement)
            return error;
        int index = 1;
        for (const QVariant& value : bound)
            statement->bind(index++, value);
        if (rowid >= 0)
            sqlite3_bind_int64(statement->get(), index, rowid);
        if (sqlite3_step(statement->get()) != SQLITE_DONE)
            error = connection_->writeError();
        else if (sqlite3_changes(connection_->handle()) == 0)
            error = connection_->recheckSchema(
                rowid >= 0 ? recordGone()
                           : Error{SQLITE_ERROR, QStringLiteral("the new record was not written")});
        else if (insertedRowid)
            *insertedRowid = sqlite3_last_insert_rowid(connection_->handle());
        statement->reset();
        return error;
    };
    const Error error = rowid >= 0 ? writeChecked(rowid, write) : write();
    cachedRow_ = -1;
    return error;
}

Error DataControl::update() {
    if (editMode_ == EditMode::None)
        return {SQLITE_ERROR, QStringLiteral("the record is not being edited")};
    const EditMode mode = editMode_;
    const QHash<QString, QVariant> values = pending_;
    cancelUpdate();
    if (mode == EditMode::AddNew) {
        qint64 rowid = -1;
        const Error error = writeRow(-1, values, &rowid);
        if (error.ok())
            rowids_.push_back(rowid);
        return error;
    }
    if (!hasCurrentRow())
        return noCurrentRecord();
    return writeRow(rowids_[static_cast<size_t>(position_)], values, nullptr);
}

void DataControl::cancelUpdate() {
    editMode_ = EditMode::None;
    pending_.clear();
}

Error DataControl::remove() {
    cancelUpdate();
    if (!hasCurrentRow())
        return noCurrentRecord();
    if (Error error = writable(); error.failed())
        return error;
    const qint64 rowid = rowids_[static_cast<size_t>(position_)];
    const Error error = writeChecked(rowid, [&]() -> Error {
        Error failure;
        Statement* statement = connection_->prepare(
            QStringLiteral("DELETE FROM %1 WHERE %2=?").arg(quoteName(table_), rowidName_), &failure);
        if (!statement)
            return failure;
        sqlite3_bind_int64(statement->get(), 1, rowid);
        if (sqlite3_step(statement->get()) != SQLITE_DONE)
            failure = connection_->writeError();
        else if (sqlite3_changes(connection_->handle()) == 0)
            failure = connection_->recheckSchema(recordGone());
        statement->reset();
        return failure;
    });
    if (error.failed())
        return error;
    readFingerprints_.remove(rowid);
    rowids_.erase(rowids_.begin() + position_);
    onDeleted_ = true;
    cachedRow_ = -1;
    cachedValues_.clear();
    return {};
}

Error DataControl::updateRow(int row, const QHash<QString, QVariant>& values) {
    if (row < 0 || row >= recordCount())
        return noCurrentRecord();
    if (row == position_)
        cancelUpdate();
    return writeRow(rowids_[static_cast<size_t>(row)], values, nullptr);
}

Error DataControl::appendRow(const QHash<QString, QVariant>& values) {
    if (values.isEmpty())
        return {};
    qint64 rowid = -1;
    const Error error = writeRow(-1, values, &rowid);
    if (error.ok())
        rowids_.push_back(rowid);
    return error;
}

} // namespace store
