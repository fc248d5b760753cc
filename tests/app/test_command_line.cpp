// The command line: what each form of it asks for, what it prints, and the autostart entry it
// writes and removes.

#include "app/CommandLine.h"
#include "support/Files.h"

#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

using app::CommandLine;

namespace {

struct Run {
    CommandLine result;
    QString out;
    QString err;
};

// The arguments as the system hands them over, as bytes.
Run run(const QByteArrayList& arguments, const QString& program = QStringLiteral("/usr/bin/daduvov")) {
    Run r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.result = app::readCommandLine(QByteArrayList{"/usr/bin/daduvov"} + arguments, program, out, err);
    return r;
}
Run run(const QStringList& arguments, const QString& program = QStringLiteral("/usr/bin/daduvov")) {
    QByteArrayList bytes;
    for (const QString& argument : arguments)
        bytes << QFile::encodeName(argument);
    return run(bytes, program);
}

QString readAll(const QString& path) {
    return QString::fromUtf8(testsupport::fileBytes(path));
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    QTemporaryDir config;

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }

    void forms_data() {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<int>("exitCode"); // -1: the program goes on to open its window
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("complaint");

        const QString none;
        QTest::newRow("nothing") << QByteArrayList{} << -1 << none << none;
        QTest::newRow("--help") << QByteArrayList{"--help"} << 0 << "--autostart <on|off>" << none;
        QTest::newRow("-h") << QByteArrayList{"-h"} << 0 << "--version" << none;
        QTest::newRow("--version") << QByteArrayList{"--version"} << 0 << "Daduvov 1." << none;
        QTest::newRow("-v with a file") << QByteArrayList{"-v", "x.SDB"} << 0 << "Daduvov 1." << none;
        QTest::newRow("file") << QByteArrayList{"x.SDB"} << -1 << none << none;
        // Qt's own options (a session manager restarts the program with -session).
        QTest::newRow("Qt options") << QByteArrayList{"-platform", "offscreen", "-session", "1a2b",
                                                      "-reverse"}
                                    << -1 << none << none;
        QTest::newRow("unknown option") << QByteArrayList{"--bogus"} << 1 << none << "bogus";
        QTest::newRow("two files") << QByteArrayList{"a.SDB", "b.SDB"} << 1 << none << "一つだけ";
        QTest::newRow("a folder") << QByteArrayList{"/tmp"} << 1 << none << "/tmp";
        QTest::newRow("autostart value") << QByteArrayList{"--autostart", "yes"} << 1 << none << "yes";
        QTest::newRow("autostart without value") << QByteArrayList{"--autostart"} << 1 << none << "autostart";
        // The year's holidays by date, a substitute holiday among them; no display needed.
        QTest::newRow("holidays") << QByteArrayList{"--holidays", "2026"} << 0
                                  << "2026-01-01\t元日\n2026-01-12\t成人の日\n"
                                  << none;
        QTest::newRow("holidays substitute")
            << QByteArrayList{"--holidays=2026"} << 0 << "\n2026-05-06\t振替休日\n"
            << none;
        QTest::newRow("holidays first year")
            << QByteArrayList{"--holidays", "1948"} << 0 << "1948-11-03\t文化の日\n"
            << none;
        QTest::newRow("holidays last year")
            << QByteArrayList{"--holidays", "2099"} << 0 << "2099-11-23\t勤労感謝の日\n"
            << none;
        // A year the rules do not cover, or no year at all, is refused rather than printed empty.
        QTest::newRow("holidays before the law")
            << QByteArrayList{"--holidays", "1947"} << 1 << none << "1948";
        QTest::newRow("holidays after 2099") << QByteArrayList{"--holidays", "2100"} << 1 << none << "2100";
        QTest::newRow("holidays not a number") << QByteArrayList{"--holidays", "20x6"} << 1 << none << "20x6";
        QTest::newRow("holidays negative") << QByteArrayList{"--holidays=-2026"} << 1 << none << "-2026";
        QTest::newRow("holidays overflowing")
            << QByteArrayList{"--holidays", "4294969322"} << 1 << none << "4294969322";
        QTest::newRow("holidays without year") << QByteArrayList{"--holidays"} << 1 << none << "holidays";
        // Bytes that are not UTF-8 would come back as another name.
        QTest::newRow("file name not UTF-8") << QByteArrayList{"bad\xFF.SDB"} << 1 << none << "バイト";
        QTest::newRow("option value not UTF-8")
            << QByteArrayList{"--export-ics", "out\xC3.ics"} << 1 << none << "out\uFFFD.ics";
    }
    void forms() {
        QFETCH(QByteArrayList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QFETCH(QString, complaint);

        const Run r = run(arguments);
        QCOMPARE(r.result.exitCode.value_or(-1), exitCode);
        QVERIFY2(r.out.contains(printed), qPrintable(r.out));
        QVERIFY2(r.err.contains(complaint), qPrintable(r.err));
        QCOMPARE(r.err.isEmpty(), exitCode != 1);
        if (exitCode == 1)
            QVERIFY(r.err.contains(QLatin1String("daduvov --help")));
    }

    void fileBecomesAbsolute() {
        const Run r = run({QStringLiteral("予定.SDB")});
        QCOMPARE(r.result.scheduleFile, QDir::current().absoluteFilePath(QStringLiteral("予定.SDB")));
        QCOMPARE(run(QStringList{}).result.scheduleFile, QString());
    }

    void autostartOnAndOff() {
        const QString entry = config.path() + QStringLiteral("/autostart/daduvov.desktop");
        QCOMPARE(app::autostartEntryPath(), entry);

        // A path with a space needs quoting in the Exec key; "%" is doubled.
        Run r = run({QStringLiteral("--autostart"), QStringLiteral("on")},
                    QStringLiteral("/opt/my apps/100%/daduvov"));
        QCOMPARE(r.result.exitCode, std::optional<int>(0));
        QVERIFY(r.out.contains(entry));
        const QString text = readAll(entry);
        QVERIFY2(text.startsWith(QLatin1String("[Desktop Entry]\n")), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("\nExec=\"/opt/my apps/100%%/daduvov\"\n")), qPrintable(text));

        // Writing again replaces the entry; a plain path stays unquoted.
        QCOMPARE(run({QStringLiteral("--autostart=on")}).result.exitCode, std::optional<int>(0));
        QVERIFY(readAll(entry).contains(QLatin1String("\nExec=/usr/bin/daduvov\n")));

        QCOMPARE(run({QStringLiteral("--autostart"), QStringLiteral("off")}).result.exitCode,
                 std::optional<int>(0));
        QVERIFY(!QFile::exists(entry));
        // Switching off what is already off is no mistake.
        QCOMPARE(run({QStringLiteral("-autostart"), QStringLiteral("OFF")}).result.exitCode,
                 std::optional<int>(0));
    }

    void autostartFailureIsReported() {
        // The autostart folder cannot be made where a file stands.
        QTemporaryDir other;
        QFile blocker(other.path() + QStringLiteral("/autostart"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qputenv("XDG_CONFIG_HOME", other.path().toLocal8Bit());
        const Run r = run({QStringLiteral("--autostart"), QStringLiteral("on")});
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QCOMPARE(r.result.exitCode, std::optional<int>(1));
        QVERIFY2(r.err.contains(other.path()), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
