// The month grid's arithmetic: which button carries which day, the rolling date constructor and
// the checks on typed Year/Month text.

#include "calendar/MonthGrid.h"

#include <QtTest>

using calendar::layMonth;

class TestMonthGrid : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // Every month of 1990..2040 and the edges of the year range, against the real calendar: the
    // first day sits in its weekday's column of the first row (Sunday first), the rest follow.
    void laysMonth() {
        QList<QDate> firsts = {QDate(100, 1, 1), QDate(2000, 2, 1), QDate(2100, 2, 1), QDate(3000, 12, 1)};
        for (int year = 1990; year <= 2040; ++year)
            for (int month = 1; month <= 12; ++month)
                firsts << QDate(year, month, 1);
        for (const QDate& first : firsts) {
            const int firstCell = first.dayOfWeek() % 7 + 1;
            QCOMPARE(calendar::weekday(first), firstCell);
            const auto cells = layMonth(first.year(), first.month());
            for (int n = 1; n <= calendar::kDayButtons; ++n) {
                const int day = n - firstCell + 1;
                QCOMPARE(cells[static_cast<size_t>(n - 1)], day >= 1 && day <= first.daysInMonth() ? day : 0);
            }
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
