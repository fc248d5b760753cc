// Text comparison and sort order through the query texts of the program: case and width of Latin
// letters, Date strings sorted by date before other texts, NULLs.

#include "store/Collation.h"
#include "store/DataControl.h"
#include "store/ScheduleFile.h"
#include "support/TestEnv.h"

#include <QtTest>

namespace {

const QString kNull = QStringLiteral("<null>");

} // namespace

class TestCollation : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void rules_data();
    void rules();
};

void TestCollation::rules_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("stored"); // in table order; kNull for a field without value
    QTest::addColumn<QString>("clause");     // after "SELECT * FROM 予定表 "
    QTest::addColumn<QStringList>("expected");
    const QString content = QStringLiteral("内容");
    const QString date = QStringLiteral("年月日");
    const QString alarm = QStringLiteral("アラーム");
    auto row = [](const char* name, const QString& field, const QStringList& stored, const char* clause,
                  const QStringList& expected) {
        QTest::newRow(name) << field << stored << QString::fromUtf8(clause) << expected;
    };
    row("case, ties in table order", content, {"b", "A", "a", "B"}, "ORDER BY 内容 ASC;",
        {"A", "a", "b", "B"});
    row("full width", content, {"ｂ", "Ａ", "c", "a"}, "ORDER BY 内容 ASC;", {"Ａ", "a", "ｂ", "c"});
    row("descending", content, {"a", "B", "A"}, "ORDER BY 内容 DESC;", {"B", "a", "A"});
    row("nulls first", content, {"b", kNull, "a"}, "ORDER BY 内容 ASC;", {kNull, "a", "b"});
    row("other characters by code point", content, {"い", "あ", "Z", "1"}, "ORDER BY 内容;",
        {"1", "Z", "あ", "い"});
    row("dates", date, {"2024/10/1", "2024/2/1", "2026/12/10", "2026/12/7", "999/1/1"},
        "ORDER BY 年月日 ASC;", {"999/1/1", "2024/2/1", "2024/10/1", "2026/12/7", "2026/12/10"});
    row("dates descending", date, {"2024/10/1", "2024/2/1", "x"}, "ORDER BY 年月日 DESC;",
        {"x", "2024/10/1", "2024/2/1"});
    row("non-dates after dates, by text", date,
        {"x", "2024/02/01", "2024/2/30", "2024/2/1", "Memo", "2024/13/1", kNull}, "ORDER BY 年月日;",
        {kNull, "2024/2/1", "2024/02/01", "2024/13/1", "2024/2/30", "Memo", "x"});
    row("= folds case and width", alarm, {"True", "true", "ＴＲＵＥ", "False", kNull},
        "WHERE アラーム = 'True';", {"True", "true", "ＴＲＵＥ"});
    row("<> folds case", alarm, {"True", "False", "true"}, "WHERE アラーム <> 'TRUE' ;", {"False"});
    row("literal first", alarm, {"true", "False"}, "WHERE 'TRUE'=アラーム;", {"true"});
    row("< and >", content, {"apple", "Banana", "cherry"}, "WHERE 内容 > 'b' AND 内容 < 'C';", {"Banana"});
    row("< on dates", date, {"2024/10/1", "2024/9/30"}, "WHERE 年月日 < '2024/10/1';", {"2024/9/30"});
    row("= without letters", date, {"2024/1/5", "2024/1/50"}, "WHERE 年月日='2024/1/5' ;", {"2024/1/5"});
}

void TestCollation::rules() {
    QFETCH(QString, field);
    QFETCH(QStringList, stored);
    QFETCH(QString, clause);
    QFETCH(QStringList, expected);
    testsupport::TestEnv env;
    const QString file = env.makeScheduleFile();
    store::DataControl data;
    data.setDatabaseName(file);
    data.setRecordSource(store::kDayTable);
    QVERIFY(data.refresh().ok());
    for (const QString& value : stored) {
        const QVariant written = value == kNull ? QVariant(QMetaType::fromType<QString>()) : QVariant(value);
        QVERIFY(data.appendRow({{field, written}}).ok());
    }
    data.setRecordSource(QStringLiteral("SELECT * FROM 予定表 ") + clause);
    const store::Error error = data.refresh();
    QVERIFY2(error.ok(), qPrintable(error.message));
    QStringList shown;
    const int column = static_cast<int>(data.fieldNames().indexOf(field));
    for (int row = 0; row < data.recordCount(); ++row) {
        const QVariant value = data.value(row, column).value();
        shown << (value.isNull() ? kNull : value.toString());
    }
    QCOMPARE(shown, expected);
    // The plain comparison agrees with the order the query gave.
    for (qsizetype i = 1; i < shown.size() && clause.contains(QLatin1String("ASC")); ++i) {
        if (shown[i - 1] != kNull)
            QVERIFY(store::compareTexts(shown[i - 1], shown[i], store::orderOfField(field)) <= 0);
    }
}

QTEST_GUILESS_MAIN(TestCollation)
#include "test_collation.moc"
