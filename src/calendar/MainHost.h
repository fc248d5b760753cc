#pragma once
// What the other windows need from the calendar main window: the program-wide state (Settings,
// Selected date), enabling it, rebuilding its month grid and the check mark
// of the ToDo menu item.

#include "settings/Settings.h"

#include <QDate>

class QWidget;

namespace calendar {

class MainHost {
  public:
    virtual ~MainHost() = default;

    virtual settings::Settings& settings() = 0;
    virtual QDate selectedDate() const = 0;
    virtual void setSelectedDate(const QDate& date) = 0;

    // The main window, as parent of the windows it opens.
    virtual QWidget* mainWindow() = 0;
    virtual void setMainEnabled(bool enabled) = 0;
    // Rebuilds the month grid for the displayed year and month.
    virtual void rebuildMonthGrid() = 0;
    // The check mark of the menu item ToDoリスト.
    virtual void setTodoChecked(bool checked) = 0;
};

} // namespace calendar
