#include "controls/FlatButton.h"

#include "controls/ClassicColours.h"

#include <QPainter>

namespace controls {

namespace {

// The top and left edges of `r` in one colour and the bottom and right edges in another.
void drawEdges(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    painter.setPen(topLeft);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
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
    const QRect edge = outer.adjusted(0, 0, -1, -1); // inclusive corners for line drawing
    if (sunken) {
        painter.setPen(kDarkShadow);
        painter.drawRect(edge);
        painter.setPen(kShadow);
        painter.drawRect(edge.adjusted(1, 1, -1, -1));
    } else {
        drawEdges(painter, edge, kHighlight, kDarkShadow);
        drawEdges(painter, edge.adjusted(1, 1, -1, -1), kLight, kShadow);
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
        painter.drawRect(edge.adjusted(3, 3, -3, -3));
    }
}

} // namespace controls
