#pragma once
// Runs one sync at a time on a worker thread, so that the network and the file work never hold up
// the calendar, its clock or its alarm. The job gets a stop flag it must look at often; the
// result comes back on the thread that started it.

#include "sync/Engine.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace syncview {

class SyncRunner : public QObject {
    Q_OBJECT
  public:
    using Job = std::function<calsync::SyncReport(const std::atomic_bool& stop)>;

    explicit SyncRunner(QObject* parent = nullptr);
    // Stops a running job, waiting as stop() does.
    ~SyncRunner() override;

    // Starts the job; false (and nothing started) while another one runs.
    bool start(Job job);
    bool running() const { return thread_ != nullptr; }
    // Asks the running job to stop and waits up to `waitMs` for it; true when none runs any more.
    // A job that does not stop in time is left to end with the process: each of its writes to the
    // file is a transaction of its own, so the file stays whole, and the next sync goes on from it.
    bool stop(int waitMs);
    // Whether a job was left running by stop(): the process must then end without running the
    // destructors of what that job still uses (std::_Exit once everything else is done).
    static bool leftRunning();

  signals:
    void finished(const calsync::SyncReport& report);

  private:
    void collect();

    QThread* thread_ = nullptr;
    std::shared_ptr<std::atomic_bool> stop_;
    std::shared_ptr<calsync::SyncReport> report_;
};

} // namespace syncview
