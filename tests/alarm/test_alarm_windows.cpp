// The alarm's windows through the real Qt classes: the start-up list of missed alarms answered by
// clicks, and alarm boxes (real QMessageBox) rung by a real QTimer while the fake clock moves on.

#include <QtTest>

#include "alarm/AlarmHooks.h"
#include "alarm/AlarmItems.h"
#include "alarm/MissedAlarmsWindow.h"
#include "support/Files.h"
#include "support/RealDialogs.h"
#include "support/WindowFixture.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

using namespace alarmtest;

class TestAlarmWindows : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void startUpList_data();
    void startUpList();
    void catchUpAfterBoxHeldOpen();

  private:
    std::unique_ptr<testsupport::WindowFixture> f;
    std::unique_ptr<testsupport::RealDialogs> real;
    testsupport::FakeHost* host = nullptr;
    QString file;
};

void TestAlarmWindows::init() {
    f = std::make_unique<testsupport::WindowFixture>();
    real = std::make_unique<testsupport::RealDialogs>();
    f->platform.clock = at(9, 30, 20);
    host = &f->host;
    file = f->file;
}

void TestAlarmWindows::cleanup() {
    real.reset();
    f.reset();
}

void TestAlarmWindows::startUpList_data() {
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QStringList>("alarmsAfter");
    QTest::newRow("OK disarms the items shown")
        << true << false << QStringList{"False", "False", "True", "True"};
    QTest::newRow("later keeps them armed") << false << false << QStringList{"True", "True", "True", "True"};
    // A file open read-only offers only 閉じる and says why.
    QTest::newRow("read-only file") << false << true << QStringList{"True", "True", "True", "True"};
}

// Two missed items inside the 7 days, one older and one still to come: the list shows the two,
// newest first, each in its level's colour.
void TestAlarmWindows::startUpList() {
    QFETCH(bool, ok);
    QFETCH(bool, readOnly);
    QFETCH(QStringList, alarmsAfter);
    host->settingsRecord.levelColor(2) = 0x0000FF; // red
    const QStringList items{"-2|1|0800|True|二日前|2", "0|2|0900|True|今朝", "-8|3|1000|True|八日前",
                            "0|4|1000|True|これから"};
    putItems(file, items);
    if (readOnly)
        QVERIFY(testsupport::execSql(
            file, "CREATE TRIGGER planted AFTER INSERT ON ToDoリスト BEGIN SELECT 1; END"));

    QStringList lines;
    QColor firstColour, secondColour;
    QTimer::singleShot(0, this, [&] {
        auto* window = qobject_cast<alarms::MissedAlarmsWindow*>(QApplication::activeModalWidget());
        QVERIFY(window);
        for (int i = 0; i < window->lines()->count(); ++i)
            lines << window->lines()->item(i)->text();
        firstColour = window->lines()->item(0)->foreground().color();
        secondColour = window->lines()->item(1)->foreground().color();
        QCOMPARE(!window->okButton(), readOnly);
        QCOMPARE(window->hint()->text().contains(QStringLiteral("読み取り専用")), readOnly);
        // The focus starts on the default button; Tab reaches the lines, to be read by keys.
        QWidget* defaultButton = window->okButton() ? window->okButton() : window->laterButton();
        QCOMPARE(window->focusWidget(), defaultButton);
        bool reached = false;
        for (int i = 0; i < 3 && !reached; ++i) {
            QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
            reached = window->focusWidget() == window->lines();
        }
        QVERIFY(reached);
        QTest::mouseClick(ok ? window->okButton() : window->laterButton(), Qt::LeftButton);
    });
    alarms::alarmHooks().startUp(*host);

    QCOMPARE(lines, (QStringList{"2026/3/5 09:00  今朝", "2026/3/3 08:00  二日前"}));
    QCOMPARE(secondColour, QColor(Qt::red));
    QVERIFY(firstColour != secondColour);
    QStringList alarms;
    for (const QString& item : items) {
        const QStringList f = item.split(QLatin1Char('|'));
        alarms << alarmOf(file, kToday.addDays(f[0].toInt()), f[1].toInt());
    }
    QCOMPARE(alarms, alarmsAfter);
}

// Slot 1 rings at 09:30; its box stays open until 09:32, past 09:31, the minute of slot 2, while the timer
// keeps ticking. Once the box is closed, slot 2 rings with its own box.
void TestAlarmWindows::catchUpAfterBoxHeldOpen() {
    putItems(file, {"0|1|0930|True|一番", "0|2|0931|True|二番"});
    const alarms::AlarmHooks hooks = alarms::alarmHooks();
    int ticks = 0;
    QTimer clock;
    clock.setInterval(100);
    connect(&clock, &QTimer::timeout, this, [&] {
        ++ticks;
        hooks.tick(*host);
    });

    QStringList boxes;
    int ticksAtOpen = 0;
    QTimer user;
    user.setInterval(50);
    connect(&user, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (!box->property("seen").toBool()) {
            box->setProperty("seen", true);
            boxes << box->text();
            ticksAtOpen = ticks;
            if (boxes.size() == 1)
                f->platform.clock = at(9, 32, 10);
            return;
        }
        if (ticks < ticksAtOpen + 3)
            return; // the clock keeps ticking while the box is open
        QTest::mouseClick(box->buttons().constFirst(), Qt::LeftButton);
    });
    user.start();
    clock.start();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 2, 20000);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    clock.stop();
    user.stop();
    QCOMPARE(boxes, (QStringList{"一番\n2026/3/5 09:30", "二番\n2026/3/5 09:31"}));
    QCOMPARE(alarmOf(file, kToday, 1), QStringLiteral("False"));
    QCOMPARE(alarmOf(file, kToday, 2), QStringLiteral("False"));
}

QTEST_MAIN(TestAlarmWindows)
#include "test_alarm_windows.moc"
