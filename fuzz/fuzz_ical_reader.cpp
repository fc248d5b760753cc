// Fuzz target: the reading of a calendar (exchange::Calendar::parse, then exchange::ItemReader over
// a year) on arbitrary bytes.
//
// Besides running without a sanitizer report, every item must be one the Schedule file can hold:
// a content of 1 to 80 characters, a level of 0 to 5, a slot of 0 to 4 and a time text no longer
// than the field; and every ToDo has a text. The reader's own
// bounds (the nesting depth, the zones, the steps and occurrences of a file's rules) keep every
// run short; a run that still takes seconds is reported by -timeout.

#include "exchange/IcalReader.h"
#include "store/ScheduleLayout.h"

#include <QByteArray>
#include <QDate>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what, const exchange::CalendarItem& item) {
    std::fprintf(stderr, "fuzz_ical_reader: %s\n  date: %s time: %s level: %d slot: %d\n  content: %s\n",
                 what, qPrintable(item.date.toString(Qt::ISODate)), qPrintable(item.time), item.level,
                 item.preferredSlot, qPrintable(item.content));
    std::abort();
}

void check(const exchange::CalendarItem& item) {
    const qsizetype characters = item.content.toUcs4().size();
    if (characters < 1 || characters > store::kContentWidth)
        fail("content the field cannot hold", item);
    if (item.level < 0 || item.level > store::kLevelCount)
        fail("no such level", item);
    if (item.preferredSlot < 0 || item.preferredSlot > store::kSlotCount)
        fail("no such slot", item);
    if (item.time.size() > store::kTimeWidth)
        fail("time text longer than its field", item);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const exchange::Calendar calendar = exchange::Calendar::parse(text);
    if (calendar.cancelled())
        std::abort(); // nothing asked it to stop
    if (!calendar.failure().isEmpty())
        return 0;
    const exchange::DateRange range{QDate(2026, 1, 1), QDate(2026, 12, 31)};
    exchange::ItemReader items(calendar, range);
    if (!items.plan())
        return 0;
    items.forEachItem([&](exchange::CalendarItem&& item) {
        check(item);
        return true;
    });
    for (const QString& todo : items.todos()) {
        if (todo.isEmpty())
            std::abort();
    }
    return 0;
}
