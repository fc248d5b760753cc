#pragma once
// The window "見逃したアラーム" that start-up shows when armed items passed their alarm time while
// the program was not running: one line per item (date, time and content in its level's colour),
// newest first. OK disarms the items shown; 後で (or closing the window) keeps them armed for the
// next start.

#include "settings/Settings.h"
#include "store/ArmedItems.h"

#include <QDialog>
#include <functional>
#include <vector>

class QListWidget;
class QPushButton;

namespace calendar {
class MainHost;
}

namespace alarms {

class MissedAlarmsWindow : public QDialog {
    Q_OBJECT
  public:
    // `shown` are the items listed, `more` the number of further missed items left out.
    MissedAlarmsWindow(const std::vector<store::ArmedItem>& shown, int more,
                       const settings::Settings& settings, QWidget* parent = nullptr);

    QListWidget* lines() const { return lines_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* laterButton() const { return laterButton_; }

  private:
    QListWidget* lines_;
    QPushButton* okButton_;
    QPushButton* laterButton_;
};

// Shows the missed alarms of the host's Schedule file before `minute` and, after OK, disarms the
// ones shown. Nothing is shown when there are none or the file cannot be read.
void showMissedAlarms(calendar::MainHost& host, const QDateTime& minute);

} // namespace alarms
