#pragma once
// Settings records and the files around them, for the tests of reading and writing Settings:
// the defaults the main window starts from, a changed copy, and a failed comparison printed as
// the lines the record would be written as.

#include "settings/ConfigFile.h"
#include "settings/Settings.h"

#include <QFile>
#include <QtTest>
#include <functional>

Q_DECLARE_METATYPE(settings::Settings)

namespace settings {
inline char* toString(const Settings& s) {
    QStringList lines = configLines(s, 0, 0);
    for (QString& line : lines)
        line = line.left(120); // a 1 MB value would flood the log
    return QTest::toString(lines.join(QStringLiteral(" | ")));
}
} // namespace settings

namespace testsupport {

inline settings::Settings defaultSettings() {
    settings::Settings s;
    s.setColorDefaults();
    return s;
}

inline settings::Settings settingsWith(const std::function<void(settings::Settings&)>& change) {
    settings::Settings s = defaultSettings();
    change(s);
    return s;
}

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return !path.isEmpty() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace testsupport
