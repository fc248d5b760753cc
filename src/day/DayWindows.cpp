#include "day/DayWindows.h"

#include "day/DayItems.h"
#include "day/DisplayWindow.h"
#include "day/EntryWindow.h"
#include "platform/Services.h"
#include "settings/Settings.h"
#include "shell/Host.h"

namespace day {

void DayWindows::showDayDisplay(shell::Host& host) {
    const settings::Settings& s = host.settings();
    // Without a Schedule file there is nothing to show; the calendar stays usable.
    if (s.scheduleFile.isEmpty()) {
        host.setMainEnabled(true);
        return;
    }
    displayStore_.setPath(s.scheduleFile);
    DisplayItems items;
    if (const store::Error error = readDisplayItems(displayStore_, host.selectedDate(), items);
        error.failed()) {
        // A file that cannot be read is not an empty day: say so instead of "予定はありません".
        platform::message(QStringLiteral("予定を読み込めませんでした。\n") + store::describe(error),
                          platform::kAppTitle, platform::Icon::Exclamation, platform::Buttons::Ok);
        host.setMainEnabled(true);
        return;
    }
    if (allEmpty(items)) {
        platform::message(QStringLiteral("予定はありません"), QStringLiteral("只今 余裕です！"),
                          platform::Icon::Information, platform::Buttons::Ok);
        host.setMainEnabled(true);
        return;
    }
    // Disabling the main window disables the windows it already holds, so the display is
    // created after it.
    host.setMainEnabled(false);
    auto* window = new DisplayWindow(host, host.mainWindow());
    for (int slot = 1; slot <= store::kSlotCount; ++slot) {
        const DisplayItem& item = items[static_cast<std::size_t>(slot - 1)];
        window->setItem(slot, item.content, item.level);
    }
    window->show();
    window->activateWindow();
}

void DayWindows::refreshDayDisplay(shell::Host& host) {
    auto* window = host.mainWindow()->findChild<DisplayWindow*>(QString(), Qt::FindDirectChildrenOnly);
    DisplayItems items;
    if (!window || readDisplayItems(displayStore_, host.selectedDate(), items).failed())
        return;
    for (int slot = 1; slot <= store::kSlotCount; ++slot) {
        const DisplayItem& item = items[static_cast<std::size_t>(slot - 1)];
        window->setItem(slot, item.content, item.level);
    }
}

void DayWindows::showEntryWindow(shell::Host& host) {
    auto* window = new EntryWindow(host, host.mainWindow());
    if (!window->load()) {
        // The close sequence enables the main window again.
        window->close();
        return;
    }
    window->show();
    window->activateWindow();
}

} // namespace day
