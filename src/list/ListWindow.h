#pragma once
// The list window `D_list`: every Day record of the Schedule file in a data grid, narrowed by
// item slot, level, alarm state and year/month, searched by content and sorted by one field.
// Every filter, search and sort builds one query (list/QueryBuilder.h) and refreshes `Data1`
// with it.

#include "list/QueryBuilder.h"
#include "store/DataControl.h"

#include <QWidget>
#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace calendar {
class MainHost;
}
namespace controls {
class DataGrid;
class SpinButton;
} // namespace controls

namespace list {

class ListWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ListWindow(calendar::MainHost& host, QWidget* parent = nullptr);
    ~ListWindow() override;

    // `Form_Load`. Returns false when the window closed itself (no Schedule file is set).
    bool load();

    // The filter controls' state as the query builders read it.
    FilterState filterState() const;

    // The query operations.
    void D_FILTER();
    void M_FILTER();
    void searchContent();
    void sort(SortOrder order);

    // The longest search text, in characters; no real search needs more, and a longer pattern
    // only makes LIKE slower.
    static constexpr int kMaxSearchLength = 255;

    store::DataControl Data1;

    QGroupBox* Frame5;
    QCheckBox* Check1;
    QLineEdit* Text2;
    controls::SpinButton* SpinButton1;
    QLabel* Label5;
    QComboBox* Combo2;
    QLabel* Label6;
    QGroupBox* frame1;
    QLabel* Label1;
    QComboBox* Combo1;
    QLabel* Label2;
    QComboBox* Combo4;
    QLabel* Label3;
    QComboBox* Combo5;
    QPushButton* Command4;
    QGroupBox* Frame2;
    QLabel* Label4;
    QLineEdit* Text1;
    QPushButton* Command2;
    QGroupBox* Frame3;
    QGroupBox* Frame4;
    std::array<QRadioButton*, 5> Option1{}; // by the old control index
    QPushButton* Command5;
    QPushButton* Command6;
    QPushButton* Command3;
    QPushButton* Command1;
    controls::DataGrid* DBGrid1;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void connectEvents();
    // Sets Data1's record source to the query and refreshes it; nothing before Data1 is open.
    void runQuery(const QString& query);
    bool refreshData(const QString& source);
    void comboChanged(QComboBox* box);
    void comboClicked(QComboBox* box);
    void Form_Resize();
    void Text2_DblClick();
    void Command3_Click();
    void Command4_Click();

    calendar::MainHost& host_;
    QPushButton* csvExportButton_; // the rows shown, to a CSV file
    QButtonGroup* sortGroup_;
    QComboBox* changedByPick_ = nullptr; // the box whose change ran a filter in this event pass
    bool dataOpen_ = false;              // filters run only once the load has opened Data1
    bool resizing_ = false;
};

} // namespace list
