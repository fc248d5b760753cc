// The query texts of the list window, byte for byte, and the handling of typed input.

#include "list/QueryBuilder.h"

#include <QtTest>

using list::FilterState;

namespace {

const QString kAll = QStringLiteral("すべて");

FilterState state(const QString& slot, const QString& level, const QString& alarm, bool date = false,
                  const QString& year = QString(), const QString& month = QStringLiteral("すべて")) {
    FilterState s;
    s.slot = slot;
    s.level = level;
    s.alarm = alarm;
    s.dateFilter = date;
    s.year = year;
    s.month = month;
    return s;
}

const FilterState kNone = state(kAll, kAll, kAll);

FilterState searching(FilterState s, const QString& text) {
    s.search = text;
    return s;
}

// A sort ignores an earlier search text.
FilterState sortingBy(FilterState s, int option) {
    s.sortIndex = option;
    s.search = QStringLiteral("not part of a sort");
    return s;
}

} // namespace

class TestQueryBuilder : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void query_data();
    void query();
    void choicesOutsideTheLists();
};

// Each row names the query it builds: filter, date, search, or a sort (asc / desc).
void TestQueryBuilder::query_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<FilterState>("input");
    QTest::addColumn<QString>("query");
    QTest::newRow("nothing") << "filter" << kNone << QStringLiteral("SELECT * FROM 予定表 ;");
    QTest::newRow("slot 2") << "filter" << state(QStringLiteral("項目2"), kAll, kAll)
                            << QStringLiteral("SELECT * FROM 予定表 WHERE 項目番号 = 2;");
    QTest::newRow("slot level alarm")
        << "filter" << state(QStringLiteral("項目2"), QStringLiteral("ﾚﾍﾞﾙ3"), QStringLiteral("True"))
        << QStringLiteral("SELECT * FROM 予定表 WHERE 項目番号 = 2 And レベル = 3 And アラーム = 'True';");
    QTest::newRow("level alarm") << "filter" << state(kAll, QStringLiteral("ﾚﾍﾞﾙ5"), QStringLiteral("False"))
                                 << QStringLiteral(
                                        "SELECT * FROM 予定表 WHERE レベル = 5 And アラーム = 'False';");
    QTest::newRow("year only") << "filter" << state(kAll, kAll, kAll, true, QStringLiteral("2024"))
                               << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' ;");
    QTest::newRow("slot year month")
        << "filter"
        << state(QStringLiteral("項目1"), kAll, kAll, true, QStringLiteral("2024"), QStringLiteral("12月"))
        << QStringLiteral(
               "SELECT * FROM 予定表 WHERE 項目番号 = 1 AND 年月日 LIKE '2024/*' AND 年月日 LIKE '*/12/*' ;");
    QTest::newRow("year month")
        << "filter" << state(kAll, kAll, kAll, true, QStringLiteral("2024"), QStringLiteral("3月"))
        << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' AND 年月日 LIKE '*/3/*' ;");
    QTest::newRow("date filter off ignores year and month")
        << "filter" << state(kAll, kAll, kAll, false, QStringLiteral("2024"), QStringLiteral("3月"))
        << QStringLiteral("SELECT * FROM 予定表 ;");
    QTest::newRow("apostrophe in year")
        << "filter" << state(kAll, kAll, kAll, true, QStringLiteral("20'24"))
        << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '20''24/*' ;");

    // The date filter does not look at the slot, level and alarm choices.
    QTest::newRow("date: year") << "date"
                                << state(QStringLiteral("項目3"), QStringLiteral("ﾚﾍﾞﾙ1"),
                                         QStringLiteral("True"), true, QStringLiteral("2024"))
                                << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' ;");
    QTest::newRow("date: apostrophes")
        << "date"
        << state(kAll, kAll, kAll, true, QStringLiteral("'; DROP TABLE 予定表; --"), QStringLiteral("10月"))
        << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '''; DROP TABLE 予定表; "
                          "--/*' AND 年月日 LIKE '*/10/*' ;");

    QTest::newRow("search: no filter") << "search" << searching(kNone, QStringLiteral("会議"))
                                       << QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '*会議*' ;");
    QTest::newRow("search: empty text") << "search" << searching(kNone, QString())
                                        << QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '**' ;");
    QTest::newRow("search: wildcards kept")
        << "search" << searching(kNone, QStringLiteral("a?c*%_"))
        << QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '*a?c*%_*' ;");
    QTest::newRow("search: slot level date")
        << "search"
        << searching(state(QStringLiteral("項目3"), QStringLiteral("ﾚﾍﾞﾙ2"), kAll, true,
                           QStringLiteral("2024"), QStringLiteral("5月")),
                     QStringLiteral("歯医者"))
        << QStringLiteral(
               "SELECT * FROM 予定表 WHERE 項目番号 = 3 AND レベル = 2 AND 年月日 LIKE '2024/*'  AND "
               "年月日 LIKE '*/5/*' AND 内容 LIKE '*歯医者*' ;");
    QTest::newRow("search: year part last")
        << "search" << searching(state(kAll, kAll, kAll, true, QStringLiteral("2024")), QStringLiteral("x"))
        << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*'  AND 内容 LIKE '*x*' ;");
    QTest::newRow("search: apostrophe")
        << "search" << searching(kNone, QStringLiteral("O'Brien"))
        << QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '*O''Brien*' ;");
    QTest::newRow("search: injection attempt")
        << "search" << searching(kNone, QStringLiteral("' OR 1=1 OR 内容 LIKE '"))
        << QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '*'' OR 1=1 OR 内容 LIKE ''*' ;");

    QTest::newRow("年月日 asc") << "asc" << sortingBy(kNone, 0)
                                << QStringLiteral("SELECT * FROM 予定表 ORDER BY 年月日 ASC;");
    QTest::newRow("項目番号 desc") << "desc" << sortingBy(kNone, 1)
                                   << QStringLiteral("SELECT * FROM 予定表 ORDER BY 項目番号 DESC;");
    QTest::newRow("アラーム asc") << "asc" << sortingBy(kNone, 2)
                                  << QStringLiteral("SELECT * FROM 予定表 ORDER BY アラーム ASC;");
    QTest::newRow("内容 desc") << "desc" << sortingBy(kNone, 3)
                               << QStringLiteral("SELECT * FROM 予定表 ORDER BY 内容 DESC;");
    QTest::newRow("レベル asc") << "asc" << sortingBy(kNone, 4)
                                << QStringLiteral("SELECT * FROM 予定表 ORDER BY レベル ASC;");
    QTest::newRow("sort filtered")
        << "desc" << sortingBy(state(QStringLiteral("項目3"), kAll, QStringLiteral("True")), 3)
        << QStringLiteral(
               "SELECT * FROM 予定表 WHERE 項目番号 = 3 AND アラーム = 'True' ORDER BY 内容 DESC;");
    QTest::newRow("sort: year part last")
        << "asc" << sortingBy(state(kAll, kAll, kAll, true, QStringLiteral("2024")), 0)
        << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*'  ORDER BY 年月日 ASC;");
}

void TestQueryBuilder::query() {
    QFETCH(QString, kind);
    QFETCH(FilterState, input);
    QFETCH(QString, query);
    if (kind == QLatin1String("filter"))
        QCOMPARE(list::combinedFilterQuery(input), query);
    else if (kind == QLatin1String("date"))
        QCOMPARE(list::dateFilterQuery(input), query);
    else if (kind == QLatin1String("search"))
        QCOMPARE(list::searchQuery(input), query);
    else
        QCOMPARE(list::sortQuery(input, kind == QLatin1String("asc") ? list::SortOrder::Ascending
                                                                     : list::SortOrder::Descending),
                 query);
}

void TestQueryBuilder::choicesOutsideTheLists() {
    for (const QString& typed : {QStringLiteral("項目5"), QStringLiteral("項目"), QStringLiteral(" 項目1"),
                                 QStringLiteral("1"), QString(), QStringLiteral("項目1 ")})
        QVERIFY2(list::slotPart(typed).isEmpty(), qPrintable(typed));
    for (const QString& typed : {QStringLiteral("ﾚﾍﾞﾙ6"), QStringLiteral("ﾚﾍﾞﾙ0"), QStringLiteral("レベル1")})
        QVERIFY2(list::levelPart(typed).isEmpty(), qPrintable(typed));
    for (const QString& typed : {QStringLiteral("false"), QStringLiteral("TRUE"), QStringLiteral("Yes")})
        QVERIFY2(list::alarmPart(typed).isEmpty(), qPrintable(typed));
    for (const QString& typed : {QStringLiteral("13月"), QStringLiteral("0月"), QStringLiteral("01月"),
                                 QStringLiteral("3"), QStringLiteral("３月")})
        QVERIFY2(list::monthMarker(typed).isEmpty(), qPrintable(typed));
    // A typed text outside a list drops only that box's condition.
    FilterState s = state(QStringLiteral("項目9"), QStringLiteral("ﾚﾍﾞﾙ2"), QStringLiteral("maybe"), true,
                          QStringLiteral("2024"), QStringLiteral("13月"));
    QCOMPARE(list::combinedFilterQuery(s),
             QStringLiteral("SELECT * FROM 予定表 WHERE レベル = 2 AND 年月日 LIKE '2024/*' ;"));
}

QTEST_GUILESS_MAIN(TestQueryBuilder)
#include "test_query_builder.moc"
