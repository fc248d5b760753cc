#pragma once
// Opening and closing the ToDo window from the calendar.

#include <QPointer>

class QWidget;

namespace shell {
class Host;
}

namespace todo {

class TodoWindow;

// The one ToDo window of the program. The program keeps one for as long as its main window lives.
class TodoWindows {
  public:
    // Opens the ToDo window `ToDo_list` non-modally beside the calendar (the main window stays
    // enabled) and returns it; when it is open already, brings it forward and returns it.
    QWidget* show(shell::Host& host);
    // Closes the ToDo window as its close box would (storing its position); nothing when none is
    // open.
    void close();
    // Shows the list as the file holds it now, when the window is open and no cell is edited.
    void reload();

  private:
    QPointer<TodoWindow> window_;
};

} // namespace todo
