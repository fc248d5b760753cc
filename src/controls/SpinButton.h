#pragma once
// A spin button with two arrows and no text of its own. Every change of its value, by an arrow,
// a key or the program, is reported through valueChanged().

#include <QWidget>

class QToolButton;

namespace controls {

class SpinButton : public QWidget {
    Q_OBJECT
  public:
    // Horizontal: left arrow lowers, right arrow raises. Vertical: up raises, down lowers.
    explicit SpinButton(Qt::Orientation orientation, QWidget* parent = nullptr);

    int value() const { return value_; }
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    void setRange(int minimum, int maximum);
    // Clamps to the range; emits valueChanged() when the value changes.
    void setValue(int value);

    QToolButton* downButton() const { return down_; }
    QToolButton* upButton() const { return up_; }

  Q_SIGNALS:
    void valueChanged(int value);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    Qt::Orientation orientation_;
    QToolButton* down_;
    QToolButton* up_;
    QWidget* focusFrame_ = nullptr; // shown while the control has the focus
    int value_ = 0;
    int min_ = 0;
    int max_ = 100;
};

} // namespace controls
