#include "alarm/AlarmHooks.h"

#include "alarm/AlarmCheck.h"
#include "alarm/AlarmRule.h"
#include "alarm/DesktopNotifier.h"
#include "alarm/MissedAlarmsWindow.h"
#include "platform/Services.h"
#include "shell/Host.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace alarms {

namespace {

// The notification's action: the calendar comes forward, restored when minimised.
void bringForward(QWidget* window) {
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

AlarmHooks alarmHooks() {
    struct State {
        shell::Host* host = nullptr;
        std::unique_ptr<AlarmCheck> check;
        std::unique_ptr<DesktopNotifier> notifier;
        QDateTime startMinute; // the start-up list covers what lies before it
    };
    auto state = std::make_shared<State>();
    AlarmHooks hooks;
    hooks.tick = [state](shell::Host& host) {
        if (state->host != &host) {
            if (state->check && state->check->busy())
                return; // the check in progress belongs to another host; it must stay alive
            QPointer<QWidget> window = host.mainWindow();
            state->notifier = std::make_unique<DesktopNotifier>([window] { bringForward(window); });
            state->check = std::make_unique<AlarmCheck>(host);
            state->check->onRing = [notifier = state->notifier.get()](const DueAlarm& item) {
                notifier->notify(item);
            };
            state->check->onBoxClosed = [notifier = state->notifier.get()](const DueAlarm& item) {
                notifier->withdraw(item);
            };
            if (state->startMinute.isValid())
                state->check->setCheckedFrom(state->startMinute);
            state->host = &host;
        }
        state->check->check();
    };
    hooks.startUp = [state](shell::Host& host) {
        state->startMinute = minuteOf(platform::now());
        showMissedAlarms(host, state->startMinute);
    };
    return hooks;
}

} // namespace alarms
