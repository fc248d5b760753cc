#include "app/SplashWindow.h"

#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "platform/QtServices.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

namespace app {

namespace {

// A frame that passes clicks on to the splash window.
class ClickFrame : public QGroupBox {
  public:
    using QGroupBox::QGroupBox;

  protected:
    void mousePressEvent(QMouseEvent* event) override { event->ignore(); }
};

} // namespace

SplashWindow::SplashWindow(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window | Qt::FramelessWindowHint), main_(mainWindow),
      closeTimer_(new QTimer(this)) {
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    // It deletes itself after 5 s, so dialogs of the start-up never take it as parent; and it
    // is shown without taking the focus from them.
    platform::setNeverDialogParent(this);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(controls::px(5715), controls::px(3510));
    setFocusPolicy(Qt::StrongFocus);

    auto* frame = new ClickFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    controls::placeTwips(frame, 150, 60, 5385, 3315);

    auto* image = new QLabel(frame);
    image->setObjectName(QStringLiteral("Image1"));
    // The picture is stored at the size it is shown (96 × 80 at most, its proportions kept).
    image->setPixmap(QPixmap(QStringLiteral(":/app/splash.png")));
    image->setGeometry(10, 40, 96, 80);

    auto* title = new QLabel(QStringLiteral("【Daduvov】"), frame);
    title->setObjectName(QStringLiteral("Label1"));
    title->setFont(controls::gothicFont(12, true));
    controls::placeTwips(title, 1680, 1320, 2175, 255);
    title->adjustSize();

    auto* version = new QLabel(QStringLiteral("Ver.1.0"), frame);
    version->setObjectName(QStringLiteral("lblVersion"));
    version->setFont(controls::gothicFont(9));
    controls::placeTwips(version, 3675, 1560, 810, 240);

    auto* note = new QLabel(QStringLiteral("スケジュール帳"), frame);
    note->setFont(controls::minchoFont(10.5));
    controls::placeTwips(note, 1680, 1900, 3000, 300);

    closeTimer_->setObjectName(QStringLiteral("Timer1"));
    closeTimer_->setSingleShot(true);
    closeTimer_->setInterval(5000);
    connect(closeTimer_, &QTimer::timeout, this, &SplashWindow::finish);
    // Larger system fonts: the captions keep to their fixed places.
    controls::fitCaptions(this);
    controls::centreOnScreen(this);
    closeTimer_->start();
}

void SplashWindow::keyPressEvent(QKeyEvent*) {
    finish();
}

void SplashWindow::mousePressEvent(QMouseEvent*) {
    finish();
}

void SplashWindow::finish() {
    if (finished_)
        return;
    finished_ = true;
    closeTimer_->stop();
    close();
    if (main_ && !main_->isVisible())
        main_->setVisible(true);
}

} // namespace app
