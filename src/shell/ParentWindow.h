#pragma once
// The calendar's main window as the other windows see it: the parent of the windows opened from
// it, disabled while a window that holds it is open and enabled again when that window ends.

class QWidget;

namespace shell {

class ParentWindow {
  public:
    virtual ~ParentWindow() = default;

    // The main window, as parent of the windows it opens.
    virtual QWidget* mainWindow() = 0;
    virtual void setMainEnabled(bool enabled) = 0;
};

} // namespace shell
