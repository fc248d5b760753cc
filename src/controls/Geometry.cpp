#include "controls/Geometry.h"

#include "platform/Services.h"

#include <QWidget>

namespace controls {

void placeTwips(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(twipsRect(left, top, width, height));
}

void centreOnScreen(QWidget* window) {
    const QSize screen = platform::services().screen->size();
    const QSize outer = window->frameGeometry().size();
    window->move((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2);
}

} // namespace controls
