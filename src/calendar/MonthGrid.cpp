#include "calendar/MonthGrid.h"

namespace calendar {

QDate dateSerial(int year, int month, int day) {
    // Roll the month into the year first, then count days from the first of that month.
    int m0 = month - 1;
    year += m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
    m0 = ((m0 % 12) + 12) % 12;
    const QDate first(year, m0 + 1, 1);
    return first.addDays(day - 1);
}

int weekday(const QDate& date) {
    return date.dayOfWeek() % 7 + 1;
}

std::array<int, kDayButtons> layMonth(int year, int month) {
    std::array<int, kDayButtons> days{};
    int counter = 1;
    for (int n = 1; n <= kDayButtons; ++n) {
        bool lay = true;
        if (n <= 6)
            lay = weekday(dateSerial(year, month, counter)) == n;
        else if (n >= 29)
            lay = dateSerial(year, month, counter).day() == counter;
        if (lay)
            days[static_cast<size_t>(n - 1)] = counter++;
    }
    return days;
}

QRect buttonRect(int n) {
    const int r = (n - 1) / 7;
    const int c = (n - 1) % 7;
    return QRect(8 + 24 * c, 56 + 16 * r, 25, 17);
}

namespace {

std::optional<int> parseWhole(const QString& text, int low, int high) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < low || v > high)
        return std::nullopt;
    return v;
}

} // namespace

std::optional<int> parseYear(const QString& text) {
    return parseWhole(text, kMinYear, kMaxYear);
}

std::optional<int> parseMonth(const QString& text) {
    return parseWhole(text, 1, 12);
}

int leadingNumber(const QString& text) {
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - '0');
        if (value > 1000000)
            break;
    }
    return value;
}

QString clockFormat(const QString& shortTimeFormat) {
    if (shortTimeFormat.contains(QLatin1Char('s')))
        return shortTimeFormat;
    const qsizetype minutes = shortTimeFormat.lastIndexOf(QLatin1Char('m'));
    if (minutes < 0)
        return shortTimeFormat + QStringLiteral(":ss");
    QString format = shortTimeFormat;
    format.insert(minutes + 1, QStringLiteral(":ss"));
    return format;
}

} // namespace calendar
