// The real program on an X display (Xvfb) with a window manager (openbox): the list of missed
// alarms, shown at start before the calendar, comes up where it will stand beside the calendar,
// not over it, on the side with room.

#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "settings/ConfigFile.h"
#include "support/HelperProcess.h"
#include "support/ScheduleRows.h"
#include "support/TestEnv.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QtTest>

class TestX11Placement : public QObject {
    Q_OBJECT

    testsupport::HelperProcess xvfb_;
    testsupport::HelperProcess windowManager_;
    QString display_;

    QProcessEnvironment displayEnv() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_);
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return env;
    }

    // Runs xdotool on the test's display; its output, empty on failure.
    QString xdotool(const QStringList& arguments) const {
        QProcess tool;
        tool.setProcessEnvironment(displayEnv());
        tool.start(QStringLiteral("xdotool"), arguments);
        if (!tool.waitForFinished(10000) || tool.exitCode() != 0)
            return {};
        return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    }

    // The outer rectangle (with the window manager's frame) of the visible window titled `title`.
    QRect frameOf(const QString& title) const {
        const QString id = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')})
                               .section(QLatin1Char('\n'), -1);
        if (id.isEmpty())
            return {};
        QProcess info;
        info.setProcessEnvironment(displayEnv());
        info.start(QStringLiteral("xwininfo"), {QStringLiteral("-frame"), QStringLiteral("-id"), id});
        if (!info.waitForFinished(10000))
            return {};
        const QString text = QString::fromUtf8(info.readAllStandardOutput());
        auto value = [&text](const char* name) {
            const QRegularExpression line(QString::fromLatin1(name) + QStringLiteral(":\\s+(-?\\d+)"));
            return line.match(text).captured(1).toInt();
        };
        return {value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
                value("Height")};
    }

  private Q_SLOTS:
    // A display and window manager of its own for every case: nothing one case left changes the next.
    void init() {
        for (const char* tool : {"Xvfb", "openbox", "xdotool", "xwininfo"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/test.sh installs it)")
                                     .arg(QString::fromLatin1(tool))));
        display_.clear();
        for (int n = 150; n < 200 && display_.isEmpty(); ++n)
            if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
                !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                display_ = QStringLiteral(":%1").arg(n);
        QVERIFY2(!display_.isEmpty(), "no free X display");
        QVERIFY2(
            xvfb_.start(QStringLiteral("Xvfb"),
                        {display_, QStringLiteral("-screen"), QStringLiteral("0"),
                         QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")},
                        [this] { return !xdotool({QStringLiteral("getmouselocation")}).isEmpty(); }),
            "Xvfb could not start");
        windowManager_.process.setProcessEnvironment(displayEnv());
        // A busy machine may take longer than one start allows.
        bool managed = false;
        for (int attempt = 0; attempt < 3 && !managed; ++attempt)
            managed =
                windowManager_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}, [this] {
                    QProcess props;
                    props.setProcessEnvironment(displayEnv());
                    props.start(QStringLiteral("xprop"),
                                {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
                    return props.waitForFinished(5000) && props.readAllStandardOutput().contains("window id");
                });
        if (!managed)
            xvfb_.stop(); // a failed init is not followed by cleanup()
        QVERIFY2(managed, "openbox could not start");
    }

    void cleanup() {
        windowManager_.stop();
        xvfb_.stop();
    }

    // The calendar stands at the left or at the right edge of the screen; the list of missed alarms
    // takes the side with room, level with the calendar's top, and covers none of it.
    void missedAlarmsBesideTheCalendar_data() {
        QTest::addColumn<QString>("left");
        QTest::addColumn<bool>("onTheRight");
        QTest::newRow("calendar at the left: list on its right") << QStringLiteral("300") << true;
        QTest::newRow("calendar at the right: list on its left") << QStringLiteral("11000") << false;
    }

    void missedAlarmsBesideTheCalendar() {
        QFETCH(QString, left);
        QFETCH(bool, onTheRight);
        testsupport::TestEnv env;
        const QString schedule = env.makeScheduleFile();
        QVERIFY(testrows::putSlot(
            schedule, QDate::currentDate().addDays(-1), 1,
            {QStringLiteral("会議"), QStringLiteral("ﾚﾍﾞﾙ1"), true, QStringLiteral("0900")}));
        const QString ini = platform::joinPath(env.programFolder(), settings::kSettingsFileName);
        QVERIFY(!platform::writeTextFile(ini, {QStringLiteral("[Daduvov]"),
                                               QStringLiteral("START_FILE=") + schedule,
                                               QStringLiteral("TOP=1500"), QStringLiteral("LEFT=") + left}));

        QProcess program;
        QProcessEnvironment programEnv = displayEnv();
        programEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        programEnv.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        program.setProcessEnvironment(programEnv);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(DADUVOV_PROGRAM));
        QVERIFY(program.waitForStarted(10000));
        QRect list;
        for (QDeadlineTimer up(20000);
             list.isEmpty() && program.state() != QProcess::NotRunning && !up.hasExpired();)
            if ((list = frameOf(QStringLiteral("見逃したアラーム"))).isEmpty())
                QTest::qWait(200);
        QVERIFY2(program.state() == QProcess::Running, program.readAll().constData());
        QTest::qWait(500); // the window manager has placed it
        list = frameOf(QStringLiteral("見逃したアラーム"));
        // The calendar shows once the list is answered (後で, by Escape).
        const QString listId = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--name"), QStringLiteral("^見逃したアラーム$")});
        xdotool({QStringLiteral("windowfocus"), listId});
        xdotool({QStringLiteral("key"), QStringLiteral("--window"), listId, QStringLiteral("Escape")});
        QRect calendar;
        QTRY_VERIFY_WITH_TIMEOUT(!(calendar = frameOf(QStringLiteral("Daduvov"))).isEmpty(), 30000);
        QTest::qWait(500);
        calendar = frameOf(QStringLiteral("Daduvov"));
        program.terminate();
        QVERIFY2(program.waitForFinished(30000), "no end on SIGTERM");

        QVERIFY2(!calendar.isEmpty(), "the calendar is not on screen");
        const QString where = QStringLiteral("calendar %1,%2 %3x%4, list %5,%6 %7x%8")
                                  .arg(calendar.x())
                                  .arg(calendar.y())
                                  .arg(calendar.width())
                                  .arg(calendar.height())
                                  .arg(list.x())
                                  .arg(list.y())
                                  .arg(list.width())
                                  .arg(list.height());
        QVERIFY2(!list.intersects(calendar), qPrintable(where));
        QVERIFY2(QRect(0, 0, 1024, 768).contains(list), qPrintable(where));
        QVERIFY2(onTheRight ? list.left() >= calendar.right() : list.right() <= calendar.left(),
                 qPrintable(where));
        // Beside it: the gap and the difference in height are the frame's, not a window's width.
        const int gap = onTheRight ? list.left() - calendar.right() : calendar.left() - list.right();
        QVERIFY2(gap <= 16 && std::abs(list.top() - calendar.top()) <= 40, qPrintable(where));
    }
};

QTEST_GUILESS_MAIN(TestX11Placement)
#include "test_x11_placement.moc"
