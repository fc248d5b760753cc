#pragma once
// The main window `M_calendar2`: the calendar with its menu bar. Its start-up runs the whole
// program's start (splash, today, Settings, grid, start-up options); its close runs the shut-down.

#include "app/SplashWindow.h"
#include "settings/ConfigFile.h"
#include "settings/Settings.h"
#include "shell/Host.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <optional>

class QAction;

namespace calendar {
class CalendarPanel;
}

namespace app {

// What the main window calls to open the other windows. The program fills these in; tests may
// replace them to observe the calls.
struct WindowOpeners {
    // The entry and list windows are opened with the main window already disabled.
    std::function<void(shell::Host&)> entry;
    std::function<void(shell::Host&)> dayDisplay;
    std::function<void(shell::Host&)> list;
    std::function<QWidget*(shell::Host&)> openTodo;
    std::function<void()> closeTodo;
    std::function<void(shell::Host&)> options;
    // On every clock tick.
    std::function<void(shell::Host&)> alarmCheck;

    // Once at start-up, after the grid: the alarms missed while the program was not running.
    std::function<void(shell::Host&)> missedAlarms;

    // Sync with a calendar server: started once the menus and the grid are there, told of every
    // clock tick, of another Schedule file and of the end of the program.
    struct Sync {
        std::function<void(shell::Host&, QAction* syncNow)> start;
        std::function<void()> tick;
        std::function<void(shell::Host&)> now;
        std::function<void(shell::Host&)> settings;
        std::function<void()> fileChosen;
        std::function<void()> shutDown;
    } sync;
};

class MainWindow : public QMainWindow, public shell::Host, public settings::ConfigHost {
    Q_OBJECT
  public:
    explicit MainWindow(const QString& programFolder, WindowOpeners openers = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence; the window is shown (or minimised) at its end.
    void startUp();

    // shell::Host
    settings::Settings& settings() override { return settings_; }
    QDate selectedDate() const override;
    void setSelectedDate(const QDate& date) override;
    QWidget* mainWindow() override { return this; }
    void setMainEnabled(bool enabled) override;
    void rebuildMonthGrid() override;
    int displayedYear() const override;
    void setTodoChecked(bool checked) override;

    // settings::ConfigHost
    void firstRunFlow() override;
    void missingFileFlow() override;
    void setMainTop(float twips) override;
    void setMainLeft(float twips) override;
    void keepDamagedSettingsFile() override;

    // Menu commands.
    void chooseScheduleFile();
    void showScheduleFileName();
    void closeProgram();
    // ﾌｧｲﾙ menu: the Schedule file to and from iCalendar.
    void exportICalendar();
    void importICalendar();
    void openDayDisplay();
    void openEntryWindow();
    void openListWindow();
    void toggleTodo();
    void goToToday();
    void openOptions();
    void showHelp();
    void showVersion();
    // ﾂｰﾙ menu: the sync account of the Schedule file, and a sync now.
    void openSyncSettings();
    void syncNow();
    // Right-button press on a day: marker, disable, entry window.
    void enterItemsOfPressedDay();
    // Switches to the Schedule file named on the command line or handed over by a later start,
    // as 読込み does but without the dialog, and redraws the month. Before start-up the file stands
    // in for the start-up choice; while another window holds the calendar disabled, the switch
    // waits until the calendar is enabled again.
    void openScheduleFile(const QString& path);

    calendar::CalendarPanel* calendarPanel() const { return panel_; }
    SplashWindow* splash() const { return splash_; }
    QAction* menuAction(const QString& objectName) const;
    bool todoChecked() const { return todoChecked_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildMenus();
    void shutDown();
    bool openPendingFile();
    // Writes the Settings file with the window's position (the stored one where the platform
    // cannot tell it); tells the user when that fails.
    void saveSettings();
    // Ends the session the way 終了 does: on SIGTERM, SIGHUP, SIGINT or the session's end.
    void endSession();
    // Moves the window to the centre of the screen when its title bar would be on no screen.
    // Nothing where the platform does not let the program place its windows.
    void keepTitleBarOnScreen();
    // Gives the focus back to the day or control that had it when the calendar was disabled.
    void restoreFocus();

    QString programFolder_;
    WindowOpeners openers_;
    settings::Settings settings_;
    // Set once the Settings file turned out damaged: it is not rewritten unless a setting changes.
    bool settingsFileDamaged_ = false;
    // The record as it stood after start-up when the Settings file could not be read; unset while
    // the start-up is still reading it.
    std::optional<settings::Settings> settingsOfDamagedFile_;
    // TOP and LEFT as the Settings file gave them, written back unchanged where the platform
    // cannot tell the window's position.
    std::optional<float> storedTop_;
    std::optional<float> storedLeft_;
    calendar::CalendarPanel* panel_;
    QPointer<SplashWindow> splash_;
    QAction* todoAction_ = nullptr;
    bool todoChecked_ = false;
    bool shutDown_ = false;
    bool startedUp_ = false;
    QString pendingFile_;
    // What had the focus when the calendar was disabled: a day, or another control.
    QDate returnDay_;
    QPointer<QWidget> returnFocus_;
};

} // namespace app
