// A damaged Settings file never stops the program: whatever its bytes, loading it reads the
// keys that can be read, keeps the defaults for the rest, and returns.

#include "platform/Paths.h"
#include "settings/ConfigFile.h"
#include "settings/Settings.h"
#include "support/FakePlatform.h"
#include "support/SettingsRecords.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QSemaphore>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using settings::Settings;
using testsupport::defaultSettings;
using testsupport::settingsWith;

namespace {

QByteArray cp932(const char* utf8) {
    // The few Japanese words used here, by their code page 932 bytes.
    const QString text = QString::fromUtf8(utf8);
    if (text == QStringLiteral("会議"))
        return QByteArray("\x89\xEF\x8B\x63");
    if (text == QStringLiteral("予"))
        return QByteArray("\x97\x5C");
    qFatal("no code page 932 bytes for %s", utf8);
}

// The bytes of a literal, NUL bytes included.
template <qsizetype N> QByteArray bytesOf(const char (&literal)[N]) {
    return QByteArray(literal, N - 1);
}

// Bytes from a fixed xorshift sequence: the same junk on every run.
QByteArray junk(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed;
    for (char& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<char>(x & 0xFF);
    }
    return bytes;
}

// Undecodable bytes read as a substitute character (U+001A or U+FFFD, as the decoder chooses);
// the comparison leaves those out and looks at what was readable.
QString readable(QString text) {
    text.remove(QChar(0x1A));
    text.remove(QChar(0xFFFD));
    return text;
}

Settings readableOnly(Settings s) {
    for (QString* text : {&s.scheduleFile, &s.slotLabel(1), &s.slotLabel(2), &s.slotLabel(3), &s.slotLabel(4),
                          &s.alarmSoundFile})
        *text = readable(*text);
    return s;
}

// Rows of files whose lines end oddly, hold NUL bytes, or hold a great many keys.
void addLineEndAndKeyCountRows() {
    QTest::newRow("no line end") << QByteArray("KOUMOKU1=a\r\nCRL0=7") << settingsWith([](Settings& s) {
        s.slotLabel(1) = QStringLiteral("a");
        s.levelColor(0) = 7;
    });
    QTest::newRow("lone CR") << QByteArray("KOUMOKU1=a\rCRL0=7\rKARE_ON=True\r")
                             << settingsWith([](Settings& s) {
                                    s.slotLabel(1) = QStringLiteral("a");
                                    s.levelColor(0) = 7;
                                    s.markDaysWithItems = true;
                                });
    QTest::newRow("CR only, no keys") << QByteArray(100000, '\r') << defaultSettings();

    QTest::newRow("NUL bytes") << bytesOf("KOUMOKU1=a\0b\r\n\0\0\0\r\nCRL1=3\r\n\0CRL2=9\r\nCRL3=\0\r\n")
                               << settingsWith([](Settings& s) {
                                      s.slotLabel(1) = QStringLiteral("a") + QChar() + QStringLiteral("b");
                                      s.levelColor(1) = 3;
                                  });
    QTest::newRow("NUL bytes only, the largest file read")
        << QByteArray(settings::kMaxSettingsFileBytes, '\0') << defaultSettings();

    QByteArray manyKeys = "CRL0=1\r\n";
    for (int n = 0; n < 60000; ++n)
        manyKeys += (n % 2 ? "KEY" + QByteArray::number(n) : "KOUMOKU2=" + QByteArray::number(n)) + "=x\r\n";
    manyKeys += "CRL5=6\r\n";
    QTest::newRow("60,000 keys") << manyKeys << settingsWith([](Settings& s) {
        s.levelColor(0) = 1;
        s.slotLabel(2) = QStringLiteral("59998=x");
        s.levelColor(5) = 6;
    });
}

} // namespace

class TestBadSettings : public QObject {
    Q_OBJECT

  private slots:
    void loadsWhatCanBeLoaded_data();
    void loadsWhatCanBeLoaded();
    void notASmallRegularFile_data();
    void notASmallRegularFile();
};

void TestBadSettings::loadsWhatCanBeLoaded_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Settings>("expected");

    const QByteArray goodLines = "\r\nKOUMOKU1=" + cp932("会議") + "\r\nCRL2=255\r\n";
    const Settings goodRead = settingsWith([](Settings& s) {
        s.slotLabel(1) = QStringLiteral("会議");
        s.levelColor(2) = 255;
    });

    QTest::newRow("empty file") << QByteArray() << defaultSettings();
    QTest::newRow("binary junk around good lines")
        << junk(64 * 1024, 1) + goodLines + junk(64 * 1024, 2) << goodRead;
    QTest::newRow("binary junk only") << junk(256 * 1024, 3) << defaultSettings();

    QTest::newRow("invalid code page 932 sequences")
        << QByteArray("KOUMOKU1=a\x81\r\n" // lead byte before the line end
                      "KOUMOKU2=\x85\x40"  // unassigned pair
                      "b\r\n"
                      "KOUMOKU3=\xFD\xFE\xFF" // bytes that are never characters
                      "c\r\n"
                      "CR\x80L3=9\r\n"  // a damaged key matches nothing
                      "CRL4=12\x80\r\n" // a damaged number keeps the default
                      "\x81,CRL1=7\r\n" // lead byte before a comma
                      "KOUMOKU4=d\x81") // lead byte at the end of the file
        << settingsWith([](Settings& s) {
               s.slotLabel(1) = QStringLiteral("a");
               s.slotLabel(2) = QStringLiteral("b");
               s.slotLabel(3) = QStringLiteral("c");
               s.slotLabel(4) = QStringLiteral("d");
               s.levelColor(1) = 7;
           });
    QTest::newRow("UTF-8 mark, invalid UTF-8")
        << QByteArray("\xEF\xBB\xBFKOUMOKU1=\xC3(ok\xFF\r\nCRL0=4\r\n") << settingsWith([](Settings& s) {
               s.slotLabel(1) = QStringLiteral("(ok");
               s.levelColor(0) = 4;
           });
    QTest::newRow("UTF-8 mark only") << QByteArray("\xEF\xBB\xBF") << defaultSettings();

    QTest::newRow("1000 KB line before the keys") << QByteArray(1000 * 1000, 'x') + goodLines << goodRead;
    QTest::newRow("1000 KB value") << "KOUMOKU2=" + cp932("予").repeated(500 * 1000) + goodLines
                                   << settingsWith([](Settings& s) {
                                          s.slotLabel(1) = QStringLiteral("会議");
                                          s.slotLabel(2) = QStringLiteral("予").repeated(500 * 1000);
                                          s.levelColor(2) = 255;
                                      });
    addLineEndAndKeyCountRows();
}

void TestBadSettings::loadsWhatCanBeLoaded() {
    QFETCH(QByteArray, bytes);
    QFETCH(Settings, expected);

    testsupport::TestEnv env;
    const QString folder = env.programFolder();
    QVERIFY(testsupport::writeBytes(platform::joinPath(folder, settings::kSettingsFileName), bytes));
    Settings s = defaultSettings();
    testsupport::RecordingHost host(s);
    settings::loadSettingsFile(s, folder, host);

    expected.settingsFile = platform::joinPath(folder, settings::kSettingsFileName);
    expected.alarmSoundFile = platform::joinPath(folder, settings::kDefaultSoundName);
    QCOMPARE(readableOnly(s), expected);
    // The file was there and was read: no first-run questions, no window moved.
    QCOMPARE(host.calls, QStringList());
}

void TestBadSettings::notASmallRegularFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to /dev/zero") << "zero";
    QTest::newRow("sparse 2 GiB file") << "huge";
    QTest::newRow("one byte over the limit") << "over";
}

// Whatever stands at the Settings file's path, start-up neither hangs nor reads it all: the
// defaults with the default Schedule file, one message naming the file, and the file as it was.
void TestBadSettings::notASmallRegularFile() {
    QFETCH(QString, kind);
    testsupport::TestEnv env;
    testsupport::FakePlatform fake;
    fake.install();
    const QString folder = env.programFolder();
    const QString ini = platform::joinPath(folder, settings::kSettingsFileName);
    const QByteArray iniName = QFile::encodeName(ini);
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(iniName.constData(), 0600), 0);
    } else if (kind == QLatin1String("zero")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), ini));
    } else {
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("KOUMOKU1=a\r\n") > 0);
        QVERIFY(file.resize(kind == QLatin1String("huge") ? qint64(2) << 30
                                                          : settings::kMaxSettingsFileBytes + 1));
    }
    const QFileInfo before(ini);

    // A reader that blocked on the FIFO would hang the suite: after a long wait a writer opens
    // and closes it, which ends the read, and the test fails instead.
    QSemaphore loaded;
    std::atomic<bool> unblocked = false;
    std::thread guard([&] {
        if (loaded.tryAcquire(1, 60 * 1000))
            return;
        unblocked = true;
        const int fd = ::open(iniName.constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    });
    Settings s = defaultSettings();
    testsupport::RecordingHost host(s);
    const settings::ConfigFileState state = settings::loadSettingsFile(s, folder, host);
    loaded.release();
    guard.join();
    QVERIFY(!unblocked);

    QCOMPARE(state, settings::ConfigFileState::Damaged);
    Settings expected = defaultSettings();
    expected.settingsFile = ini;
    expected.alarmSoundFile = platform::joinPath(folder, settings::kDefaultSoundName);
    expected.scheduleFile = platform::joinPath(folder, QStringLiteral("DEFAULT.SDB"));
    QCOMPARE(s, expected);
    QCOMPARE(fake.messages.size(), 1);
    QVERIFY2(fake.messages[0].text.contains(ini), qPrintable(fake.messages[0].text));
    QCOMPARE(fake.messages[0].icon, platform::Icon::Exclamation);
    // The default Schedule file is missing: the usual flow chooses or creates one.
    QCOMPARE(host.calls, QStringList{QStringLiteral("missing:") + expected.scheduleFile});
    const QFileInfo after(ini);
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.lastModified(), before.lastModified());
}

QTEST_GUILESS_MAIN(TestBadSettings)
#include "tst_bad_settings.moc"
