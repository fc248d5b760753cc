#pragma once
// Positions and sizes in twips (15 per pixel), and centring a window on the screen.

#include <QRect>

class QWidget;

namespace controls {

constexpr int kTwipsPerPixel = 15;

constexpr int px(int twips) {
    return twips / kTwipsPerPixel;
}
constexpr int twips(int pixels) {
    return pixels * kTwipsPerPixel;
}
inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

// Places a widget at a rectangle given in twips (relative to its parent).
void placeTwips(QWidget* w, int left, int top, int width, int height);

// Keeps a sizable window's outer width (frame included) at exactly `outerWidthTwips` and its outer
// height at no less than `minOuterHeightTwips`; the same limits are set as its size limits, so a
// window manager keeps to them while dragging. Returns the outer height in pixels.
int pinOuterSize(QWidget* window, int outerWidthTwips, int minOuterHeightTwips);

// The size rules of a window whose grid fills its lower part: the outer width held at one value,
// the outer height at no less than a minimum (as pinOuterSize), and the grid as high as the outer
// height less an allowance. All three in twips.
class GridWindowRules {
  public:
    GridWindowRules(int outerWidthTwips, int minOuterHeightTwips, int gridAllowanceTwips)
        : outerWidth_(outerWidthTwips), minOuterHeight_(minOuterHeightTwips),
          gridAllowance_(gridAllowanceTwips) {}

    // Keeps `window` to the rules and sizes `grid`. The resize this causes comes back to the
    // window while the rules are being applied; such a nested call changes nothing and returns
    // false.
    bool apply(QWidget* window, QWidget* grid);

  private:
    int outerWidth_;
    int minOuterHeight_;
    int gridAllowance_;
    bool applying_ = false;
};

// Whether the windowing system lets the program place its top-level windows and tells it where
// they are. A Wayland client can do neither: the compositor alone places windows, and the position
// Qt reports is its own guess, off by the window frame, so storing it would move the window a
// little on every start.
bool windowPositionsKnown();

// Moves a top-level window so that it is centred on the screen: left = (screen width − window
// width) / 2, top = (screen height − window height) / 2, with the frame counted in.
void centreOnScreen(QWidget* window);

} // namespace controls
