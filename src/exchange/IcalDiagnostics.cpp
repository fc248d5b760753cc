#include "exchange/IcalDiagnostics.h"

#include <QByteArrayList>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace exchange {

IcalDiagnostics::IcalDiagnostics() {
    std::fflush(stderr);
    int pipe[2];
    // Not blocking: a file that makes libical print more than the pipe holds loses the rest
    // instead of stopping the program.
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (saved_ < 0 || ::dup2(pipe[1], STDERR_FILENO) < 0) {
        if (saved_ >= 0)
            ::close(saved_);
        saved_ = -1;
        ::close(pipe[0]);
        ::close(pipe[1]);
        return;
    }
    ::close(pipe[1]);
    caught_ = pipe[0];
}

IcalDiagnostics::~IcalDiagnostics() {
    finish();
}

QString IcalDiagnostics::finish() {
    if (caught_ < 0)
        return QString();
    std::fflush(stderr);
    // Closes the pipe's writing end, so that the read below ends.
    while (::dup2(saved_, STDERR_FILENO) < 0 && errno == EINTR) {
    }
    ::close(saved_);
    std::clearerr(stderr);
    QByteArray text;
    char buffer[4096];
    ssize_t length;
    while ((length = ::read(caught_, buffer, sizeof buffer)) > 0)
        text.append(buffer, length);
    ::close(caught_);
    caught_ = saved_ = -1;

    static const QRegularExpression libicalLine(QStringLiteral("^\\S*ical\\S*\\.c:\\d+: (.+)$"));
    QString first;
    for (const QByteArray& line : text.split('\n')) {
        const QRegularExpressionMatch match = libicalLine.match(QString::fromUtf8(line));
        if (match.hasMatch()) {
            if (first.isEmpty())
                first = match.captured(1).trimmed();
        } else if (!line.isEmpty()) {
            std::fputs((line + '\n').constData(), stderr);
        }
    }
    return first;
}

} // namespace exchange
