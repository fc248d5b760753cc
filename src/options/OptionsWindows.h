#pragma once
// Entry point of the options dialog for the main window's menu command 環境設定.

#include <QPointer>

namespace shell {
class Host;
}

namespace options {

class OptionsDialog;

// The one options dialog of the program. The program keeps one for as long as its main window
// lives.
class OptionsWindows {
  public:
    // Opens the options dialog as a non-modal window over the main window, or brings the one that
    // is already open to the front. The main window stays enabled.
    void show(shell::Host& host);

  private:
    QPointer<OptionsDialog> open_;
};

} // namespace options
