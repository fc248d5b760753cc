#pragma once
// The entry window (`D_input`): the four items of one date, loaded from and written to the
// Schedule file through the window's own day-records service.

#include "day/HolidayHeading.h"
#include "store/DayStore.h"
#include "store/Error.h"

#include <QDate>
#include <QWidget>
#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace shell {
class Host;
}

namespace day {

class EntryWindow : public QWidget {
    Q_OBJECT
  public:
    // Builds the controls; nothing is read until load().
    EntryWindow(shell::Host& host, QWidget* parent);
    ~EntryWindow() override;

    // The load sequence. Returns false when the window must not stay open: no Schedule file is
    // set, or the file cannot be read (the user has then been told why). The caller closes it.
    bool load();

    // Clears the slot controls and loads the four items of the shown date. When the file cannot
    // be opened or read, the controls are left as they were and the engine's error is returned.
    store::Error loadDay();
    // Writes the slots of the shown date changed in this window, in one transaction. A slot that
    // another program saved meanwhile is overwritten only after the user saw both versions and
    // chose 上書き. Returns false, after telling the user, when they could not all be written
    // (or the user chose 取消); the stored rows of the date are then those of before.
    bool saveDay();
    // Gives each content box the colour of its slot's level and marks the window changed.
    void showLevelColours();

    bool isChanged() const { return changed_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // The controls of one item slot.
    struct SlotControls {
        QGroupBox* frame = nullptr;
        QComboBox* level = nullptr;
        QLineEdit* content = nullptr;
        QCheckBox* alarm = nullptr;
        QLineEdit* time = nullptr;
    };

    void buildControls();
    void buildButtons();
    void buildHeadings();
    SlotControls buildSlot(int index);
    void clearSlots();
    void connectEvents();
    void orderTabs();
    // The names a screen reader speaks for the buttons and each slot's controls, and the texts
    // of the narrow boxes sized to fit them.
    void describeControls();
    // The window's spoken name: its title and the date being edited.
    void describeDate();
    // The save question; true when the action that asked may go on.
    bool askToSave();
    void reportError(const QString& what, const store::Error& error);
    // Shows the stored and the typed version of each conflicting slot; true for 上書き.
    bool confirmOverwrite(const std::vector<store::SlotConflict>& conflicts);
    // After the user kept the file's version of conflicting slots: offers to show it in the window.
    void offerStoredItems(const std::vector<store::SlotConflict>& conflicts);
    // Shows a slot's item in its controls and takes it as the slot's loaded item.
    void showSlot(std::size_t index, const store::SlotItem& item);
    bool fileIsSet();
    // Shows the shown date in the heading, in a font that fits in front of the text after it.
    void showDateHeading();

    void todayClicked();
    void discardClicked();
    void writeClicked();

    shell::Host& host_;
    QDate date_;
    bool changed_ = false;
    store::DayStore dayStore_;
    std::array<store::SlotItem, store::kSlotCount>
        loaded_; // the slots as last read from or written to the file

    QPushButton* todayButton_ = nullptr;
    QPushButton* endButton_ = nullptr;
    QPushButton* discardButton_ = nullptr;
    QPushButton* writeButton_ = nullptr;
    QLabel* dateLabel_ = nullptr;
    QLabel* dateSuffixLabel_ = nullptr;
    std::unique_ptr<HolidayHeading> holidayHeading_;
    std::array<SlotControls, store::kSlotCount> slotControls_; // slot n at index n - 1
};

} // namespace day
