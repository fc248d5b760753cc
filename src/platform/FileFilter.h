#pragma once
// Turns the old "label|pattern|label|pattern" filter text into Qt's name filters.

#include <QStringList>

namespace platform {

// Each pattern is made case-insensitive ("*.sdb" becomes "*.[sS][dD][bB]"), so that
// DEFAULT.SDB and alarm.wav are listed as they were on the old platform.
QStringList qtNameFilters(const QString& oldFilter);

} // namespace platform
