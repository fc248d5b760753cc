#pragma once
// What crash_writer writes in its iteration i, and how test_crash tells from a stored value
// which iteration wrote it. Every field of a row and every line of the Settings file carries the
// iteration, so a row or a file put together from two iterations, or cut off, is recognised.

#include "settings/Settings.h"
#include "store/DayRecords.h"

#include <QString>
#include <optional>

namespace crash {

// The date whose four slots are saved as the entry window saves them.
inline const QString kSlotDate = QStringLiteral("2026/7/7");
// The date of the one row that is edited as the list grid edits it.
inline const QString kGridDate = QStringLiteral("2026/8/1");
// Iterations of one writer run stay below this, so iterations of later runs are larger.
constexpr qint64 kIterationsPerRun = 100000;

inline QString padded(QString text, int length) {
    while (text.size() < length)
        text += QStringLiteral("あ");
    return text;
}

// Slot 4 is empty (its row deleted) in every third iteration; slots 1-3 always hold an item.
inline store::SlotItem slotItem(qint64 i, int slot) {
    store::SlotItem item;
    if (slot == 4 && i % 3 == 0)
        return item;
    item.content = padded(QStringLiteral("反復%1 項目%2 ").arg(i).arg(slot), 40 + static_cast<int>(i % 30));
    item.levelText = store::levelText(1 + static_cast<int>((i + slot) % 5));
    item.alarm = i % 2 == 0;
    item.timeText = QString::number(i % 1000000);
    return item;
}

struct GridValues {
    QString content;
    double level;
    QString alarm;
    QString time;
};

inline GridValues gridValues(qint64 i) {
    return {padded(QStringLiteral("一覧反復%1 ").arg(i), 50 + static_cast<int>(i % 25)),
            static_cast<double>(1 + i % 5), i % 2 ? QStringLiteral("True") : QStringLiteral("False"),
            QString::number(i % 1000000)};
}

inline float settingsTop(qint64 i) {
    return static_cast<float>(i % 10000) + 0.5f;
}

inline settings::Settings settingsFor(qint64 i, const QString& iniFile) {
    settings::Settings s;
    s.setColorDefaults();
    s.settingsFile = iniFile;
    s.scheduleFile = QStringLiteral("/tmp/予定%1.sdb").arg(i);
    for (int slot = 1; slot <= 4; ++slot)
        s.slotLabel(slot) = QStringLiteral("見出し%1-%2").arg(i).arg(slot);
    for (int level = 0; level <= 5; ++level)
        s.levelColor(level) = static_cast<qint32>(i * 6 + level);
    s.markDaysWithItems = i % 2 == 1;
    s.todoWidth = static_cast<qint16>(i % 30000);
    s.todoTop = static_cast<qint32>(i);
    return s;
}

// The iteration in a content written as "<prefix><iteration> …".
inline std::optional<qint64> iterationOf(const QString& content, const QString& prefix) {
    if (!content.startsWith(prefix))
        return std::nullopt;
    const qsizetype blank = content.indexOf(QLatin1Char(' '), prefix.size());
    bool ok = false;
    const qint64 i = content.mid(prefix.size(), blank - prefix.size()).toLongLong(&ok);
    return ok && blank > prefix.size() ? std::optional<qint64>(i) : std::nullopt;
}

} // namespace crash
