#pragma once
// The month the calendar shows, redrawn after a window changed what it is drawn from (the
// items of a day, the colours, the first day of the week), and its year.

namespace shell {

class MonthDisplay {
  public:
    virtual ~MonthDisplay() = default;

    // Rebuilds the month grid for the displayed year and month.
    virtual void rebuildMonthGrid() = 0;
    // The year of the month on show.
    virtual int displayedYear() const = 0;
};

} // namespace shell
