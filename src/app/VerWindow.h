#pragma once
// The version window `VerWindow`: "Ver.1.0" with an OK button. However it closes, it enables the
// main window again.

#include <QWidget>

namespace calendar {
class MainHost;
}

namespace app {

class VerWindow : public QWidget {
    Q_OBJECT
  public:
    VerWindow(calendar::MainHost& host, QWidget* parent);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    calendar::MainHost& host_;
};

} // namespace app
