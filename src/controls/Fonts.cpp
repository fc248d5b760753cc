#include "controls/Fonts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>

namespace controls {

namespace {

// The face drawn for each name the windows ask for: the name itself when installed, else the
// first stand-in that is. Families may be listed under their localised names (IPA Pゴシック under
// a Japanese locale), so the stand-ins are given by both names.
struct Face {
    QString family;
    bool installed = false; // the name itself
};

QHash<QString, Face>& faces() {
    static QHash<QString, Face> known;
    return known;
}

void substitute(const QStringList& families, const QString& name, const QStringList& candidates) {
    if (families.contains(name, Qt::CaseInsensitive)) {
        faces().insert(name, {name, true});
        return;
    }
    QFont::insertSubstitutions(name, candidates);
    const auto installed = std::find_if(candidates.begin(), candidates.end(), [&](const QString& candidate) {
        return families.contains(candidate, Qt::CaseInsensitive);
    });
    faces().insert(name, {installed != candidates.end() ? *installed : name, false});
}

QFont makeFont(const QString& family, double pointSize, bool bold, bool italic) {
    QFont f(installedFace(family));
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

} // namespace

void registerFontSubstitutions() {
    const QStringList families = QFontDatabase::families();
    substitute(families, kGothic,
               {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"), QStringLiteral("IPAGothic"),
                QStringLiteral("Noto Sans CJK JP"), QStringLiteral("DejaVu Sans")});
    substitute(families, kMincho,
               {QStringLiteral("IPAPMincho"), QStringLiteral("IPA P明朝"), QStringLiteral("IPAMincho"),
                QStringLiteral("Noto Serif CJK JP"), QStringLiteral("DejaVu Serif")});
    substitute(families, kImpact,
               {QStringLiteral("Nimbus Sans Narrow"), QStringLiteral("DejaVu Sans Condensed"),
                QStringLiteral("DejaVu Sans")});
    substitute(families, kRockwell,
               {QStringLiteral("Nimbus Roman"), QStringLiteral("C059"), QStringLiteral("DejaVu Serif"),
                QStringLiteral("IPAPMincho")});
}

QString installedFace(const QString& name) {
    const auto found = faces().constFind(name);
    return found != faces().cend() ? found->family : name;
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
    // Known since the start-up; the font list is asked only before that.
    const auto found = faces().constFind(kImpact);
    return found != faces().cend() ? found->installed
                                   : QFontDatabase::families().contains(kImpact, Qt::CaseInsensitive);
}

QFont markerFont(const QFont& base) {
    QFont f = base;
    f.setFamily(installedFace(kImpact));
    if (!impactInstalled())
        f.setBold(true);
    return f;
}

} // namespace controls

namespace controls {

QFont fitText(QFont font, const QString& text, int room, double smallest, int height) {
    const auto fits = [&](const QFont& f) {
        const QFontMetrics metrics(f);
        return metrics.horizontalAdvance(text) <= room &&
               (height <= 0 || metrics.ascent() + metrics.descent() <= height);
    };
    while (font.pointSizeF() - 0.5 >= smallest && !fits(font))
        font.setPointSizeF(font.pointSizeF() - 0.5);
    return font;
}

} // namespace controls

namespace controls {

namespace {

// The room a button's caption has beside its check mark or inside its bevel.
int captionRoom(const QAbstractButton* button) {
    const QStyle* style = button->style();
    if (qobject_cast<const QCheckBox*>(button))
        return button->width() - style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, button) -
               style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, button) - 1;
    if (qobject_cast<const QRadioButton*>(button))
        return button->width() - style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, button) -
               style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, button) - 1;
    return button->width() - 2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) -
           2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
}

} // namespace

void fitComboText(QComboBox* box, const QString& widest) {
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    option.frame = box->hasFrame();
    const QRect field =
        box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
    box->setFont(fitText(box->font(), widest, field.width() - 4, 5, field.height()));
}

void fitCaptions(QWidget* window) {
    for (QLabel* label : window->findChildren<QLabel*>()) {
        const QString text = label->text();
        if (text.isEmpty() || text.contains(QLatin1Char('\n')) || label->wordWrap() ||
            label->textFormat() == Qt::RichText)
            continue;
        const int room = label->contentsRect().width() - 2 * label->margin() - qMax(0, label->indent());
        label->setFont(fitText(label->font(), text, room, 5, label->contentsRect().height()));
    }
    for (QGroupBox* frame : window->findChildren<QGroupBox*>()) {
        // The caption stands on the frame's top line, between short pieces of it.
        if (!frame->title().isEmpty())
            frame->setFont(fitText(frame->font(), frame->title(), frame->width() - 16));
    }
    for (QComboBox* box : window->findChildren<QComboBox*>()) {
        QString widest = box->currentText();
        for (int i = 0; i < box->count(); ++i)
            if (box->fontMetrics().horizontalAdvance(box->itemText(i)) >
                box->fontMetrics().horizontalAdvance(widest))
                widest = box->itemText(i);
        if (!widest.isEmpty())
            fitComboText(box, widest);
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!qobject_cast<QCheckBox*>(button) && !qobject_cast<QRadioButton*>(button) &&
            !qobject_cast<QPushButton*>(button))
            continue;
        QString text = button->text();
        text.replace(QLatin1String("&&"), QLatin1String("\x01")).remove(QLatin1Char('&'));
        text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
        if (text.isEmpty() || text.contains(QLatin1Char('\n')))
            continue;
        const bool mark = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
        button->setFont(fitText(button->font(), text, captionRoom(button), 5, mark ? button->height() : 0));
    }
}

} // namespace controls
