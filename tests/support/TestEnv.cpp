#include "support/TestEnv.h"

#include "platform/Paths.h"
#include "store/ScheduleFile.h"

#include <QtTest>

namespace testsupport {

TestEnv::TestEnv() : previousXdg_(qgetenv("XDG_DATA_HOME")), previousRuntime_(qgetenv("XDG_RUNTIME_DIR")) {
    qputenv("XDG_DATA_HOME", dir_.path().toUtf8() + "/xdg");
    const QString runtime = dir_.filePath(QStringLiteral("run"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
}

TestEnv::~TestEnv() {
    qputenv("XDG_DATA_HOME", previousXdg_);
    if (previousRuntime_.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", previousRuntime_);
}

QString TestEnv::programFolder() const {
    return platform::programFolder();
}

QString TestEnv::path(const QString& name) const {
    return dir_.filePath(name);
}

QString TestEnv::makeScheduleFile(const QString& name) const {
    const QString p = path(name);
    const store::Error error = store::createScheduleFile(p);
    if (error.failed())
        qWarning("could not create %s: %s", qPrintable(p), qPrintable(error.message));
    return p;
}

} // namespace testsupport
