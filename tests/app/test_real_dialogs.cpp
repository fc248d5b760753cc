// The Qt platform's own dialogs, answered from timers as a user would: a dialog opened while the
// splash is the active window outlives the splash, the clock keeps running while an alarm box is
// open, message texts are never markup, and a new Schedule file typed without an extension in the
// real file dialog is created as .SDB; the iCalendar file dialogs open over the calendar, in the
// Schedule file's folder and then where the last file was chosen.

#include "app/ExchangeMenu.h"
#include "app/MainWindow.h"
#include "app/Openers.h"
#include "app/SplashWindow.h"
#include "calendar/CalendarPanel.h"
#include "controls/ClockFace.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "settings/ConfigFile.h"
#include "settings/ScheduleFileChoice.h"
#include "settings/Settings.h"
#include "store/DayRecords.h"
#include "support/FakeHost.h"
#include "support/FakePlatform.h"
#include "support/Files.h"
#include "support/RealDialogs.h"
#include "support/ScheduleRows.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

using testsupport::buttonTitled;
using testsupport::whenDialogShown;

class TestRealDialogs : public QObject {
    Q_OBJECT

    testsupport::FakePlatform fake;
    std::unique_ptr<testsupport::RealDialogs> real;

  private Q_SLOTS:
    void init() {
        // Real message boxes and file dialogs; the rest stays scripted.
        fake.install();
        real = std::make_unique<testsupport::RealDialogs>(true);
    }
    void cleanup() { real.reset(); }

    void dialogOverTheActiveSplashOutlivesIt() {
        QWidget main;
        QPointer<app::SplashWindow> splash = new app::SplashWindow(&main);
        splash->show();
        splash->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), splash.data());
        splash->timer()->start(30); // the splash closes itself while the question is open
        QPointer<QWidget> shown;
        whenDialogShown([&](QWidget* dialog) {
            shown = dialog;
            QTimer::singleShot(300, dialog, [&, dialog] {
                QVERIFY(!splash);
                QVERIFY(dialog->isVisible());
                buttonTitled(dialog, QStringLiteral("はい"))->click();
            });
        });
        const platform::Answer answer = platform::message(QStringLiteral("作成しますか"), platform::kAppTitle,
                                                          platform::Icon::Question, platform::Buttons::YesNo);
        QCOMPARE(answer, platform::Answer::Yes);
        QVERIFY(main.isVisible());
        QTRY_VERIFY(!shown);
    }

    // The alarm box opens from the clock's tick, yet the clock goes on while it is open; OK
    // stops the sound and disarms the item. The box, short as its text is, leaves its title bar
    // room for the caption beside the window's icon and three buttons. (No test here ends the
    // program: a Qt event loop refuses to run once the application was told to exit.)
    void clockRunsWhileTheAlarmBoxIsOpen() {
        testsupport::TestEnv env;
        const QString schedule = env.makeScheduleFile();
        const QDate date(2026, 3, 5);
        QVERIFY(testrows::putSlot(schedule, date, 1,
                                  {QStringLiteral("電話する"), {}, true, QStringLiteral("0930")}));
        QVERIFY(!platform::writeTextFile(platform::joinPath(env.programFolder(), settings::kSettingsFileName),
                                         {QStringLiteral("START_FILE=") + schedule}));
        fake.clock = QDateTime(QDate(2026, 3, 5), QTime(9, 29, 0));
        auto w = std::make_unique<app::MainWindow>(env.programFolder(), app::programOpeners());
        w->startUp();

        controls::ClockFace* clock = w->calendarPanel()->clockFace();
        QStringList clockWhileOpen;
        bool soundWhileOpen = false;
        int captionRoom = 0;
        whenDialogShown([&](QWidget* box) {
            QFont titleFont = box->font();
            titleFont.setBold(true);
            const QFontMetrics metrics(titleFont);
            captionRoom = box->width() - metrics.horizontalAdvance(box->windowTitle()) - 6 * metrics.height();
            soundWhileOpen = fake.soundPlaying;
            clockWhileOpen << clock->text();
            fake.clock = fake.clock.addSecs(7);
            QTimer::singleShot(1200, box, [&, box] { // the clock ticks once a second
                clockWhileOpen << clock->text();
                buttonTitled(box, QStringLiteral("OK"))->click();
            });
        });
        fake.clock = QDateTime(QDate(2026, 3, 5), QTime(9, 30, 10));
        QTRY_COMPARE(clockWhileOpen.size(), 2);
        QVERIFY(soundWhileOpen);
        QVERIFY2(captionRoom >= 0, qPrintable(QString::number(captionRoom)));
        QCOMPARE(clockWhileOpen[0].right(5), QStringLiteral("30:10"));
        QCOMPARE(clockWhileOpen[1].right(5), QStringLiteral("30:17"));
        QTRY_VERIFY(!fake.soundPlaying);
        QTRY_VERIFY(!testrows::storedSlot(schedule, date, 1).alarm);
    }

    void messageTextIsShownAsTyped() {
        const QString content = QStringLiteral("<b>会議</b> 議題<br>A<B");
        QString shownText;
        whenDialogShown([&](QWidget* dialog) {
            auto* label = dialog->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(label);
            QCOMPARE(label->textFormat(), Qt::PlainText);
            shownText = label->text();
            buttonTitled(dialog, QStringLiteral("OK"))->click();
        });
        platform::message(content);
        QCOMPARE(shownText, content);
    }

    void boxEndedFromOutsideIsNotAnswered() {
        // The window the box belongs to goes away (as at shut-down) while the box is open.
        auto* owner = new QWidget;
        owner->show();
        QApplication::setActiveWindow(owner);
        whenDialogShown([owner](QWidget*) { delete owner; });
        QCOMPARE(platform::message(QStringLiteral("会議")), platform::Answer::No);
    }

    void typedNameWithoutExtensionBecomesSdb() {
        testsupport::TestEnv env;
        QStringList messages;
        whenDialogShown([&](QWidget* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            QVERIFY(files);
            files->setDirectory(env.path(QString()));
            auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setFocus();
            QTest::keyClicks(name, QStringLiteral("myschedule"));
            // The next dialog is the message that the file is made.
            whenDialogShown([&](QWidget* box) {
                messages << box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
                buttonTitled(box, QStringLiteral("OK"))->click();
            });
            QTest::keyClick(name, Qt::Key_Return);
        });
        settings::Settings s;
        settings::openScheduleCommand(s, env.programFolder());
        const QString made = env.path(QStringLiteral("myschedule.SDB"));
        QCOMPARE(s.scheduleFile, made);
        QVERIFY(QFileInfo(made).isFile());
        QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("myschedule"))));
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].contains(made));
    }

    // Over the window that asked even when another one is active; first in the Schedule file's
    // folder, then in the folder of the file chosen last. Picking the iCalendar filter again
    // keeps the name's plain extension. The export's dialog offers the shown year's holidays,
    // unticked; ticked, they are written.
    void exchangeDialogsOpenOverTheCalendarWhereLastUsed() {
        testsupport::TestEnv env;
        testsupport::FakeHost host;
        host.settingsRecord.scheduleFile = env.makeScheduleFile();
        host.window.show();
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        const QString elsewhere = env.path(QStringLiteral("exported"));
        QVERIFY(QDir().mkpath(elsewhere));
        QStringList folders;
        QList<QWidget*> parents;
        QString nameAfterFilters;
        QString holidayChoice = QStringLiteral("no check box");
        // Notes where a file dialog opened; anything else is closed unanswered.
        const auto record = [&](QWidget* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            parents << dialog->parentWidget();
            folders << (files ? files->directory().absolutePath() : QStringLiteral("no file dialog"));
            if (!files)
                dialog->close();
            return files;
        };
        whenDialogShown([&](QWidget* dialog) {
            if (QFileDialog* files = record(dialog)) {
                auto* types = files->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (types && name) {
                    QTest::keyClick(types, Qt::Key_Down); // すべてのファイル
                    QTest::keyClick(types, Qt::Key_Up);   // iCalendar
                    nameAfterFilters = name->text();
                }
                if (auto* holidays = files->findChild<QCheckBox*>(QStringLiteral("saveChoice"))) {
                    holidayChoice = holidays->text() + (holidays->isChecked() ? u'+' : u'-');
                    holidays->click();
                }
                files->selectFile(platform::joinPath(elsewhere, QStringLiteral("out.ics")));
                QMetaObject::invokeMethod(files, &QDialog::accept);
            }
        });
        testsupport::BoxAnswerer done;
        app::exportICalendar(host);
        QTRY_COMPARE(done.texts.size(), 1);
        QCOMPARE(nameAfterFilters, QStringLiteral("daduvov.ics"));
        QCOMPARE(holidayChoice, QStringLiteral("2026年の祝日を含める-"));
        QVERIFY2(done.texts.first().contains(QStringLiteral("2026年の祝日18件")),
                 qPrintable(done.texts.first()));
        QVERIFY(testsupport::fileBytes(platform::joinPath(elsewhere, QStringLiteral("out.ics")))
                    .contains("UID:holiday-20261123@daduvov"));
        whenDialogShown([&](QWidget* dialog) {
            if (QFileDialog* files = record(dialog))
                files->reject();
        });
        app::importICalendar(host);
        QCOMPARE(folders,
                 QStringList({QFileInfo(host.settingsRecord.scheduleFile).absolutePath(), elsewhere}));
        QCOMPARE(parents, QList<QWidget*>({&host.window, &host.window}));
    }
};

QTEST_MAIN(TestRealDialogs)
#include "test_real_dialogs.moc"
