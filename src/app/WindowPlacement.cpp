#include "app/WindowPlacement.h"

#include "controls/Geometry.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>

namespace app {

int pixelsFromTwips(float twips) {
    // A million pixels is off every screen yet far from the int limits, so the window's own
    // arithmetic (position plus size) cannot overflow either.
    constexpr double kLimit = 1e6;
    if (std::isnan(twips))
        return 0;
    return qRound(std::clamp(double(twips) / controls::kTwipsPerPixel, -kLimit, kLimit));
}

bool titleBarOnScreen(const QRect& titleBar, const QList<QRect>& screens) {
    return std::any_of(screens.begin(), screens.end(),
                       [&titleBar](const QRect& screen) { return screen.intersects(titleBar); });
}

} // namespace app
