#include "exchange/Ical.h"

#include "exchange/IcalDiagnostics.h"
#include "exchange/Messages.h"
#include "platform/ExportTarget.h"
#include "store/DataControl.h"
#include "store/DayRecords.h"
#include "store/ItemImport.h"
#include "store/ScheduleFile.h"
#include "store/ScheduleLayout.h"

#include <libical/ical.h>
#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace exchange {

namespace {

struct ComponentDeleter {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

// A string libical allocated with malloc (the *_r functions).
struct MallocDeleter {
    void operator()(char* text) const { std::free(text); }
};
using IcalText = std::unique_ptr<char, MallocDeleter>;

const char* const kSlotProperty = "X-DADUVOV-SLOT";
// The time text of a record whose time is no clock time ("930", "12:00"), kept for a round trip.
const char* const kTimeProperty = "X-DADUVOV-TIME";
const char* const kUidDomain = "@daduvov";

constexpr int kMaxContent = store::kContentWidth;
constexpr int kMaxTimeText = store::kTimeWidth;
// A recurrence rule is followed at most this many steps, so that a rule that runs every second
// for a century cannot hold the import.
constexpr int kMaxRecurrenceSteps = 200000;
constexpr qint64 kProgressEvery = 1024;

QString oneLine(const store::Error& error) {
    return store::describe(error).replace(QLatin1Char('\n'), QLatin1String(": "));
}

// "2026/1/5" -> the date; invalid for anything else.
QDate parseDateString(const char* text, int length) {
    int parts[3] = {0, 0, 0};
    int part = 0;
    int digits = 0;
    for (int i = 0; i < length; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9' && digits < 5) {
            parts[part] = parts[part] * 10 + (c - '0');
            ++digits;
        } else if (c == '/' && digits > 0 && part < 2) {
            ++part;
            digits = 0;
        } else {
            return {};
        }
    }
    if (part != 2 || digits == 0)
        return {};
    return QDate(parts[0], parts[1], parts[2]);
}

// Minutes after midnight of a time text of four digits HHMM, or -1.
int clockMinutes(const char* text, int length) {
    if (length != 4)
        return -1;
    for (int i = 0; i < 4; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
    }
    const int hours = (text[0] - '0') * 10 + (text[1] - '0');
    const int minutes = (text[2] - '0') * 10 + (text[3] - '0');
    if (hours > 23 || minutes > 59)
        return -1;
    return hours * 60 + minutes;
}

icaltimetype icalDate(const QDate& date) {
    icaltimetype t = icaltime_null_date();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    return t;
}

// Floating local time: the schedule book's times have no time zone of their own.
icaltimetype icalDateTime(const QDate& date, int minutes) {
    icaltimetype t = icaltime_null_time();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    t.hour = minutes / 60;
    t.minute = minutes % 60;
    return t;
}

void addX(icalcomponent* component, const char* name, const char* value) {
    icalproperty* property = icalproperty_new_x(value);
    icalproperty_set_x_name(property, name);
    icalcomponent_add_property(component, property);
}

// Level 1..5 -> PRIORITY 1, 3, 5, 7, 9; and back (0 and anything else: no level).
int priorityOfLevel(int level) {
    return level >= 1 && level <= 5 ? level * 2 - 1 : 0;
}
int levelOfPriority(int priority) {
    return priority >= 1 && priority <= 9 ? (priority + 1) / 2 : 0;
}

bool writeComponent(QSaveFile& file, icalcomponent* component) {
    const IcalText text(icalcomponent_as_ical_string_r(component));
    return text && file.write(text.get()) >= 0;
}

// The number of rows a count query gives, or why it could not be read.
store::Result<qint64> countRows(store::Connection& connection, const QString& sql) {
    store::Error error;
    store::Statement* statement = connection.prepare(sql, &error);
    if (!statement)
        return error;
    const int rc = sqlite3_step(statement->get());
    const store::Result<qint64> count = rc == SQLITE_ROW
                                            ? store::Result<qint64>(sqlite3_column_int64(statement->get(), 0))
                                            : store::Result<qint64>(connection.lastError());
    statement->reset();
    return count;
}

// 20260105-1@daduvov for slot 1 of 5 January 2026; 20260105-1-2@daduvov for the third row of that
// date and slot.
QByteArray uidText(const QDate& date, int slot, int repeat) {
    char text[64];
    if (repeat > 0)
        std::snprintf(text, sizeof text, "%04d%02d%02d-%d-%d%s", date.year(), date.month(), date.day(), slot,
                      repeat, kUidDomain);
    else
        std::snprintf(text, sizeof text, "%04d%02d%02d-%d%s", date.year(), date.month(), date.day(), slot,
                      kUidDomain);
    return QByteArray(text);
}

} // namespace

namespace {

// A whole number from `low` to `high` in a REAL column, else 0.
int wholeInRange(sqlite3_stmt* stmt, int column, int low, int high) {
    const double value = sqlite3_column_double(stmt, column);
    return sqlite3_column_type(stmt, column) != SQLITE_NULL && value >= low && value <= high &&
                   value == static_cast<int>(value)
               ? static_cast<int>(value)
               : 0;
}

// The VEVENT of one Day record row (年月日, 項目番号, レベル, 内容, アラーム, 時刻), or nothing for a
// row without content or without a readable date (counted in `undated`). `seen` counts the rows
// per date and slot so far, so that a repeated pair gets a UID of its own.
ComponentPtr eventOfRow(sqlite3_stmt* stmt, const icaltimetype& stamp, QHash<qint64, int>& seen,
                        qint64& undated) {
    const auto* content = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3));
    if (!content || !*content)
        return nullptr;
    const auto* dateText = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    const QDate date = dateText ? parseDateString(dateText, sqlite3_column_bytes(stmt, 0)) : QDate();
    if (!date.isValid()) {
        ++undated;
        return nullptr;
    }
    const int slot = wholeInRange(stmt, 1, 1, 4);
    const int level = wholeInRange(stmt, 2, 1, 5);
    const auto* alarm = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 4));
    const auto* timeText = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 5));
    const int timeLength = sqlite3_column_bytes(stmt, 5);
    const int minutes = timeText ? clockMinutes(timeText, timeLength) : -1;

    ComponentPtr event(icalcomponent_new_vevent());
    icalcomponent* ev = event.get();
    const int repeat = seen[date.toJulianDay() * 8 + slot]++;
    icalcomponent_add_property(ev, icalproperty_new_uid(uidText(date, slot, repeat).constData()));
    icalcomponent_add_property(ev, icalproperty_new_dtstamp(stamp));
    if (minutes >= 0) {
        icalcomponent_add_property(ev, icalproperty_new_dtstart(icalDateTime(date, minutes)));
        const int endMinutes = minutes + 30;
        icalcomponent_add_property(
            ev, icalproperty_new_dtend(icalDateTime(date.addDays(endMinutes / 1440), endMinutes % 1440)));
    } else {
        icalcomponent_add_property(ev, icalproperty_new_dtstart(icalDate(date)));
        icalcomponent_add_property(ev, icalproperty_new_dtend(icalDate(date.addDays(1))));
    }
    icalcomponent_add_property(ev, icalproperty_new_summary(content));
    icalcomponent_add_property(ev, icalproperty_new_priority(priorityOfLevel(level)));
    if (slot > 0) {
        const char digit[2] = {static_cast<char>('0' + slot), '\0'};
        addX(ev, kSlotProperty, digit);
    }
    if (minutes < 0 && timeText && timeLength > 0 && QByteArray(timeText, timeLength) != "####")
        addX(ev, kTimeProperty, timeText);
    if (alarm && QString::fromUtf8(alarm) == store::kAlarmOn) {
        icaltriggertype trigger{};
        trigger.time = icaltime_null_time();
        trigger.duration = icaldurationtype_null_duration();
        icalcomponent_add_component(
            ev, icalcomponent_vanew(ICAL_VALARM_COMPONENT, icalproperty_new_action(ICAL_ACTION_DISPLAY),
                                    icalproperty_new_description(content), icalproperty_new_trigger(trigger),
                                    static_cast<void*>(nullptr)));
    }
    return event;
}

// The VTODO of one ToDo entry, or nothing for an empty one. The UID follows from the text, so the
// same entry keeps its UID across exports; `repeats` tells entries with the same text apart.
ComponentPtr todoOfRow(sqlite3_stmt* stmt, const icaltimetype& stamp, QHash<QByteArray, int>& repeats) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    if (!text || !*text)
        return nullptr;
    const QByteArray hash = QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex().left(20);
    const int repeat = repeats[hash]++;
    const QByteArray uid =
        "todo-" + hash + (repeat > 0 ? "-" + QByteArray::number(repeat) : QByteArray()) + kUidDomain;
    return ComponentPtr(icalcomponent_vanew(ICAL_VTODO_COMPONENT, icalproperty_new_uid(uid.constData()),
                                            icalproperty_new_dtstamp(stamp), icalproperty_new_summary(text),
                                            static_cast<void*>(nullptr)));
}

// Rows in the order the table holds them: by their address, or as they come when they have none
// (a view).
store::Result<QString> inTableOrder(store::Connection& connection, const QString& table) {
    QString address;
    if (store::Error error = connection.rowAddress(table, &address))
        return error;
    return address.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + address;
}

// Writes one component per row of `sql`, made by `componentOf` (nothing for a row it skips).
// Returns false, with the failure or the cancel in `result`, when the export must stop.
template <typename ComponentOf>
bool writeRows(store::Connection& connection, const QString& sql, QSaveFile& file, qint64& done, qint64 total,
               const Progress& progress, IcsExport& result, qint64& written, ComponentOf&& componentOf) {
    store::Error error;
    store::Statement* rows = connection.prepare(sql, &error);
    if (!rows) {
        result.failure = oneLine(error);
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(rows->get())) == SQLITE_ROW) {
        if (++done % kProgressEvery == 0 && progress && !progress(done, total)) {
            rows->reset();
            result.cancelled = true;
            return false;
        }
        const ComponentPtr component = componentOf(rows->get());
        if (!component)
            continue;
        if (!writeComponent(file, component.get()))
            break;
        ++written;
    }
    rows->reset();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        result.failure = oneLine(connection.lastError());
        return false;
    }
    return true;
}

// The calendar's own lines from libical, all but its END line.
QByteArray calendarHead() {
    const ComponentPtr calendar(icalcomponent_vanew(ICAL_VCALENDAR_COMPONENT, icalproperty_new_version("2.0"),
                                                    icalproperty_new_prodid("-//Daduvov//Daduvov 1.0//JA"),
                                                    icalproperty_new_calscale("GREGORIAN"),
                                                    static_cast<void*>(nullptr)));
    const IcalText calendarText(icalcomponent_as_ical_string_r(calendar.get()));
    QByteArray head(calendarText.get());
    head.chop(QByteArrayLiteral("END:VCALENDAR\r\n").size());
    return head;
}

} // namespace

IcsExport exportIcs(const QString& schedulePath, const QString& icsPath, const Progress& progress) {
    IcsExport result;
    const platform::ExportTarget target = platform::checkExportTarget(icsPath, schedulePath);
    if (!target.refusal.isEmpty()) {
        result.failure = messages::cannotWrite(icsPath, target.refusal);
        return result;
    }
    store::DataControl data;
    data.setDatabaseName(schedulePath);
    if (const store::Error error = data.openDatabase()) {
        result.failure = oneLine(error);
        return result;
    }
    store::Connection* connection = data.connection();
    // The rows are read by one statement that lives as long as the export; the progress dialog
    // keeps the window going and can cancel, so the limit for a single query does not apply.
    connection->setWorkLimit(store::Connection::kWorkWithProgress);
    qint64 total = 0;
    for (const QString& table : {store::kDayTable, store::kTodoTable}) {
        const store::Result<qint64> count =
            countRows(*connection, QStringLiteral("SELECT count(*) FROM %1").arg(table));
        if (!count.ok()) {
            result.failure = oneLine(count.error());
            return result;
        }
        total += count.value();
    }

    QSaveFile file(target.path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.failure = messages::cannotWrite(icsPath, file.errorString());
        return result;
    }
    file.write(calendarHead());
    const icaltimetype stamp =
        icaltime_from_timet_with_zone(QDateTime::currentSecsSinceEpoch(), 0, icaltimezone_get_utc_timezone());
    const store::Result<QString> dayOrder = inTableOrder(*connection, store::kDayTable);
    const store::Result<QString> todoOrder = inTableOrder(*connection, store::kTodoTable);
    for (const store::Result<QString>* order : {&dayOrder, &todoOrder}) {
        if (!order->ok()) {
            file.cancelWriting();
            result.failure = oneLine(order->error());
            return result;
        }
    }
    QHash<qint64, int> seen;
    QHash<QByteArray, int> todoRepeats;
    qint64 done = 0;
    const bool written =
        writeRows(*connection,
                  QStringLiteral("SELECT 年月日, 項目番号, レベル, 内容, アラーム, 時刻 FROM 予定表") +
                      dayOrder.value(),
                  file, done, total, progress, result, result.events,
                  [&](sqlite3_stmt* stmt) { return eventOfRow(stmt, stamp, seen, result.undated); }) &&
        writeRows(*connection, QStringLiteral("SELECT やるべき事 FROM ToDoリスト") + todoOrder.value(), file,
                  done, total, progress, result, result.todos,
                  [&](sqlite3_stmt* stmt) { return todoOfRow(stmt, stamp, todoRepeats); });
    if (!written) {
        file.cancelWriting();
        return result;
    }
    file.write(QByteArrayLiteral("END:VCALENDAR\r\n"));
    if (progress)
        progress(total, total);
    if (!file.commit())
        result.failure = messages::cannotWrite(icsPath, file.errorString());
    return result;
}

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

// ---- import -------------------------------------------------------------------------------------

namespace {

// A stored content as an import would store it, so that an item exported and imported again is
// found as the one already there, whatever line breaks, tabs or outer blanks it holds.
QString comparableContent(const QString& stored) {
    return storedContent(stored.trimmed(), nullptr);
}

} // namespace

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

template <typename F> void forEachComponent(icalcomponent* parent, icalcomponent_kind kind, F&& f) {
    for (icalcomponent* c = icalcomponent_get_first_component(parent, kind); c;
         c = icalcomponent_get_next_component(parent, kind))
        f(c);
}

} // namespace

Calendar Calendar::read(const QString& path) {
    QFile file(path);
    Calendar calendar;
    if (!file.open(QIODevice::ReadOnly)) {
        calendar.failure_ = messages::cannotRead(path, file.errorString());
        return calendar;
    }
    constexpr qint64 kMaxBytes = 256 * 1024 * 1024;
    if (file.size() > kMaxBytes) {
        calendar.failure_ = messages::tooLarge(path);
        return calendar;
    }
    return parse(file.readAll());
}

Calendar Calendar::parse(const QByteArray& input) {
    Calendar calendar;
    QByteArray text = input;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(text);
    if (utf8.hasError()) {
        calendar.failure_ = messages::notUtf8();
        return calendar;
    }
    // An error in the file must never end the program.
    icalerror_set_errors_are_fatal(0);
    icalerror_clear_errno();
    IcalDiagnostics diagnostics;
    ComponentPtr root(text.isEmpty() ? nullptr : icalparser_parse_string(text.constData()));
    if (const QString complaint = diagnostics.finish(); !complaint.isEmpty()) {
        calendar.failure_ = messages::brokenICalendar(complaint);
        return calendar;
    }
    std::vector<icalcomponent*> calendars;
    if (root && icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT)
        calendars.push_back(root.get());
    else if (root && icalcomponent_isa(root.get()) == ICAL_XROOT_COMPONENT)
        forEachComponent(root.get(), ICAL_VCALENDAR_COMPONENT,
                         [&](icalcomponent* c) { calendars.push_back(c); });
    if (calendars.empty()) {
        calendar.failure_ = messages::notICalendar();
        return calendar;
    }
    if (icalcomponent_count_errors(root.get()) > 0) {
        calendar.failure_ = messages::brokenICalendar(firstError(root.get()));
        return calendar;
    }
    for (icalcomponent* cal : calendars) {
        bool missingStart = false;
        forEachComponent(cal, ICAL_VEVENT_COMPONENT, [&](icalcomponent* ev) {
            missingStart = missingStart || icaltime_is_null_time(icalcomponent_get_dtstart(ev));
        });
        if (missingStart) {
            calendar.failure_ = messages::brokenICalendar(QStringLiteral("DTSTART がない VEVENT があります"));
            return calendar;
        }
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

// One item to add: an event or one occurrence of a recurring event.
struct Incoming {
    QDate date;
    QString time; // "HHMM"; empty for an all-day event
    QString content;
    bool shortened = false;
    int level = 0;
    bool alarm = false;
    int preferredSlot = 0;
    QString key;               // UID and occurrence; empty without a UID
    bool timeDropped = false;  // the start's clock time was unusable: the item has no time
    bool alarmAtStart = false; // the alarm's trigger gives no time on the start's date
};

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

// DTSTART with its zone: libical resolves a TZID from the file's VTIMEZONE; a TZID that is only
// an Olson name without VTIMEZONE is taken from the system's zones.
icaltimetype startOf(icalcomponent* event) {
    icaltimetype t = icalcomponent_get_dtstart(event);
    if (!t.is_date && !t.zone) {
        icalproperty* p = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
        icalparameter* tzid = p ? icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER) : nullptr;
        if (tzid) {
            if (icaltimezone* zone = icaltimezone_get_builtin_timezone(icalparameter_get_tzid(tzid)))
                t = icaltime_set_timezone(&t, zone);
        }
    }
    return t;
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

Incoming itemOf(icalcomponent* event, const LocalStart& start) {
    Incoming item;
    item.date = start.date;
    if (start.time.isValid()) {
        item.time = start.time.toString(QStringLiteral("HHmm"));
    } else if (start.timeUnusable) {
        item.timeDropped = true;
    } else {
        const QString raw = xValue(event, kTimeProperty);
        if (raw.size() <= kMaxTimeText)
            item.time = raw;
    }
    const char* summary = icalcomponent_get_summary(event);
    const QString text = summary ? QString::fromUtf8(summary).trimmed() : QString();
    item.content = storedContent(text.isEmpty() ? messages::untitled() : text, &item.shortened);
    if (icalproperty* p = icalcomponent_get_first_property(event, ICAL_PRIORITY_PROPERTY))
        item.level = levelOfPriority(icalproperty_get_priority(p));
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
    const int slot = xValue(event, kSlotProperty).toInt(&ok);
    item.preferredSlot = ok && slot >= 1 && slot <= 4 ? slot : 0;
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

// The instances of one recurring event within the range: its rules and RDATEs, less its EXDATEs
// and the instances that a RECURRENCE-ID component replaces.
void addOccurrences(icalcomponent* ev, const QString& uid, const icaltimetype& start,
                    const QSet<QString>& replaced, const DateRange& range, std::vector<Incoming>& items) {
    QSet<QString> excluded;
    for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(ev, ICAL_EXDATE_PROPERTY)) {
        const icaltimetype t = icalproperty_get_exdate(p);
        excluded.insert(rawTime(t));
        if (t.is_date)
            excluded.insert(rawTime(t).left(8) + QStringLiteral("*"));
    }
    QSet<QString> taken; // an RDATE that repeats a rule's occurrence adds nothing
    const auto occurrence = [&](icaltimetype t) {
        t.zone = start.zone;
        const QString raw = rawTime(t);
        if (excluded.contains(raw) || excluded.contains(raw.left(8) + QStringLiteral("*")) ||
            replaced.contains(uid + QLatin1Char('/') + raw) || taken.contains(raw))
            return;
        const LocalStart local = localStart(t);
        if (local.date < range.first || local.date > range.last)
            return;
        taken.insert(raw);
        Incoming item = itemOf(ev, local);
        item.key = itemKey(uid, raw);
        items.push_back(std::move(item));
    };
    if (!icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY))
        occurrence(start); // DTSTART is an instance of its own beside the RDATEs
    for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY); p;
         p = icalcomponent_get_next_property(ev, ICAL_RRULE_PROPERTY)) {
        icalrecur_iterator* it = icalrecur_iterator_new(icalproperty_get_rrule(p), start);
        if (!it)
            continue;
        int steps = 0;
        for (icaltimetype t = icalrecur_iterator_next(it);
             !icaltime_is_null_time(t) && steps < kMaxRecurrenceSteps;
             t = icalrecur_iterator_next(it), ++steps) {
            t.zone = start.zone;
            if (localStart(t).date > range.last)
                break;
            occurrence(t);
        }
        icalrecur_iterator_free(it);
    }
    for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_RDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(ev, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype rdate = icalproperty_get_rdate(p);
        const icaltimetype t = icaltime_is_null_time(rdate.time) ? rdate.period.start : rdate.time;
        if (!icaltime_is_null_time(t))
            occurrence(t);
    }
}

// Every item of the calendars: single events as they are, recurring ones expanded within the
// range, instances that a RECURRENCE-ID component replaces or an EXDATE removes left out.
std::vector<Incoming> itemsOf(const std::vector<icalcomponent*>& calendars, const DateRange& range) {
    std::vector<Incoming> items;
    QSet<QString> replaced;
    for (icalcomponent* cal : calendars)
        forEachComponent(cal, ICAL_VEVENT_COMPONENT, [&](icalcomponent* ev) {
            if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_RECURRENCEID_PROPERTY))
                replaced.insert(uidOf(ev) + QLatin1Char('/') + rawTime(icalproperty_get_recurrenceid(p)));
        });

    for (icalcomponent* cal : calendars)
        forEachComponent(cal, ICAL_VEVENT_COMPONENT, [&](icalcomponent* ev) {
            if (icalcomponent_get_status(ev) == ICAL_STATUS_CANCELLED)
                return;
            const QString uid = uidOf(ev);
            const icaltimetype start = startOf(ev);
            icalproperty* recurrenceId = icalcomponent_get_first_property(ev, ICAL_RECURRENCEID_PROPERTY);
            const bool recurring =
                !recurrenceId && (icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY) ||
                                  icalcomponent_get_first_property(ev, ICAL_RDATE_PROPERTY));
            if (recurring) {
                addOccurrences(ev, uid, start, replaced, range, items);
                return;
            }
            Incoming item = itemOf(ev, localStart(start));
            item.key =
                itemKey(uid, rawTime(recurrenceId ? icalproperty_get_recurrenceid(recurrenceId) : start));
            items.push_back(std::move(item));
        });
    return items;
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

ImportReport importCalendar(const Calendar& calendar, const QString& schedulePath, const DateRange& range,
                            const Progress& progress) {
    ImportReport report;
    if (!calendar.failure().isEmpty()) {
        report.failure = calendar.failure();
        return report;
    }
    const std::vector<Incoming> items = itemsOf(CalendarAccess::calendars(calendar), range);
    const QStringList todos = todosOf(CalendarAccess::calendars(calendar));
    const qint64 total = static_cast<qint64>(items.size()) + todos.size();

    store::ItemImport file;
    const auto fail = [&](const store::Error& failure) {
        file.rollback();
        if (!report.cancelled)
            report.failure = oneLine(failure);
        report.added = report.todosAdded = report.duplicates = report.shortened = report.timesDropped =
            report.alarmsAtStart = 0;
        report.fullDates.clear();
        return report;
    };
    const auto cancelled = [&](qint64 done) {
        if (done % 64 != 0 || !progress || progress(done, total))
            return false;
        report.cancelled = true;
        return true;
    };
    if (store::Error error = file.begin(schedulePath))
        return fail(error);

    qint64 done = 0;
    for (const Incoming& item : items) {
        if (cancelled(++done))
            return fail({});
        if (!item.key.isEmpty()) {
            const store::Result<bool> known = file.knownKey(item.key);
            if (!known.ok())
                return fail(known.error());
            if (known.value()) {
                ++report.duplicates;
                continue;
            }
        }
        const store::Result<store::ItemImport::DateItems> stored = file.dateItems(item.date);
        if (!stored.ok())
            return fail(stored.error());
        const QString timeText = item.time.isEmpty() ? store::kEmptyTime : item.time;
        const auto& present = stored.value().contentAndTime;
        if (std::any_of(present.begin(), present.end(), [&](const std::pair<QString, QString>& row) {
                return comparableContent(row.first) == item.content &&
                       (row.second.isEmpty() ? store::kEmptyTime : row.second) == timeText;
            })) {
            ++report.duplicates;
            if (store::Error error = file.rememberKey(item.key))
                return fail(error);
            continue;
        }
        const auto& used = stored.value().used;
        int slot = item.preferredSlot > 0 && !used[static_cast<size_t>(item.preferredSlot) - 1]
                       ? item.preferredSlot
                       : 0;
        for (int s = 1; s <= store::kSlotCount && slot == 0; ++s) {
            if (!used[static_cast<size_t>(s) - 1])
                slot = s;
        }
        if (slot == 0) {
            report.fullDates << store::dateString(item.date);
            continue;
        }
        store::Error error = file.addItem(
            item.date, slot, {item.content, store::levelText(item.level), item.alarm, item.time});
        if (!error)
            error = file.rememberKey(item.key);
        if (error)
            return fail(error);
        ++report.added;
        report.shortened += item.shortened ? 1 : 0;
        report.timesDropped += item.timeDropped ? 1 : 0;
        report.alarmsAtStart += item.alarmAtStart ? 1 : 0;
    }

    if (!todos.isEmpty()) {
        const store::Result<QSet<QString>> stored = file.todoTexts();
        if (!stored.ok())
            return fail(stored.error());
        QSet<QString> present;
        for (const QString& text : stored.value())
            present.insert(comparableContent(text));
        for (const QString& todo : todos) {
            if (cancelled(++done))
                return fail({});
            bool shortened = false;
            const QString text = storedContent(todo, &shortened);
            if (present.contains(text)) {
                ++report.duplicates;
                continue;
            }
            if (store::Error error = file.addTodo(text))
                return fail(error);
            present.insert(text);
            ++report.todosAdded;
            report.shortened += shortened ? 1 : 0;
        }
    }
    if (progress && !progress(total, total)) {
        report.cancelled = true;
        return fail({});
    }
    if (store::Error error = file.commit())
        return fail(error);
    return report;
}

QString importSummary(const ImportReport& report) {
    return messages::importSummary(report.added, report.todosAdded, report.duplicates, report.fullDates,
                                   report.shortened, report.timesDropped, report.alarmsAtStart);
}

} // namespace exchange
