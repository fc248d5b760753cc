#pragma once
// The record source of a data control is either a table name or one SELECT over one table, with
// LIKE's * ? # [ ] wildcards. It stays as the caller wrote it; at the boundary it becomes two
// statements:
//   rowids: SELECT rowid FROM <table and the rest of the query>, in table order, or in the
//           query's ORDER BY with table order among ties;
//   values: SELECT <the query's columns> FROM <table> WHERE rowid=?, for one row at a time.
// Rows without an address (a view, a table WITHOUT ROWID) cannot be fetched one at a time: they
// become one statement that gives all rows with the query's columns, in the query's order.
// The literals of the conditions become parameters, so that queries differing only in their
// values share one prepared statement; a text literal compared with a field gets that field's
// collation, and ORDER BY a field alone sorts by the field's sort key.

#include "store/Error.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

namespace store {

struct RecordSource {
    QString table;              // the table's name, unquoted
    QString rowidQuery;         // rowids of the recordset in order
    std::vector<QVariant> args; // the rowid query's parameters
    QString valueQuery;         // the recordset's columns of one row, by rowid
    QString allRowsQuery;       // instead of the two, for rows without an address; with args
};

// The name under which the rows of a table are addressed (rowid, _rowid_ or oid, whichever the
// table has not taken as the name of a column of its own), given the table's name; empty when
// its rows have no address.
using RowAddress = std::function<Error(const QString& table, QString* name)>;

// Translates a record source. A source that is empty, holds more than one statement, or gives
// rows that cannot be updated one by one (DISTINCT, several tables, a join, a grouping, a
// compound) fails with SQLITE_ERROR and the source in the message.
Error translateRecordSource(const QString& source, const RowAddress& rowAddress, RecordSource* out);

// A name quoted for SQL: "name", with a quote inside doubled.
QString quoteName(const QString& name);

} // namespace store
