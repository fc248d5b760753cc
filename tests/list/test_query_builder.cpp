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

} // namespace

class TestQueryBuilder : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void combinedFilter_data();
    void combinedFilter();
    void dateFilter_data();
    void dateFilter();
    void activeCondition_data();
    void activeCondition();
    void search_data();
    void search();
    void sort_data();
    void sort();
    void choicesOutsideTheLists();
};

void TestQueryBuilder::combinedFilter_data() {
    QTest::addColumn<FilterState>("input");
    QTest::addColumn<QString>("query");
    QTest::newRow("nothing") << state(kAll, kAll, kAll) << QStringLiteral("SELECT * FROM 予定表 ;");
    QTest::newRow("slot 2") << state(QStringLiteral("項目2"), kAll, kAll)
                            << QStringLiteral("SELECT * FROM 予定表 WHERE 項目番号 = 2;");
    QTest::newRow("slot level alarm")
        << state(QStringLiteral("項目2"), QStringLiteral("ﾚﾍﾞﾙ3"), QStringLiteral("True"))
        << QStringLiteral("SELECT * FROM 予定表 WHERE 項目番号 = 2 And レベル = 3 And アラーム = 'True';");
    QTest::newRow("level alarm") << state(kAll, QStringLiteral("ﾚﾍﾞﾙ5"), QStringLiteral("False"))
                                 << QStringLiteral(
                                        "SELECT * FROM 予定表 WHERE レベル = 5 And アラーム = 'False';");
    QTest::newRow("year only") << state(kAll, kAll, kAll, true, QStringLiteral("2024"))
                               << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' ;");
    QTest::newRow("slot year month")
        << state(QStringLiteral("項目1"), kAll, kAll, true, QStringLiteral("2024"), QStringLiteral("12月"))
        << QStringLiteral(
               "SELECT * FROM 予定表 WHERE 項目番号 = 1 AND 年月日 LIKE '2024/*' AND 年月日 LIKE '*/12/*' ;");
    QTest::newRow("year month")
        << state(kAll, kAll, kAll, true, QStringLiteral("2024"), QStringLiteral("3月"))
        << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' AND 年月日 LIKE '*/3/*' ;");
    QTest::newRow("date filter off ignores year and month")
        << state(kAll, kAll, kAll, false, QStringLiteral("2024"), QStringLiteral("3月"))
        << QStringLiteral("SELECT * FROM 予定表 ;");
    QTest::newRow("apostrophe in year")
        << state(kAll, kAll, kAll, true, QStringLiteral("20'24"))
        << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '20''24/*' ;");
}

void TestQueryBuilder::combinedFilter() {
    QFETCH(FilterState, input);
    QFETCH(QString, query);
    QCOMPARE(list::combinedFilterQuery(input), query);
}

void TestQueryBuilder::dateFilter_data() {
    QTest::addColumn<FilterState>("input");
    QTest::addColumn<QString>("query");
    // The slot, level and alarm choices are not looked at.
    QTest::newRow("year") << state(QStringLiteral("項目3"), QStringLiteral("ﾚﾍﾞﾙ1"), QStringLiteral("True"),
                                   true, QStringLiteral("2024"))
                          << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' ;");
    QTest::newRow("year month")
        << state(kAll, kAll, kAll, true, QStringLiteral("2024"), QStringLiteral("3月"))
        << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' AND 年月日 LIKE '*/3/*' ;");
    QTest::newRow("not a number") << state(kAll, kAll, kAll, true, QStringLiteral("abc"))
                                  << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE 'abc/*' ;");
    QTest::newRow("apostrophes") << state(kAll, kAll, kAll, true, QStringLiteral("'; DROP TABLE 予定表; --"),
                                          QStringLiteral("10月"))
                                 << QStringLiteral(
                                        "SELECT * FROM 予定表 WHERE 年月日 LIKE '''; DROP TABLE 予定表; "
                                        "--/*' AND 年月日 LIKE '*/10/*' ;");
}

void TestQueryBuilder::dateFilter() {
    QFETCH(FilterState, input);
    QFETCH(QString, query);
    QCOMPARE(list::dateFilterQuery(input), query);
}

void TestQueryBuilder::activeCondition_data() {
    QTest::addColumn<FilterState>("input");
    QTest::addColumn<QString>("condition");
    QTest::newRow("nothing") << state(kAll, kAll, kAll) << QString();
    QTest::newRow("example")
        << state(QStringLiteral("項目1"), QStringLiteral("ﾚﾍﾞﾙ2"), kAll, true, QStringLiteral("2024"),
                 QStringLiteral("3月"))
        << QStringLiteral("項目番号 = 1 AND レベル = 2 AND 年月日 LIKE '2024/*'  AND 年月日 LIKE '*/3/*'");
    QTest::newRow("alarm") << state(kAll, kAll, QStringLiteral("False"))
                           << QStringLiteral("アラーム = 'False'");
    QTest::newRow("year only") << state(kAll, kAll, kAll, true, QStringLiteral("2025"))
                               << QStringLiteral("年月日 LIKE '2025/*' ");
}

void TestQueryBuilder::activeCondition() {
    QFETCH(FilterState, input);
    QFETCH(QString, condition);
    QCOMPARE(list::activeCondition(input), condition);
}

void TestQueryBuilder::search_data() {
    QTest::addColumn<FilterState>("input");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("query");
    QTest::newRow("no filter") << state(kAll, kAll, kAll) << QStringLiteral("会議")
                               << QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '*会議*' ;");
    QTest::newRow("empty text") << state(kAll, kAll, kAll) << QString()
                                << QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '**' ;");
    QTest::newRow("wildcards kept") << state(kAll, kAll, kAll) << QStringLiteral("a?c*%_")
                                    << QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '*a?c*%_*' ;");
    QTest::newRow("slot 3 with date filter")
        << state(QStringLiteral("項目3"), kAll, kAll, true, QStringLiteral("2024"), QStringLiteral("5月"))
        << QStringLiteral("歯医者")
        << QStringLiteral("SELECT * FROM 予定表 WHERE 項目番号 = 3 AND 年月日 LIKE '2024/*'  AND 年月日 LIKE "
                          "'*/5/*' AND 内容 LIKE '*歯医者*' ;");
    QTest::newRow("year part last")
        << state(kAll, kAll, kAll, true, QStringLiteral("2024")) << QStringLiteral("x")
        << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*'  AND 内容 LIKE '*x*' ;");
    QTest::newRow("apostrophe") << state(kAll, kAll, kAll) << QStringLiteral("O'Brien")
                                << QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '*O''Brien*' ;");
    QTest::newRow("injection attempt")
        << state(kAll, kAll, kAll) << QStringLiteral("' OR 1=1 OR 内容 LIKE '")
        << QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '*'' OR 1=1 OR 内容 LIKE ''*' ;");
}

void TestQueryBuilder::search() {
    QFETCH(FilterState, input);
    QFETCH(QString, text);
    QFETCH(QString, query);
    input.search = text;
    QCOMPARE(list::searchQuery(input), query);
}

void TestQueryBuilder::sort_data() {
    QTest::addColumn<FilterState>("input");
    QTest::addColumn<int>("option");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QString>("query");
    const FilterState none = state(kAll, kAll, kAll);
    QTest::newRow("年月日 asc") << none << 0 << true
                                << QStringLiteral("SELECT * FROM 予定表 ORDER BY 年月日 ASC;");
    QTest::newRow("項目番号 desc") << none << 1 << false
                                   << QStringLiteral("SELECT * FROM 予定表 ORDER BY 項目番号 DESC;");
    QTest::newRow("アラーム asc") << none << 2 << true
                                  << QStringLiteral("SELECT * FROM 予定表 ORDER BY アラーム ASC;");
    QTest::newRow("内容 desc") << none << 3 << false
                               << QStringLiteral("SELECT * FROM 予定表 ORDER BY 内容 DESC;");
    QTest::newRow("レベル asc") << none << 4 << true
                                << QStringLiteral("SELECT * FROM 予定表 ORDER BY レベル ASC;");
    QTest::newRow("filtered")
        << state(QStringLiteral("項目3"), kAll, QStringLiteral("True")) << 3 << false
        << QStringLiteral(
               "SELECT * FROM 予定表 WHERE 項目番号 = 3 AND アラーム = 'True' ORDER BY 内容 DESC;");
    QTest::newRow("year part last")
        << state(kAll, kAll, kAll, true, QStringLiteral("2024")) << 0 << true
        << QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*'  ORDER BY 年月日 ASC;");
}

void TestQueryBuilder::sort() {
    QFETCH(FilterState, input);
    QFETCH(int, option);
    QFETCH(bool, ascending);
    QFETCH(QString, query);
    input.sortIndex = option;
    input.search = QStringLiteral("not part of a sort");
    QCOMPARE(list::sortQuery(input, ascending ? list::SortOrder::Ascending : list::SortOrder::Descending),
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
    QCOMPARE(list::monthMarker(QStringLiteral("11月")), QStringLiteral("/11/"));
    // A typed text outside a list drops only that box's condition.
    FilterState s = state(QStringLiteral("項目9"), QStringLiteral("ﾚﾍﾞﾙ2"), QStringLiteral("maybe"), true,
                          QStringLiteral("2024"), QStringLiteral("13月"));
    QCOMPARE(list::combinedFilterQuery(s),
             QStringLiteral("SELECT * FROM 予定表 WHERE レベル = 2 AND 年月日 LIKE '2024/*' ;"));
}

QTEST_GUILESS_MAIN(TestQueryBuilder)
#include "test_query_builder.moc"
