#pragma once
// A frame in the classic style: an etched rectangle (a dark line with a white line beside it) whose
// top edge runs through the middle of the caption, and nothing else. The inside is the frame's
// own background when it fills it, so children keep their places right below the top line.
// The caption is drawn in the palette's window-text colour on the window colour.

#include <QGroupBox>

namespace controls {

class ClassicFrame : public QGroupBox {
    Q_OBJECT
  public:
    explicit ClassicFrame(QWidget* parent = nullptr);
    ClassicFrame(const QString& title, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace controls
