#pragma once
// Local time without a look at the zone file at every conversion. With TZ unset, the C library
// checks /etc/localtime (a file-system call) each time a time is converted to or from local
// time, several times for every turn of the clock. Naming that same file in TZ stops the checks;
// a watch on the file and its folder brings a change of the system's zone (a new link, updated
// zone data) in when it happens.

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

namespace platform {

class LocalZone : public QObject {
  public:
    // Pins local time to `zoneFile` (an absolute path) when TZ is unset; a TZ that names a zone
    // is the user's choice and is left as it is.
    explicit LocalZone(const QString& zoneFile = QStringLiteral("/etc/localtime"), QObject* parent = nullptr);
    // TZ unset again, as it was.
    ~LocalZone() override;

    bool pinned() const { return !pin_.isEmpty(); }

  private:
    void reload();

    QString zoneFile_;
    QByteArray pin_; // the TZ value while pinned
    QFileSystemWatcher watch_;
};

} // namespace platform
