#include "exchange/IcalImport.h"

#include "exchange/IcalExport.h"
#include "exchange/Messages.h"
#include "store/ItemImport.h"
#include "store/ScheduleLayout.h"

#include <QFile>
#include <QSet>

#include <algorithm>

namespace exchange {

Calendar readCalendarFile(const QString& path, const Progress& progress) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Calendar::failed(messages::cannotRead(path, file.errorString()));
    constexpr qint64 kMaxBytes = 256 * 1024 * 1024;
    if (file.size() > kMaxBytes)
        return Calendar::failed(messages::tooLarge(path));
    return Calendar::parse(file.readAll(), progress);
}

namespace {

// A stored content as an import would store it, so that an item exported and imported again is
// found as the one already there, whatever line breaks, tabs or outer blanks it holds.
QString comparableContent(const QString& stored) {
    return storedContent(stored.trimmed(), nullptr);
}

// Whether the date holds an item of the same content and time already.
bool alreadyStored(const CalendarItem& item, const store::ItemImport::DateItems& stored) {
    const QString timeText = item.time.isEmpty() ? store::kEmptyTime : item.time;
    const auto& present = stored.contentAndTime;
    return std::any_of(present.begin(), present.end(), [&](const std::pair<QString, QString>& row) {
        return comparableContent(row.first) == item.content &&
               (row.second.isEmpty() ? store::kEmptyTime : row.second) == timeText;
    });
}

// The slot an item goes to: the one it came from when that is free, else the first free one; 0
// when none is.
int freeSlot(int preferred, const std::array<bool, store::kSlotCount>& used) {
    if (preferred > 0 && !used[static_cast<size_t>(preferred) - 1])
        return preferred;
    for (int s = 1; s <= store::kSlotCount; ++s) {
        if (!used[static_cast<size_t>(s) - 1])
            return s;
    }
    return 0;
}

// Adds the items of a calendar to the import's transaction, each to a free slot of its date, and
// counts in the report what became of each.
struct ItemAdder {
    store::ItemImport& file;
    ImportReport& report;
    store::Error failure; // why the last item stopped the import

    // False when a read or a write failed (in `failure`).
    bool operator()(CalendarItem&& item) {
        // A date that does not exist is never stored: the tables need not refuse it themselves.
        if (!item.date.isValid()) {
            ++report.unreadable;
            return true;
        }
        // The calendar names the holidays itself: an export's holiday events would only repeat
        // them as items.
        if (isExportedHolidayUid(item.key.section(QLatin1Char('/'), 0, 0))) {
            ++report.holidays;
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
        if (alreadyStored(item, stored.value())) {
            ++report.duplicates;
            failure = file.rememberKey(item.key);
            return failure.ok();
        }
        const int slot = freeSlot(item.preferredSlot, stored.value().used);
        if (slot == 0) {
            report.fullDates << store::dateString(item.date);
            return true;
        }
        return addTo(slot, item);
    }

    bool addTo(int slot, const CalendarItem& item) {
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
    }
};

// Adds the calendar's ToDos that the list does not hold yet. The failure, or empty when they were
// added or the user cancelled (report.cancelled).
QString addTodos(store::ItemImport& file, ItemReader& items, ImportReport& report) {
    if (items.todos().isEmpty())
        return QString();
    const store::Result<QSet<QString>> stored = file.todoTexts();
    if (!stored.ok())
        return messages::storeFailure(stored.error());
    QSet<QString> present;
    for (const QString& text : stored.value())
        present.insert(comparableContent(text));
    for (const QString& todo : items.todos()) {
        if (!items.advance(1)) {
            report.cancelled = true;
            return QString();
        }
        bool shortened = false;
        const QString text = storedContent(todo, &shortened);
        if (present.contains(text)) {
            ++report.duplicates;
            continue;
        }
        if (store::Error error = file.addTodo(text); error.failed())
            return messages::storeFailure(error);
        present.insert(text);
        ++report.todosAdded;
        report.shortened += shortened ? 1 : 0;
    }
    return QString();
}

// The report of an import that added nothing: the transaction undone, the failure given unless
// the user cancelled.
ImportReport failed(store::ItemImport& file, ImportReport report, const QString& failure) {
    file.rollback();
    if (!report.cancelled)
        report.failure = failure;
    report.added = report.todosAdded = report.duplicates = report.shortened = report.timesDropped =
        report.alarmsAtStart = report.unreadable = report.holidays = 0;
    report.fullDates.clear();
    return report;
}

} // namespace

ImportReport importCalendar(const Calendar& calendar, const QString& schedulePath, const DateRange& range,
                            const Progress& progress) {
    ImportReport report;
    if (calendar.cancelled() || !calendar.failure().isEmpty()) {
        report.cancelled = calendar.cancelled();
        report.failure = calendar.failure();
        return report;
    }
    ItemReader items(calendar, range, progress);
    if (!items.plan()) {
        report.cancelled = items.cancelled();
        if (!items.cancelled())
            report.failure = messages::tooManyOccurrences();
        return report;
    }
    store::ItemImport file;
    if (store::Error error = file.begin(schedulePath); error.failed())
        return failed(file, report, messages::storeFailure(error));
    report.unreadable = calendar.unreadable();
    ItemAdder add{file, report, {}};
    if (!items.forEachItem([&](CalendarItem&& item) { return add(std::move(item)); })) {
        report.cancelled = items.cancelled() && add.failure.ok();
        return failed(file, report,
                      add.failure.failed() ? messages::storeFailure(add.failure)
                                           : messages::tooManyOccurrences());
    }
    if (const QString failure = addTodos(file, items, report); !failure.isEmpty() || report.cancelled)
        return failed(file, report, failure);
    if (!items.finish()) {
        report.cancelled = true;
        return failed(file, report, QString());
    }
    if (store::Error error = file.commit(); error.failed())
        return failed(file, report, messages::storeFailure(error));
    return report;
}

QString importSummary(const ImportReport& report) {
    return messages::importSummary(report.added, report.todosAdded, report.duplicates, report.fullDates,
                                   report.shortened, report.timesDropped, report.alarmsAtStart,
                                   report.unreadable, report.holidays);
}

} // namespace exchange
