#include "sync/Mapping.h"

#include "exchange/IcalCommon.h"
#include "exchange/IcalItem.h"
#include "store/ScheduleLayout.h"

#include <libical/ical.h>

#include <QDateTime>
#include <QSet>

namespace calsync {

namespace {

using exchange::ical::ComponentPtr;
using exchange::ical::IcalText;

QByteArray textOf(icalcomponent* component) {
    const IcalText text(icalcomponent_as_ical_string_r(component));
    return text ? QByteArray(text.get()) : QByteArray();
}

QString rawTime(const icaltimetype& t) {
    return QString::asprintf("%04d%02d%02d", t.year, t.month, t.day) +
           (t.is_date ? QString() : QString::asprintf("T%02d%02d%02d", t.hour, t.minute, t.second));
}

bool recurring(icalcomponent* event) {
    return !icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY) &&
           (icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY) ||
            icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY));
}

// The time of an occurrence written as `raw`, in the form of the series' start: a date, a time in
// UTC, or a time in the start's zone (its TZID copied by withZoneOf()).
icaltimetype occurrenceTime(const QString& raw, icalcomponent* master) {
    icaltimetype t = icaltime_from_string(raw.toLatin1().constData());
    const icaltimetype start = icalcomponent_get_dtstart(master);
    if (!t.is_date && icaltime_is_utc(start))
        t = icaltime_convert_to_zone(t, icaltimezone_get_utc_timezone());
    return t;
}

icalproperty* withZoneOf(icalproperty* property, icalcomponent* master) {
    icalproperty* start = icalcomponent_get_first_property(master, ICAL_DTSTART_PROPERTY);
    icalparameter* tzid = start ? icalproperty_get_first_parameter(start, ICAL_TZID_PARAMETER) : nullptr;
    if (tzid && !icaltime_is_date(icalproperty_get_dtstart(start)))
        icalproperty_add_parameter(property, icalparameter_new_clone(tzid));
    return property;
}

void removeAll(icalcomponent* event, icalproperty_kind kind) {
    while (icalproperty* p = icalcomponent_get_first_property(event, kind)) {
        icalcomponent_remove_property(event, p);
        icalproperty_free(p);
    }
}

// Writes on `event` the fields of `now` that differ from `was`, the event's other properties kept.
void applyValue(icalcomponent* event, const ItemValue& was, const ItemValue& now, int slot) {
    const QByteArray content = now.content.toUtf8();
    const bool timeChanged = was.date != now.date || was.time != now.time;
    if (timeChanged)
        exchange::ical::setTimeText(event, now.date, now.time.toUtf8());
    if (was.content != now.content)
        exchange::ical::setSummary(event, content.constData());
    if (was.level != now.level)
        exchange::ical::setPriority(event, now.level);
    // The item's time is its alarm's: a new time brings the alarm to the new start.
    if (was.alarm != now.alarm || (timeChanged && now.alarm))
        exchange::ical::setAlarm(event, now.alarm, content.constData());
    if (slot > 0)
        exchange::ical::setSlot(event, slot);
    icalproperty* sequence = icalcomponent_get_first_property(event, ICAL_SEQUENCE_PROPERTY);
    const int next = sequence ? icalproperty_get_sequence(sequence) + 1 : 1;
    removeAll(event, ICAL_SEQUENCE_PROPERTY);
    icalcomponent_add_property(event, icalproperty_new_sequence(next));
    removeAll(event, ICAL_DTSTAMP_PROPERTY);
    icalcomponent_add_property(
        event, icalproperty_new_dtstamp(icaltime_from_timet_with_zone(QDateTime::currentSecsSinceEpoch(), 0,
                                                                      icaltimezone_get_utc_timezone())));
}

// The override of an occurrence of `master`: its copy without the rules, starting at the
// occurrence, its length kept.
icalcomponent* overrideOf(icalcomponent* master, const QString& occurrence) {
    icalcomponent* event = icalcomponent_new_clone(master);
    for (icalproperty_kind kind :
         {ICAL_RRULE_PROPERTY, ICAL_RDATE_PROPERTY, ICAL_EXDATE_PROPERTY, ICAL_EXRULE_PROPERTY,
          ICAL_RECURRENCEID_PROPERTY, ICAL_DTSTART_PROPERTY, ICAL_DTEND_PROPERTY, ICAL_DURATION_PROPERTY})
        removeAll(event, kind);
    const icaltimetype start = occurrenceTime(occurrence, master);
    icalcomponent_add_property(event, withZoneOf(icalproperty_new_dtstart(start), master));
    icalcomponent_add_property(event, withZoneOf(icalproperty_new_recurrenceid(start), master));
    const icaltimetype masterStart = icalcomponent_get_dtstart(master);
    if (icalproperty* end = icalcomponent_get_first_property(master, ICAL_DTEND_PROPERTY)) {
        const icaldurationtype length = icaltime_subtract(icalproperty_get_dtend(end), masterStart);
        icalcomponent_add_property(event,
                                   withZoneOf(icalproperty_new_dtend(icaltime_add(start, length)), master));
    } else if (icalproperty* duration = icalcomponent_get_first_property(master, ICAL_DURATION_PROPERTY)) {
        icalcomponent_add_property(event, icalproperty_new_duration(icalproperty_get_duration(duration)));
    }
    return event;
}

} // namespace

ItemValue valueOf(const QDate& date, const store::SlotItem& item) {
    ItemValue value;
    value.date = date;
    value.time = item.timeText == store::kEmptyTime ? QString() : item.timeText.trimmed();
    value.content = exchange::storedContent(item.content.trimmed());
    value.level = store::levelNumber(item.levelText);
    value.alarm = item.alarm;
    return value;
}

store::SlotItem slotItemOf(const ItemValue& value) {
    return {value.content, store::levelText(value.level), value.alarm,
            value.time.isEmpty() ? store::kEmptyTime : value.time};
}

QString describe(const ItemValue& value) {
    QString text = store::dateString(value.date);
    if (!value.time.isEmpty())
        text += QLatin1Char(' ') + value.time;
    return text + QLatin1Char(' ') + value.content;
}

bool storableDate(const QDate& date) {
    return date.isValid() && date.year() >= 1 && date.year() <= 9999;
}

ResourceItems readResource(const QString& href, const QByteArray& data, const exchange::DateRange& range) {
    ResourceItems result;
    const exchange::Calendar calendar = exchange::Calendar::parse(data);
    if (!calendar.failure().isEmpty()) {
        result.left.push_back({QDate(), href, QStringLiteral("読めない予定: ") + calendar.failure()});
        result.unreadable = true;
        return result;
    }
    const bool recurs = calendar.hasRecurrences();
    exchange::ItemReader reader(calendar, range);
    QSet<QString> seen;
    const bool read = reader.plan() && reader.forEachItem([&](exchange::CalendarItem&& item) {
        if (!storableDate(item.date)) {
            result.left.push_back({item.date, item.content, QStringLiteral("この日付は予定表に入りません")});
            return true;
        }
        const QString occurrence =
            recurs ? (item.key.isEmpty() ? QString::number(seen.size())
                                         : item.key.mid(item.key.lastIndexOf(QLatin1Char('/')) + 1))
                   : QString();
        if (seen.contains(occurrence))
            return true;
        seen.insert(occurrence);
        ServerItem server;
        server.href = href;
        server.occurrence = occurrence;
        server.value = {item.date, item.time, item.content, item.level, item.alarm};
        server.preferredSlot = item.preferredSlot;
        result.items.push_back(std::move(server));
        return true;
    });
    if (read && calendar.unreadable() > 0) {
        result.left.push_back({QDate(), href, QStringLiteral("開始日を読めない予定")});
        result.unreadable = true;
    }
    if (!read) {
        result.left.push_back({QDate(), href, QStringLiteral("繰り返しが多すぎて読めない予定")});
        result.unreadable = true;
    } else if (recurs && result.items.empty())
        result.left.push_back({QDate(), href, QStringLiteral("同期する範囲に回のない繰り返しの予定")});
    return result;
}

QString todoOf(const QByteArray& data) {
    const ComponentPtr calendar(icalparser_parse_string(data.constData()));
    if (!calendar)
        return {};
    for (icalcomponent* todo = icalcomponent_get_first_component(calendar.get(), ICAL_VTODO_COMPONENT); todo;
         todo = icalcomponent_get_next_component(calendar.get(), ICAL_VTODO_COMPONENT)) {
        const char* summary = icalcomponent_get_summary(todo);
        const QString text = summary ? QString::fromUtf8(summary).trimmed() : QString();
        if (!text.isEmpty())
            return text;
    }
    return {};
}

QByteArray newTodoResource(const QString& uid, const QString& text) {
    const ComponentPtr calendar(icalcomponent_vanew(ICAL_VCALENDAR_COMPONENT, icalproperty_new_version("2.0"),
                                                    icalproperty_new_prodid("-//Daduvov//Daduvov 1.0//JA"),
                                                    static_cast<void*>(nullptr)));
    icalcomponent_add_component(
        calendar.get(),
        icalcomponent_vanew(ICAL_VTODO_COMPONENT, icalproperty_new_uid(uid.toUtf8().constData()),
                            icalproperty_new_dtstamp(icaltime_from_timet_with_zone(
                                QDateTime::currentSecsSinceEpoch(), 0, icaltimezone_get_utc_timezone())),
                            icalproperty_new_summary(text.toUtf8().constData()),
                            static_cast<void*>(nullptr)));
    return textOf(calendar.get());
}

QByteArray newResource(const QString& uid, const ItemValue& value, int slot) {
    const ComponentPtr calendar(icalcomponent_vanew(ICAL_VCALENDAR_COMPONENT, icalproperty_new_version("2.0"),
                                                    icalproperty_new_prodid("-//Daduvov//Daduvov 1.0//JA"),
                                                    static_cast<void*>(nullptr)));
    icalcomponent* event = icalcomponent_new_vevent();
    icalcomponent_add_property(event, icalproperty_new_uid(uid.toUtf8().constData()));
    const QByteArray content = value.content.toUtf8();
    exchange::ical::setTimeText(event, value.date, value.time.toUtf8());
    exchange::ical::setSummary(event, content.constData());
    exchange::ical::setPriority(event, value.level);
    exchange::ical::setAlarm(event, value.alarm, content.constData());
    exchange::ical::setSlot(event, slot);
    icalcomponent_add_property(
        event, icalproperty_new_dtstamp(icaltime_from_timet_with_zone(QDateTime::currentSecsSinceEpoch(), 0,
                                                                      icaltimezone_get_utc_timezone())));
    icalcomponent_add_component(calendar.get(), event);
    return textOf(calendar.get());
}

std::optional<QByteArray> editResource(const QByteArray& data, const std::vector<ItemEdit>& edits) {
    const ComponentPtr calendar(icalparser_parse_string(data.constData()));
    if (!calendar || icalcomponent_isa(calendar.get()) != ICAL_VCALENDAR_COMPONENT)
        return std::nullopt;
    icalcomponent* cal = calendar.get();
    std::vector<icalcomponent*> events;
    for (icalcomponent* c = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); c;
         c = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT))
        events.push_back(c);
    if (events.empty())
        return std::nullopt;
    icalcomponent* master = events.front();
    for (icalcomponent* event : events) {
        if (recurring(event))
            master = event;
    }
    const auto overrideFor = [&](const QString& occurrence) -> icalcomponent* {
        for (icalcomponent* event : events) {
            icalproperty* id = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
            if (id && rawTime(icalproperty_get_recurrenceid(id)) == occurrence)
                return event;
        }
        return nullptr;
    };
    for (const ItemEdit& edit : edits) {
        if (edit.occurrence.isEmpty()) {
            if (!edit.now)
                return QByteArray();
            applyValue(master, edit.was, *edit.now, edit.slot);
            continue;
        }
        // An occurrence is named by its start as written; anything else names none of the series.
        if (icaltime_is_null_time(icaltime_from_string(edit.occurrence.toLatin1().constData())))
            return std::nullopt;
        icalcomponent* existing = overrideFor(edit.occurrence);
        if (!edit.now) {
            if (existing) {
                icalcomponent_remove_component(cal, existing);
                std::erase(events, existing);
                icalcomponent_free(existing);
            }
            icalcomponent_add_property(
                master, withZoneOf(icalproperty_new_exdate(occurrenceTime(edit.occurrence, master)), master));
            continue;
        }
        if (!existing) {
            existing = overrideOf(master, edit.occurrence);
            icalcomponent_add_component(cal, existing);
            events.push_back(existing);
        }
        applyValue(existing, edit.was, *edit.now, edit.slot);
    }
    return textOf(cal);
}

} // namespace calsync
