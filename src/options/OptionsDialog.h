#pragma once
// The options dialog `frmOptions`: edits copies of the user-facing settings in its own controls and
// writes them into the Settings record on 更新 or OK. Every close rebuilds the month grid.

#include "store/ScheduleLayout.h"

#include <QLabel>
#include <QWidget>
#include <QtGlobal>
#include <array>

class QCheckBox;
class QLineEdit;
class QTabWidget;

namespace controls {
class FlatButton;
}

namespace shell {
class Host;
}

namespace options {

// A level label: white box with a single black border and centred text drawn in its level colour.
// It keeps the colour in the Settings encoding, so a system colour survives an unchanged round trip.
class LevelLabel : public QLabel {
    Q_OBJECT
  public:
    LevelLabel(const QString& text, QWidget* parent);
    qint32 colorValue() const { return color_; }
    void setColorValue(qint32 value);

  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    qint32 color_ = 0;
    bool pressed_ = false;
};

// The file dialog's filter for the alarm sound.
inline const QString kSoundFileFilter = QStringLiteral("WAVEﾌｧｲﾙ(*.WAV)|*.WAV");

class OptionsDialog : public QWidget {
    Q_OBJECT
  public:
    OptionsDialog(shell::Host& host, QWidget* parent);

    // 更新: copies every control into the Settings record.
    void applySettings();
    // The background of 設定 (the colour of days with items), in the Settings encoding.
    qint32 markedDayColorValue() const { return markedDayColor_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildStartPage(QWidget* page);
    void buildRunPage(QWidget* page);
    void buildItemLabelFrame(QWidget* page);
    void buildCloseButtons();
    // The names a screen reader speaks for the item-name boxes and the window's role.
    void describeControls();
    void placeOnPage(QWidget* page);
    void loadControls();
    void pickLevelColor(LevelLabel* label);
    void pickMarkedDayColor();
    void setMarkedDayColor(qint32 value);
    void chooseSoundFile();

    shell::Host& host_;

    QTabWidget* tabs_;
    // 起動時の設定
    QCheckBox* showTodayCheck_;
    QCheckBox* startInTrayCheck_;
    QCheckBox* openTodoCheck_;
    // By level 0..5.
    std::array<LevelLabel*, 6> levelLabels_{};
    // 動作時の設定
    // By item slot 1..4.
    std::array<QLineEdit*, store::kSlotCount> itemLabelBoxes_{};
    QLineEdit* soundFileBox_;
    QCheckBox* markDaysCheck_;
    controls::FlatButton* markedDayColorButton_;

    qint32 markedDayColor_ = 0;
};

} // namespace options
