#include "alarm/AlarmRule.h"

#include "platform/Paths.h"

#include <QFileInfo>

namespace alarms {

QString currentTimeText(const QTime& time) {
    return QStringLiteral("%1%2")
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'));
}

bool rings(const QString& alarmText, const QString& timeText, const QString& currentTime) {
    return alarmText == kArmed && !timeText.isEmpty() && timeText == currentTime;
}

QString soundPath(const QString& almFile) {
    if (almFile.isEmpty() || !QFileInfo(almFile).isRelative())
        return almFile;
    return platform::joinPath(platform::programFolder(), almFile);
}

} // namespace alarms
