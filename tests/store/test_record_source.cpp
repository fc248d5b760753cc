// A data control's record source: the rows it gives from a small file, and the literals of its
// conditions taken out as parameters, so that sources differing only in values share a statement.

#include "store/RecordSourceTranslator.h"
#include "support/ScheduleRows.h"
#include "support/TestEnv.h"

#include <QtTest>

using namespace store;

class TestRecordSource : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase();
    void translated_data();
    void translated();

  private:
    std::unique_ptr<testsupport::TestEnv> env_;
    QString file_;
};

void TestRecordSource::initTestCase() {
    env_ = std::make_unique<testsupport::TestEnv>();
    file_ = env_->makeScheduleFile();
    testrows::addDays(file_, {{"2026/1/5", 1, {}, "it's"},
                              {"2026/1/10", 2, {}, "IT'S"},
                              {"2025/12/31", 2, {}, "other"},
                              {"2026/1/5", 3, {}, "x"}});
}

// Each row: a record source, the parameters its rowid query takes, and the 内容 of the rows the
// data control gives for it, in order.
void TestRecordSource::translated_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("table name") << "[予定表]" << QVariantList{} << QStringList{"it's", "IT'S", "other", "x"};
    QTest::newRow("literals become parameters")
        << "SELECT * FROM 予定表 WHERE 年月日='2026/1/5' AND 項目番号=1 ;"
        << QVariantList{QStringLiteral("2026/1/5"), qint64(1)} << QStringList{"it's"};
    // Text compares in the file's order (Latin letters without case); a decimal stays in the text.
    QTest::newRow("text compared in the file's order, decimals kept")
        << "SELECT 内容 FROM 予定表 AS t WHERE 内容 = 'it''s' OR 項目番号 = 2.5"
        << QVariantList{QStringLiteral("it's")} << QStringList{"it's", "IT'S"};
    // 年月日 sorts as a date; ties keep table order; the limit is kept.
    QTest::newRow("order by a field, limit kept") << "SELECT * FROM 予定表 ORDER BY 年月日 DESC, 1 LIMIT 3"
                                                  << QVariantList{} << QStringList{"IT'S", "it's", "x"};
}

void TestRecordSource::translated() {
    QFETCH(QString, source);
    QFETCH(QVariantList, args);
    QFETCH(QStringList, rows);
    RecordSource out;
    QString askedFor;
    const Error error = translateRecordSource(
        source,
        [&](const QString& table, QString* name) {
            askedFor = table;
            *name = QStringLiteral("rowid");
            return Error{};
        },
        &out);
    QVERIFY2(error.ok(), qPrintable(error.message));
    QCOMPARE(askedFor, QStringLiteral("予定表"));
    QCOMPARE(out.table, QStringLiteral("予定表"));
    QCOMPARE(QVariantList(out.args.begin(), out.args.end()), args);

    DataControl data;
    data.setDatabaseName(file_);
    data.setRecordSource(source);
    QVERIFY(data.refresh().ok());
    const int content = static_cast<int>(data.fieldNames().indexOf(QStringLiteral("内容")));
    QStringList contents;
    for (int row = 0; row < data.recordCount(); ++row)
        contents << data.value(row, content).value().toString();
    QCOMPARE(contents, rows);
}

QTEST_GUILESS_MAIN(TestRecordSource)
#include "test_record_source.moc"
