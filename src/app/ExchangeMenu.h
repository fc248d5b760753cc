#pragma once
// The ﾌｧｲﾙ menu's iCalendar commands: the Schedule file in use written to an .ics file, and an
// .ics file's events and ToDos added to it, with a progress dialog that can be cancelled.

#include "exchange/IcalReader.h"

#include <optional>

class QWidget;

namespace shell {
class Host;
}

namespace app {

void exportICalendar(shell::Host& host);
void importICalendar(shell::Host& host);

// Asks for the dates between which recurring events are imported; nothing when cancelled.
std::optional<exchange::DateRange> askRecurrenceRange(QWidget* parent, const exchange::DateRange& suggested);

} // namespace app
