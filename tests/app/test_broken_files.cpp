// The whole program against a broken Schedule file: not a database, empty, a table or a field
// missing, read-only, deleted while the program runs, locked by another program. Wherever the
// user acts (entry window, day display, list window and its grid, ToDo window) the program must
// show a Japanese message carrying the engine's text, lose nothing, and keep the calendar and
// the clock running. (The alarm check over such files is tested on its own in tests/alarm.)

#define QTEST_QPA_MOUSE_HANDLING
#include "app/MainWindow.h"
#include "app/Openers.h"
#include "calendar/CalendarPanel.h"
#include "controls/ClockFace.h"
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "controls/RecordsetModel.h"
#include "controls/SpinButton.h"
#include "list/ListWindow.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "settings/ConfigFile.h"
#include "store/DayRecords.h"
#include "support/FilePermissions.h"
#include "support/Files.h"
#include "support/ProgramFixture.h"
#include "support/StoreSentences.h"
#include "support/WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRandomGenerator>
#include <QTableView>
#include <QtTest>
#include <memory>
#include <sqlite3.h>
#include <unistd.h>

using testsupport::child;
using testsupport::execSql;
using testsupport::fileBytes;
using testsupport::openCellEditor;

namespace {

enum class Broken {
    NotADatabase,
    Empty,
    NoDayTable,
    NoTodoTable,
    NoTimeField,
    NoTodoTextField,
    ReadOnly,
    Deleted,
    Locked
};

// Broken while the program runs (after the windows were opened), not before it starts.
bool breaksAtRunTime(Broken kind) {
    return kind == Broken::Deleted || kind == Broken::Locked;
}

// The first line of store::describe() for each kind of failure.
const QString kNotADatabase = testsupport::storeSentence(SQLITE_NOTADB);
const QString kBadLayout = testsupport::storeSentence(SQLITE_ERROR, QStringLiteral("no such table"));
const QString kReadOnly = testsupport::storeSentence(SQLITE_READONLY);
const QString kCannotOpen = testsupport::storeSentence(SQLITE_CANTOPEN);
const QString kInUse = testsupport::storeSentence(SQLITE_BUSY);

const QString kReadFailed = QStringLiteral("予定を読み込めませんでした。");
const QString kWriteFailed = QStringLiteral("予定を書き込めませんでした。");

void addKinds() {
    QTest::addColumn<Broken>("kind");
}

bool hasJapanese(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3040 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0xFF61 && u <= 0xFF9F))
            return true;
    }
    return false;
}

// A report of an engine error: Japanese, starting with `lead` when one is given, the plain
// sentence on a line of its own, followed by a non-empty line with the engine's own text.
QString reportProblem(const testsupport::ShownMessage& m, const QString& sentence, const QString& lead = {}) {
    if (!m.text.startsWith(lead))
        return QStringLiteral("not led by \"%1\": %2").arg(lead, m.text);
    if (m.text.trimmed().isEmpty() || !hasJapanese(m.text))
        return QStringLiteral("not a Japanese text: ") + m.text;
    const QStringList lines = m.text.split(QLatin1Char('\n'));
    const qsizetype at = lines.indexOf(sentence);
    if (at < 0)
        return QStringLiteral("\"%1\" is not a line of: %2").arg(sentence, m.text);
    if (at + 1 >= lines.size() || lines[at + 1].trimmed().isEmpty())
        return QStringLiteral("no engine text after the sentence: ") + m.text;
    if (m.icon != platform::Icon::Exclamation)
        return QStringLiteral("not an exclamation box: ") + m.text;
    return {};
}

#define VERIFY_REPORT(message, ...)                                                                          \
    do {                                                                                                     \
        const QString problem_ = reportProblem(message, __VA_ARGS__);                                        \
        QVERIFY2(problem_.isEmpty(), qPrintable(problem_));                                                  \
    } while (false)

// Moves the grid's cell cursor as a click on the cell does.
void clickCell(QTableView* grid, int row, int column) {
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(row, column));
}

} // namespace

Q_DECLARE_METATYPE(Broken)

class TestBrokenFiles : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::ProgramFixture> fx;
    std::unique_ptr<testsupport::PermissionsApply> permissions;
    QString keptInode; // a second name for the file deleted while the program runs
    std::unique_ptr<testsupport::HeldConnection> locker; // the other program

    // The file as the user sees it: at its path, or the deleted file through its second name.
    QString fileBehind() const { return keptInode.isEmpty() ? fx->schedule : keptInode; }

    void makeGoodFile() {
        QVERIFY(execSql(
            fx->schedule,
            QStringLiteral("INSERT INTO 予定表 VALUES ('2026/3/12', 1, 1, '会議', 'False', '####');"
                           "INSERT INTO 予定表 VALUES ('2026/3/5', 2, NULL, '電話する', 'True', '0930');"
                           "INSERT INTO 予定表 VALUES ('2026/3/20', 1, NULL, '歯医者', 'False', '####');"
                           "INSERT INTO ToDoリスト (やるべき事) VALUES ('牛乳を買う');"
                           "INSERT INTO ToDoリスト (やるべき事) VALUES ('歯医者の予約');")));
    }

    void breakBeforeStart(Broken kind) {
        switch (kind) {
        case Broken::NotADatabase: {
            QByteArray junk(8192, Qt::Uninitialized);
            QRandomGenerator random(8);
            for (char& c : junk)
                c = static_cast<char>(random.bounded(256));
            QFile f(fx->schedule);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(f.write(junk), junk.size());
            break;
        }
        case Broken::Empty: {
            QFile f(fx->schedule);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            break;
        }
        case Broken::NoDayTable:
        case Broken::NoTodoTable:
        case Broken::NoTimeField:
        case Broken::NoTodoTextField: {
            static const QMap<Broken, QString> sql{
                {Broken::NoDayTable, QStringLiteral("DROP TABLE 予定表;")},
                {Broken::NoTodoTable, QStringLiteral("DROP TABLE ToDoリスト;")},
                {Broken::NoTimeField, QStringLiteral("ALTER TABLE 予定表 DROP COLUMN 時刻;")},
                {Broken::NoTodoTextField, QStringLiteral("ALTER TABLE ToDoリスト DROP COLUMN やるべき事;")}};
            QVERIFY(execSql(fx->schedule, sql.value(kind)));
            break;
        }
        case Broken::ReadOnly:
            QVERIFY(
                QFile::setPermissions(fx->schedule, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            permissions = std::make_unique<testsupport::PermissionsApply>();
            {
                QFile probe(fx->schedule);
                if (probe.open(QIODevice::ReadWrite))
                    QSKIP("a read-only file cannot be made: this process writes regardless of permissions");
            }
            break;
        case Broken::Deleted:
        case Broken::Locked:
            break;
        }
    }

    void breakWhileRunning(Broken kind) {
        if (kind == Broken::Deleted) {
            keptInode = fx->env.path(QStringLiteral("kept.sdb"));
            QCOMPARE(
                ::link(QFile::encodeName(fx->schedule).constData(), QFile::encodeName(keptInode).constData()),
                0);
            QVERIFY(QFile::remove(fx->schedule));
        } else if (kind == Broken::Locked) {
            locker = std::make_unique<testsupport::HeldConnection>(fx->schedule);
            QCOMPARE(locker->exec("BEGIN EXCLUSIVE"), SQLITE_OK);
        }
    }

    // The other program ends its transaction.
    void releaseLock() {
        if (locker)
            locker->exec("ROLLBACK");
        locker.reset();
    }

    std::unique_ptr<app::MainWindow> start(Broken kind, const QStringList& extra = {}) {
        breakBeforeStart(kind);
        fx->writeSettings(extra);
        return fx->startProgram();
    }

    // The calendar still moves between months, goes back to today, and its clock follows the time.
    void calendarStillWorks(app::MainWindow* w) {
        const qsizetype shown = fx->fake.messages.size();
        QVERIFY(w->isEnabled());
        calendar::CalendarPanel* p = w->calendarPanel();
        const int builds = p->buildCount();
        p->monthSpin()->setValue(4);
        QCOMPARE(p->monthBox()->text(), QStringLiteral("4"));
        w->menuAction(QStringLiteral("kyou"))->trigger();
        QCOMPARE(p->monthBox()->text(), QStringLiteral("3"));
        QVERIFY(p->buildCount() >= builds + 2);
        fx->fake.clock = fx->fake.clock.addSecs(7);
        const QString expected =
            QLocale::system().toString(fx->fake.clock.time(), QStringLiteral("hh:mm:ss"));
        QTRY_VERIFY2(p->clockFace()->text().endsWith(expected.right(5)), qPrintable(p->clockFace()->text()));
        QCOMPARE(fx->fake.messages.size(), shown);
    }

    void rightPressDay(app::MainWindow* w, int day) {
        QPushButton* b = w->calendarPanel()->dayButton(day);
        QTest::mousePress(b, Qt::RightButton);
        QTest::mouseRelease(b, Qt::RightButton);
    }

  private Q_SLOTS:
    void initTestCase() { controls::registerFontSubstitutions(); }

    void init() {
        fx = std::make_unique<testsupport::ProgramFixture>();
        makeGoodFile();
    }

    void cleanup() {
        testsupport::closeOtherWindows();
        releaseLock();
        permissions.reset();
        keptInode.clear();
        fx.reset();
    }

    void entryWindow_data() {
        addKinds();
        QTest::addColumn<QString>("readFailure");  // opening the window (after the file broke)
        QTest::addColumn<QString>("writeFailure"); // saving in it; empty: the save works
        QTest::newRow("not a database") << Broken::NotADatabase << kNotADatabase << QString();
        QTest::newRow("empty file") << Broken::Empty << kBadLayout << QString();
        QTest::newRow("no 予定表") << Broken::NoDayTable << kBadLayout << QString();
        QTest::newRow("no ToDoリスト") << Broken::NoTodoTable << QString() << QString();
        QTest::newRow("予定表 without 時刻") << Broken::NoTimeField << QString() << kBadLayout;
        QTest::newRow("read-only") << Broken::ReadOnly << QString() << kReadOnly;
        QTest::newRow("deleted while running") << Broken::Deleted << kCannotOpen << kCannotOpen;
        QTest::newRow("locked by another program") << Broken::Locked << kInUse << kInUse;
    }

    void entryWindow() {
        QFETCH(Broken, kind);
        QFETCH(QString, readFailure);
        QFETCH(QString, writeFailure);
        auto w = start(kind);
        const QByteArray before = fileBytes(fx->schedule);

        rightPressDay(w.get(), 12);
        QPointer<QWidget> entry = w->findChild<QWidget*>(QStringLiteral("D_input"));
        if (!breaksAtRunTime(kind) && !readFailure.isEmpty()) {
            QCOMPARE(fx->fake.messages.size(), 1);
            VERIFY_REPORT(fx->fake.messages[0], readFailure, kReadFailed);
            QTRY_VERIFY(!entry);
            QCOMPARE(fileBytes(fx->schedule), before);
            calendarStillWorks(w.get());
            return;
        }
        QVERIFY(entry && entry->isVisible());
        QVERIFY(fx->fake.messages.isEmpty());
        breakWhileRunning(kind);

        auto* text2 = child<QLineEdit>(entry, "Text2");
        text2->setText(QStringLiteral("新しい予定"));
        QTest::mouseClick(child<QAbstractButton>(entry, "Command4"), Qt::LeftButton);
        if (writeFailure.isEmpty()) {
            QVERIFY(fx->fake.messages.isEmpty());
            QCOMPARE(
                testsupport::sqlColumn(
                    fx->schedule,
                    QStringLiteral("SELECT 内容 FROM 予定表 WHERE 年月日='2026/3/12' ORDER BY 項目番号")),
                (QStringList{QStringLiteral("会議"), QStringLiteral("新しい予定")}));
        } else {
            QCOMPARE(fx->fake.messages.size(), 1);
            VERIFY_REPORT(fx->fake.messages[0], writeFailure, kWriteFailed);
            // The refused save keeps what was typed, and the file is as it was.
            QVERIFY(entry->isVisible());
            QCOMPARE(text2->text(), QStringLiteral("新しい予定"));
            QCOMPARE(child<QLineEdit>(entry, "Text1")->text(), QStringLiteral("会議"));
            QCOMPARE(fileBytes(fileBehind()), before);
        }
        // Closing asks about the unsaved text when the save failed; "No" closes.
        const qsizetype shown = fx->fake.messages.size();
        QTest::mouseClick(child<QAbstractButton>(entry, "Command2"), Qt::LeftButton);
        QCOMPARE(fx->fake.messages.size(), shown + (writeFailure.isEmpty() ? 0 : 1));
        QTRY_VERIFY(!entry);
        QVERIFY(w->isEnabled());

        if (breaksAtRunTime(kind)) {
            // Opening again now reports the broken file instead of an empty day.
            rightPressDay(w.get(), 12);
            entry = w->findChild<QWidget*>(QStringLiteral("D_input"));
            QCOMPARE(fx->fake.messages.size(), shown + 2);
            VERIFY_REPORT(fx->fake.messages.last(), readFailure, kReadFailed);
            QTRY_VERIFY(!entry);
            QCOMPARE(fileBytes(fileBehind()), before);
            if (kind == Broken::Deleted)
                QVERIFY(!QFile::exists(fx->schedule)); // nothing made a new, empty file at the path
        }
        calendarStillWorks(w.get());
    }

    void dayDisplay_data() {
        addKinds();
        QTest::addColumn<QString>("failure"); // empty: the day's item is shown
        QTest::newRow("not a database") << Broken::NotADatabase << kNotADatabase;
        QTest::newRow("empty file") << Broken::Empty << kBadLayout;
        QTest::newRow("no 予定表") << Broken::NoDayTable << kBadLayout;
        QTest::newRow("no ToDoリスト") << Broken::NoTodoTable << QString();
        QTest::newRow("予定表 without 時刻") << Broken::NoTimeField << QString();
        QTest::newRow("read-only") << Broken::ReadOnly << QString();
        QTest::newRow("deleted while running") << Broken::Deleted << kCannotOpen;
        QTest::newRow("locked by another program") << Broken::Locked << kInUse;
    }

    void dayDisplay() {
        QFETCH(Broken, kind);
        QFETCH(QString, failure);
        auto w = start(kind);
        breakWhileRunning(kind);
        const QByteArray before = fileBytes(fileBehind());
        QTest::mouseClick(w->calendarPanel()->dayButton(12), Qt::LeftButton);
        QPointer<QWidget> display = w->findChild<QWidget*>(QStringLiteral("D_output"));
        if (failure.isEmpty()) {
            QVERIFY(fx->fake.messages.isEmpty());
            QVERIFY(display && display->isVisible());
            QCOMPARE(child<QLabel>(display, "Label1")->text(), QStringLiteral("会議"));
            QTest::mouseClick(child<QAbstractButton>(display, "Command1"), Qt::LeftButton);
        } else {
            QCOMPARE(fx->fake.messages.size(), 1);
            VERIFY_REPORT(fx->fake.messages[0], failure, kReadFailed);
            QVERIFY(!display || !display->isVisible());
        }
        QVERIFY(w->isEnabled());
        QCOMPARE(fileBytes(fileBehind()), before);
        calendarStillWorks(w.get());
    }

    void listWindow_data() {
        addKinds();
        QTest::addColumn<QString>("openFailure");  // opening the window
        QTest::addColumn<QString>("writeFailure"); // deleting and editing in its grid; empty: both work
        QTest::newRow("not a database") << Broken::NotADatabase << kNotADatabase << QString();
        QTest::newRow("empty file") << Broken::Empty << kBadLayout << QString();
        QTest::newRow("no 予定表") << Broken::NoDayTable << kBadLayout << QString();
        QTest::newRow("no ToDoリスト") << Broken::NoTodoTable << QString() << QString();
        QTest::newRow("予定表 without 時刻") << Broken::NoTimeField << QString() << QString();
        QTest::newRow("read-only") << Broken::ReadOnly << QString() << kReadOnly;
        QTest::newRow("deleted while running") << Broken::Deleted << QString() << kCannotOpen;
        QTest::newRow("locked by another program") << Broken::Locked << QString() << kInUse;
    }

    void listWindow() {
        QFETCH(Broken, kind);
        QFETCH(QString, openFailure);
        QFETCH(QString, writeFailure);
        auto w = start(kind);
        const QByteArray before = fileBytes(fx->schedule);
        w->menuAction(QStringLiteral("list"))->trigger();
        QPointer<QWidget> list = w->findChild<QWidget*>(QStringLiteral("D_list"));
        QVERIFY(list && list->isVisible());
        auto* grid = child<QTableView>(list, "DBGrid1");
        auto* remove = child<QAbstractButton>(list, "Command3");
        if (!openFailure.isEmpty()) {
            QCOMPARE(fx->fake.messages.size(), 1);
            VERIFY_REPORT(fx->fake.messages[0], openFailure);
            // An empty grid: deleting does nothing and says nothing more.
            QCOMPARE(grid->model()->rowCount(), 0);
            QTest::mouseClick(remove, Qt::LeftButton);
            QCOMPARE(fx->fake.messages.size(), 1);
        } else {
            QVERIFY(fx->fake.messages.isEmpty());
            QCOMPARE(grid->model()->rowCount(), 3);
            breakWhileRunning(kind);

            // Delete the first row.
            clickCell(grid, 0, 3);
            QTest::mouseClick(remove, Qt::LeftButton);
            // Edit the content of the (new) first row; leaving the row writes it.
            clickCell(grid, 0, 3);
            QTest::keyClick(grid, Qt::Key_F2);
            QLineEdit* editor = openCellEditor(grid);
            if (kind == Broken::Locked) {
                // Rows cannot even be read while another program holds the file locked: they say
                // so and offer no editor, and show again once the lock is gone.
                QVERIFY(!editor);
                QCOMPARE(grid->model()->index(0, 3).data().toString(), controls::RecordsetModel::kUnreadable);
                QCOMPARE(fx->fake.messages.size(), 1);
                VERIFY_REPORT(fx->fake.messages[0], writeFailure);
                releaseLock();
                QCOMPARE(grid->model()->rowCount(), 3);
                QTRY_COMPARE(grid->model()->index(0, 3).data().toString(), QStringLiteral("会議"));
                QCOMPARE(fileBytes(fileBehind()), before);
            } else {
                QVERIFY(editor);
                editor->setText(QStringLiteral("変更"));
                clickCell(grid, 1, 3);
                if (writeFailure.isEmpty()) {
                    QVERIFY(fx->fake.messages.isEmpty());
                    QCOMPARE(testsupport::sqlColumn(fx->schedule, QStringLiteral("SELECT 内容 FROM 予定表")),
                             (QStringList{QStringLiteral("変更"), QStringLiteral("歯医者")}));
                } else {
                    QCOMPARE(fx->fake.messages.size(), 2);
                    VERIFY_REPORT(fx->fake.messages[0], writeFailure);
                    VERIFY_REPORT(fx->fake.messages[1], writeFailure);
                    // The refused edit waits in its editor; Escape gives it up.
                    QTRY_VERIFY(openCellEditor(grid));
                    QTest::keyClick(openCellEditor(grid), Qt::Key_Escape);
                    QCOMPARE(fileBytes(fileBehind()), before);
                }
            }
        }
        const qsizetype shown = fx->fake.messages.size();
        QTest::mouseClick(child<QAbstractButton>(list, "Command1"), Qt::LeftButton);
        QTRY_VERIFY(!list);
        QCOMPARE(fx->fake.messages.size(), shown);
        if (!writeFailure.isEmpty() || !openFailure.isEmpty())
            QCOMPARE(fileBytes(fileBehind()), before);
        calendarStillWorks(w.get());
    }

    // While another program holds the file locked, a repaint of the list grid waits for the lock
    // once, not once for every cell of every row (the busy timeout is seconds).
    void lockedGridWaitsOnce() {
        auto w = start(Broken::Locked);
        w->menuAction(QStringLiteral("list"))->trigger();
        auto* list = w->findChild<list::ListWindow*>(QStringLiteral("D_list"));
        QVERIFY(list && list->grid()->dataControl().connection());
        auto* grid = child<QTableView>(list, "DBGrid1");
        QCOMPARE(grid->model()->rowCount(), 3);
        int waits = 0;
        sqlite3_busy_handler(
            list->grid()->dataControl().connection()->handle(),
            [](void* count, int) {
                ++*static_cast<int*>(count);
                return 0; // give up at once
            },
            &waits);
        breakWhileRunning(Broken::Locked);
        QVERIFY(!grid->grab().isNull()); // paints every visible cell
        QVERIFY(waits >= 1);
        QVERIFY2(waits <= 2, qPrintable(QString::number(waits)));
        QVERIFY(fx->fake.messages.isEmpty());
        releaseLock();
        // Rows read again once the short pause after the locked read is over.
        QTRY_COMPARE(grid->model()->index(1, 3).data().toString(), QStringLiteral("電話する"));
        list->close();
    }

    void todoWindow_data() {
        addKinds();
        QTest::addColumn<QString>("openFailure");  // opening the window
        QTest::addColumn<QString>("writeFailure"); // adding and deleting an entry; empty: both work
        QTest::newRow("not a database") << Broken::NotADatabase << kNotADatabase << QString();
        QTest::newRow("empty file") << Broken::Empty << kBadLayout << QString();
        QTest::newRow("no 予定表") << Broken::NoDayTable << QString() << QString();
        QTest::newRow("no ToDoリスト") << Broken::NoTodoTable << kBadLayout << QString();
        QTest::newRow("予定表 without 時刻") << Broken::NoTimeField << QString() << QString();
        QTest::newRow("ToDoリスト without やるべき事") << Broken::NoTodoTextField << kBadLayout << QString();
        QTest::newRow("read-only") << Broken::ReadOnly << QString() << kReadOnly;
        QTest::newRow("deleted while running") << Broken::Deleted << QString() << kCannotOpen;
        QTest::newRow("locked by another program") << Broken::Locked << QString() << kInUse;
    }

    void todoWindow() {
        QFETCH(Broken, kind);
        QFETCH(QString, openFailure);
        QFETCH(QString, writeFailure);
        auto w = start(kind);
        const QByteArray before = fileBytes(fx->schedule);
        w->menuAction(QStringLiteral("todo"))->trigger();
        QPointer<QWidget> todo = w->findChild<QWidget*>(QStringLiteral("ToDo_list"));
        QVERIFY(todo && todo->isVisible());
        auto* grid = child<QTableView>(todo, "DBGrid1");
        auto* remove = child<QAbstractButton>(todo, "Command1");
        if (!openFailure.isEmpty()) {
            QCOMPARE(fx->fake.messages.size(), 1);
            VERIFY_REPORT(fx->fake.messages[0], openFailure);
            QTest::mouseClick(remove, Qt::LeftButton);
            QCOMPARE(fx->fake.messages.size(), 1);
        } else {
            QVERIFY(fx->fake.messages.isEmpty());
            QCOMPARE(grid->model()->rowCount(), 3); // two entries and the empty new row
            breakWhileRunning(kind);

            // Add an entry on the new row, typed through an input method; Down leaves the row.
            clickCell(grid, 2, 0);
            QInputMethodEvent typed;
            typed.setCommitString(QStringLiteral("新しい用事"));
            QApplication::sendEvent(grid, &typed);
            QLineEdit* editor = openCellEditor(grid);
            QVERIFY(editor);
            QTest::keyClick(editor, Qt::Key_Return);
            QTest::keyClick(grid, Qt::Key_Down);
            // Delete the first entry.
            clickCell(grid, 0, 0);
            QTest::mouseClick(remove, Qt::LeftButton);
            if (writeFailure.isEmpty()) {
                QVERIFY(fx->fake.messages.isEmpty());
                QCOMPARE(
                    testsupport::sqlColumn(fx->schedule, QStringLiteral("SELECT やるべき事 FROM ToDoリスト")),
                    (QStringList{QStringLiteral("歯医者の予約"), QStringLiteral("新しい用事")}));
            } else {
                QCOMPARE(fx->fake.messages.size(), 2);
                VERIFY_REPORT(fx->fake.messages[0], writeFailure);
                VERIFY_REPORT(fx->fake.messages[1], writeFailure);
                // The refused entry waits in its editor; Escape gives it up.
                QTRY_VERIFY(openCellEditor(grid));
                QTest::keyClick(openCellEditor(grid), Qt::Key_Escape);
                releaseLock();
                QTRY_COMPARE(grid->model()->index(0, 0).data().toString(), QStringLiteral("牛乳を買う"));
                QCOMPARE(fileBytes(fileBehind()), before);
            }
        }
        const qsizetype shown = fx->fake.messages.size();
        todo->close();
        QTRY_VERIFY(!todo);
        QCOMPARE(fx->fake.messages.size(), shown);
        QVERIFY(!w->todoChecked());
        if (!writeFailure.isEmpty() || !openFailure.isEmpty())
            QCOMPARE(fileBytes(fileBehind()), before);
        calendarStillWorks(w.get());
    }
};

QTEST_MAIN(TestBrokenFiles)
#include "test_broken_files.moc"
