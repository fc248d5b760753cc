#include "controls/FlatButton.h"

#include "controls/ClassicColours.h"

#include <QPainter>

namespace controls {

namespace {

// The edges are filled as rectangles one pixel wide on the outermost rows and columns of `r`, not
// stroked with a pen: a filled rectangle covers the same device pixels as the face fill beneath
// it at every device pixel ratio (1, 1.5, 2), so no face colour shows past the raised edge.

// The top and left edges of `r` in one colour and the bottom and right edges in another.
void drawEdges(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

// A one-pixel frame just inside `r`.
void drawFrame(QPainter& painter, const QRect& r, const QColor& color) {
    drawEdges(painter, r, color, color);
}

} // namespace

FlatButton::FlatButton(QWidget* parent) : QPushButton(parent) {}

FlatButton::FlatButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void FlatButton::setFaceColor(const QColor& color) {
    if (faceColor() == color)
        return;
    QPalette pal = palette();
    pal.setColor(QPalette::Button, color);
    setPalette(pal);
}

void FlatButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect outer = rect();
    painter.fillRect(outer, faceColor());
    const bool sunken = isDown() || isChecked();
    if (sunken) {
        drawFrame(painter, outer, kDarkShadow);
        drawFrame(painter, outer.adjusted(1, 1, -1, -1), kShadow);
    } else {
        drawEdges(painter, outer, kHighlight, kDarkShadow);
        drawEdges(painter, outer.adjusted(1, 1, -1, -1), kLight, kShadow);
    }

    const QRect caption = sunken ? outer.translated(1, 1) : outer;
    constexpr int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
    painter.setFont(font());
    if (isEnabled()) {
        painter.setPen(palette().color(QPalette::ButtonText));
    } else {
        painter.setPen(kHighlight);
        painter.drawText(caption.translated(1, 1), flags, text());
        painter.setPen(kShadow);
    }
    painter.drawText(caption, flags, text());

    if (hasFocus()) {
        QPen dotted(palette().color(QPalette::ButtonText));
        dotted.setDashPattern({1, 1});
        painter.setPen(dotted);
        painter.drawRect(outer.adjusted(3, 3, -4, -4));
    }
}

} // namespace controls
