// LIKE with the old dialect's wildcards, both as a C++ function and as the SQL operator.

#include "store/Connection.h"
#include "store/Like.h"

#include <sqlite3.h>

#include <QtTest>

using store::jetLike;

class TestLike : public QObject {
    Q_OBJECT

  private slots:
    void matches_data();
    void matches();
    void sqlOperator_data();
    void sqlOperator();
};

void TestLike::matches_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    const auto row = [](const char* name, const QString& pattern, const QString& text, bool expected) {
        QTest::newRow(name) << pattern << text << expected;
    };

    // * any run, ? exactly one character
    row("star prefix", "2024/*", "2024/1/5", true);
    row("star other year", "2024/*", "2025/1/5", false);
    row("month 1 in 2024/1/5", "*/1/*", "2024/1/5", true);
    row("month 1 not in 2024/11/1", "*/1/*", "2024/11/1", false);
    row("month 1 not in 2024/3/1", "*/1/*", "2024/3/1", false);
    row("star alone, empty text", "*", "", true);
    row("stars collapse", "a***b", "ab", true);
    row("star needs backtracking", "*ab*ab", "xabyabzab", true);
    row("star does not reach end", "*ab", "abx", false);
    row("empty pattern, empty text", "", "", true);
    row("empty pattern, text", "", "a", false);
    row("question one", "a?c", "abc", true);
    row("question needs one", "a?c", "ac", false);
    row("question not two", "a?c", "abbc", false);
    row("question takes a kanji", "?定", "予定", true);
    row("question takes a surrogate pair", "a?b", QStringLiteral("a\U0001F600b"), true);
    row("two questions not one pair", "a??b", QStringLiteral("a\U0001F600b"), false);
    row("search text in content", "*会議*", "午後 会議 A室", true);

    // # one digit
    row("hash digit", "##:##", "09:30", true);
    row("hash not a letter", "#", "a", false);
    row("hash not two digits", "#", "12", false);
    row("hash not full-width digit", "#", "１", false);

    // classes
    row("class member", "[abc]x", "bx", true);
    row("class non-member", "[abc]x", "dx", false);
    row("range", "[a-z]1", "q1", true);
    row("range misses digit", "[a-z]", "5", false);
    row("negated range", "[!a-z]", "5", true);
    row("negated range misses", "[!a-z]", "q", false);
    row("digit range", "2024/1[0-2]/*", "2024/11/3", true);
    row("class of wildcards is literal", "[*?#]", "?", true);
    row("class star is not a run", "a[*]", "abc", false);
    row("range of kana", "[ぁ-ん]", "め", true);
    row("unclosed bracket is literal", "a[b", "a[b", true);
    row("unclosed bracket not a class", "a[b", "ab", false);
    row("empty class takes nothing", "a[]b", "ab", true);
    row("lone exclamation is literal", "[!]", "!", true);

    // % and _ are ordinary characters
    row("percent literal", "100%", "100%", true);
    row("percent not a run", "a%", "abc", false);
    row("underscore literal", "a_c", "a_c", true);
    row("underscore not one character", "a_c", "abc", false);

    // Latin letters without case, half- and full-width alike; nothing else folds
    row("case", "ABC", "abc", true);
    row("case in class", "[a-c]", "B", true);
    row("upper range takes lower", "[A-C]", "b", true);
    row("full-width upper = half lower", "ａｂｃ", "ABC", true);
    row("full-width lower = full upper", "ＡＢＣ", "ａｂｃ", true);
    row("full-width in half range", "[a-z]", "Ｑ", true);
    row("half in full-width range", "[Ａ-Ｚ]", "q", true);
    row("accented letters without case", "É*", "école", true);
    row("full-width digit is not a half digit", "１", "1", false);
    row("half-width kana is not full-width", "ﾚﾍﾞﾙ", "レベル", false);

    // Patterns that would take exponential time with naive backtracking.
    const QString text = QString(9999, QLatin1Char('a')) + QLatin1Char('b');
    row("1000 stars", QString(1000, QLatin1Char('*')), text, true);
    row("1000 stars then b", QString(1000, QLatin1Char('*')) + QLatin1Char('b'), text, true);
    row("1000 stars then c", QString(1000, QLatin1Char('*')) + QLatin1Char('c'), text, false);
    QString alternating;
    for (int i = 0; i < 500; ++i)
        alternating += QStringLiteral("*a");
    row("500 star-a pairs", alternating + QStringLiteral("*b"), text, true);
    row("500 star-a pairs, no b", alternating + QStringLiteral("*c"), text, false);
}

void TestLike::matches() {
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(jetLike(pattern, text), expected);
}

// The same operator through SQL: text LIKE pattern [ESCAPE e], with NULL for NULL arguments.
void TestLike::sqlOperator_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("star") << "'2024/1/5' LIKE '2024/*'" << QVariant(1);
    QTest::newRow("percent is literal") << "'abc' LIKE 'a%'" << QVariant(0);
    QTest::newRow("question") << "'会議室' LIKE '会?室'" << QVariant(1);
    QTest::newRow("kana and class") << "'ToDoリスト' LIKE '[st]odo*'" << QVariant(1);
    QTest::newRow("null text") << "NULL LIKE '*'" << QVariant();
    QTest::newRow("null pattern") << "'a' LIKE NULL" << QVariant();
    QTest::newRow("not like") << "'a' NOT LIKE 'b'" << QVariant(1);
    QTest::newRow("escape makes star literal") << "'a*' LIKE 'a!*' ESCAPE '!'" << QVariant(1);
    QTest::newRow("escaped star is no run") << "'ab' LIKE 'a!*' ESCAPE '!'" << QVariant(0);
    QTest::newRow("invalid UTF-8 does not match a letter") << "CAST(x'ff' AS TEXT) LIKE 'a'" << QVariant(0);
}

void TestLike::sqlOperator() {
    QFETCH(QString, expression);
    QFETCH(QVariant, expected);

    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    QCOMPARE(store::registerJetLike(db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = "SELECT " + expression.toUtf8();
    QCOMPARE(sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_step(stmt), SQLITE_ROW);
    const QVariant actual =
        sqlite3_column_type(stmt, 0) == SQLITE_NULL ? QVariant() : QVariant(sqlite3_column_int(stmt, 0));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TestLike)
#include "test_like.moc"
