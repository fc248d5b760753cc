// The Settings record, reading and writing the Settings file, and the three ways the Schedule
// file is chosen.

#include "platform/Paths.h"
#include "platform/Services.h"
#include "settings/ConfigFile.h"
#include "settings/ScheduleFileChoice.h"
#include "settings/Settings.h"
#include "store/ScheduleFile.h"
#include "support/FakePlatform.h"
#include "support/SettingsRecords.h"
#include "support/TestEnv.h"

#include "support/FilePermissions.h"

#include <QDir>
#include <QtTest>
#include <limits>

using settings::Settings;
using testsupport::defaultSettings;
using testsupport::fileBytes;
using testsupport::RecordingHost;
using testsupport::settingsWith;
using testsupport::writeBytes;

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

// "null", "text:..." or "number:..." for a fieldKey / fieldValue result.
QString describe(const QVariant& v) {
    if (v.isNull())
        return QStringLiteral("null");
    if (v.typeId() == QMetaType::Double)
        return QStringLiteral("number:") + QString::number(v.toDouble(), 'g', 17);
    if (v.typeId() == QMetaType::QString)
        return QStringLiteral("text:") + v.toString();
    return QStringLiteral("other:") + QString::fromLatin1(v.typeName());
}

bool hasBothTables(const QString& path) {
    const QStringList tables =
        testsupport::sqlColumn(path, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    return tables.contains(store::kDayTable) && tables.contains(store::kTodoTable);
}

// Each message shown, as "<icon>:<text>"; a failure message keeps only its first two lines
// (the sentence and the path), the engine's explanation follows on further lines.
QStringList shownMessages(const testsupport::FakePlatform& fake) {
    QStringList out;
    for (const testsupport::ShownMessage& m : fake.messages) {
        static const char* const icons[] = {"none", "information", "exclamation", "question", "critical"};
        const QString icon = QLatin1String(icons[static_cast<int>(m.icon)]);
        QString text = m.text;
        if (m.icon == platform::Icon::Exclamation) {
            const QStringList lines = text.split(QLatin1Char('\n'));
            text = lines.mid(0, 2).join(QLatin1Char('\n'));
            if (lines.size() < 3 || lines[2].isEmpty())
                text += QStringLiteral(" [no reason given]");
        }
        if (m.caption != platform::kAppTitle || m.buttons != platform::Buttons::Ok)
            text += QStringLiteral(" [wrong caption or buttons]");
        out << icon + QLatin1Char(':') + text;
    }
    return out;
}

const QString kCreateFailed = QStringLiteral("exclamation:スケジュールファイルを作成できませんでした\n");

// The paths a Schedule file choice deals with, and the expected texts written with the
// placeholders {answer}, {default} and {previous} for them.
struct ChoicePaths {
    QString answer, defaultFile, previous;

    // The dialog's answer: "" (cancel), "existing" (a Schedule file made here), "new" (a name not
    // yet taken), "no folder" (a file whose folder is missing), "line end" (a Schedule file with a
    // line end in its name) or "undecodable" (a new name as one that is not UTF-8 decodes).
    ChoicePaths(const testsupport::TestEnv& env, const QString& kind)
        : defaultFile(platform::joinPath(env.programFolder(), settings::kDefaultScheduleName)) {
        if (kind == QLatin1String("existing"))
            answer = env.makeScheduleFile(QStringLiteral("answer.sdb"));
        else if (kind == QLatin1String("new"))
            answer = env.path(QStringLiteral("新しい.sdb"));
        else if (kind == QLatin1String("no folder"))
            answer = env.path(QStringLiteral("no folder/new.sdb"));
        else if (kind == QLatin1String("line end"))
            answer = env.makeScheduleFile(QStringLiteral("two\nlines.sdb"));
        else if (kind == QLatin1String("undecodable"))
            answer = env.path(QStringLiteral("bad\uFFFD.sdb"));
    }
    QString fill(QString text) const {
        return text.replace(QStringLiteral("{answer}"), answer)
            .replace(QStringLiteral("{shown answer}"), QString(answer).replace(QLatin1Char('\n'), u'↵'))
            .replace(QStringLiteral("{default}"), defaultFile)
            .replace(QStringLiteral("{previous}"), previous);
    }
    QStringList fill(const QStringList& texts) const {
        QStringList out;
        for (const QString& text : texts)
            out << fill(text);
        return out;
    }
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

  private slots:
    // the record
    void itemLabel();

    // reading
    void getKeyAndValue_data();
    void getKeyAndValue();
    void readFields_data();
    void readFields();
    void severalStartFileLines_data();
    void severalStartFileLines();
    void noSettingsFile_data();
    void noSettingsFile();

    // writing
    void singleToText_data();
    void singleToText();
    void roundTrip_data();
    void roundTrip();
    void pathsAndLabels_data();
    void pathsAndLabels();
    void oldCodePageFile();
    void firstRunWritesExactBytes();
    void saveReplacesFileWhole();
    void saveFailure_data();
    void saveFailure();

    // choosing the Schedule file
    void scheduleChoice_data();
    void scheduleChoice();
    void scheduleExtension_data();
    void scheduleExtension();
};

void TestSettings::itemLabel() {
    Settings s;
    s.slotLabel(2) = QStringLiteral("仕事");
    QCOMPARE(settings::itemLabel(s, 1), QStringLiteral("項目1"));
    QCOMPARE(settings::itemLabel(s, 2), QStringLiteral("仕事"));
}

void TestSettings::getKeyAndValue_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    const auto row = [](const char* name, const char* field, const char* key, const char* value) {
        QTest::newRow(name) << field << key << value;
    };
    row("plain", "KOUMOKU1=会議", "text:KOUMOKU1", "text:会議");
    row("split at the first =", "a=b=c", "text:a", "text:b=c");
    row("no =", "hello", "null", "null");
    row("empty key", "=x", "text:", "text:x");
    row("empty value", "x=", "text:x", "text:");
    row("leading zeros", "007=007", "number:7", "number:7");
    row("sign and blanks", "k= +12 ", "text:k", "number:12");
    row("negative", "k=-2147483630", "text:k", "number:-2147483630");
    row("fraction", "k=1234.5", "text:k", "number:1234.5");
    row("trailing point", "k=5.", "text:k", "number:5");
    row("leading point", "k=.5", "text:k", "number:0.5");
    row("exponent", "k=1E-2", "text:k", "number:0.01");
    row("exponent without digits", "k=1e", "text:k", "text:1e");
    row("point alone", "k=.", "text:k", "text:.");
    row("sign alone", "k=-", "text:k", "text:-");
    row("two numbers", "k=1 2", "text:k", "text:1 2");
    row("two points", "k=1.2.3", "text:k", "text:1.2.3");
    row("hexadecimal", "k=&H80000012", "text:k", "text:&H80000012");
    row("full-width digits", "k=１２", "text:k", "text:１２");
    row("infinity word", "k=inf", "text:k", "text:inf");
    row("beyond a double", "k=1e400", "text:k", "text:1e400");
    row("blanks only", "k=  ", "text:k", "text:  ");
}

void TestSettings::getKeyAndValue() {
    QFETCH(QString, field);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(describe(settings::fieldKey(field)), key);
    QCOMPARE(describe(settings::fieldValue(field)), value);
}

// Each row reads a text into the default record; `changed` lists the lines, as the writer puts
// them, that differ from the defaults afterwards.
void TestSettings::readFields_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("changed");
    QTest::addColumn<QStringList>("hostCalls");
    const auto row = [](const char* name, const QString& text, const QStringList& changed,
                        const QStringList& hostCalls = {}) {
        QTest::newRow(name) << text << changed << hostCalls;
    };
    const QString existing = QCoreApplication::applicationFilePath();

    row("comma kept in a label", "KOUMOKU1=会議,打合せ\r\nKOUMOKU2=b\r\n",
        {"KOUMOKU1=会議,打合せ", "KOUMOKU2=b"});
    row("comma ends a number, a label runs to the line end", "CRL0=1,CRL1=2,KOUMOKU1=x,KOUMOKU3=y,\r\n",
        {"CRL0=1", "CRL1=2", "KOUMOKU1=x,KOUMOKU3=y,"});
    row("comma in the stored file name", "INI_FILE=/a,KOUMOKU2=x\r\n", {});
    row("value holding =", "KOUMOKU2=a=b=c\r\n", {"KOUMOKU2=a=b=c"});
    row("numbers in text fields stay as written", "KOUMOKU1=007\r\nKOUMOKU2= 1.50 \r\nKOUMOKU3=1e3\r\n",
        {"KOUMOKU1=007", "KOUMOKU2= 1.50 ", "KOUMOKU3=1e3"});
    row("empty value empties a label", "KOUMOKU1=a\r\nKOUMOKU1=\r\n", {});
    row("booleans true", "START_MIN=1\r\nSTART_OUT=True\r\nKARE_ON=-1\r\nToDo_ON=true\r\n",
        {"START_MIN=True", "START_OUT=True", "KARE_ON=True", "ToDo_ON=True"});
    row("booleans false, last occurrence wins",
        "START_MIN=True\r\nSTART_OUT=1\r\nKARE_ON=True\r\nToDo_ON=True\r\n"
        "START_MIN=0\r\nSTART_OUT=False\r\nKARE_ON=FALSE\r\nToDo_ON=0.0\r\n",
        {});
    row("colours",
        "CRL0=255\r\nCRL1=-2147483648\r\nCRL2=2147483647\r\nCRL3=-2147483630\r\nCRL4=0\r\nCRL5=6.5e4\r\n"
        "kareCRL=-1\r\n",
        {"CRL0=255", "CRL1=-2147483648", "CRL2=2147483647", "CRL4=0", "CRL5=65000", "kareCRL=-1"});
    row("ToDo geometry, halves to even", "ToDo_WID=2.5\r\nToDo_HEI=3.5\r\nToDo_Top=-2.5\r\nToDo_Left=1e3\r\n",
        {"ToDo_WID=2", "ToDo_HEI=4", "ToDo_Top=-2", "ToDo_Left=1000"});
    row("16-bit limits", "ToDo_WID=32767\r\nToDo_HEI=-32768\r\n", {"ToDo_WID=32767", "ToDo_HEI=-32768"});
    row("values that do not convert keep the defaults",
        "START_MIN=yes\r\nKARE_ON=\r\nCRL0=red\r\nCRL1=2147483648\r\nkareCRL=4294967296\r\nCRL2=\r\n"
        "ToDo_WID=32768\r\nToDo_HEI=-32769\r\nToDo_Top=abc\r\nToDo_Left=1e10\r\nTOP=high\r\nLEFT=1e39\r\n",
        {});
    row("keys in another order, some missing", "ToDo_Left=5\r\nKARE_ON=True\r\nKOUMOKU2=x\r\n",
        {"ToDo_Left=5", "KARE_ON=True", "KOUMOKU2=x"});
    row("section lines anywhere", "KOUMOKU1=a\r\n[Daduvov]\r\nKOUMOKU2=b\r\n[KOUMOKU3=c]\r\n",
        {"KOUMOKU1=a", "KOUMOKU2=b"});
    row("keys are exact",
        "koumoku1=x\r\nKARECRL=1\r\nToDo_top=5\r\n START_MIN=True\r\nKOUMOKU1 =y\r\n1=x\r\n"
        "INI_FILE=/elsewhere/ZIZARU.INI\r\n",
        {});
    row("empty lines and lines without =", "\r\n\r\nhello\r\nKOUMOKU1=a\r\n,,\r\n", {"KOUMOKU1=a"});
    row("lone LF and CR end lines too", "KOUMOKU1=a\nKOUMOKU2=b\rKOUMOKU3=c",
        {"KOUMOKU1=a", "KOUMOKU2=b", "KOUMOKU3=c"});
    row("position goes to the main window", "TOP=1440\r\nLEFT=1234.5\r\nTOP=-15\r\n", {},
        {"top:1440", "left:1234.5", "top:-15"});
    row("alarm sound", "ALM_FILE=/snd/ベル.wav\r\n", {"ALM_FILE=/snd/ベル.wav"});
    row("existing schedule file", "START_FILE=" + existing + "\r\n", {"START_FILE=" + existing});
    row("schedule path with a comma", "START_FILE=/nonexistent/a,b.sdb\r\n",
        {"START_FILE=/nonexistent/a,b.sdb"}, {"missing:/nonexistent/a,b.sdb"});
    row("empty schedule path", "START_FILE=\r\n", {}, {"missing:"});
}

void TestSettings::readFields() {
    QFETCH(QString, text);
    QFETCH(QStringList, changed);
    QFETCH(QStringList, hostCalls);
    QStringList expected = settings::configLines(defaultSettings(), 0, 0);
    for (const QString& line : changed) {
        const QString key = line.left(line.indexOf(QLatin1Char('=')) + 1);
        for (QString& e : expected)
            if (e.startsWith(key))
                e = line;
    }
    Settings s = defaultSettings();
    RecordingHost host(s);
    settings::applyConfigText(s, text, host);
    QCOMPARE(settings::configLines(s, 0, 0), expected);
    QCOMPARE(host.calls, hostCalls);
}

void TestSettings::severalStartFileLines_data() {
    QTest::addColumn<bool>("lastExists");
    QTest::newRow("last names a missing file") << false;
    QTest::newRow("last names an existing file") << true;
}

// The last START_FILE line wins, and only it is checked: the missing-file flow runs at most
// once, after the whole file was read.
void TestSettings::severalStartFileLines() {
    QFETCH(bool, lastExists);
    testsupport::TestEnv env;
    const QString folder = env.programFolder();
    const QString gone = env.path(QStringLiteral("gone.sdb"));
    const QString existing = env.path(QStringLiteral("existing.sdb"));
    QVERIFY(writeBytes(existing, "x"));
    const QString last = lastExists ? existing : gone;
    QVERIFY(writeBytes(platform::joinPath(folder, settings::kSettingsFileName),
                       ("START_FILE=" + gone + "\r\nKOUMOKU1=前\r\nSTART_FILE=" + existing +
                        "\r\nSTART_FILE=" + gone + "\r\nSTART_FILE=" + last + "\r\nCRL0=255\r\n")
                           .toUtf8()
                           .prepend(kBom)));

    Settings s = defaultSettings();
    RecordingHost host(s);
    settings::loadSettingsFile(s, folder, host);

    QCOMPARE(host.calls, lastExists ? QStringList() : QStringList{"missing:" + gone});
    if (!lastExists) // the flow sees every value of the file
        QCOMPARE(host.atMissingFile.value(0).levelColor(0), 255);
    QCOMPARE(s.scheduleFile, last);
    QCOMPARE(s.slotLabel(1), QStringLiteral("前"));
}

void TestSettings::noSettingsFile_data() {
    QTest::addColumn<bool>("trailingSlash");
    QTest::newRow("folder") << false;
    QTest::newRow("folder ending in /") << true;
}

// Without a Settings file only the two paths are set and the first-run flow runs; a folder
// ending in "/" gets no doubled separator.
void TestSettings::noSettingsFile() {
    QFETCH(bool, trailingSlash);
    testsupport::TestEnv env;
    const QString folder = env.programFolder();
    Settings s = defaultSettings();
    RecordingHost host(s);
    settings::loadSettingsFile(s, trailingSlash ? folder + QLatin1Char('/') : folder, host);
    QCOMPARE(host.calls, QStringList{QStringLiteral("firstRun")});
    QCOMPARE(s, settingsWith([&](Settings& e) {
                 e.settingsFile = folder + QStringLiteral("/ZIZARU.INI");
                 e.alarmSoundFile = folder + QStringLiteral("/daduvov.WAV");
             }));
}

void TestSettings::singleToText_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 1440.0f << "1440";
    QTest::newRow("half") << 1234.5f << "1234.5";
    QTest::newRow("shortest tenth") << 0.1f << "0.1";
    QTest::newRow("negative") << -15.0f << "-15";
    QTest::newRow("zero") << 0.0f << "0";
    QTest::newRow("negative zero") << -0.0f << "0";
    QTest::newRow("large") << 1e10f << "10000000000";
}

void TestSettings::singleToText() {
    QFETCH(float, value);
    QFETCH(QString, text);
    QCOMPARE(settings::singleToText(value), text);
}

void TestSettings::roundTrip_data() {
    QTest::addColumn<Settings>("written");
    QTest::addColumn<float>("top");
    QTest::addColumn<float>("left");

    QTest::newRow("every field changed") << settingsWith([](Settings& s) {
        s.slotLabel(1) = QStringLiteral("仕事");
        s.slotLabel(2) = QStringLiteral("ﾌﾟﾗｲﾍﾞｰﾄ");
        s.slotLabel(3) = QStringLiteral("C:\\予定\\表");
        s.slotLabel(4) = QStringLiteral("a=b");
        s.startInTray = true;
        s.showTodayAtStart = true;
        for (int level = 0; level <= 5; ++level)
            s.levelColor(level) = 0x000010 * level + 0x0000FF;
        s.markDaysWithItems = true;
        s.markedDayColor = 0xC0C0C0;
        s.alarmSoundFile = QStringLiteral("/音/ベル.wav");
        s.openTodoAtStart = true;
        s.todoWidth = 4800;
        s.todoHeight = 3600;
        s.todoTop = 1200;
        s.todoLeft = 9000;
    }) << 1440.0f << 1234.5f;
    QTest::newRow("limits") << settingsWith([](Settings& s) {
        s.levelColor(0) = std::numeric_limits<qint32>::min();
        s.levelColor(5) = std::numeric_limits<qint32>::max();
        s.markedDayColor = -1;
        s.todoWidth = std::numeric_limits<qint16>::max();
        s.todoHeight = std::numeric_limits<qint16>::min();
        s.todoTop = std::numeric_limits<qint32>::min();
        s.todoLeft = -32000;
    }) << -0.25f << 16777215.0f;
}

void TestSettings::roundTrip() {
    QFETCH(Settings, written);
    QFETCH(float, top);
    QFETCH(float, left);
    testsupport::TestEnv env;
    const QString folder = env.programFolder();
    written.scheduleFile = env.path(QStringLiteral("予定表.sdb"));
    QVERIFY(writeBytes(written.scheduleFile, "x"));
    written.settingsFile = platform::joinPath(folder, settings::kSettingsFileName);
    const auto failure = settings::saveSettingsFile(written, top, left);
    QVERIFY2(!failure, qPrintable(failure.value_or(QString())));

    Settings read = defaultSettings();
    RecordingHost host(read);
    settings::loadSettingsFile(read, folder, host);
    QCOMPARE(read, written);
    QCOMPARE(host.calls.size(), qsizetype(2));
    QCOMPARE(host.top.value_or(-1), top);
    QCOMPARE(host.left.value_or(-1), left);
}

void TestSettings::pathsAndLabels_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("codePage"); // its code page 932 bytes; empty: the file is UTF-8
    const auto row = [](const char* name, const QString& text, const QByteArray& codePage = {}) {
        QTest::newRow(name) << text << codePage;
    };
    row("5C trail byte", "予定", "\x97\x5C\x92\xE8");
    row("half-width katakana", "ｽｹｼﾞｭｰﾙ", "\xBD\xB9\xBC\xDE\xAD\xB0\xD9");
    row("backslash", "a\\b", "a\\b");
    row("full-width tilde", "1月～3月",
        "1\x8C\x8E\x81\x60"
        "3\x8C\x8E");
    row("comma", "a,b", "a,b");
    row("space", "my files", "my files");
    row("apostrophe", "it's", "it's");
    row("digits only", "007", "007");
    row("wave dash", "1月〜3月");
    row("minus sign", "−5");
    row("yen sign", "¥100");
    row("folder name code page 932 cannot hold", "일정");
    row("emoji", "予定😀");
}

// A folder and file name, and a label, each go through the real file and come back exactly:
// in code page 932 when that holds them, else the whole file is UTF-8 with a BOM. The user's own
// files beside the Settings file survive the next start.
void TestSettings::pathsAndLabels() {
    QFETCH(QString, text);
    QFETCH(QByteArray, codePage);
    testsupport::TestEnv env;
    const QString folder = env.programFolder();
    QVERIFY(QDir().mkpath(env.path(text)));
    Settings written = defaultSettings();
    written.settingsFile = platform::joinPath(folder, settings::kSettingsFileName);
    written.scheduleFile = env.makeScheduleFile(text + QLatin1Char('/') + text + QStringLiteral(".SDB"));
    written.alarmSoundFile = env.path(text + QLatin1Char('/') + text + QStringLiteral(".WAV"));
    written.slotLabel(1) = text;
    written.slotLabel(2) = QStringLiteral("表");
    const QStringList userFiles{QStringLiteral("ZIZARU.INI.backup"), QStringLiteral("ZIZARU.INI.bak"),
                                QStringLiteral("ZIZARU.INI.orig01"), QStringLiteral("ZIZARU.INI.AbCdEf")};
    for (const QString& name : userFiles)
        QVERIFY(writeBytes(platform::joinPath(folder, name), "[Daduvov]\r\nKOUMOKU1=mine\r\n"));
    QVERIFY(!settings::saveSettingsFile(written, 0, 0));

    const QByteArray bytes = fileBytes(written.settingsFile);
    QCOMPARE(bytes.startsWith(kBom), codePage.isEmpty());
    const QByteArray line = "\r\nKOUMOKU1=" + (codePage.isEmpty() ? text.toUtf8() : codePage) + "\r\n";
    QVERIFY2(bytes.contains(line), bytes.constData());

    Settings read = defaultSettings();
    RecordingHost host(read);
    settings::loadSettingsFile(read, folder, host);
    QCOMPARE(read, written);
    QCOMPARE(host.calls, (QStringList{"top:0", "left:0"}));
    for (const QString& name : userFiles)
        QCOMPARE(fileBytes(platform::joinPath(folder, name)), QByteArray("[Daduvov]\r\nKOUMOKU1=mine\r\n"));
}

// A file as the old program wrote it, byte by byte in code page 932, reads as it always did.
void TestSettings::oldCodePageFile() {
    testsupport::TestEnv env;
    const QString folder = env.programFolder();
    QVERIFY(
        writeBytes(platform::joinPath(folder, settings::kSettingsFileName),
                   "[Daduvov]\r\n[CONFIG FILE]\r\n"
                   "START_FILE=C:\\\x97\x5C\x92\xE8\\1\x8C\x8E\x81\x60"
                   "3\x8C\x8E.SDB\r\n"
                   "INI_FILE=C:\\Daduvov\\ZIZARU.INI\r\n"
                   "KOUMOKU1=\x8E\x64\x8E\x96\r\nKOUMOKU2=\xCC\xDF\xD7\xB2\xCD\xDE\xB0\xC4\r\n"
                   "KOUMOKU3=\x87\x40\r\nKOUMOKU4=\r\n"
                   "START_MIN=False\r\nSTART_OUT=True\r\n"
                   "CRL0=-2147483630\r\nCRL1=255\r\nCRL2=-2147483630\r\nCRL3=-2147483630\r\n"
                   "CRL4=-2147483630\r\nCRL5=-2147483630\r\nKARE_ON=True\r\nkareCRL=8454143\r\n"
                   "ALM_FILE=C:\\Daduvov\\daduvov.WAV\r\nTOP=1440\r\nLEFT=1234.5\r\n"
                   "ToDo_ON=True\r\nToDo_WID=4800\r\nToDo_HEI=3600\r\nToDo_Top=1200\r\nToDo_Left=9000\r\n"));
    Settings read = defaultSettings();
    RecordingHost host(read);
    settings::loadSettingsFile(read, folder, host);
    const QString schedule = QStringLiteral("C:\\予定\\1月～3月.SDB");
    QCOMPARE(read, settingsWith([&](Settings& e) {
                 e.scheduleFile = schedule;
                 e.settingsFile = platform::joinPath(folder, settings::kSettingsFileName);
                 e.slotLabel(1) = QStringLiteral("仕事");
                 e.slotLabel(2) = QStringLiteral("ﾌﾟﾗｲﾍﾞｰﾄ");
                 e.slotLabel(3) = QStringLiteral("①");
                 e.showTodayAtStart = true;
                 e.levelColor(1) = 255;
                 e.markDaysWithItems = true;
                 e.alarmSoundFile = QStringLiteral("C:\\Daduvov\\daduvov.WAV");
                 e.openTodoAtStart = true;
                 e.todoWidth = 4800;
                 e.todoHeight = 3600;
                 e.todoTop = 1200;
                 e.todoLeft = 9000;
             }));
    QCOMPARE(host.calls, (QStringList{"top:1440", "left:1234.5", "missing:" + schedule}));
}

// A first run in which the user cancels the dialog and changes nothing writes exactly this.
void TestSettings::firstRunWritesExactBytes() {
    testsupport::TestEnv env;
    testsupport::FakePlatform fake;
    fake.install();
    const QString folder = env.programFolder();
    Settings s = defaultSettings();
    RecordingHost host(s);
    host.onFirstRun = [&] { settings::firstRunFlow(s, folder); };
    settings::loadSettingsFile(s, folder, host);
    QVERIFY(!settings::saveSettingsFile(s, 1440, 2880));

    const QByteArray f = folder.toUtf8();
    const QByteArray expected =
        "[Daduvov]\r\n[CONFIG FILE]\r\nSTART_FILE=" + f + "/DEFAULT.SDB\r\nINI_FILE=" + f +
        "/ZIZARU.INI\r\nKOUMOKU1=\r\nKOUMOKU2=\r\nKOUMOKU3=\r\nKOUMOKU4=\r\nSTART_MIN=False\r\n"
        "START_OUT=False\r\nCRL0=-2147483630\r\nCRL1=-2147483630\r\nCRL2=-2147483630\r\n"
        "CRL3=-2147483630\r\nCRL4=-2147483630\r\nCRL5=-2147483630\r\nKARE_ON=False\r\n"
        "kareCRL=8454143\r\nALM_FILE=" +
        f +
        "/daduvov.WAV\r\nTOP=1440\r\nLEFT=2880\r\nToDo_ON=False\r\n"
        "ToDo_WID=0\r\nToDo_HEI=0\r\nToDo_Top=0\r\nToDo_Left=0\r\n";
    QCOMPARE(fileBytes(s.settingsFile), expected);
    QVERIFY(hasBothTables(platform::joinPath(folder, QStringLiteral("DEFAULT.SDB"))));
}

void TestSettings::saveReplacesFileWhole() {
    testsupport::TestEnv env;
    const QString folder = env.programFolder();
    Settings s = defaultSettings();
    s.settingsFile = platform::joinPath(folder, settings::kSettingsFileName);
    QVERIFY(writeBytes(s.settingsFile, QByteArray(4000, 'x')));
    QVERIFY(!settings::saveSettingsFile(s, 0, 0));
    const QByteArray bytes = fileBytes(s.settingsFile);
    QVERIFY(bytes.startsWith("[Daduvov]\r\n"));
    QVERIFY(bytes.endsWith("ToDo_Left=0\r\n"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{settings::kSettingsFileName});
}

void TestSettings::saveFailure_data() {
    QTest::addColumn<QString>("situation");
    QTest::newRow("folder missing") << "folder missing";
    QTest::newRow("directory at the path") << "directory";
    QTest::newRow("disk full") << "disk full";
}

// A write that fails says why, and whatever was at the path before is left as it was. (Tests
// run as root, so a read-only folder would not stop the write.)
void TestSettings::saveFailure() {
    QFETCH(QString, situation);
    testsupport::TestEnv env;
    const QString folder = env.programFolder();
    Settings s = defaultSettings();
    const QByteArray previous("[Daduvov]\r\nKOUMOKU1=previous\r\n");
    std::optional<QString> failure;

    if (situation == QLatin1String("folder missing")) {
        s.settingsFile = env.path(QStringLiteral("missing/ZIZARU.INI"));
        failure = settings::saveSettingsFile(s, 0, 0);
        QVERIFY(!QFileInfo::exists(s.settingsFile));
    } else if (situation == QLatin1String("directory")) {
        s.settingsFile = platform::joinPath(folder, settings::kSettingsFileName);
        QVERIFY(QDir(folder).mkdir(settings::kSettingsFileName));
        QVERIFY(writeBytes(platform::joinPath(s.settingsFile, QStringLiteral("inside")), previous));
        failure = settings::saveSettingsFile(s, 0, 0);
        QVERIFY(QFileInfo(s.settingsFile).isDir());
        QCOMPARE(fileBytes(platform::joinPath(s.settingsFile, QStringLiteral("inside"))), previous);
    } else {
        // A file-size limit makes the write fail part way, as a full disk would.
        s.settingsFile = platform::joinPath(folder, settings::kSettingsFileName);
        QVERIFY(writeBytes(s.settingsFile, previous));
        {
            testsupport::FileSizeLimit full(64);
            failure = settings::saveSettingsFile(s, 0, 0);
        }
        QCOMPARE(fileBytes(s.settingsFile), previous);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{settings::kSettingsFileName});
    }
    QVERIFY(failure.has_value());
    QVERIFY(!failure->isEmpty());
}

// The three ways the Schedule file is chosen: the first run, a START_FILE that is missing, and
// the command that opens another file. Each row: the file dialog's answer, whether DEFAULT.SDB
// stands there beforehand (as a Schedule file or a folder), the messages after the opening one
// and the file chosen; {answer}, {default} and {previous} stand for their paths.
void TestSettings::scheduleChoice_data() {
    QTest::addColumn<QString>("flow");         // "first run", "missing file", "command"
    QTest::addColumn<QString>("answer");       // a kind of ChoicePaths
    QTest::addColumn<QString>("defaultFile");  // "absent", "present", "directory"
    QTest::addColumn<QStringList>("messages"); // after the opening one, which only the command lacks
    QTest::addColumn<QString>("startFile");

    const QString reuse = QStringLiteral("none:既存のスケジュールファイルを再設定します");
    const QString instead = QStringLiteral("information:代わりに{default}を使用します");
    const QString failed = kCreateFailed + "{answer}", defaultFailed = kCreateFailed + "{default}";
    const QString refused = QStringLiteral("exclamation:このファイル名はスケジュールファイルに使えません\n"
                                           "{shown answer}");
    for (const char* flow : {"first run", "missing file"}) {
        const auto row = [&](const char* name, const char* answer, const char* defaultFile,
                             const QStringList& messages, const char* startFile) {
            QTest::addRow("%s: %s", flow, name) << flow << answer << defaultFile << messages << startFile;
        };
        row("cancel creates the default", "", "absent", {}, "{default}");
        row("cancel reuses the default", "", "present", {reuse}, "{default}");
        row("existing file used as it is", "existing", "absent", {reuse}, "{answer}");
        row("new name created", "new", "absent", {}, "{answer}");
        row("failed creation falls back to a new default", "no folder", "absent", {failed, instead},
            "{default}");
        row("failed creation falls back to the existing default", "no folder", "present", {failed, instead},
            "{default}");
        row("failed creation, default impossible too", "no folder", "directory", {failed, defaultFailed}, "");
        row("cancel, default impossible", "", "directory", {defaultFailed}, "");
        row("name with a line end falls back to the default", "line end", "absent", {refused, instead},
            "{default}");
    }
    const auto command = [](const char* name, const char* answer, const char* defaultFile,
                            const QStringList& messages, const char* startFile) {
        QTest::addRow("command: %s", name) << "command" << answer << defaultFile << messages << startFile;
    };
    const QString create = QStringLiteral("none:新規に{answer}を作成します");
    command("cancel creates the default", "", "absent", {QStringLiteral("none:新規に{default}を作成します")},
            "{default}");
    command("cancel switches to the existing default", "", "present", {}, "{default}");
    command("existing file, no message", "existing", "absent", {}, "{answer}");
    command("new name created", "new", "absent", {create}, "{answer}");
    command("failed creation keeps the previous file", "no folder", "absent", {create, failed}, "{previous}");
    command("name with a line end keeps the previous file", "line end", "absent", {refused}, "{previous}");
    command("undecodable new name keeps the previous file", "undecodable", "absent", {refused}, "{previous}");
}

void TestSettings::scheduleChoice() {
    QFETCH(QString, flow);
    QFETCH(QString, answer);
    QFETCH(QString, defaultFile);
    QFETCH(QStringList, messages);
    QFETCH(QString, startFile);

    testsupport::TestEnv env;
    testsupport::FakePlatform fake;
    fake.install();
    const QString folder = env.programFolder();
    ChoicePaths paths(env, answer);
    if (defaultFile == QLatin1String("present"))
        QVERIFY(store::createScheduleFile(paths.defaultFile).ok());
    else if (defaultFile == QLatin1String("directory"))
        QVERIFY(QDir(folder).mkdir(settings::kDefaultScheduleName));
    const QByteArray defaultBefore = fileBytes(paths.defaultFile);
    const QByteArray answerBefore = fileBytes(paths.answer);
    fake.filePaths.enqueue(paths.answer);

    Settings s = defaultSettings();
    QStringList expected;
    if (flow == QLatin1String("first run")) {
        settings::firstRunFlow(s, folder);
        expected << QStringLiteral("none:最初にスケジュールファイルを作成してください");
    } else if (flow == QLatin1String("missing file")) {
        s.scheduleFile = env.path(QStringLiteral("gone.sdb"));
        settings::missingFileFlow(s, folder);
        expected << QStringLiteral("none:環境に変化があったので再構築します");
    } else {
        paths.previous = s.scheduleFile = env.makeScheduleFile(QStringLiteral("previous.sdb"));
        settings::openScheduleCommand(s, folder);
    }

    QCOMPARE(shownMessages(fake), expected + paths.fill(messages));
    QCOMPARE(fake.fileFilters, QStringList{settings::kScheduleFilter});
    QCOMPARE(s.scheduleFile, paths.fill(startFile));
    if (!s.scheduleFile.isEmpty())
        QVERIFY(hasBothTables(s.scheduleFile));
    // A file that already existed is never rewritten.
    if (answer == QLatin1String("existing"))
        QCOMPARE(fileBytes(paths.answer), answerBefore);
    if (defaultFile == QLatin1String("present"))
        QCOMPARE(fileBytes(paths.defaultFile), defaultBefore);
}

// A typed name without an extension gets ".SDB"; any extension, or an existing file, is kept.
void TestSettings::scheduleExtension_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bare name") << "myschedule" << false << "myschedule.SDB";
    QTest::newRow("lower-case extension") << "a.sdb" << false << "a.sdb";
    QTest::newRow("other extension") << "plan.db" << false << "plan.db";
    QTest::newRow("dot in a folder only") << "v1.0/plan" << false << "v1.0/plan.SDB";
    QTest::newRow("existing file without extension") << "oldplan" << true << "oldplan";
}

void TestSettings::scheduleExtension() {
    QFETCH(QString, name);
    QFETCH(bool, existing);
    QFETCH(QString, expected);
    testsupport::TestEnv env;
    QVERIFY(QDir().mkpath(QFileInfo(env.path(name)).absolutePath()));
    if (existing)
        QVERIFY(QFile(env.path(name)).open(QIODevice::WriteOnly));
    QCOMPARE(settings::withScheduleExtension(env.path(name)), env.path(expected));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
