#pragma once
// Everything a window may ask of the program, as one interface: the main window implements it
// and hands it to each window it opens. Code that needs only a part takes that part.

#include "shell/MonthDisplay.h"
#include "shell/ParentWindow.h"
#include "shell/ProgramState.h"
#include "shell/TodoMark.h"

namespace shell {

class Host : public ProgramState, public ParentWindow, public MonthDisplay, public TodoMark {};

} // namespace shell
