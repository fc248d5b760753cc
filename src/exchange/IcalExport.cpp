#include "exchange/IcalExport.h"

#include "calendar/Holidays.h"
#include "exchange/IcalCommon.h"
#include "exchange/Messages.h"
#include "platform/ExportTarget.h"
#include "store/ItemExport.h"
#include "store/ItemRules.h"
#include "store/ScheduleLayout.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QSaveFile>

#include <cstdio>

namespace exchange {

using ical::ComponentPtr;
using ical::IcalText;

namespace {

using ical::kUidDomain;
constexpr qint64 kProgressEvery = 1024;

// Minutes after midnight of a time text of four digits HHMM, or -1.
int clockMinutes(const QByteArray& text) {
    if (text.size() != 4)
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

QByteArray textOf(const ComponentPtr& component) {
    const IcalText text(icalcomponent_as_ical_string_r(component.get()));
    return text ? QByteArray(text.get()) : QByteArray();
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

// DTSTART and DTEND: 30 minutes from a clock time, else the whole day.
void addTimes(icalcomponent* ev, const QDate& date, int minutes) {
    if (minutes >= 0) {
        icalcomponent_add_property(ev, icalproperty_new_dtstart(icalDateTime(date, minutes)));
        const int endMinutes = minutes + 30;
        icalcomponent_add_property(
            ev, icalproperty_new_dtend(icalDateTime(date.addDays(endMinutes / 1440), endMinutes % 1440)));
    } else {
        icalcomponent_add_property(ev, icalproperty_new_dtstart(icalDate(date)));
        icalcomponent_add_property(ev, icalproperty_new_dtend(icalDate(date.addDays(1))));
    }
}

// A display alarm at the start.
void addAlarm(icalcomponent* ev, const char* content) {
    icaltriggertype trigger{};
    trigger.time = icaltime_null_time();
    trigger.duration = icaldurationtype_null_duration();
    icalcomponent_add_component(
        ev, icalcomponent_vanew(ICAL_VALARM_COMPONENT, icalproperty_new_action(ICAL_ACTION_DISPLAY),
                                icalproperty_new_description(content), icalproperty_new_trigger(trigger),
                                static_cast<void*>(nullptr)));
}

} // namespace

IcsWriter::IcsWriter()
    : stamp_(icaltime_from_timet_with_zone(QDateTime::currentSecsSinceEpoch(), 0,
                                           icaltimezone_get_utc_timezone())) {}

QByteArray IcsWriter::head() {
    const ComponentPtr calendar(icalcomponent_vanew(ICAL_VCALENDAR_COMPONENT, icalproperty_new_version("2.0"),
                                                    icalproperty_new_prodid("-//Daduvov//Daduvov 1.0//JA"),
                                                    icalproperty_new_calscale("GREGORIAN"),
                                                    static_cast<void*>(nullptr)));
    QByteArray text = textOf(calendar);
    text.chop(end().size());
    return text;
}

QByteArray IcsWriter::end() {
    return QByteArrayLiteral("END:VCALENDAR\r\n");
}

QByteArray IcsWriter::event(const store::ExportedDay& record) {
    // The texts go to libical as C strings: a stored NUL ends them there.
    const char* content = record.content.constData();
    if (!*content)
        return {};
    const QDate date = store::dateOfString(QByteArrayView(record.date), store::DateForm::Loose);
    if (!date.isValid()) {
        ++undated_;
        return {};
    }
    const int minutes = clockMinutes(record.time);
    const ComponentPtr event(icalcomponent_new_vevent());
    icalcomponent* ev = event.get();
    const int repeat = seen_[date.toJulianDay() * 8 + record.slot]++;
    icalcomponent_add_property(ev, icalproperty_new_uid(uidText(date, record.slot, repeat).constData()));
    icalcomponent_add_property(ev, icalproperty_new_dtstamp(stamp_));
    addTimes(ev, date, minutes);
    icalcomponent_add_property(ev, icalproperty_new_summary(content));
    icalcomponent_add_property(ev, icalproperty_new_priority(ical::priorityOfLevel(record.level)));
    if (record.slot > 0) {
        const char digit[2] = {static_cast<char>('0' + record.slot), '\0'};
        addX(ev, ical::kSlotProperty, digit);
    }
    if (minutes < 0 && !record.time.isEmpty() && record.time != "####")
        addX(ev, ical::kTimeProperty, record.time.constData());
    if (record.alarm)
        addAlarm(ev, content);
    return textOf(event);
}

QByteArray IcsWriter::todo(const QByteArray& entry) {
    const char* text = entry.constData();
    if (!*text)
        return {};
    const QByteArray hash = QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex().left(20);
    const int repeat = todoRepeats_[hash]++;
    const QByteArray uid =
        "todo-" + hash + (repeat > 0 ? "-" + QByteArray::number(repeat) : QByteArray()) + kUidDomain;
    return textOf(ComponentPtr(icalcomponent_vanew(
        ICAL_VTODO_COMPONENT, icalproperty_new_uid(uid.constData()), icalproperty_new_dtstamp(stamp_),
        icalproperty_new_summary(text), static_cast<void*>(nullptr))));
}

QByteArray IcsWriter::holiday(const calendar::Holiday& holiday) {
    const QByteArray uid =
        ical::kHolidayUidPrefix + holiday.date.toString(QStringLiteral("yyyyMMdd")).toLatin1() + kUidDomain;
    const ComponentPtr event(icalcomponent_new_vevent());
    icalcomponent* ev = event.get();
    icalcomponent_add_property(ev, icalproperty_new_uid(uid.constData()));
    icalcomponent_add_property(ev, icalproperty_new_dtstamp(stamp_));
    addTimes(ev, holiday.date, -1);
    icalcomponent_add_property(ev, icalproperty_new_summary(holiday.name.toUtf8().constData()));
    icalcomponent_add_property(ev, icalproperty_new_categories("祝日"));
    // A holiday takes no time: calendars that look for free time do not count it as busy.
    icalcomponent_add_property(ev, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
    return textOf(event);
}

bool isExportedHolidayUid(const QString& uid) {
    return uid.startsWith(QLatin1String(ical::kHolidayUidPrefix)) && uid.endsWith(QLatin1String(kUidDomain));
}

namespace {

// One export's way through the rows: the progress every kProgressEvery rows, and every component
// handed on.
struct RowWriter {
    const IcsSink& write;
    const Progress& progress;
    const qint64 total;
    IcsExport& result;
    qint64 done = 0;

    // Writes one component (nothing for an empty one); false when the export must stop.
    bool row(const QByteArray& component, qint64& written) {
        if (++done % kProgressEvery == 0 && progress && !progress(done, total)) {
            result.cancelled = true;
            return false;
        }
        if (component.isEmpty())
            return true;
        result.failure = write(component);
        if (!result.failure.isEmpty())
            return false;
        ++written;
        return true;
    }
};

} // namespace

IcsExport writeCalendar(store::ItemExport& items, qint64 total, const IcsSink& write,
                        const Progress& progress, std::optional<int> holidayYear) {
    IcsExport result;
    if (holidayYear && !calendar::holidaysKnown(*holidayYear)) {
        result.failure = messages::holidaysUnknown(*holidayYear);
        return result;
    }
    if (result.failure = write(IcsWriter::head()); !result.failure.isEmpty())
        return result;
    IcsWriter writer;
    RowWriter rows{write, progress, total, result};
    store::Error error = items.forEachDay(
        [&](const store::ExportedDay& record) { return rows.row(writer.event(record), result.events); });
    if (error.ok() && result.failure.isEmpty() && !result.cancelled)
        error = items.forEachTodo(
            [&](const QByteArray& text) { return rows.row(writer.todo(text), result.todos); });
    result.undated = writer.undated();
    if (error.failed())
        result.failure = messages::storeFailure(error);
    if (!result.failure.isEmpty() || result.cancelled)
        return result;
    if (holidayYear) {
        for (const calendar::Holiday& holiday : calendar::holidaysOf(*holidayYear)) {
            if (result.failure = write(writer.holiday(holiday)); !result.failure.isEmpty())
                return result;
            ++result.holidays;
        }
    }
    if (result.failure = write(IcsWriter::end()); !result.failure.isEmpty())
        return result;
    if (progress)
        progress(total, total);
    return result;
}

IcsExport exportIcs(const QString& schedulePath, const QString& icsPath, const Progress& progress,
                    std::optional<int> holidayYear) {
    IcsExport result;
    const platform::ExportTarget target = platform::checkExportTarget(icsPath, schedulePath);
    if (!target.refusal.isEmpty()) {
        result.failure = messages::cannotWrite(icsPath, target.refusal);
        return result;
    }
    store::ItemExport items;
    const store::Result<qint64> total = items.open(schedulePath);
    if (!total.ok()) {
        result.failure = messages::storeFailure(total.error());
        return result;
    }
    QSaveFile file(target.path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.failure = messages::cannotWrite(icsPath, file.errorString());
        return result;
    }
    result = writeCalendar(
        items, total.value(),
        [&](const QByteArray& text) {
            return file.write(text) == text.size() ? QString()
                                                   : messages::cannotWrite(icsPath, file.errorString());
        },
        progress, holidayYear);
    if (!result.failure.isEmpty() || result.cancelled)
        file.cancelWriting();
    else if (!file.commit())
        result.failure = messages::cannotWrite(icsPath, file.errorString());
    return result;
}

} // namespace exchange
