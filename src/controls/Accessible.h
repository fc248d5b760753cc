#pragma once
// What a screen reader is told about the program's own controls beyond what Qt infers: the role
// of a free-standing window, the spin buttons as spin buttons with a value, and short spoken
// notices.

#include <QAccessible>
#include <QString>

class QWidget;

namespace controls {

// Gives `widget` (a free-standing window built on a plain QWidget) the accessible role `role`,
// so that it is announced as a dialog rather than an anonymous pane. Call it in the window's
// constructor, before the window is shown.
void setAccessibleRole(QWidget* widget, QAccessible::Role role);

// Names a widget (and the edit part of a combo box) for screen readers; a change of name is
// reported to an attached reader.
void setAccessibleName(QWidget* widget, const QString& name);

// Puts a notice where a screen reader announces it without moving the focus: as the description
// of `widget` (normally the focused one), whose change is reported. An empty text clears it.
void announce(QWidget* widget, const QString& text);

// A stored text colour as drawn on a fixed white ground: the theme's own text colours (stored as
// system colours) become black, which a dark theme would otherwise make light on white.
QColor textColourOnWhite(qint32 value);

// The name of a stored colour value in Japanese: "標準" for the system's text colour, the name of
// one of the basic colours the colour dialog offers, otherwise "#RRGGBB".
QString colourName(qint32 value);

// Installs the accessible interfaces of the controls above; called by each of them before the
// first interface is asked for. Safe to call again.
void installAccessibleControls();

} // namespace controls
