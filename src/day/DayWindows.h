#pragma once
// What the calendar main window calls to open the day windows.

namespace shell {
class Host;
}

namespace day {

// Opens the entry window for the Selected date. The caller has already disabled the main window;
// the entry window enables it again when it closes. Without a Schedule file (START_FILE empty),
// or when the file cannot be read, no window stays open and the main window is enabled at once.
void showEntryWindow(shell::Host& host);

// Reads the four items of the Selected date from the Schedule file and shows them in
// the day display, or the box "予定はありません" when there are none. While the display is open
// the main window is disabled; every way of ending enables it again.
void showDayDisplay(shell::Host& host);

} // namespace day
