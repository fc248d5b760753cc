// The whole program started on a Settings file it must not read, with the real message boxes:
// the user is told once, the calendar runs on the defaults, and the file stays as it was unless
// a setting changes.

#include "app/MainWindow.h"
#include "app/Openers.h"
#include "app/ShutdownSignals.h"
#include "controls/Fonts.h"
#include "platform/Paths.h"
#include "settings/ConfigFile.h"
#include "settings/ScheduleFileChoice.h"
#include "support/FakePlatform.h"
#include "support/RealDialogs.h"
#include "support/SettingsRecords.h"
#include "support/TestEnv.h"

#include <QtTest>

#include <csignal>
#include <memory>

class TestDamagedStart : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { controls::registerFontSubstitutions(); }
    void damagedFileKeptUnlessSettingsChange();
};

void TestDamagedStart::damagedFileKeptUnlessSettingsChange() {
    testsupport::TestEnv env;
    testsupport::FakePlatform fake;
    fake.install();
    const QString folder = env.programFolder();
    const QString schedule =
        env.makeScheduleFile(QStringLiteral("xdg/daduvov/") + settings::kDefaultScheduleName);
    const QString ini = platform::joinPath(folder, settings::kSettingsFileName);
    const QByteArray oversized = "KOUMOKU1=a\r\n" + QByteArray(settings::kMaxSettingsFileBytes, 'x');
    QVERIFY(testsupport::writeBytes(ini, oversized));

    {
        // The real message box, answered as the user would.
        testsupport::RealDialogs real;
        testsupport::BoxAnswerer closer;
        auto w = std::make_unique<app::MainWindow>(folder, app::programOpeners());
        w->startUp();
        QCOMPARE(closer.texts.size(), 1);
        QVERIFY2(closer.texts[0].contains(ini), qPrintable(closer.texts[0]));
        QVERIFY(w->isVisible());
        QCOMPARE(w->settings().scheduleFile, schedule);
        w->close();
        QCOMPARE(closer.texts.size(), 1);
        QCOMPARE(testsupport::fileBytes(ini), oversized);
    }
    // The shut-down above ended the application's event loops for good, so no real modal box
    // could open again: the later starts answer through the fake platform.
    {
        // SIGTERM while the message is still up: the file stays as the message promises.
        fake.messages.clear();
        auto w = std::make_unique<app::MainWindow>(folder, app::programOpeners());
        fake.onMessage = [&w](const testsupport::ShownMessage&) {
            QSignalSpy received(w->findChild<app::ShutdownSignals*>(), &app::ShutdownSignals::received);
            QVERIFY(::raise(SIGTERM) == 0);
            QTRY_COMPARE(received.size(), 1);
        };
        w->startUp();
        fake.onMessage = nullptr;
        QCOMPARE(fake.messages.size(), 1);
        QCOMPARE(testsupport::fileBytes(ini), oversized);
    }
    {
        fake.messages.clear();
        auto w = std::make_unique<app::MainWindow>(folder, app::programOpeners());
        w->startUp();
        QCOMPARE(fake.messages.size(), 1);
        w->settings().slotLabel(1) = QStringLiteral("仕事");
        w->close();
        QCOMPARE(fake.messages.size(), 1);
    }
    const QByteArray saved = testsupport::fileBytes(ini);
    QVERIFY2(saved.startsWith("[Daduvov]\r\n") && saved.contains("\r\nKOUMOKU1=\x8E\x64\x8E\x96\r\n"),
             saved.left(200));
}

QTEST_MAIN(TestDamagedStart)
#include "tst_damaged_start.moc"
