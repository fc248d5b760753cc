#pragma once
// Opening and closing the ToDo window from the calendar.

class QWidget;

namespace shell {
class Host;
}

namespace todo {

// Opens the ToDo window `ToDo_list` non-modally beside the calendar (the main window stays
// enabled) and returns it; when it is open already, brings it forward and returns it.
QWidget* showTodoWindow(shell::Host& host);
// Closes the ToDo window as its close box would (storing its position); nothing when none is open.
void closeTodoWindow();

} // namespace todo
