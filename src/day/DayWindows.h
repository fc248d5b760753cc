#pragma once
// What the calendar main window calls to open the day windows.

#include "store/DayStore.h"

namespace shell {
class Host;
}

namespace day {

// Opens the day windows. The program keeps one for as long as its main window lives: the day
// display's day records stay open from one display to the next.
class DayWindows {
  public:
    // Opens the entry window for the Selected date. The caller has already disabled the main
    // window; the entry window enables it again when it closes. Without a Schedule file
    // (START_FILE empty), or when the file cannot be read, no window stays open and the main
    // window is enabled at once.
    void showEntryWindow(shell::Host& host);

    // Reads the four items of the Selected date from the Schedule file and shows them in
    // the day display, or the box "予定はありません" when there are none. While the display is
    // open the main window is disabled; every way of ending enables it again.
    void showDayDisplay(shell::Host& host);
    // Shows an open day display's items as the file holds them now (another writer changed it);
    // nothing when none is open or the file cannot be read now.
    void refreshDayDisplay(shell::Host& host);

  private:
    store::DayStore displayStore_;
};

} // namespace day
