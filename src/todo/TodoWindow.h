#pragma once
// The ToDo window (objectName `ToDo_list`): the entries of table ToDoリスト in a data grid where they are
// added, edited and deleted. The window keeps its position and size in the Settings.

#include "controls/Geometry.h"
#include "store/DataControl.h"

#include <QWidget>

namespace shell {
class Host;
}
namespace controls {
class DataGrid;
}

namespace todo {

class TodoWindow : public QWidget {
    Q_OBJECT
  public:
    explicit TodoWindow(shell::Host& host, QWidget* parent = nullptr);
    // Destroyed with the main window when the program quits: nothing is stored then.
    ~TodoWindow() override;

    // Opens the ToDo list and places the window from the Settings.
    void load();
    // Moves and sizes the window from the Settings (outer geometry, frame included); only sizes it
    // where the platform does not let the program place its windows.
    void place();
    // Shows the window where load() placed it.
    void showPlaced();

    // Reads the list again after another writer changed the file; nothing while a cell is edited,
    // so typing is never lost.
    void reloadUnlessEditing();

    // The grid over the window's data control.
    controls::DataGrid* grid() const { return grid_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    // The names a screen reader speaks for the grid and the button, and the title's colours.
    void describeControls();
    bool refreshData(const QString& source);
    // Keeps the window to its size rules and stores its geometry in the Settings.
    void applySizeRules();
    // Stores the window's outer position in the Settings, where the platform can tell it.
    void storePosition();

    shell::Host& host_;
    store::DataControl data_;
    controls::DataGrid* grid_ = nullptr;
    bool loaded_ = false;
    controls::GridWindowRules sizeRules_{3750, 1500, 900};
    bool showing_ = false;
};

} // namespace todo
