#pragma once
// What a test of the whole program stands on: a temporary program folder, the fake platform
// installed with its clock at 2026/3/5 09:00, and an empty Schedule file. startProgram() starts
// the main window with the program's own openers. A test makes one in init() and drops it in
// cleanup(), so that every test function starts afresh. Header-only; link daduvov_gui.

#include "app/MainWindow.h"
#include "app/Openers.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "settings/ConfigFile.h"
#include "support/FakePlatform.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QtTest>
#include <memory>

namespace testsupport {

struct ProgramFixture {
    ProgramFixture() {
        fake.install();
        fake.clock = QDateTime(QDate(2026, 3, 5), QTime(9, 0, 0));
    }

    // The Settings file path in the program folder.
    QString settingsPath() const {
        return platform::joinPath(env.programFolder(), settings::kSettingsFileName);
    }

    // Writes a Settings file naming `schedule` as START_FILE, followed by the `extra` lines.
    void writeSettings(const QStringList& extra = {}) const {
        QStringList lines = {QStringLiteral("[Daduvov]"), QStringLiteral("START_FILE=") + schedule};
        lines << extra;
        if (platform::writeTextFile(settingsPath(), lines))
            qWarning("could not write the settings file");
    }

    // The main window after its start-up, over whatever Settings file the folder holds; it opens
    // the program's own windows unless a test passes openers that record the calls.
    std::unique_ptr<app::MainWindow> startProgram(app::WindowOpeners openers = app::programOpeners()) const {
        auto w = std::make_unique<app::MainWindow>(env.programFolder(), std::move(openers));
        w->startUp();
        return w;
    }

    TestEnv env;
    FakePlatform fake;
    QString schedule = env.makeScheduleFile();
};

// Closes every window a test left open but the main window (dropped with its test).
inline void closeOtherWindows() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isWindow() && w->objectName() != QLatin1String("M_calendar2"))
            w->close();
}

} // namespace testsupport
