#pragma once
// The splash window `frmSplash`: shown while the main window sets itself up; closes after 5000 ms,
// or at once on a key or a click, and then makes the main window visible.

#include <QPointer>
#include <QWidget>

class QTimer;

namespace app {

class SplashWindow : public QWidget {
    Q_OBJECT
  public:
    explicit SplashWindow(QWidget* mainWindow);
    QTimer* timer() const { return closeTimer_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    // Close the splash, make the main window visible.
    void finish();

    QPointer<QWidget> main_;
    QTimer* closeTimer_;
    bool finished_ = false;
};

} // namespace app
