#pragma once
// The faces the windows ask for by name, and what stands in for them here.
//
// "ＭＳ Ｐゴシック" and "ＭＳ Ｐ明朝" are substituted by IPA P Gothic and IPA P Mincho. "Impact" and
// "Rockwell" are used only when really installed; otherwise a face that draws digits and letters
// plainly stands in (fontconfig would otherwise pick a symbol font for "Impact").

#include <QFont>
#include <QString>

namespace controls {

inline const QString kGothic = QStringLiteral("ＭＳ Ｐゴシック");
inline const QString kMincho = QStringLiteral("ＭＳ Ｐ明朝");
inline const QString kImpact = QStringLiteral("Impact");
inline const QString kRockwell = QStringLiteral("Rockwell");

// Registers the substitutions; call once after the application object exists.
void registerFontSubstitutions();

// The family to ask Qt for in place of `name`: the name when that face is installed, else its
// installed stand-in. Asking for the stand-in itself spares Qt a search through every installed
// face for each script, which a missing family with a list of substitutes costs.
QString installedFace(const QString& name);

QFont gothicFont(double pointSize, bool bold = false, bool italic = false);
QFont minchoFont(double pointSize, bool bold = false, bool italic = false);

} // namespace controls

namespace controls {

// The font of the marked day: `base` with the family "Impact". Where Impact itself is missing the
// stand-in is also drawn bold, so that the marked day differs plainly from its neighbours.
QFont markerFont(const QFont& base);
bool impactInstalled();

} // namespace controls

namespace controls {

// `font` made smaller in half-point steps, down to `smallest`, until `text` fits in `room` pixels
// (and its lines in `height` pixels, when given): a fixed box keeps its size and its whole text
// when the system's fonts are set larger.
QFont fitText(QFont font, const QString& text, int room, double smallest = 5, int height = 0);

} // namespace controls

class QComboBox;
class QWidget;

namespace controls {

// A combo box's font made smaller until `widest` fits in its edit field (see fitText).
void fitComboText(QComboBox* box, const QString& widest);

// Each one-line caption of the labels, frames, check boxes, option buttons, push buttons and combo
// boxes inside `window` that is wider (or taller) than its fixed box is set smaller until it fits (see
// fitText); captions that fit keep their font. For windows laid out in fixed places, after they
// are built and their choices filled.
void fitCaptions(QWidget* window);

} // namespace controls
