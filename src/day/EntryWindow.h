#pragma once
// The entry window (`D_input`): the four items of one date, loaded from and written to the
// Schedule file through the window's own day-records service.

#include "store/DayStore.h"
#include "store/Error.h"

#include <QDate>
#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace calendar {
class MainHost;
}

namespace day {

class EntryWindow : public QWidget {
    Q_OBJECT
  public:
    // Builds the controls; nothing is read until load().
    EntryWindow(calendar::MainHost& host, QWidget* parent);
    ~EntryWindow() override;

    // The load sequence. Returns false when the window must not stay open: no Schedule file is
    // set, or the file cannot be read (the user has then been told why). The caller closes it.
    bool load();

    // Clears the slot controls and loads the four items of the shown date. When the file cannot
    // be opened or read, the controls are left as they were and the engine's error is returned.
    store::Error DATA_READ();
    // Writes the slots of the shown date changed in this window, in one transaction. A slot that
    // another program saved meanwhile is overwritten only after the user saw both versions and
    // chose 上書き. Returns false, after telling the user, when they could not all be written
    // (or the user chose 取消); the stored rows of the date are then those of before.
    bool DATA_WRITE();
    // Gives each content box the colour of its slot's level and marks the window changed.
    void SET_COLOR();

    bool isChanged() const { return changed_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void connectEvents();
    void orderTabs();
    // The save question; true when the action that asked may go on.
    bool askToSave();
    void reportError(const QString& what, const store::Error& error);
    // Shows the stored and the typed version of each conflicting slot; true for 上書き.
    bool confirmOverwrite(const std::vector<store::SlotConflict>& conflicts);
    bool fileIsSet();
    // Shows the shown date in the heading, in a font that fits in front of the text after it.
    void showDateHeading();

    void todayClicked();
    void discardClicked();
    void writeClicked();

    calendar::MainHost& host_;
    QDate date_;
    bool changed_ = false;
    store::DayStore dayStore_;
    std::array<store::SlotItem, 4> loaded_; // the slots as last read from or written to the file

    QPushButton* Command1 = nullptr; // today
    QPushButton* Command2 = nullptr; // end
    QPushButton* Command3 = nullptr; // discard
    QPushButton* Command4 = nullptr; // write
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QComboBox* Combo1 = nullptr; // level texts of slots 1..4
    QComboBox* Combo2 = nullptr;
    QComboBox* Combo3 = nullptr;
    QComboBox* Combo4 = nullptr;
    QLineEdit* Text1 = nullptr; // contents of slots 1..4
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr; // alarm times of slots 1..4
    QLineEdit* Text6 = nullptr;
    QLineEdit* Text7 = nullptr;
    QLineEdit* Text8 = nullptr;
    QCheckBox* Check1 = nullptr; // alarm switches of slots 1..4
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check4 = nullptr;

    // The controls of slot n at index n - 1.
    std::array<QGroupBox*, 4> frames() const { return {Frame1, Frame2, Frame3, Frame4}; }
    std::array<QComboBox*, 4> combos() const { return {Combo1, Combo2, Combo3, Combo4}; }
    std::array<QLineEdit*, 4> contents() const { return {Text1, Text2, Text3, Text4}; }
    std::array<QLineEdit*, 4> times() const { return {Text5, Text6, Text7, Text8}; }
    std::array<QCheckBox*, 4> checks() const { return {Check1, Check2, Check3, Check4}; }
};

} // namespace day
