// The calendar's date arithmetic: which button carries which day, the rolling date constructor,
// the checks on typed Year/Month text and the national holidays.

#include "calendar/Holidays.h"
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

    // Every holiday of 1955..2026 as the Cabinet Office publishes them: a year, then each date as
    // MMDD.
    void matchesPublishedDates() {
        const QString published = QStringLiteral(R"(
1955 0101 0115 0321 0429 0503 0505 0924 1103 1123
1956 0101 0115 0321 0429 0503 0505 0923 1103 1123
1957 0101 0115 0321 0429 0503 0505 0923 1103 1123
1958 0101 0115 0321 0429 0503 0505 0923 1103 1123
1959 0101 0115 0321 0410 0429 0503 0505 0924 1103 1123
1960 0101 0115 0320 0429 0503 0505 0923 1103 1123
1961 0101 0115 0321 0429 0503 0505 0923 1103 1123
1962 0101 0115 0321 0429 0503 0505 0923 1103 1123
1963 0101 0115 0321 0429 0503 0505 0924 1103 1123
1964 0101 0115 0320 0429 0503 0505 0923 1103 1123
1965 0101 0115 0321 0429 0503 0505 0923 1103 1123
1966 0101 0115 0321 0429 0503 0505 0915 0923 1010 1103 1123
1967 0101 0115 0211 0321 0429 0503 0505 0915 0924 1010 1103 1123
1968 0101 0115 0211 0320 0429 0503 0505 0915 0923 1010 1103 1123
1969 0101 0115 0211 0321 0429 0503 0505 0915 0923 1010 1103 1123
1970 0101 0115 0211 0321 0429 0503 0505 0915 0923 1010 1103 1123
1971 0101 0115 0211 0321 0429 0503 0505 0915 0924 1010 1103 1123
1972 0101 0115 0211 0320 0429 0503 0505 0915 0923 1010 1103 1123
1973 0101 0115 0211 0321 0429 0430 0503 0505 0915 0923 0924 1010 1103 1123
1974 0101 0115 0211 0321 0429 0503 0505 0506 0915 0916 0923 1010 1103 1104 1123
1975 0101 0115 0211 0321 0429 0503 0505 0915 0924 1010 1103 1123 1124
1976 0101 0115 0211 0320 0429 0503 0505 0915 0923 1010 1011 1103 1123
1977 0101 0115 0211 0321 0429 0503 0505 0915 0923 1010 1103 1123
1978 0101 0102 0115 0116 0211 0321 0429 0503 0505 0915 0923 1010 1103 1123
1979 0101 0115 0211 0212 0321 0429 0430 0503 0505 0915 0924 1010 1103 1123
1980 0101 0115 0211 0320 0429 0503 0505 0915 0923 1010 1103 1123 1124
1981 0101 0115 0211 0321 0429 0503 0504 0505 0915 0923 1010 1103 1123
1982 0101 0115 0211 0321 0322 0429 0503 0505 0915 0923 1010 1011 1103 1123
1983 0101 0115 0211 0321 0429 0503 0505 0915 0923 1010 1103 1123
1984 0101 0102 0115 0116 0211 0320 0429 0430 0503 0505 0915 0923 0924 1010 1103 1123
1985 0101 0115 0211 0321 0429 0503 0505 0506 0915 0916 0923 1010 1103 1104 1123
1986 0101 0115 0211 0321 0429 0503 0505 0915 0923 1010 1103 1123 1124
1987 0101 0115 0211 0321 0429 0503 0504 0505 0915 0923 1010 1103 1123
1988 0101 0115 0211 0320 0321 0429 0503 0504 0505 0915 0923 1010 1103 1123
1989 0101 0102 0115 0116 0211 0224 0321 0429 0503 0504 0505 0915 0923 1010 1103 1123 1223
1990 0101 0115 0211 0212 0321 0429 0430 0503 0504 0505 0915 0923 0924 1010 1103 1112 1123 1223 1224
1991 0101 0115 0211 0321 0429 0503 0504 0505 0506 0915 0916 0923 1010 1103 1104 1123 1223
1992 0101 0115 0211 0320 0429 0503 0504 0505 0915 0923 1010 1103 1123 1223
1993 0101 0115 0211 0320 0429 0503 0504 0505 0609 0915 0923 1010 1011 1103 1123 1223
1994 0101 0115 0211 0321 0429 0503 0504 0505 0915 0923 1010 1103 1123 1223
1995 0101 0102 0115 0116 0211 0321 0429 0503 0504 0505 0915 0923 1010 1103 1123 1223
1996 0101 0115 0211 0212 0320 0429 0503 0504 0505 0506 0720 0915 0916 0923 1010 1103 1104 1123 1223
1997 0101 0115 0211 0320 0429 0503 0505 0720 0721 0915 0923 1010 1103 1123 1124 1223
1998 0101 0115 0211 0321 0429 0503 0504 0505 0720 0915 0923 1010 1103 1123 1223
1999 0101 0115 0211 0321 0322 0429 0503 0504 0505 0720 0915 0923 1010 1011 1103 1123 1223
2000 0101 0110 0211 0320 0429 0503 0504 0505 0720 0915 0923 1009 1103 1123 1223
2001 0101 0108 0211 0212 0320 0429 0430 0503 0504 0505 0720 0915 0923 0924 1008 1103 1123 1223 1224
2002 0101 0114 0211 0321 0429 0503 0504 0505 0506 0720 0915 0916 0923 1014 1103 1104 1123 1223
2003 0101 0113 0211 0321 0429 0503 0505 0721 0915 0923 1013 1103 1123 1124 1223
2004 0101 0112 0211 0320 0429 0503 0504 0505 0719 0920 0923 1011 1103 1123 1223
2005 0101 0110 0211 0320 0321 0429 0503 0504 0505 0718 0919 0923 1010 1103 1123 1223
2006 0101 0102 0109 0211 0321 0429 0503 0504 0505 0717 0918 0923 1009 1103 1123 1223
2007 0101 0108 0211 0212 0321 0429 0430 0503 0504 0505 0716 0917 0923 0924 1008 1103 1123 1223 1224
2008 0101 0114 0211 0320 0429 0503 0504 0505 0506 0721 0915 0923 1013 1103 1123 1124 1223
2009 0101 0112 0211 0320 0429 0503 0504 0505 0506 0720 0921 0922 0923 1012 1103 1123 1223
2010 0101 0111 0211 0321 0322 0429 0503 0504 0505 0719 0920 0923 1011 1103 1123 1223
2011 0101 0110 0211 0321 0429 0503 0504 0505 0718 0919 0923 1010 1103 1123 1223
2012 0101 0102 0109 0211 0320 0429 0430 0503 0504 0505 0716 0917 0922 1008 1103 1123 1223 1224
2013 0101 0114 0211 0320 0429 0503 0504 0505 0506 0715 0916 0923 1014 1103 1104 1123 1223
2014 0101 0113 0211 0321 0429 0503 0504 0505 0506 0721 0915 0923 1013 1103 1123 1124 1223
2015 0101 0112 0211 0321 0429 0503 0504 0505 0506 0720 0921 0922 0923 1012 1103 1123 1223
2016 0101 0111 0211 0320 0321 0429 0503 0504 0505 0718 0811 0919 0922 1010 1103 1123 1223
2017 0101 0102 0109 0211 0320 0429 0503 0504 0505 0717 0811 0918 0923 1009 1103 1123 1223
2018 0101 0108 0211 0212 0321 0429 0430 0503 0504 0505 0716 0811 0917 0923 0924 1008 1103 1123 1223 1224
2019 0101 0114 0211 0321 0429 0430 0501 0502 0503 0504 0505 0506 0715 0811 0812 0916 0923 1014 1022 1103 1104 1123
2020 0101 0113 0211 0223 0224 0320 0429 0503 0504 0505 0506 0723 0724 0810 0921 0922 1103 1123
2021 0101 0111 0211 0223 0320 0429 0503 0504 0505 0722 0723 0808 0809 0920 0923 1103 1123
2022 0101 0110 0211 0223 0321 0429 0503 0504 0505 0718 0811 0919 0923 1010 1103 1123
2023 0101 0102 0109 0211 0223 0321 0429 0503 0504 0505 0717 0811 0918 0923 1009 1103 1123
2024 0101 0108 0211 0212 0223 0320 0429 0503 0504 0505 0506 0715 0811 0812 0916 0922 0923 1014 1103 1104 1123
2025 0101 0113 0211 0223 0224 0320 0429 0503 0504 0505 0506 0721 0811 0915 0923 1013 1103 1123 1124
2026 0101 0112 0211 0223 0320 0429 0503 0504 0505 0506 0720 0811 0921 0922 0923 1012 1103 1123
)");
        const QStringList lines = published.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2026 - 1955 + 1);
        for (const QString& line : lines) {
            const int year = line.left(4).toInt();
            QStringList dates;
            for (const calendar::Holiday& h : calendar::holidaysOf(year)) {
                QVERIFY(!h.name.isEmpty());
                QCOMPARE(calendar::holidayName(h.date), h.name);
                dates << h.date.toString(QStringLiteral("MMdd"));
            }
            QCOMPARE(QString::number(year) + u' ' + dates.join(u' '), line);
        }
    }

    // Whole years with the names, including the special laws' days and moves.
    void namesKeyYears_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1973") << 1973
                              << QStringLiteral(
                                     "0101元日 0115成人の日 0211建国記念の日 0321春分の日 0429天皇誕生日 "
                                     "0430振替休日 0503憲法記念日 0505こどもの日 0915敬老の日 0923秋分の日 "
                                     "0924振替休日 1010体育の日 1103文化の日 1123勤労感謝の日");
        QTest::newRow("1989")
            << 1989
            << QStringLiteral(
                   "0101元日 0102振替休日 0115成人の日 0116振替休日 0211建国記念の日 0224大喪の礼 "
                   "0321春分の日 0429みどりの日 0503憲法記念日 0504国民の休日 0505こどもの日 0915敬老の日 "
                   "0923秋分の日 1010体育の日 1103文化の日 1123勤労感謝の日 1223天皇誕生日");
        QTest::newRow("2007") << 2007
                              << QStringLiteral(
                                     "0101元日 0108成人の日 0211建国記念の日 0212振替休日 0321春分の日 "
                                     "0429昭和の日 0430振替休日 0503憲法記念日 0504みどりの日 0505こどもの日 "
                                     "0716海の日 0917敬老の日 0923秋分の日 0924振替休日 1008体育の日 "
                                     "1103文化の日 1123勤労感謝の日 1223天皇誕生日 1224振替休日");
        QTest::newRow("2019")
            << 2019
            << QStringLiteral(
                   "0101元日 0114成人の日 0211建国記念の日 0321春分の日 0429昭和の日 0430国民の休日 "
                   "0501即位の日 0502国民の休日 0503憲法記念日 0504みどりの日 0505こどもの日 0506振替休日 "
                   "0715海の日 0811山の日 0812振替休日 0916敬老の日 0923秋分の日 1014体育の日 "
                   "1022即位礼正殿の儀 1103文化の日 1104振替休日 1123勤労感謝の日");
        QTest::newRow("2020")
            << 2020
            << QStringLiteral(
                   "0101元日 0113成人の日 0211建国記念の日 0223天皇誕生日 0224振替休日 0320春分の日 "
                   "0429昭和の日 0503憲法記念日 0504みどりの日 0505こどもの日 0506振替休日 0723海の日 "
                   "0724スポーツの日 0810山の日 0921敬老の日 0922秋分の日 1103文化の日 1123勤労感謝の日");
        QTest::newRow("2021")
            << 2021
            << QStringLiteral(
                   "0101元日 0111成人の日 0211建国記念の日 0223天皇誕生日 0320春分の日 0429昭和の日 "
                   "0503憲法記念日 0504みどりの日 0505こどもの日 0722海の日 0723スポーツの日 0808山の日 "
                   "0809振替休日 0920敬老の日 0923秋分の日 1103文化の日 1123勤労感謝の日");
        QTest::newRow("2026")
            << 2026
            << QStringLiteral(
                   "0101元日 0112成人の日 0211建国記念の日 0223天皇誕生日 0320春分の日 0429昭和の日 "
                   "0503憲法記念日 0504みどりの日 0505こどもの日 0506振替休日 0720海の日 0811山の日 "
                   "0921敬老の日 0922国民の休日 0923秋分の日 1012スポーツの日 1103文化の日 1123勤労感謝の日");
    }
    void namesKeyYears() {
        QFETCH(int, year);
        QFETCH(QString, expected);
        QStringList got;
        for (const calendar::Holiday& h : calendar::holidaysOf(year))
            got << h.date.toString(QStringLiteral("MMdd")) + h.name;
        QCOMPARE(got.join(u' '), expected);
    }

    // Each rule's first and last year, the reach of the rules and the days just outside them.
    void ruleEdges_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("name");
        const auto row = [](int y, int m, int d, const char* name) {
            QTest::addRow("%04d-%02d-%02d", y, m, d) << QDate(y, m, d) << QString::fromUtf8(name);
        };
        row(1948, 1, 1, "");
        row(1948, 5, 5, "");
        row(1948, 9, 23, "秋分の日");
        row(1949, 1, 1, "元日");
        row(1959, 4, 10, "結婚の儀");
        row(1966, 2, 11, "");
        row(1966, 9, 15, "敬老の日");
        row(1966, 10, 10, "体育の日");
        row(1967, 2, 11, "建国記念の日");
        row(1973, 2, 12, "");
        row(1985, 5, 4, "");
        row(1986, 5, 4, "");
        row(1988, 4, 29, "天皇誕生日");
        row(1988, 5, 4, "国民の休日");
        row(1990, 11, 12, "即位礼正殿の儀");
        row(1993, 6, 9, "結婚の儀");
        row(1995, 7, 20, "");
        row(1996, 7, 20, "海の日");
        row(1999, 1, 15, "成人の日");
        row(1999, 10, 11, "振替休日");
        row(2000, 1, 10, "成人の日");
        row(2000, 1, 15, "");
        row(2000, 10, 9, "体育の日");
        row(2002, 7, 20, "海の日");
        row(2002, 9, 16, "振替休日");
        row(2003, 7, 21, "海の日");
        row(2003, 9, 15, "敬老の日");
        row(2006, 4, 29, "みどりの日");
        row(2006, 5, 4, "国民の休日");
        row(2008, 5, 6, "振替休日");
        row(2009, 9, 22, "国民の休日");
        row(2015, 8, 11, "");
        row(2016, 8, 11, "山の日");
        row(2018, 12, 23, "天皇誕生日");
        row(2018, 12, 24, "振替休日");
        row(2019, 2, 23, "");
        row(2019, 12, 23, "");
        row(2020, 10, 12, "");
        row(2021, 10, 11, "");
        row(2022, 7, 18, "海の日");
        row(2022, 10, 10, "スポーツの日");
        row(2099, 3, 20, "春分の日");
        row(2099, 9, 23, "秋分の日");
        row(2100, 1, 1, "");
    }
    void ruleEdges() {
        QFETCH(QDate, date);
        QFETCH(QString, name);
        QCOMPARE(calendar::holidayName(date), name);
        QCOMPARE(calendar::holidaysKnown(date.year()), date.year() >= 1948 && date.year() <= 2099);
    }
};

QTEST_GUILESS_MAIN(TestMonthGrid)
#include "test_month_grid.moc"
