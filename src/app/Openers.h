#pragma once
// The windows the calendar opens, as the program wires them.

#include "app/MainWindow.h"

namespace app {

// Each call makes its own windows: one ToDo window, one options dialog and the day display's
// records for the main window the openers are handed to.
WindowOpeners programOpeners();

} // namespace app
