#pragma once
// The day display (`D_output`): a small borderless window with the four items of the Selected
// date, each in the colour of its level. Read-only; closed with its OK button.

#include "day/HolidayHeading.h"
#include "store/ScheduleLayout.h"

#include <QPixmap>
#include <QWidget>
#include <array>
#include <memory>

class QLabel;
class QPushButton;

namespace shell {
class Host;
}

namespace day {

class DisplayWindow : public QWidget {
    Q_OBJECT
  public:
    // Shows the Selected date and centres the window; the item boxes start empty.
    DisplayWindow(shell::Host& host, QWidget* parent);

    // The box of slot 1..4: its text, drawn in the colour of `level` (CRL0..CRL5). A level
    // outside 0..5 keeps the button-text colour.
    void setItem(int slot, const QString& content, int level);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildDateHeading();
    void buildItemBoxes();
    void buildOkButton();
    // Shows the Selected date, stepping the font down until the whole date fits its place.
    void showDate();
    // The window's role for a screen reader, and the heading drawn black on its light picture
    // whatever the theme.
    void describeControls();

    shell::Host& host_;
    QPixmap background_;
    QLabel* dateLabel_ = nullptr;
    std::unique_ptr<HolidayHeading> holidayHeading_;
    std::array<QLabel*, store::kSlotCount> itemBoxes_{}; // slot n at index n - 1
    QPushButton* okButton_ = nullptr;
};

} // namespace day
