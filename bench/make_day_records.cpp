// Writes a Schedule file of N Day records for the whole-process measurements
// (bench/measure_process.sh): make_day_records <path> <records> [plain]. The path must not exist;
// "plain" makes the tables with plain CREATE TABLE and no index instead of CREATE_SDB.

#include "DayRecordsFile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool ok = false;
    const bool plain = args.size() == 4 && args[3] == QLatin1String("plain");
    const int records = args.size() == 3 || plain ? args[2].toInt(&ok) : -1;
    if (!ok || records < 0) {
        std::fprintf(stderr, "usage: daduvov_make_day_records <path> <records> [plain]\n");
        return 2;
    }
    if (const store::Error error = benchcal::makeDayRecordsFile(args[1], records, plain); error.failed()) {
        std::fprintf(stderr, "cannot make %s: %s\n", qPrintable(args[1]), qPrintable(error.message));
        return 1;
    }
    return 0;
}
