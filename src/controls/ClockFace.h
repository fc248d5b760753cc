#pragma once
// A framed one-line display for text that changes often and little, such as a clock: a new text
// repaints only the characters that differ, each drawn from glyphs laid out once per font. A
// QLabel would lay out and shape its whole text on every change and ask its parent to lay out
// again, which is most of what a clock costs while nobody uses the program.

#include <QFrame>
#include <QHash>
#include <QStaticText>
#include <QString>

#include <vector>

namespace controls {

class ClockFace : public QFrame {
    Q_OBJECT

  public:
    explicit ClockFace(QWidget* parent = nullptr);

    // Shows `text` centred; repaints the part of the face that changed.
    void setText(const QString& text);
    QString text() const { return text_; }

    // The area a change from `before` to `after` repaints, in widget coordinates: from the first
    // to the last character that differs when both texts have the same length, else the whole
    // contents. Empty when nothing differs.
    QRect changedArea(const QString& before, const QString& after) const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    struct Glyph {
        QStaticText text;
        qreal advance = 0;
    };

    // Whether `text` can be drawn character by character: each character stands alone, with no
    // shaping between neighbours (digits, Latin, kana, kanji and punctuation).
    static bool drawnPerCharacter(const QString& text);
    QRect changedArea(const QString& before, const std::vector<qreal>& was, const QString& after,
                      const std::vector<qreal>& now) const;
    const Glyph& glyph(QChar c) const;
    // The left edge of each character of `text` and, last, its right end, from 0.
    std::vector<qreal> offsets(const QString& text) const;
    // Where offsets start for a text of `width` centred in the contents.
    qreal textLeft(qreal width) const;
    qreal textTop() const;

    QString text_;
    mutable QHash<QChar, Glyph> glyphs_; // for the current font
    mutable std::vector<qreal> offsets_; // of text_ in the current font; empty: not yet measured
};

} // namespace controls
