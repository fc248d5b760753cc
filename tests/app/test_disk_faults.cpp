// The program folder when writing fails: read-only or full at shut-down (the Settings cannot be
// saved: say so, keep the previous file whole), a new Schedule file that cannot be created (say
// so, keep using the previous one), and temporary files that a killed save left behind.

#define QTEST_QPA_MOUSE_HANDLING
#include "app/MainWindow.h"
#include "app/Openers.h"
#include "calendar/CalendarPanel.h"
#include "controls/Fonts.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "settings/ConfigFile.h"
#include "store/DayRecords.h"
#include "support/FilePermissions.h"
#include "support/Files.h"
#include "support/ProgramFixture.h"
#include "support/StoreSentences.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QtTest>
#include <memory>

using testsupport::fileBytes;
using testsupport::FileSizeLimit;
using testsupport::ReadOnlyFolder;
using testsupport::writeBytes;

namespace {

QStringList settingsFiles(const QString& folder) {
    return QDir(folder).entryList({settings::kSettingsFileName + QStringLiteral("*")},
                                  QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System |
                                      QDir::NoDotAndDotDot);
}

} // namespace

class TestDiskFaults : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::ProgramFixture> fx;
    QString ini;
    QByteArray previousSettings;

    std::unique_ptr<app::MainWindow> start() { return fx->startProgram(); }

  private Q_SLOTS:
    void initTestCase() { controls::registerFontSubstitutions(); }

    void init() {
        fx = std::make_unique<testsupport::ProgramFixture>();
        store::DataControl data;
        QVERIFY(store::openDayTable(data, fx->schedule).ok());
        store::SlotItem item;
        item.content = QStringLiteral("会議");
        QVERIFY(store::saveSlot(data, QStringLiteral("2026/3/12"), 1, item).ok());
        data.close();
        ini = fx->settingsPath();
        previousSettings = QByteArray("[Daduvov]\r\nSTART_FILE=") + fx->schedule.toUtf8() +
                           "\r\nKARE_ON=True\r\nKOUMOKU1=前の名前\r\n";
        QVERIFY(writeBytes(ini, platform::encodeText(QString::fromUtf8(previousSettings))));
        previousSettings = fileBytes(ini);
    }

    void cleanup() {
        testsupport::closeOtherWindows();
        fx.reset();
    }

    void settingsNotSavedAtShutDown_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("read-only program folder") << "read-only";
        QTest::newRow("full disk") << "full";
    }

    // The Settings changed while the program ran cannot be written: the user is told, and the
    // previous file stays whole, with no temporary file beside it.
    void settingsNotSavedAtShutDown() {
        QFETCH(QString, fault);
        auto w = start();
        QCOMPARE(w->settings().slotLabel(1), QStringLiteral("前の名前"));
        w->settings().slotLabel(1) = QStringLiteral("新しい名前");
        {
            std::unique_ptr<ReadOnlyFolder> readOnly;
            std::unique_ptr<FileSizeLimit> full;
            if (fault == QLatin1String("read-only")) {
                readOnly = std::make_unique<ReadOnlyFolder>(fx->env.programFolder());
                if (!readOnly->effective())
                    QSKIP("this process writes into a read-only folder regardless of its permissions");
            } else {
                full = std::make_unique<FileSizeLimit>(64);
            }
            w->close();
        }
        QCOMPARE(fx->fake.messages.size(), 1);
        const testsupport::ShownMessage& m = fx->fake.messages[0];
        const QStringList lines = m.text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.value(0), QStringLiteral("設定ファイルを保存できませんでした。"));
        QCOMPARE(lines.value(1), ini);
        QVERIFY2(!lines.value(2).trimmed().isEmpty(), qPrintable(m.text)); // the reason
        QCOMPARE(m.icon, platform::Icon::Critical);
        QCOMPARE(fileBytes(ini), previousSettings);
        QCOMPARE(settingsFiles(fx->env.programFolder()), QStringList{settings::kSettingsFileName});
    }

    void scheduleFileNotCreated_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("folder without write permission") << "read-only";
        QTest::newRow("folder is a regular file") << "file";
        QTest::newRow("folder missing") << "missing";
    }

    // 読込み naming a new file that cannot be created: the user is told why, and the calendar and
    // the windows go on with the previous Schedule file.
    void scheduleFileNotCreated() {
        QFETCH(QString, fault);
        auto w = start();
        QString target;
        std::unique_ptr<ReadOnlyFolder> readOnly;
        if (fault == QLatin1String("read-only")) {
            QVERIFY(QDir(fx->env.path(QString())).mkdir(QStringLiteral("locked")));
            target = fx->env.path(QStringLiteral("locked/新しい.sdb"));
            readOnly = std::make_unique<ReadOnlyFolder>(fx->env.path(QStringLiteral("locked")));
            if (!readOnly->effective())
                QSKIP("this process writes into a read-only folder regardless of its permissions");
        } else if (fault == QLatin1String("file")) {
            QVERIFY(writeBytes(fx->env.path(QStringLiteral("plain")), "not a folder"));
            target = fx->env.path(QStringLiteral("plain/新しい.sdb"));
        } else {
            target = fx->env.path(QStringLiteral("no such folder/新しい.sdb"));
        }
        fx->fake.filePaths.enqueue(target);
        w->menuAction(QStringLiteral("read_D"))->trigger();
        readOnly.reset();

        QCOMPARE(fx->fake.messages.size(), 2);
        QCOMPARE(fx->fake.messages[0].text,
                 QStringLiteral("新規に") + target + QStringLiteral("を作成します"));
        const QStringList lines = fx->fake.messages[1].text.split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), QStringLiteral("スケジュールファイルを作成できませんでした"));
        QCOMPARE(lines.value(1), target);
        QCOMPARE(lines.value(2), testsupport::storeSentence(SQLITE_CANTOPEN));
        QVERIFY2(!lines.value(3).trimmed().isEmpty(), qPrintable(fx->fake.messages[1].text));
        QCOMPARE(fx->fake.messages[1].icon, platform::Icon::Exclamation);
        QVERIFY(!QFileInfo::exists(target));

        // Still the previous file: the entry window shows its item.
        QCOMPARE(w->settings().scheduleFile, fx->schedule);
        QPushButton* day12 = w->calendarPanel()->dayButton(12);
        QTest::mousePress(day12, Qt::RightButton);
        QTest::mouseRelease(day12, Qt::RightButton);
        QPointer<QWidget> entry = w->findChild<QWidget*>(QStringLiteral("D_input"));
        QVERIFY(entry && entry->isVisible());
        QCOMPARE(entry->findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), QStringLiteral("会議"));
        entry->close();
        QVERIFY(w->isEnabled());
        // The shut-down keeps the previous file in the Settings.
        w->close();
        QVERIFY(platform::readTextFile(ini)->contains(QStringLiteral("START_FILE=") + fx->schedule +
                                                      QStringLiteral("\r\n")));
    }

    // A first start in a program folder that cannot be written: the default Schedule file cannot
    // be created and, at the end, the Settings cannot be saved; both are reported and the calendar
    // runs in between.
    void firstRunInReadOnlyFolder() {
        QVERIFY(QFile::remove(ini));
        ReadOnlyFolder readOnly(fx->env.programFolder());
        if (!readOnly.effective())
            QSKIP("this process writes into a read-only folder regardless of its permissions");
        auto w = start();
        const QString fallback = platform::joinPath(fx->env.programFolder(), QStringLiteral("DEFAULT.SDB"));
        QCOMPARE(fx->fake.messages.size(), 2);
        QCOMPARE(fx->fake.messages[0].text, QStringLiteral("最初にスケジュールファイルを作成してください"));
        QVERIFY(fx->fake.messages[1].text.startsWith(
            QStringLiteral("スケジュールファイルを作成できませんでした\n") + fallback + QLatin1Char('\n')));
        QVERIFY(w->settings().scheduleFile.isEmpty());
        QVERIFY(w->isVisible());
        w->close();
        QCOMPARE(fx->fake.messages.size(), 3);
        QVERIFY(fx->fake.messages[2].text.startsWith(
            QStringLiteral("設定ファイルを保存できませんでした。\r\n") + ini));
        QVERIFY(QDir(fx->env.programFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void leftoverTemporaryFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("removed");
        QTest::newRow("temporary file") << "ZIZARU.INI.daduvov-save-AbCd3f" << true;
        QTest::newRow("temporary file, lower case letters") << "ZIZARU.INI.daduvov-save-qwerty" << true;
        QTest::newRow("backup") << "ZIZARU.INI.bak" << false;
        QTest::newRow("user's six-letter backup") << "ZIZARU.INI.backup" << false;
        QTest::newRow("six letters of unknown origin") << "ZIZARU.INI.AbCdEf" << false;
        QTest::newRow("five letters") << "ZIZARU.INI.daduvov-save-AbCdE" << false;
        QTest::newRow("seven letters") << "ZIZARU.INI.daduvov-save-AbCdEfG" << false;
        QTest::newRow("other letter case") << "zizaru.ini.daduvov-save-AbCdEf" << false;
        QTest::newRow("other file") << "OTHER.INI.daduvov-save-AbCdEf" << false;
    }

    // Only files named as a save's temporary files of the Settings file go, at every start.
    void leftoverTemporaryFiles() {
        QFETCH(QString, name);
        QFETCH(bool, removed);
        const QString folder = fx->env.programFolder();
        const QString path = platform::joinPath(folder, name);
        QVERIFY(writeBytes(path, "[Daduvov]\r\nKOUMOKU1=half"));
        // A folder with a temporary file's name is never the program's.
        const QString dir = platform::joinPath(folder, QStringLiteral("ZIZARU.INI.daduvov-save-Folder"));
        QVERIFY(QDir(folder).mkdir(QStringLiteral("ZIZARU.INI.daduvov-save-Folder")));
        auto w = start();
        QCOMPARE(QFileInfo::exists(path), !removed);
        QVERIFY(QFileInfo(dir).isDir());
        QCOMPARE(fileBytes(ini), previousSettings);
        QCOMPARE(w->settings().slotLabel(1), QStringLiteral("前の名前"));
        QVERIFY(fx->fake.messages.isEmpty());
    }

    void leftoverRemovedAtFirstRun() {
        QVERIFY(QFile::remove(ini));
        const QString leftover = ini + QStringLiteral(".daduvov-save-XyZabc");
        QVERIFY(writeBytes(leftover, "[Daduvov]"));
        fx->fake.filePaths.enqueue(fx->schedule);
        auto w = start();
        QVERIFY(!QFileInfo::exists(leftover));
        QCOMPARE(w->settings().scheduleFile, fx->schedule);
    }
};

QTEST_MAIN(TestDiskFaults)
#include "test_disk_faults.moc"
