#pragma once
// The ToDo window `ToDo_list`: the entries of table ToDoリスト in a data grid where they are
// added, edited and deleted. The window keeps its position and size in the Settings.

#include "store/DataControl.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace calendar {
class MainHost;
}
namespace controls {
class DataGrid;
}

namespace todo {

class TodoWindow : public QWidget {
    Q_OBJECT
  public:
    explicit TodoWindow(calendar::MainHost& host, QWidget* parent = nullptr);
    // Destroyed with the main window when the program quits: nothing is stored then.
    ~TodoWindow() override;

    // `Form_Load`: opens the ToDo list and places the window from the Settings.
    void load();
    // Moves and sizes the window from the Settings (outer geometry, frame included).
    void place();
    // Shows the window where load() placed it.
    void showPlaced();
    // The size rules; stores the geometry in the Settings.
    void Form_Resize();

    store::DataControl Data1;
    QLabel* Label1;
    QPushButton* Command1;
    controls::DataGrid* DBGrid1;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Command1_Click();
    bool refreshData(const QString& source);

    calendar::MainHost& host_;
    bool loaded_ = false;
    bool resizing_ = false;
    bool showing_ = false;
};

} // namespace todo
