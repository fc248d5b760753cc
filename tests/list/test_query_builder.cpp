// The rows the list window's queries return from a small file, and the handling of typed input.

#include "list/QueryBuilder.h"
#include "support/ScheduleRows.h"
#include "support/TestEnv.h"

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
    void initTestCase();
    void query_data();
    void query();
    void choicesOutsideTheLists();

  private:
    // The contents of the rows a query returns, in its order.
    QStringList contents(const QString& query) const { return testrows::column(file_, query, 3); }

    std::unique_ptr<testsupport::TestEnv> env_;
    QString file_;
};

void TestQueryBuilder::initTestCase() {
    env_ = std::make_unique<testsupport::TestEnv>();
    file_ = env_->makeScheduleFile();
    testrows::addDays(file_, {{"2024/3/5", 1, 3.0, "会議", "True"},
                              {"2024/12/24", 2, 3.0, "歯医者", "False"},
                              {"2024/12/1", 3, 2.0, "歯医者予約", "True"},
                              {"2025/3/5", 2, 5.0, "O'Brien", "True"},
                              {"2023/10/31", 4, {}, "a?c*%_x", "False"},
                              {"2024/5/5", 3, 2.0, "歯医者の予約", "False"}});
}

// Each row names the query it builds (filter, date, search, or a sort asc / desc) and the
// contents of the rows it returns from the six rows above, in the order it returns them.
void TestQueryBuilder::query_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<FilterState>("input");
    QTest::addColumn<QStringList>("rows");
    const QStringList all{"会議", "歯医者", "歯医者予約", "O'Brien", "a?c*%_x", "歯医者の予約"};
    QTest::newRow("nothing") << "filter" << kNone << all;
    QTest::newRow("slot 2") << "filter" << state(QStringLiteral("項目2"), kAll, kAll)
                            << QStringList{"歯医者", "O'Brien"};
    QTest::newRow("slot level alarm")
        << "filter" << state(QStringLiteral("項目2"), QStringLiteral("ﾚﾍﾞﾙ3"), QStringLiteral("False"))
        << QStringList{"歯医者"};
    QTest::newRow("level alarm") << "filter" << state(kAll, QStringLiteral("ﾚﾍﾞﾙ5"), QStringLiteral("True"))
                                 << QStringList{"O'Brien"};
    QTest::newRow("year only") << "filter" << state(kAll, kAll, kAll, true, QStringLiteral("2024"))
                               << QStringList{"会議", "歯医者", "歯医者予約", "歯医者の予約"};
    QTest::newRow("slot year month") << "filter"
                                     << state(QStringLiteral("項目3"), kAll, kAll, true,
                                              QStringLiteral("2024"), QStringLiteral("12月"))
                                     << QStringList{"歯医者予約"};
    QTest::newRow("year month") << "filter"
                                << state(kAll, kAll, kAll, true, QStringLiteral("2024"),
                                         QStringLiteral("3月"))
                                << QStringList{"会議"};
    QTest::newRow("date filter off ignores year and month")
        << "filter" << state(kAll, kAll, kAll, false, QStringLiteral("2024"), QStringLiteral("3月")) << all;
    QTest::newRow("apostrophe in year")
        << "filter" << state(kAll, kAll, kAll, true, QStringLiteral("20'24")) << QStringList{};

    // The date filter does not look at the slot, level and alarm choices.
    QTest::newRow("date: year") << "date"
                                << state(QStringLiteral("項目3"), QStringLiteral("ﾚﾍﾞﾙ1"),
                                         QStringLiteral("True"), true, QStringLiteral("2024"))
                                << QStringList{"会議", "歯医者", "歯医者予約", "歯医者の予約"};
    QTest::newRow("date: apostrophes")
        << "date"
        << state(kAll, kAll, kAll, true, QStringLiteral("'; DROP TABLE 予定表; --"), QStringLiteral("10月"))
        << QStringList{};

    QTest::newRow("search: no filter")
        << "search" << searching(kNone, QStringLiteral("会議")) << QStringList{"会議"};
    QTest::newRow("search: empty text") << "search" << searching(kNone, QString()) << all;
    QTest::newRow("search: wildcards kept")
        << "search" << searching(kNone, QStringLiteral("a?c*%_")) << QStringList{"a?c*%_x"};
    QTest::newRow("search: slot level date")
        << "search"
        << searching(state(QStringLiteral("項目3"), QStringLiteral("ﾚﾍﾞﾙ2"), kAll, true,
                           QStringLiteral("2024"), QStringLiteral("5月")),
                     QStringLiteral("歯医者"))
        << QStringList{"歯医者の予約"};
    QTest::newRow("search: year") << "search"
                                  << searching(state(kAll, kAll, kAll, true, QStringLiteral("2024")),
                                               QStringLiteral("歯医者"))
                                  << QStringList{"歯医者", "歯医者予約", "歯医者の予約"};
    QTest::newRow("search: apostrophe")
        << "search" << searching(kNone, QStringLiteral("O'Brien")) << QStringList{"O'Brien"};
    QTest::newRow("search: injection attempt")
        << "search" << searching(kNone, QStringLiteral("' OR 1=1 OR 内容 LIKE '")) << QStringList{};

    // Ties keep table order; 年月日 sorts as a date, レベル puts the item without one first.
    QTest::newRow("年月日 asc") << "asc" << sortingBy(kNone, 0)
                                << QStringList{"a?c*%_x",    "会議",   "歯医者の予約",
                                               "歯医者予約", "歯医者", "O'Brien"};
    QTest::newRow("項目番号 desc") << "desc" << sortingBy(kNone, 1)
                                   << QStringList{"a?c*%_x", "歯医者予約", "歯医者の予約",
                                                  "歯医者",  "O'Brien",    "会議"};
    QTest::newRow("アラーム asc") << "asc" << sortingBy(kNone, 2)
                                  << QStringList{"歯医者", "a?c*%_x",    "歯医者の予約",
                                                 "会議",   "歯医者予約", "O'Brien"};
    QTest::newRow("内容 desc") << "desc" << sortingBy(kNone, 3)
                               << QStringList{"歯医者予約", "歯医者の予約", "歯医者",
                                              "会議",       "O'Brien",      "a?c*%_x"};
    QTest::newRow("レベル asc") << "asc" << sortingBy(kNone, 4)
                                << QStringList{"a?c*%_x", "歯医者予約", "歯医者の予約",
                                               "会議",    "歯医者",     "O'Brien"};
    QTest::newRow("sort filtered") << "desc" << sortingBy(state(kAll, kAll, QStringLiteral("True")), 3)
                                   << QStringList{"歯医者予約", "会議", "O'Brien"};
    QTest::newRow("sort: date filter")
        << "asc" << sortingBy(state(kAll, kAll, kAll, true, QStringLiteral("2024")), 0)
        << QStringList{"会議", "歯医者の予約", "歯医者予約", "歯医者"};
}

void TestQueryBuilder::query() {
    QFETCH(QString, kind);
    QFETCH(FilterState, input);
    QFETCH(QStringList, rows);
    if (kind == QLatin1String("filter"))
        QCOMPARE(contents(list::combinedFilterQuery(input)), rows);
    else if (kind == QLatin1String("date"))
        QCOMPARE(contents(list::dateFilterQuery(input)), rows);
    else if (kind == QLatin1String("search"))
        QCOMPARE(contents(list::searchQuery(input)), rows);
    else
        QCOMPARE(contents(list::sortQuery(input, kind == QLatin1String("asc") ? list::SortOrder::Ascending
                                                                              : list::SortOrder::Descending)),
                 rows);
    // Typed text never changes the file.
    QCOMPARE(testrows::dayRows(file_).size(), 6);
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
    QCOMPARE(contents(list::combinedFilterQuery(s)), (QStringList{"歯医者予約", "歯医者の予約"}));
}

QTEST_GUILESS_MAIN(TestQueryBuilder)
#include "test_query_builder.moc"
