#include "exchange/IcalExport.h"

#include "calendar/Holidays.h"
#include "exchange/IcalCommon.h"
#include "exchange/IcalItem.h"
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
    const ComponentPtr event(icalcomponent_new_vevent());
    icalcomponent* ev = event.get();
    const int repeat = seen_[date.toJulianDay() * 8 + record.slot]++;
    icalcomponent_add_property(ev, icalproperty_new_uid(uidText(date, record.slot, repeat).constData()));
    icalcomponent_add_property(ev, icalproperty_new_dtstamp(stamp_));
    ical::setTimeText(ev, date, record.time);
    ical::setSummary(ev, content);
    ical::setPriority(ev, record.level);
    ical::setSlot(ev, record.slot);
    ical::setAlarm(ev, record.alarm, content);
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
    ical::setTimes(ev, holiday.date, -1);
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
