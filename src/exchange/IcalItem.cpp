#include "exchange/IcalItem.h"

#include "exchange/IcalCommon.h"

namespace exchange::ical {

namespace {

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

void removeAll(icalcomponent* event, icalproperty_kind kind) {
    while (icalproperty* p = icalcomponent_get_first_property(event, kind)) {
        icalcomponent_remove_property(event, p);
        icalproperty_free(p);
    }
}

void removeX(icalcomponent* event, const char* name) {
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_X_PROPERTY); p;) {
        icalproperty* next = icalcomponent_get_next_property(event, ICAL_X_PROPERTY);
        if (qstrcmp(icalproperty_get_x_name(p), name) == 0) {
            icalcomponent_remove_property(event, p);
            icalproperty_free(p);
        }
        p = next;
    }
}

void setX(icalcomponent* event, const char* name, const char* value) {
    removeX(event, name);
    if (!value)
        return;
    icalproperty* property = icalproperty_new_x(value);
    icalproperty_set_x_name(property, name);
    icalcomponent_add_property(event, property);
}

} // namespace

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

void setTimes(icalcomponent* event, const QDate& date, int minutes) {
    removeAll(event, ICAL_DTSTART_PROPERTY);
    removeAll(event, ICAL_DTEND_PROPERTY);
    removeAll(event, ICAL_DURATION_PROPERTY);
    if (minutes >= 0) {
        icalcomponent_add_property(event, icalproperty_new_dtstart(icalDateTime(date, minutes)));
        const int endMinutes = minutes + 30;
        icalcomponent_add_property(
            event, icalproperty_new_dtend(icalDateTime(date.addDays(endMinutes / 1440), endMinutes % 1440)));
    } else {
        icalcomponent_add_property(event, icalproperty_new_dtstart(icalDate(date)));
        icalcomponent_add_property(event, icalproperty_new_dtend(icalDate(date.addDays(1))));
    }
}

void setTimeText(icalcomponent* event, const QDate& date, const QByteArray& time) {
    const int minutes = clockMinutes(time);
    setTimes(event, date, minutes);
    const bool kept = minutes < 0 && !time.isEmpty() && time != "####";
    setX(event, kTimeProperty, kept ? time.constData() : nullptr);
}

void setSummary(icalcomponent* event, const char* content) {
    removeAll(event, ICAL_SUMMARY_PROPERTY);
    icalcomponent_add_property(event, icalproperty_new_summary(content));
}

void setPriority(icalcomponent* event, int level) {
    removeAll(event, ICAL_PRIORITY_PROPERTY);
    icalcomponent_add_property(event, icalproperty_new_priority(priorityOfLevel(level)));
}

void setSlot(icalcomponent* event, int slot) {
    const char digit[2] = {static_cast<char>('0' + slot), '\0'};
    setX(event, kSlotProperty, slot >= 1 && slot <= 9 ? digit : nullptr);
}

void setAlarm(icalcomponent* event, bool alarm, const char* content) {
    while (icalcomponent* old = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT)) {
        icalcomponent_remove_component(event, old);
        icalcomponent_free(old);
    }
    if (!alarm)
        return;
    icaltriggertype trigger{};
    trigger.time = icaltime_null_time();
    trigger.duration = icaldurationtype_null_duration();
    icalcomponent_add_component(
        event, icalcomponent_vanew(ICAL_VALARM_COMPONENT, icalproperty_new_action(ICAL_ACTION_DISPLAY),
                                   icalproperty_new_description(content), icalproperty_new_trigger(trigger),
                                   static_cast<void*>(nullptr)));
}

} // namespace exchange::ical
