#pragma once
// The set-up every free-standing window of the program shares.

#include <QWidget>

class QAbstractButton;

namespace controls {

// A window with a title bar and a close box, but no maximize or minimize button.
inline constexpr Qt::WindowFlags kCloseOnlyWindow = Qt::Window | Qt::CustomizeWindowHint |
                                                    Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                                    Qt::WindowCloseButtonHint;

// Names and captions a window that deletes itself when closed, gives it the role of a dialog for
// screen readers and the windows' 9 pt Gothic font, and sizes its client area, given in twips.
void setUpWindow(QWidget* window, const QString& objectName, const QString& title, int widthTwips,
                 int heightTwips);

// Escape that no control of the window took closes it, as its close box does (with whatever
// question its close asks). With `enterButton`, Enter or Return that no control took clicks that
// button (the window's default button).
void closeOnEscape(QWidget* window, QAbstractButton* enterButton = nullptr);

} // namespace controls
