#pragma once
// Keys that a window's menu gives to its commands reach those commands whichever control holds
// the focus. A text box otherwise claims some Ctrl keys for its own editing before the window's
// shortcuts are looked at (Ctrl+V pastes), so that command could not be reached from it.

class QWidget;

namespace controls {

// Lets the shortcuts of the actions of `root`'s window win over the keys that `root` and every
// widget inside it (at the time of the call) would take for themselves. Keys that are no
// shortcut of the window keep their usual meaning in the controls.
void giveWindowShortcutsPriority(QWidget* root);

} // namespace controls
