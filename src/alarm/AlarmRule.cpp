#include "alarm/AlarmRule.h"

#include "platform/Paths.h"
#include "store/ItemRules.h"

#include <QFileInfo>

namespace alarms {

QString currentTimeText(const QTime& time) {
    return QStringLiteral("%1%2")
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'));
}

bool isAlarmTime(const QString& timeText) {
    if (timeText.size() != 4)
        return false;
    for (const QChar c : timeText) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return QStringView(timeText).left(2).toInt() < 24 && QStringView(timeText).right(2).toInt() < 60;
}

QDateTime alarmMoment(const QString& dateString, const QString& timeText) {
    const QDate date = store::dateOfString(dateString);
    if (!date.isValid() || !isAlarmTime(timeText))
        return {};
    return QDateTime(date,
                     QTime(QStringView(timeText).left(2).toInt(), QStringView(timeText).right(2).toInt()));
}

QDateTime minuteOf(const QDateTime& time) {
    return QDateTime(time.date(), QTime(time.time().hour(), time.time().minute()));
}

QString clockText(const QString& timeText) {
    return timeText.left(2) + QLatin1Char(':') + timeText.mid(2);
}

QString whenText(const QString& dateString, const QString& timeText) {
    return dateString + QLatin1Char(' ') + clockText(timeText);
}

QString soundPath(const QString& almFile) {
    if (almFile.isEmpty() || !QFileInfo(almFile).isRelative())
        return almFile;
    return platform::joinPath(platform::programFolder(), almFile);
}

} // namespace alarms
