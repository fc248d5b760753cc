#pragma once
// The calendar of the main window: the frame "カレンダー" with the Year and Month boxes and their
// spin buttons, the weekday header, the 37 day buttons and 5 spare buttons, the clock and date
// labels and the clock timer, which ticks just after each second begins. Owns the Selected date and rebuilds
// the grid.
//
// The month on show is one year-and-month value: the grid is laid from it, and the boxes and spins
// display it. What the user types into a box takes effect at the next rebuild; a rebuild happens
// whenever a box is left or confirmed with a value that differs from the month on show, and
// before a day click is acted on, so the boxes never stay over a grid of another month.

#include "calendar/MonthGrid.h"
#include "controls/FlatButton.h"
#include "settings/Settings.h"
#include "store/DayStore.h"
#include "store/FileWatch.h"

#include <QDate>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <array>
#include <optional>

namespace controls {
class ClockFace;
class SpinButton;
} // namespace controls

namespace calendar {

// A day button: a flat-coloured push button whose right-button press is reported on the press
// itself. From the keyboard, Enter clicks it; Ctrl+Enter, Shift+F10 and the context-menu key
// stand for the right button; the arrow keys ask to move by a day, Up and Down by a week.
class DayButton : public controls::FlatButton {
    Q_OBJECT
  public:
    using controls::FlatButton::FlatButton;

    // Whether the button stands for the Selected date; a screen reader hears it as selected.
    bool isSelectedDay() const { return selectedDay_; }
    void setSelectedDay(bool selected);

  Q_SIGNALS:
    void rightPressed();
    // An arrow key: the focus should move this many days.
    void stepRequested(int days);
    void focused();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    bool selectedDay_ = false;
};

class CalendarPanel : public QWidget {
    Q_OBJECT
  public:
    // Colour of blank cells and of days without items: RGB E0 E0 E0.
    static constexpr qint32 kBlankColor = 14737632;

    CalendarPanel(settings::Settings& settings, QWidget* parent = nullptr);

    QDate selectedDate() const { return selected_; }
    void setSelectedDate(const QDate& date) { selected_ = date; }
    // The month the grid shows.
    YearMonth shownMonth() const { return shown_; }

    // The boxes and spins from today, the Selected date, both labels, and the clock started.
    void initialiseFromToday();

    // Lays the 37 day buttons for the month the boxes name, coloured by whether each day has
    // items, and marks the Selected date.
    void rebuildMonthGrid();
    // Marks the Selected date's button with the date marker font when its month is on show.
    void markSelectedDay();
    // Every day button back to the plain font.
    void clearDayMarker();
    // Menu 今日: Selected date, boxes and spins to today, then rebuild.
    void showToday();

    // Gives the focus to the day button of `date` when its month is on show; false otherwise.
    bool focusDay(const QDate& date);
    // The date of the day button that has the window's focus, or an invalid date.
    QDate focusedDay() const;

    // The date of day button n: the shown month and the button's caption as the day; an invalid
    // date for a blank cell.
    QDate buttonDate(int n) const;

    DayButton* dayButton(int n) const { return buttons_[static_cast<size_t>(n - 1)]; }
    QLineEdit* yearBox() const { return yearBox_; }
    QLineEdit* monthBox() const { return monthBox_; }
    controls::SpinButton* yearSpin() const { return yearSpin_; }
    controls::SpinButton* monthSpin() const { return monthSpin_; }
    controls::ClockFace* clockFace() const { return clockFace_; }
    QLabel* dateLabel() const { return dateLabel_; }
    QTimer* clockTimer() const { return clockTimer_; }
    // Number of grid builds so far (each rebuild of the 37 buttons).
    int buildCount() const { return builds_; }

  Q_SIGNALS:
    // A left click on a day button (after the Selected date and the marker were updated).
    void dayClicked();
    // A right-button press on a day button (after the Selected date was set).
    void dayRightPressed();
    // Every clock tick that shows a new second, after the clock label was written; delivered once the timer's
    // handler has returned, so a message box opened from it leaves the clock running.
    void ticked();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void buildControls();
    void buildMonthControls();
    void buildWeekdayHeader();
    void buildDayButtons();
    void buildClock();
    // Sets the Selected date to the clicked button's date; false when the button is blank by then.
    bool selectClickedDay(int n);
    void yearSpinChanged(int value);
    void monthSpinChanged(int value);
    // A box was confirmed or left: rebuild when the boxes name another month than the grid
    // shows, otherwise write the month on show back into them (in plain form, or over text that
    // is no valid number).
    void boxEdited();
    // The month the boxes name: each box's number when it is a whole number in range, otherwise
    // the shown month's value.
    YearMonth boxesMonth() const;
    // Writes the shown month into both boxes and both spins, without a rebuild.
    void showMonthInControls();
    // The date of a clicked day button, after a rebuild when the boxes name another month;
    // nothing when the button is blank by then.
    std::optional<QDate> clickedDate(int n);
    bool isMarkedDay(const QStringList& markedDates, int day) const;
    // Moves the focus from day button n by `days`, showing another month when the day lies in it.
    void stepFocus(int n, int days);
    // Makes day button n the one day Tab stops at (the others take the focus by click or arrow).
    void setTabDay(int n);
    // After a rebuild: Tab stops at the focused day, else the Selected date, else the 1st.
    void placeTabDay();
    // The button showing `day` of the month on show, or 0.
    int buttonOfDay(int day) const;
    // The tooltip of a day button: the holiday's name over the frame's tip, empty on other days.
    QString dayTip(const QDate& date) const;
    void paintButton(DayButton* button, qint32 color);
    // The names a screen reader speaks for the boxes, spins and labels, and texts sized to fit
    // their fixed boxes.
    void describeControls();
    // Each day button's spoken name ("12月10日 木曜日", the holiday, 予定あり, 選択中) and
    // state; blank cells say nothing and take no focus.
    void describeDays();
    void tick();
    // Milliseconds from now until just after the next second begins.
    static int untilNextSecond();
    // Tells once per file that it was opened read-only, and why.
    // Called after the month's query and on the clock's tick.
    void reportReadOnlyFile();

    settings::Settings& settings_;
    store::DayStore dayStore_;
    QDate selected_;
    YearMonth shown_;
    int builds_ = 0;
    bool repainting_ = false; // a theme change is being followed

    QGroupBox* frame_ = nullptr;
    QLabel* yearLabel_ = nullptr;
    QLineEdit* yearBox_ = nullptr;
    controls::SpinButton* yearSpin_ = nullptr;
    QLabel* monthLabel_ = nullptr;
    QLineEdit* monthBox_ = nullptr;
    controls::SpinButton* monthSpin_ = nullptr;
    std::array<QLabel*, 7> weekdayLabels_{};
    std::array<DayButton*, 42> buttons_{};
    controls::ClockFace* clockFace_ = nullptr;
    QLabel* dateLabel_ = nullptr;
    QTimer* clockTimer_ = nullptr;
    // Colours the month again after a read found the file locked.
    static constexpr int kMarkRetryMs = 1500;
    QTimer markRetry_;
    QString clockFormat_;
    QStringList markedDates_;  // the dates of the month on show that have items
    QString readOnlyReported_; // the file last reported as read-only
    QString readOnlyAnswered_; // the file that last told whether it is read-only
    store::FileNotice readOnlyNotice_;
    static constexpr int kReadOnlyRetryMs = 1000;
    QElapsedTimer readOnlyRetry_;
    static constexpr int kTickAfterSecondMs = 2;
    qint64 shownSecond_ = -1; // the second the clock label shows, since the epoch
};

} // namespace calendar
