#pragma once
// The windows the calendar opens, as the program wires them.

#include "app/MainWindow.h"

namespace app {

WindowOpeners programOpeners();

} // namespace app
