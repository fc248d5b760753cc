// The Schedule file: creation, the data control over SQLite, the Day record rules, and how the
// engine's failures come back.

#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DayStore.h"
#include "store/Error.h"
#include "store/ScheduleFile.h"
#include "support/FilePermissions.h"
#include "support/TestEnv.h"

#include <sqlite3.h>

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>
#include <memory>

using namespace store;

namespace {

const QString kContent = QStringLiteral("内容");

// Every row of the recordset as "field=value" texts of the given fields, in recordset order.
QStringList rows(const DataControl& data, const QStringList& fields) {
    QStringList result;
    for (int row = 0; row < data.recordCount(); ++row) {
        QStringList parts;
        for (const QString& field : fields) {
            const QVariant value = data.value(row, static_cast<int>(data.fieldNames().indexOf(field)));
            parts << (value.isNull() ? QStringLiteral("null") : value.toString());
        }
        result << parts.join(QLatin1Char('|'));
    }
    return result;
}

// Appends Day records in the given order, bypassing the save rule (so that duplicates and odd
// values can be made). Each entry: date, slot, content.
void appendDays(const QString& path, const QList<std::tuple<QString, int, QString>>& days) {
    DataControl data;
    data.setDatabaseName(path);
    data.setRecordSource(kDayTable);
    QVERIFY(!data.refresh());
    for (const auto& [date, slot, content] : days) {
        const Error error = data.appendRow({{QStringLiteral("年月日"), date},
                                            {QStringLiteral("項目番号"), double(slot)},
                                            {kContent, content},
                                            {QStringLiteral("アラーム"), QStringLiteral("False")},
                                            {QStringLiteral("時刻"), kEmptyTime}});
        QVERIFY2(!error, qPrintable(error.message));
    }
}

QStringList everyDay(const QString& path) {
    DataControl data;
    data.setDatabaseName(path);
    data.setRecordSource(kDayTable);
    if (data.refresh())
        return {QStringLiteral("refresh failed")};
    return rows(data, dayFields());
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

  private slots:
    void newFileColumns_data();
    void newFileColumns();
    void createRefusesExistingOrMissingFolder();
    void pathsNeedingEncoding_data();
    void pathsNeedingEncoding();
    void openMissingCreatesNothing();
    void notADatabase();
    void missingTable();
    void lockedFile();
    void heldStatementOutlivesCache();

    void numericConditions_data();
    void numericConditions();
    void tableOrder_data();
    void tableOrder();
    void conditionLiterals_data();
    void conditionLiterals();
    void unsupportedSources_data();
    void unsupportedSources();
    void fieldValues();
    void engineRefuses_data();
    void engineRefuses();
    void deleteAndMoveNext();
    void addNewAppends();

    void dateString_data();
    void dateString();
    void queryTexts();
    void saveNewSlot();
    void levelKeptWhenTextNotALevel();
    void singleBlankIsContent();
    void clearingContentDeletesOnlyThatSlot();
    void saveEmptySlotWithoutRow();
    void duplicateRowsUseTheFirst();
    void saveRefusedContent();
    void alarmReading_data();
    void alarmReading();
    void levelReading_data();
    void levelReading();
    void quoteInDateStringMatchesNothing();
    void datesWithItems();
    void armedItemsAndDisarm();
    void deletedOrReplacedFile();
    void dateIndexOnOpen_data();
    void dateIndexOnOpen();
};

// --- the file ------------------------------------------------------------------------------------

void TestStore::newFileColumns_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("columns");
    QTest::newRow("day query") << "SELECT * FROM 予定表 ;" << dayFields();
    QTest::newRow("day table") << "予定表" << dayFields();
    QTest::newRow("todo table") << "ToDoリスト" << todoFields();
    QTest::newRow("todo projection") << "SELECT やるべき事 FROM ToDoリスト;" << QStringList{"やるべき事"};
}

void TestStore::newFileColumns() {
    QFETCH(QString, source);
    QFETCH(QStringList, columns);
    QCOMPARE(dayFields(), (QStringList{"年月日", "項目番号", "レベル", "内容", "アラーム", "時刻"}));
    QCOMPARE(todoFields(),
             (QStringList{"年月日", "項目番号", "キーワード", "やるべき事", "チェック", "時刻"}));

    testsupport::TestEnv env;
    DataControl data;
    data.setDatabaseName(env.makeScheduleFile());
    data.setRecordSource(source);
    const Error error = data.refresh();
    QVERIFY2(!error, qPrintable(error.message));
    QCOMPARE(data.recordSource(), source);
    QCOMPARE(data.fieldNames(), columns);
    QCOMPARE(data.recordCount(), 0);
    QCOMPARE(data.absolutePosition(), -1);
    QVERIFY(!data.hasCurrentRow());
    Error fieldError;
    QVERIFY(!data.field(columns.first(), &fieldError).isValid());
    QVERIFY(fieldError);
}

void TestStore::createRefusesExistingOrMissingFolder() {
    testsupport::TestEnv env;
    const QString existing = env.path(QStringLiteral("keep.sdb"));
    {
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not mine to overwrite");
    }
    QVERIFY(createScheduleFile(existing));
    QFile file(existing);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("not mine to overwrite"));

    const QString inMissingFolder = env.path(QStringLiteral("no such folder/new.sdb"));
    QVERIFY(createScheduleFile(inMissingFolder));
    QVERIFY(!QFile::exists(inMissingFolder));

    // A second creation at the same path fails; the first file keeps its tables.
    const QString made = env.makeScheduleFile(QStringLiteral("made.sdb"));
    QVERIFY(createScheduleFile(made));
    appendDays(made, {{"2026/1/5", 1, "残る"}});
    QCOMPARE(everyDay(made).size(), 1);
}

void TestStore::pathsNeedingEncoding_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("japanese") << "予定表ファイル.SDB";
    QTest::newRow("blank") << "my schedule.sdb";
    QTest::newRow("hash and question") << "a#b?c.sdb";
    QTest::newRow("percent") << "100%25.sdb";
    QTest::newRow("ampersand and equals") << "x&mode=ro.sdb";
}

void TestStore::pathsNeedingEncoding() {
    QFETCH(QString, name);
    testsupport::TestEnv env;
    QVERIFY(QDir().mkpath(env.path(QStringLiteral("フォルダ #1"))));
    const QString path = env.path(QStringLiteral("フォルダ #1/") + name);
    const Error created = createScheduleFile(path);
    QVERIFY2(!created, qPrintable(created.message));
    QVERIFY(QFile::exists(path));
    QCOMPARE(QDir(env.path(QStringLiteral("フォルダ #1"))).entryList(QDir::Files), QStringList{name});

    appendDays(path, {{"2026/1/5", 1, "書ける"}});
    QCOMPARE(everyDay(path), QStringList{"2026/1/5|1|null|書ける|False|####"});
}

void TestStore::openMissingCreatesNothing() {
    testsupport::TestEnv env;
    const QString missing = env.path(QStringLiteral("missing.sdb"));
    Error error;
    QVERIFY(!Connection::open(missing, &error));
    QCOMPARE(error.code, SQLITE_CANTOPEN);

    DataControl data;
    data.setDatabaseName(missing);
    data.setRecordSource(QString());
    QCOMPARE(data.refresh().code, SQLITE_CANTOPEN);
    QVERIFY(!data.isOpen());
    QVERIFY(openDayTable(data, missing));
    QVERIFY(!QFile::exists(missing));
    QVERIFY(QDir(env.path(QString())).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TestStore::notADatabase() {
    testsupport::TestEnv env;
    const QString path = env.path(QStringLiteral("random.sdb"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QRandomGenerator random(20260105);
        QByteArray bytes(8192, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random.bounded(256));
        file.write(bytes);
    }
    const QByteArray before = [&] {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();

    DataControl data;
    const Error opened = openDayTable(data, path);
    QCOMPARE(opened.code, SQLITE_NOTADB);
    QVERIFY(store::describe(opened).startsWith(
        QStringLiteral("スケジュールファイルがデータベースではありません\n")));
    QCOMPARE(readSlot(data, QStringLiteral("2026/1/5"), 1), SlotItem());
    QCOMPARE(saveSlot(data, QStringLiteral("2026/1/5"), 1, {QStringLiteral("x"), {}, false, {}}).code,
             SQLITE_NOTADB);
    DayStore days(path);
    Error datesError;
    QVERIFY(days.datesWithItems({QStringLiteral("2026/1/5")}, &datesError).isEmpty());
    QCOMPARE(datesError.code, SQLITE_NOTADB);
    DayRecords records;
    QCOMPARE(days.readDay(QDate(2026, 1, 5), records).code, SQLITE_NOTADB);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestStore::missingTable() {
    testsupport::TestEnv env;
    const QString path = env.path(QStringLiteral("old.sdb"));
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "CREATE TABLE 予定表 (年月日 TEXT, 項目番号 REAL)", nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(db);

    DataControl data;
    QVERIFY(!openDayTable(data, path)); // the file is a database; its tables are not checked here
    data.setRecordSource(QStringLiteral("SELECT やるべき事 FROM ToDoリスト;"));
    Error error = data.refresh();
    QCOMPARE(error.code, SQLITE_ERROR);
    QVERIFY(
        store::describe(error).startsWith(QStringLiteral("スケジュールファイルの形式が正しくありません\n")));
    QVERIFY(store::describe(error).contains(QStringLiteral("no such table")));

    // The table is there but lacks a field.
    error = saveSlot(data, QStringLiteral("2026/1/5"), 1, {QStringLiteral("x"), {}, false, {}});
    QCOMPARE(error.code, SQLITE_ERROR);
    QCOMPARE(readSlot(data, QStringLiteral("2026/1/5"), 1), SlotItem());
}

void TestStore::lockedFile() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    Error error;
    auto other = Connection::open(path, &error);
    QVERIFY(other);
    QVERIFY(!other->exec(QStringLiteral("BEGIN EXCLUSIVE")));

    DataControl data; // waits for the busy timeout, then gives up
    error = openDayTable(data, path);
    QCOMPARE(error.code, SQLITE_BUSY);
    QVERIFY(store::describe(error).startsWith(
        QStringLiteral("スケジュールファイルは他のプログラムが使用中です\n")));

    QVERIFY(!other->exec(QStringLiteral("COMMIT")));
    QVERIFY(!openDayTable(data, path));
}

void TestStore::heldStatementOutlivesCache() {
    testsupport::TestEnv env;
    Error error;
    auto connection = Connection::open(env.makeScheduleFile(), &error);
    QVERIFY(connection);
    Statement* held = connection->prepare(QStringLiteral("SELECT ? || 'x'"), &error);
    QVERIFY(held);
    for (int i = 0; i < 100; ++i)
        QVERIFY(connection->prepare(QStringLiteral("SELECT %1").arg(i), &error));
    held->bind(1, QStringLiteral("still "));
    QCOMPARE(sqlite3_step(held->get()), SQLITE_ROW);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(held->get(), 0))),
             QByteArray("still x"));
    held->reset();
    QVERIFY(!connection->prepare(QStringLiteral("SELECT FROM"), &error));
    QCOMPARE(error.code, SQLITE_ERROR);
}

// --- the data control ----------------------------------------------------------------------------

void TestStore::numericConditions_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("contents");
    QTest::newRow("slot 1") << "SELECT * FROM 予定表 WHERE 項目番号=1 ;" << QStringList{"a"};
    QTest::newRow("slot = 2") << "SELECT * FROM 予定表 WHERE 項目番号 = 2;" << QStringList{"b"};
    QTest::newRow("level 3") << "SELECT * FROM 予定表 WHERE レベル = 3;" << QStringList{"b"};
    QTest::newRow("level and alarm")
        << "SELECT * FROM 予定表 WHERE 項目番号 = 2 And レベル = 3 And アラーム = 'True';"
        << QStringList{"b"};
    QTest::newRow("no level") << "SELECT * FROM 予定表 WHERE レベル = 1;" << QStringList{};
}

void TestStore::numericConditions() {
    QFETCH(QString, query);
    QFETCH(QStringList, contents);
    testsupport::TestEnv env;
    DataControl data;
    QVERIFY(!openDayTable(data, env.makeScheduleFile()));
    QVERIFY(!saveSlot(data, QStringLiteral("2026/1/5"), 1, {QStringLiteral("a"), {}, false, {}}));
    QVERIFY(!saveSlot(data, QStringLiteral("2026/1/5"), 2,
                      {QStringLiteral("b"), QStringLiteral("ﾚﾍﾞﾙ3"), true, {}}));
    data.setRecordSource(query);
    QVERIFY(!data.refresh());
    QCOMPARE(rows(data, {kContent}), contents);
}

// Rows come back in the table's own order (the order they were added), also where the index on
// (年月日, 項目番号) would give another, and ORDER BY keeps that order among equal keys.
void TestStore::tableOrder_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("contents");
    QTest::newRow("table") << "予定表" << QStringList{"c", "a", "b", "d", "e", "f"};
    QTest::newRow("whole table") << "SELECT * FROM 予定表 ;" << QStringList{"c", "a", "b", "d", "e", "f"};
    QTest::newRow("date query uses the index")
        << "SELECT * FROM 予定表 WHERE 年月日='2024/3/5' ;" << QStringList{"c", "a", "b"};
    QTest::newRow("slot query") << "SELECT * FROM 予定表 WHERE 年月日='2024/3/5' AND 項目番号=2 ;"
                                << QStringList{"c", "b"};
    QTest::newRow("year like") << "SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' ;"
                               << QStringList{"c", "a", "b", "d", "e"};
    QTest::newRow("year and month like")
        << "SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' AND 年月日 LIKE '*/3/*' ;"
        << QStringList{"c", "a", "b", "e"};
    QTest::newRow("content search") << "SELECT * FROM 予定表 WHERE 内容 LIKE '*[ab]*' ;"
                                    << QStringList{"a", "b"};
    QTest::newRow("order by date, ties in table order")
        << "SELECT * FROM 予定表 ORDER BY 年月日 ASC;" << QStringList{"c", "a", "b", "e", "d", "f"};
    QTest::newRow("order by date descending")
        << "SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' ORDER BY 年月日 DESC;"
        << QStringList{"d", "e", "c", "a", "b"};
    QTest::newRow("order by content desc")
        << "SELECT * FROM 予定表 ORDER BY 内容 DESC;" << QStringList{"f", "e", "d", "c", "b", "a"};
    QTest::newRow("comment and limit")
        << "SELECT * FROM 予定表 /* first two */ WHERE 項目番号=2 ORDER BY 年月日 LIMIT 2"
        << QStringList{"c", "b"};
    QTest::newRow("lower-case keywords, alias")
        << "select * from 予定表 t where t.項目番号 = 1 ;" << QStringList{"a", "e"};
}

void TestStore::tableOrder() {
    QFETCH(QString, source);
    QFETCH(QStringList, contents);
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    appendDays(path, {{"2024/3/5", 2, "c"},
                      {"2024/3/5", 1, "a"},
                      {"2024/3/5", 2, "b"},
                      {"2024/10/1", 2, "d"},
                      {"2024/3/9", 1, "e"},
                      {"2025/1/1", 3, "f"}});
    DataControl data;
    data.setDatabaseName(path);
    data.setRecordSource(source);
    const Error error = data.refresh();
    QVERIFY2(!error, qPrintable(error.message));
    QCOMPARE(rows(data, {kContent}), contents);
    QCOMPARE(data.recordSource(), source);
}

// Literals in the conditions of any shape give the rows the query text says.
void TestStore::conditionLiterals_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("contents");
    QTest::newRow("doubled quote") << "SELECT * FROM 予定表 WHERE 内容 = 'it''s' ;" << QStringList{"it's"};
    QTest::newRow("quote in pattern")
        << "SELECT * FROM 予定表 WHERE 内容 LIKE '*''*' ;" << QStringList{"it's", "x'41'"};
    QTest::newRow("decimal") << "SELECT * FROM 予定表 WHERE 項目番号 = 2.5 ;" << QStringList{"half"};
    QTest::newRow("in list") << "SELECT * FROM 予定表 WHERE 項目番号 IN (1, 3) ;"
                             << QStringList{"it's", "x'41'"};
    QTest::newRow("blob literal") << "SELECT * FROM 予定表 WHERE CAST(内容 AS BLOB) = x'41' ;"
                                  << QStringList{"A"};
    QTest::newRow("text literal that looks like blob")
        << "SELECT * FROM 予定表 WHERE 内容 = 'x''41''' ;" << QStringList{"x'41'"};
    QTest::newRow("function arguments")
        << "SELECT * FROM 予定表 WHERE substr(年月日, 1, 4) = '2025' AND 項目番号 > 1 ;"
        << QStringList{"A", "half"};
    QTest::newRow("number against text") << "SELECT * FROM 予定表 WHERE 年月日 = 2024 ;" << QStringList{};
    QTest::newRow("same shape, other value") << "SELECT * FROM 予定表 WHERE 内容 = 'A' ;" << QStringList{"A"};
}

void TestStore::conditionLiterals() {
    QFETCH(QString, query);
    QFETCH(QStringList, contents);
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    appendDays(path, {{"2024/3/5", 1, "it's"}, {"2025/1/1", 2, "A"}, {"2024/3/5", 3, "x'41'"}});
    DataControl data;
    data.setDatabaseName(path);
    data.setRecordSource(kDayTable);
    QVERIFY(!data.refresh());
    QVERIFY(!data.appendRow({{QStringLiteral("年月日"), QStringLiteral("2025/1/1")},
                             {QStringLiteral("項目番号"), 2.5},
                             {kContent, QStringLiteral("half")}}));
    // The same shape with another value first, so that a reused statement would show.
    data.setRecordSource(QStringLiteral("SELECT * FROM 予定表 WHERE 内容 = 'it''s' ;"));
    QVERIFY(!data.refresh());
    data.setRecordSource(query);
    const Error error = data.refresh();
    QVERIFY2(!error, qPrintable(error.message));
    QCOMPARE(rows(data, {kContent}), contents);
}

// Only one SELECT over one table gives rows that can be written back; anything else is refused
// before it runs.
void TestStore::unsupportedSources_data() {
    QTest::addColumn<QString>("source");
    QTest::newRow("second statement") << "SELECT * FROM 予定表; DELETE FROM 予定表;";
    QTest::newRow("table then statement") << "予定表; DROP TABLE 予定表";
    QTest::newRow("group by") << "SELECT 年月日, count(*) FROM 予定表 GROUP BY 年月日";
    QTest::newRow("two tables") << "SELECT * FROM 予定表, ToDoリスト";
    QTest::newRow("join") << "SELECT * FROM 予定表 JOIN ToDoリスト ON 1";
    QTest::newRow("no from") << "SELECT 1";
    QTest::newRow("syntax") << "SELECT * FROM 予定表 WHERE 年月日='2024/1/1";
}

void TestStore::unsupportedSources() {
    QFETCH(QString, source);
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    appendDays(path, {{"2024/3/5", 1, "a"}});
    DataControl data;
    data.setDatabaseName(path);
    data.setRecordSource(source);
    QCOMPARE(data.refresh().code, SQLITE_ERROR);
    QCOMPARE(data.recordCount(), 0);
    QCOMPARE(data.absolutePosition(), -1);
    QCOMPARE(everyDay(path), QStringList{"2024/3/5|1|null|a|False|####"});
}

void TestStore::fieldValues() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    appendDays(path, {{"2026/1/5", 3, "会議"}});
    DataControl data;
    data.setDatabaseName(path);
    data.setRecordSource(QStringLiteral("SELECT * FROM 予定表 ;"));
    QVERIFY(!data.refresh());
    QCOMPARE(data.absolutePosition(), 0);

    Error error;
    const QVariant slot = data.field(QStringLiteral("項目番号"), &error);
    QVERIFY(!error);
    QCOMPARE(slot.typeId(), QMetaType::Double);
    QCOMPARE(slot.toDouble(), 3.0);
    const QVariant level = data.field(QStringLiteral("レベル"), &error);
    QVERIFY(!error);
    QVERIFY(level.isValid());
    QVERIFY(level.isNull());
    QCOMPARE(data.field(kContent, &error), QVariant(QStringLiteral("会議")));
    QVERIFY(!data.field(QStringLiteral("やるべき事"), &error).isValid());
    QCOMPARE(error.code, SQLITE_ERROR);
}

void TestStore::engineRefuses_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("stored"); // the row's 内容|時刻|項目番号 afterwards

    QTest::newRow("80 characters") << "内容" << QVariant(QString(80, u'あ')) << true
                                   << QString(80, u'あ') + "|####|1";
    QTest::newRow("81 characters") << "内容" << QVariant(QString(81, u'a')) << false << "元|####|1";
    QTest::newRow("81 kanji") << "内容" << QVariant(QString(81, u'漢')) << false << "元|####|1";
    QTest::newRow("zero-length content") << "内容" << QVariant(QString("")) << false << "元|####|1";
    QTest::newRow("zero-length time") << "時刻" << QVariant(QString("")) << false << "元|####|1";
    QTest::newRow("7-character time") << "時刻" << QVariant(QString("1234567")) << false << "元|####|1";
    QTest::newRow("time as typed") << "時刻" << QVariant(QString("9:30")) << true << "元|9:30|1";
    QTest::newRow("slot not a number") << "項目番号" << QVariant(QString("一")) << false << "元|####|1";
    QTest::newRow("slot as number text") << "項目番号" << QVariant(QString("2")) << true << "元|####|2";
    QTest::newRow("null content") << "内容" << QVariant() << true << "null|####|1";
}

void TestStore::engineRefuses() {
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(bool, accepted);
    QFETCH(QString, stored);
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    appendDays(path, {{"2026/1/5", 1, "元"}});

    DataControl data;
    data.setDatabaseName(path);
    data.setRecordSource(kDayTable);
    QVERIFY(!data.refresh());
    QVERIFY(!data.edit());
    QVERIFY(!data.setField(field, value));
    QVERIFY(!data.setField(QStringLiteral("アラーム"), QStringLiteral("True"))); // part of the same row
    Error error = data.update();
    QCOMPARE(!error, accepted);
    if (!accepted)
        QCOMPARE(error.code, SQLITE_CONSTRAINT);
    QVERIFY(!data.editing());
    QCOMPARE(rows(data, {kContent, "時刻", "項目番号"}), QStringList{stored});
    QCOMPARE(rows(data, {"アラーム"}), QStringList{accepted ? "True" : "False"});

    // A refused new row is not added either.
    QVERIFY(!data.addNew());
    QVERIFY(!data.setField(kContent, QStringLiteral("新")));
    QVERIFY(!data.setField(field, value));
    error = data.update();
    QCOMPARE(!error, accepted);
    QCOMPARE(everyDay(path).size(), accepted ? 2 : 1);
}

void TestStore::deleteAndMoveNext() {
    testsupport::TestEnv env;
    DataControl data;
    data.setDatabaseName(env.makeScheduleFile());
    data.setRecordSource(QStringLiteral("SELECT やるべき事 FROM ToDoリスト;"));
    QVERIFY(!data.refresh());
    for (const char* todo : {"a", "b", "c"})
        QVERIFY(!data.appendRow({{QStringLiteral("やるべき事"), QString::fromUtf8(todo)}}));
    QVERIFY(!data.appendRow({})); // an empty grid row adds nothing
    QCOMPARE(data.recordCount(), 3);
    QCOMPARE(data.absolutePosition(), -1); // refreshed while empty

    data.moveTo(1);
    QCOMPARE(data.field(QStringLiteral("やるべき事")).toString(), QStringLiteral("b"));
    QVERIFY(!data.remove());
    QCOMPARE(data.recordCount(), 2);
    QVERIFY(!data.hasCurrentRow());
    QVERIFY(data.remove()); // nothing current to delete
    data.moveNext();
    QCOMPARE(data.absolutePosition(), 1);
    QCOMPARE(data.field(QStringLiteral("やるべき事")).toString(), QStringLiteral("c"));

    // Deleting the last row and moving on leaves no current row.
    QVERIFY(!data.remove());
    data.moveNext();
    QCOMPARE(data.absolutePosition(), -1);
    QCOMPARE(data.recordCount(), 1);

    QVERIFY(!data.refresh());
    QCOMPARE(rows(data, {"やるべき事"}), QStringList{"a"});
    QVERIFY(!data.updateRow(0, {{QStringLiteral("やるべき事"), QStringLiteral("A")}}));
    QCOMPARE(data.field(QStringLiteral("やるべき事")).toString(), QStringLiteral("A"));
}

void TestStore::addNewAppends() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    appendDays(path, {{"2026/1/5", 1, "一"}, {"2026/1/5", 2, "二"}});
    DataControl data;
    data.setDatabaseName(path);
    data.setRecordSource(QStringLiteral("SELECT * FROM 予定表 ORDER BY 内容 ASC;"));
    QVERIFY(!data.refresh());
    data.moveTo(1);
    QVERIFY(!data.addNew());
    QVERIFY(!data.setField(kContent, QStringLiteral("三")));
    QCOMPARE(data.field(kContent).toString(), QStringLiteral("三"));
    QVERIFY(!data.update());
    QCOMPARE(data.recordCount(), 3);
    QCOMPARE(data.absolutePosition(), 1); // still the row that was current
    QCOMPARE(data.value(2, 3).toString(), QStringLiteral("三"));
    QCOMPARE(everyDay(path).last(), QStringLiteral("null|null|null|三|null|null"));
}

// --- Day records ---------------------------------------------------------------------------------

void TestStore::dateString_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("expected");
    QTest::newRow("5 January") << QDate(2026, 1, 5) << "2026/1/5";
    QTest::newRow("1 October") << QDate(2026, 10, 1) << "2026/10/1";
    QTest::newRow("31 January") << QDate(2026, 1, 31) << "2026/1/31";
    QTest::newRow("25 December") << QDate(2026, 12, 25) << "2026/12/25";
    QTest::newRow("10 November") << QDate(2026, 11, 10) << "2026/11/10";
    QTest::newRow("invalid") << QDate() << "";
}

void TestStore::dateString() {
    QFETCH(QDate, date);
    QFETCH(QString, expected);
    QCOMPARE(store::dateString(date), expected);
    if (date.isValid())
        QCOMPARE(store::dateString(date.year(), date.month(), date.day()), expected);
}

void TestStore::queryTexts() {
    QCOMPARE(slotQuery(QStringLiteral("2026/1/5"), 1),
             QStringLiteral("SELECT * FROM 予定表 WHERE 年月日='2026/1/5' AND 項目番号=1 ;"));
    QCOMPARE(slotQuery(QStringLiteral("2026/12/25"), 4),
             QStringLiteral("SELECT * FROM 予定表 WHERE 年月日='2026/12/25' AND 項目番号=4 ;"));
    QCOMPARE(dateQuery(QStringLiteral("2026/3/5")),
             QStringLiteral("SELECT * FROM 予定表 WHERE 年月日='2026/3/5' ;"));
}

void TestStore::saveNewSlot() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    DataControl data;
    QVERIFY(!openDayTable(data, path));
    QCOMPARE(data.recordSource(), kDayTable);
    const QString date = store::dateString(QDate(2026, 1, 5));
    QVERIFY(!saveSlot(data, date, 3, {QStringLiteral("歯医者"), QString(), false, QString()}));
    QCOMPARE(everyDay(path), QStringList{"2026/1/5|3|null|歯医者|False|####"});
    QCOMPARE(readSlot(data, date, 3), (SlotItem{QStringLiteral("歯医者"), QString(), false, kEmptyTime}));
    QCOMPARE(readSlot(data, date, 2), SlotItem());
    QCOMPARE(readSlot(data, QStringLiteral("2026/01/05"), 3), SlotItem()); // leading zeros never match

    const SlotItem full{QStringLiteral("会議"), QStringLiteral("ﾚﾍﾞﾙ5"), true, QStringLiteral("0930")};
    QVERIFY(!saveSlot(data, date, 3, full));
    QCOMPARE(everyDay(path), QStringList{"2026/1/5|3|5|会議|True|0930"});
    QCOMPARE(readSlot(data, date, 3), full);
}

void TestStore::levelKeptWhenTextNotALevel() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    DataControl data;
    QVERIFY(!openDayTable(data, path));
    const QString date = QStringLiteral("2026/2/1");
    QVERIFY(!saveSlot(data, date, 1, {QStringLiteral("x"), QString(), false, QString()}));
    QCOMPARE(everyDay(path), QStringList{"2026/2/1|1|null|x|False|####"});
    QVERIFY(!saveSlot(data, date, 1, {QStringLiteral("x"), QStringLiteral("ﾚﾍﾞﾙ4"), false, QString()}));
    QCOMPARE(everyDay(path), QStringList{"2026/2/1|1|4|x|False|####"});
    QVERIFY(!saveSlot(data, date, 1, {QStringLiteral("x"), QString(), false, QString()}));
    QVERIFY(!saveSlot(data, date, 1, {QStringLiteral("y"), QStringLiteral("レベル2"), true, QString()}));
    QCOMPARE(everyDay(path), QStringList{"2026/2/1|1|4|y|True|####"});
    QCOMPARE(readSlot(data, date, 1).levelText, QStringLiteral("ﾚﾍﾞﾙ4"));
}

void TestStore::singleBlankIsContent() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    DataControl data;
    QVERIFY(!openDayTable(data, path));
    QVERIFY(!saveSlot(data, QStringLiteral("2026/1/31"), 2, {QStringLiteral(" "), {}, false, {}}));
    QCOMPARE(everyDay(path), QStringList{"2026/1/31|2|null| |False|####"});
    QCOMPARE(readSlot(data, QStringLiteral("2026/1/31"), 2).content, QStringLiteral(" "));
}

void TestStore::clearingContentDeletesOnlyThatSlot() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    DataControl data;
    QVERIFY(!openDayTable(data, path));
    const QString date = QStringLiteral("2026/10/1");
    for (int slot = 1; slot <= 4; ++slot)
        QVERIFY(!saveSlot(data, date, slot,
                          {QString::number(slot), levelText(slot), slot % 2 == 0, QStringLiteral("1200")}));
    QVERIFY(!saveSlot(data, QStringLiteral("2026/10/2"), 2, {QStringLiteral("other day"), {}, false, {}}));
    // Clearing the content deletes the row whatever the other controls hold.
    QVERIFY(!saveSlot(data, date, 2, {QString(), QStringLiteral("ﾚﾍﾞﾙ1"), true, QStringLiteral("0800")}));
    QCOMPARE(everyDay(path),
             (QStringList{"2026/10/1|1|1|1|False|1200", "2026/10/1|3|3|3|False|1200",
                          "2026/10/1|4|4|4|True|1200", "2026/10/2|2|null|other day|False|####"}));
    QCOMPARE(readSlot(data, date, 2), SlotItem());
    QCOMPARE(readSlot(data, date, 4).content, QStringLiteral("4"));
}

void TestStore::saveEmptySlotWithoutRow() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    appendDays(path, {{"2026/1/5", 2, "残る"}});
    DataControl data;
    QVERIFY(!openDayTable(data, path));
    QVERIFY(!saveSlot(data, QStringLiteral("2026/1/5"), 1, SlotItem()));
    QCOMPARE(everyDay(path), QStringList{"2026/1/5|2|null|残る|False|####"});
}

void TestStore::duplicateRowsUseTheFirst() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    appendDays(path, {{"2026/1/5", 1, "first"}, {"2026/1/6", 1, "elsewhere"}, {"2026/1/5", 1, "second"}});
    DataControl data;
    QVERIFY(!openDayTable(data, path));
    QCOMPARE(readSlot(data, QStringLiteral("2026/1/5"), 1).content, QStringLiteral("first"));

    QVERIFY(!saveSlot(data, QStringLiteral("2026/1/5"), 1, {QStringLiteral("edited"), {}, false, {}}));
    QCOMPARE(everyDay(path),
             (QStringList{"2026/1/5|1|null|edited|False|####", "2026/1/6|1|null|elsewhere|False|####",
                          "2026/1/5|1|null|second|False|####"}));

    QVERIFY(!saveSlot(data, QStringLiteral("2026/1/5"), 1, SlotItem()));
    QCOMPARE(everyDay(path),
             (QStringList{"2026/1/6|1|null|elsewhere|False|####", "2026/1/5|1|null|second|False|####"}));
    QCOMPARE(readSlot(data, QStringLiteral("2026/1/5"), 1).content, QStringLiteral("second"));
}

void TestStore::saveRefusedContent() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    DataControl data;
    QVERIFY(!openDayTable(data, path));
    const QString date = QStringLiteral("2026/1/5");
    QCOMPARE(saveSlot(data, date, 1, {QString(81, u'x'), {}, false, {}}).code, SQLITE_CONSTRAINT);
    QVERIFY(everyDay(path).isEmpty());

    QVERIFY(!saveSlot(data, date, 1,
                      {QStringLiteral("kept"), QStringLiteral("ﾚﾍﾞﾙ2"), true, QStringLiteral("0700")}));
    const Error error =
        saveSlot(data, date, 1, {QStringLiteral("new"), {}, false, QStringLiteral("1234567")});
    QCOMPARE(error.code, SQLITE_CONSTRAINT);
    QVERIFY(store::describe(error).startsWith(
        QStringLiteral("入力された値が長すぎるか空です。「時刻」は1～6文字で入力してください。\nCHECK")));
    QCOMPARE(everyDay(path), QStringList{"2026/1/5|1|2|kept|True|0700"});
}

void TestStore::alarmReading_data() {
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("alarm");
    QTest::newRow("True") << QVariant(QStringLiteral("True")) << true;
    QTest::newRow("False") << QVariant(QStringLiteral("False")) << false;
    QTest::newRow("lower-case true") << QVariant(QStringLiteral("true")) << false;
    QTest::newRow("other text") << QVariant(QStringLiteral("オン")) << false;
    QTest::newRow("no value") << QVariant() << false;
}

void TestStore::alarmReading() {
    QFETCH(QVariant, stored);
    QFETCH(bool, alarm);
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    DataControl data;
    QVERIFY(!openDayTable(data, path));
    QVERIFY(!data.refresh());
    QVERIFY(!data.appendRow({{QStringLiteral("年月日"), QStringLiteral("2026/1/5")},
                             {QStringLiteral("項目番号"), 1.0},
                             {kContent, QStringLiteral("c")},
                             {QStringLiteral("アラーム"), stored}}));
    const SlotItem item = readSlot(data, QStringLiteral("2026/1/5"), 1);
    QCOMPARE(item.alarm, alarm);
    QCOMPARE(item.content, QStringLiteral("c")); // the other fields are still read
    QCOMPARE(item.timeText, QString());
}

void TestStore::levelReading_data() {
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("levelText");
    QTest::newRow("1") << QVariant(1.0) << "ﾚﾍﾞﾙ1";
    QTest::newRow("5") << QVariant(5.0) << "ﾚﾍﾞﾙ5";
    QTest::newRow("0") << QVariant(0.0) << "";
    QTest::newRow("6") << QVariant(6.0) << "";
    QTest::newRow("2.5") << QVariant(2.5) << "";
    QTest::newRow("no value") << QVariant() << "";
}

void TestStore::levelReading() {
    QFETCH(QVariant, stored);
    QFETCH(QString, levelText);
    testsupport::TestEnv env;
    DataControl data;
    QVERIFY(!openDayTable(data, env.makeScheduleFile()));
    QVERIFY(!data.refresh());
    QVERIFY(!data.appendRow({{QStringLiteral("年月日"), QStringLiteral("2026/1/5")},
                             {QStringLiteral("項目番号"), 4.0},
                             {QStringLiteral("レベル"), stored},
                             {kContent, QStringLiteral("c")},
                             {QStringLiteral("アラーム"), QStringLiteral("True")},
                             {QStringLiteral("時刻"), QStringLiteral("2359")}}));
    QCOMPARE(readSlot(data, QStringLiteral("2026/1/5"), 4),
             (SlotItem{QStringLiteral("c"), levelText, true, QStringLiteral("2359")}));
}

void TestStore::quoteInDateStringMatchesNothing() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    appendDays(path, {{"2026/1/5", 1, "a"}});
    DataControl data;
    QVERIFY(!openDayTable(data, path));
    const QString hostile = QStringLiteral("x' OR '1'='1");
    QCOMPARE(readSlot(data, hostile, 1), SlotItem());
    QVERIFY(saveSlot(data, hostile, 1, SlotItem()).code == 0);
    QCOMPARE(everyDay(path).size(), 1);
}

void TestStore::datesWithItems() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    appendDays(path, {{"2026/3/5", 4, "only slot 4"},
                      {"2026/3/12", 1, "a"},
                      {"2026/3/12", 2, "b"},
                      {"2026/4/1", 1, "next month"},
                      {"2026/3/1", 1, "a"}});
    DataControl data;
    QVERIFY(!openDayTable(data, path));
    QVERIFY(!data.refresh());
    // A row without content does not mark its date.
    QVERIFY(!data.appendRow(
        {{QStringLiteral("年月日"), QStringLiteral("2026/3/20")}, {QStringLiteral("項目番号"), 1.0}}));

    DayStore days(path, 0);
    QStringList march;
    for (int day = 1; day <= 31; ++day)
        march << store::dateString(2026, 3, day);
    Error error;
    QCOMPARE(days.datesWithItems(march, &error), (QStringList{"2026/3/1", "2026/3/5", "2026/3/12"}));
    QVERIFY(!error);

    // The same answer as the Date query of each day; many dates at once.
    QStringList years;
    for (QDate date(2020, 1, 1); date.year() < 2030; date = date.addDays(1))
        years << store::dateString(date);
    QCOMPARE(days.datesWithItems(years, &error),
             (QStringList{"2026/3/1", "2026/3/5", "2026/3/12", "2026/4/1"}));
    QVERIFY(days.datesWithItems({}, &error).isEmpty());
}

// The alarm check's reads: the armed items of a date from each slot's first row, and disarming
// the slot's first row only.
void TestStore::armedItemsAndDisarm() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    const QDate day(2026, 3, 5);
    const QString key = store::dateString(day);
    DayStore days(path);
    std::array<SlotItem, kSlotCount> loaded;
    std::array<SlotItem, kSlotCount> wanted{SlotItem{QStringLiteral("朝"), {}, true, QStringLiteral("0700")},
                                            SlotItem{QStringLiteral("昼"), {}, false, QStringLiteral("1200")},
                                            SlotItem{}, SlotItem{QStringLiteral("夜"), {}, true, QString()}};
    QVERIFY(!days.saveDay(day, loaded, wanted));
    appendDays(path, {{key, 3, "later row of slot 3"}});
    Error error;
    std::vector<ArmedItem> armed = days.armedItems(day, &error);
    QVERIFY(!error);
    QCOMPARE(armed.size(), size_t(2));
    QCOMPARE((std::tuple{armed[0].slot, armed[0].timeText, armed[0].content}),
             (std::tuple{1, QStringLiteral("0700"), QStringLiteral("朝")}));
    QCOMPARE((std::tuple{armed[1].slot, armed[1].timeText, armed[1].content}),
             (std::tuple{4, kEmptyTime, QStringLiteral("夜")}));

    QVERIFY(!days.disarm(day, 1));
    QCOMPARE(days.armedItems(day).size(), size_t(1));
    QCOMPARE(days.disarm(day, 3).code, 0); // a row, even one without an alarm
    QCOMPARE(days.disarm(QDate(2026, 3, 6), 1).code, SQLITE_ERROR);
    QCOMPARE(everyDay(path),
             (QStringList{"2026/3/5|1|null|朝|False|0700", "2026/3/5|2|null|昼|False|1200",
                          "2026/3/5|4|null|夜|True|####", "2026/3/5|3|null|later row of slot 3|False|####"}));
}

// A file deleted or replaced while a data control holds it open: writes must not go into the
// unlinked file, and the next refresh reads what is at the path now.
void TestStore::deletedOrReplacedFile() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    appendDays(path, {{"2026/3/5", 1, "before"}});
    store::DataControl data;
    QVERIFY(!store::openDayTable(data, path));
    data.setRecordSource(store::slotQuery(QStringLiteral("2026/3/5"), 1));
    QVERIFY(!data.refresh());
    QVERIFY(data.hasCurrentRow());

    QVERIFY(QFile::remove(path));
    QCOMPARE(data.updateRow(0, {{QStringLiteral("内容"), QStringLiteral("lost?")}}).code, SQLITE_CANTOPEN);
    QCOMPARE(data.remove().code, SQLITE_CANTOPEN);
    QCOMPARE(data.refresh().code, SQLITE_CANTOPEN);
    QVERIFY(!QFile::exists(path)); // nothing created on the way

    // Another file put in its place is the one read from now on.
    const QString other = env.makeScheduleFile(QStringLiteral("other.sdb"));
    appendDays(other, {{"2026/3/5", 1, "after"}});
    QVERIFY(QFile::rename(other, path));
    QVERIFY(!data.refresh());
    QCOMPARE(data.field(QStringLiteral("内容")).toString(), QStringLiteral("after"));
}

void TestStore::dateIndexOnOpen_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("indexesAfter"); // indexes of 予定表 that start with 年月日
    QTest::newRow("plain tables, no index") << "plain" << 1;
    QTest::newRow("made by this program") << "created" << 1;
    QTest::newRow("an index of its own on 年月日") << "own index" << 1;
    QTest::newRow("read-only") << "read-only" << 0;
    QTest::newRow("another program writing") << "writing" << 0;
}

// A file opened for writing gets the index on (年月日, 項目番号) when it has none that starts with
// 年月日, with the busy hook around the work; a file that cannot be written is read without it.
void TestStore::dateIndexOnOpen() {
    QFETCH(QString, file);
    QFETCH(int, indexesAfter);
    testsupport::TestEnv env;
    QString path = env.path(QStringLiteral("plain.sdb"));
    sqlite3* raw = nullptr;
    if (file == QLatin1String("created")) {
        path = env.makeScheduleFile();
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
    } else {
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        QCOMPARE(
            sqlite3_exec(raw,
                         "CREATE TABLE 予定表 (年月日 TEXT(12), 項目番号 REAL, レベル REAL, 内容 TEXT(80), "
                         "アラーム TEXT(10), 時刻 TEXT(6));",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
    }
    QCOMPARE(sqlite3_exec(raw, "INSERT INTO 予定表 VALUES ('2026/1/5', 1, NULL, 'a', 'False', '####');",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    if (file == QLatin1String("own index"))
        QCOMPARE(sqlite3_exec(raw, "CREATE INDEX mine ON 予定表 (年月日)", nullptr, nullptr, nullptr),
                 SQLITE_OK);
    std::unique_ptr<testsupport::PermissionsApply> permissions;
    if (file == QLatin1String("read-only")) {
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        permissions = std::make_unique<testsupport::PermissionsApply>();
    }
    if (file == QLatin1String("writing"))
        QCOMPARE(sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    QStringList hookCalls;
    store::setLongWorkHook([&](bool started) { hookCalls << (started ? "start" : "end"); });

    DataControl data;
    data.setDatabaseName(path);
    data.setRecordSource(slotQuery(QStringLiteral("2026/1/5"), 1));
    const Error error = data.refresh();
    store::setLongWorkHook({});
    QVERIFY2(!error, qPrintable(error.message));
    QCOMPARE(data.field(kContent).toString(), QStringLiteral("a"));
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    const bool tried = file == QLatin1String("plain") || file == QLatin1String("writing");
    QCOMPARE(hookCalls, tried ? QStringList({"start", "end"}) : QStringList());

    sqlite3_stmt* count = nullptr;
    QCOMPARE(sqlite3_prepare_v2(raw,
                                "SELECT count(*) FROM pragma_index_list('予定表') AS l, "
                                "pragma_index_info(l.name) AS i WHERE i.seqno = 0 AND i.name = '年月日'",
                                -1, &count, nullptr),
             SQLITE_OK);
    QCOMPARE(sqlite3_step(count), SQLITE_ROW);
    const int indexes = sqlite3_column_int(count, 0);
    sqlite3_finalize(count);
    sqlite3_close(raw);
    QCOMPARE(indexes, indexesAfter);
}

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
