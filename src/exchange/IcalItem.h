#pragma once
// How a Day record's fields are written on a VEVENT, for the iCalendar export and for the sync:
// the time as a DTSTART (30 minutes from a clock time, floating local time; the whole day
// without one), the level as PRIORITY, the alarm as a display VALARM at the start, the slot and a
// time text that is no clock time as properties of our own. Each part replaces what the event held
// for it and leaves the event's other properties alone.

#include <libical/ical.h>

#include <QByteArray>
#include <QDate>

namespace exchange::ical {

// Minutes after midnight of a time text of four digits HHMM, or -1.
int clockMinutes(const QByteArray& text);

// DTSTART and DTEND (any DURATION removed): 30 minutes from `minutes` after midnight, the whole
// day when it is negative.
void setTimes(icalcomponent* event, const QDate& date, int minutes);
// The times of a stored time text, and X-DADUVOV-TIME for one that is no clock time ("930").
void setTimeText(icalcomponent* event, const QDate& date, const QByteArray& time);
void setSummary(icalcomponent* event, const char* content);
void setPriority(icalcomponent* event, int level);
void setSlot(icalcomponent* event, int slot);
// A display alarm at the start, or no alarm at all.
void setAlarm(icalcomponent* event, bool alarm, const char* content);

} // namespace exchange::ical
