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

QFont gothicFont(double pointSize, bool bold = false, bool italic = false);
QFont minchoFont(double pointSize, bool bold = false, bool italic = false);

} // namespace controls

namespace controls {

// The font of the marked day: `base` with the family "Impact". Where Impact itself is missing the
// stand-in is also drawn bold, so that the marked day differs plainly from its neighbours.
QFont markerFont(const QFont& base);
bool impactInstalled();

} // namespace controls
