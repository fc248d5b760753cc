#pragma once
// Opening the list window from the calendar.

namespace shell {
class Host;
}

namespace list {

// Opens the list window `D_list` non-modally; the caller has disabled the main window already.
// The window enables the main window again when it closes (at once when no Schedule file is set).
void showListWindow(shell::Host& host);

} // namespace list
