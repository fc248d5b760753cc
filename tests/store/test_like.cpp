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
    void longPatterns_data();
    void longPatterns();
    void sqlOperator_data();
    void sqlOperator();
};

void TestLike::matches_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    // * any run, ? exactly one character
    QTest::newRow("star prefix") << "2024/*"
                                 << "2024/1/5" << true;
    QTest::newRow("star other year") << "2024/*"
                                     << "2025/1/5" << false;
    QTest::newRow("month 1 in 2024/1/5") << "*/1/*"
                                         << "2024/1/5" << true;
    QTest::newRow("month 1 not in 2024/11/1") << "*/1/*"
                                              << "2024/11/1" << false;
    QTest::newRow("month 1 not in 2024/3/1") << "*/1/*"
                                             << "2024/3/1" << false;
    QTest::newRow("star alone, empty text") << "*"
                                            << "" << true;
    QTest::newRow("stars collapse") << "a***b"
                                    << "ab" << true;
    QTest::newRow("star needs backtracking") << "*ab*ab"
                                             << "xabyabzab" << true;
    QTest::newRow("star does not reach end") << "*ab"
                                             << "abx" << false;
    QTest::newRow("empty pattern, empty text") << ""
                                               << "" << true;
    QTest::newRow("empty pattern, text") << ""
                                         << "a" << false;
    QTest::newRow("question one") << "a?c"
                                  << "abc" << true;
    QTest::newRow("question needs one") << "a?c"
                                        << "ac" << false;
    QTest::newRow("question not two") << "a?c"
                                      << "abbc" << false;
    QTest::newRow("question takes a kanji") << "?定"
                                            << "予定" << true;
    QTest::newRow("question takes a surrogate pair") << "a?b"
                                                     << QString::fromUtf8("a\xF0\x9F\x98\x80"
                                                                          "b")
                                                     << true;
    QTest::newRow("two questions not one pair") << "a??b"
                                                << QString::fromUtf8("a\xF0\x9F\x98\x80"
                                                                     "b")
                                                << false;
    QTest::newRow("search text in content") << "*会議*"
                                            << "午後 会議 A室" << true;

    // # one digit
    QTest::newRow("hash digit") << "##:##"
                                << "09:30" << true;
    QTest::newRow("hash not a letter") << "#"
                                       << "a" << false;
    QTest::newRow("hash not two digits") << "#"
                                         << "12" << false;
    QTest::newRow("hash not full-width digit") << "#"
                                               << "１" << false;

    // classes
    QTest::newRow("class member") << "[abc]x"
                                  << "bx" << true;
    QTest::newRow("class non-member") << "[abc]x"
                                      << "dx" << false;
    QTest::newRow("range") << "[a-z]1"
                           << "q1" << true;
    QTest::newRow("range misses digit") << "[a-z]"
                                        << "5" << false;
    QTest::newRow("negated range") << "[!a-z]"
                                   << "5" << true;
    QTest::newRow("negated range misses") << "[!a-z]"
                                          << "q" << false;
    QTest::newRow("digit range") << "2024/1[0-2]/*"
                                 << "2024/11/3" << true;
    QTest::newRow("class of wildcards is literal") << "[*?#]"
                                                   << "?" << true;
    QTest::newRow("class star is not a run") << "a[*]"
                                             << "abc" << false;
    QTest::newRow("range of kana") << "[ぁ-ん]"
                                   << "め" << true;
    QTest::newRow("unclosed bracket is literal") << "a[b"
                                                 << "a[b" << true;
    QTest::newRow("unclosed bracket not a class") << "a[b"
                                                  << "ab" << false;
    QTest::newRow("empty class takes nothing") << "a[]b"
                                               << "ab" << true;
    QTest::newRow("lone exclamation is literal") << "[!]"
                                                 << "!" << true;

    // % and _ are ordinary characters
    QTest::newRow("percent literal") << "100%"
                                     << "100%" << true;
    QTest::newRow("percent not a run") << "a%"
                                       << "abc" << false;
    QTest::newRow("underscore literal") << "a_c"
                                        << "a_c" << true;
    QTest::newRow("underscore not one character") << "a_c"
                                                  << "abc" << false;

    // Latin letters without case, half- and full-width alike; nothing else folds
    QTest::newRow("case") << "ABC"
                          << "abc" << true;
    QTest::newRow("case in class") << "[a-c]"
                                   << "B" << true;
    QTest::newRow("upper range takes lower") << "[A-C]"
                                             << "b" << true;
    QTest::newRow("full-width upper = half lower") << "ａｂｃ"
                                                   << "ABC" << true;
    QTest::newRow("full-width lower = full upper") << "ＡＢＣ"
                                                   << "ａｂｃ" << true;
    QTest::newRow("full-width in half range") << "[a-z]"
                                              << "Ｑ" << true;
    QTest::newRow("half in full-width range") << "[Ａ-Ｚ]"
                                              << "q" << true;
    QTest::newRow("accented letters without case") << "É*"
                                                   << "école" << true;
    QTest::newRow("full-width digit is not a half digit") << "１"
                                                          << "1" << false;
    QTest::newRow("half-width kana is not full-width") << "ﾚﾍﾞﾙ"
                                                       << "レベル" << false;
}

void TestLike::matches() {
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(jetLike(pattern, text), expected);
}

void TestLike::longPatterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    const QString text = QString(9999, QLatin1Char('a')) + QLatin1Char('b');
    QTest::newRow("1000 stars") << QString(1000, QLatin1Char('*')) << text << true;
    QTest::newRow("1000 stars then b") << QString(1000, QLatin1Char('*')) + QLatin1Char('b') << text << true;
    QTest::newRow("1000 stars then c") << QString(1000, QLatin1Char('*')) + QLatin1Char('c') << text << false;
    QString alternating;
    for (int i = 0; i < 500; ++i)
        alternating += QStringLiteral("*a");
    QTest::newRow("500 star-a pairs") << alternating + QStringLiteral("*b") << text << true;
    QTest::newRow("500 star-a pairs, no b") << alternating + QStringLiteral("*c") << text << false;
}

void TestLike::longPatterns() {
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
    QTest::newRow("underscore is literal") << "'abc' LIKE 'a_c'" << QVariant(0);
    QTest::newRow("question") << "'会議室' LIKE '会?室'" << QVariant(1);
    QTest::newRow("full-width case") << "'ＡＢＣ' LIKE 'abc'" << QVariant(1);
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
