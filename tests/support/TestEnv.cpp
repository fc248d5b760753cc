#include "support/TestEnv.h"

#include "platform/Paths.h"
#include "store/ScheduleFile.h"

#include <QtTest>

namespace testsupport {

TestEnv::TestEnv() : previousXdg_(qgetenv("XDG_DATA_HOME")) {
    qputenv("XDG_DATA_HOME", dir_.path().toUtf8() + "/xdg");
}

TestEnv::~TestEnv() {
    qputenv("XDG_DATA_HOME", previousXdg_);
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
