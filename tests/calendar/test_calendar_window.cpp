// The calendar main window driven through its real widgets: start-up order, the month grid and
// its colouring, the Selected-date marker, navigation, the menus and the shut-down.

#define QTEST_QPA_MOUSE_HANDLING
#include "app/MainWindow.h"
#include "calendar/CalendarPanel.h"
#include "calendar/MonthGrid.h"
#include "controls/CaretRest.h"
#include "controls/ClassicColours.h"
#include "controls/ClockFace.h"
#include "controls/Fonts.h"
#include "controls/SpinButton.h"
#include "platform/Colors.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "settings/ConfigFile.h"
#include "store/DayRecords.h"
#include "support/ProgramFixture.h"
#include "support/SettingsRecords.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleHints>
#include <QToolButton>
#include <QtTest>
#include <memory>

using calendar::CalendarPanel;

namespace {

// Records which windows the calendar asked to open.
struct Calls {
    QStringList log;
    app::WindowOpeners openers() {
        app::WindowOpeners o;
        o.entry = [this](shell::Host& h) {
            log << QStringLiteral("entry ") + store::dateString(h.selectedDate());
        };
        o.dayDisplay = [this](shell::Host& h) {
            log << QStringLiteral("display ") + store::dateString(h.selectedDate());
        };
        o.list = [this](shell::Host&) { log << QStringLiteral("list"); };
        o.openTodo = [this](shell::Host&) -> QWidget* {
            log << QStringLiteral("todo open");
            return nullptr;
        };
        o.closeTodo = [this] { log << QStringLiteral("todo close"); };
        o.options = [this](shell::Host&) { log << QStringLiteral("options"); };
        return o;
    }
};

void addItem(const QString& file, const QDate& date, int slot, const QString& content) {
    store::DataControl data;
    QVERIFY(store::openDayTable(data, file).ok());
    store::SlotItem item;
    item.content = content;
    QVERIFY(store::saveSlot(data, store::dateString(date), slot, item).ok());
}

QColor background(QPushButton* b) {
    return b->palette().color(QPalette::Button);
}

// The colour that covers most of a button's face (inside its two-pixel bevel) in `image`, a grab
// of the button's parent panel.
QColor faceColour(const QImage& image, QWidget* panel, QWidget* button) {
    const QRect face = QRect(button->mapTo(panel, QPoint(0, 0)), button->size()).adjusted(2, 2, -2, -2);
    QHash<QRgb, int> counts;
    for (int y = face.top(); y <= face.bottom(); ++y)
        for (int x = face.left(); x <= face.right(); ++x)
            ++counts[image.pixel(x, y)];
    const auto most = std::max_element(counts.cbegin(), counts.cend());
    return QColor::fromRgb(most.key());
}

// Every day button carries the caption that the month named by the boxes lays there.
void verifyGridMatchesBoxes(CalendarPanel* p) {
    const int year = p->yearBox()->text().toInt(), month = p->monthBox()->text().toInt();
    QCOMPARE(p->yearSpin()->value(), year);
    QCOMPARE(p->monthSpin()->value(), month);
    const std::array<int, calendar::kDayButtons> days = calendar::layMonth(year, month);
    for (int n = 1; n <= calendar::kDayButtons; ++n) {
        const int day = days[static_cast<size_t>(n - 1)];
        QCOMPARE(p->dayButton(n)->text(), day ? QString::number(day) : QString());
    }
}

} // namespace

class TestCalendarWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::ProgramFixture> fx;
    Calls calls;

    // A main window started on an existing Schedule file with the given extra settings lines.
    std::unique_ptr<app::MainWindow> start(const QStringList& extra = {}) {
        fx->writeSettings(extra);
        return fx->startProgram(calls.openers());
    }

  private Q_SLOTS:
    void initTestCase() { controls::registerFontSubstitutions(); }

    void init() {
        fx = std::make_unique<testsupport::ProgramFixture>();
        fx->fake.clock = QDateTime(QDate(2026, 3, 5), QTime(9, 30, 0));
        calls.log.clear();
    }
    void cleanup() { fx.reset(); }

    // The cursor of the focused year box stops blinking while nobody types, and blinks again at
    // the desktop's rate on a key press; the rate is the desktop's again once the rest ends.
    void caretRestsWhileNobodyTypes() {
        auto w = start();
        QStyleHints* hints = QGuiApplication::styleHints();
        const int desktop = hints->cursorFlashTime();
        QVERIFY(desktop > 0);
        {
            const controls::CaretRest rest(nullptr, 50);
            QTRY_VERIFY(rest.resting());
            QCOMPARE(hints->cursorFlashTime(), 0);
            QTest::keyClick(w->calendarPanel()->yearBox(), Qt::Key_End);
            QVERIFY(!rest.resting());
            QCOMPARE(hints->cursorFlashTime(), desktop);
            QTRY_VERIFY(rest.resting());
        }
        QCOMPARE(hints->cursorFlashTime(), desktop);
    }

    // Each new time repaints only the characters that changed, and what is on screen then is what a
    // full paint of the time draws; a text of another length or one that needs shaping repaints
    // the whole face.
    void clockRepaintsOnlyWhatChanged() {
        const auto makeFace = [](const QString& text) {
            auto face = std::make_unique<controls::ClockFace>();
            face->setFont(controls::gothicFont(12, true));
            face->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            face->setAutoFillBackground(true);
            face->resize(73, 25);
            face->setText(text);
            return face;
        };
        auto face = makeFace(QStringLiteral("09:59:58"));
        const QRect contents = face->contentsRect();
        const QRect lastDigit = face->changedArea(QStringLiteral("09:59:58"), QStringLiteral("09:59:59"));
        QVERIFY2(!lastDigit.isEmpty() && lastDigit.width() < contents.width() / 3 &&
                     lastDigit.right() >= contents.center().x(),
                 qPrintable(QStringLiteral("%1 of %2").arg(lastDigit.width()).arg(contents.width())));
        QCOMPARE(face->changedArea(QStringLiteral("9:59:59"), QStringLiteral("10:00:00")), contents);
        QCOMPARE(face->changedArea(QStringLiteral("ص 9:59"), QStringLiteral("ص 9:58")), contents);
        QVERIFY(face->changedArea(QStringLiteral("10:00:00"), QStringLiteral("10:00:00")).isEmpty());

        face->show();
        QVERIFY(QTest::qWaitForWindowExposed(face.get()));
        for (const char* time : {"09:59:59", "10:00:00", "10:00:01", "9:00:01", "ص 9:58", "10:11:11"}) {
            face->setText(QString::fromUtf8(time));
            QCoreApplication::sendPostedEvents();
            const QImage shown = face->screen()->grabWindow(face->winId()).toImage();
            const QImage full = makeFace(QString::fromUtf8(time))->grab().toImage();
            QVERIFY2(shown.convertToFormat(QImage::Format_RGB32) ==
                         full.convertToFormat(QImage::Format_RGB32),
                     time);
        }
        // A screen reader reads it as a label: the time is its name.
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(face.get());
        QCOMPARE(reader->role(), QAccessible::StaticText);
        QCOMPARE(reader->text(QAccessible::Name), QStringLiteral("10:11:11"));
    }

    // The windows ask Qt for a face that is installed: asking for a missing one with a list of
    // stand-ins makes Qt sort every installed face for each script, a fifth of the start-up.
    void facesAreAskedForByInstalledName() {
        const QStringList installed = QFontDatabase::families();
        for (const QFont& font : {controls::gothicFont(9), controls::minchoFont(9),
                                  controls::markerFont(controls::gothicFont(9))})
            QVERIFY2(installed.contains(font.family(), Qt::CaseInsensitive), qPrintable(font.family()));
    }

    void firstStartCreatesDefaultFile() {
        app::MainWindow w(fx->env.programFolder(), calls.openers());
        w.startUp();
        QCOMPARE(fx->fake.messages.size(), 1);
        const QString def = platform::joinPath(fx->env.programFolder(), QStringLiteral("DEFAULT.SDB"));
        QCOMPARE(w.settings().scheduleFile, def);
        QVERIFY(QFile::exists(def));
        QVERIFY(w.isVisible());
        w.close();
        const auto text = platform::readTextFile(fx->settingsPath());
        QVERIFY(text);
        QVERIFY(text->split(QStringLiteral("\r\n")).contains(QStringLiteral("START_FILE=") + def));
    }

    void startUpOrder() {
        // Settings are read before the grid: KARE_ON and kareCRL colour today's item at once.
        addItem(fx->schedule, QDate(2026, 3, 12), 4, QStringLiteral("会議"));
        bool shownAtStoredPlace = false;
        struct ShowWatch : QObject {
            bool* ok;
            explicit ShowWatch(bool* o) : ok(o) {}
            bool eventFilter(QObject* o, QEvent* e) override {
                if (e->type() == QEvent::Show)
                    *ok = static_cast<QWidget*>(o)->pos() == QPoint(100, 80);
                return false;
            }
        };
        fx->writeSettings({QStringLiteral("KARE_ON=True"), QStringLiteral("kareCRL=255"),
                           QStringLiteral("TOP=1200"), QStringLiteral("LEFT=1500"),
                           QStringLiteral("START_OUT=True"), QStringLiteral("ToDo_ON=True")});
        app::MainWindow w(fx->env.programFolder(), calls.openers());
        ShowWatch watch(&shownAtStoredPlace);
        w.installEventFilter(&watch);
        w.startUp();
        QVERIFY(shownAtStoredPlace);
        QCOMPARE(calls.log, QStringList({QStringLiteral("display 2026/3/5"), QStringLiteral("todo open")}));
        QVERIFY(w.todoChecked());
        QVERIFY(w.menuAction(QStringLiteral("todo"))->isChecked());
        // The keys start on the Selected date: no text box, so no cursor blinks at start.
        QCOMPARE(w.calendarPanel()->focusedDay(), QDate(2026, 3, 5));
        // As drawn: the marked day filled with exactly its colour, the others and blank cells not.
        CalendarPanel* p = w.calendarPanel();
        const QImage image = p->grab().toImage();
        const QColor blank = platform::toQColor(CalendarPanel::kBlankColor);
        QCOMPARE(faceColour(image, p, p->dayButton(12)), QColor(255, 0, 0));
        QCOMPARE(faceColour(image, p, p->dayButton(11)), blank);
        QCOMPARE(faceColour(image, p, p->dayButton(calendar::kDayButtons)), blank);
        QVERIFY(fx->fake.messages.isEmpty());
    }

    // At every device pixel ratio the marked colour stays inside the raised edge: the outermost
    // pixels on the right and at the bottom are the dark edge, also where the button starts on a
    // half device pixel.
    void markedDayStaysInsideItsEdge_data() {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<int>("offset"); // logical pixels from the image's corner
        QTest::newRow("1x") << 1.0 << 0;
        QTest::newRow("1.5x") << 1.5 << 0;
        QTest::newRow("1.5x at a half pixel") << 1.5 << 1;
        QTest::newRow("2x") << 2.0 << 0;
    }
    void markedDayStaysInsideItsEdge() {
        QFETCH(qreal, ratio);
        QFETCH(int, offset);
        addItem(fx->schedule, QDate(2026, 3, 12), 1, QStringLiteral("会議"));
        auto w = start({QStringLiteral("KARE_ON=True"), QStringLiteral("kareCRL=8454143")});
        QPushButton* day = w->calendarPanel()->dayButton(12);
        QCOMPARE(background(day), QColor(0xFF, 0xFF, 0x80));
        const QColor outside(0, 0, 255);
        const QSize logical = day->size() + QSize(2 * offset, 2 * offset);
        QPixmap pixmap(QSizeF(logical * ratio).toSize());
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(outside);
        day->render(&pixmap, QPoint(offset, offset), QRegion(), QWidget::DrawChildren);
        const QImage image = pixmap.toImage();
        const auto painted = [&](int x, int y) { return image.pixelColor(x, y) != outside; };
        int rows = 0, columns = 0;
        for (int y = 0; y < image.height(); ++y) {
            int x = image.width() - 1;
            while (x >= 0 && !painted(x, y))
                --x;
            if (x < 0)
                continue;
            ++rows;
            QCOMPARE(image.pixelColor(x, y), controls::kDarkShadow);
        }
        for (int x = 0; x < image.width(); ++x) {
            int y = image.height() - 1;
            while (y >= 0 && !painted(x, y))
                --y;
            if (y < 0)
                continue;
            ++columns;
            QCOMPARE(image.pixelColor(x, y), controls::kDarkShadow);
        }
        QVERIFY(qAbs(rows - day->height() * ratio) <= 1);
        QVERIFY(qAbs(columns - day->width() * ratio) <= 1);
    }

    void startMinimisedWithoutTodo() {
        auto w = start({QStringLiteral("START_MIN=True"), QStringLiteral("ToDo_ON=False")});
        QVERIFY(w->isMinimized());
        QVERIFY(!w->todoChecked());
        QVERIFY(calls.log.isEmpty());
    }

    // March 2026 to February 2026: cells 29-31 are blanked; blank cells take no clicks.
    void gridAfterMonthChange() {
        auto w = start();
        CalendarPanel* p = w->calendarPanel();
        // A holiday's name stands above the frame's tip; other days show the frame's tip alone.
        const QString frameTip = p->dayButton(1)->parentWidget()->toolTip();
        QCOMPARE(p->dayButton(20)->toolTip(), QStringLiteral("春分の日\n") + frameTip);
        QTest::mouseClick(p->monthSpin()->downButton(), Qt::LeftButton);
        verifyGridMatchesBoxes(p);
        QCOMPARE(p->monthBox()->text(), QStringLiteral("2"));
        for (int n = 1; n <= 42; ++n)
            QCOMPARE(p->dayButton(n)->isEnabled(), !p->dayButton(n)->text().isEmpty());
        QCOMPARE(background(p->dayButton(29)), platform::toQColor(CalendarPanel::kBlankColor));
        QCOMPARE(p->dayButton(11)->toolTip(), QStringLiteral("建国記念の日\n") + frameTip);
        QCOMPARE(p->dayButton(20)->toolTip(), QString());
    }

    void colouringOffMakesNoQuery() {
        addItem(fx->schedule, QDate(2026, 3, 12), 1, QStringLiteral("x"));
        auto w = start({QStringLiteral("KARE_ON=False")});
        QCOMPARE(background(w->calendarPanel()->dayButton(12)),
                 platform::toQColor(CalendarPanel::kBlankColor));
        // Switching the colouring on shows the day at the next rebuild.
        w->settings().markDaysWithItems = true;
        w->rebuildMonthGrid();
        QCOMPARE(background(w->calendarPanel()->dayButton(12)),
                 platform::toQColor(settings::kDefaultMarkedDayColor));
    }

    void markerFollowsSelectedDate() {
        auto w = start();
        CalendarPanel* p = w->calendarPanel();
        const QFont plain = controls::gothicFont(9);
        auto marked = [&] {
            QList<int> n;
            for (int i = 1; i <= 37; ++i)
                if (p->dayButton(i)->font() != plain)
                    n << i;
            return n;
        };
        QCOMPARE(marked(), QList<int>({5})); // today, 5 March 2026 (March starts on Sunday)
        QTest::mouseClick(p->dayButton(12), Qt::LeftButton);
        QCOMPARE(p->selectedDate(), QDate(2026, 3, 12));
        QCOMPARE(marked(), QList<int>({12}));
        QCOMPARE(calls.log, QStringList({QStringLiteral("display 2026/3/12")}));
        QTest::mouseClick(p->monthSpin()->upButton(), Qt::LeftButton);
        QCOMPARE(marked(), QList<int>());
        QTest::mouseClick(p->monthSpin()->downButton(), Qt::LeftButton);
        QCOMPARE(marked(), QList<int>({12}));
        // 今日 goes back to today from another year.
        p->yearSpin()->setValue(2030);
        w->menuAction(QStringLiteral("kyou"))->trigger();
        QCOMPARE(p->yearBox()->text(), QStringLiteral("2026"));
        QCOMPARE(p->monthBox()->text(), QStringLiteral("3"));
        verifyGridMatchesBoxes(p);
        QCOMPARE(p->selectedDate(), QDate(2026, 3, 5));
        QCOMPARE(marked(), QList<int>({5}));
    }

    void rightPressOpensEntry() {
        auto w = start();
        CalendarPanel* p = w->calendarPanel();
        QTest::mousePress(p->dayButton(12), Qt::MiddleButton);
        QTest::mouseRelease(p->dayButton(12), Qt::MiddleButton);
        QVERIFY(calls.log.isEmpty());
        QTest::mousePress(p->dayButton(12), Qt::RightButton);
        QCOMPARE(calls.log, QStringList({QStringLiteral("entry 2026/3/12")}));
        QVERIFY(!w->isEnabled());
        QVERIFY(p->dayButton(12)->font() != controls::gothicFont(9));
        // While disabled, the close box does not end the program.
        w->setMainEnabled(true);
    }

    // The month spin wraps into the next or last year; the year stays within 100..3000.
    void spins_data() {
        QTest::addColumn<QDate>("shown");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QDate>("then");
        QTest::newRow("January back") << QDate(2026, 1, 1) << "month down" << QDate(2025, 12, 1);
        QTest::newRow("December on") << QDate(2025, 12, 1) << "month up" << QDate(2026, 1, 1);
        QTest::newRow("year on") << QDate(2026, 1, 1) << "year up" << QDate(2027, 1, 1);
        QTest::newRow("past the last year") << QDate(3000, 12, 1) << "month up" << QDate(3000, 12, 1);
        QTest::newRow("before the first year") << QDate(100, 1, 1) << "month down" << QDate(100, 1, 1);
        QTest::newRow("year before the first") << QDate(100, 1, 1) << "year down" << QDate(100, 1, 1);
    }
    void spins() {
        QFETCH(QDate, shown);
        QFETCH(QString, button);
        QFETCH(QDate, then);
        auto w = start();
        CalendarPanel* p = w->calendarPanel();
        p->yearSpin()->setValue(shown.year());
        p->monthSpin()->setValue(shown.month());
        controls::SpinButton* spin =
            button.startsWith(QLatin1String("year")) ? p->yearSpin() : p->monthSpin();
        QTest::mouseClick(button.endsWith(QLatin1String("up")) ? spin->upButton() : spin->downButton(),
                          Qt::LeftButton);
        QCOMPARE(p->yearBox()->text(), QString::number(then.year()));
        QCOMPARE(p->monthBox()->text(), QString::number(then.month()));
        verifyGridMatchesBoxes(p);
    }

    void typedTextRestoresLastGoodValue() {
        auto w = start();
        CalendarPanel* p = w->calendarPanel();
        p->yearBox()->setText(QStringLiteral("abc"));
        Q_EMIT p->yearBox()->editingFinished();
        QCOMPARE(p->yearBox()->text(), QStringLiteral("2026"));
        p->monthBox()->setText(QStringLiteral("13"));
        w->rebuildMonthGrid(); // a rebuild never uses the bad text
        QCOMPARE(p->monthBox()->text(), QStringLiteral("3"));
        QCOMPARE(p->dayButton(1)->text(), QStringLiteral("1"));
        // A valid typed year takes effect at once.
        p->yearBox()->setText(QStringLiteral("2024"));
        Q_EMIT p->yearBox()->editingFinished();
        QCOMPARE(p->yearSpin()->value(), 2024);
        QCOMPARE(p->dayButton(6)->text(), QStringLiteral("1")); // 1 March 2024 is a Friday
    }

    // A year typed without Enter is taken by the next rebuild; confirming the old year later
    // must bring the grid back, and every day click is then a real date of the shown month.
    void boxesNeverDriftFromGrid() {
        fx->fake.clock = QDateTime(QDate(2026, 2, 10), QTime(12, 0));
        auto w = start();
        CalendarPanel* p = w->calendarPanel();
        p->yearBox()->selectAll();
        QTest::keyClicks(p->yearBox(), QStringLiteral("2028"));
        QTest::mouseClick(p->monthSpin()->downButton(), Qt::LeftButton);
        QTest::mouseClick(p->monthSpin()->upButton(), Qt::LeftButton);
        QCOMPARE(p->yearBox()->text(), QStringLiteral("2028"));
        verifyGridMatchesBoxes(p);
        p->yearBox()->selectAll();
        QTest::keyClicks(p->yearBox(), QStringLiteral("2026"));
        QTest::keyClick(p->yearBox(), Qt::Key_Return);
        QCOMPARE(p->monthBox()->text(), QStringLiteral("2"));
        verifyGridMatchesBoxes(p);
        // The boxes may also be left holding another month; a day click rebuilds first.
        p->monthBox()->setText(QStringLiteral("3"));
        for (int n = 1; n <= calendar::kDayButtons; ++n)
            if (p->dayButton(n)->isEnabled()) {
                QTest::mousePress(p->dayButton(n), Qt::RightButton);
                w->setMainEnabled(true);
            }
        verifyGridMatchesBoxes(p);
        QCOMPARE(calls.log.size(), 31);
        QCOMPARE(calls.log.last(), QStringLiteral("entry 2026/3/31"));
    }

    // Every menu shortcut reaches its command from the year box, which has the focus at start;
    // Ctrl+V there is the version window, not a paste.
    void menuShortcutsFromYearBox_data() {
        QTest::addColumn<QString>("action");
        for (const char* name :
             {"read_D", "kakunin", "owari", "disp", "input", "list", "kyou", "settei", "help", "ver"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void menuShortcutsFromYearBox() {
        QFETCH(QString, action);
        auto w = start();
        QAction* command = w->menuAction(action);
        QSignalSpy triggered(command, &QAction::triggered);
        QApplication::clipboard()->setText(QStringLiteral("1999"));
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        CalendarPanel* p = w->calendarPanel();
        p->yearBox()->setFocus();
        QTRY_VERIFY(p->yearBox()->hasFocus());
        const QKeyCombination key = command->shortcut()[0];
        QTest::keyPress(p->yearBox(), key.key(), key.keyboardModifiers());
        w->setMainEnabled(true);
        QTest::keyRelease(p->yearBox(), key.key(), key.keyboardModifiers());
        QCOMPARE(triggered.size(), 1);
        QVERIFY(!p->yearBox()->text().contains(QStringLiteral("1999")));
    }

    void menus() {
        auto w = start();
        w->menuAction(QStringLiteral("kakunin"))->trigger();
        QVERIFY(fx->fake.messages.last().text.endsWith(fx->schedule));

        w->menuAction(QStringLiteral("help"))->trigger();
        QCOMPARE(fx->fake.helpShown, 1);

        // ToDoリスト twice: open then close, the mark following.
        w->menuAction(QStringLiteral("todo"))->trigger();
        QVERIFY(w->todoChecked() && w->menuAction(QStringLiteral("todo"))->isChecked());
        w->menuAction(QStringLiteral("todo"))->trigger();
        QVERIFY(!w->todoChecked() && !w->menuAction(QStringLiteral("todo"))->isChecked());
        QCOMPARE(calls.log, QStringList({QStringLiteral("todo open"), QStringLiteral("todo close")}));

        w->menuAction(QStringLiteral("disp"))->trigger();
        QVERIFY(!w->isEnabled());
    }

    void versionWindowReenablesMain() {
        auto w = start();
        w->menuAction(QStringLiteral("ver"))->trigger();
        QVERIFY(!w->isEnabled());
        QPointer<QWidget> ver = w->findChild<QWidget*>(QStringLiteral("VerWindow"));
        QVERIFY(ver);
        ver->close(); // the close box
        QVERIFY(w->isEnabled());
        QTRY_VERIFY(!ver); // destroyed on close
        w->menuAction(QStringLiteral("ver"))->trigger();
        ver = w->findChild<QWidget*>(QStringLiteral("VerWindow"));
        QTRY_VERIFY(ver && ver->isVisible());
        QTest::mouseClick(ver->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QVERIFY(w->isEnabled());
    }

    void openScheduleCommand() {
        auto w = start();
        const QString other = fx->env.path(QStringLiteral("other.sdb"));
        fx->fake.filePaths.enqueue(other);
        w->menuAction(QStringLiteral("read_D"))->trigger();
        QCOMPARE(w->settings().scheduleFile, other);
        QVERIFY(QFile::exists(other));
    }

    void closeBoxAndQuitWriteTheSameFile() {
        const QString ini = fx->settingsPath();
        auto w = start({QStringLiteral("TOP=1500"), QStringLiteral("LEFT=3000")});
        w->close();
        const QByteArray viaClose = testsupport::fileBytes(ini);
        w.reset();
        w = start({QStringLiteral("TOP=1500"), QStringLiteral("LEFT=3000")});
        w->menuAction(QStringLiteral("owari"))->trigger();
        const QByteArray viaQuit = testsupport::fileBytes(ini);
        QCOMPARE(viaQuit, viaClose);
        QVERIFY(viaClose.contains("TOP=1500\r\nLEFT=3000\r\n"));
    }

    void failedSettingsWriteIsReported() {
        auto w = start();
        w->settings().settingsFile = fx->env.path(QStringLiteral("missing-folder/ZIZARU.INI"));
        w->close();
        QCOMPARE(fx->fake.messages.size(), 1);
        QVERIFY(fx->fake.messages[0].text.startsWith(QStringLiteral("設定ファイルを保存できませんでした。")));
    }
};

QTEST_MAIN(TestCalendarWindow)
#include "test_calendar_window.moc"
