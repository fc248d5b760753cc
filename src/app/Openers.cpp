#include "app/Openers.h"

#include "alarm/AlarmHooks.h"
#include "day/DayWindows.h"
#include "list/ListWindows.h"
#include "options/OptionsWindows.h"
#include "todo/TodoWindows.h"

namespace app {

WindowOpeners programOpeners() {
    WindowOpeners openers;
    openers.entry = &day::showEntryWindow;
    openers.dayDisplay = &day::showDayDisplay;
    openers.list = &list::showListWindow;
    openers.openTodo = &todo::showTodoWindow;
    openers.closeTodo = &todo::closeTodoWindow;
    openers.options = &options::showOptions;
    const alarms::AlarmHooks alarm = alarms::alarmHooks();
    openers.alarmCheck = alarm.tick;
    openers.missedAlarms = alarm.startUp;
    return openers;
}

} // namespace app
