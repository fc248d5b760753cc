#include "exchange/IcalReader.h"

#include "exchange/IcalCommon.h"
#include "exchange/IcalDiagnostics.h"
#include "exchange/IcalLimits.h"
#include "exchange/Messages.h"
#include "store/ScheduleLayout.h"

#include <libical/ical.h>

#include <QDateTime>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <optional>
#include <vector>

namespace exchange {

using ical::ComponentPtr;

namespace {

constexpr int kMaxContent = store::kContentWidth;
constexpr int kMaxTimeText = store::kTimeWidth;

} // namespace

DateRange defaultRecurrenceRange(const QDate& today) {
    return {today, today.addMonths(12).addDays(-1)};
}

QString storedContent(const QString& summary, bool* shortened) {
    QString text = summary;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar& c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    // The field counts characters (code points), not UTF-16 units.
    const QList<uint> codePoints = text.toUcs4();
    const bool cut = codePoints.size() > kMaxContent;
    if (shortened)
        *shortened = cut;
    if (!cut)
        return text;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(codePoints.constData()), kMaxContent - 1) +
           QStringLiteral("…");
}

struct Calendar::Data {
    ComponentPtr root;
    std::vector<icalcomponent*> calendars;
};

struct CalendarAccess {
    static const std::vector<icalcomponent*>& calendars(const Calendar& c) {
        static const std::vector<icalcomponent*> none;
        return c.data_ ? c.data_->calendars : none;
    }
};

Calendar::Calendar() = default;
Calendar::Calendar(Calendar&&) noexcept = default;
Calendar& Calendar::operator=(Calendar&&) noexcept = default;
Calendar::~Calendar() = default;

namespace {

// The text of the first error libical noted in the parsed tree, with the line it names.
QString firstError(icalcomponent* component) {
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_XLICERROR_PROPERTY))
        return QString::fromUtf8(icalproperty_get_xlicerror(p));
    for (icalcomponent* c = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT)) {
        const QString text = firstError(c);
        if (!text.isEmpty())
            return text;
    }
    return QString();
}

// Whether libical found the file's structure broken: a component without its END (a file cut
// off) or one it could not name.
bool hasStructureError(icalcomponent* component) {
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_XLICERROR_PROPERTY)) {
        icalparameter* type = icalproperty_get_first_parameter(p, ICAL_XLICERRORTYPE_PARAMETER);
        if (type && icalparameter_get_xlicerrortype(type) == ICAL_XLICERRORTYPE_COMPONENTPARSEERROR)
            return true;
    }
    for (icalcomponent* c = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT)) {
        if (hasStructureError(c))
            return true;
    }
    return false;
}

// Removes libical's notes of what it could not read; the properties they name are gone already.
void dropErrors(icalcomponent* component) {
    while (icalproperty* p = icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY)) {
        icalcomponent_remove_property(component, p);
        icalproperty_free(p);
    }
    for (icalcomponent* c = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT))
        dropErrors(c);
}

template <typename F> void forEachComponent(icalcomponent* parent, icalcomponent_kind kind, F&& f) {
    for (icalcomponent* c = icalcomponent_get_first_component(parent, kind); c;
         c = icalcomponent_get_next_component(parent, kind))
        f(c);
}

} // namespace

namespace {

// Where reading a text ended early: cancelled, or failed with the reason for the user.
struct Stop {
    bool cancelled = false;
    QString failure;

    bool stops() const { return cancelled || !failure.isEmpty(); }
};

// Checks that the text is UTF-8, a piece at a time, so that the check needs no copy of the whole
// text and can be cancelled: the first half of the work `total`.
Stop checkUtf8(QByteArrayView text, const Progress& progress, qint64 total) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    for (qsizetype at = 0; at < text.size() && !utf8.hasError(); at += limits::kReportBytes) {
        if (progress && !progress(at, total))
            return {true, {}};
        // Decoding is the check; the text is not kept.
        const QString piece = utf8.decode(text.sliced(at, std::min(limits::kReportBytes, text.size() - at)));
    }
    return {false, utf8.hasError() ? messages::notUtf8() : QString()};
}

// Parses the text into `root`: the second half of the work `total`.
Stop parseTree(QByteArrayView text, const Progress& progress, qint64 total, ComponentPtr& root) {
    // An error in the file must never end the program.
    icalerror_set_errors_are_fatal(0);
    icalerror_clear_errno();
    IcalDiagnostics diagnostics;
    const limits::Parsed parsed = limits::parse(text, progress, text.size(), total);
    root.reset(parsed.root);
    const QString printed = diagnostics.finish();
    if (parsed.cancelled)
        return {true, {}};
    if (parsed.tooDeep)
        return {false, messages::brokenICalendar(QStringLiteral("BEGIN と END の入れ子が深すぎます"))};
    if (!printed.isEmpty())
        return {false, messages::brokenICalendar(printed)};
    return {};
}

// The VCALENDARs of the parsed tree: the root, or those under an XROOT. None is a failure, and
// so is a structure libical found broken.
Stop findCalendars(icalcomponent* root, std::vector<icalcomponent*>& calendars) {
    if (root && icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT)
        calendars.push_back(root);
    else if (root && icalcomponent_isa(root) == ICAL_XROOT_COMPONENT)
        forEachComponent(root, ICAL_VCALENDAR_COMPONENT, [&](icalcomponent* c) { calendars.push_back(c); });
    if (calendars.empty())
        return {false, messages::notICalendar()};
    // What libical could not read it notes as X-LIC-ERROR properties. A file cut off or with
    // components it could not tell apart is refused; a property it could not read (an empty
    // LOCATION, which other programs write in every event) is passed over, and an event without
    // a usable start is left out and counted.
    if (hasStructureError(root))
        return {false, messages::brokenICalendar(firstError(root))};
    return {};
}

// Removes the events without a usable start and gives their number; `items` counts the events
// and ToDos that are left.
int dropUnusableEvents(const std::vector<icalcomponent*>& calendars, int& items) {
    int dropped = 0;
    for (icalcomponent* cal : calendars) {
        std::vector<icalcomponent*> unusable;
        forEachComponent(cal, ICAL_VEVENT_COMPONENT, [&](icalcomponent* ev) {
            const icaltimetype start = icalcomponent_get_dtstart(ev);
            if (icaltime_is_null_time(start) || !QDate(start.year, start.month, start.day).isValid())
                unusable.push_back(ev);
        });
        for (icalcomponent* ev : unusable) {
            icalcomponent_remove_component(cal, ev);
            icalcomponent_free(ev);
        }
        dropped += static_cast<int>(unusable.size());
        items += icalcomponent_count_components(cal, ICAL_VEVENT_COMPONENT) +
                 icalcomponent_count_components(cal, ICAL_VTODO_COMPONENT);
    }
    return dropped;
}

} // namespace

Calendar Calendar::failed(const QString& failure) {
    Calendar calendar;
    calendar.failure_ = failure;
    return calendar;
}

Calendar Calendar::parse(const QByteArray& input, const Progress& progress) {
    QByteArrayView text(input);
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    const qint64 total = 2 * static_cast<qint64>(text.size());
    ComponentPtr root;
    std::vector<icalcomponent*> calendars;
    Stop stop = checkUtf8(text, progress, total);
    if (!stop.stops())
        stop = parseTree(text, progress, total, root);
    if (!stop.stops())
        stop = findCalendars(root.get(), calendars);
    Calendar calendar;
    if (stop.stops()) {
        calendar.cancelled_ = stop.cancelled;
        calendar.failure_ = stop.failure;
        return calendar;
    }
    const QString complaint = firstError(root.get());
    dropErrors(root.get());
    // Before any time is read with its zone.
    limits::dropUnsafeZoneNames(root.get());
    limits::keepBoundedZones(root.get());
    int items = 0;
    calendar.unreadable_ = dropUnusableEvents(calendars, items);
    if (calendar.unreadable_ > 0 && items == 0) {
        calendar.failure_ = messages::brokenICalendar(
            complaint.isEmpty() ? QStringLiteral("開始日時が読める VEVENT がありません") : complaint);
        return calendar;
    }
    calendar.data_ = std::make_unique<Data>();
    calendar.data_->root = std::move(root);
    calendar.data_->calendars = std::move(calendars);
    return calendar;
}

bool Calendar::hasRecurrences() const {
    bool found = false;
    for (icalcomponent* cal : CalendarAccess::calendars(*this))
        forEachComponent(cal, ICAL_VEVENT_COMPONENT, [&](icalcomponent* ev) {
            found = found || icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY) ||
                    icalcomponent_get_first_property(ev, ICAL_RDATE_PROPERTY);
        });
    return found;
}

namespace {

struct LocalStart {
    QDate date;
    QTime time;                // invalid for an all-day event
    bool timeUnusable = false; // a time of day that does not exist (T250000): the date alone is kept
};

// The start in the local time zone: a date stays a date, a floating time stays as written, a time
// in UTC or in a named zone is converted. A time no clock shows is not converted (libical would
// carry T250000 into the next day): the date as written is kept without it.
LocalStart localStart(icaltimetype t) {
    if (t.is_date)
        return {QDate(t.year, t.month, t.day), QTime()};
    t.second = qMin(t.second, 59); // a leap second counts as the last second of its minute
    if (!QTime::isValid(t.hour, t.minute, t.second))
        return {QDate(t.year, t.month, t.day), QTime(), true};
    if (t.zone) {
        const QDateTime local = QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, t.zone));
        return {local.date(), local.time()};
    }
    return {QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second)};
}

// The time as written in the file, without its zone: how an occurrence, an EXDATE and a
// RECURRENCE-ID name the same instance.
QString rawTime(icaltimetype t) {
    return QString::asprintf("%04d%02d%02d", t.year, t.month, t.day) +
           (t.is_date ? QString() : QString::asprintf("T%02d%02d%02d", t.hour, t.minute, t.second));
}

// The system's zone for a TZID without a VTIMEZONE: an Olson name, or one behind a path some
// programs put before it ("/mozilla.org/20070129_1/America/New_York"), found by trying the name
// from each of its parts on. A name with a ".." part names no zone (it could lead out of the
// zone folder).
icaltimezone* systemZone(const char* tzid) {
    if (!tzid || limits::leavesZoneFolder(tzid))
        return nullptr;
    if (tzid[0] != '/')
        return icaltimezone_get_builtin_timezone(tzid);
    for (const char* at = std::strchr(tzid, '/'); at; at = std::strchr(at + 1, '/')) {
        if (at[1] != '\0' && at[1] != '/') {
            if (icaltimezone* zone = icaltimezone_get_builtin_timezone(at + 1))
                return zone;
        }
    }
    return nullptr;
}

// A time of an event's property with the zone its TZID names: libical resolves a TZID from the
// file's VTIMEZONE for DTSTART only; for the others it is looked up here, then among the system's
// zones.
icaltimetype zoned(icalcomponent* event, icalproperty* property, icaltimetype t) {
    icalparameter* tzid =
        property ? icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER) : nullptr;
    if (t.is_date || t.zone || !tzid)
        return t;
    const char* name = icalparameter_get_tzid(tzid);
    icalcomponent* calendar = icalcomponent_get_parent(event);
    icaltimezone* zone = calendar && name ? icalcomponent_get_timezone(calendar, name) : nullptr;
    if (!zone)
        zone = systemZone(name);
    if (zone)
        t = icaltime_set_timezone(&t, zone);
    return t;
}

// DTSTART with its zone.
icaltimetype startOf(icalcomponent* event) {
    return zoned(event, icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY),
                 icalcomponent_get_dtstart(event));
}

// How an occurrence, an EXDATE and a RECURRENCE-ID name the same instance, whatever zone each is
// written in: a date as written, a time with a zone (its own, else `zone`, the series') by its
// moment, a floating time as written.
QString instanceId(icaltimetype t, const icaltimezone* zone) {
    if (t.is_date)
        return rawTime(t);
    if (!t.zone)
        t.zone = zone;
    if (!t.zone)
        return rawTime(t);
    return QStringLiteral("@") + QString::number(icaltime_as_timet_with_zone(t, t.zone));
}

QString xValue(icalcomponent* component, const char* name) {
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_X_PROPERTY)) {
        if (qstricmp(icalproperty_get_x_name(p), name) == 0)
            return QString::fromUtf8(icalproperty_get_x(p)).trimmed();
    }
    return QString();
}

// The time an alarm rings on the start's date: the start moved by a trigger relative to it, or
// an absolute trigger's local time. Nothing when the trigger is relative to the end or lands on
// another date: the item keeps the start.
std::optional<QTime> alarmTime(icalcomponent* alarm, const LocalStart& start) {
    icalproperty* p = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
    if (!p)
        return start.time;
    const icaltriggertype trigger = icalproperty_get_trigger(p);
    QDateTime at;
    if (!icaltime_is_null_time(trigger.time)) {
        const icaltimetype t = trigger.time;
        at = t.zone || icaltime_is_utc(t) ? QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(
                                                t, t.zone ? t.zone : icaltimezone_get_utc_timezone()))
                                          : QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute));
    } else {
        icalparameter* related = icalproperty_get_first_parameter(p, ICAL_RELATED_PARAMETER);
        if (related && icalparameter_get_related(related) == ICAL_RELATED_END)
            return std::nullopt;
        at = QDateTime(start.date, start.time).addSecs(icaldurationtype_as_int(trigger.duration));
    }
    if (!at.isValid() || at.date() != start.date)
        return std::nullopt;
    return QTime(at.time().hour(), at.time().minute());
}

CalendarItem itemOf(icalcomponent* event, const LocalStart& start) {
    CalendarItem item;
    item.date = start.date;
    if (start.time.isValid()) {
        item.time = start.time.toString(QStringLiteral("HHmm"));
    } else if (start.timeUnusable) {
        item.timeDropped = true;
    } else {
        const QString raw = xValue(event, ical::kTimeProperty);
        if (raw.size() <= kMaxTimeText)
            item.time = raw;
    }
    const char* summary = icalcomponent_get_summary(event);
    const QString text = summary ? QString::fromUtf8(summary).trimmed() : QString();
    item.content = storedContent(text.isEmpty() ? messages::untitled() : text, &item.shortened);
    if (icalproperty* p = icalcomponent_get_first_property(event, ICAL_PRIORITY_PROPERTY))
        item.level = ical::levelOfPriority(icalproperty_get_priority(p));
    if (icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT)) {
        item.alarm = true;
        if (start.time.isValid()) {
            const std::optional<QTime> at = alarmTime(alarm, start);
            if (at)
                item.time = at->toString(QStringLiteral("HHmm"));
            item.alarmAtStart = !at;
        }
    }
    bool ok = false;
    const int slot = xValue(event, ical::kSlotProperty).toInt(&ok);
    item.preferredSlot = ok && slot >= 1 && slot <= store::kSlotCount ? slot : 0;
    return item;
}

QString uidOf(icalcomponent* event) {
    const char* uid = icalcomponent_get_uid(event);
    return uid ? QString::fromUtf8(uid) : QString();
}

// The key that tells one imported instance from another: UID and the instance's start as written.
QString itemKey(const QString& uid, const QString& rawStart) {
    return uid.isEmpty() ? QString() : uid + QLatin1Char('/') + rawStart;
}

// The recurring events of one file may take this many steps of libical's recurrence iterator,
// about two seconds of work: each call counts, and a call that searches for long (a rule that no
// date satisfies keeps the iterator searching, up to the year 20000, inside one call) also counts
// every kStepTime it spent past kLongCall. An ordinary call takes microseconds, also on a slow or
// busy machine, so the budget of an ordinary file does not depend on the machine's speed.
constexpr qint64 kMaxRecurrenceSteps = 1000000;
constexpr std::chrono::nanoseconds kStepTime{2000};
constexpr std::chrono::nanoseconds kLongCall{std::chrono::milliseconds(1)};
// ... and give this many occurrences within the range (which holds four items a day).
constexpr qint64 kMaxOccurrences = 20000;
constexpr qint64 kReportEvery = 256;

// The work of one import, bounded per file, and the progress shown for it.
struct ReadWork {
    ReadWork(const DateRange& range, Progress progress)
        : range(range), windowFirst(range.first.addDays(-2)), windowLast(range.last.addDays(2)),
          progress(std::move(progress)) {}

    // Moves the work on by `units`; false once the user has cancelled.
    bool advance(qint64 units) {
        done += units;
        if (done >= nextReport && progress) {
            nextReport = done + kReportEvery;
            cancelled = cancelled || !progress(std::min(done, total), total);
        }
        return !cancelled;
    }

    const DateRange range;
    // The range and two days either side: the local date of a time in any zone is within two days
    // of its date as written, so instances outside are passed over without converting them.
    const QDate windowFirst;
    const QDate windowLast;
    const Progress progress;
    qint64 stepsLeft = kMaxRecurrenceSteps;
    qint64 occurrencesLeft = kMaxOccurrences;
    qint64 done = 0;
    qint64 total = 0;
    qint64 nextReport = 0;
    bool overBudget = false;
    bool cancelled = false;
};

QDate dateOf(const icaltimetype& t) {
    return QDate(t.year, t.month, t.day);
}

// A number of seconds that grows with the time as written at least as fast as the real one, for
// estimates from differences: months count 31 days, years 372.
qint64 secondsOf(const icaltimetype& t) {
    const qint64 days = t.year * 372LL + t.month * 31LL + t.day;
    return days * 86400 + (t.is_date ? 0 : t.hour * 3600LL + t.minute * 60LL + t.second);
}

// How many times libical's iterator looks at to follow `rule` from `from` to `to`: the periods of
// its frequency between them, each with the finer times it expands into (BYSECOND, BYMINUTE,
// BYHOUR, and the BYDAY days of a week). At most one more than a file's budget.
qint64 candidatesOf(const icalrecurrencetype& rule, const icaltimetype& from, const icaltimetype& to) {
    static constexpr qint64 kPeriod[] = {1, 60, 3600, 86400, 7 * 86400, 28 * 86400, 365 * 86400};
    const qint64 span = std::max<qint64>(0, secondsOf(to) - secondsOf(from));
    qint64 n = std::min(span / (kPeriod[rule.freq] * std::max<qint64>(1, rule.interval)) + 1,
                        kMaxRecurrenceSteps + 1);
    const auto times = [&n](int values) { n = std::min(n * std::max(1, values), kMaxRecurrenceSteps + 1); };
    if (rule.freq > ICAL_SECONDLY_RECURRENCE)
        times(limits::countOf(rule.by_second));
    if (rule.freq > ICAL_MINUTELY_RECURRENCE)
        times(limits::countOf(rule.by_minute));
    if (rule.freq > ICAL_HOURLY_RECURRENCE)
        times(limits::countOf(rule.by_hour));
    if (rule.freq == ICAL_WEEKLY_RECURRENCE)
        times(limits::countOf(rule.by_day));
    return n;
}

// A rule as the import follows it: from DTSTART as written, without its zone (libical follows
// rules in the event's own time), with an UNTIL in UTC turned into that time, and ending at the
// end of the window at the latest, so that a rule no date satisfies stops searching there.
struct RulePlan {
    icalrecurrencetype rule;
    icaltimetype start;
    qint64 steps = 0; // what following it is expected to take; 0 when no instance can be in the range
};

RulePlan planRule(icalproperty* property, const icaltimetype& start, const ReadWork& work) {
    RulePlan plan{icalproperty_get_rrule(property), start, 0};
    plan.start.zone = nullptr;
    icalrecurrencetype& rule = plan.rule;
    if (rule.freq == ICAL_NO_RECURRENCE || !limits::hasSuchDay(rule) || dateOf(start) > work.windowLast)
        return plan;
    if (!icaltime_is_null_time(rule.until)) {
        if (icaltime_is_utc(rule.until) && start.zone && !start.is_date)
            rule.until = icaltime_convert_to_zone(rule.until, const_cast<icaltimezone*>(start.zone));
        rule.until.zone = nullptr;
        if (dateOf(rule.until) < work.windowFirst)
            return plan;
    }
    if (icaltime_is_null_time(rule.until) || dateOf(rule.until) > work.windowLast) {
        rule.until = start.is_date ? icaltime_null_date() : icaltime_null_time();
        rule.until.year = work.windowLast.year();
        rule.until.month = work.windowLast.month();
        rule.until.day = work.windowLast.day();
        if (!start.is_date) {
            rule.until.hour = 23;
            rule.until.minute = 59;
            rule.until.second = 59;
        }
    }
    plan.steps = candidatesOf(rule, plan.start, rule.until);
    // A rule with COUNT ends after that many instances, one iterator call each, however far the
    // range reaches; a call that takes long is charged for its time as it runs.
    if (rule.count > 0)
        plan.steps = std::min<qint64>(plan.steps, rule.count);
    return plan;
}

struct IteratorDeleter {
    void operator()(icalrecur_iterator* it) const { icalrecur_iterator_free(it); }
};

// Follows a planned rule and hands `occurrence` every instance from the window's first day on, in
// `zone`. Steps beyond the planned ones come out of the file's budget. False when the budget runs
// out, the user cancels or `occurrence` stops.
template <typename Occurrence>
bool followRule(const RulePlan& plan, const icaltimezone* zone, ReadWork& work, Occurrence& occurrence) {
    if (plan.steps == 0)
        return true;
    using Clock = std::chrono::steady_clock;
    qint64 planned = plan.steps;
    // A call costs a step, and one more for every kStepTime it took past kLongCall.
    const auto charge = [&](Clock::time_point began) {
        const qint64 cost = 1 + std::max<qint64>(0, (Clock::now() - began - kLongCall) / kStepTime);
        const qint64 unplanned = std::max<qint64>(0, cost - planned);
        planned -= cost - unplanned;
        work.stepsLeft -= unplanned;
        work.overBudget = work.overBudget || work.stepsLeft < 0;
        return !work.overBudget && work.advance(cost);
    };
    Clock::time_point began = Clock::now();
    const std::unique_ptr<icalrecur_iterator, IteratorDeleter> it(
        icalrecur_iterator_new(plan.rule, plan.start));
    if (!charge(began))
        return false;
    while (it) {
        began = Clock::now();
        icaltimetype t = icalrecur_iterator_next(it.get());
        if (!charge(began))
            return false;
        if (icaltime_is_null_time(t) || dateOf(t) > work.windowLast)
            break;
        if (dateOf(t) < work.windowFirst)
            continue;
        t.zone = zone;
        if (!occurrence(t))
            return false;
    }
    return work.advance(planned);
}

// Whether an event is expanded by its rules and RDATEs: a recurring one, not cancelled, that does
// not replace an instance of another.
bool expands(icalcomponent* ev) {
    return icalcomponent_get_status(ev) != ICAL_STATUS_CANCELLED &&
           !icalcomponent_get_first_property(ev, ICAL_RECURRENCEID_PROPERTY) &&
           (icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY) ||
            icalcomponent_get_first_property(ev, ICAL_RDATE_PROPERTY));
}

// Counts the work ahead (a unit for every event, RDATE and ToDo, and the steps every rule is
// expected to take) and takes the rules' steps from the file's budget. False when they are more
// than a file may take (work.overBudget) or the user cancels.
bool planImport(const std::vector<icalcomponent*>& calendars, qint64 todos, ReadWork& work) {
    qint64 events = 0;
    for (icalcomponent* cal : calendars)
        events += icalcomponent_count_components(cal, ICAL_VEVENT_COMPONENT);
    // The events are gone through twice: here, then to import them.
    work.total = 2 * events + todos;
    for (icalcomponent* cal : calendars) {
        for (icalcomponent* ev = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); ev;
             ev = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT)) {
            if (!work.advance(1))
                return false;
            if (!expands(ev))
                continue;
            const icaltimetype start = startOf(ev);
            for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_ANY_PROPERTY); p;
                 p = icalcomponent_get_next_property(ev, ICAL_ANY_PROPERTY)) {
                const qint64 steps = icalproperty_isa(p) == ICAL_RRULE_PROPERTY
                                         ? planRule(p, start, work).steps
                                     : icalproperty_isa(p) == ICAL_RDATE_PROPERTY ? 1
                                                                                  : 0;
                work.stepsLeft -= steps;
                work.total += steps;
            }
            if (work.stepsLeft < 0) {
                work.overBudget = true;
                return false;
            }
        }
    }
    return true;
}

// The instances that an event's EXDATEs remove: by instanceId(), and a date alone also as its
// date followed by "*" (it removes every instance on that date).
QSet<QString> excludedOf(icalcomponent* ev, const icaltimezone* zone) {
    QSet<QString> excluded;
    for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(ev, ICAL_EXDATE_PROPERTY)) {
        const icaltimetype t = zoned(ev, p, icalproperty_get_exdate(p));
        excluded.insert(instanceId(t, zone));
        if (t.is_date)
            excluded.insert(rawTime(t).left(8) + QStringLiteral("*"));
    }
    return excluded;
}

// The instances of one recurring event within the range, handed to `add`: its rules and RDATEs,
// less its EXDATEs and the instances that a RECURRENCE-ID component replaces.
class Occurrences {
  public:
    Occurrences(icalcomponent* ev, const QString& uid, const icaltimetype& start,
                const QSet<QString>& replaced, ReadWork& work, const ItemReader::Sink& add)
        : ev_(ev), uid_(uid), start_(start), replaced_(replaced), work_(work), add_(add),
          excluded_(excludedOf(ev, start.zone)) {}

    // Hands every instance to `add`. False when the work stops.
    bool addAll() {
        // Taken first: reading an instance's properties moves the event's property iterator.
        std::vector<icalproperty*> rules;
        std::vector<icalproperty*> dates;
        for (icalproperty* p = icalcomponent_get_first_property(ev_, ICAL_ANY_PROPERTY); p;
             p = icalcomponent_get_next_property(ev_, ICAL_ANY_PROPERTY)) {
            if (icalproperty_isa(p) == ICAL_RRULE_PROPERTY)
                rules.push_back(p);
            else if (icalproperty_isa(p) == ICAL_RDATE_PROPERTY)
                dates.push_back(p);
        }
        // DTSTART is the first instance, also when the rules would not give it; a rule that does
        // gives it again, and it is taken once.
        if (!(*this)(start_))
            return false;
        for (icalproperty* p : rules) {
            if (!followRule(planRule(p, start_, work_), start_.zone, work_, *this))
                return false;
        }
        for (icalproperty* p : dates) {
            if (!work_.advance(1))
                return false;
            const icaldatetimeperiodtype rdate = icalproperty_get_rdate(p);
            const icaltimetype t = icaltime_is_null_time(rdate.time) ? rdate.period.start : rdate.time;
            if (!icaltime_is_null_time(t) && !(*this)(t))
                return false;
        }
        return true;
    }

    // One instance as written: added unless it is outside the range, removed, replaced or
    // already taken. False when the work stops.
    bool operator()(icaltimetype t) {
        t.zone = start_.zone;
        const QDate written = dateOf(t);
        if (written < work_.windowFirst || written > work_.windowLast)
            return true;
        const QString raw = rawTime(t);
        const QString id = instanceId(t, start_.zone);
        if (excluded_.contains(id) || excluded_.contains(raw.left(8) + QStringLiteral("*")) ||
            replaced_.contains(uid_ + QLatin1Char('/') + id) || taken_.contains(raw))
            return true;
        const LocalStart local = localStart(t);
        if (local.date < work_.range.first || local.date > work_.range.last)
            return true;
        taken_.insert(raw);
        if (--work_.occurrencesLeft < 0) {
            work_.overBudget = true;
            return false;
        }
        CalendarItem item = instanceOf(local);
        item.key = itemKey(uid_, raw);
        return add_(std::move(item));
    }

  private:
    // itemOf reads the event's properties, which may be very many: it runs once for each kind of
    // start (a clock time, a date, a time no clock shows), and every instance takes that item with
    // its own date and clock time.
    CalendarItem instanceOf(const LocalStart& local) {
        std::optional<CalendarItem>& kind = kinds_[local.time.isValid() ? 0 : local.timeUnusable ? 1 : 2];
        if (!kind)
            kind = itemOf(ev_, local);
        CalendarItem item = *kind;
        item.date = local.date;
        if (local.time.isValid())
            item.time = local.time.toString(QStringLiteral("HHmm"));
        return item;
    }

    icalcomponent* const ev_;
    const QString& uid_;
    const icaltimetype start_;
    const QSet<QString>& replaced_;
    ReadWork& work_;
    const ItemReader::Sink& add_;
    const QSet<QString> excluded_;
    QSet<QString> taken_; // an RDATE that repeats a rule's occurrence adds nothing
    std::array<std::optional<CalendarItem>, 3> kinds_;
};

// The instances that RECURRENCE-ID components replace, as UID, "/" and instanceId().
QSet<QString> replacedInstances(const std::vector<icalcomponent*>& calendars) {
    QSet<QString> replaced;
    for (icalcomponent* cal : calendars)
        forEachComponent(cal, ICAL_VEVENT_COMPONENT, [&](icalcomponent* ev) {
            if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_RECURRENCEID_PROPERTY))
                replaced.insert(uidOf(ev) + QLatin1Char('/') +
                                instanceId(zoned(ev, p, icalproperty_get_recurrenceid(p)), startOf(ev).zone));
        });
    return replaced;
}

// Hands `add` every item of the calendars in the order of the file (see ItemReader::forEachItem).
bool forEachItemOf(const std::vector<icalcomponent*>& calendars, ReadWork& work,
                   const ItemReader::Sink& add) {
    const QSet<QString> replaced = replacedInstances(calendars);
    for (icalcomponent* cal : calendars) {
        for (icalcomponent* ev = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); ev;
             ev = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT)) {
            if (!work.advance(1))
                return false;
            if (icalcomponent_get_status(ev) == ICAL_STATUS_CANCELLED)
                continue;
            const QString uid = uidOf(ev);
            const icaltimetype start = startOf(ev);
            if (expands(ev)) {
                if (!Occurrences(ev, uid, start, replaced, work, add).addAll())
                    return false;
                continue;
            }
            icalproperty* recurrenceId = icalcomponent_get_first_property(ev, ICAL_RECURRENCEID_PROPERTY);
            CalendarItem item = itemOf(ev, localStart(start));
            item.key =
                itemKey(uid, rawTime(recurrenceId ? icalproperty_get_recurrenceid(recurrenceId) : start));
            if (!add(std::move(item)))
                return false;
        }
    }
    return true;
}

QStringList todosOf(const std::vector<icalcomponent*>& calendars) {
    QStringList todos;
    for (icalcomponent* cal : calendars)
        forEachComponent(cal, ICAL_VTODO_COMPONENT, [&](icalcomponent* todo) {
            const char* summary = icalcomponent_get_summary(todo);
            const QString text = summary ? QString::fromUtf8(summary).trimmed() : QString();
            if (!text.isEmpty())
                todos << text;
        });
    return todos;
}

} // namespace

struct ItemReader::Work : ReadWork {
    using ReadWork::ReadWork;
};

ItemReader::ItemReader(const Calendar& calendar, const DateRange& range, const Progress& progress)
    : calendar_(calendar), todos_(todosOf(CalendarAccess::calendars(calendar))),
      work_(std::make_unique<Work>(range, progress)) {}

ItemReader::~ItemReader() = default;

bool ItemReader::plan() {
    return planImport(CalendarAccess::calendars(calendar_), todos_.size(), *work_);
}

bool ItemReader::forEachItem(const Sink& add) {
    return forEachItemOf(CalendarAccess::calendars(calendar_), *work_, add);
}

bool ItemReader::advance(qint64 units) {
    return work_->advance(units);
}

bool ItemReader::finish() {
    if (work_->progress && !work_->progress(work_->total, work_->total))
        work_->cancelled = true;
    return !work_->cancelled;
}

bool ItemReader::cancelled() const {
    return work_->cancelled;
}

bool ItemReader::overBudget() const {
    return work_->overBudget;
}

} // namespace exchange
