#pragma once
// The state the whole program shares: the Settings record and the Selected date. Any window,
// and the alarm check, reads and changes them through this.

#include "settings/Settings.h"

#include <QDate>

namespace shell {

class ProgramState {
  public:
    virtual ~ProgramState() = default;

    virtual settings::Settings& settings() = 0;
    virtual QDate selectedDate() const = 0;
    virtual void setSelectedDate(const QDate& date) = 0;
};

} // namespace shell
