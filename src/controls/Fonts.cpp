#include "controls/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace controls {

namespace {

// Families may be listed under their localised names (IPA Pゴシック under a Japanese locale), so
// the stand-ins are given by both names and Qt takes the first that exists.
void substitute(const QString& name, const QStringList& candidates) {
    if (QFontDatabase::families().contains(name, Qt::CaseInsensitive))
        return; // the real face is installed
    QFont::insertSubstitutions(name, candidates);
}

QFont makeFont(const QString& family, double pointSize, bool bold, bool italic) {
    QFont f(family);
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

} // namespace

void registerFontSubstitutions() {
    substitute(kGothic,
               {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"), QStringLiteral("IPAGothic"),
                QStringLiteral("Noto Sans CJK JP"), QStringLiteral("DejaVu Sans")});
    substitute(kMincho,
               {QStringLiteral("IPAPMincho"), QStringLiteral("IPA P明朝"), QStringLiteral("IPAMincho"),
                QStringLiteral("Noto Serif CJK JP"), QStringLiteral("DejaVu Serif")});
    substitute(kImpact, {QStringLiteral("Nimbus Sans Narrow"), QStringLiteral("DejaVu Sans Condensed"),
                         QStringLiteral("DejaVu Sans")});
    substitute(kRockwell, {QStringLiteral("Nimbus Roman"), QStringLiteral("C059"),
                           QStringLiteral("DejaVu Serif"), QStringLiteral("IPAPMincho")});
}

QFont gothicFont(double pointSize, bool bold, bool italic) {
    return makeFont(kGothic, pointSize, bold, italic);
}

QFont minchoFont(double pointSize, bool bold, bool italic) {
    return makeFont(kMincho, pointSize, bold, italic);
}

} // namespace controls

namespace controls {

bool impactInstalled() {
    return QFontDatabase::families().contains(kImpact, Qt::CaseInsensitive);
}

QFont markerFont(const QFont& base) {
    QFont f = base;
    f.setFamily(kImpact);
    if (!impactInstalled())
        f.setBold(true);
    return f;
}

} // namespace controls
