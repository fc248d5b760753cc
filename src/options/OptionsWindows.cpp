#include "options/OptionsWindows.h"

#include "options/OptionsDialog.h"
#include "shell/Host.h"

namespace options {

void OptionsWindows::show(shell::Host& host) {
    // One dialog at a time: choosing 環境設定 again brings the open one forward.
    if (!open_) {
        open_ = new OptionsDialog(host, host.mainWindow());
        open_->show();
        return;
    }
    if (open_->isMinimized())
        open_->showNormal();
    open_->show();
    open_->raise();
    open_->activateWindow();
}

} // namespace options
