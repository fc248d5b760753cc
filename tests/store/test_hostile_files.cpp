// Schedule files that are shared with another program or built to do harm: two programs saving
// one date or one row, a column that shadows the rowid, planted triggers and views, and queries
// made to run without end.

#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DayStore.h"
#include "store/Error.h"
#include "store/ScheduleFile.h"
#include "support/TestEnv.h"

#include <sqlite3.h>

#include <QRegularExpression>
#include <QtTest>

using namespace store;

namespace {

const QString kDate = QStringLiteral("2026/1/5");

// How a test writes to the file.
enum Write { Disarm, GridEdit, DaySave, GridAppend };
const QDate kDay(2026, 1, 5);

// Runs SQL on the file through a plain engine connection, as another tool would.
bool plant(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK;
    char* message = nullptr;
    ok = ok && sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK;
    if (message)
        qWarning("%s", message);
    sqlite3_free(message);
    sqlite3_close(db);
    return ok;
}

SlotItem item(const QString& content) {
    return {content, QStringLiteral("ﾚﾍﾞﾙ2"), false, kEmptyTime};
}

// The date as an entry window loads it.
std::array<SlotItem, 4> loadDay(DayStore& store) {
    std::array<SlotItem, 4> loaded;
    if (store.readDay(kDay, loaded).failed())
        loaded.fill(SlotItem{QStringLiteral("unreadable"), {}, false, {}});
    return loaded;
}

QStringList contents(const QString& path) {
    DataControl data;
    data.setDatabaseName(path);
    data.setRecordSource(QStringLiteral("SELECT * FROM 予定表 ORDER BY 項目番号"));
    if (data.refresh().failed())
        return {QStringLiteral("unreadable")};
    QStringList result;
    for (int row = 0; row < data.recordCount(); ++row)
        result << data.value(row, 3).value().toString();
    return result;
}

} // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void twoProgramsSaveOneDate();
    void gridRowChangedElsewhere_data();
    void gridRowChangedElsewhere();
    void columnShadowsRowid_data();
    void columnShadowsRowid();
    void plantedSchemaOpensReadOnly_data();
    void plantedSchemaOpensReadOnly();
    void schemaChangedWhileOpen_data();
    void schemaChangedWhileOpen();
    void costlyQueriesAreEnded_data();
    void costlyQueriesAreEnded();
    void manyViewsCostOnce_data();
    void manyViewsCostOnce();
};

// Two programs with the entry window open on one date: each writes only what it changed, and a
// slot the other saved meanwhile is reported with both versions instead of overwritten.
void TestHostileFiles::twoProgramsSaveOneDate() {
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    DayStore a(path);
    DayStore b(path);
    std::array<SlotItem, 4> loadedA = loadDay(a);
    std::array<SlotItem, 4> loadedB = loadDay(b);

    std::array<SlotItem, 4> wantedA = loadedA;
    wantedA[0] = item(QStringLiteral("Aの予定"));
    QVERIFY(a.saveDay(kDay, loadedA, wantedA).ok());
    std::array<SlotItem, 4> wantedB = loadedB;
    wantedB[1] = item(QStringLiteral("Bの予定"));
    QVERIFY(b.saveDay(kDay, loadedB, wantedB).ok());
    QCOMPARE(contents(path), (QStringList{QStringLiteral("Aの予定"), QStringLiteral("Bの予定")}));

    // B now also fills slot 1, which it loaded empty: A's item is shown back, nothing written.
    wantedB[0] = item(QStringLiteral("Bの上書き"));
    std::vector<SlotConflict> conflicts;
    QCOMPARE(b.saveDay(kDay, loadedB, wantedB, &conflicts).code, kChangedElsewhere);
    QCOMPARE(conflicts.size(), size_t(1));
    QCOMPARE(conflicts[0].slot, 1);
    QCOMPARE(conflicts[0].stored.content, QStringLiteral("Aの予定"));
    QCOMPARE(conflicts[0].wanted.content, QStringLiteral("Bの上書き"));
    QCOMPARE(contents(path), (QStringList{QStringLiteral("Aの予定"), QStringLiteral("Bの予定")}));

    // Overwriting what was shown.
    loadedB[0] = conflicts[0].stored;
    QVERIFY(b.saveDay(kDay, loadedB, wantedB, &conflicts).ok());
    QCOMPARE(contents(path), (QStringList{QStringLiteral("Bの上書き"), QStringLiteral("Bの予定")}));
    QCOMPARE(loadedB[0], loadDay(b)[0]);
}

void TestHostileFiles::gridRowChangedElsewhere_data() {
    QTest::addColumn<bool>("remove");
    QTest::newRow("edit") << false;
    QTest::newRow("delete") << true;
}

// The list grid read a row; another program deleted it and a new item took its rowid. The grid's
// edit or delete must not land on the new item.
void TestHostileFiles::gridRowChangedElsewhere() {
    QFETCH(bool, remove);
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    QVERIFY(plant(
        path, QStringLiteral("INSERT INTO 予定表 (年月日, 項目番号, 内容) VALUES ('2026/1/5', 1, 'Aの行')")));
    DataControl grid;
    grid.setDatabaseName(path);
    grid.setRecordSource(kDayTable);
    QVERIFY(grid.refresh().ok());
    QCOMPARE(grid.value(0, 3).value().toString(), QStringLiteral("Aの行"));

    QVERIFY(plant(path, QStringLiteral("DELETE FROM 予定表; INSERT INTO 予定表 (年月日, 項目番号, 内容) "
                                       "VALUES ('2026/2/1', 1, 'Bの新しい行')")));
    const Error error =
        remove ? grid.remove() : grid.updateRow(0, {{QStringLiteral("内容"), QStringLiteral("Aの編集")}});
    QCOMPARE(error.code, kChangedElsewhere);
    // The user reads Japanese only.
    QVERIFY(!describe(error).contains(QRegularExpression(QStringLiteral("[A-Za-z]"))));
    QCOMPARE(contents(path), QStringList{QStringLiteral("Bの新しい行")});

    // Read again, the same edit goes through.
    QVERIFY(grid.refresh().ok());
    QVERIFY(grid.updateRow(0, {{QStringLiteral("内容"), QStringLiteral("Aの編集")}}).ok());
    QCOMPARE(contents(path), QStringList{QStringLiteral("Aの編集")});
}

void TestHostileFiles::columnShadowsRowid_data() {
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<bool>("usable");
    QTest::newRow("rowid") << QStringList{QStringLiteral("rowid")} << true;
    QTest::newRow("ROWID and _rowid_")
        << QStringList{QStringLiteral("ROWID"), QStringLiteral("_rowid_")} << true;
    QTest::newRow("all three") << QStringList{QStringLiteral("rowid"), QStringLiteral("_rowid_"),
                                              QStringLiteral("oid")}
                               << false;
}

// Columns named like the rowid, all 1: a save and a delete touch exactly one row.
void TestHostileFiles::columnShadowsRowid() {
    QFETCH(QStringList, columns);
    QFETCH(bool, usable);
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    QString sql;
    for (const QString& column : columns)
        sql += QStringLiteral("ALTER TABLE 予定表 ADD COLUMN %1 REAL DEFAULT 1;").arg(column);
    for (int slot = 1; slot <= 3; ++slot)
        sql +=
            QStringLiteral("INSERT INTO 予定表 (年月日, 項目番号, 内容) VALUES ('2026/1/5', %1, '項目%1');")
                .arg(slot);
    QVERIFY(plant(path, sql));

    DataControl data;
    QVERIFY(openDayTable(data, path).ok());
    const Error error = saveSlot(data, kDate, 2, item(QStringLiteral("変更")));
    if (!usable) {
        QCOMPARE(error.code, SQLITE_ERROR);
        QVERIFY(error.message.contains(QStringLiteral("oid")));
        QCOMPARE(contents(path), QStringList{QStringLiteral("unreadable")});
        return;
    }
    QVERIFY2(error.ok(), qPrintable(error.message));
    QVERIFY(saveSlot(data, kDate, 3, SlotItem()).ok());
    QCOMPARE(contents(path), (QStringList{QStringLiteral("項目1"), QStringLiteral("変更")}));
}

void TestHostileFiles::plantedSchemaOpensReadOnly_data() {
    QTest::addColumn<QString>("planted");
    QTest::addColumn<QString>("cause");
    QTest::newRow("trigger on 予定表")
        << QStringLiteral("CREATE TRIGGER wipe AFTER UPDATE ON 予定表 BEGIN DELETE FROM 予定表 WHERE "
                          "rowid <> new.rowid; DELETE FROM ToDoリスト; END")
        << QStringLiteral("wipe");
    QTest::newRow("trigger on todoリスト, other case")
        << QStringLiteral("CREATE TRIGGER wipe2 BEFORE INSERT ON todoリスト BEGIN DELETE FROM 予定表; END")
        << QStringLiteral("wipe2");
    QTest::newRow("view in place of 予定表")
        << QStringLiteral("ALTER TABLE 予定表 RENAME TO items; CREATE VIEW 予定表 AS SELECT * FROM items")
        << QStringLiteral("ビュー");
    QTest::newRow("予定表 without rowid")
        << QStringLiteral(
               "ALTER TABLE 予定表 RENAME TO items; CREATE TABLE 予定表 (年月日 TEXT, 項目番号 REAL, "
               "レベル REAL, 内容 TEXT, アラーム TEXT, 時刻 TEXT, PRIMARY KEY (年月日, 項目番号)) "
               "WITHOUT ROWID; INSERT INTO 予定表 SELECT * FROM items")
        << QStringLiteral("WITHOUT ROWID");
    // Built with the engine's own LIKE; the program's LIKE would put other entries in it.
    QTest::newRow("index with LIKE") << QStringLiteral(
                                            "CREATE INDEX meeting ON 予定表 (年月日) WHERE 内容 LIKE '%会%'")
                                     << QStringLiteral("meeting");
    QTest::newRow("virtual table in place of 予定表")
        << QStringLiteral(
               "ALTER TABLE 予定表 RENAME TO items; CREATE VIRTUAL TABLE 予定表 USING fts4(年月日, "
               "項目番号, レベル, 内容, アラーム, 時刻); INSERT INTO 予定表 SELECT * FROM items")
        << QStringLiteral("VIRTUAL TABLE");
    QTest::newRow("trigger on another table")
        << QStringLiteral("CREATE TABLE other (x); CREATE TRIGGER wipe3 AFTER INSERT ON other BEGIN DELETE "
                          "FROM 予定表; END")
        << QStringLiteral("wipe3");
}

// A file whose tables run planted code on a write opens read-only, says why, and stays readable.
void TestHostileFiles::plantedSchemaOpensReadOnly() {
    QFETCH(QString, planted);
    QFETCH(QString, cause);
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    QVERIFY(plant(path, QStringLiteral("INSERT INTO 予定表 (年月日, 項目番号, 内容) VALUES "
                                       "('2026/1/5', 1, '一'), ('2026/1/5', 2, '二');"
                                       "INSERT INTO ToDoリスト (やるべき事) VALUES ('やること');") +
                            planted));

    DayStore data(path);
    QVERIFY(data.readOnlyReason().contains(cause));
    std::array<SlotItem, 4> loaded = loadDay(data);
    QCOMPARE(loaded[1].content, QStringLiteral("二"));
    QCOMPARE(contents(path), (QStringList{QStringLiteral("一"), QStringLiteral("二")}));
    std::array<SlotItem, 4> wanted = loaded;
    wanted[0] = item(QStringLiteral("変更"));
    QCOMPARE(data.disarm(kDay, 1).code, SQLITE_READONLY);
    const Error error = data.saveDay(kDay, loaded, wanted);
    QCOMPARE(error.code, SQLITE_READONLY);
    QVERIFY(describe(error).contains(cause));

    DataControl todo;
    todo.setDatabaseName(path);
    todo.setRecordSource(kTodoTable);
    QVERIFY(todo.refresh().ok());
    QVERIFY(todo.readOnly());
    QCOMPARE(todo.appendRow({{QStringLiteral("やるべき事"), QStringLiteral("追加")}}).code, SQLITE_READONLY);

    QVERIFY(
        plant(path, QStringLiteral("CREATE TABLE counted AS SELECT (SELECT count(*) FROM 予定表) AS days, "
                                   "(SELECT count(*) FROM ToDoリスト) AS todos")));
    DataControl counted;
    counted.setDatabaseName(path);
    counted.setRecordSource(QStringLiteral("counted"));
    QVERIFY(counted.refresh().ok());
    QCOMPARE(counted.value(0, 0).value().toInt(), 2);
    QCOMPARE(counted.value(0, 1).value().toInt(), 1);
}

void TestHostileFiles::schemaChangedWhileOpen_data() {
    QTest::addColumn<int>("write");
    QTest::addColumn<QString>("planted");
    QTest::addColumn<int>("firstCode");
    QTest::addColumn<QString>("cause");
    const QString wipe = QStringLiteral("CREATE TRIGGER late AFTER UPDATE ON 予定表 BEGIN DELETE FROM 予定表 "
                                        "WHERE rowid <> new.rowid; END");
    // Only reads, so it is let in; the row it skips must not be reported as written, its error not
    // as the user's input refused.
    const QString skip =
        QStringLiteral("CREATE TRIGGER late BEFORE %1 ON 予定表 BEGIN SELECT RAISE(IGNORE); END");
    const QString late = QStringLiteral("late");
    QTest::newRow("alarm disarmed") << int(Disarm) << wipe << SQLITE_AUTH << late;
    QTest::newRow("grid row edited") << int(GridEdit) << wipe << SQLITE_AUTH << late;
    QTest::newRow("day saved, row skipped")
        << int(DaySave) << skip.arg(QStringLiteral("UPDATE")) << SQLITE_READONLY << late;
    QTest::newRow("grid row appended, row skipped")
        << int(GridAppend) << skip.arg(QStringLiteral("INSERT")) << SQLITE_READONLY << late;
    QTest::newRow("day saved, trigger raises an error")
        << int(DaySave)
        << QStringLiteral("CREATE TRIGGER late BEFORE UPDATE ON 予定表 BEGIN SELECT RAISE(ABORT, 'x'); END")
        << SQLITE_READONLY << late;
    QTest::newRow("day saved, 予定表 became a view")
        << int(DaySave)
        << QStringLiteral("ALTER TABLE 予定表 RENAME TO items; CREATE VIEW 予定表 AS SELECT * FROM items")
        << SQLITE_READONLY << QStringLiteral("ビュー");
}

// Another program plants a trigger or a view after the file was opened and checked: the write
// that would set it off is refused or reported, nothing is lost, and the file turns read-only with
// its reason.
void TestHostileFiles::schemaChangedWhileOpen() {
    QFETCH(int, write);
    QFETCH(QString, planted);
    QFETCH(int, firstCode);
    QFETCH(QString, cause);
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    QVERIFY(plant(path, QStringLiteral("INSERT INTO 予定表 (年月日, 項目番号, 内容, アラーム) VALUES "
                                       "('2026/1/5', 1, '一', 'True'), ('2026/1/5', 2, '二', 'True')")));
    DayStore store(path);
    DataControl data;
    data.setDatabaseName(path);
    data.setRecordSource(kDayTable);
    QVERIFY(data.refresh().ok());
    QVERIFY(store.readOnlyReason().isEmpty());
    std::array<SlotItem, 4> loaded = loadDay(store);
    QCOMPARE(loaded[0].content, QStringLiteral("一"));

    QVERIFY(plant(path, planted));
    const auto attempt = [&] {
        std::array<SlotItem, 4> wanted = loaded;
        wanted[0] = item(QStringLiteral("変更"));
        switch (write) {
        case GridEdit:
            return data.updateRow(0, {{QStringLiteral("内容"), QStringLiteral("変更")}});
        case DaySave:
            return store.saveDay(kDay, loaded, wanted);
        case GridAppend:
            return data.appendRow({{QStringLiteral("内容"), QStringLiteral("変更")}});
        default:
            return store.disarm(kDay, 1);
        }
    };
    QCOMPARE(attempt().code, firstCode);
    QCOMPARE(contents(path), (QStringList{QStringLiteral("一"), QStringLiteral("二")}));
    QCOMPARE(data.recordCount(), 2);
    const Error again = attempt();
    QCOMPARE(again.code, SQLITE_READONLY);
    QVERIFY(describe(again).contains(cause));
}

void TestHostileFiles::costlyQueriesAreEnded_data() {
    QTest::addColumn<QString>("planted");
    QTest::addColumn<QString>("recordSource"); // empty: the calendar's query for dates with items
    QTest::addColumn<int>("code");
    QTest::newRow("recursive view")
        << QStringLiteral(
               "DROP TABLE 予定表; CREATE VIEW 予定表 AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL "
               "SELECT n + 1 FROM r) SELECT '2026/1/5' AS 年月日, n AS 項目番号, NULL AS レベル, "
               "'x' || n AS 内容, NULL AS アラーム, NULL AS 時刻 FROM r WHERE n < 0")
        << QString() << SQLITE_INTERRUPT;
    // LIKE costs text length times pattern length: ten texts of 100,000 characters against a
    // pattern of 16,001 that fails only at its end.
    QTest::newRow("long search over long texts")
        << QStringLiteral(
               "DROP TABLE 予定表; CREATE TABLE 予定表 (年月日 TEXT, 項目番号 REAL, レベル REAL, 内容 TEXT, "
               "アラーム TEXT, 時刻 TEXT); "
               "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 10) "
               "INSERT INTO 予定表 (年月日, 項目番号, 内容) SELECT '2026/1/5', n, "
               "replace(hex(zeroblob(50000)), '0', 'a') FROM r")
        << QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '*%1b*'").arg(QString(16000, u'a'))
        << SQLITE_INTERRUPT;
    // A file of a few kilobytes whose every read builds a value of 100 MB.
    QTest::newRow("generated column of 100 MB")
        << QStringLiteral("DROP TABLE 予定表; CREATE TABLE 予定表 (年月日 TEXT, 項目番号 REAL, レベル REAL, "
                          "内容 TEXT AS (hex(zeroblob(50000000))), アラーム TEXT, 時刻 TEXT); "
                          "INSERT INTO 予定表 (年月日, 項目番号) VALUES ('2026/1/5', 1)")
        << QString() << SQLITE_TOOBIG;
    // Rows without an address are held whole: endless rows of a megabyte each.
    QTest::newRow("view of rows too many to hold")
        << QStringLiteral(
               "DROP TABLE 予定表; CREATE VIEW 予定表 AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL "
               "SELECT n + 1 FROM r) SELECT '2026/1/5' AS 年月日, n AS 項目番号, NULL AS レベル, "
               "hex(zeroblob(500000)) AS 内容, NULL AS アラーム, NULL AS 時刻 FROM r")
        << kDayTable << SQLITE_TOOBIG;
}

// A file built to make a query endless or its values huge: the query is ended with a message, and
// the connection stays usable.
void TestHostileFiles::costlyQueriesAreEnded() {
    QFETCH(QString, planted);
    QFETCH(QString, recordSource);
    QFETCH(int, code);
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    QVERIFY(plant(path, planted));

    DataControl data;
    data.setDatabaseName(path);
    QVERIFY(data.openDatabase().ok());
    if (code == SQLITE_INTERRUPT)
        data.connection()->setWorkLimit(std::chrono::milliseconds(300));
    Error error;
    if (recordSource.isEmpty()) {
        const Result<QStringList> dates = datesWithItems(*data.connection(), {kDate});
        QVERIFY(!dates.ok());
        error = dates.error();
    } else {
        data.setRecordSource(recordSource);
        error = data.refresh();
    }
    QCOMPARE(error.code, code);
    QVERIFY(describe(error).startsWith(describe(Error{code, QString()})));

    data.setRecordSource(kTodoTable);
    QVERIFY(data.refresh().ok());
}

void TestHostileFiles::manyViewsCostOnce_data() {
    QTest::addColumn<int>("views");
    QTest::addColumn<int>("code"); // of every read
    QTest::newRow("10,000 views") << 10000 << SQLITE_OK;
    // The engine's time for reading a schema grows with the square of its entries: minutes here.
    QTest::newRow("300,000 views") << 300000 << SQLITE_INTERRUPT;
}

// Views besides 予定表 and ToDoリスト are no cause for read-only, and cost nothing beyond the
// engine's own reading of the schema: each entry window opens the file anew, and one connection
// checks the schema once however much it reads and writes. A schema too large to read is given up
// with a message, once for all windows.
void TestHostileFiles::manyViewsCostOnce() {
    QFETCH(int, views);
    QFETCH(int, code);
    testsupport::TestEnv env;
    const QString path = env.makeScheduleFile();
    QVERIFY(plant(path,
                  QStringLiteral("INSERT INTO 予定表 (年月日, 項目番号, 内容) VALUES ('2026/1/5', 1, '一'); "
                                 "PRAGMA writable_schema=ON; WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL "
                                 "SELECT n + 1 FROM r WHERE n < %1) INSERT INTO sqlite_master SELECT "
                                 "'view', 'v' || n, 'v' || n, 0, 'CREATE VIEW v' || n || ' AS SELECT 1' "
                                 "FROM r")
                      .arg(views)));
    // What every connection pays anyway: the engine reading the schema.
    QElapsedTimer clock;
    clock.start();
    if (!code)
        QVERIFY(plant(path, QStringLiteral("SELECT 1 FROM sqlite_master LIMIT 1")));
    constexpr int windows = 10;
    const qint64 bound = windows * 3 * clock.restart() + 2000;
    for (int window = 0; window < windows; ++window) {
        DayStore store(path);
        std::array<SlotItem, 4> loaded;
        const Error error = store.readDay(kDay, loaded);
        QCOMPARE(error.code, code);
        QVERIFY(describe(error).startsWith(describe(Error{code, QString()})));
        QCOMPARE(loaded[0].content, code ? QString() : QStringLiteral("一"));
        QVERIFY(store.readOnlyReason().isEmpty());
    }
    DataControl data;
    QCOMPARE(openDayTable(data, path).code, code);
    if (!code) {
        DayRecords records;
        for (int read = 0; read < 20; ++read)
            QVERIFY(readDayRecords(*data.connection(), kDate, records).ok());
        QVERIFY(saveSlot(data, kDate, 2, item(QStringLiteral("二"))).ok());
        QVERIFY(data.refresh().ok());
        QCOMPARE(data.recordCount(), 2);
        QCOMPARE(data.connection()->schemaChecks(), 1);
        // Changed by another program: checked again once the engine saw the change.
        QVERIFY(
            plant(path, QStringLiteral("CREATE TRIGGER late AFTER UPDATE ON 予定表 BEGIN SELECT 1; END")));
        QVERIFY(readDayRecords(*data.connection(), kDate, records).ok());
        QVERIFY(data.connection()->checkSchema().ok());
        QVERIFY(data.connection()->readOnlyReason().contains(QStringLiteral("late")));
        QCOMPARE(data.connection()->schemaChecks(), 2);
    }
    QVERIFY2(clock.elapsed() < bound, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "test_hostile_files.moc"
