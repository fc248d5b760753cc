#pragma once
// A push button whose face is one flat colour, in the classic style: the face filled with exactly
// the palette's button colour, a raised bevel (white and light grey at the top and left, dark and
// mid grey at the bottom and right), a sunken border with the caption moved down and right while
// pressed, a dotted focus rectangle and an embossed grey caption when disabled. The widget style
// draws nothing, so no gradient or rounding alters the colour.

#include <QPushButton>

namespace controls {

class FlatButton : public QPushButton {
    Q_OBJECT
  public:
    explicit FlatButton(QWidget* parent = nullptr);
    FlatButton(const QString& text, QWidget* parent = nullptr);

    QColor faceColor() const { return palette().color(QPalette::Button); }
    // Sets the face colour (the palette's button colour); the caption stays in the button-text
    // colour.
    void setFaceColor(const QColor& color);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace controls
