#include "settings/Settings.h"

namespace settings {

QString& Settings::slotLabel(int slot) {
    Q_ASSERT(slot >= 1 && slot <= store::kSlotCount);
    return slotLabels[slot - 1];
}

const QString& Settings::slotLabel(int slot) const {
    Q_ASSERT(slot >= 1 && slot <= store::kSlotCount);
    return slotLabels[slot - 1];
}

qint32& Settings::levelColor(int level) {
    Q_ASSERT(level >= 0 && level <= store::kLevelCount);
    return levelColors[level];
}

qint32 Settings::levelColor(int level) const {
    Q_ASSERT(level >= 0 && level <= store::kLevelCount);
    return levelColors[level];
}

void Settings::setColorDefaults() {
    levelColors.fill(kButtonTextColor);
    markedDayColor = kDefaultMarkedDayColor;
}

QString itemLabel(const Settings& s, int slot) {
    const QString& label = s.slotLabel(slot);
    if (!label.isEmpty())
        return label;
    return QStringLiteral("項目") + QString::number(slot);
}

} // namespace settings
