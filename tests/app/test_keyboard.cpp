// The program by keys alone: the calendar's days by arrows and Enter, each window's Tab chain
// out of its grid to its last button, Escape closing it and the focus coming back to the day,
// and ToDo's 削除 on the focused row.

#include "app/MainWindow.h"
#include "calendar/CalendarPanel.h"
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "platform/HelpViewer.h"
#include "store/DataControl.h"
#include "store/DayRecords.h"
#include "support/ProgramFixture.h"
#include "support/RealDialogs.h"
#include "support/ScheduleRows.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QtTest>
#include <memory>

using calendar::CalendarPanel;

namespace {

const QDate kToday(2026, 3, 5);

void addItem(const QString& file, const QDate& date, const QString& content) {
    store::DataControl data;
    QVERIFY(store::openDayTable(data, file).ok());
    store::SlotItem item;
    item.content = content;
    QVERIFY(store::saveSlot(data, store::dateString(date), 1, item).ok());
}

QWidget* focused() {
    return QApplication::focusWidget();
}

// Presses Tab on the focused control until `target` has the focus; false after `limit` presses.
bool tabTo(QWidget* target, int limit = 80) {
    for (int i = 0; i < limit && focused() != target; ++i)
        QTest::keyClick(focused(), Qt::Key_Tab);
    return focused() == target;
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { controls::registerFontSubstitutions(); }
    void init();
    void cleanup();

    void calendarKeys_data();
    void calendarKeys();
    void windowKeys_data();
    void windowKeys();
    void tabOrderFollowsTheLayout_data();
    void tabOrderFollowsTheLayout();
    void todoDeleteTakesTheFocusedRow();
    void helpViewerClosesWithEscape();
    void escapeAsksTheSaveQuestion();

  private:
    CalendarPanel* panel() const { return main_->findChild<CalendarPanel*>(); }
    // Starts the program with its own windows and puts the focus on `day`.
    void start(const QDate& day = kToday);
    // The window of that object name now open, or nullptr.
    static QWidget* window(const QString& name);

    std::unique_ptr<testsupport::ProgramFixture> fx_;
    std::unique_ptr<app::MainWindow> main_;
};

void TestKeyboard::init() {
    fx_ = std::make_unique<testsupport::ProgramFixture>();
    fx_->writeSettings();
}

void TestKeyboard::cleanup() {
    testsupport::closeOtherWindows();
    main_.reset();
    fx_.reset();
}

void TestKeyboard::start(const QDate& day) {
    main_ = fx_->startProgram();
    testsupport::closeOtherWindows();
    panel()->yearBox()->setText(QString::number(day.year()));
    panel()->monthBox()->setText(QString::number(day.month()));
    panel()->rebuildMonthGrid();
    main_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
    QVERIFY(panel()->focusDay(day));
    QTRY_COMPARE(panel()->focusedDay(), day);
}

QWidget* TestKeyboard::window(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}

void TestKeyboard::calendarKeys_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QDate>("focus");    // the day focused after the key
    QTest::addColumn<QString>("opened"); // the window the key opened, if any
    QTest::newRow("right into April")
        << QDate(2026, 3, 31) << int(Qt::Key_Right) << 0 << QDate(2026, 4, 1) << QString();
    QTest::newRow("left into February")
        << QDate(2026, 3, 1) << int(Qt::Key_Left) << 0 << QDate(2026, 2, 28) << QString();
    QTest::newRow("down a week into April")
        << QDate(2026, 3, 28) << int(Qt::Key_Down) << 0 << QDate(2026, 4, 4) << QString();
    QTest::newRow("up a week into last year")
        << QDate(2026, 1, 3) << int(Qt::Key_Up) << 0 << QDate(2025, 12, 27) << QString();
    QTest::newRow("enter shows the items")
        << kToday << int(Qt::Key_Return) << 0 << kToday << QStringLiteral("D_output");
    QTest::newRow("ctrl+enter enters items")
        << QDate(2026, 3, 31) << int(Qt::Key_Return) << int(Qt::ControlModifier) << QDate(2026, 3, 31)
        << QStringLiteral("D_input");
    QTest::newRow("shift+f10 enters items") << QDate(2026, 2, 1) << int(Qt::Key_F10) << int(Qt::ShiftModifier)
                                            << QDate(2026, 2, 1) << QStringLiteral("D_input");
    QTest::newRow("menu key enters items")
        << kToday << int(Qt::Key_Menu) << 0 << kToday << QStringLiteral("D_input");
}

// Arrows move the focus across month boundaries; Enter and the menu keys open the day's windows,
// whose Escape gives the focus back to the day.
void TestKeyboard::calendarKeys() {
    QFETCH(QDate, from);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QDate, focus);
    QFETCH(QString, opened);
    addItem(fx_->schedule, from, QStringLiteral("会議"));
    start(from);
    QTest::keyClick(focused(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    if (opened.isEmpty()) {
        QCOMPARE(panel()->focusedDay(), focus);
        QCOMPARE(panel()->shownMonth().month, focus.month());
        QCOMPARE(panel()->selectedDate(), kToday); // moving the focus selects nothing
        return;
    }
    QTRY_VERIFY(window(opened));
    QCOMPARE(panel()->selectedDate(), focus);
    QTRY_VERIFY(QApplication::activeWindow() == window(opened));
    QTest::keyClick(focused(), Qt::Key_Escape);
    QTRY_VERIFY(!window(opened));
    QTRY_COMPARE(panel()->focusedDay(), focus);
    QVERIFY(fx_->fake.messages.isEmpty());
}

void TestKeyboard::windowKeys_data() {
    QTest::addColumn<QString>("action"); // the menu item that opens the window
    QTest::addColumn<QString>("name");   // the window's object name
    QTest::addColumn<QString>("inside"); // where the focus starts: a grid, or empty for the first control
    QTest::addColumn<QString>("lastButton");
    QTest::newRow("entry") << "input"
                           << "D_input" << QString() << "Command2";
    QTest::newRow("list") << "list"
                          << "D_list"
                          << "DBGrid1"
                          << "Command1";
    QTest::newRow("todo") << "todo"
                          << "ToDo_list"
                          << "DBGrid1"
                          << "Command1";
    QTest::newRow("options") << "settei"
                             << "frmOptions" << QString() << "cmdApply";
    QTest::newRow("version") << "ver"
                             << "VerWindow" << QString() << "Command1";
}

// From inside the window (its grid where it has one) Tab reaches the window's last button, and
// Escape closes the window from there; the focus is back on the day it was opened from.
void TestKeyboard::windowKeys() {
    QFETCH(QString, action);
    QFETCH(QString, name);
    QFETCH(QString, inside);
    QFETCH(QString, lastButton);
    testrows::addDays(fx_->schedule, {{QStringLiteral("2026/3/1"), 1, 1.0, QStringLiteral("一")},
                                      {QStringLiteral("2026/3/2"), 1, 1.0, QStringLiteral("二")}});
    testrows::addTodos(fx_->schedule, {QStringLiteral("牛乳"), QStringLiteral("手紙")});
    const QDate day(2026, 3, 12);
    start(day);
    main_->menuAction(action)->trigger();
    QTRY_VERIFY(window(name));
    QWidget* w = window(name);
    w->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), w);
    if (!inside.isEmpty()) {
        auto* grid = w->findChild<controls::DataGrid*>(inside);
        QVERIFY(grid);
        grid->setFocus();
        QTRY_COMPARE(focused(), grid);
        QTest::keyClick(grid, Qt::Key_Down);
    } else if (!focused() || focused()->window() != w) {
        QTest::keyClick(w, Qt::Key_Tab);
    }
    QVERIFY2(focused() && focused()->window() == w,
             qPrintable(focused()
                            ? focused()->objectName() + QLatin1Char(' ') + focused()->window()->objectName()
                            : QStringLiteral("none")));
    auto* last = w->findChild<QWidget*>(lastButton);
    QVERIFY(last);
    QVERIFY2(tabTo(last), qPrintable(focused() ? focused()->objectName() : QStringLiteral("nothing")));
    QTest::keyClick(last, Qt::Key_Escape);
    QTRY_VERIFY(!window(name));
    QTRY_COMPARE(panel()->focusedDay(), day);
    QVERIFY(fx_->fake.messages.isEmpty());
}

void TestKeyboard::tabOrderFollowsTheLayout_data() {
    QTest::addColumn<QString>("action"); // the menu item that opens the window; empty: the calendar
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("chain"); // object names from the first control on, Tab by Tab
    QTest::newRow("calendar") << QString() << "M_calendar2"
                              << QStringList{"Text1", "SpinButton1", "Text2", "SpinButton2", "Command5"};
    QTest::newRow("entry") << "input"
                           << "D_input"
                           << QStringList{"Command1", "Command4", "Command3", "Command2", "Combo1", "Text1",
                                          "Check1",   "Text5",    "Combo2",   "Text2",    "Check2"};
    QTest::newRow("list") << "list"
                          << "D_list"
                          << QStringList{"Check1",          "Text2",    "SpinButton1", "Combo2",  "Command3",
                                         "csvExportButton", "Command1", "Combo1",      "Combo4",  "Combo5",
                                         "Command4",        "Text1",    "Command2",    "Option1", "Command5",
                                         "Command6",        "DBGrid1"};
}

// Tab goes through each window as it reads: left to right, row by row.
void TestKeyboard::tabOrderFollowsTheLayout() {
    QFETCH(QString, action);
    QFETCH(QString, name);
    QFETCH(QStringList, chain);
    start();
    QWidget* w = main_.get();
    if (!action.isEmpty()) {
        main_->menuAction(action)->trigger();
        QTRY_VERIFY(window(name));
        w = window(name);
        w->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), w);
    }
    QWidget* first = w->findChild<QWidget*>(chain.first());
    QVERIFY(first);
    first->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(focused(), first);
    QStringList walked{chain.first()};
    while (walked.size() < chain.size()) {
        QTest::keyClick(focused(), Qt::Key_Tab);
        walked << focused()->objectName();
    }
    QCOMPARE(walked, chain);
}

// 削除 takes the row the keys moved to, not the first.
void TestKeyboard::todoDeleteTakesTheFocusedRow() {
    testrows::addTodos(fx_->schedule,
                       {QStringLiteral("牛乳"), QStringLiteral("手紙"), QStringLiteral("掃除")});
    start();
    main_->menuAction(QStringLiteral("todo"))->trigger();
    QTRY_VERIFY(window(QStringLiteral("ToDo_list")));
    QWidget* w = window(QStringLiteral("ToDo_list"));
    w->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), w);
    auto* grid = w->findChild<controls::DataGrid*>(QStringLiteral("DBGrid1"));
    auto* remove = w->findChild<QWidget*>(QStringLiteral("Command1"));
    QVERIFY(tabTo(grid));
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(grid->currentIndex().row(), 2);
    QVERIFY(tabTo(remove));
    QTest::keyClick(remove, Qt::Key_Space);
    const QString source = store::todoListSource();
    QCOMPARE(testrows::column(fx_->schedule, source, 0),
             (QStringList{QStringLiteral("牛乳"), QStringLiteral("手紙")}));
    QVERIFY(fx_->fake.messages.isEmpty());
}

void TestKeyboard::helpViewerClosesWithEscape() {
    QPointer<platform::HelpViewer> viewer = new platform::HelpViewer;
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->showContents();
    QTRY_COMPARE(QApplication::activeWindow(), viewer.data());
    QTest::keyClick(focused() ? focused() : viewer.data(), Qt::Key_Escape);
    QTRY_VERIFY(!viewer);
}

// Escape on a changed entry window asks the real save question; "はい" saves and closes, and the
// focus is back on the day.
void TestKeyboard::escapeAsksTheSaveQuestion() {
    const testsupport::RealDialogs real;
    start();
    QTest::keyClick(focused(), Qt::Key_Return, Qt::ControlModifier);
    QTRY_VERIFY(window(QStringLiteral("D_input")));
    QTRY_VERIFY(qobject_cast<QLineEdit*>(focused()));
    QTest::keyClicks(focused(), QStringLiteral("walk"));
    const testsupport::BoxAnswerer answerer(QStringLiteral("はい"));
    QTest::keyClick(focused(), Qt::Key_Escape);
    QTRY_VERIFY(!window(QStringLiteral("D_input")));
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("内容が変更されています。保存しますか？")});
    const QString query = QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 = '2026/3/5';");
    QCOMPARE(testrows::column(fx_->schedule, query, 3), QStringList{QStringLiteral("walk")});
    QTRY_COMPARE(panel()->focusedDay(), kToday);
}

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
