// The translation of a data control's record source into the statements that address its rows.

#include "store/RecordSourceTranslator.h"

#include <sqlite3.h>

#include <QtTest>

using namespace store;

class TestRecordSource : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void translated_data();
    void translated();
};

void TestRecordSource::translated_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("rowAddress");
    QTest::addColumn<QString>("rowidQuery");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("valueQuery");
    QTest::newRow("table name") << "[予定表]"
                                << "rowid"
                                << R"(SELECT rowid FROM "予定表" ORDER BY rowid)" << QVariantList{}
                                << R"(SELECT * FROM "予定表" WHERE rowid=?)";
    QTest::newRow("literals become parameters")
        << "SELECT * FROM 予定表 WHERE 年月日='2026/1/5' AND 項目番号=1 ;"
        << "rowid"
        << "SELECT rowid FROM 予定表 WHERE 年月日=? AND 項目番号=? ORDER BY rowid"
        << QVariantList{QStringLiteral("2026/1/5"), qint64(1)} << "SELECT * FROM 予定表 WHERE rowid=?";
    QTest::newRow("text compared in the file's order, decimals kept")
        << "SELECT 内容 FROM 予定表 AS t WHERE 内容 = 'it''s' OR 項目番号 = 2.5"
        << "_rowid_"
        << "SELECT _rowid_ FROM 予定表 AS t WHERE 内容 = ? COLLATE jet_text OR 項目番号 = 2.5 ORDER BY "
           "_rowid_"
        << QVariantList{QStringLiteral("it's")} << "SELECT 内容 FROM 予定表 AS t WHERE _rowid_=?";
    QTest::newRow("order by a field, limit kept")
        << "SELECT * FROM 予定表 ORDER BY 年月日 DESC, 1 LIMIT 5"
        << "rowid"
        << "SELECT rowid FROM 予定表 ORDER BY jet_date_key(年月日) DESC, 1, rowid LIMIT 5" << QVariantList{}
        << "SELECT * FROM 予定表 WHERE rowid=?";
}

void TestRecordSource::translated() {
    QFETCH(QString, source);
    QFETCH(QString, rowAddress);
    QFETCH(QString, rowidQuery);
    QFETCH(QVariantList, args);
    QFETCH(QString, valueQuery);
    RecordSource out;
    QString askedFor;
    const Error error = translateRecordSource(
        source,
        [&](const QString& table, QString* name) {
            askedFor = table;
            *name = rowAddress;
            return Error{};
        },
        &out);
    QVERIFY2(error.ok(), qPrintable(error.message));
    QCOMPARE(askedFor, QStringLiteral("予定表"));
    QCOMPARE(out.table, QStringLiteral("予定表"));
    QCOMPARE(out.rowidQuery, rowidQuery);
    QCOMPARE(QVariantList(out.args.begin(), out.args.end()), args);
    QCOMPARE(out.valueQuery, valueQuery);
}

QTEST_GUILESS_MAIN(TestRecordSource)
#include "test_record_source.moc"
