#include "calendar/Holidays.h"

#include <algorithm>
#include <vector>

namespace calendar {

namespace {

// The law came into force on this day; nothing before it is a national holiday.
const QDate kLawStart(1948, 7, 20);
// From this day a holiday on a Sunday gives the next Monday off.
const QDate kSubstituteStart(1973, 4, 12);
// From this year a weekday between two holidays is a holiday too.
constexpr int kBetweenStart = 1986;
// From this year the substitute moves to the next day that is not a holiday, and the day between
// two holidays is any day that is not one itself.
constexpr int kReform2007 = 2007;
constexpr int kOpen = kLastHolidayYear;

enum class DateRule { Fixed, NthMonday, VernalEquinox, AutumnalEquinox };

// One holiday for a run of years: `day` is the day of the month for a fixed date and n for the
// n-th Monday.
struct NamedDay {
    const char16_t* name;
    int firstYear;
    int lastYear;
    DateRule rule;
    int month;
    int day;
};

// Every named holiday with the years it applies in, amendments and special laws included.
constexpr NamedDay kNamedDays[] = {
    {u"元日", 1948, kOpen, DateRule::Fixed, 1, 1},
    {u"成人の日", 1948, 1999, DateRule::Fixed, 1, 15},
    {u"成人の日", 2000, kOpen, DateRule::NthMonday, 1, 2},
    {u"建国記念の日", 1967, kOpen, DateRule::Fixed, 2, 11},
    {u"天皇誕生日", 2020, kOpen, DateRule::Fixed, 2, 23},
    {u"春分の日", 1948, kOpen, DateRule::VernalEquinox, 3, 0},
    {u"天皇誕生日", 1948, 1988, DateRule::Fixed, 4, 29},
    {u"みどりの日", 1989, 2006, DateRule::Fixed, 4, 29},
    {u"昭和の日", 2007, kOpen, DateRule::Fixed, 4, 29},
    {u"憲法記念日", 1948, kOpen, DateRule::Fixed, 5, 3},
    {u"みどりの日", 2007, kOpen, DateRule::Fixed, 5, 4},
    {u"こどもの日", 1948, kOpen, DateRule::Fixed, 5, 5},
    {u"海の日", 1996, 2002, DateRule::Fixed, 7, 20},
    {u"海の日", 2003, 2019, DateRule::NthMonday, 7, 3},
    {u"海の日", 2020, 2020, DateRule::Fixed, 7, 23},
    {u"海の日", 2021, 2021, DateRule::Fixed, 7, 22},
    {u"海の日", 2022, kOpen, DateRule::NthMonday, 7, 3},
    {u"山の日", 2016, 2019, DateRule::Fixed, 8, 11},
    {u"山の日", 2020, 2020, DateRule::Fixed, 8, 10},
    {u"山の日", 2021, 2021, DateRule::Fixed, 8, 8},
    {u"山の日", 2022, kOpen, DateRule::Fixed, 8, 11},
    {u"敬老の日", 1966, 2002, DateRule::Fixed, 9, 15},
    {u"敬老の日", 2003, kOpen, DateRule::NthMonday, 9, 3},
    {u"秋分の日", 1948, kOpen, DateRule::AutumnalEquinox, 9, 0},
    {u"体育の日", 1966, 1999, DateRule::Fixed, 10, 10},
    {u"体育の日", 2000, 2019, DateRule::NthMonday, 10, 2},
    {u"スポーツの日", 2020, 2020, DateRule::Fixed, 7, 24},
    {u"スポーツの日", 2021, 2021, DateRule::Fixed, 7, 23},
    {u"スポーツの日", 2022, kOpen, DateRule::NthMonday, 10, 2},
    {u"文化の日", 1948, kOpen, DateRule::Fixed, 11, 3},
    {u"勤労感謝の日", 1948, kOpen, DateRule::Fixed, 11, 23},
    {u"天皇誕生日", 1989, 2018, DateRule::Fixed, 12, 23},
    // Days that special laws made holidays.
    {u"結婚の儀", 1959, 1959, DateRule::Fixed, 4, 10},
    {u"大喪の礼", 1989, 1989, DateRule::Fixed, 2, 24},
    {u"即位礼正殿の儀", 1990, 1990, DateRule::Fixed, 11, 12},
    {u"結婚の儀", 1993, 1993, DateRule::Fixed, 6, 9},
    {u"即位の日", 2019, 2019, DateRule::Fixed, 5, 1},
    {u"即位礼正殿の儀", 2019, 2019, DateRule::Fixed, 10, 22},
};

const QString kSubstituteName = QStringLiteral("振替休日");
const QString kBetweenName = QStringLiteral("国民の休日");

// The day of March or September of the equinox by the usual approximation, valid 1900-2099.
// Integer division truncates towards zero here, as the approximation is defined.
int equinoxDay(int year, DateRule rule) {
    const bool vernal = rule == DateRule::VernalEquinox;
    const double drift = 0.242194 * (year - 1980);
    if (year < 1980)
        return static_cast<int>((vernal ? 20.8357 : 23.2588) + drift - (year - 1983) / 4);
    return static_cast<int>((vernal ? 20.8431 : 23.2488) + drift - (year - 1980) / 4);
}

QDate dateOf(const NamedDay& rule, int year) {
    switch (rule.rule) {
    case DateRule::Fixed:
        return QDate(year, rule.month, rule.day);
    case DateRule::NthMonday: {
        const QDate first(year, rule.month, 1);
        const int toMonday = (Qt::Monday - first.dayOfWeek() + 7) % 7;
        return first.addDays(toMonday + 7 * (rule.day - 1));
    }
    case DateRule::VernalEquinox:
    case DateRule::AutumnalEquinox:
        return QDate(year, rule.month, equinoxDay(year, rule.rule));
    }
    return {};
}

QList<Holiday> computeYear(int year) {
    QList<Holiday> named;
    for (const NamedDay& rule : kNamedDays) {
        if (year < rule.firstYear || year > rule.lastYear)
            continue;
        const QDate date = dateOf(rule, year);
        if (date >= kLawStart)
            named.append({date, QString::fromUtf16(rule.name)});
    }
    const auto isNamed = [&named](const QDate& d) {
        return std::any_of(named.cbegin(), named.cend(), [&d](const Holiday& h) { return h.date == d; });
    };

    QList<Holiday> days = named;
    const auto isHoliday = [&days](const QDate& d) {
        return std::any_of(days.cbegin(), days.cend(), [&d](const Holiday& h) { return h.date == d; });
    };
    // A holiday on a Sunday gives the next day off; from 2007 the next day that is no holiday.
    for (const Holiday& h : named) {
        if (h.date.dayOfWeek() != Qt::Sunday || h.date < kSubstituteStart)
            continue;
        QDate next = h.date.addDays(1);
        if (year >= kReform2007) {
            while (isNamed(next))
                next = next.addDays(1);
        }
        if (!isHoliday(next) && next.year() == year)
            days.append({next, kSubstituteName});
    }
    // A day between two holidays: before 2007 only a weekday that is no substitute.
    if (year >= kBetweenStart) {
        for (const Holiday& h : named) {
            const QDate between = h.date.addDays(1);
            if (!isNamed(between.addDays(1)) || isHoliday(between))
                continue;
            if (year < kReform2007 && between.dayOfWeek() == Qt::Sunday)
                continue;
            days.append({between, kBetweenName});
        }
    }
    std::sort(days.begin(), days.end(), [](const Holiday& a, const Holiday& b) { return a.date < b.date; });
    return days;
}

} // namespace

bool holidaysKnown(int year) {
    return year >= kFirstHolidayYear && year <= kLastHolidayYear;
}

const QList<Holiday>& holidaysOf(int year) {
    // Every covered year is computed once, on the first question; a static's initialisation is
    // safe from any thread.
    static const std::vector<QList<Holiday>> years = [] {
        std::vector<QList<Holiday>> all;
        all.reserve(kLastHolidayYear - kFirstHolidayYear + 1);
        for (int year = kFirstHolidayYear; year <= kLastHolidayYear; ++year)
            all.push_back(computeYear(year));
        return all;
    }();
    static const QList<Holiday> none;
    if (!holidaysKnown(year))
        return none;
    return years[static_cast<size_t>(year - kFirstHolidayYear)];
}

QString holidayName(const QDate& date) {
    if (!date.isValid())
        return {};
    for (const Holiday& h : holidaysOf(date.year())) {
        if (h.date == date)
            return h.name;
    }
    return {};
}

} // namespace calendar
