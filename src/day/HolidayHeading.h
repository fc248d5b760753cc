#pragma once
// The holiday's name after a day window's date heading ("2019/10/22の予定入力 即位礼正殿の儀").

#include <QDate>
#include <QFont>
#include <QRect>
#include <QString>

class QLabel;

namespace day {

class HolidayHeading {
  public:
    // The heading row is the date label and the fixed text after it, as the window laid them;
    // the name goes after the fixed text and ends by `right` (a pixel column of their parent).
    HolidayHeading(QLabel* date, QLabel* suffix, int right);

    // Shows the name, or hides it when empty. Called after the window has set the date and its
    // font. The name is set in the fixed text's size, a step smaller at a time down to 8 pt,
    // until it fits; when it does not fit even then, the date, the fixed text and the name are
    // set together in one smaller size (not below 8 pt) packed from the date's left edge, so the
    // row keeps its place and the date stays whole and readable; only the name may then go down
    // to 7 pt, and end in "…" if even that is too wide.
    void show(const QString& holiday);

    QLabel* nameLabel() const { return name_; }

  private:
    QLabel* date_;
    QLabel* suffix_;
    QLabel* name_;
    int right_;
    QRect dateHome_;
    QRect suffixHome_;
    QFont suffixFont_;
};

// The date as a screen reader speaks it in a day window's name: "2026年1月1日 木曜日 元日".
QString spokenDate(const QDate& date);

} // namespace day
