#include "controls/CaretRest.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QStyleHints>

namespace controls {

CaretRest::CaretRest(QObject* parent, int restAfterMs)
    : QObject(parent), flashTime_(QGuiApplication::styleHints()->cursorFlashTime()) {
    rest_.setSingleShot(true);
    rest_.setInterval(restAfterMs);
    connect(&rest_, &QTimer::timeout, this, &CaretRest::rest);
    QCoreApplication::instance()->installEventFilter(this);
    rest_.start();
}

CaretRest::~CaretRest() {
    if (resting_)
        QGuiApplication::styleHints()->setCursorFlashTime(flashTime_);
}

bool CaretRest::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::FocusIn:
    case QEvent::InputMethod:
        wake();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CaretRest::wake() {
    if (resting_) {
        resting_ = false;
        QGuiApplication::styleHints()->setCursorFlashTime(flashTime_);
    }
    rest_.start();
}

void CaretRest::rest() {
    // A period of 0 shows the cursor steadily.
    if (flashTime_ > 0) {
        resting_ = true;
        QGuiApplication::styleHints()->setCursorFlashTime(0);
    }
}

} // namespace controls
