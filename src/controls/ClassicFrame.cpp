#include "controls/ClassicFrame.h"

#include "controls/ClassicColours.h"

#include <QPainter>

namespace controls {

namespace {

// Distance of the caption's text from the frame's left edge, and the gap kept clear of the line
// on each side of it.
constexpr int kCaptionLeft = 8;
constexpr int kCaptionGap = 2;

} // namespace

ClassicFrame::ClassicFrame(QWidget* parent) : QGroupBox(parent) {}

ClassicFrame::ClassicFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

void ClassicFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int top = metrics.height() / 2;
    const QRect line(0, top, width() - 2, height() - top - 2);
    painter.setPen(kShadow);
    painter.drawRect(line);
    painter.setPen(kHighlight);
    painter.drawRect(line.translated(1, 1));
    if (title().isEmpty())
        return;
    // The title holds "&&" for a literal "&"; measure the text as it is shown.
    const QString shown = QString(title()).replace(QStringLiteral("&&"), QStringLiteral("&"));
    const QRect caption(kCaptionLeft - kCaptionGap, 0, metrics.horizontalAdvance(shown) + 2 * kCaptionGap,
                        metrics.height());
    painter.fillRect(caption, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter | Qt::TextShowMnemonic, title());
}

} // namespace controls
