#include "settings/Settings.h"

namespace settings {

QString& Settings::koumoku(int slot) {
    Q_ASSERT(slot >= 1 && slot <= 4);
    switch (slot) {
    case 2:
        return KOUMOKU2;
    case 3:
        return KOUMOKU3;
    case 4:
        return KOUMOKU4;
    default:
        return KOUMOKU1;
    }
}

const QString& Settings::koumoku(int slot) const {
    return const_cast<Settings*>(this)->koumoku(slot);
}

qint32& Settings::crl(int level) {
    Q_ASSERT(level >= 0 && level <= 5);
    switch (level) {
    case 1:
        return CRL1;
    case 2:
        return CRL2;
    case 3:
        return CRL3;
    case 4:
        return CRL4;
    case 5:
        return CRL5;
    default:
        return CRL0;
    }
}

qint32 Settings::crl(int level) const {
    return const_cast<Settings*>(this)->crl(level);
}

void Settings::setColorDefaults() {
    for (int level = 0; level <= 5; ++level)
        crl(level) = kButtonTextColor;
    kareCRL = kDefaultKareColor;
}

QString itemLabel(const Settings& s, int slot) {
    const QString& label = s.koumoku(slot);
    if (!label.isEmpty())
        return label;
    return QStringLiteral("項目") + QString::number(slot);
}

} // namespace settings
