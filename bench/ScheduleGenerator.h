#pragma once
// A Schedule file for benchmarks: 1,000,000 Day records spread over the 30 years 2000–2029, made
// in a temporary folder that goes with the object. The values follow from the row number alone,
// so every run measures the same file.

#include "store/Connection.h"
#include "store/DayRecords.h"
#include "store/ScheduleFile.h"

#include <sqlite3.h>

#include <QDate>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace benchdata {

constexpr int kRecords = 1'000'000;
inline const QDate kFirstDay(2000, 1, 1);
inline const QDate kLastDay(2029, 12, 31);

class GeneratedSchedule {
  public:
    QTemporaryDir dir;
    QString path;
    std::vector<QString> dates; // every day of the 30 years, in order

    // Exits the program when the file cannot be made: no figure would mean anything.
    explicit GeneratedSchedule(const QString& fileName = QStringLiteral("bench.sdb")) {
        for (QDate d = kFirstDay; d <= kLastDay; d = d.addDays(1))
            dates.push_back(store::dateString(d));
        path = dir.filePath(fileName);
        // DADUVOV_BENCH_PLAIN=1: the tables made with plain CREATE TABLE, without the index.
        store::Error error;
        std::unique_ptr<store::Connection> connection;
        if (qEnvironmentVariableIntValue("DADUVOV_BENCH_PLAIN")) {
            connection = store::Connection::create(path, &error);
            if (connection)
                error = connection->exec(QStringLiteral(
                    "CREATE TABLE 予定表 (年月日 TEXT(12), 項目番号 REAL, レベル REAL, 内容 TEXT(80), "
                    "アラーム TEXT(10), 時刻 TEXT(6));"));
        } else if ((error = store::createScheduleFile(path)).ok()) {
            connection = store::Connection::open(path, &error);
        }
        if (connection && error.ok())
            error = insertAll(*connection);
        if (error.failed()) {
            std::fprintf(stderr, "cannot make the Schedule file: %s\n", qPrintable(error.message));
            std::exit(1);
        }
    }

  private:
    // Rows go in day by day, slots 1 to 4 in turn, so that each date and slot carries the same
    // share of rows: row i falls on day i mod (days), slot (i div days) mod 4 + 1; a sixth have no
    // level, a third are armed, every other one has the time 0930, the content is "予定 <i>".
    store::Error insertAll(store::Connection& connection) {
        store::Error error = connection.exec(QStringLiteral("BEGIN"));
        if (error.failed())
            return error;
        store::Statement* insert = connection.prepare(
            QStringLiteral(
                "INSERT INTO 予定表 (年月日, 項目番号, レベル, 内容, アラーム, 時刻) VALUES (?,?,?,?,?,?)"),
            &error);
        if (!insert)
            return error;
        const int days = static_cast<int>(dates.size());
        for (int i = 0; i < kRecords; ++i) {
            const int day = i % days;
            const int slot = (i / days) % 4 + 1;
            insert->reset();
            insert->bind(1, dates[static_cast<size_t>(day)]);
            insert->bind(2, static_cast<double>(slot));
            insert->bind(3, i % 6 == 0 ? QVariant() : QVariant(static_cast<double>(i % 6)));
            insert->bind(4, QStringLiteral("予定 %1").arg(i));
            insert->bind(5, i % 3 == 0 ? QStringLiteral("True") : QStringLiteral("False"));
            insert->bind(6, i % 2 == 0 ? store::kEmptyTime : QStringLiteral("0930"));
            if (sqlite3_step(insert->get()) != SQLITE_DONE)
                return connection.lastError();
        }
        insert->reset();
        return connection.exec(QStringLiteral("COMMIT"));
    }
};

} // namespace benchdata
