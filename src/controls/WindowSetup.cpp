#include "controls/WindowSetup.h"

#include "controls/Accessible.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"

namespace controls {

void setUpWindow(QWidget* window, const QString& objectName, const QString& title, int widthTwips,
                 int heightTwips) {
    window->setObjectName(objectName);
    setAccessibleRole(window, QAccessible::Dialog);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(title);
    window->setFont(gothicFont(9));
    window->resize(px(widthTwips), px(heightTwips));
}

} // namespace controls
