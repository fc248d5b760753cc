#include "exchange/IcalLimits.h"

#include <QByteArrayList>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace exchange::limits {

namespace {

// Every component below `parent`, depth first, with its parent.
template <typename F> void forEachDescendant(icalcomponent* parent, F&& f) {
    for (icalcomponent* c = icalcomponent_get_first_component(parent, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(parent, ICAL_ANY_COMPONENT)) {
        f(parent, c);
        forEachDescendant(c, f);
    }
}

// Hands the parser the text a piece at a time, as icalparser_parse_string does (the text ends at
// its first NUL byte), and tells `progress` how far it got.
struct LineSource {
    const char* text = nullptr;
    qsizetype size = 0;
    qsizetype position = 0;
    const Progress* progress = nullptr;
    qint64 before = 0; // the work done ahead of the parse
    qint64 total = 0;
    qsizetype nextReport = 0;
    bool cancelled = false;
};

char* nextLine(char* out, size_t room, void* data) {
    auto* source = static_cast<LineSource*>(data);
    if (source->cancelled || source->position >= source->size || room < 2)
        return nullptr;
    if (source->position >= source->nextReport && *source->progress) {
        source->nextReport = source->position + kReportBytes;
        if (!(*source->progress)(source->before + source->position, source->total)) {
            source->cancelled = true;
            return nullptr;
        }
    }
    const char* begin = source->text + source->position;
    const auto left = static_cast<size_t>(source->size - source->position);
    const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', left));
    const size_t length = std::min(newline ? static_cast<size_t>(newline - begin) + 1 : left, room - 1);
    std::memcpy(out, begin, length);
    out[length] = '\0';
    source->position += static_cast<qsizetype>(length);
    return out;
}

// +1 for a BEGIN line (its name may be followed by parameters), -1 for an END line, else 0:
// libical closes the innermost open component at any END.
int nestingOf(const char* line) {
    const size_t name = std::strcspn(line, ";:");
    if (name == 5 && qstrnicmp(line, "BEGIN", 5) == 0)
        return 1;
    if (name == 3 && qstrnicmp(line, "END", 3) == 0)
        return -1;
    return 0;
}

} // namespace

Parsed parse(QByteArrayView text, const Progress& progress, qint64 before, qint64 total) {
    Parsed parsed;
    LineSource source;
    source.text = text.data();
    const void* nul =
        text.isEmpty() ? nullptr : std::memchr(text.data(), '\0', static_cast<size_t>(text.size()));
    source.size = nul ? static_cast<const char*>(nul) - text.data() : text.size();
    source.progress = &progress;
    source.before = before;
    source.total = total;
    if (source.size == 0)
        return parsed;
    icalparser* parser = icalparser_new();
    icalparser_set_gen_data(parser, &source);
    const icalerrorstate errorState = icalerror_get_error_state(ICAL_MALFORMEDDATA_ERROR);
    icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, ICAL_ERROR_NONFATAL);
    icalcomponent* root = nullptr;
    int depth = 0;
    for (;;) {
        char* line = icalparser_get_line(parser, nextLine);
        if (line && (depth = std::max(0, depth + nestingOf(line))) > kMaxNesting) {
            parsed.tooDeep = true;
            icalmemory_free_buffer(line);
            break;
        }
        if (icalcomponent* c = icalparser_add_line(parser, line)) {
            if (!root) {
                root = c;
            } else if (icalcomponent_isa(root) != ICAL_XROOT_COMPONENT) {
                icalcomponent* both = icalcomponent_new(ICAL_XROOT_COMPONENT);
                icalcomponent_add_component(both, root);
                icalcomponent_add_component(both, c);
                root = both;
            } else {
                icalcomponent_add_component(root, c);
            }
        }
        if (!line)
            break;
        icalmemory_free_buffer(line);
    }
    icalparser_free(parser);
    icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, errorState);
    parsed.cancelled = source.cancelled;
    if (parsed.tooDeep || parsed.cancelled) {
        if (root)
            icalcomponent_free(root);
        root = nullptr;
    }
    parsed.root = root;
    return parsed;
}

bool leavesZoneFolder(const char* tzid) {
    for (const QByteArray& part : QByteArray(tzid).split('/')) {
        if (part == "..")
            return true;
    }
    return false;
}

void dropUnsafeZoneNames(icalcomponent* root) {
    const auto check = [](icalcomponent* component) {
        for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_ANY_PROPERTY); p;
             p = icalcomponent_get_next_property(component, ICAL_ANY_PROPERTY)) {
            icalparameter* tzid = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
            if (tzid && leavesZoneFolder(icalparameter_get_tzid(tzid)))
                icalproperty_remove_parameter_by_kind(p, ICAL_TZID_PARAMETER);
        }
    };
    check(root);
    forEachDescendant(root, [&](icalcomponent*, icalcomponent* c) { check(c); });
}

namespace {

// The days of a month in a leap year.
int longestMonth(int month) {
    return month == 2 ? 29 : month == 4 || month == 6 || month == 9 || month == 11 ? 30 : 31;
}

} // namespace

bool hasSuchDay(const icalrecurrencetype& rule) {
    const int months = countOf(rule.by_month);
    const int weekdays = countOf(rule.by_day);
    const int weeksInPeriod = rule.freq == ICAL_MONTHLY_RECURRENCE || months > 0 ? 5 : 53;
    if (weekdays > 0 && (rule.freq == ICAL_MONTHLY_RECURRENCE || rule.freq == ICAL_YEARLY_RECURRENCE) &&
        std::none_of(rule.by_day, rule.by_day + weekdays, [weeksInPeriod](short day) {
            return std::abs(icalrecurrencetype_day_position(day)) <= weeksInPeriod;
        }))
        return false;
    const int days = countOf(rule.by_month_day);
    if (days == 0)
        return true;
    for (int month = 1; month <= 12; ++month) {
        if (months > 0 && std::none_of(rule.by_month, rule.by_month + months, [month](short m) {
                return icalrecurrencetype_month_month(m) == month;
            }))
            continue;
        for (int i = 0; i < days; ++i) {
            const int day = rule.by_month_day[i];
            if (day != 0 && std::abs(day) <= longestMonth(month))
                return true;
        }
    }
    return false;
}

namespace {

// libical expands the rules of a time zone up to this year, where its recurrence iterator ends.
constexpr int kLastZoneYear = 2582;
// The changes all kept VTIMEZONEs of a file may give up to then: a zone of two rules from the year
// 1601 gives about 2,000.
constexpr qint64 kMaxZoneChanges = 100000;

// How many changes a STANDARD or DAYLIGHT rule from `startYear` gives, or -1 for a rule libical
// could not expand in bounded time. Zone rules are yearly, in one month, on one weekday (its n-th,
// its last or every one) or on up to seven days of that month; libical follows anything else
// (every minute, on a day no month has) without end.
qint64 zoneRuleChanges(const icalrecurrencetype& rule, int startYear) {
    if (rule.freq != ICAL_YEARLY_RECURRENCE || rule.interval < 1 || countOf(rule.by_year_day) > 0 ||
        countOf(rule.by_week_no) > 0 || countOf(rule.by_set_pos) > 0 || countOf(rule.by_hour) > 1 ||
        countOf(rule.by_minute) > 1 || countOf(rule.by_second) > 1)
        return -1;
    const int months = countOf(rule.by_month);
    const int weekdays = countOf(rule.by_day);
    const int days = countOf(rule.by_month_day);
    const int position = weekdays > 0 ? icalrecurrencetype_day_position(rule.by_day[0]) : 0;
    if (months > 1 || weekdays > 1 || days > 7 || ((weekdays > 0 || days > 0) && months != 1) ||
        std::abs(position) > 5 || (position != 0 && days > 0) || !hasSuchDay(rule))
        return -1;
    const qint64 perYear = days > 0 ? days : weekdays > 0 && position == 0 ? 5 : 1;
    const int lastYear =
        icaltime_is_null_time(rule.until) ? kLastZoneYear : std::min(kLastZoneYear, rule.until.year);
    const qint64 years = lastYear > startYear ? (lastYear - std::max(startYear, 0)) / rule.interval + 1 : 1;
    const qint64 changes = years * perYear;
    return rule.count > 0 ? std::min<qint64>(changes, rule.count) : changes;
}

// How many changes libical makes of a VTIMEZONE, or -1 when one of its rules could not be expanded
// in bounded time.
qint64 zoneChanges(icalcomponent* zone) {
    qint64 changes = 0;
    for (icalcomponent* part = icalcomponent_get_first_component(zone, ICAL_ANY_COMPONENT); part;
         part = icalcomponent_get_next_component(zone, ICAL_ANY_COMPONENT)) {
        const icalcomponent_kind kind = icalcomponent_isa(part);
        if (kind != ICAL_XSTANDARD_COMPONENT && kind != ICAL_XDAYLIGHT_COMPONENT)
            continue;
        icalproperty* start = icalcomponent_get_first_property(part, ICAL_DTSTART_PROPERTY);
        const int startYear = start ? icalproperty_get_dtstart(start).year : 0;
        ++changes;
        for (icalproperty* p = icalcomponent_get_first_property(part, ICAL_ANY_PROPERTY); p;
             p = icalcomponent_get_next_property(part, ICAL_ANY_PROPERTY)) {
            if (icalproperty_isa(p) == ICAL_RDATE_PROPERTY) {
                ++changes;
            } else if (icalproperty_isa(p) == ICAL_RRULE_PROPERTY) {
                const qint64 more = zoneRuleChanges(icalproperty_get_rrule(p), startYear);
                if (more < 0)
                    return -1;
                changes += more;
            }
        }
    }
    return changes;
}

} // namespace

void keepBoundedZones(icalcomponent* root) {
    std::vector<std::pair<icalcomponent*, icalcomponent*>> zones; // parent, VTIMEZONE
    forEachDescendant(root, [&](icalcomponent* parent, icalcomponent* c) {
        if (icalcomponent_isa(c) == ICAL_VTIMEZONE_COMPONENT)
            zones.emplace_back(parent, c);
    });
    qint64 budget = kMaxZoneChanges;
    for (const auto& [parent, zone] : zones) {
        const qint64 changes = zoneChanges(zone);
        if (changes >= 0 && changes <= budget) {
            budget -= changes;
            continue;
        }
        icalcomponent_remove_component(parent, zone);
        icalcomponent_free(zone);
    }
    icaltimetype end = icaltime_null_time();
    end.year = 9999;
    end.month = 12;
    end.day = 31;
    forEachDescendant(root, [&](icalcomponent* parent, icalcomponent* c) {
        icalproperty* tzid = icalcomponent_isa(c) == ICAL_VTIMEZONE_COMPONENT
                                 ? icalcomponent_get_first_property(c, ICAL_TZID_PROPERTY)
                                 : nullptr;
        if (icaltimezone* zone =
                tzid ? icalcomponent_get_timezone(parent, icalproperty_get_tzid(tzid)) : nullptr)
            icaltimezone_get_utc_offset(zone, &end, nullptr);
    });
}

} // namespace exchange::limits
