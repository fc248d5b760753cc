#pragma once
// A helper program a test case runs beside itself (a private session bus, a sound server):
// started, waited for until it answers, and ended with the test case.

#include <QProcess>
#include <QtTest>
#include <functional>

namespace testsupport {

class HelperProcess {
  public:
    HelperProcess() = default;
    ~HelperProcess() { stop(); }
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // Starts `program` and asks `ready` for about five seconds; false, with the program ended, when
    // it cannot start or never answers.
    bool start(const QString& program, const QStringList& arguments, const std::function<bool()>& ready) {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, arguments);
        if (!process.waitForStarted(5000))
            return false;
        for (int attempt = 0; attempt < 50 && process.state() == QProcess::Running; ++attempt) {
            if (ready())
                return true;
            QTest::qWait(100);
        }
        stop();
        return false;
    }

    void stop() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(2000);
        }
    }

    QProcess process;
};

} // namespace testsupport
