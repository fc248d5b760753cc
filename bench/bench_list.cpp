// The list window over a Schedule file of 1,000,000 Day records (bench/ScheduleGenerator.h), on
// the offscreen platform. Every figure runs until the grid has painted the result on its
// viewport, as the user would see it:
//   ListOpen        the window made, loaded and shown, up to its first screen of rows;
//   ListScrollToEnd Ctrl+End from the first record to the last one;
//   ListScrollDrag  the scroll bar dragged to another place in the list, one screen each;
//   ListScrollPage  Page Down in the middle of the list;
//   ListFilter      picking 項目2 or 項目3 in Combo1 (the combined filter over the whole table);
//   ListDateFilter  the date filter on, picking 3月 or 4月 in Combo2 with the year 2024 (LIKE over
//                   every date);
//   ListSearch      検索 for a content text (LIKE over every content);
//   ListSort        昇順 with 内容 chosen (all records sorted by content);
//   ListDateSort    昇順 with 年月日 chosen (all records sorted by date).
// The counter peakMB is the peak resident memory of the process so far (VmHWM), startMB that peak
// before the first window opened (the generated file and the application), rows the records the
// grid shows. The window must stay under 300 ms for its first screen, 1 s for a filter, search
// or sort, and 300 MB of peak memory; a scroll step should fit well inside one frame.

#include "ScheduleGenerator.h"
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "list/ListWindow.h"
#include "support/FakeHost.h"
#include "support/FakePlatform.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

#include <cstdlib>

namespace {

benchdata::GeneratedSchedule& file() {
    static benchdata::GeneratedSchedule instance(QStringLiteral("list-bench.sdb"));
    return instance;
}

// Peak resident memory of the process in MB, from /proc/self/status.
double peakResidentMB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    }
    return 0;
}

double startPeakMB = 0;

// The offscreen platform warns on every window shown that it cannot pass on size hints.
QtMessageHandler previousHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("does not support propagateSizeHints")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* widget) : QObject(widget) { widget->installEventFilter(this); }
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// Runs the event loop until the counter has seen another paint; the paint event is handled
// before processEvents() returns. False after ten seconds without one.
bool waitForPaint(const PaintCounter& counter, int before) {
    QElapsedTimer timer;
    timer.start();
    while (counter.paints == before) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (timer.elapsed() > 10'000)
            return false;
    }
    return true;
}

// The program's environment: the scripted platform (today is 2026/3/5, no box ever waits) and a
// main window whose settings name the generated file.
struct Environment {
    testsupport::FakePlatform platform;
    testsupport::FakeHost host;

    Environment() {
        platform.install();
        host.settingsRecord.scheduleFile = file().path;
    }
};

// Made in main() and gone before the application is: the host holds a widget.
Environment* currentEnvironment = nullptr;

Environment& environment() {
    return *currentEnvironment;
}

// One list window as the menu item opens it.
class OpenWindow {
  public:
    // Makes, loads and shows the window and waits for the grid's first paint.
    bool open() {
        shell::Host& host = environment().host;
        host.setMainEnabled(false);
        window_ = new list::ListWindow(host, host.mainWindow());
        counter_ = new PaintCounter(window_->grid()->viewport());
        if (!window_->load())
            return false;
        window_->show();
        return waitForPaint(0);
    }

    ~OpenWindow() { close(); }
    OpenWindow() = default;
    OpenWindow(const OpenWindow&) = delete;
    OpenWindow& operator=(const OpenWindow&) = delete;

    // Closes the window as its close button does; it deletes itself.
    void close() {
        if (window_)
            window_->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    template <typename T> T* control(const char* name) const {
        return window_->findChild<T*>(QString::fromLatin1(name));
    }
    QRadioButton* sortOption(int index) const {
        for (QRadioButton* option : window_->findChildren<QRadioButton*>(QStringLiteral("Option1")))
            if (option->property("index").toInt() == index)
                return option;
        return nullptr;
    }
    const store::DataControl& data() const { return window_->grid()->dataControl(); }
    controls::DataGrid* grid() const { return window_->grid(); }
    int paints() const { return counter_->paints; }
    bool waitForPaint(int before) const { return ::waitForPaint(*counter_, before); }

  private:
    QPointer<list::ListWindow> window_;
    PaintCounter* counter_ = nullptr;
};

void BM_ListOpen(benchmark::State& state) {
    int rows = 0;
    for (auto _ : state) {
        OpenWindow window;
        if (!window.open()) {
            state.SkipWithError("the window did not paint its grid");
            break;
        }
        rows = window.data().recordCount();
        state.PauseTiming();
        window.close();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
    state.counters["peakMB"] = peakResidentMB();
    state.counters["startMB"] = startPeakMB;
}

// Keys go to the grid as the user presses them.
bool pressAndPaint(OpenWindow& window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const int before = window.paints();
    QTest::keyClick(window.grid(), key, modifiers);
    return window.waitForPaint(before);
}

void BM_ListScrollToEnd(benchmark::State& state) {
    OpenWindow window;
    if (!window.open()) {
        state.SkipWithError("the window did not paint its grid");
        return;
    }
    window.grid()->setFocus();
    for (auto _ : state) {
        if (!pressAndPaint(window, Qt::Key_End, Qt::ControlModifier)) {
            state.SkipWithError("no paint after Ctrl+End");
            break;
        }
        state.PauseTiming();
        const bool last = window.data().absolutePosition() == window.data().recordCount() - 1;
        const bool back = pressAndPaint(window, Qt::Key_Home, Qt::ControlModifier);
        state.ResumeTiming();
        if (!last || !back) {
            state.SkipWithError("Ctrl+End did not reach the last record");
            break;
        }
    }
}

void BM_ListScrollDrag(benchmark::State& state) {
    OpenWindow window;
    if (!window.open()) {
        state.SkipWithError("the window did not paint its grid");
        return;
    }
    QScrollBar* bar = window.grid()->verticalScrollBar();
    qint64 step = 0;
    for (auto _ : state) {
        // Places spread over the whole list, each far from the one before.
        const qint64 value = (++step * 7919 * 97) % (qint64(bar->maximum()) + 1);
        const int before = window.paints();
        bar->setValue(static_cast<int>(value));
        if (!window.waitForPaint(before)) {
            state.SkipWithError("no paint after moving the scroll bar");
            break;
        }
    }
}

void BM_ListScrollPage(benchmark::State& state) {
    OpenWindow window;
    if (!window.open()) {
        state.SkipWithError("the window did not paint its grid");
        return;
    }
    controls::DataGrid* grid = window.grid();
    grid->setFocus();
    const int middle = window.data().recordCount() / 2;
    grid->setCurrentIndex(grid->model()->index(middle, 0));
    int pages = 0;
    for (auto _ : state) {
        if (++pages % 1000 == 0) {
            state.PauseTiming();
            grid->setCurrentIndex(grid->model()->index(middle, 0));
            state.ResumeTiming();
        }
        if (!pressAndPaint(window, Qt::Key_PageDown)) {
            state.SkipWithError("no paint after Page Down");
            break;
        }
    }
}

// Picks an item as the user does: the text changes and the box reports the pick.
void pick(QComboBox* box, const QString& text) {
    const int index = box->findText(text);
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}

void BM_ListFilter(benchmark::State& state) {
    OpenWindow window;
    if (!window.open()) {
        state.SkipWithError("the window did not paint its grid");
        return;
    }
    int picks = 0;
    int rows = 0;
    for (auto _ : state) {
        const int before = window.paints();
        pick(window.control<QComboBox>("Combo1"),
             picks++ % 2 == 0 ? QStringLiteral("項目2") : QStringLiteral("項目3"));
        if (!window.waitForPaint(before)) {
            state.SkipWithError("no paint after the filter");
            break;
        }
        rows = window.data().recordCount();
    }
    state.counters["rows"] = rows;
    state.counters["peakMB"] = peakResidentMB();
}

void BM_ListDateFilter(benchmark::State& state) {
    OpenWindow window;
    if (!window.open()) {
        state.SkipWithError("the window did not paint its grid");
        return;
    }
    window.control<QLineEdit>("Text2")->setText(QStringLiteral("2024"));
    window.control<QCheckBox>("Check1")->setChecked(true);
    QCoreApplication::processEvents();
    int picks = 0;
    int rows = 0;
    for (auto _ : state) {
        const int before = window.paints();
        pick(window.control<QComboBox>("Combo2"),
             picks++ % 2 == 0 ? QStringLiteral("3月") : QStringLiteral("4月"));
        if (!window.waitForPaint(before)) {
            state.SkipWithError("no paint after the filter");
            break;
        }
        rows = window.data().recordCount();
    }
    state.counters["rows"] = rows;
    state.counters["peakMB"] = peakResidentMB();
}

void BM_ListSearch(benchmark::State& state) {
    OpenWindow window;
    if (!window.open()) {
        state.SkipWithError("the window did not paint its grid");
        return;
    }
    int searches = 0;
    int rows = 0;
    for (auto _ : state) {
        window.control<QLineEdit>("Text1")->setText(searches++ % 2 == 0 ? QStringLiteral("予定 12")
                                                                        : QStringLiteral("予定 34"));
        const int before = window.paints();
        window.control<QPushButton>("Command2")->click();
        if (!window.waitForPaint(before)) {
            state.SkipWithError("no paint after the search");
            break;
        }
        rows = window.data().recordCount();
    }
    state.counters["rows"] = rows;
    state.counters["peakMB"] = peakResidentMB();
}

// 昇順 over every record with the sort option `option` chosen.
void sortAll(benchmark::State& state, int option) {
    OpenWindow window;
    if (!window.open()) {
        state.SkipWithError("the window did not paint its grid");
        return;
    }
    window.sortOption(option)->setChecked(true);
    for (auto _ : state) {
        const int before = window.paints();
        window.control<QPushButton>("Command5")->click();
        if (!window.waitForPaint(before)) {
            state.SkipWithError("no paint after the sort");
            break;
        }
    }
    state.counters["rows"] = window.data().recordCount();
    state.counters["peakMB"] = peakResidentMB();
}

void BM_ListSort(benchmark::State& state) {
    sortAll(state, 3); // 内容
}

void BM_ListDateSort(benchmark::State& state) {
    sortAll(state, 0); // 年月日
}

BENCHMARK(BM_ListOpen)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListScrollToEnd)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListScrollDrag)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListScrollPage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListFilter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListDateFilter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListSearch)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListSort)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListDateSort)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    controls::registerFontSubstitutions();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    file(); // made before any timing starts
    {
        Environment environment;
        currentEnvironment = &environment;
        startPeakMB = peakResidentMB();
        benchmark::RunSpecifiedBenchmarks();
        currentEnvironment = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
