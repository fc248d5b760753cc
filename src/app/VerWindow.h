#pragma once
// The version window `VerWindow`: "Ver.1.0" with an OK button. However it closes, it enables the
// main window again.

#include <QWidget>

namespace shell {
class Host;
}

namespace app {

class VerWindow : public QWidget {
    Q_OBJECT
  public:
    VerWindow(shell::Host& host, QWidget* parent);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    shell::Host& host_;
};

} // namespace app
