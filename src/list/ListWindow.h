#pragma once
// The list window (objectName `D_list`): every Day record of the Schedule file in a data grid,
// narrowed by item slot, level, alarm state and year/month, searched by content and sorted by one
// field. Every filter, search and sort builds one query (list/QueryBuilder.h) and makes it the
// record source of the window's data control.

#include "controls/Geometry.h"
#include "list/QueryBuilder.h"
#include "store/DataControl.h"

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace shell {
class Host;
}
namespace controls {
class DataGrid;
class SpinButton;
} // namespace controls

namespace list {

class ListWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ListWindow(shell::Host& host, QWidget* parent = nullptr);
    ~ListWindow() override;

    // Fills the choice lists, opens the Schedule file and centres the window. Returns false when
    // the window closed itself (no Schedule file is set).
    bool load();
    // Reads the rows again after another writer changed the file, keeping the filter and sort;
    // nothing while a row is being edited, so typing is never lost.
    void reloadUnlessEditing();

    // The grid over the window's data control (whose record source is the query in force).
    controls::DataGrid* grid() const { return grid_; }

    // The longest search text, in characters; no real search needs more, and a longer pattern
    // only makes LIKE slower.
    static constexpr int kMaxSearchLength = 255;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildDateFilter();
    void buildItemFilter();
    void buildSearch();
    void buildSort();
    void buildButtonsAndGrid();
    void connectEvents();
    // The names a screen reader speaks for the controls whose caption stands beside them.
    void describeControls();

    // The filter controls' state as the query builders read it.
    FilterState filterState() const;

    void runDateFilter();
    void runCombinedFilter();
    void searchContent();
    void sort(SortOrder order);
    void clearItemFilters();
    void setYearToToday();
    // Runs the filter a change or pick of `box` stands for.
    void filterFor(QComboBox* box);
    void comboChanged(QComboBox* box);
    void comboClicked(QComboBox* box);
    // Sets the data control's record source to the query and refreshes it; nothing before the
    // data control is open.
    void runQuery(const QString& query);
    bool refreshData(const QString& source);

    shell::Host& host_;
    store::DataControl data_;

    QCheckBox* dateFilterCheck_ = nullptr;
    QLineEdit* yearEdit_ = nullptr;
    controls::SpinButton* yearSpin_ = nullptr;
    QComboBox* monthBox_ = nullptr;
    QComboBox* slotBox_ = nullptr;
    QComboBox* levelBox_ = nullptr;
    QComboBox* alarmBox_ = nullptr;
    QPushButton* clearFiltersButton_ = nullptr;
    QLineEdit* searchEdit_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QButtonGroup* sortGroup_ = nullptr;
    QPushButton* ascendingButton_ = nullptr;
    QPushButton* descendingButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QPushButton* csvExportButton_ = nullptr;
    controls::DataGrid* grid_ = nullptr;

    QComboBox* changedByPick_ = nullptr; // the box whose change ran a filter in this event pass
    bool dataOpen_ = false;              // filters run only once the load has opened the file
    controls::GridWindowRules sizeRules_{8900, 5000, 3200};
};

} // namespace list
