#pragma once
// Where the main window goes from its stored TOP/LEFT: the twips are turned into pixels without
// overflow, and a position whose title bar would lie on no screen is not used.

#include <QList>
#include <QRect>

namespace app {

// Pixels (15 twips each) of a stored coordinate; values far beyond any desktop are limited, so
// any float the Settings file holds gives a valid int.
int pixelsFromTwips(float twips);

// Whether some part of the title bar (its rectangle on the desktop) lies on one of the screens.
bool titleBarOnScreen(const QRect& titleBar, const QList<QRect>& screens);

} // namespace app
