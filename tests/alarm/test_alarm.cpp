// The alarm check over a real Schedule file, with the fake clock, sound and message boxes.

#include <QtTest>

#include "alarm/AlarmCheck.h"
#include "platform/Paths.h"
#include "store/DayRecords.h"
#include "store/ScheduleFile.h"
#include "support/FakeHost.h"
#include "support/FakePlatform.h"
#include "support/FilePermissions.h"
#include "support/TestEnv.h"

#include <sqlite3.h>

#include <QFile>
#include <QRandomGenerator>
#include <memory>
#include <unistd.h>

using testsupport::FakeHost;
using testsupport::FakePlatform;

namespace {

const QDate kToday(2026, 3, 5);
const QString kSound = QStringLiteral("/sounds/bell.wav");

QDateTime at(int hour, int minute, int second = 0) {
    return QDateTime(kToday, QTime(hour, minute, second));
}

// Stores one day record with exactly the given texts.
void putItem(const QString& file, const QDate& date, int slot, const QString& content,
             const QString& alarmText, const QString& timeText) {
    store::DataControl data;
    data.setDatabaseName(file);
    data.setRecordSource(store::kDayTable);
    QVERIFY(!data.refresh());
    QVERIFY(!data.addNew());
    QVERIFY(!data.setField(QStringLiteral("年月日"), store::dateString(date)));
    QVERIFY(!data.setField(QStringLiteral("項目番号"), double(slot)));
    QVERIFY(!data.setField(QStringLiteral("内容"), content));
    QVERIFY(!data.setField(QStringLiteral("アラーム"), alarmText));
    QVERIFY(!data.setField(QStringLiteral("時刻"), timeText));
    const store::Error error = data.update();
    QVERIFY2(!error, qPrintable(error.message));
}

QString alarmOf(const QString& file, const QDate& date, int slot) {
    store::DataControl data;
    data.setDatabaseName(file);
    data.setRecordSource(store::slotQuery(store::dateString(date), slot));
    if (data.refresh() || !data.hasCurrentRow())
        return QStringLiteral("<no row>");
    return data.field(QStringLiteral("アラーム")).toString();
}

// A second connection on the file, for holding locks and changing the file behind the check.
struct RawConnection {
    explicit RawConnection(const QString& file) { sqlite3_open(QFile::encodeName(file).constData(), &db); }
    ~RawConnection() { sqlite3_close(db); }
    int exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
    sqlite3* db = nullptr;
};

} // namespace

class TestAlarm : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void ringRule_data();
    void ringRule();
    void ringsOnceInItsMinute();
    void slotsRingInOrder();
    void minutePassingDuringBoxLeavesLaterSlotArmed();
    void emptyStartFileMakesNoQuery();
    void soundFile_data();
    void soundFile();
    void noReentryWhileBoxOpen();
    void tickHookKeepsOneCheck();
    void refusedUpdateLeavesItemArmed_data();
    void refusedUpdateLeavesItemArmed();
    void unreadableFileIsSilent_data();
    void unreadableFileIsSilent();
    void itemArmedElsewhereRingsInSameMinute_data();
    void itemArmedElsewhereRingsInSameMinute();
    void idleTicksReadOnlyOnChange();

  private:
    void expectRangOnce(const QString& content);
    void expectSilence();

    std::unique_ptr<testsupport::TestEnv> env;
    std::unique_ptr<FakePlatform> fake;
    std::unique_ptr<FakeHost> host;
    std::unique_ptr<alarms::AlarmCheck> check;
    std::unique_ptr<testsupport::PermissionsApply> permissions;
    QString file;
    QList<bool> soundWhileBox; // whether the sound played while each box was open
};

void TestAlarm::init() {
    env = std::make_unique<testsupport::TestEnv>();
    fake = std::make_unique<FakePlatform>();
    fake->install();
    fake->clock = at(9, 30, 0);
    fake->onMessage = [this](const testsupport::ShownMessage&) { soundWhileBox << fake->soundPlaying; };
    host = std::make_unique<FakeHost>();
    file = env->makeScheduleFile();
    host->settingsRecord.START_FILE = file;
    host->settingsRecord.ALM_FILE = kSound;
    check = std::make_unique<alarms::AlarmCheck>(*host);
    soundWhileBox.clear();
}

void TestAlarm::cleanup() {
    permissions.reset();
    check.reset();
    host.reset();
    fake.reset();
    env.reset();
}

void TestAlarm::expectRangOnce(const QString& content) {
    QCOMPARE(fake->messages.size(), 1);
    const testsupport::ShownMessage& box = fake->messages.constFirst();
    QCOMPARE(box.text, content);
    QCOMPARE(box.caption, QStringLiteral("Daduvov"));
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

    QTest::newRow("armed at 0930, 09:30") << "True"
                                          << "0930" << at(9, 30) << 0 << true;
    QTest::newRow("last second of the minute") << "True"
                                               << "0930" << at(9, 30, 59) << 0 << true;
    QTest::newRow("a minute later") << "True"
                                    << "0930" << at(9, 31) << 0 << false;
    QTest::newRow("a minute early") << "True"
                                    << "0930" << at(9, 29, 59) << 0 << false;
    QTest::newRow("three digits 930") << "True"
                                      << "930" << at(9, 30) << 0 << false;
    QTest::newRow("no time ####") << "True"
                                  << "####" << at(9, 30) << 0 << false;
    QTest::newRow("disarmed") << "False"
                              << "0930" << at(9, 30) << 0 << false;
    QTest::newRow("lower-case true") << "true"
                                     << "0930" << at(9, 30) << 0 << false;
    QTest::newRow("tomorrow's item") << "True"
                                     << "0930" << at(9, 30) << 1 << false;
    QTest::newRow("yesterday's item") << "True"
                                      << "0930" << at(9, 30) << -1 << false;
    QTest::newRow("evening 2105") << "True"
                                  << "2105" << at(21, 5) << 0 << true;
    QTest::newRow("midnight 0000") << "True"
                                   << "0000" << at(0, 0) << 0 << true;
    QTest::newRow("0930 at 21:30") << "True"
                                   << "0930" << at(21, 30) << 0 << false;
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

    check->ALM_CHK();

    if (rings) {
        expectRangOnce(QStringLiteral("歯医者"));
        QCOMPARE(alarmOf(file, date, 2), QStringLiteral("False"));
    } else {
        expectSilence();
        QCOMPARE(alarmOf(file, date, 2), alarmText);
    }
    QVERIFY(!check->busy());
}

void TestAlarm::ringsOnceInItsMinute() {
    putItem(file, kToday, 2, QStringLiteral("会議"), QStringLiteral("True"), QStringLiteral("0930"));
    check->ALM_CHK();
    fake->clock = at(9, 30, 0).addMSecs(100);
    check->ALM_CHK();
    fake->clock = at(9, 30, 30);
    check->ALM_CHK();
    fake->clock = at(9, 31, 0);
    check->ALM_CHK();
    expectRangOnce(QStringLiteral("会議"));
}

void TestAlarm::slotsRingInOrder() {
    putItem(file, kToday, 3, QStringLiteral("三番"), QStringLiteral("True"), QStringLiteral("0930"));
    putItem(file, kToday, 1, QStringLiteral("一番"), QStringLiteral("True"), QStringLiteral("0930"));
    putItem(file, kToday, 2, QStringLiteral("二番"), QStringLiteral("False"), QStringLiteral("0930"));
    putItem(file, kToday, 4, QStringLiteral("四番"), QStringLiteral("True"), QStringLiteral("0931"));

    check->ALM_CHK();

    QCOMPARE(fake->messages.size(), 2);
    QCOMPARE(fake->messages[0].text, QStringLiteral("一番"));
    QCOMPARE(fake->messages[1].text, QStringLiteral("三番"));
    const QString start = QStringLiteral("start:") + kSound;
    QCOMPARE(fake->soundCalls, (QStringList{start, QStringLiteral("stop"), start, QStringLiteral("stop")}));
    QCOMPARE(soundWhileBox, (QList<bool>{true, true}));
    QCOMPARE(alarmOf(file, kToday, 1), QStringLiteral("False"));
    QCOMPARE(alarmOf(file, kToday, 3), QStringLiteral("False"));
    QCOMPARE(alarmOf(file, kToday, 4), QStringLiteral("True"));
}

void TestAlarm::minutePassingDuringBoxLeavesLaterSlotArmed() {
    putItem(file, kToday, 1, QStringLiteral("一番"), QStringLiteral("True"), QStringLiteral("0930"));
    putItem(file, kToday, 3, QStringLiteral("三番"), QStringLiteral("True"), QStringLiteral("0930"));
    fake->clock = at(9, 30, 50);
    fake->onMessage = [this](const testsupport::ShownMessage&) { fake->clock = at(9, 31, 5); };

    check->ALM_CHK();
    QCOMPARE(fake->messages.size(), 1);
    QCOMPARE(fake->messages[0].text, QStringLiteral("一番"));
    QCOMPARE(alarmOf(file, kToday, 1), QStringLiteral("False"));
    QCOMPARE(alarmOf(file, kToday, 3), QStringLiteral("True"));

    // Missed alarms are not caught up.
    check->ALM_CHK();
    QCOMPARE(fake->messages.size(), 1);
}

void TestAlarm::emptyStartFileMakesNoQuery() {
    putItem(file, kToday, 1, QStringLiteral("一番"), QStringLiteral("True"), QStringLiteral("0930"));
    host->settingsRecord.START_FILE.clear();
    check->ALM_CHK();
    expectSilence();
    QVERIFY(!host->data.isOpen());
    QCOMPARE(host->data.databaseName(), QString());
    QCOMPARE(host->data.recordSource(), QString());
}

void TestAlarm::soundFile_data() {
    QTest::addColumn<QString>("almFile");
    QTest::addColumn<QString>("played");

    QTest::newRow("missing file") << "/no/such/file.wav"
                                  << "/no/such/file.wav";
    QTest::newRow("bare name, program folder") << "daduvov.WAV"
                                               << "<program folder>/daduvov.WAV";
    QTest::newRow("empty") << ""
                           << "";
}

// The box appears whatever the sound file; the sound service plays the built-in sound for a
// file it cannot play.
void TestAlarm::soundFile() {
    QFETCH(QString, almFile);
    QFETCH(QString, played);
    played.replace(QStringLiteral("<program folder>"), platform::programFolder());
    host->settingsRecord.ALM_FILE = almFile;
    putItem(file, kToday, 4, QStringLiteral("薬"), QStringLiteral("True"), QStringLiteral("0930"));

    check->ALM_CHK();
    QCOMPARE(fake->messages.size(), 1);
    QCOMPARE(fake->soundCalls, (QStringList{QStringLiteral("start:") + played, QStringLiteral("stop")}));
    QCOMPARE(alarmOf(file, kToday, 4), QStringLiteral("False"));
}

// Ticks keep coming while the box is open; they must neither ring the item again nor move Data1.
void TestAlarm::noReentryWhileBoxOpen() {
    putItem(file, kToday, 1, QStringLiteral("一番"), QStringLiteral("True"), QStringLiteral("0930"));
    putItem(file, kToday, 2, QStringLiteral("二番"), QStringLiteral("True"), QStringLiteral("0930"));
    int nestedTicks = 0;
    fake->onMessage = [&](const testsupport::ShownMessage&) {
        QVERIFY(check->busy());
        const QString source = host->data.recordSource();
        for (int i = 0; i < 3; ++i) {
            fake->clock = fake->clock.addMSecs(100);
            check->ALM_CHK();
            ++nestedTicks;
        }
        QCOMPARE(host->data.recordSource(), source);
    };

    check->ALM_CHK();
    QCOMPARE(nestedTicks, 6);
    QCOMPARE(fake->messages.size(), 2);
    QCOMPARE(fake->messages[0].text, QStringLiteral("一番"));
    QCOMPARE(fake->messages[1].text, QStringLiteral("二番"));
    QCOMPARE(fake->soundCalls.size(), 4);
    QVERIFY(!check->busy());
}

// The hook the main window calls on every tick keeps one check, so a tick during the box is
// still kept out.
void TestAlarm::tickHookKeepsOneCheck() {
    putItem(file, kToday, 3, QStringLiteral("三番"), QStringLiteral("True"), QStringLiteral("0930"));
    const std::function<void(calendar::MainHost&)> tick = alarms::tickHook();
    fake->onMessage = [&](const testsupport::ShownMessage&) { tick(*host); };
    tick(*host);
    tick(*host);
    QCOMPARE(fake->messages.size(), 1);
    QCOMPARE(alarmOf(file, kToday, 3), QStringLiteral("False"));
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
        RawConnection raw(file);
        QCOMPARE(
            raw.exec(
                "CREATE TRIGGER refuse BEFORE UPDATE ON 予定表 BEGIN SELECT RAISE(ABORT, 'refused'); END;"),
            SQLITE_OK);
    } else {
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        permissions = std::make_unique<testsupport::PermissionsApply>();
        QFile probe(file);
        if (probe.open(QIODevice::ReadWrite))
            QSKIP("this process writes regardless of file permissions");
    }

    check->ALM_CHK();
    expectRangOnce(QStringLiteral("会議"));
    QCOMPARE(alarmOf(file, kToday, 2), QStringLiteral("True"));

    fake->clock = at(9, 30, 1);
    check->ALM_CHK();
    fake->clock = at(9, 30, 59);
    check->ALM_CHK();
    QCOMPARE(fake->messages.size(), 1);
    QCOMPARE(fake->soundCalls.size(), 2);
    QCOMPARE(alarmOf(file, kToday, 2), QStringLiteral("True"));
}

void TestAlarm::unreadableFileIsSilent_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("random bytes") << "random";
    QTest::newRow("database without the table") << "no table";
    QTest::newRow("locked by another program") << "locked";
}

// The check gives up quietly on a file it cannot read, and keeps trying on later ticks.
void TestAlarm::unreadableFileIsSilent() {
    QFETCH(QString, kind);
    putItem(file, kToday, 1, QStringLiteral("一番"), QStringLiteral("True"), QStringLiteral("0930"));
    std::unique_ptr<RawConnection> locker;
    if (kind == QLatin1String("missing")) {
        host->settingsRecord.START_FILE = env->path(QStringLiteral("gone.sdb"));
    } else if (kind == QLatin1String("random")) {
        QFile f(env->path(QStringLiteral("random.sdb")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray bytes(8192, '\0');
        for (char& c : bytes)
            c = static_cast<char>(QRandomGenerator::global()->bounded(256));
        f.write(bytes);
        f.close();
        host->settingsRecord.START_FILE = f.fileName();
    } else if (kind == QLatin1String("no table")) {
        RawConnection raw(file);
        QCOMPARE(raw.exec("DROP TABLE 予定表;"), SQLITE_OK);
    } else {
        locker = std::make_unique<RawConnection>(file);
        QCOMPARE(locker->exec("BEGIN EXCLUSIVE;"), SQLITE_OK);
    }

    for (int tick = 0; tick < 3; ++tick) {
        check->ALM_CHK();
        fake->clock = fake->clock.addMSecs(100);
    }
    expectSilence();
    QVERIFY(!check->busy());
    if (kind == QLatin1String("missing"))
        QVERIFY(!QFile::exists(host->settingsRecord.START_FILE)); // not created by the check

    // Once the lock is gone the item rings in its minute.
    if (locker) {
        QCOMPARE(locker->exec("COMMIT;"), SQLITE_OK);
        check->ALM_CHK();
        QCOMPARE(fake->messages.size(), 1);
    }
}

void TestAlarm::itemArmedElsewhereRingsInSameMinute_data() {
    QTest::addColumn<QString>("armedBy");
    QTest::newRow("another program") << "other";
    QTest::newRow("the calendar's own data control") << "Data1";
}

// An item armed through another connection (the entry or list window, another program) or
// through the check's own data control during the very minute of its alarm rings in that minute,
// although the check reads the file again only when it has changed.
void TestAlarm::itemArmedElsewhereRingsInSameMinute() {
    QFETCH(QString, armedBy);
    putItem(file, kToday, 2, QStringLiteral("会議"), QStringLiteral("False"), QStringLiteral("0930"));
    check->ALM_CHK();
    expectSilence();

    fake->clock = at(9, 30, 20);
    check->ALM_CHK();
    if (armedBy == QLatin1String("other")) {
        RawConnection raw(file);
        QCOMPARE(raw.exec("UPDATE 予定表 SET アラーム='True';"), SQLITE_OK);
    } else {
        host->data.setRecordSource(store::slotQuery(store::dateString(kToday), 2));
        QVERIFY(!host->data.refresh());
        QVERIFY(!host->data.updateRow(0, {{QStringLiteral("アラーム"), QStringLiteral("True")}}));
    }
    fake->clock = at(9, 30, 20).addMSecs(100);
    check->ALM_CHK();
    expectRangOnce(QStringLiteral("会議"));
}

// While neither the minute nor the file changes, a tick reads nothing: Data1 stays as another
// user left it. A new minute reads today's items again.
void TestAlarm::idleTicksReadOnlyOnChange() {
    putItem(file, kToday, 1, QStringLiteral("一番"), QStringLiteral("True"), QStringLiteral("1000"));
    check->ALM_CHK();
    const QString elsewhere = store::dateQuery(QStringLiteral("2000/1/1"));
    host->data.setRecordSource(elsewhere);
    for (int tick = 1; tick <= 5; ++tick) {
        fake->clock = at(9, 30).addMSecs(100 * tick);
        check->ALM_CHK();
    }
    QCOMPARE(host->data.recordSource(), elsewhere);
    fake->clock = at(9, 31);
    check->ALM_CHK();
    QVERIFY(host->data.recordSource() != elsewhere);
    expectSilence();
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestAlarm test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_alarm.moc"
