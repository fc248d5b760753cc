#include "controls/SpinButton.h"

#include "controls/Accessible.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>

namespace controls {

// Shows that the spin button has the focus: a focus rectangle drawn over the arrows, which cover
// the whole control; clicks go through it to the arrows.
class SpinFocusFrame : public QWidget {
  public:
    explicit SpinFocusFrame(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
};

SpinButton::SpinButton(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), orientation_(orientation), down_(new QToolButton(this)), up_(new QToolButton(this)) {
    installAccessibleControls();
    const bool horizontal = orientation == Qt::Horizontal;
    down_->setArrowType(horizontal ? Qt::LeftArrow : Qt::DownArrow);
    up_->setArrowType(horizontal ? Qt::RightArrow : Qt::UpArrow);
    for (QToolButton* b : {down_, up_}) {
        b->setAutoRepeat(true);
        b->setAutoRepeatDelay(400);
        b->setAutoRepeatInterval(60);
        b->setFocusPolicy(Qt::NoFocus);
    }
    down_->setObjectName(QStringLiteral("down"));
    up_->setObjectName(QStringLiteral("up"));
    connect(down_, &QToolButton::clicked, this, [this] { setValue(value_ - 1); });
    connect(up_, &QToolButton::clicked, this, [this] { setValue(value_ + 1); });
    setFocusPolicy(Qt::TabFocus);
    focusFrame_ = new SpinFocusFrame(this);
}

void SpinButton::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    focusFrame_->setGeometry(rect());
    focusFrame_->raise();
    focusFrame_->show();
}

void SpinButton::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    focusFrame_->hide();
}

void SpinButton::setRange(int minimum, int maximum) {
    min_ = minimum;
    max_ = qMax(minimum, maximum);
    if (value_ < min_ || value_ > max_)
        setValue(value_);
}

void SpinButton::setValue(int value) {
    const int v = qBound(min_, value, max_);
    if (v == value_)
        return;
    value_ = v;
    Q_EMIT valueChanged(value_);
    // A screen reader speaks the new value (also of a change the program made), once the
    // listeners are done: a value they moved on at once (a month past 12 that becomes 1 of the
    // next year) is spoken only as where it ended.
    if (value_ == v) {
        QAccessibleValueChangeEvent changed(this, value_);
        QAccessible::updateAccessibility(&changed);
    }
}

void SpinButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        setValue(value_ - 1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        setValue(value_ + 1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void SpinButton::resizeEvent(QResizeEvent*) {
    if (orientation_ == Qt::Horizontal) {
        const int half = width() / 2;
        down_->setGeometry(0, 0, half, height());
        up_->setGeometry(half, 0, width() - half, height());
    } else {
        const int half = height() / 2;
        up_->setGeometry(0, 0, width(), half);
        down_->setGeometry(0, half, width(), height() - half);
    }
    if (focusFrame_)
        focusFrame_->setGeometry(rect());
}

} // namespace controls
