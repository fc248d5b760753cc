#include "app/ShutdownSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace app {

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGHUP, SIGINT};

// The write end of the socket pair of the ShutdownSignals object now in force.
volatile std::sig_atomic_t writeEnd = -1;

extern "C" void onShutdownSignal(int signalNumber) {
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    if (writeEnd >= 0) [[maybe_unused]]
        const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, sockets_.data()) != 0) {
        sockets_ = {-1, -1};
        return;
    }
    notifier_ = new QSocketNotifier(sockets_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ShutdownSignals::readPending);
    previousWriteEnd_ = writeEnd;
    writeEnd = sockets_[0];

    struct sigaction action = {};
    action.sa_handler = onShutdownSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &action, &previous_[i]);
}

ShutdownSignals::~ShutdownSignals() {
    if (sockets_[0] < 0)
        return;
    for (size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &previous_[i], nullptr);
    writeEnd = previousWriteEnd_;
    ::close(sockets_[0]);
    ::close(sockets_[1]);
}

void ShutdownSignals::readPending() {
    char bytes[16];
    const ssize_t count = ::read(sockets_[1], bytes, sizeof bytes);
    for (ssize_t i = 0; i < count; ++i)
        Q_EMIT received(static_cast<unsigned char>(bytes[i]));
}

} // namespace app
