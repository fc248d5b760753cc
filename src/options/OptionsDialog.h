#pragma once
// The options dialog `frmOptions`: edits copies of the user-facing settings in its own controls and
// writes them into the Settings record on 更新 or OK. Every close rebuilds the month grid.

#include <QLabel>
#include <QWidget>
#include <QtGlobal>
#include <array>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace controls {
class FlatButton;
}

namespace calendar {
class MainHost;
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

class OptionsDialog : public QWidget {
    Q_OBJECT
  public:
    OptionsDialog(calendar::MainHost& host, QWidget* parent);

    // 更新: copies every control into the Settings record.
    void cmdApply_Click();
    // The background of 設定 (the colour of days with items), in the Settings encoding.
    qint32 kareColorValue() const { return kareColor_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildStartPage(QWidget* page);
    void buildRunPage(QWidget* page);
    void placeOnPage(QWidget* page);
    void Form_Load();
    void pickLevelColor(LevelLabel* label);
    void pickKareColor();
    void setKareColor(qint32 value);
    void chooseSoundFile();
    std::array<QLineEdit*, 4> itemTexts() const { return {Text1, Text2, Text3, Text4}; }
    std::array<LevelLabel*, 6> levelLabels() const {
        return {Label10, Label5, Label6, Label7, Label8, Label9};
    }

    calendar::MainHost& host_;

    QTabWidget* SSTab1;
    // 起動時の設定
    QGroupBox* Frame1;
    QCheckBox* Check1;
    QCheckBox* Check2;
    QCheckBox* Check4;
    QGroupBox* Frame4;
    LevelLabel* Label10;
    LevelLabel* Label5;
    LevelLabel* Label6;
    LevelLabel* Label7;
    LevelLabel* Label8;
    LevelLabel* Label9;
    QPushButton* Command3;
    // 動作時の設定
    QGroupBox* Frame2;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* Text3;
    QLineEdit* Text4;
    QPushButton* Command2;
    QGroupBox* Frame3;
    QLineEdit* Text5;
    QPushButton* Command1;
    QGroupBox* Frame6;
    QCheckBox* Check3;
    controls::FlatButton* Command4;

    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdApply;

    qint32 kareColor_ = 0;
};

} // namespace options
