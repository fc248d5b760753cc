#pragma once
// SIGTERM, SIGHUP and SIGINT (logout, shutdown, kill, Ctrl+C) turned into a Qt signal on the
// user-interface thread, so that the program ends through its normal shut-down instead of dying
// with its Settings unsaved. The C handler only writes the signal number into a socket pair; a
// QSocketNotifier reads it back in the event loop.

#include <QObject>
#include <array>
#include <csignal>

class QSocketNotifier;

namespace app {

class ShutdownSignals : public QObject {
    Q_OBJECT
  public:
    // Takes over the three signals; the newest object receives them.
    explicit ShutdownSignals(QObject* parent = nullptr);
    // Puts back the handlers that were in force before.
    ~ShutdownSignals() override;

  Q_SIGNALS:
    void received(int signalNumber);

  private:
    void readPending();

    std::array<int, 2> sockets_{-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    std::array<struct sigaction, 3> previous_{};
    int previousWriteEnd_ = -1;
};

} // namespace app
