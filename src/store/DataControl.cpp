#include "store/DataControl.h"
#include "store/ScheduleFile.h"

#include "store/Collation.h"

#include <sqlite3.h>

#include <QSet>

#include <algorithm>
#include <chrono>
#include <functional>

namespace store {

namespace {

// The record source is either a table name or one SELECT over one table in the old dialect. It
// stays as the caller wrote it; at the boundary it becomes two statements:
//   rowids: SELECT rowid FROM <table and the rest of the query>, ordered as the old engine
//           returned rows: table order, or the query's ORDER BY with table order among ties;
//   values: SELECT <the query's columns> FROM <table> WHERE rowid=?, for one row at a time.
// The row's address is called rowid, _rowid_ or oid, whichever the table has not taken as the
// name of a column of its own.

struct SqlToken {
    enum Type { Word, Quoted, String, Punct } type;
    qsizetype begin;
    qsizetype end;
    int depth; // parenthesis depth at the token
};

bool isWordChar(QChar c) {
    return c.unicode() >= 0x80 || c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Splits SQL text into words, quoted names, string literals and single punctuation characters,
// skipping blanks and comments, as far as needed to find the clauses at the top level.
std::vector<SqlToken> tokenize(const QString& sql) {
    std::vector<SqlToken> tokens;
    const qsizetype n = sql.size();
    int depth = 0;
    qsizetype i = 0;
    auto quoted = [&](qsizetype start, QChar close, bool doubled) {
        qsizetype j = start + 1;
        while (j < n) {
            if (sql[j] == close) {
                if (doubled && j + 1 < n && sql[j + 1] == close) {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    };
    while (i < n) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            while (i < n && sql[i] != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            const qsizetype close = sql.indexOf(QLatin1String("*/"), i + 2);
            i = close < 0 ? n : close + 2;
        } else if (c == QLatin1Char('\'')) {
            const qsizetype end = quoted(i, c, true);
            tokens.push_back({SqlToken::String, i, end, depth});
            i = end;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            const qsizetype end = quoted(i, close, c != QLatin1Char('['));
            tokens.push_back({SqlToken::Quoted, i, end, depth});
            i = end;
        } else if (isWordChar(c)) {
            qsizetype j = i + 1;
            while (j < n && isWordChar(sql[j]))
                ++j;
            tokens.push_back({SqlToken::Word, i, j, depth});
            i = j;
        } else {
            if (c == QLatin1Char(')'))
                --depth;
            tokens.push_back({SqlToken::Punct, i, i + 1, depth});
            if (c == QLatin1Char('('))
                ++depth;
            ++i;
        }
    }
    return tokens;
}

QString quoteName(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString unquoteName(QStringView text) {
    if (text.size() >= 2) {
        const QChar open = text.front();
        if (open == QLatin1Char('[') && text.back() == QLatin1Char(']'))
            return text.mid(1, text.size() - 2).toString();
        if ((open == QLatin1Char('"') || open == QLatin1Char('`')) && text.back() == open) {
            QString name = text.mid(1, text.size() - 2).toString();
            name.replace(QString(2, open), QString(open));
            return name;
        }
    }
    return text.toString();
}

struct RecordSource {
    QString table;              // the table's name, unquoted
    QString rowidQuery;         // rowids of the recordset in order
    std::vector<QVariant> args; // the rowid query's parameters
    QString valueQuery;         // the recordset's columns of one row, by rowid
};

Error unsupported(const QString& why) {
    return {SQLITE_ERROR, why};
}

// The name under which the rows of a table are addressed, given the table's name.
using RowAddress = std::function<Error(const QString& table, QString* name)>;

Error translate(const QString& source, const RowAddress& rowAddress, RecordSource* out) {
    const std::vector<SqlToken> tokens = tokenize(source);
    auto text = [&](const SqlToken& t) { return QStringView(source).mid(t.begin, t.end - t.begin); };
    auto is = [&](size_t i, const char* keyword) {
        return i < tokens.size() && tokens[i].type == SqlToken::Word && tokens[i].depth == 0 &&
               text(tokens[i]).compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
    };
    auto isPunct = [&](size_t i, char c) {
        return i < tokens.size() && tokens[i].type == SqlToken::Punct && tokens[i].depth == 0 &&
               source[tokens[i].begin] == QLatin1Char(c);
    };

    // Statement end: the first ';' at the top level; nothing but more ';' may follow.
    size_t end = tokens.size();
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (isPunct(i, ';')) {
            end = i;
            break;
        }
    }
    for (size_t i = end; i < tokens.size(); ++i) {
        if (!isPunct(i, ';'))
            return unsupported(QStringLiteral("only one statement is allowed: ") + source);
    }
    if (end == 0)
        return unsupported(QStringLiteral("empty record source"));
    const qsizetype bodyEnd = end < tokens.size() ? tokens[end].begin : source.size();

    if (!is(0, "SELECT")) {
        // A table name.
        if (end != 1 || (tokens[0].type != SqlToken::Word && tokens[0].type != SqlToken::Quoted))
            return unsupported(QStringLiteral("not a table name or a query: ") + source);
        out->table = unquoteName(text(tokens[0]));
        const QString table = quoteName(out->table);
        QString rowid;
        if (Error error = rowAddress(out->table, &rowid))
            return error;
        out->rowidQuery = QStringLiteral("SELECT %2 FROM %1 ORDER BY %2").arg(table, rowid);
        out->valueQuery = QStringLiteral("SELECT * FROM %1 WHERE %2=?").arg(table, rowid);
        return {};
    }

    if (is(1, "DISTINCT"))
        return unsupported(QStringLiteral("a recordset of DISTINCT rows cannot be updated: ") + source);
    size_t from = 1;
    while (from < end && !is(from, "FROM"))
        ++from;
    const size_t tableAt = from + 1;
    if (tableAt >= end ||
        (tokens[tableAt].type != SqlToken::Word && tokens[tableAt].type != SqlToken::Quoted))
        return unsupported(QStringLiteral("no table after FROM: ") + source);
    out->table = unquoteName(text(tokens[tableAt]));
    QString rowid;
    if (Error error = rowAddress(out->table, &rowid))
        return error;

    // An alias may follow the table; a second table, a join, a grouping or a compound does not
    // give rows that can be updated one by one.
    static const char* const clauses[] = {"WHERE", "ORDER",     "LIMIT",   "GROUP", "HAVING",  "WINDOW",
                                          "UNION", "INTERSECT", "EXCEPT",  "JOIN",  "NATURAL", "LEFT",
                                          "INNER", "CROSS",     "INDEXED", "NOT"};
    auto isClause = [&](size_t i) {
        for (const char* clause : clauses) {
            if (is(i, clause))
                return true;
        }
        return false;
    };
    size_t headEnd = tableAt + 1;
    if (is(headEnd, "AS"))
        headEnd += 2;
    else if (headEnd < end && tokens[headEnd].type != SqlToken::Punct && !isClause(headEnd))
        headEnd += 1;
    if (headEnd > end)
        return unsupported(QStringLiteral("no alias after AS: ") + source);
    size_t orderAt = end;
    size_t limitAt = end;
    for (size_t i = headEnd; i < end; ++i) {
        if (isPunct(i, ',') && i == headEnd)
            return unsupported(QStringLiteral("a recordset over several tables cannot be updated: ") +
                               source);
        for (const char* word : {"GROUP", "HAVING", "WINDOW", "UNION", "INTERSECT", "EXCEPT", "JOIN"}) {
            if (is(i, word))
                return unsupported(QStringLiteral("this query gives rows that cannot be updated: ") + source);
        }
        if (orderAt == end && is(i, "ORDER") && is(i + 1, "BY"))
            orderAt = i;
        if (limitAt == end && is(i, "LIMIT"))
            limitAt = i;
    }

    const QString selectList = source.mid(tokens[0].end, tokens[from].begin - tokens[0].end).trimmed();
    const qsizetype tableBegin = tokens[tableAt].begin;
    const QString head = source.mid(tableBegin, tokens[headEnd - 1].end - tableBegin);
    const qsizetype limitBegin = limitAt < end ? tokens[limitAt].begin : bodyEnd;
    // The literals of the conditions become parameters, so that the Slot and Date queries of
    // every date share one prepared statement. A bound value has no affinity, exactly like the
    // literal it replaces. Numbers next to a '.' (1.5), numbers inside parentheses (a subquery's
    // ORDER BY 1 names a column), blob literals (x'..') and anything in the query's own ORDER BY or
    // LIMIT stay as written.
    QString core;
    qsizetype copied = tableBegin;
    const size_t conditionsEnd = std::min(orderAt, limitAt);
    for (size_t i = headEnd; i < conditionsEnd; ++i) {
        const SqlToken& t = tokens[i];
        const bool touchesPrevious =
            t.begin > 0 && (source[t.begin - 1] == QLatin1Char('.') ||
                            (i > 0 && tokens[i - 1].end == t.begin && tokens[i - 1].type == SqlToken::Word));
        const bool touchesNext = t.end < source.size() && source[t.end] == QLatin1Char('.');
        QVariant value;
        if (t.type == SqlToken::String && !touchesPrevious && t.end - t.begin >= 2 &&
            source[t.end - 1] == QLatin1Char('\'')) {
            QString text = source.mid(t.begin + 1, t.end - t.begin - 2);
            text.replace(QLatin1String("''"), QLatin1String("'"));
            value = text;
        } else if (t.type == SqlToken::Word && t.depth == 0 && !touchesPrevious && !touchesNext &&
                   t.end - t.begin <= 18) {
            bool ok = false;
            const qint64 number = text(t).toLongLong(&ok);
            bool digitsOnly = ok;
            for (const QChar c : text(t))
                digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
            if (digitsOnly)
                value = number;
        }
        if (value.isValid()) {
            core += source.mid(copied, t.begin - copied) + QLatin1Char('?');
            if (t.type == SqlToken::String) // compared in the old engine's text order
                core += literalCollation(QStringView(source).first(t.begin),
                                         QStringView(source).sliced(t.end), value.toString());
            copied = t.end;
            out->args.push_back(value);
        }
    }
    // ORDER BY a field alone sorts by the field's sort key.
    for (size_t i = orderAt + 2; orderAt < end && i < limitAt; ++i) {
        const bool name = tokens[i].type == SqlToken::Quoted ||
                          (tokens[i].type == SqlToken::Word && !source[tokens[i].begin].isDigit());
        const bool wholeTerm =
            (i == orderAt + 2 || isPunct(i - 1, ',')) &&
            (i + 1 >= limitAt || isPunct(i + 1, ',') || is(i + 1, "ASC") || is(i + 1, "DESC"));
        if (name && tokens[i].depth == 0 && wholeTerm) {
            core += source.mid(copied, tokens[i].begin - copied) +
                    sortKeyExpression(orderOfField(unquoteName(text(tokens[i]))), text(tokens[i]));
            copied = tokens[i].end;
        }
    }
    core = (core + source.mid(copied, limitBegin - copied)).trimmed();
    const QString limit = source.mid(limitBegin, bodyEnd - limitBegin).trimmed();

    out->rowidQuery = QStringLiteral("SELECT ") + rowid + QStringLiteral(" FROM ") + core +
                      (orderAt < end ? QStringLiteral(", ") : QStringLiteral(" ORDER BY ")) + rowid;
    if (!limit.isEmpty())
        out->rowidQuery += QLatin1Char(' ') + limit;
    out->valueQuery = QStringLiteral("SELECT %1 FROM %2 WHERE %3=?").arg(selectList, head, rowid);
    return {};
}

// The values of the current result row; numbers as double, a null of a REAL column as a null double.
std::vector<QVariant> readColumns(sqlite3_stmt* stmt, const std::vector<bool>& numericField) {
    const int columns = sqlite3_column_count(stmt);
    std::vector<QVariant> values;
    values.reserve(static_cast<size_t>(columns));
    for (int i = 0; i < columns; ++i) {
        switch (sqlite3_column_type(stmt, i)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            values.emplace_back(sqlite3_column_double(stmt, i));
            break;
        case SQLITE_TEXT:
            values.emplace_back(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                                  sqlite3_column_bytes(stmt, i)));
            break;
        case SQLITE_BLOB:
            values.emplace_back(QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, i)),
                                           sqlite3_column_bytes(stmt, i)));
            break;
        default: {
            const bool numeric =
                static_cast<size_t>(i) < numericField.size() && numericField[static_cast<size_t>(i)];
            values.emplace_back(numeric ? QMetaType::fromType<double>() : QMetaType::fromType<QString>());
        }
        }
    }
    return values;
}

Error noCurrentRecord() {
    return {SQLITE_ERROR, QStringLiteral("no current record")};
}

Error recordGone() {
    return {SQLITE_ERROR, QStringLiteral("the record is no longer in the file")};
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

Error DataControl::fileGone() const {
    return {SQLITE_CANTOPEN, QStringLiteral("the Schedule file was deleted or replaced: ") + databaseName_};
}

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
    // A file deleted or replaced since it was opened is opened again by its path (and so a
    // deleted file is reported as missing rather than read and written unseen).
    if (connection_ && !connection_->fileStillAtPath()) {
        clearRecordset();
        connection_.reset();
    }
    if (connection_)
        return {};
    if (databaseName_.isEmpty())
        return {SQLITE_CANTOPEN, QStringLiteral("no Schedule file is set")};
    Error error;
    connection_ = Connection::open(databaseName_, &error);
    if (connection_)
        ensureDayIndex(*connection_);
    return error;
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
    readFingerprints_.clear();
    rowidName_.clear();
    position_ = -1;
    onDeleted_ = false;
    cachedRow_ = -1;
    cachedValues_.clear();
}

Error DataControl::refresh() {
    cancelUpdate();
    clearRecordset();
    Error error = ensureOpen();
    if (error)
        return error;

    if (recordSource_.trimmed().isEmpty()) {
        // Only check that the file is a database: reading the schema fails on anything else.
        Statement* statement =
            connection_->prepare(QStringLiteral("SELECT count(*) FROM sqlite_master"), &error);
        if (statement) {
            const int rc = sqlite3_step(statement->get());
            if (rc != SQLITE_ROW)
                error = connection_->lastError();
            statement->reset();
        }
        if (error)
            close();
        return error;
    }

    RecordSource source;
    QString rowidName;
    const auto address = [&](const QString& table, QString* name) {
        const Error failure = rowAddress(table, name);
        rowidName = *name;
        return failure;
    };
    error = translate(recordSource_, address, &source);
    if (error)
        return error;

    Statement* values = connection_->prepare(source.valueQuery, &error);
    if (!values)
        return error;
    QStringList names;
    std::vector<bool> numeric;
    const int columns = sqlite3_column_count(values->get());
    for (int i = 0; i < columns; ++i) {
        names << QString::fromUtf8(sqlite3_column_name(values->get(), i));
        const char* declared = sqlite3_column_decltype(values->get(), i);
        numeric.push_back(declared && qstricmp(declared, "REAL") == 0);
    }

    Statement* rows = connection_->prepare(source.rowidQuery, &error);
    if (!rows)
        return error;
    for (size_t i = 0; i < source.args.size(); ++i)
        rows->bind(static_cast<int>(i) + 1, source.args[i]);
    std::vector<qint64> rowids;
    std::vector<QVariant> firstRow;
    int rc;
    while ((rc = sqlite3_step(rows->get())) == SQLITE_ROW) {
        rowids.push_back(sqlite3_column_int64(rows->get(), 0));
        // The first row's values are read inside the same read transaction: most refreshes are
        // followed by reading the fields of the current row.
        if (rowids.size() == 1) {
            sqlite3_stmt* stmt = values->get();
            sqlite3_bind_int64(stmt, 1, rowids.front());
            if (sqlite3_step(stmt) == SQLITE_ROW)
                firstRow = readColumns(stmt, numeric);
            values->reset();
        }
    }
    if (rc != SQLITE_DONE)
        error = connection_->lastError();
    rows->reset();
    if (error)
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

const std::vector<QVariant>& DataControl::rowValues(int row) const {
    if (row == cachedRow_)
        return cachedValues_;
    cachedRow_ = -1;
    cachedValues_.clear();
    if (!connection_ || row < 0 || row >= recordCount())
        return cachedValues_;
    // A read that found the file locked by another program has already waited the busy timeout;
    // the rows read right after it (a grid paints many at once) are given up at once, so that one
    // repaint waits once instead of once per row. They read as empty, as the locked row does.
    const auto now = std::chrono::steady_clock::now();
    if (now < lockedUntil_)
        return cachedValues_;
    Error error;
    Statement* statement = connection_->prepare(valueQuery_, &error);
    if (!statement)
        return cachedValues_;
    sqlite3_stmt* stmt = statement->get();
    sqlite3_bind_int64(stmt, 1, rowids_[static_cast<size_t>(row)]);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        cachedValues_ = readColumns(stmt, numericField_);
        cachedRow_ = row;
        // The first reading counts: an edit is based on what was shown before the row changed.
        const qint64 rowid = rowids_[static_cast<size_t>(row)];
        if (!readFingerprints_.contains(rowid))
            readFingerprints_.insert(rowid, fingerprint(cachedValues_));
    } else if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        lockedUntil_ = std::chrono::steady_clock::now() + kLockedReadPause;
    }
    statement->reset();
    return cachedValues_;
}

QVariant DataControl::field(const QString& name, Error* error) const {
    if (error)
        *error = {};
    const int index = fieldIndex(name);
    if (index < 0) {
        if (error)
            *error = fieldError(name);
        return QVariant();
    }
    const QString& canonical = fieldNames_[index];
    if (editMode_ != EditMode::None && pending_.contains(canonical))
        return pending_.value(canonical);
    if (editMode_ == EditMode::AddNew)
        return numericField_[static_cast<size_t>(index)] ? QVariant(QMetaType::fromType<double>())
                                                         : QVariant(QMetaType::fromType<QString>());
    if (!hasCurrentRow()) {
        if (error)
            *error = noCurrentRecord();
        return QVariant();
    }
    const std::vector<QVariant>& values = rowValues(position_);
    if (static_cast<size_t>(index) >= values.size()) {
        if (error)
            *error = {SQLITE_ERROR, QStringLiteral("the record is no longer in the file")};
        return QVariant();
    }
    return values[static_cast<size_t>(index)];
}

QVariant DataControl::value(int row, int column) const {
    const std::vector<QVariant>& values = rowValues(row);
    if (column < 0 || static_cast<size_t>(column) >= values.size())
        return QVariant();
    return values[static_cast<size_t>(column)];
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

Error DataControl::rowAddress(const QString& table, QString* name) {
    Error error;
    Statement* statement =
        connection_->prepare(QStringLiteral("SELECT name FROM pragma_table_xinfo(?)"), &error);
    if (!statement)
        return error;
    statement->bind(1, table);
    QStringList columns;
    int rc;
    while ((rc = sqlite3_step(statement->get())) == SQLITE_ROW)
        columns << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement->get(), 0)),
                                     sqlite3_column_bytes(statement->get(), 0));
    if (rc != SQLITE_DONE)
        error = connection_->lastError();
    statement->reset();
    if (error)
        return error;
    for (const char* candidate : {"rowid", "_rowid_", "oid"}) {
        if (!columns.contains(QLatin1String(candidate), Qt::CaseInsensitive)) {
            *name = QLatin1String(candidate);
            return {};
        }
    }
    return {SQLITE_ERROR, QStringLiteral("表「%1」には rowid、_rowid_、oid という名前の列がすべてあり、"
                                         "行を区別できないため、このファイルは使えません")
                              .arg(table)};
}

Error DataControl::writable() {
    if (!connection_ || table_.isEmpty())
        return {SQLITE_ERROR, QStringLiteral("no recordset is open")};
    if (Error error = connection_->checkSchema())
        return error;
    if (!connection_->readOnlyReason().isEmpty())
        return {SQLITE_READONLY, connection_->readOnlyReason()};
    if (!connection_->fileStillAtPath())
        return fileGone();
    return {};
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
    if (known == readFingerprints_.constEnd())
        return write();
    // The check and the write are one transaction, the caller's when it holds one.
    const bool ownTransaction = sqlite3_get_autocommit(connection_->handle()) != 0;
    if (ownTransaction) {
        if (Error error = connection_->exec(QStringLiteral("BEGIN IMMEDIATE")))
            return error;
    }
    Error error;
    const std::optional<std::vector<QVariant>> stored = storedRow(rowid, &error);
    if (!error && !stored)
        error = recordGone();
    else if (!error && fingerprint(*stored) != known.value())
        error = {kChangedElsewhere, QStringLiteral("the record was changed by another program")};
    if (!error)
        error = write();
    if (!error) {
        // What is stored now is what this program knows the row to hold.
        const std::optional<std::vector<QVariant>> written = storedRow(rowid, &error);
        if (written)
            readFingerprints_.insert(rowid, fingerprint(*written));
        else
            readFingerprints_.remove(rowid);
        error = {};
    }
    if (ownTransaction) {
        if (!error)
            error = connection_->exec(QStringLiteral("COMMIT"));
        if (error && !sqlite3_get_autocommit(connection_->handle()))
            connection_->exec(QStringLiteral("ROLLBACK"));
    }
    return error;
}

Error DataControl::writeRow(qint64 rowid, const QHash<QString, QVariant>& values, qint64* insertedRowid) {
    if (Error error = writable())
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

    QString sql;
    QStringList quoted;
    for (const QString& name : names)
        quoted << quoteName(name);
    if (rowid < 0) {
        sql = names.isEmpty()
                  ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteName(table_))
                  : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                        .arg(quoteName(table_), quoted.join(QStringLiteral(", ")),
                             QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
    } else {
        if (names.isEmpty())
            return {};
        sql = QStringLiteral("UPDATE %1 SET %2=? WHERE %3=?")
                  .arg(quoteName(table_), quoted.join(QStringLiteral("=?, ")), rowidName_);
    }

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
            error = connection_->lastError();
        else if (rowid >= 0 && sqlite3_changes(connection_->handle()) == 0)
            error = recordGone();
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
        if (!error)
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
    if (Error error = writable())
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
            failure = connection_->lastError();
        statement->reset();
        return failure;
    });
    if (error)
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
    if (!error)
        rowids_.push_back(rowid);
    return error;
}

ShortLockWait::ShortLockWait(DataControl& data, int milliseconds)
    : data_(data), connection_(data.connection()) {
    if (connection_)
        connection_->setBusyTimeout(milliseconds);
}

ShortLockWait::~ShortLockWait() {
    // A failed refresh may have closed the connection; only the one still open is touched.
    if (connection_ && data_.connection() == connection_)
        connection_->setBusyTimeout(Connection::kBusyTimeoutMs);
}

} // namespace store
