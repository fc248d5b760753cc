#pragma once
// A stand-in for the calendar main window, for testing the windows it opens: it holds the
// Settings and the Selected date, a real QWidget to disable, and counts
// grid rebuilds. Header-only; link daduvov_gui.

#include "shell/Host.h"

#include <QWidget>

namespace testsupport {

class FakeHost : public shell::Host {
  public:
    FakeHost() { window.setObjectName(QStringLiteral("M_calendar2")); }

    settings::Settings& settings() override { return settingsRecord; }
    QDate selectedDate() const override { return selected; }
    void setSelectedDate(const QDate& date) override { selected = date; }
    QWidget* mainWindow() override { return &window; }
    void setMainEnabled(bool enabled) override { window.setEnabled(enabled); }
    void rebuildMonthGrid() override { ++rebuilds; }
    int displayedYear() const override { return shownYear; }
    void setTodoChecked(bool checked) override { todoChecked = checked; }

    settings::Settings settingsRecord;
    QDate selected = QDate(2026, 3, 5);
    QWidget window;
    int rebuilds = 0;
    int shownYear = 2026;
    bool todoChecked = false;
};

} // namespace testsupport
