// The alarm check over a real Schedule file, with the fake clock, sound and message boxes.

#include <QtTest>

#include "alarm/AlarmCheck.h"
#include "alarm/AlarmHooks.h"
#include "alarm/AlarmItems.h"
#include "alarm/MissedAlarms.h"
#include "platform/Paths.h"
#include "store/DayRecords.h"
#include "store/DayStore.h"
#include "store/ScheduleFile.h"
#include "support/FilePermissions.h"
#include "support/Files.h"
#include "support/WindowFixture.h"

#include <QFile>
#include <QRandomGenerator>
#include <memory>

using namespace alarmtest;
using testsupport::execSql;
using testsupport::HeldConnection;

namespace {

const QString kSound = QStringLiteral("/sounds/bell.wav");

} // namespace

class TestAlarm : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void ringRule_data();
    void ringRule();
    void minutePassingDuringBoxStillRingsLaterSlot();
    void emptyStartFileMakesNoQuery();
    void soundFile_data();
    void soundFile();
    void noReentryWhileBoxOpen();
    void refusedUpdateLeavesItemArmed_data();
    void refusedUpdateLeavesItemArmed();
    void unreadableFileIsSilent_data();
    void unreadableFileIsSilent();
    void itemArmedElsewhereRingsInSameMinute_data();
    void itemArmedElsewhereRingsInSameMinute();
    void idleTicksReadOnlyOnChange();
    void itemAddedElsewhereRingsWithRealTimer();

    void catchUp_data();
    void catchUp();
    void disarmedMeanwhileDoesNotRing();
    void missedAtStartUp_data();
    void missedAtStartUp();

  private:
    void expectRangOnce(const QString& content, const QString& when = QStringLiteral("2026/3/5 09:30"));
    void expectSilence();
    // One clock tick: the check, then the queued calls that ring what it found.
    void tick();

    std::unique_ptr<testsupport::WindowFixture> f;
    testsupport::FakePlatform* fake = nullptr;
    testsupport::FakeHost* host = nullptr;
    std::unique_ptr<alarms::AlarmCheck> check;
    std::unique_ptr<testsupport::PermissionsApply> permissions;
    QString file;
    QList<bool> soundWhileBox; // whether the sound played while each box was open
};

void TestAlarm::init() {
    f = std::make_unique<testsupport::WindowFixture>();
    fake = &f->platform;
    host = &f->host;
    file = f->file;
    fake->clock = at(9, 30, 0);
    fake->onMessage = [this](const testsupport::ShownMessage&) { soundWhileBox << fake->soundPlaying; };
    host->settingsRecord.alarmSoundFile = kSound;
    check = std::make_unique<alarms::AlarmCheck>(*host);
    soundWhileBox.clear();
}

void TestAlarm::cleanup() {
    permissions.reset();
    check.reset();
    f.reset();
}

void TestAlarm::tick() {
    QCoreApplication::processEvents(); // the kernel's reports of changes to the file
    check->check();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::sendPostedEvents();
}

void TestAlarm::expectRangOnce(const QString& content, const QString& when) {
    QCOMPARE(fake->messages.size(), 1);
    const testsupport::ShownMessage& box = fake->messages.constFirst();
    QCOMPARE(box.text, content + QLatin1Char('\n') + when);
    QCOMPARE(box.icon, platform::Icon::None);
    QCOMPARE(box.buttons, platform::Buttons::Ok);
    QCOMPARE(fake->soundCalls, (QStringList{QStringLiteral("start:") + kSound, QStringLiteral("stop")}));
    QCOMPARE(soundWhileBox, QList<bool>{true});
}

void TestAlarm::expectSilence() {
    QCOMPARE(fake->messages.size(), 0);
    QCOMPARE(fake->soundCalls, QStringList());
}

void TestAlarm::ringRule_data() {
    QTest::addColumn<QString>("alarmText");
    QTest::addColumn<QString>("timeText");
    QTest::addColumn<QDateTime>("clock");
    QTest::addColumn<int>("daysAhead");
    QTest::addColumn<bool>("rings");

    const auto row = [](const char* name, const char* alarm, const char* time, const QDateTime& clock,
                        int daysAhead, bool rings) {
        QTest::newRow(name) << QString::fromLatin1(alarm) << QString::fromLatin1(time) << clock << daysAhead
                            << rings;
    };
    row("armed at 0930, 09:30", "True", "0930", at(9, 30), 0, true);
    row("last second of the minute", "True", "0930", at(9, 30, 59), 0, true);
    row("a minute later", "True", "0930", at(9, 31), 0, false);
    row("a minute early", "True", "0930", at(9, 29, 59), 0, false);
    row("three digits 930", "True", "930", at(9, 30), 0, false);
    row("no time ####", "True", "####", at(9, 30), 0, false);
    row("disarmed", "False", "0930", at(9, 30), 0, false);
    row("lower-case true", "true", "0930", at(9, 30), 0, false);
    row("tomorrow's item", "True", "0930", at(9, 30), 1, false);
    row("yesterday's item", "True", "0930", at(9, 30), -1, false);
    row("evening 2105", "True", "2105", at(21, 5), 0, true);
    row("midnight 0000", "True", "0000", at(0, 0), 0, true);
    row("0930 at 21:30", "True", "0930", at(21, 30), 0, false);
}

// Slot 2 carries the item; the box shows its content while the sound plays, and the item is
// disarmed once the box is closed. Everything else stays silent and untouched.
void TestAlarm::ringRule() {
    QFETCH(QString, alarmText);
    QFETCH(QString, timeText);
    QFETCH(QDateTime, clock);
    QFETCH(int, daysAhead);
    QFETCH(bool, rings);
    const QDate date = kToday.addDays(daysAhead);
    putItem(file, date, 2, QStringLiteral("歯医者"), alarmText, timeText);
    fake->clock = clock;

    tick();

    if (rings) {
        expectRangOnce(QStringLiteral("歯医者"),
                       store::dateString(date) + clock.toString(QStringLiteral(" HH:mm")));
        QCOMPARE(alarmOf(file, date, 2), QStringLiteral("False"));
    } else {
        expectSilence();
        QCOMPARE(alarmOf(file, date, 2), alarmText);
    }
    QVERIFY(!check->busy());
}

// The later slot's minute passes while the first box is open: it rings once that box is closed.
void TestAlarm::minutePassingDuringBoxStillRingsLaterSlot() {
    putItem(file, kToday, 1, QStringLiteral("一番"), QStringLiteral("True"), QStringLiteral("0930"));
    putItem(file, kToday, 3, QStringLiteral("三番"), QStringLiteral("True"), QStringLiteral("0930"));
    fake->clock = at(9, 30, 50);
    fake->onMessage = [this](const testsupport::ShownMessage&) { fake->clock = at(9, 31, 5); };

    tick();
    QCOMPARE(fake->messages.size(), 2);
    QVERIFY(fake->messages[1].text.startsWith(QStringLiteral("三番\n")));
    QCOMPARE(alarmOf(file, kToday, 1), QStringLiteral("False"));
    QCOMPARE(alarmOf(file, kToday, 3), QStringLiteral("False"));
    tick();
    QCOMPARE(fake->messages.size(), 2);
}

void TestAlarm::emptyStartFileMakesNoQuery() {
    putItem(file, kToday, 1, QStringLiteral("一番"), QStringLiteral("True"), QStringLiteral("0930"));
    host->settingsRecord.scheduleFile.clear();
    tick();
    expectSilence();
    QCOMPARE(check->todayReads(), 0);
}

void TestAlarm::soundFile_data() {
    QTest::addColumn<QString>("almFile");
    QTest::addColumn<QString>("played");

    QTest::newRow("missing file") << QStringLiteral("/no/such/file.wav")
                                  << QStringLiteral("/no/such/file.wav");
    QTest::newRow("bare name, program folder")
        << QStringLiteral("daduvov.WAV") << QStringLiteral("<program folder>/daduvov.WAV");
    QTest::newRow("empty") << QString() << QString();
}

// The box appears whatever the sound file; the sound service plays the built-in sound for a
// file it cannot play.
void TestAlarm::soundFile() {
    QFETCH(QString, almFile);
    QFETCH(QString, played);
    played.replace(QStringLiteral("<program folder>"), platform::programFolder());
    host->settingsRecord.alarmSoundFile = almFile;
    putItem(file, kToday, 4, QStringLiteral("薬"), QStringLiteral("True"), QStringLiteral("0930"));

    tick();
    QCOMPARE(fake->messages.size(), 1);
    QCOMPARE(fake->soundCalls, (QStringList{QStringLiteral("start:") + played, QStringLiteral("stop")}));
    QCOMPARE(alarmOf(file, kToday, 4), QStringLiteral("False"));
}

// Ticks keep coming while the box is open; they must not ring the item again.
void TestAlarm::noReentryWhileBoxOpen() {
    putItem(file, kToday, 1, QStringLiteral("一番"), QStringLiteral("True"), QStringLiteral("0930"));
    putItem(file, kToday, 2, QStringLiteral("二番"), QStringLiteral("True"), QStringLiteral("0930"));
    int nestedTicks = 0;
    fake->onMessage = [&](const testsupport::ShownMessage&) {
        QVERIFY(check->busy());
        for (int i = 0; i < 3; ++i) {
            fake->clock = fake->clock.addMSecs(100);
            check->check();
            ++nestedTicks;
        }
    };

    tick();
    QCOMPARE(nestedTicks, 6);
    QCOMPARE(fake->messages.size(), 2);
    QVERIFY(fake->messages[0].text.startsWith(QStringLiteral("一番\n")));
    QVERIFY(fake->messages[1].text.startsWith(QStringLiteral("二番\n")));
    QCOMPARE(fake->soundCalls.size(), 4);
    QVERIFY(!check->busy());
}

void TestAlarm::refusedUpdateLeavesItemArmed_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("engine refuses the update") << "trigger";
    QTest::newRow("read-only file") << "read-only";
}

// A failed disarm is not reported; the item stays armed in the file, but does not ring again on
// the following ticks of its minute (a box ten times a second).
void TestAlarm::refusedUpdateLeavesItemArmed() {
    QFETCH(QString, how);
    putItem(file, kToday, 2, QStringLiteral("会議"), QStringLiteral("True"), QStringLiteral("0930"));
    if (how == QLatin1String("trigger")) {
        QVERIFY(execSql(
            file,
            "CREATE TRIGGER refuse BEFORE UPDATE ON 予定表 BEGIN SELECT RAISE(ABORT, 'refused'); END;"));
    } else {
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        permissions = std::make_unique<testsupport::PermissionsApply>();
        QFile probe(file);
        if (probe.open(QIODevice::ReadWrite))
            QSKIP("this process writes regardless of file permissions");
    }

    tick();
    expectRangOnce(QStringLiteral("会議"));
    QCOMPARE(alarmOf(file, kToday, 2), QStringLiteral("True"));

    fake->clock = at(9, 30, 1);
    tick();
    fake->clock = at(9, 30, 59);
    tick();
    QCOMPARE(fake->messages.size(), 1);
    QCOMPARE(fake->soundCalls.size(), 2);
    QCOMPARE(alarmOf(file, kToday, 2), QStringLiteral("True"));
}

void TestAlarm::unreadableFileIsSilent_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("random bytes") << "random";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("day table without 時刻") << "no time field";
    QTest::newRow("database without the table") << "no table";
    QTest::newRow("locked by another program") << "locked";
}

// The check gives up quietly on a file it cannot read, and keeps trying on later ticks.
void TestAlarm::unreadableFileIsSilent() {
    QFETCH(QString, kind);
    putItem(file, kToday, 1, QStringLiteral("一番"), QStringLiteral("True"), QStringLiteral("0930"));
    std::unique_ptr<HeldConnection> locker;
    if (kind == QLatin1String("missing")) {
        host->settingsRecord.scheduleFile = f->env.path(QStringLiteral("gone.sdb"));
    } else if (kind == QLatin1String("random")) {
        QByteArray bytes(8192, '\0');
        for (char& c : bytes)
            c = static_cast<char>(QRandomGenerator::global()->bounded(256));
        host->settingsRecord.scheduleFile = f->env.path(QStringLiteral("random.sdb"));
        QVERIFY(testsupport::writeBytes(host->settingsRecord.scheduleFile, bytes));
    } else if (kind == QLatin1String("empty")) {
        QVERIFY(testsupport::writeBytes(file, QByteArray()));
    } else if (kind == QLatin1String("no time field")) {
        QVERIFY(execSql(file, "ALTER TABLE 予定表 DROP COLUMN 時刻;"));
    } else if (kind == QLatin1String("no table")) {
        QVERIFY(execSql(file, "DROP TABLE 予定表;"));
    } else {
        locker = std::make_unique<HeldConnection>(file);
        QCOMPARE(locker->exec("BEGIN EXCLUSIVE;"), SQLITE_OK);
    }

    for (int i = 0; i < 3; ++i) {
        tick();
        fake->clock = fake->clock.addMSecs(100);
    }
    expectSilence();
    QVERIFY(!check->busy());
    if (kind == QLatin1String("missing"))
        QVERIFY(!QFile::exists(host->settingsRecord.scheduleFile)); // not created by the check

    // Once the lock is gone the item rings in its minute.
    if (locker) {
        QCOMPARE(locker->exec("COMMIT;"), SQLITE_OK);
        tick();
        QCOMPARE(fake->messages.size(), 1);
    }
}

void TestAlarm::itemArmedElsewhereRingsInSameMinute_data() {
    QTest::addColumn<QString>("armedBy");
    QTest::newRow("another program") << "other";
    QTest::newRow("this program's day store") << "store";
}

// An item armed through another connection (the entry or list window, another program) during
// the very minute of its alarm rings in that minute,
// although the check reads the file again only when it has changed.
void TestAlarm::itemArmedElsewhereRingsInSameMinute() {
    QFETCH(QString, armedBy);
    putItem(file, kToday, 2, QStringLiteral("会議"), QStringLiteral("False"), QStringLiteral("0930"));
    tick();
    expectSilence();

    fake->clock = at(9, 30, 20);
    tick();
    if (armedBy == QLatin1String("other")) {
        QVERIFY(execSql(file, "UPDATE 予定表 SET アラーム='True';"));
    } else {
        store::DayStore days(file);
        std::array<store::SlotItem, store::kSlotCount> loaded;
        QVERIFY(days.readDay(kToday, loaded).ok());
        std::array<store::SlotItem, store::kSlotCount> wanted = loaded;
        wanted[1].alarm = true;
        QVERIFY(days.saveDay(kToday, loaded, wanted).ok());
    }
    fake->clock = at(9, 30, 20).addMSecs(100);
    tick();
    expectRangOnce(QStringLiteral("会議"));
}

// While neither the date nor the file changes, a tick reads nothing, not even in a new minute.
// A new day reads its items.
void TestAlarm::idleTicksReadOnlyOnChange() {
    putItem(file, kToday, 1, QStringLiteral("一番"), QStringLiteral("False"), QStringLiteral("1000"));
    tick();
    const int reads = check->todayReads();
    for (int i = 1; i <= 5; ++i) {
        fake->clock = at(9, 30).addSecs(50 * i);
        tick();
    }
    QCOMPARE(check->todayReads(), reads);
    fake->clock = at(23, 59, 59);
    tick();
    QCOMPARE(check->todayReads(), reads);
    fake->clock = fake->clock.addSecs(1);
    tick(); // the minutes since the last check, across midnight
    fake->clock = fake->clock.addSecs(1);
    tick();
    QCOMPARE(check->todayReads(), reads + 1);
    expectSilence();
}

// A second connection adds an item for the current minute while a real timer drives the check,
// the fake clock moving 100 ms a tick: only the kernel's report of the write makes the check read
// the file again, and the item rings before the minute is over.
void TestAlarm::itemAddedElsewhereRingsWithRealTimer() {
    fake->clock = at(9, 30, 10);
    QTimer clock;
    clock.setInterval(100);
    int ticks = 0;
    QDateTime rangAt;
    fake->onMessage = [&](const testsupport::ShownMessage&) {
        soundWhileBox << fake->soundPlaying;
        rangAt = fake->clock;
    };
    connect(&clock, &QTimer::timeout, this, [&] {
        fake->clock = fake->clock.addMSecs(100);
        if (++ticks == 3)
            putItem(file, kToday, 3, QStringLiteral("会議"), QStringLiteral("True"), QStringLiteral("0930"));
        check->check();
    });
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(!fake->messages.isEmpty() || fake->clock >= at(9, 31), 120000);
    clock.stop();
    expectRangOnce(QStringLiteral("会議"));
    QVERIFY2(rangAt < at(9, 31), qPrintable(rangAt.toString()));
}

void TestAlarm::catchUp_data() {
    QTest::addColumn<QDateTime>("first"); // the first check, or the start-up minute
    QTest::addColumn<bool>("fromStartUp");
    QTest::addColumn<QDateTime>("later");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("rung");

    QTest::newRow("clock jumped forward: passed minutes in slot order")
        << at(9, 30) << false << at(9, 50)
        << QStringList{"0|2|0931|True|二番", "0|1|0945|True|一番", "0|3|1000|True|未来", "0|4|0929|True|前"}
        << QStringList{"一番", "二番"};
    QTest::newRow("suspended over midnight")
        << QDateTime(kToday.addDays(-1), QTime(23, 50)) << false << at(0, 10)
        << QStringList{"-1|4|2355|True|夜", "0|1|0005|True|朝", "-1|1|2340|True|前", "0|2|0011|True|未来"}
        << QStringList{"夜", "朝"};
    QTest::newRow("away longer than the catch-up days")
        << QDateTime(kToday.addDays(-9), QTime(9, 0)) << false << at(9, 30)
        << QStringList{"-8|1|1000|True|古い", "-3|1|1200|True|三日前"} << QStringList{"三日前"};
    QTest::newRow("start-up minute and after")
        << at(9, 0) << true << at(9, 30)
        << QStringList{"0|1|0859|True|前", "0|2|0900|True|始", "0|3|0930|True|今", "0|4|0920|False|解除"}
        << QStringList{"始", "今"};
    QTest::newRow("same minute: slot order, disarmed and later items stay silent")
        << at(9, 29) << false << at(9, 30)
        << QStringList{"0|3|0930|True|三番", "0|1|0930|True|一番", "0|2|0930|False|二番",
                       "0|4|0931|True|四番"}
        << QStringList{"一番", "三番"};
    QTest::newRow("clock put back") << at(9, 30) << false << at(9, 0) << QStringList{"0|1|0915|True|後"}
                                    << QStringList{};
}

// Minutes that pass without a check (the machine suspended, the clock put forward) are caught
// up at the next check; the minutes before the start are the start-up list's.
void TestAlarm::catchUp() {
    QFETCH(QDateTime, first);
    QFETCH(bool, fromStartUp);
    QFETCH(QDateTime, later);
    QFETCH(QStringList, items);
    QFETCH(QStringList, rung);
    putItems(file, items);
    fake->clock = first;
    if (fromStartUp)
        check->setCheckedFrom(first);
    else
        tick();
    fake->clock = later;
    tick();
    tick();
    QStringList contents;
    for (const testsupport::ShownMessage& box : std::as_const(fake->messages))
        contents << box.text.section(QLatin1Char('\n'), 0, 0);
    QCOMPARE(contents, rung);
}

// An item queued behind an open box and disarmed or moved meanwhile (another window, another
// program) does not ring.
void TestAlarm::disarmedMeanwhileDoesNotRing() {
    putItems(file, {"0|1|0930|True|一番", "0|2|0930|True|二番", "0|3|0930|True|三番"});
    fake->onMessage = [this](const testsupport::ShownMessage&) {
        QVERIFY(execSql(file, "UPDATE 予定表 SET アラーム='False' WHERE 項目番号=2;"
                              "UPDATE 予定表 SET 時刻='0945' WHERE 項目番号=3;"));
    };
    tick();
    QCOMPARE(fake->messages.size(), 1);
    QCOMPARE(alarmOf(file, kToday, 3), QStringLiteral("True"));
}

void TestAlarm::missedAtStartUp_data() {
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("missed");

    QTest::newRow("the last 7 days, newest first")
        << QStringList{"0|1|0929|True|今朝",      "0|2|0930|True|今",       "0|3|1000|True|未来",
                       "-7|1|0930|True|七日前",   "-7|2|0929|True|七日超",  "-8|1|1200|True|八日前",
                       "-1|4|2359|True|昨夜",     "-2|1|930|True|三桁",     "-2|2|####|True|時刻なし",
                       "-2|3|2460|True|時刻違い", "-2|4|0800|False|解除済", "-3|1|0800|true|小文字"}
        << QStringList{"今朝", "昨夜", "七日前"};
    QTest::newRow("slot order within a minute")
        << QStringList{"-1|3|0800|True|三番", "-1|1|0800|True|一番"} << QStringList{"一番", "三番"};
    QTest::newRow("a slot's first row counts")
        << QStringList{"-1|2|0800|False|表", "-1|2|0800|True|裏", "-2|2|0800|True|先", "-2|2|0900|True|後"}
        << QStringList{"先"};
}

// The start-up query: armed items with a well-formed time in the 7 days before the start minute.
void TestAlarm::missedAtStartUp() {
    QFETCH(QStringList, items);
    QFETCH(QStringList, missed);
    putItems(file, items);
    store::DayStore days(file);
    const store::Result<std::vector<store::ArmedItem>> found = alarms::missedAlarms(days, at(9, 30, 40));
    QVERIFY(found.ok());
    QStringList contents;
    for (const store::ArmedItem& item : found.value())
        contents << item.content;
    QCOMPARE(contents, missed);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestAlarm test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_alarm.moc"
