#pragma once
// The items of a Schedule file and of a collection in one form, "date [time ]content" (and
// "ToDo text"), so that a sync test compares both sides with one QCOMPARE.

#include "store/ScheduleLayout.h"
#include "support/ScheduleRows.h"
#include "sync/Mapping.h"

#include <QDate>
#include <QStringList>

namespace syncitems {

inline const exchange::DateRange kRange{QDate(2026, 1, 1), QDate(2027, 12, 31)};

inline QDate day(const QString& text) {
    return QDate::fromString(text, QStringLiteral("yyyy/M/d"));
}

inline QString itemText(const QString& date, const QString& time, const QString& content) {
    return date + QLatin1Char(' ') + (time.isEmpty() ? QString() : time + QLatin1Char(' ')) + content;
}

// The items of one resource within kRange, appended to `items`.
inline void addResourceItems(QStringList& items, const QString& href, const QByteArray& data) {
    for (const calsync::ServerItem& item : calsync::readResource(href, data, kRange).items)
        items << itemText(store::dateString(item.value.date), item.value.time, item.value.content);
    if (const QString todo = calsync::todoOf(data); !todo.isEmpty())
        items << QStringLiteral("ToDo ") + todo;
}

// Adds an item with the content `make` gives in the first of slots 1 and 2 that is free on `date`
// (the random runs keep two slots free for the sync's own use); nothing, and no content made, when
// both are taken. False when the file refuses.
template <typename Make> bool addInFreeSlot(const QString& file, const QDate& date, Make make) {
    for (int slot = 1; slot <= 2; ++slot)
        if (testrows::storedSlot(file, date, slot).content.isEmpty())
            return testrows::putSlot(file, date, slot, {make(), {}, false, store::kEmptyTime});
    return true;
}

// The Day records with content and the ToDo list, sorted.
inline QStringList fileItems(const QString& file) {
    const QStringList dates = testrows::column(file, store::kDayTable, 0);
    const QStringList contents = testrows::column(file, store::kDayTable, 3);
    const QStringList times = testrows::column(file, store::kDayTable, 5);
    QStringList items;
    for (qsizetype i = 0; i < dates.size() && i < contents.size() && i < times.size(); ++i) {
        if (!contents[i].isEmpty())
            items << itemText(dates[i], times[i] == store::kEmptyTime ? QString() : times[i], contents[i]);
    }
    for (const QString& todo : testrows::column(file, store::kTodoTable, 3))
        items << QStringLiteral("ToDo ") + todo;
    items.sort();
    return items;
}

} // namespace syncitems
