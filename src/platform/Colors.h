#pragma once
// Colour values as the Settings file stores them: 0x00BBGGRR for an explicit colour, and
// 0x800000nn for entry nn of the system palette.

#include <QColor>
#include <QtGlobal>

namespace platform {

QColor toQColor(qint32 value);
// Always an explicit colour (0x00BBGGRR).
qint32 fromQColor(const QColor& color);

} // namespace platform
