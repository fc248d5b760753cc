#include "app/MainWindow.h"

#include "app/ExchangeMenu.h"
#include "app/ShutdownSignals.h"
#include "app/SplashWindow.h"
#include "app/VerWindow.h"
#include "app/WindowPlacement.h"
#include "calendar/CalendarPanel.h"
#include "controls/Geometry.h"
#include "platform/Services.h"
#include "settings/ScheduleFileChoice.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QSessionManager>
#include <QSignalBlocker>
#include <QStyle>
#include <QWindow>
#include <utility>

namespace app {

MainWindow::MainWindow(const QString& programFolder, WindowOpeners openers, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                              Qt::MSWindowsFixedSizeDialogHint),
      programFolder_(programFolder), openers_(std::move(openers)),
      panel_(new calendar::CalendarPanel(settings_, this)) {
    setObjectName(QStringLiteral("M_calendar2"));
    setWindowTitle(QStringLiteral("Daduvov"));
    setCentralWidget(panel_);
    buildMenus();
    // The client area is fixed: 202 x 208 pixels below the menu bar.
    setFixedSize(panel_->width(), panel_->height() + menuBar()->sizeHint().height());

    connect(panel_, &calendar::CalendarPanel::dayClicked, this, [this] {
        if (openers_.dayDisplay)
            openers_.dayDisplay(*this);
    });
    connect(panel_, &calendar::CalendarPanel::dayRightPressed, this, &MainWindow::enterItemsOfPressedDay);
    connect(panel_, &calendar::CalendarPanel::ticked, this, [this] {
        if (openers_.alarmCheck)
            openers_.alarmCheck(*this);
        if (openers_.sync.tick)
            openers_.sync.tick();
    });
}

MainWindow::~MainWindow() = default;

namespace {

struct MenuItem {
    const char* name; // the action's objectName
    QString caption;
    QKeySequence shortcut;
    void (MainWindow::*handler)(); // none for a separator
};

void addMenuItems(MainWindow* window, QMenu* menu, const std::initializer_list<MenuItem>& items) {
    for (const MenuItem& item : items) {
        const QString name = QString::fromLatin1(item.name);
        if (!item.handler) {
            QAction* bar = menu->addSeparator();
            bar->setObjectName(name);
            continue;
        }
        QAction* action = menu->addAction(item.caption);
        action->setObjectName(name);
        action->setShortcut(item.shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(action, &QAction::triggered, window, item.handler);
    }
}

QKeySequence ctrl(char key) {
    return QKeySequence(Qt::CTRL | static_cast<Qt::Key>(key));
}

} // namespace

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    file->setObjectName(QStringLiteral("M_file"));
    addMenuItems(
        this, file,
        {{"read_D", QStringLiteral("読込み(&R)"), ctrl('R'), &MainWindow::chooseScheduleFile},
         {"bar", {}, {}, nullptr},
         {"kakunin", QStringLiteral("ｽｹｼﾞｭｰﾙﾌｧｲﾙ確認(&T)"), ctrl('T'), &MainWindow::showScheduleFileName},
         {"exchangeBar", {}, {}, nullptr},
         {"exportIcs", QStringLiteral("iCalendarに書き出し(&E)..."), ctrl('E'), &MainWindow::exportICalendar},
         {"importIcs", QStringLiteral("iCalendarから読み込み(&M)..."), ctrl('M'),
          &MainWindow::importICalendar},
         {"owari", QStringLiteral("終了(&Q)"), ctrl('Q'), &MainWindow::closeProgram}});

    QMenu* tool = menuBar()->addMenu(QStringLiteral("ﾂｰﾙ(&T)"));
    tool->setObjectName(QStringLiteral("M_tool"));
    addMenuItems(this, tool,
                 {{"disp", QStringLiteral("予定表示(&D)"), ctrl('D'), &MainWindow::openDayDisplay},
                  {"input", QStringLiteral("予定入力(&I)"), ctrl('I'), &MainWindow::openEntryWindow},
                  {"list", QStringLiteral("リスト表示(&L)"), ctrl('L'), &MainWindow::openListWindow},
                  {"bar1", {}, {}, nullptr},
                  {"todo", QStringLiteral("&ToDoリスト"), {}, &MainWindow::toggleTodo},
                  {"ber2", {}, {}, nullptr},
                  {"kyou", QStringLiteral("今日(&K)"), ctrl('K'), &MainWindow::goToToday},
                  {"bar2", {}, {}, nullptr},
                  {"settei", QStringLiteral("環境設定(&O)"), ctrl('O'), &MainWindow::openOptions},
                  {"bar4", {}, {}, nullptr},
                  {"syncSettings", QStringLiteral("同期設定(&S)..."), {}, &MainWindow::openSyncSettings},
                  {"syncNow", QStringLiteral("今すぐ同期(&Y)"), ctrl('Y'), &MainWindow::syncNow}});

    QMenu* help = menuBar()->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    help->setObjectName(QStringLiteral("M_help"));
    addMenuItems(this, help,
                 {{"help", QStringLiteral("ヘルプ(&H)"), ctrl('H'), &MainWindow::showHelp},
                  {"bar3", {}, {}, nullptr},
                  {"ver", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&V)"), ctrl('V'), &MainWindow::showVersion}});

    todoAction_ = menuAction(QStringLiteral("todo"));
    todoAction_->setCheckable(true);
    // Qt flips the mark before `triggered`; toggleTodo decides from the mark it had before.
    disconnect(todoAction_, &QAction::triggered, this, nullptr);
    connect(todoAction_, &QAction::triggered, this, [this] {
        setTodoChecked(todoChecked_);
        toggleTodo();
    });
}

QAction* MainWindow::menuAction(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void MainWindow::startUp() {
    // A session that ends by a signal (logout, shutdown, kill) or through the session manager
    // still writes the Settings file.
    auto* signalWatch = new ShutdownSignals(this);
    connect(signalWatch, &ShutdownSignals::received, this, &MainWindow::endSession);
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this] {
        if (!shutDown_)
            saveSettings();
    });
    connect(qGuiApp, &QCoreApplication::aboutToQuit, this, &MainWindow::endSession);

    // Hidden while it sets itself up, with the splash on screen.
    hide();
    splash_ = new SplashWindow(this);
    splash_->show();
    // The month on show, the Selected date and the clock start from today.
    panel_->initialiseFromToday();
    // The colour defaults, then the Settings file (which may move the window to TOP/LEFT).
    settings_.setColorDefaults();
    controls::centreOnScreen(this);
    if (settings::loadSettingsFile(settings_, programFolder_, *this) == settings::ConfigFileState::Damaged)
        settingsOfDamagedFile_ = settings_;
    openPendingFile();
    startedUp_ = true;
    keepTitleBarOnScreen();
    // The month grid from the Schedule file now in use.
    panel_->rebuildMonthGrid();
    // The alarms missed while the program was not running, before the other windows open.
    if (openers_.missedAlarms)
        openers_.missedAlarms(*this);
    // Today's items.
    if (settings_.showTodayAtStart && openers_.dayDisplay)
        openers_.dayDisplay(*this);
    // The ToDo window.
    setTodoChecked(false);
    if (settings_.openTodoAtStart)
        toggleTodo();
    if (openers_.sync.start)
        openers_.sync.start(*this, menuAction(QStringLiteral("syncNow")));
    // The keys start on the Selected date (today): the arrows move from it, Enter shows it. No
    // text box has the focus, so no cursor blinks in the calendar while it waits.
    panel_->focusDay(panel_->selectedDate());
    // Visible, minimised when asked.
    if (settings_.startInTray)
        showMinimized();
    else
        show();
    // A signal during start-up (a dialog of the first run was open) already ran the shut-down;
    // its exit came before the main event loop started, so the program ends once that loop runs.
    if (shutDown_)
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

QDate MainWindow::selectedDate() const {
    return panel_->selectedDate();
}

void MainWindow::setSelectedDate(const QDate& date) {
    panel_->setSelectedDate(date);
}

void MainWindow::setMainEnabled(bool enabled) {
    // The window that disables the calendar gives the focus back, once it is gone, to the day
    // (or other control) that had it.
    if (!enabled && isEnabled()) {
        returnDay_ = panel_->focusedDay();
        returnFocus_ = focusWidget();
    }
    const bool wasEnabled = isEnabled();
    setEnabled(enabled);
    if (enabled && !wasEnabled)
        QMetaObject::invokeMethod(this, &MainWindow::restoreFocus, Qt::QueuedConnection);
    if (enabled) {
        // A file handed over while the calendar was disabled; opened once the closing window is gone.
        if (!pendingFile_.isEmpty())
            QMetaObject::invokeMethod(
                this, [this] { openScheduleFile(std::exchange(pendingFile_, {})); }, Qt::QueuedConnection);
        return;
    }
    // Disabling a widget disables its child windows too; the windows that live beside the
    // calendar (ToDo list, options, version) stay usable while it is disabled.
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isWindow())
            w->setEnabled(true);
}

void MainWindow::restoreFocus() {
    const QDate day = std::exchange(returnDay_, {});
    const QPointer<QWidget> control = std::exchange(returnFocus_, nullptr);
    if (!isEnabled() || panel_->focusDay(day))
        return;
    if (control && control->isEnabled() && control->isVisible())
        control->setFocus(Qt::OtherFocusReason);
    else
        panel_->focusDay(panel_->selectedDate());
}

void MainWindow::rebuildMonthGrid() {
    panel_->rebuildMonthGrid();
}

int MainWindow::displayedYear() const {
    return panel_->shownMonth().year;
}

void MainWindow::setTodoChecked(bool checked) {
    todoChecked_ = checked;
    const QSignalBlocker block(todoAction_);
    todoAction_->setChecked(checked);
}

// A file named on the command line answers the start-up question without the dialog.
void MainWindow::firstRunFlow() {
    if (!openPendingFile())
        settings::firstRunFlow(settings_, programFolder_);
}

void MainWindow::missingFileFlow() {
    if (!openPendingFile())
        settings::missingFileFlow(settings_, programFolder_);
}

bool MainWindow::openPendingFile() {
    if (pendingFile_.isEmpty())
        return false;
    return settings::openScheduleFile(settings_, std::exchange(pendingFile_, {}));
}

void MainWindow::openScheduleFile(const QString& path) {
    if (path.isEmpty())
        return;
    if (!startedUp_ || !isEnabled()) {
        pendingFile_ = path;
        return;
    }
    if (settings::openScheduleFile(settings_, path)) {
        panel_->rebuildMonthGrid();
        if (openers_.sync.fileChosen)
            openers_.sync.fileChosen();
    }
}

void MainWindow::keepDamagedSettingsFile() {
    settingsFileDamaged_ = true;
}

void MainWindow::setMainTop(float twips) {
    storedTop_ = twips;
    if (controls::windowPositionsKnown())
        move(x(), pixelsFromTwips(twips));
}

void MainWindow::setMainLeft(float twips) {
    storedLeft_ = twips;
    if (controls::windowPositionsKnown())
        move(pixelsFromTwips(twips), y());
}

void MainWindow::keepTitleBarOnScreen() {
    if (!controls::windowPositionsKnown())
        return;
    const QRect frame = frameGeometry();
    // Before the window manager has framed the window its title bar height is not known yet;
    // the style's figure stands in for it.
    const int titleHeight =
        qMax(geometry().top() - frame.top(), style()->pixelMetric(QStyle::PM_TitleBarHeight));
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens << screen->geometry();
    if (!titleBarOnScreen(QRect(frame.topLeft(), QSize(frame.width(), titleHeight)), screens))
        controls::centreOnScreen(this);
    // TOP/LEFT name the outer corner of the frame, as the Settings file stores them. Once the native
    // window exists (the splash makes it), a plain move places the client area there instead and
    // the window would climb by its title bar on every start.
    if (QWindow* native = windowHandle())
        native->setFramePosition(pos());
}

void MainWindow::chooseScheduleFile() {
    settings::openScheduleCommand(settings_, programFolder_);
    if (openers_.sync.fileChosen)
        openers_.sync.fileChosen();
}

void MainWindow::showScheduleFileName() {
    platform::message(QStringLiteral("ｽｹｼﾞｭｰﾙﾌｧｲﾙ名は\r\n") + settings_.scheduleFile,
                      QStringLiteral("ﾌｧｲﾙ名確認"), platform::Icon::Information, platform::Buttons::Ok);
}

void MainWindow::exportICalendar() {
    app::exportICalendar(*this);
}

void MainWindow::importICalendar() {
    app::importICalendar(*this);
}

void MainWindow::closeProgram() {
    close();
}

void MainWindow::openDayDisplay() {
    if (!openers_.dayDisplay)
        return;
    setMainEnabled(false);
    openers_.dayDisplay(*this);
}

void MainWindow::openEntryWindow() {
    if (!openers_.entry)
        return;
    setMainEnabled(false);
    openers_.entry(*this);
}

void MainWindow::openListWindow() {
    if (!openers_.list)
        return;
    setMainEnabled(false);
    openers_.list(*this);
}

void MainWindow::toggleTodo() {
    if (!openers_.openTodo)
        return;
    if (todoChecked_) {
        setTodoChecked(false);
        if (openers_.closeTodo)
            openers_.closeTodo();
    } else {
        setTodoChecked(true);
        openers_.openTodo(*this);
    }
}

void MainWindow::goToToday() {
    panel_->showToday();
}

void MainWindow::openOptions() {
    if (openers_.options)
        openers_.options(*this);
}

void MainWindow::showHelp() {
    platform::services().help->showContents();
}

void MainWindow::openSyncSettings() {
    if (openers_.sync.settings)
        openers_.sync.settings(*this);
}

void MainWindow::syncNow() {
    if (openers_.sync.now)
        openers_.sync.now(*this);
}

void MainWindow::showVersion() {
    setMainEnabled(false);
    auto* window = new VerWindow(*this, this);
    window->show();
}

void MainWindow::enterItemsOfPressedDay() {
    panel_->markSelectedDay();
    openEntryWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (shutDown_) {
        event->accept();
        return;
    }
    // While another window holds the calendar disabled, the calendar cannot be closed.
    if (!isEnabled() && event->spontaneous()) {
        event->ignore();
        return;
    }
    shutDown();
    event->accept();
}

void MainWindow::endSession() {
    if (!shutDown_)
        close();
}

void MainWindow::shutDown() {
    shutDown_ = true;
    saveSettings();
    if (openers_.sync.shutDown)
        openers_.sync.shutDown();
    // The other windows end with the program, without their own close handlers; their data
    // connections are released as they are destroyed.
    QCoreApplication::exit(0);
}

void MainWindow::saveSettings() {
    const QRect frame = frameGeometry();
    float top = static_cast<float>(frame.top() * controls::kTwipsPerPixel);
    float left = static_cast<float>(frame.left() * controls::kTwipsPerPixel);
    // Where the window's position cannot be known, the one the file held stays; a file without
    // one gets the position Qt assumes for the window, and keeps that from then on.
    if (!controls::windowPositionsKnown()) {
        top = storedTop_.value_or(top);
        left = storedLeft_.value_or(left);
    }
    // A Settings file that could not be read is replaced only when a setting changed; a shut-down
    // still inside the start-up (its message up, a file dialog open) has changed nothing.
    const bool keepDamagedFile =
        settingsFileDamaged_ && (!settingsOfDamagedFile_ || *settingsOfDamagedFile_ == settings_);
    if (const std::optional<QString> failure =
            keepDamagedFile ? std::nullopt : settings::saveSettingsFile(settings_, top, left)) {
        platform::message(QStringLiteral("設定ファイルを保存できませんでした。\r\n") +
                              settings_.settingsFile + QStringLiteral("\r\n") + *failure,
                          platform::kAppTitle, platform::Icon::Critical, platform::Buttons::Ok);
    }
}

} // namespace app
