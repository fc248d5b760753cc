#pragma once
// Settings records and the files around them, for the tests of reading and writing Settings:
// the defaults the main window starts from, a changed copy, a failed comparison printed as the
// lines the record would be written as, and a host recording what reading asked of it.

#include "settings/ConfigFile.h"
#include "settings/Settings.h"
#include "support/Files.h"

#include <QtTest>
#include <functional>
#include <optional>

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

// Stands in for the main window while Settings are read: records every call in order, and the
// record as it stood when the missing-file flow was asked for.
class RecordingHost : public settings::ConfigHost {
  public:
    explicit RecordingHost(settings::Settings& s) : s_(s) {}

    QStringList calls;
    QList<settings::Settings> atMissingFile;
    std::optional<float> top, left;
    std::function<void()> onFirstRun;

    void firstRunFlow() override {
        calls << QStringLiteral("firstRun");
        if (onFirstRun)
            onFirstRun();
    }
    void missingFileFlow() override {
        calls << QStringLiteral("missing:") + s_.scheduleFile;
        atMissingFile << s_;
    }
    void setMainTop(float twips) override {
        calls << QStringLiteral("top:") + QString::number(twips);
        top = twips;
    }
    void setMainLeft(float twips) override {
        calls << QStringLiteral("left:") + QString::number(twips);
        left = twips;
    }

  private:
    settings::Settings& s_;
};

} // namespace testsupport
