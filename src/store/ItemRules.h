#pragma once
// What the stored values of a day item mean, decided once for every reader: the level a stored
// レベル carries, the level the day display shows for it, the level a level text names, and the
// date a Date string (年月日) names.

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <optional>

namespace store {

// The level 1..kLevelCount a stored レベル carries: a whole number in that range. 0 (no level) for
// a null, a text, a fraction or any other number.
int storedLevel(const QVariant& stored);

// The level the day display shows for a stored レベル: the number rounded half to even, 0..255.
// A value without a number, or one that does not fit, gives 0. Numbers above kLevelCount have no
// colour of their own.
int displayedLevel(const QVariant& stored);

// The level a level text names: 0 for the empty text (no level), 1..kLevelCount for the level
// texts ("ﾚﾍﾞﾙ1".."ﾚﾍﾞﾙ5"), nothing for any other text.
std::optional<int> levelOfText(const QString& levelText);

// How strictly a Date string is read. AsWritten: year/month/day in decimal without leading zeros
// ("2026/12/7"), the form dateString() writes and the calendar, the alarms and date sorting find.
// Loose: also leading zeros and up to five digits a part ("2026/01/05"), for carrying a row
// another program wrote out of the file (the iCalendar export) rather than dropping its date.
enum class DateForm { AsWritten, Loose };

// The date a Date string names; invalid for any other text and for a day the calendar lacks.
QDate dateOfString(QStringView text, DateForm form = DateForm::AsWritten);
// The same for the UTF-8 bytes of a stored value.
QDate dateOfString(QByteArrayView utf8, DateForm form = DateForm::AsWritten);

} // namespace store
