// The real program as a native Wayland client under weston's headless back end. A Wayland client
// can neither place its windows nor learn where they are, so starts and quits must leave the
// stored positions of the calendar and the ToDo window exactly as written, while the ToDo
// window's size is still saved at every quit.

#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "settings/ConfigFile.h"
#include "support/TestEnv.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestWaylandPositions : public QObject {
    Q_OBJECT

    QTemporaryDir runtime_; // XDG_RUNTIME_DIR of the compositor and the program: 0700
    QProcess weston_;
    const QString socket_ = QStringLiteral("wayland-positions");

    QString logPath() const { return runtime_.filePath(QStringLiteral("weston.log")); }

    QByteArray logFrom(qint64 offset) const {
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly) || !log.seek(offset))
            return {};
        return log.readAll();
    }

    // The program's stored values of `keys`, as their text stands in the file.
    static QStringList valuesIn(const QString& ini, const QStringList& keys) {
        const std::optional<QString> text = platform::readTextFile(ini);
        const QStringList lines = text ? text->split(QStringLiteral("\r\n")) : QStringList();
        QStringList values;
        for (const QString& key : keys) {
            QString value;
            for (const QString& line : lines)
                if (line.startsWith(key + QLatin1Char('=')))
                    value = line.mid(key.size() + 1);
            values << key + QLatin1Char('=') + value;
        }
        return values;
    }

  private Q_SLOTS:
    void initTestCase() {
        const QString weston = QStandardPaths::findExecutable(QStringLiteral("weston"));
        if (weston.isEmpty())
            QSKIP("weston is not installed (scripts/test.sh installs it)");
        QVERIFY(runtime_.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        weston_.setProcessEnvironment(env);
        weston_.setProcessChannelMode(QProcess::MergedChannels);
        // The protocol log tells when the program's windows are up.
        weston_.start(weston,
                      {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=") + socket_,
                       QStringLiteral("--no-config"), QStringLiteral("--width=1024"),
                       QStringLiteral("--height=768"), QStringLiteral("--logger-scopes=log,proto"),
                       QStringLiteral("--log=") + logPath()});
        const QString socket = runtime_.filePath(socket_);
        QDeadlineTimer deadline(10000);
        while (!QFile::exists(socket) && weston_.state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(100);
        if (!QFile::exists(socket))
            QSKIP(qPrintable(QStringLiteral("weston could not start: ") +
                             QString::fromLocal8Bit(weston_.readAll()) +
                             QString::fromLocal8Bit(logFrom(0).right(2000))));
    }

    void cleanupTestCase() {
        if (weston_.state() == QProcess::NotRunning)
            return;
        weston_.terminate();
        if (!weston_.waitForFinished(10000))
            weston_.kill();
        weston_.waitForFinished();
    }

    void positionsStayAsStored() {
        testsupport::TestEnv env;
        const QString schedule = env.makeScheduleFile();
        const QString ini = platform::joinPath(env.programFolder(), settings::kSettingsFileName);
        // Positions that are no whole number of pixels, and a ToDo width that the window's size
        // rules change, put back before every start, so that each quit that saves shows.
        const QString narrowTodo = QStringLiteral("ToDo_WID=3000");
        const QStringList kept = {QStringLiteral("TOP=3007"), QStringLiteral("LEFT=4501.5"),
                                  QStringLiteral("ToDo_Top=1507"), QStringLiteral("ToDo_Left=7503"),
                                  QStringLiteral("ToDo_HEI=4500")};
        QVERIFY(!platform::writeTextFile(ini, QStringList{QStringLiteral("[Daduvov]"),
                                                          QStringLiteral("START_FILE=") + schedule,
                                                          QStringLiteral("ToDo_ON=True"), narrowTodo} +
                                                  kept));
        const QStringList saved = kept + QStringList{QStringLiteral("ToDo_WID=3750")};
        QStringList keys;
        for (const QString& value : saved)
            keys << value.section(QLatin1Char('='), 0, 0);
        const QRegularExpression calendarShown(
            QStringLiteral(R"(set_title\("[^"]*ToDo[^"]*"\).*set_title\("Daduvov"\))"),
            QRegularExpression::DotMatchesEverythingOption);

        QProcessEnvironment programEnv = QProcessEnvironment::systemEnvironment();
        programEnv.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        programEnv.insert(QStringLiteral("WAYLAND_DISPLAY"), socket_);
        programEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        programEnv.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        programEnv.remove(QStringLiteral("DISPLAY"));
        for (int start = 1; start <= 3; ++start) {
            QStringList lines = platform::readTextFile(ini).value_or(QString()).split(QStringLiteral("\r\n"));
            lines.replaceInStrings(QRegularExpression(QStringLiteral("^ToDo_WID=.*")), narrowTodo);
            QVERIFY(!platform::writeTextFile(ini, lines.filter(QRegularExpression(QStringLiteral(".")))));

            const qint64 logged = QFileInfo(logPath()).size();
            QProcess program;
            program.setProcessEnvironment(programEnv);
            program.setProcessChannelMode(QProcess::MergedChannels);
            program.start(QStringLiteral(DADUVOV_PROGRAM));
            // Up once the calendar is shown, which comes after the ToDo window.
            QTRY_VERIFY2_WITH_TIMEOUT(calendarShown.match(QString::fromUtf8(logFrom(logged))).hasMatch() ||
                                          program.state() == QProcess::NotRunning,
                                      "the windows did not come up", 60000);
            QVERIFY2(program.state() == QProcess::Running, program.readAll().constData());
            QTest::qWait(1000); // the compositor configures the windows
            program.terminate();
            QVERIFY2(program.waitForFinished(30000), "no end on SIGTERM");
            QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0,
                     program.readAll().constData());

            QCOMPARE(valuesIn(ini, keys), saved);
        }
    }
};

QTEST_GUILESS_MAIN(TestWaylandPositions)
#include "test_wayland_positions.moc"
