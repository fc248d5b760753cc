// Writes a Schedule file of N Day records for the whole-process measurements
// (bench/measure_process.sh): make_day_records <path> <records>. The path must not exist.

#include "DayRecordsFile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool ok = false;
    const int records = args.size() == 3 ? args[2].toInt(&ok) : -1;
    if (!ok || records < 0) {
        std::fprintf(stderr, "usage: daduvov_make_day_records <path> <records>\n");
        return 2;
    }
    if (const store::Error error = benchcal::makeDayRecordsFile(args[1], records)) {
        std::fprintf(stderr, "cannot make %s: %s\n", qPrintable(args[1]), qPrintable(error.message));
        return 1;
    }
    return 0;
}
