// Writes without pause until it is killed, so that test_crash can kill it with SIGKILL at any
// moment. Each iteration does three writes: it saves the four slots of one date as the entry
// window does (one transaction of the changed slots), edits one row as the list grid does
// (updateRow), and writes the Settings file (saveSettingsFile). The first of the three is chosen by
// <phase> (0, 1 or 2), so that kills soon after the start land in each of them. What iteration i
// writes is in CrashRecords.h.
//
//   crash_writer <Schedule file> <Settings file> <first iteration> <phase> [iterations]
//
// Prints "ready" once both data controls are open, then each iteration's number once it is
// complete. Exits with 2 when a write fails; without a count it runs until it is killed.

#include "CrashRecords.h"

#include "settings/ConfigFile.h"
#include "store/DataControl.h"
#include "store/DayStore.h"

#include <cstdio>

namespace {

int failed(const char* what, const QString& detail) {
    std::fprintf(stderr, "crash_writer: %s: %s\n", what, qPrintable(detail));
    return 2;
}

QHash<QString, QVariant> gridRow(qint64 i) {
    const crash::GridValues values = crash::gridValues(i);
    return {{QStringLiteral("内容"), values.content},
            {QStringLiteral("レベル"), values.level},
            {QStringLiteral("アラーム"), values.alarm},
            {QStringLiteral("時刻"), values.time}};
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(
            stderr,
            "usage: crash_writer <Schedule file> <Settings file> <first iteration> <phase> [iterations]\n");
        return 2;
    }
    const QString schedule = QString::fromLocal8Bit(argv[1]);
    const QString iniFile = QString::fromLocal8Bit(argv[2]);
    const qint64 first = QByteArray(argv[3]).toLongLong();
    const int phase = QByteArray(argv[4]).toInt();
    const qint64 count = argc > 5 ? QByteArray(argv[5]).toLongLong() : crash::kIterationsPerRun - 1;

    store::DayStore entry(schedule);
    const QDate slotDate = QDate::fromString(crash::kSlotDate, QStringLiteral("yyyy/M/d"));
    // The date as the entry window loads it.
    std::array<store::SlotItem, 4> loaded;
    if (const store::Error error = entry.readDay(slotDate, loaded); error.failed())
        return failed("open", error.message);

    store::DataControl grid;
    grid.setDatabaseName(schedule);
    grid.setRecordSource(store::dateQuery(crash::kGridDate));
    if (const store::Error error = grid.refresh(); error.failed())
        return failed("grid", error.message);
    if (grid.recordCount() == 0) {
        QHash<QString, QVariant> row = gridRow(first);
        row.insert(QStringLiteral("年月日"), crash::kGridDate);
        row.insert(QStringLiteral("項目番号"), 1.0);
        if (const store::Error error = grid.appendRow(row); error.failed())
            return failed("grid row", error.message);
    }

    std::printf("ready\n");
    std::fflush(stdout);
    for (qint64 i = first; i < first + count; ++i) {
        for (int step = 0; step < 3; ++step) {
            switch ((phase + step) % 3) {
            case 0: {
                std::array<store::SlotItem, 4> items;
                for (int slot = 1; slot <= 4; ++slot)
                    items[static_cast<std::size_t>(slot - 1)] = crash::slotItem(i, slot);
                if (const store::Error error = entry.saveDay(slotDate, loaded, items); error.failed())
                    return failed("save", error.message);
                break;
            }
            case 1:
                if (const store::Error error = grid.updateRow(0, gridRow(i)); error.failed())
                    return failed("grid edit", error.message);
                break;
            default:
                if (const auto failure = settings::saveSettingsFile(
                        crash::settingsFor(i, iniFile), crash::settingsTop(i), crash::settingsTop(i) + 1))
                    return failed("Settings", *failure);
            }
        }
        std::printf("%lld\n", static_cast<long long>(i));
        std::fflush(stdout);
    }
    return 0;
}
