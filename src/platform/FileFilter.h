#pragma once
// Turns a dialog filter written "label|pattern|label|pattern" into Qt's name filters.

#include <QStringList>

namespace platform {

// Each pattern is made case-insensitive ("*.sdb" becomes "*.[sS][dD][bB]"), so that
// DEFAULT.SDB and alarm.wav are listed whatever the letter case of their names.
QStringList qtNameFilters(const QString& filter);

// A file name whose extension was copied from such a pattern ("daduvov.[iI][cC][sS]", as Qt's
// save dialog does when a filter is picked) with the plain extension ("daduvov.ics"); any other
// name as it is.
QString unfoldedName(const QString& name);

} // namespace platform
