#!/usr/bin/env python3
"""A second client of a calendar collection, editing it as a phone would (python3-caldav):
phone_client.py COLLECTION-URL USER PASSWORD, then commands on standard input, one a line:
  add UID DATE TIME SUMMARY   a new event; DATE 2026/3/10, TIME 0930 in the local zone or - for
                              all day; SUMMARY the rest of the line
  edit UID SUMMARY            a new summary
  move UID DATE               another day, the time of day kept
  delete UID
  list                        every event: UID, date, time (or -) and summary, tab-separated
Exits 1 with the reason on standard error at the first command that fails.
"""
import datetime
import os
import sys
import zoneinfo

import caldav
import icalendar

ZONE = zoneinfo.ZoneInfo(os.environ.get("TZ") or "Asia/Tokyo")


def day(text):
    year, month, date = (int(part) for part in text.split("/"))
    return datetime.date(year, month, date)


def start_of(date, time):
    if time == "-":
        return date
    local = datetime.datetime(date.year, date.month, date.day, int(time[:2]), int(time[2:]), tzinfo=ZONE)
    return local.astimezone(datetime.timezone.utc)


def event_of(calendar, uid):
    return calendar.event_by_uid(uid)


def component(event):
    parsed = icalendar.Calendar.from_ical(event.data)
    return parsed, next(part for part in parsed.walk("VEVENT"))


def save(event, parsed):
    event.data = parsed.to_ical().decode("utf-8")
    event.save()


def run(calendar, words, rest):
    command = words[0]
    if command == "add":
        uid, date, time = words[1], day(words[2]), words[3]
        parsed = icalendar.Calendar()
        parsed.add("prodid", "-//phone//EN")
        parsed.add("version", "2.0")
        event = icalendar.Event()
        event.add("uid", uid)
        event.add("dtstamp", datetime.datetime.now(datetime.timezone.utc))
        event.add("dtstart", start_of(date, time))
        event.add("summary", rest(4))
        parsed.add_component(event)
        calendar.save_event(parsed.to_ical().decode("utf-8"))
    elif command == "edit":
        event = event_of(calendar, words[1])
        parsed, vevent = component(event)
        vevent["summary"] = icalendar.vText(rest(2))
        save(event, parsed)
    elif command == "move":
        event = event_of(calendar, words[1])
        parsed, vevent = component(event)
        start = vevent.decoded("dtstart")
        date = day(words[2])
        if isinstance(start, datetime.datetime):
            local = start.astimezone(ZONE)
            moved = start_of(date, local.strftime("%H%M"))
        else:
            moved = date
        del vevent["dtstart"]
        vevent.add("dtstart", moved)
        save(event, parsed)
    elif command == "delete":
        event_of(calendar, words[1]).delete()
    elif command == "list":
        for event in calendar.events():
            _, vevent = component(event)
            start = vevent.decoded("dtstart")
            if isinstance(start, datetime.datetime):
                local = start.astimezone(ZONE)
                date, time = local.date(), local.strftime("%H%M")
            else:
                date, time = start, "-"
            print("\t".join([str(vevent["uid"]), f"{date.year}/{date.month}/{date.day}", time,
                             str(vevent.get("summary", ""))]))
    else:
        raise ValueError("unknown command: " + command)


def main():
    url, user, password = sys.argv[1:4]
    client = caldav.DAVClient(url=url, username=user, password=password)
    calendar = client.calendar(url=url)
    for line in sys.stdin.read().splitlines():
        if not line.strip():
            continue
        words = line.split(" ")
        try:
            run(calendar, words, lambda first: " ".join(words[first:]))
        except Exception as error:  # noqa: BLE001 - the test wants the reason, whatever it is
            print(f"{line}: {type(error).__name__}: {error}", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
