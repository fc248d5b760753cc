// iCalendar export and import and CSV export over real Schedule files, and the command line of
// the real program without a display.

#include "exchange/Csv.h"
#include "exchange/IcalExport.h"
#include "exchange/IcalImport.h"
#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/ScheduleFile.h"
#include "store/ScheduleLayout.h"
#include "support/Files.h"
#include "support/ScheduleRows.h"
#include "support/TestEnv.h"

#include <libical/ical.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringDecoder>
#include <QThread>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using testrows::dayRows;
using testsupport::fileBytes;

namespace {

QStringList todoRows(const QString& file) {
    return testrows::column(file, QStringLiteral("SELECT やるべき事 FROM ToDoリスト"), 0);
}

exchange::ImportReport importText(const QByteArray& text, const QString& file,
                                  const exchange::DateRange& range = {QDate(2026, 1, 1),
                                                                      QDate(2026, 12, 31)}) {
    return exchange::importCalendar(exchange::Calendar::parse(text), file, range);
}

// A VCALENDAR with one VEVENT per (uid, start, summary).
QByteArray calendarOf(const QList<std::tuple<QString, QString, QString>>& events) {
    QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//test//EN\r\n";
    for (const auto& [uid, start, summary] : events)
        text += "BEGIN:VEVENT\r\nUID:" + uid.toUtf8() + "\r\nDTSTAMP:20260101T000000Z\r\nDTSTART" +
                start.toUtf8() + "\r\nSUMMARY:" + summary.toUtf8() + "\r\nEND:VEVENT\r\n";
    return text + "END:VCALENDAR\r\n";
}

// What is at a path and what it leads to, without opening anything that could block: type,
// inode, owner and device number of both, the text of a link and the bytes of a regular file.
QString snapshot(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    QString text;
    struct stat info {};
    for (const bool follow : {false, true}) {
        if ((follow ? ::stat(name.constData(), &info) : ::lstat(name.constData(), &info)) != 0) {
            text += QStringLiteral("none|");
            continue;
        }
        text += QStringLiteral("%1 %2 %3 %4|")
                    .arg(info.st_mode)
                    .arg(info.st_ino)
                    .arg(info.st_uid)
                    .arg(info.st_rdev);
        if (!follow && S_ISLNK(info.st_mode))
            text += QFile::symLinkTarget(path) + QLatin1Char('|');
        if (follow && S_ISREG(info.st_mode))
            text += QString::fromUtf8(fileBytes(path).toHex());
    }
    return text;
}

enum class Target {
    OwnLink,
    DeviceLink,
    Fifo,
    Folder,
    Dangling,
    LinkInSharedFolder,
    PlantedLink,
    OthersFile,
    Schedule,
    ScheduleLink,
    ScheduleHardLink,
    ScheduleSpelling
};

} // namespace

class TestExchange : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        env_ = std::make_unique<testsupport::TestEnv>();
        file_ = env_->makeScheduleFile();
    }
    void cleanup() { env_.reset(); }

    void roundTrip() {
        const QString longText = QString(QStringLiteral("長い件名の予定です")).repeated(9).left(80);
        testrows::addDays(file_, {{"2026/1/5", 1, 3.0, "会議", "True", "0930"},
                                  {"2026/1/5", 2, {}, "終日"},
                                  {"2026/1/5", 4, 5.0, longText, "True"},
                                  {"2026/12/31", 3, 1.0, "年越し", "False", "2345"},
                                  {"2026/2/1", 1, {}, "変な時刻", "False", "930"},
                                  {"2027/2/28", 2, 2.0, "カンマ, \"引用\" \\ 記号;", "False", "0000"}});
        testrows::addTodos(file_, {"牛乳を買う", "Call, \"home\""});

        const QString ics = env_->path(QStringLiteral("out.ics"));
        const exchange::IcsExport exported = exchange::exportIcs(file_, ics);
        QVERIFY2(exported.failure.isEmpty(), qPrintable(exported.failure));
        QCOMPARE(exported.events, 6);
        QCOMPARE(exported.todos, 2);

        // UTF-8 lines ended by CR LF, folded at 75 octets without splitting a character.
        const QByteArray bytes = fileBytes(ics);
        QVERIFY(bytes.endsWith("END:VCALENDAR\r\n"));
        for (const QByteArray& line : bytes.chopped(1).split('\n')) {
            QVERIFY2(line.endsWith('\r') && !line.chopped(1).contains('\r'), line.constData());
            QVERIFY2(line.size() - 1 <= 75, line.constData());
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString text = utf8.decode(line);
            QVERIFY2(!utf8.hasError(), line.constData());
        }
        // libical's own check of the required and allowed properties.
        icalcomponent* parsed = icalparser_parse_string(bytes.constData());
        QVERIFY(parsed);
        QVERIFY(icalrestriction_check(parsed));
        QCOMPARE(icalcomponent_count_errors(parsed), 0);
        icalcomponent_free(parsed);

        // The same file gives the same UIDs.
        const QString again = env_->path(QStringLiteral("again.ics"));
        QVERIFY(exchange::exportIcs(file_, again).failure.isEmpty());
        const auto uids = [](const QByteArray& text) {
            QByteArrayList lines;
            for (const QByteArray& line : text.split('\n'))
                if (line.startsWith("UID:"))
                    lines << line;
            return lines;
        };
        QCOMPARE(uids(fileBytes(again)), uids(bytes));

        const QString empty = env_->makeScheduleFile(QStringLiteral("empty.sdb"));
        const exchange::Calendar calendar = exchange::readCalendarFile(ics);
        QVERIFY2(calendar.failure().isEmpty(), qPrintable(calendar.failure()));
        const exchange::ImportReport report = exchange::importCalendar(calendar, empty, {});
        QVERIFY2(report.failure.isEmpty(), qPrintable(report.failure));
        QCOMPARE(report.added, 6);
        QCOMPARE(dayRows(empty), dayRows(file_));
        QCOMPARE(todoRows(empty), todoRows(file_));

        // A second import of the same file adds nothing.
        const exchange::ImportReport second = exchange::importCalendar(calendar, empty, {});
        QCOMPARE(second.added + second.todosAdded, 0);
        QCOMPARE(second.duplicates, 8);
        QCOMPARE(dayRows(empty), dayRows(file_));
    }

    // An export longer than the limit of a single query still completes: it has its own progress.
    void exportOutlastsTheQueryLimit() {
        QList<testrows::DayRow> rows;
        for (int day = 0; day < 1100; ++day)
            rows.append({store::dateString(QDate(2026, 1, 1).addDays(day / 4)),
                         static_cast<double>(day % 4 + 1),
                         {},
                         QStringLiteral("予定")});
        testrows::addDays(file_, rows);
        bool waited = false;
        const exchange::IcsExport exported =
            exchange::exportIcs(file_, env_->path(QStringLiteral("slow.ics")), [&](qint64, qint64) {
                if (!waited)
                    QThread::msleep(static_cast<unsigned long>(store::Connection::kWorkLimit.count()) + 500);
                waited = true;
                return true;
            });
        QVERIFY2(exported.failure.isEmpty(), qPrintable(exported.failure));
        QCOMPARE(exported.events, 1100);
    }

    // A file as another organizer writes it, from the examples of RFC 5545.
    void otherOrganizer() {
        const exchange::Calendar calendar =
            exchange::readCalendarFile(QFINDTESTDATA("data/other_organizer.ics"));
        QVERIFY2(calendar.failure().isEmpty(), qPrintable(calendar.failure()));
        QVERIFY(calendar.hasRecurrences());
        const exchange::ImportReport report =
            exchange::importCalendar(calendar, file_, {QDate(2026, 1, 1), QDate(2026, 12, 31)});
        QVERIFY2(report.failure.isEmpty(), qPrintable(report.failure));
        QCOMPARE(report.shortened, 1);

        const QString longTitle = QString(QStringLiteral("あいうえおかきくけこ")).repeated(9);
        const QStringList expected = {
            // All-day, yearly: once within the range.
            QStringLiteral("2026/11/2|1|NULL|Our Blissful Anniversary|False|####"),
            // 19:00 in New York on 10 March 2026 (daylight time) is 08:00 on 11 March in Tokyo;
            // its alarm rings 15 minutes before.
            QStringLiteral("2026/3/11|1|1|Conference call|True|0745"),
            // Weekly on Mondays at 01:00 UTC: every Monday of the range but the excluded one.
            QStringLiteral("2026/1/5|1|NULL|週次ミーティング|False|1000"),
            QStringLiteral("2026/1/12|1|NULL|週次ミーティング|False|1000"),
        };
        const QStringList rows = dayRows(file_);
        QCOMPARE(rows.mid(0, 4), expected);
        QVERIFY(!rows.contains(QStringLiteral("2026/1/19|1|NULL|週次ミーティング|False|1000")));
        QCOMPARE(rows.filter(QStringLiteral("週次ミーティング")).size(), 51); // 52 Mondays, one excluded
        QVERIFY(rows.contains(QStringLiteral("2026/1/20|1|NULL|") + longTitle.left(79) +
                              QStringLiteral("…|False|####")));
        QCOMPARE(todoRows(file_), QStringList{QStringLiteral("Submit Quebec Income Tax Return for 2026")});
        QCOMPARE(report.added, rows.size());
    }

    void duplicates() {
        const QByteArray first = calendarOf({{"a@x", ";VALUE=DATE:20260301", "歯医者"}});
        QCOMPARE(importText(first, file_).added, 1);
        // The item was edited since: the same UID is still not added again.
        testrows::addDays(file_, {{"2026/3/1", 2, {}, "別の予定"}});
        QCOMPARE(importText(first, file_).duplicates, 1);
        // Another UID (or none) with the same date, time and content, and the same event twice.
        const QByteArray other = calendarOf({{"b@y", ";VALUE=DATE:20260301", "歯医者"},
                                             {"c@y", ":20260302T090000", "散髪"},
                                             {"c@y", ":20260302T090000", "散髪"}});
        const exchange::ImportReport report = importText(other, file_);
        QCOMPARE(report.added, 1);
        QCOMPARE(report.duplicates, 2);
        QCOMPARE(dayRows(file_).size(), 3);
    }

    // The file's own export, imported back, adds nothing: contents with line breaks, tabs and
    // outer blanks are found as the items already there.
    void reimportOwnExportAddsNothing() {
        testrows::addDays(file_, {{"2026/1/5", 1, {}, " 会議\t室 ", "True", "0930"},
                                  {"2026/1/5", 2, {}, "一行目\n二行目"},
                                  {"2026/1/6", 1, 2.0, "終日"}});
        testrows::addTodos(file_, {QStringLiteral(" 買い物 "), QStringLiteral("電話\t折り返し")});
        const QString ics = env_->path(QStringLiteral("own.ics"));
        QVERIFY(exchange::exportIcs(file_, ics).failure.isEmpty());
        const QStringList before = dayRows(file_);
        const exchange::ImportReport report = importText(fileBytes(ics), file_);
        QVERIFY2(report.failure.isEmpty(), qPrintable(report.failure));
        QCOMPARE(std::tuple(report.added, report.todosAdded, report.duplicates, report.fullDates.size()),
                 std::tuple(0, 0, 5, qsizetype(0)));
        QCOMPARE(dayRows(file_), before);
    }

    // The national holidays of a year as all-day events: on request only, apart from the items'
    // UIDs, and left out when the file comes back in. A year the rules do not know writes nothing.
    void holidaysInExport_data() {
        QTest::addColumn<int>("year"); // 0: not asked for
        QTest::addColumn<int>("holidays");
        QTest::addColumn<bool>("written");
        QTest::newRow("not asked for") << 0 << 0 << true;
        // 2026: 16 named days, 振替休日 on 5/6 and 国民の休日 on 9/22.
        QTest::newRow("2026") << 2026 << 18 << true;
        QTest::newRow("2100") << 2100 << 0 << false;
    }
    void holidaysInExport() {
        QFETCH(int, year);
        QFETCH(int, holidays);
        QFETCH(bool, written);
        testrows::addDays(file_, {{"2026/1/1", 1, {}, "初詣"}, {"2026/5/6", 1, {}, "休み"}});
        const QString ics = env_->path(QStringLiteral("holidays.ics"));
        const exchange::IcsExport exported =
            exchange::exportIcs(file_, ics, {}, year ? std::optional<int>(year) : std::nullopt);
        QCOMPARE(exported.failure.isEmpty(), written);
        QCOMPARE(QFile::exists(ics), written);
        if (!written) {
            QVERIFY2(exported.failure.contains(QString::number(year)), qPrintable(exported.failure));
            return;
        }
        QCOMPARE(exported.events, 2);
        QCOMPARE(exported.holidays, holidays);
        const QByteArray bytes = fileBytes(ics);
        QCOMPARE(bytes.count("BEGIN:VEVENT"), 2 + holidays);
        QCOMPARE(bytes.count("UID:holiday-"), holidays);
        if (holidays > 0) {
            for (const QByteArray& line :
                 {QByteArray("UID:holiday-20260101@daduvov\r\n"), QByteArray("UID:20260101-1@daduvov\r\n"),
                  QByteArray(
                      "DTSTART;VALUE=DATE:20260506\r\nDTEND;VALUE=DATE:20260507\r\nSUMMARY:振替休日\r\n"),
                  QByteArray("SUMMARY:国民の休日\r\n"), QByteArray("CATEGORIES:祝日\r\n"),
                  QByteArray("TRANSP:TRANSPARENT\r\n")})
                QVERIFY2(bytes.contains(line), line.constData());
        }
        icalcomponent* parsed = icalparser_parse_string(bytes.constData());
        QVERIFY(parsed);
        QVERIFY(icalrestriction_check(parsed));
        icalcomponent_free(parsed);

        // Imported into a new file only the items arrive; into their own file, nothing.
        const QString empty = env_->makeScheduleFile(QStringLiteral("empty.sdb"));
        const exchange::ImportReport report = importText(bytes, empty);
        QVERIFY2(report.failure.isEmpty(), qPrintable(report.failure));
        QCOMPARE(std::tuple(report.added, report.duplicates, report.holidays), std::tuple(2, 0, holidays));
        QCOMPARE(exchange::importSummary(report).contains(QStringLiteral("祝日")), holidays > 0);
        QCOMPARE(dayRows(empty), dayRows(file_));
        const QStringList before = dayRows(file_);
        QCOMPARE(importText(bytes, file_).added, 0);
        QCOMPARE(dayRows(file_), before);
    }

    // The reading alone, on bytes: the items and ToDos a calendar gives, with no file involved.
    void readerGivesItems() {
        QByteArray text = calendarOf({{"a@x", ";VALUE=DATE:20260301", " 歯医者 "},
                                      {"b@x", ":20260302T090000", "散髪"},
                                      {"c@x", ";VALUE=DATE:20260303", "取り消し"}});
        text.replace("SUMMARY:取り消し", "STATUS:CANCELLED\r\nSUMMARY:取り消し");
        text.replace("END:VCALENDAR",
                     "BEGIN:VTODO\r\nUID:t@x\r\nSUMMARY: 牛乳 \r\nEND:VTODO\r\nEND:VCALENDAR");
        const exchange::Calendar calendar = exchange::Calendar::parse(text);
        QVERIFY2(calendar.failure().isEmpty(), qPrintable(calendar.failure()));
        exchange::ItemReader items(calendar, {QDate(2026, 1, 1), QDate(2026, 12, 31)});
        QVERIFY(items.plan());
        QStringList read;
        QVERIFY(items.forEachItem([&](exchange::CalendarItem&& item) {
            read << store::dateString(item.date) + QLatin1Char('|') + item.time + QLatin1Char('|') +
                        item.content + QLatin1Char('|') + item.key;
            return true;
        }));
        QCOMPARE(read,
                 (QStringList{"2026/3/1||歯医者|a@x/20260301", "2026/3/2|0900|散髪|b@x/20260302T090000"}));
        QCOMPARE(items.todos(), QStringList{QStringLiteral("牛乳")});
        QVERIFY(items.finish());
    }

    void fullSlots() {
        testrows::addDays(file_,
                          {{"2026/4/1", 1, {}, "一"}, {"2026/4/1", 2, {}, "二"}, {"2026/4/1", 4, {}, "四"}});
        const exchange::ImportReport report =
            importText(calendarOf({{"p@x", ";VALUE=DATE:20260401", "三"},
                                   {"q@x", ";VALUE=DATE:20260401", "五"},
                                   {"r@x", ";VALUE=DATE:20260402", "翌日"}}),
                       file_);
        QCOMPARE(report.added, 2);
        QCOMPARE(report.fullDates, QStringList{QStringLiteral("2026/4/1")});
        QVERIFY(exchange::importSummary(report).contains(QStringLiteral("2026/4/1")));
        QCOMPARE(testrows::column(
                     file_, QStringLiteral("SELECT * FROM 予定表 WHERE 年月日='2026/4/1' AND 項目番号=3"), 3),
                 QStringList{QStringLiteral("三")});
    }

    // A start time no clock shows keeps its date as written and loses only the time, and the
    // summary counts it.
    void startTimes_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("stored"); // 年月日|時刻
        QTest::addColumn<int>("timesDropped");
        QTest::newRow("floating") << ":20260105T093000"
                                  << "2026/1/5|0930" << 0;
        QTest::newRow("UTC") << ":20260105T153000Z"
                             << "2026/1/6|0030" << 0;
        QTest::newRow("leap second") << ":20260105T235960"
                                     << "2026/1/5|2359" << 0;
        QTest::newRow("hour 25") << ":20260105T250000"
                                 << "2026/1/5|####" << 1;
        QTest::newRow("hour 25 in UTC") << ":20260105T250000Z"
                                        << "2026/1/5|####" << 1;
        QTest::newRow("minute 61") << ";TZID=Asia/Tokyo:20260105T096100"
                                   << "2026/1/5|####" << 1;
    }
    void startTimes() {
        QFETCH(QString, start);
        QFETCH(QString, stored);
        QFETCH(int, timesDropped);
        const exchange::ImportReport report = importText(calendarOf({{"t@x", start, "予定"}}), file_);
        QCOMPARE(report.added, 1);
        QCOMPARE(report.timesDropped, timesDropped);
        const QStringList date = stored.split(QLatin1Char('|'));
        QCOMPARE(dayRows(file_), QStringList{date[0] + QStringLiteral("|1|NULL|予定|False|") + date[1]});
        QCOMPARE(exchange::importSummary(report).contains(QStringLiteral("時刻なし")), timesDropped > 0);
    }

    // An alarm rings when its trigger says, on the start's date; otherwise at the start, counted.
    void alarmTriggers_data() {
        QTest::addColumn<QByteArray>("trigger");
        QTest::addColumn<QString>("time");
        QTest::addColumn<int>("atStart");
        QTest::newRow("ten minutes before") << QByteArray("TRIGGER:-PT10M") << "0920" << 0;
        QTest::newRow("at a moment in UTC")
            << QByteArray("TRIGGER;VALUE=DATE-TIME:20260105T001500Z") << "0915" << 0;
        QTest::newRow("before the end") << QByteArray("TRIGGER;RELATED=END:-PT5M") << "0930" << 1;
        QTest::newRow("the day before") << QByteArray("TRIGGER:-PT10H") << "0930" << 1;
    }

    void alarmTriggers() {
        QFETCH(QByteArray, trigger);
        QFETCH(QString, time);
        QFETCH(int, atStart);
        QByteArray text = calendarOf({{"t@x", ":20260105T093000", "会議"}});
        text.replace("END:VEVENT", "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:会議\r\n" + trigger +
                                       "\r\nEND:VALARM\r\nEND:VEVENT");
        const exchange::ImportReport report = importText(text, file_);
        QCOMPARE(report.added, 1);
        QCOMPARE(report.alarmsAtStart, atStart);
        QCOMPARE(dayRows(file_), QStringList{QStringLiteral("2026/1/5|1|NULL|会議|True|") + time});
        QCOMPARE(exchange::importSummary(report).contains(QStringLiteral("開始時刻で鳴らす")), atStart > 0);
    }

    // Recurring events and time zones as other programs write them, and as a hostile file may.
    void recurrences_data() {
        QTest::addColumn<QByteArray>("components");
        QTest::addColumn<QStringList>("stored"); // 年月日|時刻 of every row
        const auto event = [](const QByteArray& lines) {
            return "BEGIN:VEVENT\r\nUID:r@x\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:予定\r\n" + lines +
                   "END:VEVENT\r\n";
        };
        const auto zone = [](const QByteArray& tzid, const QByteArray& parts) {
            return "BEGIN:VTIMEZONE\r\nTZID:" + tzid + "\r\n" + parts + "END:VTIMEZONE\r\n";
        };
        const QByteArray everyMinute = "BEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nRRULE:FREQ=MINUTELY\r\n"
                                       "TZOFFSETFROM:+0000\r\nTZOFFSETTO:+0000\r\nEND:STANDARD\r\n";
        QTest::newRow("RDATEs") << event("DTSTART;VALUE=DATE:20260301\r\nRDATE;VALUE=DATE:20260302\r\n"
                                         "RDATE;VALUE=DATE:20260303,20260304\r\n")
                                << QStringList{"2026/3/1|####", "2026/3/2|####", "2026/3/3|####",
                                               "2026/3/4|####"};
        QTest::newRow("two rules with COUNT")
            << event("DTSTART;VALUE=DATE:20260105\r\nRRULE:FREQ=WEEKLY;COUNT=2\r\n"
                     "RRULE:FREQ=YEARLY;BYMONTH=7;BYMONTHDAY=1;COUNT=1\r\n")
            << QStringList{"2026/1/5|####", "2026/1/12|####", "2026/7/1|####"};
        // A short rule of a fine frequency costs its count, not the range's seconds; its three
        // instances fall in one minute and make one item.
        QTest::newRow("every second, three times")
            << event("DTSTART:20260105T090000\r\nRRULE:FREQ=SECONDLY;COUNT=3\r\n")
            << QStringList{"2026/1/5|0900"};
        // The count runs from DTSTART, long before the range.
        QTest::newRow("weekly since 2005")
            << event("DTSTART:20050103T090000\r\nRRULE:FREQ=WEEKLY;COUNT=1100\r\n")
            << QStringList{"2026/1/5|0900", "2026/1/12|0900", "2026/1/19|0900", "2026/1/26|0900"};
        // 19:00 in New York is 09:00 the next day in Tokyo; UNTIL is the third instance.
        QTest::newRow("UNTIL in UTC") << event("DTSTART;TZID=America/New_York:20260105T190000\r\n"
                                               "RRULE:FREQ=DAILY;UNTIL=20260108T000000Z\r\n")
                                      << QStringList{"2026/1/6|0900", "2026/1/7|0900", "2026/1/8|0900"};
        // 19:00 in New York on 6 January is midnight in UTC.
        const QByteArray daily =
            "DTSTART;TZID=America/New_York:20260105T190000\r\nRRULE:FREQ=DAILY;COUNT=3\r\n";
        QTest::newRow("EXDATE in UTC")
            << event(daily + "EXDATE:20260107T000000Z\r\n") << QStringList{"2026/1/6|0900", "2026/1/8|0900"};
        QTest::newRow("RECURRENCE-ID in UTC")
            << event(daily) + event("RECURRENCE-ID:20260107T000000Z\r\n"
                                    "DTSTART;TZID=America/New_York:20260106T200000\r\n")
            << QStringList{"2026/1/6|0900", "2026/1/7|1000", "2026/1/8|0900"};
        QTest::newRow("DTSTART not an instance of its rule")
            << event("DTSTART;VALUE=DATE:20260106\r\nRRULE:FREQ=WEEKLY;BYDAY=MO;UNTIL=20260113\r\n")
            << QStringList{"2026/1/6|####", "2026/1/12|####"};
        QTest::newRow("zone behind a path")
            << event("DTSTART;TZID=/mozilla.org/20070129_1/America/New_York:20260105T090000\r\n")
            << QStringList{"2026/1/5|2300"};
        QTest::newRow("zone behind a path leading out")
            << event("DTSTART;TZID=/x/../../../../../../usr/share/zoneinfo/America/"
                     "New_York:20260105T090000\r\n")
            << QStringList{"2026/1/5|0900"};
        QTest::newRow("no such day") << event("DTSTART;VALUE=DATE:20260101\r\n"
                                              "RRULE:FREQ=YEARLY;BYMONTH=4;BYMONTHDAY=31\r\n"
                                              "RRULE:FREQ=MONTHLY;BYDAY=6MO\r\n")
                                     << QStringList{"2026/1/1|####"};
        // A zone libical would expand without end is left out: the system's zone of the same name
        // takes its place, or the time stays as written.
        QTest::newRow("zone every minute, system name")
            << zone("America/New_York", everyMinute) +
                   event("DTSTART;TZID=America/New_York:20260105T090000\r\n")
            << QStringList{"2026/1/5|2300"};
        QTest::newRow("zone every minute, own name")
            << zone("Own", everyMinute) + event("DTSTART;TZID=Own:20260105T090000\r\n")
            << QStringList{"2026/1/5|0900"};
        QTest::newRow("zone as zones are written")
            << zone("Own",
                    "BEGIN:STANDARD\r\nDTSTART:16011028T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
                    "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
                    "BEGIN:DAYLIGHT\r\nDTSTART:16010325T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n"
                    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\n") +
                   event("DTSTART;TZID=Own:20260715T120000\r\n")
            << QStringList{"2026/7/15|1900"};
        QTest::newRow("TZID outside the zone folder")
            << event(
                   "DTSTART;TZID=" + QByteArray("../../../../../../../usr/share/zoneinfo/America/New_York") +
                   ":20260105T090000\r\n")
            << QStringList{"2026/1/5|0900"};
    }
    void recurrences() {
        QFETCH(QByteArray, components);
        QFETCH(QStringList, stored);
        const exchange::ImportReport report =
            importText("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//test//EN\r\n" + components +
                           "END:VCALENDAR\r\n",
                       file_);
        QVERIFY2(report.failure.isEmpty(), qPrintable(report.failure));
        QStringList rows;
        for (const QString& row : dayRows(file_))
            rows << row.section(QLatin1Char('|'), 0, 0) + QLatin1Char('|') + row.section(QLatin1Char('|'), 5);
        rows.sort();
        stored.sort();
        QCOMPARE(rows, stored);
    }

    // The progress is told while the many instances of one event are worked out, and a cancel
    // there stops the import with nothing added.
    void progressDuringExpansion() {
        const exchange::Calendar calendar = exchange::Calendar::parse(
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//test//EN\r\n"
            "BEGIN:VEVENT\r\nUID:m@x\r\nDTSTAMP:20260101T000000Z\r\nDTSTART:20250101T000000\r\n"
            "RRULE:FREQ=MINUTELY;UNTIL=20260101T010000\r\nSUMMARY:毎分\r\nEND:VEVENT\r\n"
            "END:VCALENDAR\r\n");
        int calls = 0;
        const exchange::ImportReport report =
            exchange::importCalendar(calendar, file_, {QDate(2026, 1, 1), QDate(2026, 12, 31)},
                                     [&](qint64, qint64) { return ++calls < 50; });
        QVERIFY(report.cancelled);
        QCOMPARE(calls, 50);
        QVERIFY(dayRows(file_).isEmpty());
    }

    // Files made to hold the import, through the real program: each ends well within the bounds,
    // imported or refused with a message. The bounds are generous; the faults they catch took
    // minutes and gigabytes.
    void hostileFiles_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("refused"); // 1: refused, 0: imported, -1: either
        QTest::addColumn<int>("rows");
        // Zones that repeat every minute, every second, or 336 times a year since the year 1, and
        // a TZID that leads to a FIFO.
        QTest::newRow("zones") << "hostile_zones.ics" << 0 << 4;
        QTest::newRow("50 events every minute") << "hostile_every_minute.ics" << 1 << 0;
        QTest::newRow("every second of a day a year") << "hostile_all_seconds.ics" << 1 << 0;
        QTest::newRow("more instances than a file may give") << "hostile_many_instances.ics" << 1 << 0;
        // Only each DTSTART is an instance: four of them fit the day.
        QTest::newRow("31 April, sixth Monday") << "hostile_no_such_day.ics" << 0 << 4;
        // libical searches to the year 20000 inside one call for a tenth Monday of a month.
        QTest::newRow("long searches") << "hostile_long_search.ics" << -1 << 0;
        QTest::newRow("nested 100 deep") << "hostile_deep.ics" << 1 << 0;
    }
    void hostileFiles() {
        QFETCH(QString, file);
        QFETCH(int, refused);
        QFETCH(int, rows);
        const QString fifo = env_->path(QStringLiteral("fifo"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString ics = env_->path(file);
        QVERIFY(testsupport::writeBytes(
            ics, fileBytes(QFINDTESTDATA("data/" + file))
                     .replace("@FIFO@", "../../../../../../.." + QFile::encodeName(fifo))));
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        // What the sanitizer keeps of freed memory would hide what the program holds.
        environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                                               QStringLiteral(":quarantine_size_mb=16"));
        program.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        program.start(QStringLiteral(DADUVOV_PROGRAM),
                      {QStringLiteral("--import-ics"), ics, QStringLiteral("--schedule"), file_,
                       QStringLiteral("--recurrences-from"), QStringLiteral("2026-01-01"),
                       QStringLiteral("--recurrences-to"), QStringLiteral("2026-12-31")});
        const bool ended = program.waitForFinished(20000);
        if (!ended)
            program.kill();
        QVERIFY2(ended, qPrintable(QStringLiteral("still running after %1 ms").arg(clock.elapsed())));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        if (refused >= 0)
            QCOMPARE(program.exitCode(), refused);
        if (program.exitCode() == 1)
            QVERIFY(program.readAllStandardError().contains("何も追加しませんでした"));
        QCOMPARE(dayRows(file_).size(), rows);
        // The largest of the children so far, this one among them.
        struct rusage usage {};
        QVERIFY(::getrusage(RUSAGE_CHILDREN, &usage) == 0);
        QVERIFY2(usage.ru_maxrss < 200 * 1024, qPrintable(QStringLiteral("peak %1 kB").arg(usage.ru_maxrss)));
    }

    void brokenFile_data() {
        QTest::addColumn<QByteArray>("text");
        const QByteArray good = calendarOf({{"a@x", ";VALUE=DATE:20260301", "予定"}});
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not iCalendar") << QByteArray("年月日,内容\r\n2026/3/1,予定\r\n");
        QTest::newRow("cut off") << good.left(good.indexOf("SUMMARY"));
        QTest::newRow("bad date") << QByteArray(good).replace("20260301", "2026031");
        QTest::newRow("no start") << QByteArray(good).replace("DTSTART;VALUE=DATE:20260301\r\n", "");
        QTest::newRow("not UTF-8") << QByteArray(good).replace("予定", "\x97\x5C\x92\xE8");
        QTest::newRow("only a date that does not exist") << QByteArray(good).replace("20260301", "20270230");
    }
    void brokenFile() {
        QFETCH(QByteArray, text);
        testrows::addDays(file_, {{"2026/1/1", 1, {}, "元日"}});
        const QStringList before = dayRows(file_);
        const exchange::Calendar calendar = exchange::Calendar::parse(text);
        QVERIFY(!calendar.failure().isEmpty());
        const exchange::ImportReport report = exchange::importCalendar(calendar, file_, {});
        QCOMPARE(report.failure, calendar.failure());
        QCOMPARE(report.added, 0);
        QCOMPARE(dayRows(file_), before);
    }

    // A property libical cannot read is passed over; an event without a usable start is left out
    // and counted, and never stored with an empty or impossible date.
    void lenientReading_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("unreadable");
        const QByteArray two =
            calendarOf({{"a@x", ";VALUE=DATE:20260301", "予定"}, {"b@x", ";VALUE=DATE:20260302", "別"}});
        QTest::newRow("empty LOCATION and DESCRIPTION")
            << QByteArray(two).replace("SUMMARY:別", "LOCATION:\r\nDESCRIPTION:\r\nSUMMARY:別") << 0;
        QTest::newRow("30 February") << QByteArray(two).replace("20260302", "20270230") << 1;
        QTest::newRow("year 0") << QByteArray(two).replace("20260302", "00000101") << 1;
        QTest::newRow("unreadable date") << QByteArray(two).replace("20260302", "2026032") << 1;
        QTest::newRow("no start") << QByteArray(two).replace("DTSTART;VALUE=DATE:20260302\r\n", "") << 1;
        QTest::newRow("RDATE that does not exist")
            << QByteArray(two).replace("SUMMARY:別", "RDATE;VALUE=DATE:20260230\r\nSUMMARY:別") << 0;
    }
    void lenientReading() {
        QFETCH(QByteArray, text);
        QFETCH(int, unreadable);
        const exchange::ImportReport report = importText(text, file_);
        QVERIFY2(report.failure.isEmpty(), qPrintable(report.failure));
        QCOMPARE(report.unreadable, unreadable);
        QStringList expected{QStringLiteral("2026/3/1|1|NULL|予定|False|####")};
        if (unreadable == 0)
            expected << QStringLiteral("2026/3/2|1|NULL|別|False|####");
        QCOMPARE(dayRows(file_), expected);
        QCOMPARE(exchange::importSummary(report).contains(QStringLiteral("読めなかった")), unreadable > 0);
    }

    void csvBytes_data() {
        QTest::addColumn<QString>("planted");
        QTest::newRow("table") << QString();
        // Opened read-only: the items can still be shown and exported.
        QTest::newRow("view in place of the table") << QStringLiteral(
            "ALTER TABLE 予定表 RENAME TO items; CREATE VIEW 予定表 AS SELECT * FROM items");
    }
    void csvBytes() {
        QFETCH(QString, planted);
        testrows::addDays(file_, {{"2026/1/5", 1, 2.0, "a,b \"c\"\nd", "True", "0930"},
                                  {"2026/1/6", 3, {}, "予定"},
                                  {"2026/2/30", 1, {}, "=1+1", "False", "12:00"}});
        if (!planted.isEmpty()) {
            store::Error error;
            QVERIFY(store::Connection::open(file_, &error)->exec(planted).ok());
        }
        const QString ics = env_->path(QStringLiteral("out.ics"));
        const exchange::IcsExport exported = exchange::exportIcs(file_, ics);
        QCOMPARE(exported.events, qint64(2));
        QCOMPARE(exported.undated, qint64(1));
        if (!planted.isEmpty())
            QVERIFY(importText(fileBytes(ics), file_).failure.contains(QStringLiteral("ビュー")));
        store::DataControl data;
        data.setDatabaseName(file_);
        data.setRecordSource(QStringLiteral("SELECT * FROM 予定表"));
        QVERIFY(data.refresh().ok());
        const QString csv = env_->path(QStringLiteral("out.csv"));
        const exchange::CsvExport result = exchange::exportCsv(data, csv);
        QVERIFY(result.failure.isEmpty());
        QCOMPARE(result.rows, 3);
        QCOMPARE(fileBytes(csv), "\xEF\xBB\xBF" + store::dayFields().join(QLatin1Char(',')).toUtf8() +
                                     "\r\n"
                                     "2026/1/5,1,2,\"a,b \"\"c\"\"\nd\",True,'0930\r\n"
                                     "2026/1/6,3,,予定,False,####\r\n"
                                     "2026/2/30,1,,'=1+1,False,'12:00\r\n");
    }

    // A field a spreadsheet would run as a formula, or a time it would turn into a number, gets an
    // apostrophe in front.
    void csvField_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("keepDigits");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("plain") << "a=b" << false << QByteArray("a=b");
        QTest::newRow("=") << "=cmd|' /C calc'!A0" << false << QByteArray("'=cmd|' /C calc'!A0");
        QTest::newRow("+") << "+81 3" << false << QByteArray("'+81 3");
        QTest::newRow("-") << "-2" << false << QByteArray("'-2");
        QTest::newRow("@") << "@SUM(A1)" << false << QByteArray("'@SUM(A1)");
        QTest::newRow("tab") << "\t=1" << false << QByteArray("'\t=1");
        QTest::newRow("CR, quoted") << "\r=1" << false << QByteArray("\"'\r=1\"");
        QTest::newRow("formula with a quote") << "=\"x\"" << false << QByteArray("\"'=\"\"x\"\"\"");
        QTest::newRow("digits") << "0930" << false << QByteArray("0930");
        QTest::newRow("time") << "0930" << true << QByteArray("'0930");
        QTest::newRow("no time") << "####" << true << QByteArray("####");
        QTest::newRow("empty") << "" << true << QByteArray();
    }
    void csvField() {
        QFETCH(QString, text);
        QFETCH(bool, keepDigits);
        QFETCH(QByteArray, field);
        QCOMPARE(exchange::csvField(text, keepDigits), field);
    }

    // What an export replaces: only a regular file of this user, or one that this user's own links
    // lead to from folders no one else can write; everything else is refused and left as it was.
    void exportTarget_data() {
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("own link in a private folder") << int(Target::OwnLink) << true;
        QTest::newRow("link to a device") << int(Target::DeviceLink) << false;
        QTest::newRow("FIFO") << int(Target::Fifo) << false;
        QTest::newRow("folder") << int(Target::Folder) << false;
        QTest::newRow("dangling link") << int(Target::Dangling) << false;
        QTest::newRow("link in a shared sticky folder") << int(Target::LinkInSharedFolder) << false;
        QTest::newRow("link of another user") << int(Target::PlantedLink) << false;
        QTest::newRow("file of another user") << int(Target::OthersFile) << false;
        QTest::newRow("Schedule file") << int(Target::Schedule) << false;
        QTest::newRow("link to the Schedule file") << int(Target::ScheduleLink) << false;
        QTest::newRow("hard link to the Schedule file") << int(Target::ScheduleHardLink) << false;
        QTest::newRow("Schedule file spelled otherwise") << int(Target::ScheduleSpelling) << false;
    }
    void exportTarget() {
        QFETCH(int, target);
        QFETCH(bool, allowed);
        const bool root = ::geteuid() == 0;
        if ((target == int(Target::PlantedLink) || target == int(Target::OthersFile)) && !root)
            QSKIP("making a file of another user needs root");
        const QString mine = env_->path(QStringLiteral("mine.txt"));
        QVERIFY(testsupport::writeBytes(mine, "mine"));
        const QString shared = env_->path(QStringLiteral("shared"));
        QVERIFY(QDir().mkpath(shared));
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), 01777) == 0);
        const QString device = env_->path(QStringLiteral("null"));
        // A null device of the test's own as root, so that a fault replaces nothing of the system's.
        const bool ownDevice =
            root && ::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;

        QString path = env_->path(QStringLiteral("target"));
        const QByteArray name = QFile::encodeName(path);
        switch (Target(target)) {
        case Target::OwnLink:
        case Target::PlantedLink:
            QVERIFY(QFile::link(mine, path));
            if (Target(target) == Target::PlantedLink)
                QVERIFY(::lchown(name.constData(), 65534, 65534) == 0);
            break;
        case Target::DeviceLink:
            QVERIFY(QFile::link(ownDevice ? device : QStringLiteral("/dev/null"), path));
            break;
        case Target::Fifo:
            QVERIFY(::mkfifo(name.constData(), 0600) == 0);
            break;
        case Target::Folder:
            QVERIFY(QDir().mkpath(path));
            break;
        case Target::Dangling:
            QVERIFY(QFile::link(env_->path(QStringLiteral("none.txt")), path));
            break;
        case Target::LinkInSharedFolder:
            path = shared + QStringLiteral("/target");
            QVERIFY(QFile::link(mine, path));
            break;
        case Target::OthersFile:
            QVERIFY(testsupport::writeBytes(path, "theirs"));
            QVERIFY(::chown(name.constData(), 65534, 65534) == 0);
            break;
        case Target::Schedule:
            path = file_;
            break;
        case Target::ScheduleLink:
            QVERIFY(QFile::link(file_, path));
            break;
        case Target::ScheduleHardLink:
            QVERIFY(::link(QFile::encodeName(file_).constData(), name.constData()) == 0);
            break;
        case Target::ScheduleSpelling:
            path = shared + QStringLiteral("/../") + QFileInfo(file_).fileName();
            break;
        }
        testrows::addDays(file_, {{"2026/1/5", 1, 2.0, "予定"}});
        store::DataControl data;
        QVERIFY(store::openDayTable(data, file_).ok() && data.refresh().ok());

        const QString before = snapshot(path);
        const QString ics = exchange::exportIcs(file_, path).failure;
        QCOMPARE(ics.isEmpty(), allowed);
        if (allowed) {
            QVERIFY(QFileInfo(path).isSymLink());
            QVERIFY(fileBytes(mine).startsWith("BEGIN:VCALENDAR\r\n"));
        } else {
            QCOMPARE(snapshot(path), before);
        }
        const QString csv = exchange::exportCsv(data, path).failure;
        QCOMPARE(csv.isEmpty(), allowed);
        if (allowed) {
            QCOMPARE(QFile::symLinkTarget(path), mine);
            QVERIFY(fileBytes(mine).startsWith("\xEF\xBB\xBF"));
        } else {
            QCOMPARE(snapshot(path), before);
            QCOMPARE(csv, ics);
        }
    }

    // The real program, without a display: exit status 0 with its result, 1 with one line.
    // A failure leaves the Schedule file as it was.
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments"); // @ is the test's folder, with test.sdb in it
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // a part of what the program says
        const QString ics = QFINDTESTDATA("data/other_organizer.ics");
        QTest::newRow("export ics") << QStringList{"--export-ics", "@/out.ics"} << 0
                                    << "日付が読めない予定1件は書き出しませんでした";
        QTest::newRow("export ics with holidays")
            << QStringList{"--export-ics", "@/out.ics", "--with-holidays"} << 0
            << QStringLiteral("%1年の祝日").arg(QDate::currentDate().year());
        QTest::newRow("holidays without an export")
            << QStringList{"--import-ics", ics, "--with-holidays"} << 1 << "--with-holidays";
        QTest::newRow("export csv") << QStringList{"--export-csv", "@/out.csv"} << 0 << "2行";
        QTest::newRow("import") << QStringList{"--import-ics", ics} << 0 << "追加しました";
        QTest::newRow("import broken") << QStringList{"--import-ics", "@/none.ics"} << 1 << "none.ics";
        // libical prints this fault itself; only the program's line is shown.
        QTest::newRow("import END before BEGIN")
            << QStringList{"--import-ics", "@/end.ics"} << 1 << "Encountered END before BEGIN";
        QTest::newRow("import reversed range")
            << QStringList{"--import-ics",     ics,         "--recurrences-from", "2026-12-31",
                           "--recurrences-to", "2026-01-01"}
            << 1 << "--recurrences-to (2026-01-01)";
        // Refused before anything is written: the FIFO stays, and no reader of it is needed.
        QTest::newRow("export to a FIFO") << QStringList{"--export-ics", "@/fifo"} << 1 << "fifo";
        QTest::newRow("two commands")
            << QStringList{"--export-ics", "@/a.ics", "--export-csv", "@/a.csv"} << 1 << "一つだけ";
        const QString schedule = QStringLiteral("使用中のスケジュールファイル");
        QTest::newRow("export ics onto the Schedule file")
            << QStringList{"--export-ics", "@/test.sdb"} << 1 << schedule;
        QTest::newRow("export csv onto a link to it")
            << QStringList{"--export-csv", "@/link.sdb"} << 1 << schedule;
        QTest::newRow("export csv onto it spelled otherwise")
            << QStringList{"--export-csv", "@/./test.sdb"} << 1 << schedule;
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        testrows::addDays(file_, {{"2026/1/5", 1, 2.0, "予定"}, {"2026/2/30", 1, {}, "読めない日付"}});
        QVERIFY(QFile::link(file_, env_->path(QStringLiteral("link.sdb"))));
        QVERIFY(testsupport::writeBytes(env_->path(QStringLiteral("end.ics")),
                                        "BEGIN:VCALENDAR\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"));
        const QByteArray before = fileBytes(file_);
        arguments.replaceInStrings(QStringLiteral("@"), env_->path(QString()));
        const QByteArray fifo = QFile::encodeName(env_->path(QStringLiteral("fifo")));
        QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(DADUVOV_PROGRAM), arguments << QStringLiteral("--schedule") << file_);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), status);
        const QByteArray output =
            status == 0 ? program.readAllStandardOutput() : program.readAllStandardError();
        QVERIFY2(status == 0 ? output.count('\n') >= 1
                             : output.count('\n') == 1 && output.startsWith("daduvov: "),
                 output.constData());
        QVERIFY2(QString::fromUtf8(output).contains(said), output.constData());
        if (status == 0 && arguments[0].startsWith(QLatin1String("--export")))
            QVERIFY(QFile::exists(arguments[1]));
        if (status != 0)
            QCOMPARE(fileBytes(file_), before);
        struct stat info {};
        QVERIFY(::lstat(fifo.constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    }

  private:
    std::unique_ptr<testsupport::TestEnv> env_;
    QString file_;
};

QTEST_GUILESS_MAIN(TestExchange)
#include "test_exchange.moc"
