#include "app/Openers.h"

#include "alarm/AlarmHooks.h"
#include "day/DayWindows.h"
#include "list/ListWindow.h"
#include "list/ListWindows.h"
#include "options/OptionsWindows.h"
#include "platform/Services.h"
#include "settings/Settings.h"
#include "syncview/SyncAccounts.h"
#include "syncview/SyncController.h"
#include "syncview/SyncSettingsDialog.h"
#include "todo/TodoWindows.h"

#include <QPointer>
#include <memory>

namespace app {

namespace {

// The windows the program keeps one of, with what they hold between openings.
struct ProgramWindows {
    day::DayWindows day;
    todo::TodoWindows todo;
    options::OptionsWindows options;
    std::unique_ptr<syncview::SyncController> sync;
    QPointer<syncview::SyncSettingsDialog> syncSettings;
};

void wireSync(WindowOpeners& openers, const std::shared_ptr<ProgramWindows>& windows) {
    openers.sync.start = [windows](shell::Host& host, QAction* syncNow) {
        // What shows the file's items is read again after a sync changed them. Weak: the
        // controller is one of the windows' own members.
        auto refresh = [weak = std::weak_ptr(windows), &host] {
            if (const auto held = weak.lock()) {
                held->todo.reload();
                held->day.refreshDayDisplay(host);
            }
            if (auto* list = host.mainWindow()->findChild<list::ListWindow*>())
                list->reloadUnlessEditing();
        };
        windows->sync = std::make_unique<syncview::SyncController>(host, syncview::programAccounts(), syncNow,
                                                                   std::move(refresh));
        windows->sync->restart();
    };
    openers.sync.tick = [windows] {
        if (windows->sync)
            windows->sync->tick();
    };
    const auto showSettings = [windows](shell::Host& host) {
        if (windows->syncSettings) {
            windows->syncSettings->raise();
            windows->syncSettings->activateWindow();
            return;
        }
        const QString file = host.settings().scheduleFile;
        if (file.isEmpty()) {
            platform::message(QStringLiteral("スケジュールファイルが設定されていません"),
                              QStringLiteral("同期設定"), platform::Icon::Exclamation, platform::Buttons::Ok);
            return;
        }
        windows->syncSettings = new syncview::SyncSettingsDialog(file, host.mainWindow());
        QObject::connect(windows->syncSettings, &syncview::SyncSettingsDialog::accountChanged, [windows] {
            if (!windows->sync)
                return;
            windows->sync->restart();
            windows->sync->syncNow();
        });
        windows->syncSettings->show();
    };
    openers.sync.settings = showSettings;
    // Without an account, 今すぐ同期 opens 同期設定.
    openers.sync.now = [windows, showSettings](shell::Host& host) {
        if (!windows->sync)
            return;
        windows->sync->syncNow();
        if (!windows->sync->hasAccount())
            showSettings(host);
    };
    openers.sync.fileChosen = [windows] {
        if (windows->sync)
            windows->sync->restart();
    };
    openers.sync.shutDown = [windows] {
        if (windows->sync)
            windows->sync->shutDown();
    };
}

} // namespace

WindowOpeners programOpeners() {
    // Owned by the openers, so by the main window they are handed to, and gone with it.
    auto windows = std::make_shared<ProgramWindows>();
    WindowOpeners openers;
    openers.entry = [windows](shell::Host& host) { windows->day.showEntryWindow(host); };
    openers.dayDisplay = [windows](shell::Host& host) { windows->day.showDayDisplay(host); };
    openers.list = &list::showListWindow;
    openers.openTodo = [windows](shell::Host& host) { return windows->todo.show(host); };
    openers.closeTodo = [windows] { windows->todo.close(); };
    openers.options = [windows](shell::Host& host) { windows->options.show(host); };
    const alarms::AlarmHooks alarm = alarms::alarmHooks();
    openers.alarmCheck = alarm.tick;
    openers.missedAlarms = alarm.startUp;
    wireSync(openers, windows);
    return openers;
}

} // namespace app
