#include "controls/Geometry.h"

#include "platform/Services.h"

#include <QGuiApplication>
#include <QWidget>

namespace controls {

void placeTwips(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(twipsRect(left, top, width, height));
}

int pinOuterSize(QWidget* window, int outerWidthTwips, int minOuterHeightTwips) {
    // The frame's share is what the outer geometry adds to the client area.
    const QRect outer = window->frameGeometry();
    const int frameWidth = outer.width() - window->width();
    const int frameHeight = outer.height() - window->height();
    const int outerHeight = qMax(outer.height(), px(minOuterHeightTwips));
    const QSize minimum(px(outerWidthTwips) - frameWidth, px(minOuterHeightTwips) - frameHeight);
    if (window->minimumSize() != minimum)
        window->setMinimumSize(minimum);
    if (window->maximumWidth() != minimum.width())
        window->setMaximumWidth(minimum.width());
    const QSize client(minimum.width(), outerHeight - frameHeight);
    if (window->size() != client)
        window->resize(client);
    return outerHeight;
}

bool GridWindowRules::apply(QWidget* window, QWidget* grid) {
    if (applying_)
        return false;
    applying_ = true;
    const int outerHeight = pinOuterSize(window, outerWidth_, minOuterHeight_);
    applying_ = false;
    grid->resize(grid->width(), qMax(0, px(twips(outerHeight) - gridAllowance_)));
    return true;
}

bool windowPositionsKnown() {
    // Qt offers no public capability query for this; its Wayland plugins are named "wayland",
    // "wayland-egl" and so on.
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void centreOnScreen(QWidget* window) {
    const QSize screen = platform::services().screen->size();
    const QSize outer = window->frameGeometry().size();
    window->move((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2);
}

} // namespace controls
