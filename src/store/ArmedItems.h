#pragma once
// An armed item as the alarm check, the missed-alarm list and the desktop notification use it.

#include <QString>

namespace store {

struct ArmedItem {
    QString date; // the Date string as stored
    int slot = 0;
    int level = 0; // 1..kLevelCount, 0 without a level
    QString timeText;
    QString content;
};

} // namespace store
