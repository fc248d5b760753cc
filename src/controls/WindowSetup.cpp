#include "controls/WindowSetup.h"

#include "controls/Accessible.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPointer>

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

namespace {

// Sees the keys that reach the window itself: those its focused control passed on.
class WindowKeys : public QObject {
  public:
    WindowKeys(QWidget* window, QAbstractButton* enterButton) : QObject(window), enterButton_(enterButton) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || watched != parent())
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers != Qt::NoModifier)
            return false;
        if (key->key() == Qt::Key_Escape) {
            static_cast<QWidget*>(parent())->close();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && enterButton_ &&
            enterButton_->isEnabled()) {
            enterButton_->click();
            return true;
        }
        return false;
    }

  private:
    QPointer<QAbstractButton> enterButton_;
};

} // namespace

void closeOnEscape(QWidget* window, QAbstractButton* enterButton) {
    window->installEventFilter(new WindowKeys(window, enterButton));
}

} // namespace controls
