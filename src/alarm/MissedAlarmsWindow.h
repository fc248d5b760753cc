#pragma once
// The window "見逃したアラーム" that start-up shows when armed items passed their alarm time while
// the program was not running: one line per item (date, time and content in its level's colour),
// newest first. OK disarms the items shown; 後で (or closing the window) keeps them armed for the
// next start.

#include "alarm/AlarmCheck.h"
#include "settings/Settings.h"
#include "store/ArmedItems.h"

#include <QDialog>
#include <functional>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace shell {
class Host;
}

namespace alarms {

class MissedAlarmsWindow : public QDialog {
    Q_OBJECT
  public:
    // `shown` are the items listed, `more` the number of further missed items left out. In a file
    // open read-only (`readOnlyReason` not empty) the items cannot be disarmed: the window says so
    // and offers only 閉じる.
    MissedAlarmsWindow(const std::vector<store::ArmedItem>& shown, int more,
                       const settings::Settings& settings, const QString& readOnlyReason = QString(),
                       QWidget* parent = nullptr);

    QListWidget* lines() const { return lines_; }
    // Null in a read-only file.
    QPushButton* okButton() const { return okButton_; }
    // 後で, or 閉じる in a read-only file.
    QPushButton* laterButton() const { return laterButton_; }
    QLabel* hint() const { return hint_; }

  protected:
    // Beside the calendar, on the side with room for it.
    void showEvent(QShowEvent* event) override;

  private:
    QListWidget* lines_;
    QPushButton* okButton_ = nullptr;
    QPushButton* laterButton_ = nullptr;
    QLabel* hint_ = nullptr;
};

// Shows the missed alarms of the host's Schedule file before `minute` and, after OK, disarms the
// ones shown, telling `disarmed` of each (so that a notification left on the desktop for it goes).
// Nothing is shown when there are none or the file cannot be read.
void showMissedAlarms(shell::Host& host, const QDateTime& minute,
                      const std::function<void(const DueAlarm&)>& disarmed = {});

} // namespace alarms
