#include "options/OptionsWindows.h"

#include "options/OptionsDialog.h"
#include "shell/Host.h"

#include <QPointer>

namespace options {

void showOptions(shell::Host& host) {
    // One dialog at a time: choosing 環境設定 again brings the open one forward.
    static QPointer<OptionsDialog> open;
    if (!open) {
        open = new OptionsDialog(host, host.mainWindow());
        open->show();
        return;
    }
    if (open->isMinimized())
        open->showNormal();
    open->show();
    open->raise();
    open->activateWindow();
}

} // namespace options
