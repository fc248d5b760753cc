#pragma once
// What the main window calls for the alarm: the check on every clock tick, and the list of missed
// alarms once at start-up. Both share one check, so the minutes the start-up list covers are not
// rung again, and its busy flag spans the ticks that come while its box is open.

#include <functional>

namespace shell {
class Host;
}

namespace alarms {

struct AlarmHooks {
    std::function<void(shell::Host&)> tick;
    std::function<void(shell::Host&)> startUp;
};

AlarmHooks alarmHooks();

} // namespace alarms
