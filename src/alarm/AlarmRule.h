#pragma once
// When a day record rings: the comparison of its alarm switch and alarm time with the clock.

#include <QString>
#include <QTime>

// The module's namespace is `alarms`: a namespace `alarm` would clash with the POSIX function
// alarm() that the C++20 standard headers declare in the global namespace.
namespace alarms {

// The stored alarm switch of an armed item, and what disarming writes.
inline const QString kArmed = QStringLiteral("True");
inline const QString kDisarmed = QStringLiteral("False");

// Hour and minute, each as two digits: 09:05 gives "0905".
QString currentTimeText(const QTime& time);

// An item rings when its switch is exactly "True" and its time text, compared as text, is the
// current minute. "930" or the empty-time marker "####" never equal a four-digit minute.
bool rings(const QString& alarmText, const QString& timeText, const QString& currentTime);

// The sound file to play for the ALM_FILE setting: a name without a folder (the dialog's
// "daduvov.WAV") means the file in the program folder, not in whatever the working folder is.
QString soundPath(const QString& almFile);

} // namespace alarms
