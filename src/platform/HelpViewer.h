#pragma once
// The in-program help viewer: the Japanese help pages shipped in the resources, shown in one
// non-modal window with contents links and back/forward.

#include <QWidget>

class QTextBrowser;

namespace platform {

class HelpViewer : public QWidget {
    Q_OBJECT
  public:
    explicit HelpViewer(QWidget* parent = nullptr);
    void showContents();
    QTextBrowser* browser() const { return browser_; }

  private:
    QTextBrowser* browser_;
};

} // namespace platform
