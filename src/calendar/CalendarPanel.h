#pragma once
// The calendar of the main window: the frame "カレンダー" with the Year and Month boxes and their
// spin buttons, the weekday header, the 37 day buttons and 5 spare buttons, the clock and date
// labels and the 100 ms clock timer. Owns the Selected date and rebuilds the grid (kareSET).

#include "settings/Settings.h"
#include "store/DataControl.h"

#include <QDate>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>

namespace controls {
class SpinButton;
}

namespace calendar {

// A day button: a push button whose right-button press is reported on the press itself.
class DayButton : public QPushButton {
    Q_OBJECT
  public:
    using QPushButton::QPushButton;

  Q_SIGNALS:
    void rightPressed();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

class CalendarPanel : public QWidget {
    Q_OBJECT
  public:
    // Colour of blank cells and of days without items: RGB E0 E0 E0.
    static constexpr qint32 kBlankColor = 14737632;

    CalendarPanel(settings::Settings& settings, store::DataControl& data1, QWidget* parent = nullptr);

    QDate selectedDate() const { return selected_; }
    void setSelectedDate(const QDate& date) { selected_ = date; }

    // Start-up steps 4 to 7: the boxes and spins from today, the Selected date, both labels.
    void initialiseFromToday();

    void kareSET();
    void DISP_MYDATE();
    void FONT_CLR();
    // Menu 今日: Selected date, boxes and spins to today, then rebuild.
    void kyou();

    // The date of day button n: Year box, Month box and the button's caption.
    QDate buttonDate(int n) const;

    DayButton* dayButton(int n) const { return buttons_[static_cast<size_t>(n - 1)]; }
    QLineEdit* yearBox() const { return Text1; }
    QLineEdit* monthBox() const { return Text2; }
    controls::SpinButton* yearSpin() const { return SpinButton1; }
    controls::SpinButton* monthSpin() const { return SpinButton2; }
    QLabel* clockLabel() const { return Label10; }
    QLabel* dateLabel() const { return Label11; }
    QTimer* clockTimer() const { return Timer1; }
    // Number of grid builds so far (each rebuild of the 37 buttons).
    int buildCount() const { return builds_; }

  Q_SIGNALS:
    // A left click on a day button (after the Selected date and the marker were updated).
    void dayClicked();
    // A right-button press on a day button (after the Selected date was set).
    void dayRightPressed();
    // Every clock tick, after the clock label was written; delivered once the timer's handler has
    // returned, so a message box opened from it leaves the clock running.
    void ticked();

  private:
    void buildControls();
    void yearSpinChanged(int value);
    void monthSpinChanged(int value);
    void yearBoxEdited();
    void monthBoxEdited();
    // Puts the last good values back into boxes holding no valid number.
    void restoreInvalidBoxes();
    bool CALEN_COLOR(const QStringList& markedDates, int day) const;
    void paintButton(QPushButton* button, qint32 color);
    void tick();

    settings::Settings& settings_;
    store::DataControl& data1_;
    QDate selected_;
    int builds_ = 0;

    QGroupBox* Frame1 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* Text1 = nullptr;
    controls::SpinButton* SpinButton1 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* Text2 = nullptr;
    controls::SpinButton* SpinButton2 = nullptr;
    std::array<QLabel*, 7> weekdayLabels_{};
    std::array<DayButton*, 42> buttons_{};
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QTimer* Timer1 = nullptr;
    QString clockFormat_;
};

} // namespace calendar
