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

// The date a Date string names: year/month/day in decimal without leading zeros ("2026/12/7"),
// the form dateString() writes. Invalid for any other text and for a day the calendar lacks.
QDate dateOfString(QStringView text);
// The same for the UTF-8 bytes of a stored value.
QDate dateOfString(QByteArrayView utf8);

} // namespace store
