#pragma once
// When the program syncs on its own: a few seconds after start-up, at the chosen interval after
// the last sync, and a few seconds after the Schedule file changed (several saves in a row make
// one sync). Asking for a sync while one runs makes one more once it has ended.

#include <QObject>
#include <QTimer>

namespace syncview {

class SyncSchedule : public QObject {
    Q_OBJECT
  public:
    static constexpr int kAfterStartMs = 3000;
    static constexpr int kAfterChangeMs = 4000;

    explicit SyncSchedule(QObject* parent = nullptr);

    // The interval in minutes; 0 for none.
    void setInterval(int minutes);
    // Starts the schedule: the first sync comes kAfterStartMs later.
    void start();
    // Stops every timer; nothing is due until start() again.
    void stop();
    // The file changed; the sync comes kAfterChangeMs after the last of a series of changes.
    void noteChange();
    // A sync is wanted now.
    void requestNow();

    // What the runner tells: a sync began or ended.
    void syncStarted();
    void syncEnded();

  signals:
    // Time to start a sync.
    void due();

  private:
    void fire();

    QTimer once_;     // after start-up or a change
    QTimer interval_; // the chosen interval, from the end of the last sync
    bool active_ = false;
    bool running_ = false;
    bool again_ = false; // asked for while a sync ran
};

} // namespace syncview
