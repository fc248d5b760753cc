#pragma once
// The fixed colours of the classic three-dimensional look: bevels of buttons and etched frames are
// drawn in these whatever the face colour is.

#include <QColor>

namespace controls {

inline const QColor kHighlight{0xFF, 0xFF, 0xFF};
inline const QColor kLight{0xDF, 0xDF, 0xDF};
inline const QColor kShadow{0x80, 0x80, 0x80};
inline const QColor kDarkShadow{0x40, 0x40, 0x40};

} // namespace controls
