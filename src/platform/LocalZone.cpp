#include "platform/LocalZone.h"

#include <QFileInfo>

#include <ctime>

namespace platform {

LocalZone::LocalZone(const QString& zoneFile, QObject* parent) : QObject(parent), zoneFile_(zoneFile) {
    if (qEnvironmentVariableIsSet("TZ") || !QFileInfo(zoneFile).isAbsolute())
        return;
    pin_ = ':' + QFile::encodeName(zoneFile);
    qputenv("TZ", pin_);
    tzset();
    watch_.addPath(QFileInfo(zoneFile).absolutePath());
    watch_.addPath(zoneFile);
    connect(&watch_, &QFileSystemWatcher::fileChanged, this, &LocalZone::reload);
    connect(&watch_, &QFileSystemWatcher::directoryChanged, this, &LocalZone::reload);
}

LocalZone::~LocalZone() {
    if (pinned()) {
        qunsetenv("TZ");
        tzset();
    }
}

void LocalZone::reload() {
    // The C library reads the zone again only when TZ names the file differently from the last
    // time: first by a path with a doubled slash, then by its own. Both replace the value in
    // place, which other threads reading TZ meanwhile can bear (removing it could not).
    qputenv("TZ", ":/" + pin_.mid(1));
    tzset();
    qputenv("TZ", pin_);
    tzset();
    // A file replaced by renaming another over it is no longer watched.
    if (!watch_.files().contains(zoneFile_) && QFileInfo::exists(zoneFile_))
        watch_.addPath(zoneFile_);
}

} // namespace platform
