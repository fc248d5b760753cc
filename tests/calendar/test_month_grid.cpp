// The month grid's arithmetic: which button carries which day, the rolling date constructor and
// the checks on typed Year/Month text.

#include "calendar/MonthGrid.h"

#include <QtTest>

using calendar::layMonth;

class TestMonthGrid : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void laysMonth_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("firstCell");
        QTest::addColumn<int>("days");
        QTest::newRow("Feb 2026, Sunday start, 28 days") << 2026 << 2 << 1 << 28;
        QTest::newRow("Feb 2024, leap year") << 2024 << 2 << 5 << 29;
        QTest::newRow("Jan 2021, Friday start") << 2021 << 1 << 6 << 31;
        QTest::newRow("Aug 2026, Saturday start, 31 days") << 2026 << 8 << 7 << 31;
        QTest::newRow("Feb 2000, century leap year") << 2000 << 2 << 3 << 29;
        QTest::newRow("Feb 2100, century common year") << 2100 << 2 << 2 << 28;
        QTest::newRow("Mar 2026") << 2026 << 3 << 1 << 31;
        QTest::newRow("year 100") << 100 << 1 << 6 << 31;
        QTest::newRow("year 3000") << 3000 << 12 << 2 << 31;
    }
    void laysMonth() {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, firstCell);
        QFETCH(int, days);
        const auto cells = layMonth(year, month);
        for (int n = 1; n <= calendar::kDayButtons; ++n) {
            const int expected = (n >= firstCell && n < firstCell + days) ? n - firstCell + 1 : 0;
            QCOMPARE(cells[static_cast<size_t>(n - 1)], expected);
        }
        // The grid agrees with the real calendar.
        QCOMPARE(calendar::weekday(QDate(year, month, 1)), firstCell);
        QCOMPARE(QDate(year, month, 1).daysInMonth(), days);
    }

    void everyMonthFitsTheGrid() {
        for (int year = 1990; year <= 2040; ++year)
            for (int month = 1; month <= 12; ++month) {
                const auto cells = layMonth(year, month);
                const QDate first(year, month, 1);
                const int f = calendar::weekday(first);
                QCOMPARE(cells[static_cast<size_t>(f - 1)], 1);
                QCOMPARE(cells[static_cast<size_t>(f + first.daysInMonth() - 2)], first.daysInMonth());
            }
    }

    void dateSerialRollsOver_data() {
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("m");
        QTest::addColumn<int>("d");
        QTest::addColumn<QDate>("expected");
        QTest::newRow("29 Feb 2026") << 2026 << 2 << 29 << QDate(2026, 3, 1);
        QTest::newRow("32 Dec") << 2026 << 12 << 32 << QDate(2027, 1, 1);
        QTest::newRow("month 0") << 2026 << 0 << 1 << QDate(2025, 12, 1);
        QTest::newRow("month 13") << 2026 << 13 << 5 << QDate(2027, 1, 5);
        QTest::newRow("month -12") << 2026 << -12 << 1 << QDate(2024, 12, 1);
        QTest::newRow("day 0") << 2026 << 3 << 0 << QDate(2026, 2, 28);
    }
    void dateSerialRollsOver() {
        QFETCH(int, y);
        QFETCH(int, m);
        QFETCH(int, d);
        QFETCH(QDate, expected);
        QCOMPARE(calendar::dateSerial(y, m, d), expected);
    }

    void buttonPositions() {
        QCOMPARE(calendar::buttonRect(1), QRect(8, 56, 25, 17));
        QCOMPARE(calendar::buttonRect(7), QRect(8 + 24 * 6, 56, 25, 17));
        QCOMPARE(calendar::buttonRect(8), QRect(8, 72, 25, 17));
        QCOMPARE(calendar::buttonRect(38), QRect(8 + 24 * 2, 56 + 16 * 5, 25, 17));
        QCOMPARE(calendar::buttonRect(42), QRect(8 + 24 * 6, 56 + 16 * 5, 25, 17));
    }

    void typedBoxes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("year");  // 0: refused
        QTest::addColumn<int>("month"); // 0: refused
        QTest::newRow("plain") << "2026" << 2026 << 0;
        QTest::newRow("month") << "12" << 0 << 12;
        QTest::newRow("empty") << "" << 0 << 0;
        QTest::newRow("word") << "abc" << 0 << 0;
        QTest::newRow("fraction") << "3.5" << 0 << 0;
        QTest::newRow("year below range") << "99" << 0 << 0;
        QTest::newRow("year above range") << "3001" << 0 << 0;
        QTest::newRow("month 13") << "13" << 0 << 0;
        QTest::newRow("month 0") << "0" << 0 << 0;
        QTest::newRow("huge") << "99999999999999999999" << 0 << 0;
        QTest::newRow("blanks") << " 7 " << 0 << 7;
    }
    void typedBoxes() {
        QFETCH(QString, text);
        QFETCH(int, year);
        QFETCH(int, month);
        QCOMPARE(calendar::parseYear(text).value_or(0), year);
        QCOMPARE(calendar::parseMonth(text).value_or(0), month);
    }

    void leadingNumber() {
        QCOMPARE(calendar::leadingNumber(QString()), 0);
        QCOMPARE(calendar::leadingNumber(QStringLiteral("12")), 12);
        QCOMPARE(calendar::leadingNumber(QStringLiteral("5x")), 5);
        QCOMPARE(calendar::leadingNumber(QStringLiteral("x5")), 0);
    }

    void clockFormat_data() {
        QTest::addColumn<QString>("shortFormat");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Japanese") << "H:mm"
                                  << "H:mm:ss";
        QTest::newRow("C") << "HH:mm"
                           << "HH:mm:ss";
        QTest::newRow("US") << "h:mm AP"
                            << "h:mm:ss AP";
        QTest::newRow("already seconds") << "H:mm:ss"
                                         << "H:mm:ss";
    }
    void clockFormat() {
        QFETCH(QString, shortFormat);
        QFETCH(QString, expected);
        QCOMPARE(calendar::clockFormat(shortFormat), expected);
        QCOMPARE(QTime(9, 5, 7).toString(calendar::clockFormat(QStringLiteral("H:mm"))),
                 QStringLiteral("9:05:07"));
    }
};

QTEST_GUILESS_MAIN(TestMonthGrid)
#include "test_month_grid.moc"
