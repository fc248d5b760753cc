#pragma once
// Entry point of the options dialog for the main window's menu command 環境設定.

namespace shell {
class Host;
}

namespace options {

// Opens the options dialog as a non-modal window over the main window, or brings the one that is
// already open to the front. The main window stays enabled.
void showOptions(shell::Host& host);

} // namespace options
