#include "day/HolidayHeading.h"

#include "calendar/Holidays.h"
#include "controls/Fonts.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <algorithm>

namespace day {

namespace {

constexpr qreal kSmallestPoints = 8;
constexpr qreal kStep = 0.5;
constexpr int kGap = 3;
// Only the name may go this far below the date's smallest size before it is shortened.
constexpr qreal kSmallestNamePoints = 7;

QFont sized(QFont font, qreal points) {
    font.setPointSizeF(points);
    return font;
}

int advance(const QFont& font, const QString& text) {
    return QFontMetrics(font).horizontalAdvance(text);
}

} // namespace

HolidayHeading::HolidayHeading(QLabel* date, QLabel* suffix, int right)
    : date_(date), suffix_(suffix), name_(new QLabel(date->parentWidget())), right_(right),
      dateHome_(date->geometry()), suffixHome_(suffix->geometry()),
      // Larger system fonts: the fixed text is set smaller until it fits its place.
      suffixFont_(controls::fitText(suffix->font(), suffix->text(), suffix->contentsRect().width())) {
    name_->setObjectName(QStringLiteral("HolidayName"));
    name_->setTextFormat(Qt::PlainText);
    name_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    name_->setPalette(suffix->palette());
    name_->hide();
}

void HolidayHeading::show(const QString& holiday) {
    date_->setGeometry(dateHome_);
    suffix_->setGeometry(suffixHome_);
    suffix_->setFont(suffixFont_);
    name_->setText(holiday);
    if (holiday.isEmpty()) {
        name_->hide();
        return;
    }
    QFont nameFont = date_->font();
    nameFont.setItalic(false);

    // Behind the fixed text, where the window has room.
    const int nameLeft =
        suffixHome_.x() + suffix_->contentsRect().left() + advance(suffixFont_, suffix_->text()) + kGap;
    for (qreal points = suffixFont_.pointSizeF(); points >= kSmallestPoints; points -= kStep) {
        const QFont font = sized(nameFont, points);
        if (nameLeft + advance(font, holiday) <= right_) {
            name_->setFont(font);
            name_->setGeometry(nameLeft, suffixHome_.y(), right_ - nameLeft, suffixHome_.height());
            name_->show();
            return;
        }
    }

    // A narrow window: the whole row in one size, from the date's left edge.
    const QFont dateBase = date_->font();
    const QMargins margins = date_->contentsMargins();
    const auto dateWidth = [&](qreal p) {
        return advance(sized(dateBase, p), date_->text()) + margins.left() + margins.right() + 1;
    };
    const auto suffixWidth = [&](qreal p) { return advance(sized(suffixFont_, p), suffix_->text()) + 1; };
    const auto nameWidth = [&](qreal p) { return advance(sized(nameFont, p), holiday) + 1; };
    qreal points = std::min(dateBase.pointSizeF(), suffixFont_.pointSizeF());
    while (points > kSmallestPoints &&
           dateHome_.x() + dateWidth(points) + kGap + suffixWidth(points) + kGap + nameWidth(points) > right_)
        points -= kStep;
    date_->setFont(sized(dateBase, points));
    suffix_->setFont(sized(suffixFont_, points));
    qreal namePoints = points;
    while (namePoints > kSmallestNamePoints &&
           dateHome_.x() + dateWidth(points) + kGap + suffixWidth(points) + kGap + nameWidth(namePoints) >
               right_)
        namePoints -= kStep;
    name_->setFont(sized(nameFont, namePoints));
    date_->setGeometry(dateHome_.x(), dateHome_.y(), dateWidth(points), dateHome_.height());
    const int suffixLeft = date_->geometry().right() + 1 + kGap;
    suffix_->setGeometry(suffixLeft, suffixHome_.y(), suffixWidth(points), suffixHome_.height());
    const int left = suffix_->geometry().right() + 1 + kGap;
    const int room = std::max(0, right_ - left);
    // Still too long at the smallest sizes: the name ends in "…" rather than being cut.
    name_->setText(QFontMetrics(name_->font()).elidedText(holiday, Qt::ElideRight, room - 1));
    name_->setGeometry(left, suffixHome_.y(), room, suffixHome_.height());
    name_->show();
}

QString spokenDate(const QDate& date) {
    static const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QString text = japanese.toString(date, QStringLiteral("yyyy年M月d日 dddd"));
    if (const QString holiday = calendar::holidayName(date); !holiday.isEmpty())
        text += QLatin1Char(' ') + holiday;
    return text;
}

} // namespace day
