#pragma once
// Day records as CSV that a spreadsheet opens by double-click with its Japanese text intact:
// UTF-8 with a byte-order mark, CR LF, fields quoted as RFC 4180 says, the columns
// 年月日 項目番号 レベル 内容 アラーム 時刻 under a header line. A field that a spreadsheet would
// run as a formula, or a time it would turn into a number ("0930" into 930), starts with an
// apostrophe, so that it stays text.

#include "exchange/Progress.h"

#include <QByteArray>
#include <QString>

namespace store {
class DataControl;
}

namespace exchange {

struct CsvExport {
    qint64 rows = 0;
    bool cancelled = false;
    QString failure; // empty on success
};

// Writes the rows of the data control's recordset in its order (the file is replaced whole, or
// left as it was on failure or cancel). A target that is the data control's own Schedule file is
// refused.
CsvExport exportCsv(const store::DataControl& data, const QString& path, const Progress& progress = {});

// One field. A text that starts with = + - @, a tab or a CR (a formula to a spreadsheet), or with
// a digit when `keepDigits` (a time such as 0930), gets an apostrophe in front; then the field is
// in quotes, with its quotes doubled, when it holds a comma, a quote or a line break.
QByteArray csvField(const QString& text, bool keepDigits = false);

} // namespace exchange
