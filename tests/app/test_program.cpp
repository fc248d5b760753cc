// The calendar together with the real windows it opens: what one window does must show in the
// others (colouring after an entry, options rebuilding the grid, the ToDo check mark, the alarm
// on the clock tick, settings surviving a restart).

#define QTEST_QPA_MOUSE_HANDLING
#include "app/MainWindow.h"
#include "app/Openers.h"
#include "calendar/CalendarPanel.h"
#include "controls/Fonts.h"
#include "platform/Colors.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "settings/ConfigFile.h"
#include "store/DayRecords.h"
#include "support/ProgramFixture.h"
#include "support/SettingsRecords.h"
#include "support/WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QtTest>
#include <csignal>
#include <memory>

using calendar::CalendarPanel;

using testrows::putSlot;
using testsupport::child;

namespace {

const QDate kDay12(2026, 3, 12);

QColor background(QPushButton* b) {
    return b->palette().color(QPalette::Button);
}

} // namespace

class TestProgram : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::ProgramFixture> fx;

    std::unique_ptr<app::MainWindow> start(const QStringList& extra = {}) {
        fx->writeSettings(extra);
        return fx->startProgram();
    }

  private Q_SLOTS:
    void initTestCase() { controls::registerFontSubstitutions(); }

    void init() { fx = std::make_unique<testsupport::ProgramFixture>(); }
    void cleanup() {
        testsupport::closeOtherWindows();
        fx.reset();
    }

    void entryWindowChangesTheColouring() {
        auto w = start({QStringLiteral("KARE_ON=True"), QStringLiteral("kareCRL=255")});
        CalendarPanel* p = w->calendarPanel();
        QCOMPARE(background(p->dayButton(12)), platform::toQColor(CalendarPanel::kBlankColor));
        QTest::mousePress(p->dayButton(12), Qt::RightButton);
        QTest::mouseRelease(p->dayButton(12), Qt::RightButton);
        QVERIFY(!w->isEnabled());
        QPointer<QWidget> entry = w->findChild<QWidget*>(QStringLiteral("D_input"));
        QVERIFY(entry && entry->isEnabled());
        auto* text2 = child<QLineEdit>(entry, "Text2");
        text2->setText(QStringLiteral("会議"));
        QTest::mouseClick(child<QAbstractButton>(entry, "Command4"), Qt::LeftButton);
        QTest::mouseClick(child<QAbstractButton>(entry, "Command2"), Qt::LeftButton);
        QVERIFY(w->isEnabled());
        QCOMPARE(background(p->dayButton(12)), QColor(255, 0, 0));
        // The day display of the same day shows the item.
        QTRY_VERIFY(!entry);
        QTest::mouseClick(p->dayButton(12), Qt::LeftButton);
        QWidget* display = w->findChild<QWidget*>(QStringLiteral("D_output"));
        QVERIFY(display && display->isVisible());
        QCOMPARE(child<QLabel>(display, "Label2")->text(), QStringLiteral("会議"));
        QVERIFY(!w->isEnabled());
        QTest::mouseClick(child<QAbstractButton>(display, "Command1"), Qt::LeftButton);
        QVERIFY(w->isEnabled());
    }

    void emptyDayDisplayTellsSoAndReenables() {
        auto w = start();
        w->menuAction(QStringLiteral("disp"))->trigger();
        QCOMPARE(fx->fake.messages.size(), 1);
        QCOMPARE(fx->fake.messages[0].text, QStringLiteral("予定はありません"));
        QVERIFY(w->isEnabled());
    }

    void todoWindowFollowsTheCheckMark() {
        auto w = start({QStringLiteral("ToDo_ON=True")});
        QPointer<QWidget> todo = w->findChild<QWidget*>(QStringLiteral("ToDo_list"));
        QVERIFY(todo && todo->isVisible());
        QVERIFY(w->menuAction(QStringLiteral("todo"))->isChecked());
        // It stays usable while the entry window holds the calendar disabled.
        w->menuAction(QStringLiteral("input"))->trigger();
        QVERIFY(!w->isEnabled());
        QVERIFY(todo->isEnabled());
        QWidget* entry = w->findChild<QWidget*>(QStringLiteral("D_input"));
        QVERIFY(entry);
        entry->close();
        QVERIFY(w->isEnabled());
        // Its close box clears the mark; the menu opens it again.
        todo->close();
        QVERIFY(!w->menuAction(QStringLiteral("todo"))->isChecked());
        QTRY_VERIFY(!todo);
        w->menuAction(QStringLiteral("todo"))->trigger();
        QVERIFY(w->menuAction(QStringLiteral("todo"))->isChecked());
        todo = w->findChild<QWidget*>(QStringLiteral("ToDo_list"));
        QVERIFY(todo && todo->isVisible());
        w->menuAction(QStringLiteral("todo"))->trigger();
        QVERIFY(!w->menuAction(QStringLiteral("todo"))->isChecked());
        QTRY_VERIFY(!todo);
    }

    void optionsRebuildTheGridAndSurviveARestart() {
        QVERIFY(putSlot(fx->schedule, kDay12, 1, {QStringLiteral("x"), {}, false, {}}));
        {
            auto w = start({QStringLiteral("KARE_ON=True")});
            CalendarPanel* p = w->calendarPanel();
            QCOMPARE(background(p->dayButton(12)), platform::toQColor(settings::kDefaultMarkedDayColor));
            w->menuAction(QStringLiteral("settei"))->trigger();
            QWidget* options = w->findChild<QWidget*>(QStringLiteral("frmOptions"));
            QVERIFY(options && options->isVisible());
            QVERIFY(w->isEnabled());
            child<QCheckBox>(options, "Check3")->setChecked(false);
            child<QLineEdit>(options, "Text2")->setText(QStringLiteral("仕事"));
            QTest::mouseClick(child<QAbstractButton>(options, "cmdOK"), Qt::LeftButton);
            QCOMPARE(background(p->dayButton(12)), platform::toQColor(CalendarPanel::kBlankColor));
            w->close();
        }
        // The next start reads what the options stored.
        settings::Settings s;
        testsupport::RecordingHost host(s);
        settings::loadSettingsFile(s, fx->env.programFolder(), host);
        QVERIFY(!s.markDaysWithItems);
        QCOMPARE(s.slotLabel(2), QStringLiteral("仕事"));
        QCOMPARE(s.slotLabel(1), QStringLiteral("項目1"));
        QCOMPARE(s.scheduleFile, fx->schedule);
    }

    void namedFileReplacesTheOneInUse() {
        const QString named = fx->env.makeScheduleFile(QStringLiteral("named.SDB"));
        QVERIFY(putSlot(named, kDay12, 1, {QStringLiteral("x"), {}, false, {}}));

        // Named before start-up: the calendar starts on it, without the dialog.
        QStringList lines = {QStringLiteral("[Daduvov]"), QStringLiteral("START_FILE=") + fx->schedule,
                             QStringLiteral("KARE_ON=True")};
        QVERIFY(!platform::writeTextFile(
            platform::joinPath(fx->env.programFolder(), settings::kSettingsFileName), lines));
        app::MainWindow w(fx->env.programFolder(), app::programOpeners());
        w.openScheduleFile(named);
        w.startUp();
        QCOMPARE(w.settings().scheduleFile, named);
        QCOMPARE(background(w.calendarPanel()->dayButton(12)),
                 platform::toQColor(settings::kDefaultMarkedDayColor));
        QVERIFY(fx->fake.fileFilters.isEmpty());
        QVERIFY(fx->fake.messages.isEmpty());

        // Handed over while the entry window works on the file: the switch waits for it to close.
        const QString created = fx->env.path(QStringLiteral("new.SDB"));
        w.menuAction(QStringLiteral("input"))->trigger();
        w.openScheduleFile(created);
        QTest::qWait(50);
        QCOMPARE(w.settings().scheduleFile, named);
        w.findChild<QWidget*>(QStringLiteral("D_input"))->close();
        QTRY_COMPARE(w.settings().scheduleFile, created);
        QCOMPARE(fx->fake.messages.size(), 1);
        QCOMPARE(fx->fake.messages[0].text,
                 QStringLiteral("新規に") + created + QStringLiteral("を作成します"));
        QVERIFY(QFile::exists(created));
        QCOMPARE(background(w.calendarPanel()->dayButton(12)),
                 platform::toQColor(CalendarPanel::kBlankColor));
    }

    void namedFileAnswersTheFirstRun() {
        const QString named = fx->env.makeScheduleFile(QStringLiteral("named.SDB"));
        app::MainWindow w(fx->env.programFolder(), app::programOpeners());
        w.openScheduleFile(named);
        w.startUp();
        QCOMPARE(w.settings().scheduleFile, named);
        QVERIFY(fx->fake.fileFilters.isEmpty());
        QVERIFY(fx->fake.messages.isEmpty());
    }

    void terminationSignalEndsThroughTheShutDown_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void terminationSignalEndsThroughTheShutDown() {
        QFETCH(int, signalNumber);
        auto w = start();
        const QString settingsFile = platform::joinPath(fx->env.programFolder(), settings::kSettingsFileName);
        QVERIFY(QFile::remove(settingsFile));
        // An entry window with unsaved text neither blocks nor asks.
        w->menuAction(QStringLiteral("input"))->trigger();
        QWidget* entry = w->findChild<QWidget*>(QStringLiteral("D_input"));
        QVERIFY(entry);
        child<QLineEdit>(entry, "Text2")->setText(QStringLiteral("未保存"));
        QVERIFY(::raise(signalNumber) == 0);
        QTRY_VERIFY(QFileInfo::exists(settingsFile));
        QVERIFY(fx->fake.messages.isEmpty());
        QCOMPARE(testrows::storedSlot(fx->schedule, QDate(2026, 3, 5), 1).content, QString());
    }

    void storedPositionOffEveryScreenIsCentred_data() {
        QTest::addColumn<QString>("top");
        QTest::addColumn<QString>("left");
        QTest::addColumn<bool>("kept");
        const auto row = [](const char* name, const char* top, const char* left, bool kept) {
            QTest::newRow(name) << QString::fromLatin1(top) << QString::fromLatin1(left) << kept;
        };
        row("far below", "1e30", "0", false);
        row("far left", "150", "-1e30", false);
        row("beyond the right edge", "150", "1500000", false);
        row("title bar partly above the top", "-150", "300", true);
        row("on screen", "1500", "3000", true);
    }
    void storedPositionOffEveryScreenIsCentred() {
        QFETCH(QString, top);
        QFETCH(QString, left);
        QFETCH(bool, kept);
        auto w = start({QStringLiteral("TOP=") + top, QStringLiteral("LEFT=") + left});
        if (kept)
            QCOMPARE(w->frameGeometry().topLeft(), QPoint(left.toInt() / 15, top.toInt() / 15));
        QVERIFY(QGuiApplication::primaryScreen()->geometry().intersects(w->frameGeometry()));
    }
};

QTEST_MAIN(TestProgram)
#include "test_program.moc"
