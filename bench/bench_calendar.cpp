// The calendar main window with KARE_ON over a Schedule file of 100,000 Day records
// (bench/DayRecordsFile.h), on the offscreen platform with the scripted platform services
// (today is 2026/3/5). The real main window runs its start-up and opens the real windows:
//   KareSET          one full rebuild of the month grid (31 days, colours, marker), cycling
//                    through the twelve months of 2026;
//   MonthSpinHold    60 steps of the month spin's right arrow, each until the calendar has
//                    repainted (counters: stepMedianMs, stepWorstMs over all holds);
//   EntryRoundTrip   the entry window opened by a right-button press on a day, painted, one
//                    content typed, 書込み, 終了 (the calendar rebuilt), window gone;
//   DayDisplay       the day display opened by a left click on a day, painted, OK, window gone;
//   DayDisplayBrowse the same for 2,000 different dates through the menu (counter rssKB/1000:
//                    resident memory growth per thousand dates).
// The counter peakMB is the peak resident memory of the process so far (VmHWM).
// With DADUVOV_BENCH_PLAIN=1 the file is made with plain CREATE TABLE and no index; the program's
// start-up (not timed) then indexes it, as it does for a user's file.

#include "DayRecordsFile.h"
#include "app/MainWindow.h"
#include "app/Openers.h"
#include "calendar/CalendarPanel.h"
#include "controls/Fonts.h"
#include "controls/SpinButton.h"
#include "platform/Colors.h"
#include "platform/Paths.h"
#include "support/FakePlatform.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kRecords = 100'000;
constexpr int kStepsPerHold = 60;

// Resident memory of the process now, in kB.
long residentKB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return 0;
}

double peakResidentMB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    return 0;
}

// Counts the paint events of every widget in one top-level window.
class WindowPaints : public QObject {
  public:
    WindowPaints() { qApp->installEventFilter(this); }
    ~WindowPaints() override { qApp->removeEventFilter(this); }

    QPointer<QWidget> window;
    int paints = 0;

    // Runs the event loop until the window has painted again after `before` paints; the whole
    // window is painted and flushed before processEvents() returns. False after ten seconds.
    bool waitFrom(int before) {
        QElapsedTimer timer;
        timer.start();
        while (paints == before) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (timer.elapsed() > 10'000)
                return false;
        }
        return true;
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && window && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window)
            ++paints;
        return false;
    }
};

// The program as it runs after start-up: a program folder whose Settings file names the
// generated Schedule file with KARE_ON, the real main window with the program's openers.
struct Program {
    QTemporaryDir dir;
    QString schedule;
    testsupport::FakePlatform platform;
    std::unique_ptr<app::MainWindow> window;
    QDate dayWithItems; // a date of March 2026 that carries items

    Program() {
        if (!dir.isValid())
            fail("no temporary folder");
        qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
        const QString folder = platform::programFolder();
        schedule = dir.filePath(QStringLiteral("calendar-bench.sdb"));
        if (const store::Error error = benchcal::makeDayRecordsFile(
                schedule, kRecords, qEnvironmentVariableIntValue("DADUVOV_BENCH_PLAIN"));
            error.failed())
            fail(qPrintable(error.message));
        QFile ini(platform::joinPath(folder, QStringLiteral("ZIZARU.INI")));
        if (!ini.open(QIODevice::WriteOnly))
            fail("cannot write the Settings file");
        ini.write(QStringLiteral("[Daduvov]\r\n[CONFIG FILE]\r\nSTART_FILE=%1\r\nKARE_ON=True\r\n"
                                 "kareCRL=8454143\r\nSTART_MIN=False\r\nSTART_OUT=False\r\nToDo_ON=False\r\n")
                      .arg(schedule)
                      .toLocal8Bit());
        ini.close();
        for (int i = 0; i < kRecords; ++i) {
            if (benchcal::recordDate(i) >= QDate(2026, 3, 1)) {
                dayWithItems = benchcal::recordDate(i);
                break;
            }
        }
        if (dayWithItems.month() != 3)
            fail("the file has no items in March 2026");

        platform.install();
        window = std::make_unique<app::MainWindow>(folder, app::programOpeners());
        window->startUp();
        if (!window->settings().markDaysWithItems || window->settings().scheduleFile != schedule)
            fail("the Settings file was not taken");
        if (!QTest::qWaitForWindowExposed(window.get()))
            fail("the calendar was not shown");
        if (window->splash())
            window->splash()->close();
        QCoreApplication::processEvents();
    }

    [[noreturn]] static void fail(const char* why) {
        std::fprintf(stderr, "calendar benchmark: %s\n", why);
        std::exit(1);
    }

    calendar::CalendarPanel* panel() const { return window->calendarPanel(); }

    // The day button that shows `date`, which must be in the month on screen.
    calendar::DayButton* buttonOf(const QDate& date) const {
        for (int n = 1; n <= 37; ++n)
            if (panel()->dayButton(n)->text() == QString::number(date.day()))
                return panel()->dayButton(n);
        return nullptr;
    }

    // Back to March 2026, rebuilt.
    void showMarch() {
        panel()->yearBox()->setText(QStringLiteral("2026"));
        panel()->yearSpin()->setValue(2026);
        panel()->monthSpin()->setValue(3);
        QCoreApplication::processEvents();
    }
};

std::unique_ptr<Program> theProgram;

Program& program() {
    return *theProgram;
}

void BM_KareSET(benchmark::State& state) {
    Program& p = program();
    calendar::CalendarPanel* panel = p.panel();
    int month = 0;
    for (auto _ : state) {
        panel->monthBox()->setText(QString::number(month++ % 12 + 1));
        p.window->rebuildMonthGrid();
    }
    // The days the last build coloured: proof that the file's items were found.
    int coloured = 0;
    const QColor kare = platform::toQColor(p.window->settings().markedDayColor);
    for (int n = 1; n <= 37; ++n)
        if (panel->dayButton(n)->palette().color(QPalette::Button) == kare)
            ++coloured;
    state.counters["colouredDays"] = coloured;
    p.showMarch();
}

// Median and worst of a list of step times in ms.
void reportSteps(benchmark::State& state, std::vector<double> steps) {
    if (steps.empty())
        return;
    std::sort(steps.begin(), steps.end());
    state.counters["stepMedianMs"] = steps[steps.size() / 2];
    state.counters["stepWorstMs"] = steps.back();
}

void BM_MonthSpinHold(benchmark::State& state) {
    Program& p = program();
    WindowPaints paints;
    paints.window = p.window.get();
    QToolButton* right = p.panel()->monthSpin()->upButton();
    QToolButton* left = p.panel()->monthSpin()->downButton();
    std::vector<double> steps;
    int holds = 0;
    for (auto _ : state) {
        // Forward and back again in turn, so every hold stays inside the file's years.
        QToolButton* arrow = holds++ % 2 == 0 ? right : left;
        for (int i = 0; i < kStepsPerHold; ++i) {
            QElapsedTimer step;
            step.start();
            const int before = paints.paints;
            arrow->click();
            if (!paints.waitFrom(before)) {
                state.SkipWithError("no repaint after a month step");
                return;
            }
            steps.push_back(static_cast<double>(step.nsecsElapsed()) / 1e6);
        }
    }
    reportSteps(state, steps);
    p.showMarch();
}

// The top-level child window with this object name, or nullptr.
QWidget* openWindow(QWidget* main, const QString& name) {
    for (QWidget* w : main->findChildren<QWidget*>(name, Qt::FindDirectChildrenOnly))
        if (w->isWindow() && w->isVisible())
            return w;
    return nullptr;
}

// Runs the event loop until the pending deletions are done and the calendar is enabled again.
bool waitGone(QWidget* main, const QPointer<QWidget>& window) {
    QElapsedTimer timer;
    timer.start();
    while (window || !main->isEnabled()) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        if (timer.elapsed() > 10'000)
            return false;
    }
    return true;
}

void BM_EntryRoundTrip(benchmark::State& state) {
    Program& p = program();
    calendar::DayButton* day = p.buttonOf(p.dayWithItems);
    if (!day) {
        state.SkipWithError("no button for the day with items");
        return;
    }
    int round = 0;
    for (auto _ : state) {
        WindowPaints paints;
        // The right-button press that the calendar turns into the entry window.
        Q_EMIT day->rightPressed();
        QWidget* entry = openWindow(p.window.get(), QStringLiteral("D_input"));
        if (!entry) {
            state.SkipWithError("the entry window did not open");
            return;
        }
        paints.window = entry;
        if (!paints.waitFrom(0)) {
            state.SkipWithError("the entry window did not paint");
            return;
        }
        auto* content = entry->findChild<QLineEdit*>(QStringLiteral("Text1"));
        content->setText(QStringLiteral("予定 書換え %1").arg(round++ % 2));
        entry->findChild<QPushButton*>(QStringLiteral("Command4"))->click(); // 書込み
        QPointer<QWidget> gone(entry);
        entry->findChild<QPushButton*>(QStringLiteral("Command2"))->click(); // 終了
        if (!waitGone(p.window.get(), gone)) {
            state.SkipWithError("the entry window did not close");
            return;
        }
    }
    state.counters["peakMB"] = peakResidentMB();
}

void BM_DayDisplay(benchmark::State& state) {
    Program& p = program();
    calendar::DayButton* day = p.buttonOf(p.dayWithItems);
    if (!day) {
        state.SkipWithError("no button for the day with items");
        return;
    }
    for (auto _ : state) {
        WindowPaints paints;
        day->click();
        QWidget* display = openWindow(p.window.get(), QStringLiteral("D_output"));
        if (!display) {
            state.SkipWithError("the day display did not open");
            return;
        }
        paints.window = display;
        if (!paints.waitFrom(0)) {
            state.SkipWithError("the day display did not paint");
            return;
        }
        QPointer<QWidget> gone(display);
        display->findChild<QPushButton*>(QStringLiteral("Command1"))->click(); // OK
        if (!waitGone(p.window.get(), gone)) {
            state.SkipWithError("the day display did not close");
            return;
        }
    }
    state.counters["peakMB"] = peakResidentMB();
}

// The day display of a different date every time, through the menu item 予定表示, as a user
// browsing the whole book does: the counter rssKB/1000 is the growth of resident memory per
// thousand dates shown, from the first to the last iteration.
void BM_DayDisplayBrowse(benchmark::State& state) {
    Program& p = program();
    static int next = 0; // dates go on across repetitions: each one is new to the main window
    long firstKB = 0;
    int shown = 0;
    for (auto _ : state) {
        WindowPaints paints;
        p.window->setSelectedDate(benchcal::recordDate(4 * (next++ % (kRecords / 4))));
        p.window->openDayDisplay();
        QWidget* display = openWindow(p.window.get(), QStringLiteral("D_output"));
        if (!display) {
            state.SkipWithError("the day display did not open");
            return;
        }
        paints.window = display;
        if (!paints.waitFrom(0)) {
            state.SkipWithError("the day display did not paint");
            return;
        }
        QPointer<QWidget> gone(display);
        display->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        if (!waitGone(p.window.get(), gone)) {
            state.SkipWithError("the day display did not close");
            return;
        }
        if (shown++ == 0)
            firstKB = residentKB();
    }
    if (shown > 1)
        state.counters["rssKB/1000"] =
            static_cast<double>(residentKB() - firstKB) * 1000.0 / static_cast<double>(shown - 1);
    p.window->setSelectedDate(p.dayWithItems);
}

BENCHMARK(BM_KareSET)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_MonthSpinHold)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4)->Repetitions(5);
BENCHMARK(BM_EntryRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_DayDisplay)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_DayDisplayBrowse)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2000);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    controls::registerFontSubstitutions();
    QApplication::setFont(controls::gothicFont(9));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    theProgram = std::make_unique<Program>(); // made before any timing starts
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theProgram.reset(); // the windows go before the application object
    return 0;
}
