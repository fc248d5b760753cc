#pragma once
// The month the calendar shows, redrawn after a window changed what it is drawn from (the
// items of a day, the colours, the first day of the week).

namespace shell {

class MonthDisplay {
  public:
    virtual ~MonthDisplay() = default;

    // Rebuilds the month grid for the displayed year and month.
    virtual void rebuildMonthGrid() = 0;
};

} // namespace shell
