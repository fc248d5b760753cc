#include "controls/ShortcutPriority.h"

#include <QAction>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>

namespace controls {

namespace {

// Refuses a control's claim on a key (the shortcut-override request) when the key is the
// shortcut of an enabled action of the control's window. The request stays unaccepted, so Qt
// then gives the key to that shortcut.
class ShortcutClaimFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget)
            return false;
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        const QList<QAction*> actions = widget->window()->findChildren<QAction*>();
        return std::any_of(actions.cbegin(), actions.cend(), [&](const QAction* action) {
            return action->isEnabled() && action->shortcuts().contains(pressed);
        });
    }
};

} // namespace

void giveWindowShortcutsPriority(QWidget* root) {
    auto* filter = new ShortcutClaimFilter(root);
    root->installEventFilter(filter);
    for (QWidget* widget : root->findChildren<QWidget*>())
        widget->installEventFilter(filter);
}

} // namespace controls
