// Code page 932 text, the path rule, the file-dialog filters and the pinned local zone of the
// platform layer.

#include "platform/FileFilter.h"
#include "platform/LocalZone.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <ctime>

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

  private slots:
    void codePageRoundTrip_data();
    void codePageRoundTrip();
    void utf8Fallback_data();
    void utf8Fallback();
    void invalidBytesDoNotStopDecoding_data();
    void invalidBytesDoNotStopDecoding();
    void writtenWithCrLf();
    void joinPath_data();
    void joinPath();
    void programFolder_data();
    void programFolder();
    void nameFilters_data();
    void nameFilters();
    void localZoneFollowsTheZoneFile();
};

void TestPlatform::codePageRoundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("backslash") << QStringLiteral("C:\\data")
                               << QByteArray("C:\x5C"
                                             "data");
    QTest::newRow("circled one") << QStringLiteral("①") << QByteArray("\x87\x40");
    QTest::newRow("half-width katakana") << QStringLiteral("ﾚﾍﾞﾙ") << QByteArray("\xDA\xCD\xDE\xD9");
    QTest::newRow("trail byte 5C") << QStringLiteral("予定") << QByteArray("\x97\x5C\x92\xE8");
    QTest::newRow("full-width tilde") << QStringLiteral("～") << QByteArray("\x81\x60");
    QTest::newRow("ascii") << QStringLiteral("TOP=1440") << QByteArray("TOP=1440");
}

void TestPlatform::codePageRoundTrip() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(platform::encodeText(text), bytes);
    QCOMPARE(platform::decodeText(bytes), text);
}

void TestPlatform::utf8Fallback_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("emoji") << QStringLiteral("予定😀");
    QTest::newRow("hangul path") << QStringLiteral("/home/일정/a.sdb");
    // Characters that Linux input methods type and that code page 932 would read back as a
    // look-alike (〜 as ～, − as －).
    for (const char* lookAlike : {"〜", "−", "—", "‖", "¢", "£", "¬", "¥"})
        QTest::newRow(lookAlike) << QStringLiteral("/1月") + QString::fromUtf8(lookAlike) +
                                        QStringLiteral("3月");
}

// Text with a character that has no code page 932 form of its own is written whole as UTF-8
// with a BOM, and read back unchanged.
void TestPlatform::utf8Fallback() {
    QFETCH(QString, text);
    const QByteArray bytes = platform::encodeText(text);
    QCOMPARE(bytes, kBom + text.toUtf8());
    QCOMPARE(platform::decodeText(bytes), text);
}

void TestPlatform::invalidBytesDoNotStopDecoding_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("FF") << QByteArray("A\xFF"
                                      "B\r\nC");
    QTest::newRow("lead byte before a blank") << QByteArray("A\x81 B\r\nC");
    QTest::newRow("lead byte before a line end") << QByteArray("A\x81\r\nB\r\nC");
    QTest::newRow("unassigned double byte") << QByteArray("A\x85\x40"
                                                          "B\r\nC");
    QTest::newRow("bad UTF-8 after a BOM") << kBom + QByteArray("A\x97\x5C"
                                                                "B\r\nC");
}

void TestPlatform::invalidBytesDoNotStopDecoding() {
    QFETCH(QByteArray, bytes);
    const QString text = platform::decodeText(bytes);
    QVERIFY2(text.startsWith(QLatin1Char('A')), qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("B\r\nC")), qPrintable(text));
    // ICU stands a SUB (U+001A) in for a single bad byte, U+FFFD for an unassigned pair.
    QVERIFY2(text.contains(QChar::ReplacementCharacter) || text.contains(QChar(0x1A)), qPrintable(text));
}

void TestPlatform::writtenWithCrLf() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.txt"));
    const auto failure =
        platform::writeTextFile(path, {QStringLiteral("予定"), QString(), QStringLiteral("x")});
    QVERIFY2(!failure, qPrintable(failure.value_or(QString())));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\x97\x5C\x92\xE8\r\n\r\nx\r\n"));
    QCOMPARE(platform::readTextFile(path).value_or(QString()), QStringLiteral("予定\r\n\r\nx\r\n"));
    QVERIFY(!platform::readTextFile(dir.filePath(QStringLiteral("missing.txt"))));
}

void TestPlatform::joinPath_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("joined");
    QTest::newRow("plain folder") << QStringLiteral("/home/u/.local/share/daduvov")
                                  << QStringLiteral("/home/u/.local/share/daduvov/ZIZARU.INI");
    QTest::newRow("folder ending in /")
        << QStringLiteral("/home/u/data/") << QStringLiteral("/home/u/data/ZIZARU.INI");
    QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("/ZIZARU.INI");
}

void TestPlatform::joinPath() {
    QFETCH(QString, folder);
    QFETCH(QString, joined);
    QCOMPARE(platform::joinPath(folder, QStringLiteral("ZIZARU.INI")), joined);
}

void TestPlatform::programFolder_data() {
    QTest::addColumn<QByteArray>("xdgDataHome");
    QTest::addColumn<QString>("folder"); // below the temporary folder standing in for $HOME
    QTest::newRow("absolute") << QByteArray("{home}/data") << "data/daduvov";
    QTest::newRow("unset") << QByteArray() << ".local/share/daduvov";
    QTest::newRow("relative, ignored") << QByteArray("data") << ".local/share/daduvov";
}

void TestPlatform::programFolder() {
    QFETCH(QByteArray, xdgDataHome);
    QFETCH(QString, folder);
    QTemporaryDir home;
    const QByteArray previousHome = qgetenv("HOME");
    const QByteArray previousXdg = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", xdgDataHome.replace("{home}", home.path().toUtf8()));
    const QString made = platform::programFolder();
    qputenv("HOME", previousHome);
    qputenv("XDG_DATA_HOME", previousXdg);
    QCOMPARE(made, home.filePath(folder));
    QVERIFY(QFileInfo(made).isDir());
}

void TestPlatform::nameFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("filters");
    QTest::newRow("schedule files")
        << QStringLiteral("スケジュールファイル(*.SDB)|*.sdb|すべてのファイル|*.*")
        << QStringList{QStringLiteral("スケジュールファイル(*.SDB) (*.[sS][dD][bB])"),
                       QStringLiteral("すべてのファイル (*)")};
    QTest::newRow("alarm sound") << QStringLiteral("WAVEﾌｧｲﾙ(*.WAV)|*.WAV")
                                 << QStringList{QStringLiteral("WAVEﾌｧｲﾙ(*.WAV) (*.[wW][aA][vV])")};
}

void TestPlatform::nameFilters() {
    QFETCH(QString, filter);
    QFETCH(QStringList, filters);
    QCOMPARE(platform::qtNameFilters(filter), filters);
}

QTEST_GUILESS_MAIN(TestPlatform)
// With TZ unset the local zone is pinned to the zone file, and a file put in its place (as a
// change of the system's zone does) is followed; a TZ that names a zone is left alone.
void TestPlatform::localZoneFollowsTheZoneFile() {
    const QByteArray before = qgetenv("TZ");
    const QTemporaryDir dir;
    const QString zoneFile = dir.filePath(QStringLiteral("localtime"));
    QVERIFY(QFile::copy(QStringLiteral("/usr/share/zoneinfo/Asia/Tokyo"), zoneFile));
    const auto offsetAtNoon = [] { return QDateTime(QDate(2026, 1, 15), QTime(12, 0)).offsetFromUtc(); };
    qputenv("TZ", "Europe/Berlin");
    {
        const platform::LocalZone chosen(zoneFile);
        QVERIFY(!chosen.pinned());
        QCOMPARE(qgetenv("TZ"), QByteArray("Europe/Berlin"));
    }
    qunsetenv("TZ");
    {
        const platform::LocalZone zone(zoneFile);
        QVERIFY(zone.pinned());
        QCOMPARE(qgetenv("TZ"), ':' + QFile::encodeName(zoneFile));
        QCOMPARE(offsetAtNoon(), 9 * 3600);
        const QString next = dir.filePath(QStringLiteral("next"));
        QVERIFY(QFile::copy(QStringLiteral("/usr/share/zoneinfo/America/New_York"), next));
        QVERIFY(std::rename(QFile::encodeName(next).constData(), QFile::encodeName(zoneFile).constData()) ==
                0);
        QTRY_COMPARE(offsetAtNoon(), -5 * 3600);
        // Watched still after the rename: the next change is seen as well. The new file is made
        // while the old one exists, as a package update does; a file removed first could give its
        // inode number to the next one, and the C library takes a file with the same inode and
        // modification second for the one it has already read.
        const QString again = dir.filePath(QStringLiteral("again"));
        QVERIFY(QFile::copy(QStringLiteral("/usr/share/zoneinfo/Asia/Tokyo"), again));
        QVERIFY(std::rename(QFile::encodeName(again).constData(), QFile::encodeName(zoneFile).constData()) ==
                0);
        QTRY_COMPARE(offsetAtNoon(), 9 * 3600);
    }
    QVERIFY(!qEnvironmentVariableIsSet("TZ"));
    // As it was, set or not, whether the test ran under ctest or by hand.
    if (before.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", before);
    tzset();
}

#include "tst_platform.moc"
