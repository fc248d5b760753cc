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

struct State {
    shell::Host* host = nullptr;
    std::unique_ptr<AlarmCheck> check;
    shell::Host* notifierHost = nullptr;
    std::unique_ptr<DesktopNotifier> notifier;
    QDateTime startMinute; // the start-up list covers what lies before it

    // The notifier of `host`'s window. The start-up list makes it first, and it lives on, so that
    // the notifications an earlier run left stay until their items are disarmed or the program ends.
    DesktopNotifier* notifierFor(shell::Host& host) {
        if (!notifier || notifierHost != &host) {
            QPointer<QWidget> window = host.mainWindow();
            notifier = std::make_unique<DesktopNotifier>([window] { bringForward(window); });
            notifierHost = &host;
        }
        return notifier.get();
    }
};

} // namespace

AlarmHooks alarmHooks() {
    auto state = std::make_shared<State>();
    AlarmHooks hooks;
    hooks.tick = [state](shell::Host& host) {
        if (state->host != &host) {
            if (state->check && state->check->busy())
                return; // the check in progress belongs to another host; it must stay alive
            DesktopNotifier* notifier = state->notifierFor(host);
            state->check = std::make_unique<AlarmCheck>(host);
            state->check->onRing = [notifier](const DueAlarm& item) { notifier->notify(item); };
            state->check->onBoxClosed = [notifier](const DueAlarm& item) { notifier->withdraw(item); };
            if (state->startMinute.isValid())
                state->check->setCheckedFrom(state->startMinute);
            state->host = &host;
        }
        state->check->check();
    };
    hooks.startUp = [state](shell::Host& host) {
        state->startMinute = minuteOf(platform::now());
        DesktopNotifier* notifier = state->notifierFor(host);
        showMissedAlarms(host, state->startMinute,
                         [notifier](const DueAlarm& item) { notifier->withdraw(item); });
    };
    return hooks;
}

} // namespace alarms
