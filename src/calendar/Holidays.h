#pragma once
// Japan's national holidays as the law on national holidays and its amendments define them:
// the named holidays, the substitute holiday after a holiday on a Sunday, the weekday between two
// holidays and the days that special laws added or moved. Pure functions over Qt Core.

#include <QDate>
#include <QList>
#include <QString>

namespace calendar {

// The years the rules answer for: the law came into force on 20 July 1948, and the approximation
// that places the equinox days holds until 2099. Years after the last amendment follow today's
// rules.
constexpr int kFirstHolidayYear = 1948;
constexpr int kLastHolidayYear = 2099;

struct Holiday {
    QDate date;
    QString name;
    bool operator==(const Holiday&) const = default;
};

// Whether the rules cover the year (kFirstHolidayYear..kLastHolidayYear).
bool holidaysKnown(int year);

// The year's holidays sorted by date; empty for a year the rules do not cover. Each year is
// computed once and kept, so asking again costs a lookup.
const QList<Holiday>& holidaysOf(int year);

// The holiday's name ("元日", "振替休日", "国民の休日" ...), empty when the date is none.
QString holidayName(const QDate& date);

} // namespace calendar
