#include "controls/ClockFace.h"

#include "controls/Accessible.h"

#include <QAccessible>
#include <QEvent>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace controls {

ClockFace::ClockFace(QWidget* parent) : QFrame(parent) {
    installAccessibleControls();
}

bool ClockFace::drawnPerCharacter(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        if (c.isSurrogate() || c.isMark())
            return false;
        switch (c.script()) {
        case QChar::Script_Common:
        case QChar::Script_Latin:
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
            return true;
        default:
            return false;
        }
    });
}

const ClockFace::Glyph& ClockFace::glyph(QChar c) const {
    auto found = glyphs_.find(c);
    if (found != glyphs_.end())
        return *found;
    Glyph g;
    g.text = QStaticText(QString(c));
    g.text.setTextFormat(Qt::PlainText);
    g.text.prepare(QTransform(), font());
    g.advance = QFontMetricsF(font()).horizontalAdvance(c);
    return *glyphs_.insert(c, std::move(g));
}

std::vector<qreal> ClockFace::offsets(const QString& text) const {
    std::vector<qreal> x;
    x.reserve(static_cast<size_t>(text.size()) + 1);
    qreal left = 0;
    for (QChar c : text) {
        x.push_back(left);
        left += glyph(c).advance;
    }
    x.push_back(left);
    return x;
}

qreal ClockFace::textLeft(qreal width) const {
    const QRectF contents = contentsRect();
    return contents.left() + (contents.width() - width) / 2;
}

qreal ClockFace::textTop() const {
    const QRectF contents = contentsRect();
    return contents.top() + (contents.height() - QFontMetricsF(font()).height()) / 2;
}

QRect ClockFace::changedArea(const QString& before, const QString& after) const {
    return changedArea(before, offsets(before), after, offsets(after));
}

QRect ClockFace::changedArea(const QString& before, const std::vector<qreal>& was, const QString& after,
                             const std::vector<qreal>& now) const {
    if (before == after)
        return {};
    if (before.size() != after.size() || !drawnPerCharacter(before) || !drawnPerCharacter(after))
        return contentsRect();
    qsizetype first = 0;
    while (before.at(first) == after.at(first))
        ++first;
    qsizetype last = after.size() - 1;
    while (before.at(last) == after.at(last))
        --last;
    // Both texts' edges: a character of another width moves the ones after it.
    const qreal wasLeft = textLeft(was.back());
    const qreal nowLeft = textLeft(now.back());
    const auto i = static_cast<size_t>(first);
    const auto j = static_cast<size_t>(last) + 1;
    // A pixel either side for anti-aliasing that reaches past a glyph's advance.
    const int left = static_cast<int>(std::floor(std::min(wasLeft + was[i], nowLeft + now[i]))) - 1;
    const int right = static_cast<int>(std::ceil(std::max(wasLeft + was[j], nowLeft + now[j]))) + 1;
    const QRect contents = contentsRect();
    return QRect(QPoint(left, contents.top()), QPoint(right, contents.bottom())).intersected(contents);
}

void ClockFace::setText(const QString& text) {
    if (text == text_)
        return;
    if (offsets_.empty())
        offsets_ = offsets(text_);
    std::vector<qreal> next = offsets(text);
    const QRect changed = changedArea(text_, offsets_, text, next);
    text_ = text;
    offsets_ = std::move(next);
    update(changed);
    if (QAccessible::isActive() && accessibleName().isEmpty()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

QSize ClockFace::sizeHint() const {
    const int frame = 2 * frameWidth();
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(text_) + frame, metrics.height() + frame);
}

void ClockFace::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (!contentsRect().contains(event->rect()))
        drawFrame(&painter);
    painter.setPen(palette().color(foregroundRole()));
    if (!drawnPerCharacter(text_)) {
        painter.setFont(font());
        painter.drawText(contentsRect(), Qt::AlignCenter, text_);
        return;
    }
    if (offsets_.empty())
        offsets_ = offsets(text_);
    const qreal left = textLeft(offsets_.back());
    const qreal top = textTop();
    const QRect area = event->rect();
    for (qsizetype k = 0; k < text_.size(); ++k) {
        const auto i = static_cast<size_t>(k);
        if (left + offsets_[i + 1] < area.left() - 1 || left + offsets_[i] > area.right() + 1)
            continue;
        painter.drawStaticText(QPointF(left + offsets_[i], top), glyph(text_.at(k)).text);
    }
}

void ClockFace::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        glyphs_.clear();
        offsets_.clear();
    }
    QFrame::changeEvent(event);
}

} // namespace controls
