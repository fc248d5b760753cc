#pragma once
// Arithmetic of the month grid: which day each of the 37 day buttons carries, where each of the
// 42 buttons stands, and the checks on the Year and Month boxes.

#include <QDate>
#include <QRect>
#include <QString>
#include <array>
#include <optional>

namespace calendar {

constexpr int kDayButtons = 37;
constexpr int kAllButtons = 42;
constexpr int kMinYear = 100;
constexpr int kMaxYear = 3000;

// A month of a year: what the grid shows.
struct YearMonth {
    int year = kMinYear;
    int month = 1;
    bool operator==(const YearMonth&) const = default;
};

// The old year-month-day constructor: a month outside 1..12 rolls into a neighbouring year and a
// day outside the month rolls into a neighbouring month (day 29 of February 2026 is 1 March 2026).
QDate dateSerial(int year, int month, int day);

// Weekday with Sunday = 1 .. Saturday = 7.
int weekday(const QDate& date);

// Day number carried by button n (index n-1, n = 1..37), 0 for a blank cell. Laid exactly as the
// grid builder does it: a first-row test on cells 1..6, cells 7..28 always laid, and an
// end-of-month test on cells 29..37.
std::array<int, kDayButtons> layMonth(int year, int month);

// Position of button n (1..42) inside the calendar frame, in pixels: row (n-1)/7, column (n-1)%7,
// one pixel wider and taller than the step so neighbours overlap.
QRect buttonRect(int n);

// The Year box and Month box texts as numbers, when they are whole numbers in range
// (year 100..3000, month 1..12); nothing otherwise.
std::optional<int> parseYear(const QString& text);
std::optional<int> parseMonth(const QString& text);

// The leading decimal number of a text, 0 when it has none (an empty caption counts as 0).
int leadingNumber(const QString& text);

// The clock's format: the user's short time format with seconds added after the minutes when it
// has none ("H:mm" gives "H:mm:ss", so 9:05:07).
QString clockFormat(const QString& shortTimeFormat);

} // namespace calendar
