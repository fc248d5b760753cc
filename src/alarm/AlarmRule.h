#pragma once
// When a day record rings: the comparison of its alarm switch and alarm time with the clock.

#include <QDateTime>
#include <QString>
#include <QTime>

// The module's namespace is `alarms`: a namespace `alarm` would clash with the POSIX function
// alarm() that the C++20 standard headers declare in the global namespace.
namespace alarms {

// Hour and minute, each as two digits: 09:05 gives "0905".
QString currentTimeText(const QTime& time);

// Whether a time text is a well-formed alarm time: four digits HHMM, 0000 to 2359. "930", "####"
// and "2460" are not, and never ring.
bool isAlarmTime(const QString& timeText);

// The moment of an item's alarm: its Date string and alarm time together, in local time. Invalid
// when either part is not well-formed.
QDateTime alarmMoment(const QString& dateString, const QString& timeText);

// The start of the minute of `time`.
QDateTime minuteOf(const QDateTime& time);

// "09:30" for the alarm time "0930".
QString clockText(const QString& timeText);
// The date and time of an item as the alarm box shows them: "2026/12/7 09:30".
QString whenText(const QString& dateString, const QString& timeText);

// The sound file to play for the ALM_FILE setting: a name without a folder (the dialog's
// "daduvov.WAV") means the file in the program folder, not in whatever the working folder is.
QString soundPath(const QString& almFile);

} // namespace alarms
