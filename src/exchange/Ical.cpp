#include "exchange/Ical.h"

#include "exchange/IcalDiagnostics.h"
#include "exchange/IcalLimits.h"
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
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    if (store::Error error = connection.rowAddress(table, &address); error.failed())
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
    if (const store::Error error = data.openDatabase(); error.failed()) {
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

Calendar Calendar::read(const QString& path, const Progress& progress) {
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
    return parse(file.readAll(), progress);
}

Calendar Calendar::parse(const QByteArray& input, const Progress& progress) {
    Calendar calendar;
    QByteArrayView text(input);
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    // Checked a piece at a time, so that the check needs no copy of the whole text and can be
    // cancelled; the parse is the second half of the work.
    const qint64 total = 2 * static_cast<qint64>(text.size());
    QStringDecoder utf8(QStringDecoder::Utf8);
    for (qsizetype at = 0; at < text.size() && !utf8.hasError(); at += limits::kReportBytes) {
        if (progress && !progress(at, total)) {
            calendar.cancelled_ = true;
            return calendar;
        }
        // Decoding is the check; the text is not kept.
        const QString piece = utf8.decode(text.sliced(at, std::min(limits::kReportBytes, text.size() - at)));
    }
    if (utf8.hasError()) {
        calendar.failure_ = messages::notUtf8();
        return calendar;
    }
    // An error in the file must never end the program.
    icalerror_set_errors_are_fatal(0);
    icalerror_clear_errno();
    IcalDiagnostics diagnostics;
    const limits::Parsed parsed = limits::parse(text, progress, text.size(), total);
    ComponentPtr root(parsed.root);
    const QString printed = diagnostics.finish();
    if (parsed.cancelled) {
        calendar.cancelled_ = true;
        return calendar;
    }
    if (parsed.tooDeep) {
        calendar.failure_ = messages::brokenICalendar(QStringLiteral("BEGIN と END の入れ子が深すぎます"));
        return calendar;
    }
    if (!printed.isEmpty()) {
        calendar.failure_ = messages::brokenICalendar(printed);
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
    // What libical could not read it notes as X-LIC-ERROR properties. A file cut off or with
    // components it could not tell apart is refused; a property it could not read (an empty
    // LOCATION, which other programs write in every event) is passed over, and an event without
    // a usable start is left out and counted.
    if (hasStructureError(root.get())) {
        calendar.failure_ = messages::brokenICalendar(firstError(root.get()));
        return calendar;
    }
    const QString complaint = firstError(root.get());
    dropErrors(root.get());
    // Before any time is read with its zone.
    limits::dropUnsafeZoneNames(root.get());
    limits::keepBoundedZones(root.get());
    int items = 0;
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
        calendar.unreadable_ += static_cast<int>(unusable.size());
        items += icalcomponent_count_components(cal, ICAL_VEVENT_COMPONENT) +
                 icalcomponent_count_components(cal, ICAL_VTODO_COMPONENT);
    }
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
struct ImportWork {
    ImportWork(const DateRange& range, const Progress& progress)
        : range(range), windowFirst(range.first.addDays(-2)), windowLast(range.last.addDays(2)),
          progress(progress) {}

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
    const Progress& progress;
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

RulePlan planRule(icalproperty* property, const icaltimetype& start, const ImportWork& work) {
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
    return plan;
}

struct IteratorDeleter {
    void operator()(icalrecur_iterator* it) const { icalrecur_iterator_free(it); }
};

// Follows a planned rule and hands `occurrence` every instance from the window's first day on, in
// `zone`. Steps beyond the planned ones come out of the file's budget. False when the budget runs
// out, the user cancels or `occurrence` stops.
template <typename Occurrence>
bool followRule(const RulePlan& plan, const icaltimezone* zone, ImportWork& work, Occurrence& occurrence) {
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
bool planImport(const std::vector<icalcomponent*>& calendars, qint64 todos, ImportWork& work) {
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

// The instances of one recurring event within the range, handed to `add`: its rules and RDATEs,
// less its EXDATEs and the instances that a RECURRENCE-ID component replaces. False when the work
// stops.
template <typename Add>
bool addOccurrences(icalcomponent* ev, const QString& uid, const icaltimetype& start,
                    const QSet<QString>& replaced, ImportWork& work, Add& add) {
    QSet<QString> excluded;
    for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(ev, ICAL_EXDATE_PROPERTY)) {
        const icaltimetype t = zoned(ev, p, icalproperty_get_exdate(p));
        excluded.insert(instanceId(t, start.zone));
        if (t.is_date)
            excluded.insert(rawTime(t).left(8) + QStringLiteral("*"));
    }
    QSet<QString> taken; // an RDATE that repeats a rule's occurrence adds nothing
    // itemOf reads the event's properties, which may be very many: it runs once for each kind of
    // start (a clock time, a date, a time no clock shows), and every instance takes that item with
    // its own date and clock time.
    std::array<std::optional<Incoming>, 3> kinds;
    const auto instanceOf = [&](const LocalStart& local) {
        std::optional<Incoming>& kind = kinds[local.time.isValid() ? 0 : local.timeUnusable ? 1 : 2];
        if (!kind)
            kind = itemOf(ev, local);
        Incoming item = *kind;
        item.date = local.date;
        if (local.time.isValid())
            item.time = local.time.toString(QStringLiteral("HHmm"));
        return item;
    };
    const auto occurrence = [&](icaltimetype t) {
        t.zone = start.zone;
        const QDate written = dateOf(t);
        if (written < work.windowFirst || written > work.windowLast)
            return true;
        const QString raw = rawTime(t);
        const QString id = instanceId(t, start.zone);
        if (excluded.contains(id) || excluded.contains(raw.left(8) + QStringLiteral("*")) ||
            replaced.contains(uid + QLatin1Char('/') + id) || taken.contains(raw))
            return true;
        const LocalStart local = localStart(t);
        if (local.date < work.range.first || local.date > work.range.last)
            return true;
        taken.insert(raw);
        if (--work.occurrencesLeft < 0) {
            work.overBudget = true;
            return false;
        }
        Incoming item = instanceOf(local);
        item.key = itemKey(uid, raw);
        return add(std::move(item));
    };
    // Taken first: reading an instance's properties moves the event's property iterator.
    std::vector<icalproperty*> rules;
    std::vector<icalproperty*> dates;
    for (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(ev, ICAL_ANY_PROPERTY)) {
        if (icalproperty_isa(p) == ICAL_RRULE_PROPERTY)
            rules.push_back(p);
        else if (icalproperty_isa(p) == ICAL_RDATE_PROPERTY)
            dates.push_back(p);
    }
    // DTSTART is the first instance, also when the rules would not give it; a rule that does
    // gives it again, and it is taken once.
    if (!occurrence(start))
        return false;
    for (icalproperty* p : rules) {
        if (!followRule(planRule(p, start, work), start.zone, work, occurrence))
            return false;
    }
    for (icalproperty* p : dates) {
        if (!work.advance(1))
            return false;
        const icaldatetimeperiodtype rdate = icalproperty_get_rdate(p);
        const icaltimetype t = icaltime_is_null_time(rdate.time) ? rdate.period.start : rdate.time;
        if (!icaltime_is_null_time(t) && !occurrence(t))
            return false;
    }
    return true;
}

// Hands `add` every item of the calendars in the order of the file: single events as they are,
// recurring ones expanded within the range, instances that a RECURRENCE-ID component replaces or
// an EXDATE removes left out. False when `add` stops, the user cancels or the file takes more work
// than it may (work.overBudget).
template <typename Add>
bool forEachItem(const std::vector<icalcomponent*>& calendars, ImportWork& work, Add&& add) {
    QSet<QString> replaced;
    for (icalcomponent* cal : calendars)
        forEachComponent(cal, ICAL_VEVENT_COMPONENT, [&](icalcomponent* ev) {
            if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_RECURRENCEID_PROPERTY))
                replaced.insert(uidOf(ev) + QLatin1Char('/') +
                                instanceId(zoned(ev, p, icalproperty_get_recurrenceid(p)), startOf(ev).zone));
        });

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
                if (!addOccurrences(ev, uid, start, replaced, work, add))
                    return false;
                continue;
            }
            icalproperty* recurrenceId = icalcomponent_get_first_property(ev, ICAL_RECURRENCEID_PROPERTY);
            Incoming item = itemOf(ev, localStart(start));
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

ImportReport importCalendar(const Calendar& calendar, const QString& schedulePath, const DateRange& range,
                            const Progress& progress) {
    ImportReport report;
    if (calendar.cancelled()) {
        report.cancelled = true;
        return report;
    }
    if (!calendar.failure().isEmpty()) {
        report.failure = calendar.failure();
        return report;
    }
    const std::vector<icalcomponent*>& calendars = CalendarAccess::calendars(calendar);
    const QStringList todos = todosOf(calendars);
    ImportWork work(range, progress);
    if (!planImport(calendars, todos.size(), work)) {
        report.cancelled = work.cancelled;
        if (!work.cancelled)
            report.failure = messages::tooManyOccurrences();
        return report;
    }

    store::ItemImport file;
    const auto fail = [&](const QString& failure) {
        file.rollback();
        if (!report.cancelled)
            report.failure = failure;
        report.added = report.todosAdded = report.duplicates = report.shortened = report.timesDropped =
            report.alarmsAtStart = report.unreadable = 0;
        report.fullDates.clear();
        return report;
    };
    if (store::Error error = file.begin(schedulePath); error.failed())
        return fail(oneLine(error));

    store::Error failure;
    report.unreadable = calendar.unreadable();
    const auto add = [&](Incoming&& item) {
        // A date that does not exist is never stored: the tables need not refuse it themselves.
        if (!item.date.isValid()) {
            ++report.unreadable;
            return true;
        }
        if (!item.key.isEmpty()) {
            const store::Result<bool> known = file.knownKey(item.key);
            if (!known.ok()) {
                failure = known.error();
                return false;
            }
            if (known.value()) {
                ++report.duplicates;
                return true;
            }
        }
        const store::Result<store::ItemImport::DateItems> stored = file.dateItems(item.date);
        if (!stored.ok()) {
            failure = stored.error();
            return false;
        }
        const QString timeText = item.time.isEmpty() ? store::kEmptyTime : item.time;
        const auto& present = stored.value().contentAndTime;
        if (std::any_of(present.begin(), present.end(), [&](const std::pair<QString, QString>& row) {
                return comparableContent(row.first) == item.content &&
                       (row.second.isEmpty() ? store::kEmptyTime : row.second) == timeText;
            })) {
            ++report.duplicates;
            failure = file.rememberKey(item.key);
            return failure.ok();
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
            return true;
        }
        failure = file.addItem(item.date, slot,
                               {item.content, store::levelText(item.level), item.alarm, item.time});
        if (failure.ok())
            failure = file.rememberKey(item.key);
        if (failure.failed())
            return false;
        ++report.added;
        report.shortened += item.shortened ? 1 : 0;
        report.timesDropped += item.timeDropped ? 1 : 0;
        report.alarmsAtStart += item.alarmAtStart ? 1 : 0;
        return true;
    };
    if (!forEachItem(calendars, work, add)) {
        report.cancelled = work.cancelled && failure.ok();
        return fail(failure.failed() ? oneLine(failure) : messages::tooManyOccurrences());
    }

    if (!todos.isEmpty()) {
        const store::Result<QSet<QString>> stored = file.todoTexts();
        if (!stored.ok())
            return fail(oneLine(stored.error()));
        QSet<QString> present;
        for (const QString& text : stored.value())
            present.insert(comparableContent(text));
        for (const QString& todo : todos) {
            if (!work.advance(1)) {
                report.cancelled = true;
                return fail(QString());
            }
            bool shortened = false;
            const QString text = storedContent(todo, &shortened);
            if (present.contains(text)) {
                ++report.duplicates;
                continue;
            }
            if (store::Error error = file.addTodo(text); error.failed())
                return fail(oneLine(error));
            present.insert(text);
            ++report.todosAdded;
            report.shortened += shortened ? 1 : 0;
        }
    }
    if (progress && !progress(work.total, work.total)) {
        report.cancelled = true;
        return fail(QString());
    }
    if (store::Error error = file.commit(); error.failed())
        return fail(oneLine(error));
    return report;
}

QString importSummary(const ImportReport& report) {
    return messages::importSummary(report.added, report.todosAdded, report.duplicates, report.fullDates,
                                   report.shortened, report.timesDropped, report.alarmsAtStart,
                                   report.unreadable);
}

} // namespace exchange
