// 同期設定 and the program's syncs against a real Radicale and a real Secret Service (gnome-keyring
// on a private D-Bus session): every failure of 接続テスト in its sentence, a pinned certificate,
// the account saved and forgotten, the password in no file and no output; a sync of thousands of
// events beside the ticking clock and an open message box; and the real program ended by SIGTERM
// in the middle of its start-up sync.

#include "app/MainWindow.h"
#include "calendar/CalendarPanel.h"
#include "controls/ClockFace.h"
#include "platform/Services.h"
#include "support/CalDavServers.h"
#include "support/ProgramFixture.h"
#include "support/RealDialogs.h"
#include "support/ScheduleRows.h"
#include "sync/Account.h"
#include "sync/Http.h"
#include "syncview/SyncSettingsDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QSslCertificate>
#include <QThread>
#include <QtTest>
#include <memory>

using syncview::SyncSettingsDialog;

namespace {

const QString kUser = QStringLiteral("alice");
const QString kPassword = QStringLiteral("Kagi-9f3e-パス");
constexpr int kManyEvents = 2000;
// Set in the process that runs the case without a Secret Service: the Radicale it uses.
const char* const kChildServer = "DADUVOV_TEST_NO_SECRETS_SERVER";

bool makeCalendar(const QUrl& url, const QString& name, const QStringList& components,
                  const QString& pin = QString()) {
    calsync::HttpOptions options;
    options.user = kUser;
    options.password = kPassword;
    options.pinnedFingerprint = pin;
    options.timeoutMs = 20000;
    calsync::Http http(options);
    const auto made = http.run({"MKCALENDAR",
                                url,
                                testsupport::mkcalendarBody(name, components),
                                {{"Content-Type", "application/xml"}}});
    return made.ok() && made.value().status == 201;
}

// `count` all-day events, three a day from 200 days ago, written straight into the storage
// folder of a calendar Radicale already has.
bool fillCalendar(const QString& storage, int count) {
    const QDate first = QDate::currentDate().addDays(-200);
    for (int i = 0; i < count; ++i) {
        const QString uid = QStringLiteral("many-%1").arg(i);
        const QByteArray ics = QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
                                              "BEGIN:VEVENT\r\nUID:%1\r\nDTSTAMP:20260101T000000Z\r\n"
                                              "DTSTART;VALUE=DATE:%2\r\nSUMMARY:予定 %3\r\nEND:VEVENT\r\n"
                                              "END:VCALENDAR\r\n")
                                   .arg(uid, first.addDays(i / 3).toString(QStringLiteral("yyyyMMdd")))
                                   .arg(i)
                                   .toUtf8();
        if (!testsupport::writeFile(storage + QLatin1Char('/') + uid + QStringLiteral(".ics"), ics))
            return false;
    }
    return true;
}

// The files in or below `roots` (files or folders) that hold `secret`.
QStringList filesHolding(const QStringList& roots, const QByteArray& secret) {
    QStringList found;
    for (const QString& root : roots) {
        QStringList files;
        if (QFileInfo(root).isFile())
            files << root;
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        for (const QString& path : files) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(secret))
                found << path;
        }
    }
    return found;
}

// The program's messages, kept to look for the password in them.
QByteArray messages;
QtMessageHandler previousHandler = nullptr;
void keepMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    messages += text.toUtf8() + '\n';
    if (previousHandler)
        previousHandler(type, context, text);
}

// Whether a TCP connection to 127.0.0.1:`port` is open on this machine.
bool connectedTo(int port) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray remote =
        QStringLiteral("0100007F:%1 01 ").arg(port, 4, 16, QLatin1Char('0')).toUpper().toLatin1();
    return table.readAll().contains(remote);
}

QString sqlite(const QString& file, const QString& query) {
    QProcess process;
    process.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), file, query});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

class TestSyncSettings : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    testsupport::SecretService secrets;
    testsupport::Radicale radicale;
    testsupport::Radicale secure;
    testsupport::ScriptedServer plainWeb;
    QString certificateFingerprint;
    std::unique_ptr<testsupport::ProgramFixture> f;
    std::unique_ptr<app::MainWindow> w;
    bool child = false;

    QString config() const { return f->env.path(QStringLiteral("config")); }

    SyncSettingsDialog* openDialog() {
        if (!w)
            w = f->startProgram();
        w->menuAction(QStringLiteral("syncSettings"))->trigger();
        return w->findChild<SyncSettingsDialog*>(QStringLiteral("syncSettings"));
    }

    // The account of `schedule` with the calendar of many events, stored as 同期設定 would.
    void storeManyAccount(const QString& schedule) {
        calsync::Account account;
        account.schedule = calsync::scheduleKey(schedule);
        account.server = radicale.url().toString();
        account.user = kUser;
        account.collection = radicale.url(QStringLiteral("/alice/many/")).toString();
        account.calendarName = QStringLiteral("たくさん");
        account.intervalMinutes = 0;
        const QString stored = calsync::storePassword(account, kPassword);
        QVERIFY2(stored.isEmpty(), qPrintable(stored));
        const QString saved = calsync::saveAccount(account);
        QVERIFY2(saved.isEmpty(), qPrintable(saved));
    }

    // Fills the fields and runs 接続テスト; true when it found calendars.
    static bool test(SyncSettingsDialog* dialog, const QString& server, const QString& password) {
        // The fields in the order they are made: server, user, password.
        const QList<QLineEdit*> fields = dialog->findChildren<QLineEdit*>();
        if (fields.size() != 3)
            return false;
        fields[0]->setText(server);
        fields[1]->setText(kUser);
        fields[2]->setText(password);
        QSignalSpy finished(dialog, &SyncSettingsDialog::testFinished);
        button(dialog, QStringLiteral("接続テスト"))->click();
        return finished.wait(60000) && finished.first().first().toBool();
    }

    static QPushButton* button(SyncSettingsDialog* dialog, const QString& prefix) {
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->text().startsWith(prefix))
                return b;
        return nullptr;
    }

  private Q_SLOTS:
    void initTestCase() {
        child = qEnvironmentVariableIsSet(kChildServer);
        if (child)
            return;
        QVERIFY(folder.isValid());
        QVERIFY2(secrets.start(folder.filePath(QStringLiteral("secrets"))), "gnome-keyring did not start");
        // The keyring is reached over the session bus this process connects to on first use.
        qputenv("DBUS_SESSION_BUS_ADDRESS", secrets.address.toUtf8());
        for (const QString& name : {QStringLiteral("radicale"), QStringLiteral("secure")})
            QVERIFY(QDir(folder.path()).mkpath(name));
        QVERIFY2(radicale.start(folder.filePath(QStringLiteral("radicale")), {{kUser, kPassword}}),
                 "Radicale did not start");
        QVERIFY2(secure.start(folder.filePath(QStringLiteral("secure")), {{kUser, kPassword}}, true),
                 "Radicale on HTTPS did not start");
        const QList<QSslCertificate> certificates = QSslCertificate::fromData(secure.certificatePem);
        QVERIFY(!certificates.isEmpty());
        certificateFingerprint =
            QString::fromLatin1(certificates.first().digest(QCryptographicHash::Sha256).toHex(':').toUpper());
        QVERIFY(makeCalendar(radicale.url(QStringLiteral("/alice/work/")), QStringLiteral("仕事"),
                             {QStringLiteral("VEVENT"), QStringLiteral("VTODO")}));
        QVERIFY(makeCalendar(radicale.url(QStringLiteral("/alice/events/")), QStringLiteral("予定だけ"),
                             {QStringLiteral("VEVENT")}));
        QVERIFY(makeCalendar(secure.url(QStringLiteral("/alice/safe/")), QStringLiteral("暗号"),
                             {QStringLiteral("VEVENT")}, certificateFingerprint));
        // A web server that is no calendar server: every path answers with a plain page.
        QVERIFY(plainWeb.start(QStringLiteral(DADUVOV_SCRIPTED_SERVER), QStringLiteral("status:200")));
        QVERIFY(makeCalendar(radicale.url(QStringLiteral("/alice/many/")), QStringLiteral("たくさん"),
                             {QStringLiteral("VEVENT")}));
        QVERIFY(fillCalendar(
            folder.filePath(QStringLiteral("radicale/collections/collection-root/alice/many")), kManyEvents));
        previousHandler = qInstallMessageHandler(keepMessage);
    }

    void init() {
        if (child && QString::fromLatin1(QTest::currentTestFunction()) != QLatin1String("noSecretService"))
            QSKIP("only the case without a Secret Service runs here");
        f = std::make_unique<testsupport::ProgramFixture>();
        f->writeSettings();
        qputenv("XDG_CONFIG_HOME", config().toUtf8());
    }

    void cleanup() {
        testsupport::closeOtherWindows();
        w.reset();
        f.reset();
    }

    // 接続テスト that fails says what went wrong and what to do, and nothing can be saved.
    void failedTest_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("sentence");
        const QString closed = QStringLiteral("http://127.0.0.1:%1/").arg(testsupport::freePort());
        QTest::newRow("wrong password")
            << radicale.url().toString() << QStringLiteral("wrong") << QStringLiteral("パスワードが違うか");
        QTest::newRow("server not found")
            << closed << kPassword << QStringLiteral("サーバーとの通信ができません");
        QTest::newRow("not a calendar") << plainWeb.url(QStringLiteral("/calendar/")).toString() << kPassword
                                        << QStringLiteral("カレンダーのサーバーとして答えませんでした");
        QTest::newRow("no such calendar") << radicale.url(QStringLiteral("/alice/nothing/")).toString()
                                          << kPassword << QStringLiteral("サーバーにその場所がありません");
    }

    void failedTest() {
        QFETCH(QString, server);
        QFETCH(QString, password);
        QFETCH(QString, sentence);
        SyncSettingsDialog* dialog = openDialog();
        QVERIFY(dialog);
        QVERIFY(!test(dialog, server, password));
        QVERIFY2(dialog->statusText().contains(sentence), qPrintable(dialog->statusText()));
        QVERIFY(!button(dialog, QStringLiteral("保存"))->isEnabled());
    }

    // A self-signed certificate: its fingerprint is shown, and trusting exactly it lists the
    // calendars; the pin is saved with the account.
    void certificateTrusted() {
        SyncSettingsDialog* dialog = openDialog();
        QVERIFY(dialog);
        QVERIFY(!test(dialog, secure.url().toString(), kPassword));
        QVERIFY2(dialog->statusText().contains(certificateFingerprint), qPrintable(dialog->statusText()));
        auto* trust = dialog->findChild<QCheckBox*>();
        QVERIFY(trust && trust->isVisible());
        QVERIFY(trust->text().contains(certificateFingerprint));
        trust->setChecked(true);
        QVERIFY2(test(dialog, secure.url().toString(), kPassword), qPrintable(dialog->statusText()));
        auto* calendars = dialog->findChild<QComboBox*>();
        QCOMPARE(calendars->count(), 1);
        QVERIFY(calendars->itemText(0).startsWith(QStringLiteral("暗号")));
        button(dialog, QStringLiteral("保存"))->click();
        const calsync::AccountRead read = calsync::readAccount(f->schedule);
        QVERIFY(read.account);
        QCOMPARE(read.account->pinnedFingerprint, certificateFingerprint);
    }

    // The right password lists the calendars with whether each takes ToDo entries; 保存 stores the
    // account and the password; the dialog shows it again without the password; 同期をやめる
    // forgets both and leaves the file's items. The password is in no file and no message.
    void saveReopenForget() {
        QVERIFY(testrows::putSlot(f->schedule, QDate(2026, 3, 12), 1,
                                  {QStringLiteral("会議"), QStringLiteral("ﾚﾍﾞﾙ1"), false, {}}));
        QPointer<SyncSettingsDialog> dialog = openDialog();
        QVERIFY(dialog);
        QVERIFY2(test(dialog, radicale.url().toString(), kPassword), qPrintable(dialog->statusText()));
        auto* calendars = dialog->findChild<QComboBox*>();
        QStringList listed;
        for (int i = 0; i < calendars->count(); ++i)
            listed << calendars->itemText(i);
        listed.sort();
        QCOMPARE(listed,
                 QStringList({QStringLiteral("たくさん（予定のみ）"), QStringLiteral("予定だけ（予定のみ）"),
                              QStringLiteral("仕事（予定とToDo）")}));
        calendars->setCurrentIndex(calendars->findText(QStringLiteral("仕事（予定とToDo）")));
        auto* interval = dialog->findChildren<QComboBox*>().at(1);
        interval->setCurrentIndex(interval->findText(QStringLiteral("5分")));
        button(dialog, QStringLiteral("保存"))->click();
        QTRY_VERIFY(dialog.isNull());

        const calsync::AccountRead read = calsync::readAccount(f->schedule);
        QVERIFY2(read.account, qPrintable(read.failure));
        QCOMPARE(read.account->calendarName, QStringLiteral("仕事"));
        QVERIFY(read.account->takesTodos);
        QCOMPARE(read.account->intervalMinutes, 5);
        QCOMPARE(calsync::readPassword(*read.account).password.value_or(QString()), kPassword);
        // The sync that saving starts.
        QAction* syncNow = w->menuAction(QStringLiteral("syncNow"));
        QTRY_VERIFY_WITH_TIMEOUT(syncNow->text().contains(QStringLiteral("完了")), 60000);

        // Opened again: the account, the password not shown.
        QPointer<SyncSettingsDialog> again = openDialog();
        QVERIFY(again);
        const auto edits = again->findChildren<QLineEdit*>();
        QStringList texts;
        for (QLineEdit* edit : edits)
            texts << edit->text();
        QVERIFY(texts.contains(radicale.url().toString()));
        QVERIFY(texts.contains(kUser));
        QVERIFY(!texts.contains(kPassword));
        QVERIFY(again->findChild<QComboBox*>()->currentText().startsWith(QStringLiteral("仕事")));
        // Another calendar, tested with the stored password: it is stored for that calendar.
        QVERIFY2(test(again, radicale.url().toString(), QString()), qPrintable(again->statusText()));
        calendars = again->findChild<QComboBox*>();
        calendars->setCurrentIndex(calendars->findText(QStringLiteral("予定だけ（予定のみ）")));
        button(again, QStringLiteral("保存"))->click();
        QTRY_VERIFY(again.isNull());
        const calsync::AccountRead other = calsync::readAccount(f->schedule);
        QVERIFY(other.account);
        QCOMPARE(other.account->calendarName, QStringLiteral("予定だけ"));
        QCOMPARE(calsync::readPassword(*other.account).password.value_or(QString()), kPassword);
        QVERIFY(!calsync::readPassword(*read.account).password);
        again = openDialog();
        QVERIFY(again);

        {
            testsupport::RealDialogs dialogs;
            testsupport::BoxAnswerer yes(QStringLiteral("はい"));
            QTest::qWait(0);
            QPushButton* forget = button(again, QStringLiteral("同期をやめる"));
            QVERIFY(forget->isEnabled());
            forget->click();
            QCOMPARE(yes.texts.size(), 1);
            QVERIFY(yes.texts.first().contains(QStringLiteral("同期をやめますか")));
        }
        QVERIFY(!calsync::readAccount(f->schedule).account);
        QVERIFY(!calsync::readPassword(*other.account).password);
        QCOMPARE(testrows::storedSlot(f->schedule, QDate(2026, 3, 12), 1).content, QStringLiteral("会議"));

        // (The real program's Settings file and output are searched in terminatedDuringSync.)
        const QStringList holding = filesHolding({config(), f->schedule}, kPassword.toUtf8());
        QVERIFY2(holding.isEmpty(), qPrintable(holding.join(u',')));
        QVERIFY(!messages.contains(kPassword.toUtf8()));
    }

    // Without a Secret Service on the desktop the account is not saved, and the dialog says why.
    // This process is bound to the bus with the keyring, so the case runs in a process of its
    // own on a bus without one.
    void noSecretService() {
        if (child) {
            SyncSettingsDialog* dialog = openDialog();
            QVERIFY(dialog);
            QVERIFY2(test(dialog, qEnvironmentVariable(kChildServer), kPassword),
                     qPrintable(dialog->statusText()));
            button(dialog, QStringLiteral("保存"))->click();
            QVERIFY(dialog->isVisible());
            QVERIFY2(dialog->statusText().contains(QStringLiteral("キーリング")),
                     qPrintable(dialog->statusText()));
            QVERIFY(!QFile::exists(calsync::accountsFile()));
            return;
        }
        const QString busFolder = folder.filePath(QStringLiteral("plainbus"));
        QVERIFY(QDir().mkpath(busFolder));
        const QString socket = busFolder + QStringLiteral("/bus");
        QVERIFY(testsupport::writeFile(busFolder + QStringLiteral("/bus.conf"),
                                       "<busconfig><type>session</type><listen>unix:path=" + socket.toUtf8() +
                                           "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                                           "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow "
                                           "eavesdrop=\"true\"/><allow own=\"*\"/>"
                                           "</policy></busconfig>"));
        testsupport::HelperProcess bus;
        QVERIFY(bus.start(QStringLiteral("dbus-daemon"),
                          {QStringLiteral("--config-file=") + busFolder + QStringLiteral("/bus.conf"),
                           QStringLiteral("--nofork")},
                          [socket] { return QFile::exists(socket); }));
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + socket);
        environment.insert(QString::fromLatin1(kChildServer), radicale.url().toString());
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("noSecretService")});
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitCode(), 0);
    }
    // The start-up sync of thousands of events runs while the calendar's clock goes on second by
    // second and a real message box is open.
    void manyEventsBesideTheClockAndABox() {
        storeManyAccount(f->schedule);
        if (QTest::currentTestFailed())
            return;
        // The fake clock moves on with the real time.
        QTimer time;
        connect(&time, &QTimer::timeout, this, [this] { f->fake.clock = f->fake.clock.addMSecs(100); });
        time.start(100);
        w = f->startProgram();
        QAction* syncNow = w->menuAction(QStringLiteral("syncNow"));
        QTRY_VERIFY_WITH_TIMEOUT(syncNow->text().contains(QStringLiteral("同期中")), 30000);
        calendar::CalendarPanel* panel = w->calendarPanel();
        QSet<QString> clock;
        connect(panel->clockTimer(), &QTimer::timeout, this, [&] {
            if (syncNow->text().contains(QStringLiteral("同期中")) &&
                qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                clock << panel->clockFace()->text();
        });
        testsupport::RealDialogs dialogs;
        // The box stays open until the sync has ended.
        std::unique_ptr<testsupport::BoxAnswerer> answer;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!answer && !syncNow->text().contains(QStringLiteral("同期中")))
                answer = std::make_unique<testsupport::BoxAnswerer>();
        });
        watch.start(100);
        QTimer::singleShot(0, [] {
            platform::message(QStringLiteral("開いたまま"), platform::kAppTitle, platform::Icon::Information,
                              platform::Buttons::Ok);
        });
        QTRY_VERIFY_WITH_TIMEOUT(answer && answer->texts.size() == 1, 300000);
        QVERIFY2(clock.size() >= 3, qPrintable(QStringList(clock.values()).join(u',')));
        QVERIFY2(syncNow->text().contains(QStringLiteral("完了")), qPrintable(syncNow->text()));
        QCOMPARE(sqlite(f->schedule, QStringLiteral("SELECT COUNT(*) FROM 予定表")),
                 QString::number(kManyEvents));
    }

    // The real program ended by SIGTERM in the middle of its start-up sync: it ends soon, the
    // file is whole, and the next sync finishes the work without doubling anything.
    void terminatedDuringSync_data() {
        QTest::addColumn<bool>("whileWriting");
        QTest::newRow("while it asks the server") << false;
        QTest::newRow("while it writes the file") << true;
    }

    void terminatedDuringSync() {
        QFETCH(bool, whileWriting);
        storeManyAccount(f->schedule);
        if (QTest::currentTestFailed())
            return;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        QByteArray output;
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(DADUVOV_PROGRAM), QStringList());
        QVERIFY(program.waitForStarted(10000));
        // The sync is under way once the program is connected to the server.
        QElapsedTimer waited;
        waited.start();
        while (!connectedTo(radicale.url().port()) && waited.elapsed() < 120000 &&
               program.state() == QProcess::Running)
            QTest::qWait(20);
        // Then, when asked, until the sync writes received items: the file's journal is there
        // while a transaction is open.
        const QString journal = f->schedule + QStringLiteral("-journal");
        while (whileWriting && !QFile::exists(journal) && waited.elapsed() < 120000 &&
               program.state() == QProcess::Running)
            QThread::usleep(500);
        QCOMPARE(program.state(), QProcess::Running);
        const QString count = QStringLiteral("SELECT COUNT(*) FROM 予定表");
        QElapsedTimer ending;
        ending.start();
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        qInfo("ended %lld ms after SIGTERM with %s of %d events", ending.elapsed(),
              qPrintable(sqlite(f->schedule, count)), kManyEvents);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        output += program.readAll();
        QCOMPARE(sqlite(f->schedule, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));

        QProcess sync;
        sync.setProcessEnvironment(environment);
        sync.start(QStringLiteral(DADUVOV_PROGRAM),
                   {QStringLiteral("--sync"), QStringLiteral("--schedule"), f->schedule});
        QVERIFY(sync.waitForFinished(240000));
        output += sync.readAllStandardOutput() + sync.readAllStandardError();
        QVERIFY2(sync.exitCode() == 0, output.constData());
        QCOMPARE(sqlite(f->schedule, count), QString::number(kManyEvents));
        QCOMPARE(sqlite(f->schedule, QStringLiteral("SELECT COUNT(DISTINCT 内容) FROM 予定表")),
                 QString::number(kManyEvents));
        QVERIFY(!output.contains(kPassword.toUtf8()));
        // The shut-down wrote the Settings file.
        QVERIFY(QFile::exists(f->settingsPath()));
        const QStringList holding =
            filesHolding({f->settingsPath(), config(), f->schedule}, kPassword.toUtf8());
        QVERIFY2(holding.isEmpty(), qPrintable(holding.join(u',')));
    }
};

QTEST_MAIN(TestSyncSettings)
#include "test_sync_settings.moc"
