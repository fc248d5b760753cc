// The Schedule file: creation, the data control over SQLite, the Day record rules, and how the
// engine's failures come back.

#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DayStore.h"
#include "store/Error.h"
#include "store/FileWatch.h"
#include "store/ItemRules.h"
#include "store/ScheduleFile.h"
#include "support/FilePermissions.h"
#include "support/Files.h"
#include "support/ScheduleRows.h"
#include "support/TestEnv.h"

#include <sqlite3.h>

#include <QRandomGenerator>
#include <QtTest>
#include <cstdio>
#include <memory>

using namespace store;
using testrows::DayRow;
using testrows::dayRows;

namespace {

const QString kContent = QStringLiteral("内容");

// One slot saved through the save rule, or read back and the item expected there.
struct Save {
    QString date;
    int slot = 0;
    SlotItem item;
};

// The rows of the recordset as "field|field|…" (NULL for no value), or one column of them.
QStringList shown(const DataControl& data, int onlyColumn = -1) {
    QStringList rows;
    for (int row = 0; row < data.recordCount(); ++row) {
        QStringList values;
        for (int column = 0; column < data.fieldNames().size(); ++column) {
            const QVariant value = data.value(row, column).value();
            if (onlyColumn < 0 || column == onlyColumn)
                values << (value.isNull() ? QStringLiteral("NULL") : value.toString());
        }
        rows << values.join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(DayRow)
Q_DECLARE_METATYPE(Save)

class TestStore : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        env_ = std::make_unique<testsupport::TestEnv>();
        path_ = env_->makeScheduleFile();
    }
    void cleanup() { env_.reset(); }

    // --- the file ---

    void newFileColumns_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("columns");
        const QStringList day{"年月日", "項目番号", "レベル", "内容", "アラーム", "時刻"};
        QTest::newRow("day query") << "SELECT * FROM 予定表 ;" << day;
        QTest::newRow("day table") << "予定表" << day;
        QTest::newRow("todo table") << "ToDoリスト" << QStringList{"年月日",     "項目番号", "キーワード",
                                                                   "やるべき事", "チェック", "時刻"};
        QTest::newRow("todo projection") << "SELECT やるべき事 FROM ToDoリスト;" << QStringList{"やるべき事"};
    }

    void newFileColumns() {
        QFETCH(QString, source);
        QFETCH(QStringList, columns);
        DataControl data;
        data.setDatabaseName(path_);
        data.setRecordSource(source);
        const Error error = data.refresh();
        QVERIFY2(error.ok(), qPrintable(error.message));
        QCOMPARE(data.fieldNames(), columns);
        QCOMPARE(data.recordCount(), 0);
        QCOMPARE(data.absolutePosition(), -1);
        QVERIFY(!data.hasCurrentRow());
        QVERIFY(!data.field(columns.first()).ok());
    }

    void createRefusesExistingOrMissingFolder() {
        const QString existing = env_->path(QStringLiteral("keep.sdb"));
        QVERIFY(testsupport::writeBytes(existing, "not mine to overwrite"));
        QVERIFY(createScheduleFile(existing).failed());
        QCOMPARE(testsupport::fileBytes(existing), QByteArray("not mine to overwrite"));

        const QString inMissingFolder = env_->path(QStringLiteral("no such folder/new.sdb"));
        QVERIFY(createScheduleFile(inMissingFolder).failed());
        QVERIFY(!QFile::exists(inMissingFolder));

        // A second creation at the same path fails; the first file keeps its tables.
        QVERIFY(createScheduleFile(path_).failed());
        testrows::addDays(path_, {{"2026/1/5", 1, {}, "残る"}});
        QCOMPARE(dayRows(path_).size(), 1);
    }

    void pathsNeedingEncoding_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("japanese") << "予定表ファイル.SDB";
        QTest::newRow("blank") << "my schedule.sdb";
        QTest::newRow("hash and question") << "a#b?c.sdb";
        QTest::newRow("percent") << "100%25.sdb";
        QTest::newRow("ampersand and equals") << "x&mode=ro.sdb";
    }

    void pathsNeedingEncoding() {
        QFETCH(QString, name);
        const QString folder = env_->path(QStringLiteral("フォルダ #1"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QLatin1Char('/') + name;
        const Error created = createScheduleFile(path);
        QVERIFY2(created.ok(), qPrintable(created.message));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{name});
        testrows::addDays(path, {{"2026/1/5", 1, {}, "書ける"}});
        QCOMPARE(dayRows(path), QStringList{"2026/1/5|1|NULL|書ける|False|####"});
    }

    void openMissingCreatesNothing() {
        const QString missing = env_->path(QStringLiteral("missing.sdb"));
        Error error;
        QVERIFY(!Connection::open(missing, &error));
        QCOMPARE(error.code, SQLITE_CANTOPEN);
        DataControl data;
        QCOMPARE(openDayTable(data, missing).code, SQLITE_CANTOPEN);
        QVERIFY(!data.isOpen());
        QCOMPARE(QDir(env_->path(QString())).entryList(QDir::Files | QDir::Hidden), QStringList{"test.sdb"});
    }

    void notADatabase() {
        QByteArray bytes(8192, '\0');
        QRandomGenerator random(20260105);
        for (char& byte : bytes)
            byte = static_cast<char>(random.bounded(256));
        QVERIFY(testsupport::writeBytes(path_, bytes));

        DataControl data;
        const Error opened = openDayTable(data, path_);
        QCOMPARE(opened.code, SQLITE_NOTADB);
        QVERIFY(describe(opened).startsWith(
            QStringLiteral("スケジュールファイルがデータベースではありません\n")));
        QCOMPARE(readSlot(data, "2026/1/5", 1).error().code, SQLITE_NOTADB);
        QCOMPARE(saveSlot(data, "2026/1/5", 1, {"x", {}, false, {}}).code, SQLITE_NOTADB);
        DayStore days(path_);
        QCOMPARE(days.datesWithItems({"2026/1/5"}).error().code, SQLITE_NOTADB);
        DayRecords records;
        QCOMPARE(days.readDay(QDate(2026, 1, 5), records).code, SQLITE_NOTADB);
        QCOMPARE(testsupport::fileBytes(path_), bytes);
    }

    void missingTable() {
        QVERIFY(testsupport::execSql(
            path_,
            QStringLiteral("DROP TABLE ToDoリスト; DROP TABLE 予定表; CREATE TABLE 予定表 (年月日 TEXT, "
                           "項目番号 REAL)")));
        DataControl data;
        QVERIFY(openDayTable(data, path_).ok()); // the file is a database; its tables are not checked here
        data.setRecordSource(QStringLiteral("SELECT やるべき事 FROM ToDoリスト;"));
        const Error error = data.refresh();
        QCOMPARE(error.code, SQLITE_ERROR);
        QVERIFY(describe(error).startsWith(QStringLiteral("スケジュールファイルの形式が正しくありません\n")));
        QVERIFY(describe(error).contains(QStringLiteral("no such table")));

        // The table is there but lacks a field.
        QCOMPARE(saveSlot(data, "2026/1/5", 1, {"x", {}, false, {}}).code, SQLITE_ERROR);
        QCOMPARE(readSlot(data, "2026/1/5", 1).value(), SlotItem());
    }

    // A column of the file's own that may not be empty, and a damaged page: each is named.
    void fileFaultsAreNamed() {
        QVERIFY(testsupport::execSql(
            path_,
            QStringLiteral("ALTER TABLE 予定表 RENAME TO items; CREATE TABLE 予定表 (年月日 TEXT, 項目番号 "
                           "REAL, レベル REAL, 内容 TEXT, アラーム TEXT, 時刻 TEXT, 備考 TEXT NOT NULL)")));
        DataControl data;
        QVERIFY(openDayTable(data, path_).ok());
        const Error refused = saveSlot(data, "2026/1/5", 1, {"x", {}, false, {}});
        QCOMPARE(refused.code, SQLITE_CONSTRAINT);
        QVERIFY(describe(refused).contains(QStringLiteral("「備考」欄は空にできません")));
        data.close();

        // The first table's root page (the items) overwritten.
        const QString other = env_->makeScheduleFile(QStringLiteral("damaged.sdb"));
        testrows::addDays(other, {{"2026/1/5", 1, {}, "x"}});
        QByteArray bytes = testsupport::fileBytes(other);
        bytes.replace(4096, 4096, QByteArray(4096, '\xFF'));
        QVERIFY(testsupport::writeBytes(other, bytes));
        DayRecords records;
        const Error damaged = DayStore(other).readDay(QDate(2026, 1, 5), records);
        QCOMPARE(damaged.code, SQLITE_CORRUPT);
        QVERIFY(describe(damaged).startsWith(QStringLiteral("スケジュールファイルが壊れています")));
    }

    // A watch tells a change by another connection, and a file it cannot look at is an error,
    // never "unchanged". While nothing changes, asking does not look at the file.
    void fileWatch() {
        FileWatch watch(20);
        const auto changed = [&](const QString& path) {
            QCoreApplication::processEvents(); // the kernel's change reports
            const Result<bool> answer = watch.changed(path);
            return answer.ok() ? QString::number(answer.value()) : QString::number(answer.error().code);
        };
        QCOMPARE(changed(path_), QStringLiteral("1"));
        QCOMPARE(changed(path_), QStringLiteral("0"));
        const int looks = watch.looks();
        QCOMPARE(changed(path_), QStringLiteral("0"));
        QCOMPARE(watch.looks(), looks);
        testrows::addDays(path_, {{"2026/1/5", 1, {}, "x"}});
        QCOMPARE(changed(path_), QStringLiteral("1"));
        QCOMPARE(changed(path_), QStringLiteral("0"));

        // Another file renamed over the path, then changed in place.
        const QString replacement = path_ + QStringLiteral(".new");
        QVERIFY(QFile::copy(path_, replacement));
        QVERIFY(std::rename(QFile::encodeName(replacement).constData(),
                            QFile::encodeName(path_).constData()) == 0);
        QCOMPARE(changed(path_), QStringLiteral("1"));
        testrows::addDays(path_, {{"2026/1/6", 1, {}, "y"}});
        QCOMPARE(changed(path_), QStringLiteral("1"));
        QCOMPARE(changed(path_), QStringLiteral("0"));

        // A lock alone changes nothing; a write under way (its journal appears) finds the file
        // locked, and counts as a change once committed.
        testsupport::HeldConnection other(path_);
        QCOMPARE(other.exec("BEGIN EXCLUSIVE"), SQLITE_OK);
        QCOMPARE(changed(path_), QStringLiteral("0"));
        QCOMPARE(other.exec("UPDATE 予定表 SET 内容 = 'z'"), SQLITE_OK);
        QCOMPARE(changed(path_), QString::number(SQLITE_BUSY));
        QCOMPARE(other.exec("COMMIT"), SQLITE_OK);
        QCOMPARE(changed(path_), QStringLiteral("1"));

        QVERIFY(QFile::remove(path_));
        QCOMPARE(changed(path_), QString::number(SQLITE_CANTOPEN));
        QVERIFY(testsupport::writeBytes(path_, QByteArray(4096, 'x')));
        QCOMPARE(changed(path_), QString::number(SQLITE_NOTADB));
    }

    void lockedFile() {
        testsupport::HeldConnection other(path_);
        QCOMPARE(other.exec("BEGIN EXCLUSIVE"), SQLITE_OK);
        DataControl data; // waits for the busy timeout, then gives up
        const Error error = openDayTable(data, path_);
        QCOMPARE(error.code, SQLITE_BUSY);
        QVERIFY(
            describe(error).startsWith(QStringLiteral("スケジュールファイルは他のプログラムが使用中です\n")));
        QCOMPARE(other.exec("COMMIT"), SQLITE_OK);
        QVERIFY(openDayTable(data, path_).ok());
    }

    void heldStatementOutlivesCache() {
        Error error;
        auto connection = Connection::open(path_, &error);
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

    // --- the data control ---

    // Rows come back in the table's own order (the order they were added), also where the index on
    // (年月日, 項目番号) would give another, and ORDER BY keeps that order among equal keys.
    void queries_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("contents");
        QTest::newRow("table") << "予定表" << QStringList{"c", "a", "b", "d", "e", "f"};
        QTest::newRow("whole table") << "SELECT * FROM 予定表 ;" << QStringList{"c", "a", "b", "d", "e", "f"};
        QTest::newRow("date query uses the index") << dateQuery("2024/3/5") << QStringList{"c", "a", "b"};
        QTest::newRow("slot query") << slotQuery("2024/3/5", 2) << QStringList{"c", "b"};
        QTest::newRow("year like") << "SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' ;"
                                   << QStringList{"c", "a", "b", "d", "e"};
        QTest::newRow("year and month like")
            << "SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' AND 年月日 LIKE '*/3/*' ;"
            << QStringList{"c", "a", "b", "e"};
        QTest::newRow("content search")
            << "SELECT * FROM 予定表 WHERE 内容 LIKE '*[ab]*' ;" << QStringList{"a", "b"};
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
        QTest::newRow("level and alarm")
            << "SELECT * FROM 予定表 WHERE 項目番号 = 2 And レベル = 3 And アラーム = 'True';"
            << QStringList{"b"};
        QTest::newRow("no such level") << "SELECT * FROM 予定表 WHERE レベル = 1;" << QStringList{};
    }

    void queries() {
        QFETCH(QString, source);
        QFETCH(QStringList, contents);
        testrows::addDays(path_, {{"2024/3/5", 2, {}, "c"},
                                  {"2024/3/5", 1, {}, "a"},
                                  {"2024/3/5", 2, 3.0, "b", "True"},
                                  {"2024/10/1", 2, {}, "d"},
                                  {"2024/3/9", 1, {}, "e"},
                                  {"2025/1/1", 3, {}, "f"}});
        QCOMPARE(testrows::column(path_, source, 3), contents);
    }

    // Literals in the conditions of any shape give the rows the query text says.
    void conditionLiterals_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("contents");
        QTest::newRow("doubled quote")
            << "SELECT * FROM 予定表 WHERE 内容 = 'it''s' ;" << QStringList{"it's"};
        QTest::newRow("quote in pattern")
            << "SELECT * FROM 予定表 WHERE 内容 LIKE '*''*' ;" << QStringList{"it's", "x'41'"};
        QTest::newRow("decimal") << "SELECT * FROM 予定表 WHERE 項目番号 = 2.5 ;" << QStringList{"half"};
        QTest::newRow("in list") << "SELECT * FROM 予定表 WHERE 項目番号 IN (1, 3) ;"
                                 << QStringList{"it's", "x'41'"};
        QTest::newRow("blob literal")
            << "SELECT * FROM 予定表 WHERE CAST(内容 AS BLOB) = x'41' ;" << QStringList{"A"};
        QTest::newRow("text literal that looks like blob")
            << "SELECT * FROM 予定表 WHERE 内容 = 'x''41''' ;" << QStringList{"x'41'"};
        QTest::newRow("function arguments")
            << "SELECT * FROM 予定表 WHERE substr(年月日, 1, 4) = '2025' AND 項目番号 > 1 ;"
            << QStringList{"A", "half"};
        QTest::newRow("number against text") << "SELECT * FROM 予定表 WHERE 年月日 = 2024 ;" << QStringList{};
        QTest::newRow("same shape, other value")
            << "SELECT * FROM 予定表 WHERE 内容 = 'A' ;" << QStringList{"A"};
    }

    void conditionLiterals() {
        QFETCH(QString, query);
        QFETCH(QStringList, contents);
        testrows::addDays(path_, {{"2024/3/5", 1, {}, "it's"},
                                  {"2025/1/1", 2, {}, "A"},
                                  {"2024/3/5", 3, {}, "x'41'"},
                                  {"2025/1/1", 2.5, {}, "half"}});
        DataControl data;
        data.setDatabaseName(path_);
        // The same shape with another value first, so that a reused statement would show.
        data.setRecordSource(QStringLiteral("SELECT * FROM 予定表 WHERE 内容 = 'it''s' ;"));
        QVERIFY(data.refresh().ok());
        data.setRecordSource(query);
        const Error error = data.refresh();
        QVERIFY2(error.ok(), qPrintable(error.message));
        QCOMPARE(shown(data, 3), contents);
    }

    // Only one SELECT over one table gives rows that can be written back; anything else is refused
    // before it runs.
    void unsupportedSources_data() {
        QTest::addColumn<QString>("source");
        QTest::newRow("no statement") << " ; ";
        QTest::newRow("second statement") << "SELECT * FROM 予定表; DELETE FROM 予定表;";
        QTest::newRow("table then statement") << "予定表; DROP TABLE 予定表";
        QTest::newRow("two words") << "予定表 x";
        QTest::newRow("distinct") << "SELECT DISTINCT 内容 FROM 予定表";
        QTest::newRow("group by") << "SELECT 年月日, count(*) FROM 予定表 GROUP BY 年月日";
        QTest::newRow("two tables") << "SELECT * FROM 予定表, ToDoリスト";
        QTest::newRow("join") << "SELECT * FROM 予定表 JOIN ToDoリスト ON 1";
        QTest::newRow("compound") << "SELECT * FROM 予定表 UNION SELECT * FROM 予定表";
        QTest::newRow("no from") << "SELECT 1";
        QTest::newRow("alias missing") << "SELECT * FROM 予定表 AS";
        QTest::newRow("syntax") << "SELECT * FROM 予定表 WHERE 年月日='2024/1/1";
    }

    void unsupportedSources() {
        QFETCH(QString, source);
        testrows::addDays(path_, {{"2024/3/5", 1, {}, "a"}});
        DataControl data;
        data.setDatabaseName(path_);
        data.setRecordSource(source);
        QCOMPARE(data.refresh().code, SQLITE_ERROR);
        QCOMPARE(data.recordCount(), 0);
        QCOMPARE(dayRows(path_), QStringList{"2024/3/5|1|NULL|a|False|####"});
    }

    void fieldValues() {
        testrows::addDays(path_, {{"2026/1/5", 3, {}, "会議"}});
        DataControl data;
        data.setDatabaseName(path_);
        data.setRecordSource(QStringLiteral("SELECT * FROM 予定表 ;"));
        QVERIFY(data.refresh().ok());
        QCOMPARE(data.absolutePosition(), 0);
        const QVariant slot = data.field(QStringLiteral("項目番号")).value();
        QCOMPARE(slot.typeId(), QMetaType::Double);
        QCOMPARE(slot.toDouble(), 3.0);
        const QVariant level = data.field(QStringLiteral("レベル")).value();
        QVERIFY(level.isValid() && level.isNull());
        QCOMPARE(data.field(kContent).value(), QVariant(QStringLiteral("会議")));
        QCOMPARE(data.field(QStringLiteral("やるべき事")).error().code, SQLITE_ERROR);
    }

    void engineRefuses_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("stored"); // the row afterwards; the old one when refused
        const QString kept = QStringLiteral("2026/1/5|1|NULL|元|False|####");
        QTest::newRow("80 characters") << "内容" << QVariant(QString(80, u'あ'))
                                       << "2026/1/5|1|NULL|" + QString(80, u'あ') + "|True|####";
        QTest::newRow("81 characters") << "内容" << QVariant(QString(81, u'a')) << kept;
        QTest::newRow("81 kanji") << "内容" << QVariant(QString(81, u'漢')) << kept;
        QTest::newRow("zero-length content") << "内容" << QVariant(QString("")) << kept;
        QTest::newRow("zero-length time") << "時刻" << QVariant(QString("")) << kept;
        QTest::newRow("7-character time") << "時刻" << QVariant(QString("1234567")) << kept;
        QTest::newRow("time as typed")
            << "時刻" << QVariant(QString("9:30")) << "2026/1/5|1|NULL|元|True|9:30";
        QTest::newRow("slot not a number") << "項目番号" << QVariant(QString("一")) << kept;
        QTest::newRow("slot as number text")
            << "項目番号" << QVariant(QString("2")) << "2026/1/5|2|NULL|元|True|####";
        QTest::newRow("null content") << "内容" << QVariant() << "2026/1/5|1|NULL|NULL|True|####";
    }

    void engineRefuses() {
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QString, stored);
        const bool accepted = stored.contains(QLatin1String("|True|")); // the update also sets the alarm
        testrows::addDays(path_, {{"2026/1/5", 1, {}, "元"}});
        DataControl data;
        data.setDatabaseName(path_);
        data.setRecordSource(kDayTable);
        QVERIFY(data.refresh().ok());
        QVERIFY(data.edit().ok());
        QVERIFY(data.setField(field, value).ok());
        QVERIFY(
            data.setField(QStringLiteral("アラーム"), QStringLiteral("True")).ok()); // part of the same row
        const Error error = data.update();
        QCOMPARE(error.code, accepted ? 0 : SQLITE_CONSTRAINT);
        QVERIFY(!data.editing());
        QCOMPARE(shown(data), QStringList{stored});
        QCOMPARE(dayRows(path_), QStringList{stored});

        // A refused new row is not added either.
        QVERIFY(data.addNew().ok());
        QVERIFY(data.setField(kContent, QStringLiteral("新")).ok());
        QVERIFY(data.setField(field, value).ok());
        QCOMPARE(data.update().ok(), accepted);
        QCOMPARE(dayRows(path_).size(), accepted ? 2 : 1);
    }

    void deleteAndMoveNext() {
        DataControl data;
        data.setDatabaseName(path_);
        data.setRecordSource(QStringLiteral("SELECT やるべき事 FROM ToDoリスト;"));
        QVERIFY(data.refresh().ok());
        for (const char* todo : {"a", "b", "c"})
            QVERIFY(data.appendRow({{QStringLiteral("やるべき事"), QString::fromUtf8(todo)}}).ok());
        QVERIFY(data.appendRow({}).ok()); // an empty grid row adds nothing
        QCOMPARE(data.recordCount(), 3);
        QCOMPARE(data.absolutePosition(), -1); // refreshed while empty

        data.moveTo(1);
        QCOMPARE(data.field(QStringLiteral("やるべき事")).value().toString(), QStringLiteral("b"));
        QVERIFY(data.remove().ok());
        QCOMPARE(data.recordCount(), 2);
        QVERIFY(!data.hasCurrentRow());
        QVERIFY(data.remove().failed()); // nothing current to delete
        data.moveNext();
        QCOMPARE(data.absolutePosition(), 1);
        QCOMPARE(data.field(QStringLiteral("やるべき事")).value().toString(), QStringLiteral("c"));

        // Deleting the last row and moving on leaves no current row.
        QVERIFY(data.remove().ok());
        data.moveNext();
        QCOMPARE(data.absolutePosition(), -1);
        QCOMPARE(data.recordCount(), 1);

        QVERIFY(data.refresh().ok());
        QCOMPARE(shown(data), QStringList{"a"});
        QVERIFY(data.updateRow(0, {{QStringLiteral("やるべき事"), QStringLiteral("A")}}).ok());
        QCOMPARE(data.field(QStringLiteral("やるべき事")).value().toString(), QStringLiteral("A"));
    }

    void addNewAppends() {
        testrows::addDays(path_, {{"2026/1/5", 1, {}, "一"}, {"2026/1/5", 2, {}, "二"}});
        DataControl data;
        data.setDatabaseName(path_);
        data.setRecordSource(QStringLiteral("SELECT * FROM 予定表 ORDER BY 内容 ASC;"));
        QVERIFY(data.refresh().ok());
        data.moveTo(1);
        QVERIFY(data.addNew().ok());
        QVERIFY(data.setField(kContent, QStringLiteral("三")).ok());
        QCOMPARE(data.field(kContent).value().toString(), QStringLiteral("三"));
        QVERIFY(data.update().ok());
        QCOMPARE(data.recordCount(), 3);
        QCOMPARE(data.absolutePosition(), 1); // still the row that was current
        QCOMPARE(data.value(2, 3).value().toString(), QStringLiteral("三"));
        QCOMPARE(dayRows(path_).last(), QStringLiteral("NULL|NULL|NULL|三|NULL|NULL"));
    }

    // --- Day records ---

    void dateString_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("expected");
        QTest::newRow("5 January") << QDate(2026, 1, 5) << "2026/1/5";
        QTest::newRow("1 October") << QDate(2026, 10, 1) << "2026/10/1";
        QTest::newRow("31 January") << QDate(2026, 1, 31) << "2026/1/31";
        QTest::newRow("10 November") << QDate(2026, 11, 10) << "2026/11/10";
        QTest::newRow("invalid") << QDate() << "";
    }

    void dateString() {
        QFETCH(QDate, date);
        QFETCH(QString, expected);
        QCOMPARE(store::dateString(date), expected);
        if (date.isValid())
            QCOMPARE(store::dateString(date.year(), date.month(), date.day()), expected);
        // Read back, from text and from the stored bytes alike.
        QCOMPARE(store::dateOfString(expected), date);
        QCOMPARE(store::dateOfString(expected.toUtf8()), date);
    }

    // Only the form dateString() writes names a date.
    void dateStringRefused() {
        for (const QString& text :
             {QStringLiteral("2026/01/05"), QStringLiteral("2026/1/5 "), QStringLiteral("2026/2/30"),
              QStringLiteral("12026/1/5"), QStringLiteral("2026/1"), QStringLiteral("2026//5"),
              QStringLiteral("２０２６/1/5"), QStringLiteral("2026/1/5/7")}) {
            QVERIFY2(!store::dateOfString(text).isValid(), qPrintable(text));
            QVERIFY2(!store::dateOfString(text.toUtf8()).isValid(), qPrintable(text));
        }
        // The loose form takes leading zeros, nothing else the strict form refuses.
        QCOMPARE(store::dateOfString(QByteArrayView("2026/01/05"), store::DateForm::Loose),
                 QDate(2026, 1, 5));
        for (const char* text : {"2026/1/5 ", "2026/2/30", "2026//5", "2026/1/5/7", "123456/1/5"})
            QVERIFY2(!store::dateOfString(QByteArrayView(text), store::DateForm::Loose).isValid(), text);
    }

    // The save rule, one or more saves on the rows already there: the rows of the file afterwards,
    // and one slot read back through the read rule.
    void saveRule_data() {
        QTest::addColumn<QList<DayRow>>("before");
        QTest::addColumn<QList<Save>>("saves");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<Save>("read");
        const QList<DayRow> dentist{{"2026/1/5", 3, {}, "歯医者"}};
        const QStringList dentistRow{"2026/1/5|3|NULL|歯医者|False|####"};
        const QList<DayRow> duplicates{
            {"2026/1/5", 1, {}, "first"}, {"2026/1/6", 1, {}, "elsewhere"}, {"2026/1/5", 1, {}, "second"}};
        const QString hostile = QStringLiteral("x' OR '1'='1");

        QTest::newRow("new slot") << QList<DayRow>{}
                                  << QList<Save>{{"2026/1/5", 3, {"歯医者", "", false, ""}}} << dentistRow
                                  << Save{"2026/1/5", 3, {"歯医者", "", false, "####"}};
        QTest::newRow("leading zeros never match")
            << dentist << QList<Save>{} << dentistRow << Save{"2026/01/05", 3, {}};
        const SlotItem full{"会議", "ﾚﾍﾞﾙ5", true, "0930"};
        QTest::newRow("every field") << dentist << QList<Save>{{"2026/1/5", 3, full}}
                                     << QStringList{"2026/1/5|3|5|会議|True|0930"}
                                     << Save{"2026/1/5", 3, full};
        QTest::newRow("level kept when the text is no level")
            << QList<DayRow>{}
            << QList<Save>{{"2026/2/1", 1, {"x", "ﾚﾍﾞﾙ4", false, ""}},
                           {"2026/2/1", 1, {"x", "", false, ""}},
                           {"2026/2/1", 1, {"y", "レベル2", true, ""}}}
            << QStringList{"2026/2/1|1|4|y|True|####"} << Save{"2026/2/1", 1, {"y", "ﾚﾍﾞﾙ4", true, "####"}};
        QTest::newRow("single blank is content")
            << QList<DayRow>{} << QList<Save>{{"2026/1/31", 2, {" ", "", false, ""}}}
            << QStringList{"2026/1/31|2|NULL| |False|####"} << Save{"2026/1/31", 2, {" ", "", false, "####"}};
        // Clearing the content deletes the row whatever the other controls hold.
        QTest::newRow("clearing deletes only that slot")
            << QList<DayRow>{{"2026/10/1", 1, 1.0, "1", "False", "1200"},
                             {"2026/10/1", 2, 2.0, "2", "True", "1200"},
                             {"2026/10/1", 3, 3.0, "3", "False", "1200"},
                             {"2026/10/1", 4, 4.0, "4", "True", "1200"},
                             {"2026/10/2", 2, {}, "other day"}}
            << QList<Save>{{"2026/10/1", 2, {"", "ﾚﾍﾞﾙ1", true, "0800"}}}
            << QStringList{"2026/10/1|1|1|1|False|1200", "2026/10/1|3|3|3|False|1200",
                           "2026/10/1|4|4|4|True|1200", "2026/10/2|2|NULL|other day|False|####"}
            << Save{"2026/10/1", 2, {}};
        QTest::newRow("empty slot without a row")
            << QList<DayRow>{{"2026/1/5", 2, {}, "残る"}} << QList<Save>{{"2026/1/5", 1, {}}}
            << QStringList{"2026/1/5|2|NULL|残る|False|####"} << Save{"2026/1/5", 1, {}};
        QTest::newRow("duplicates: the first is edited")
            << duplicates << QList<Save>{{"2026/1/5", 1, {"edited", "", false, ""}}}
            << QStringList{"2026/1/5|1|NULL|edited|False|####", "2026/1/6|1|NULL|elsewhere|False|####",
                           "2026/1/5|1|NULL|second|False|####"}
            << Save{"2026/1/5", 1, {"edited", "", false, "####"}};
        QTest::newRow("duplicates: the first is deleted")
            << duplicates << QList<Save>{{"2026/1/5", 1, {}}}
            << QStringList{"2026/1/6|1|NULL|elsewhere|False|####", "2026/1/5|1|NULL|second|False|####"}
            << Save{"2026/1/5", 1, {"second", "", false, "####"}};
        QTest::newRow("a quote in the date matches nothing")
            << dentist << QList<Save>{{hostile, 3, {}}} << dentistRow << Save{hostile, 3, {}};
    }

    void saveRule() {
        QFETCH(QList<DayRow>, before);
        QFETCH(QList<Save>, saves);
        QFETCH(QStringList, after);
        QFETCH(Save, read);
        testrows::addDays(path_, before);
        DataControl data;
        QVERIFY(openDayTable(data, path_).ok());
        for (const Save& save : saves) {
            const Error error = saveSlot(data, save.date, save.slot, save.item);
            QVERIFY2(error.ok(), qPrintable(error.message));
        }
        QCOMPARE(dayRows(path_), after);
        QCOMPARE(readSlot(data, read.date, read.slot).value(), read.item);
    }

    void saveRefusedContent() {
        testrows::addDays(path_, {{"2026/1/5", 1, 2.0, "kept", "True", "0700"}});
        DataControl data;
        QVERIFY(openDayTable(data, path_).ok());
        QCOMPARE(saveSlot(data, "2026/1/5", 2, {QString(81, u'x'), {}, false, {}}).code, SQLITE_CONSTRAINT);
        const Error error = saveSlot(data, "2026/1/5", 1, {"new", {}, false, "1234567"});
        QCOMPARE(error.code, SQLITE_CONSTRAINT);
        QVERIFY(describe(error).startsWith(
            QStringLiteral("入力された値が長すぎるか空です。「時刻」は1～6文字で入力してください。\nCHECK")));
        QCOMPARE(dayRows(path_), QStringList{"2026/1/5|1|2|kept|True|0700"});
    }

    // The item shown for a stored row: a level only for exactly 1..5, the alarm only for "True".
    void slotReading_data() {
        QTest::addColumn<QVariant>("level");
        QTest::addColumn<QVariant>("alarm");
        QTest::addColumn<QVariant>("time");
        QTest::addColumn<SlotItem>("item");
        const QVariant on("True");
        const QVariant time("2359");
        QTest::newRow("level 1") << QVariant(1.0) << on << time << SlotItem{"c", "ﾚﾍﾞﾙ1", true, "2359"};
        QTest::newRow("level 5, alarm off")
            << QVariant(5.0) << QVariant("False") << time << SlotItem{"c", "ﾚﾍﾞﾙ5", false, "2359"};
        QTest::newRow("level 0") << QVariant(0.0) << on << time << SlotItem{"c", "", true, "2359"};
        QTest::newRow("level 6") << QVariant(6.0) << on << time << SlotItem{"c", "", true, "2359"};
        QTest::newRow("level 2.5") << QVariant(2.5) << on << time << SlotItem{"c", "", true, "2359"};
        QTest::newRow("lower-case true")
            << QVariant(3.0) << QVariant("true") << time << SlotItem{"c", "ﾚﾍﾞﾙ3", false, "2359"};
        QTest::newRow("other alarm text")
            << QVariant(3.0) << QVariant("オン") << time << SlotItem{"c", "ﾚﾍﾞﾙ3", false, "2359"};
        QTest::newRow("no values") << QVariant() << QVariant() << QVariant() << SlotItem{"c", "", false, ""};
    }

    void slotReading() {
        QFETCH(QVariant, level);
        QFETCH(QVariant, alarm);
        QFETCH(QVariant, time);
        QFETCH(SlotItem, item);
        DataControl data;
        QVERIFY(openDayTable(data, path_).ok());
        QVERIFY(data.refresh().ok());
        QVERIFY(data.appendRow({{QStringLiteral("年月日"), QStringLiteral("2026/1/5")},
                                {QStringLiteral("項目番号"), 4.0},
                                {QStringLiteral("レベル"), level},
                                {kContent, QStringLiteral("c")},
                                {QStringLiteral("アラーム"), alarm},
                                {QStringLiteral("時刻"), time}})
                    .ok());
        QCOMPARE(readSlot(data, "2026/1/5", 4).value(), item);
    }

    void datesWithItems() {
        testrows::addDays(path_, {{"2026/3/5", 4, {}, "only slot 4"},
                                  {"2026/3/12", 1, {}, "a"},
                                  {"2026/3/12", 2, {}, "b"},
                                  {"2026/4/1", 1, {}, "next month"},
                                  {"2026/3/1", 1, {}, "a"}});
        DataControl data;
        QVERIFY(openDayTable(data, path_).ok());
        QVERIFY(data.refresh().ok());
        // A row without content does not mark its date.
        QVERIFY(data.appendRow({{QStringLiteral("年月日"), QStringLiteral("2026/3/20")},
                                {QStringLiteral("項目番号"), 1.0}})
                    .ok());

        DayStore days(path_, 0);
        QStringList march;
        for (int day = 1; day <= 31; ++day)
            march << store::dateString(2026, 3, day);
        QCOMPARE(days.datesWithItems(march).value(), (QStringList{"2026/3/1", "2026/3/5", "2026/3/12"}));

        // The same answer as the Date query of each day; many dates at once.
        QStringList years;
        for (QDate date(2020, 1, 1); date.year() < 2030; date = date.addDays(1))
            years << store::dateString(date);
        QCOMPARE(days.datesWithItems(years).value(),
                 (QStringList{"2026/3/1", "2026/3/5", "2026/3/12", "2026/4/1"}));
        QVERIFY(days.datesWithItems({}).ok());
    }

    // The alarm check's reads: the armed items of a date from each slot's first row, and disarming
    // the slot's first row only.
    void armedItemsAndDisarm() {
        const QDate day(2026, 3, 5);
        DayStore days(path_);
        std::array<SlotItem, kSlotCount> loaded;
        std::array<SlotItem, kSlotCount> wanted{SlotItem{"朝", {}, true, "0700"},
                                                SlotItem{"昼", {}, false, "1200"}, SlotItem{},
                                                SlotItem{"夜", {}, true, QString()}};
        QVERIFY(days.saveDay(day, loaded, wanted).ok());
        testrows::addDays(path_, {{"2026/3/5", 3, {}, "later row of slot 3"}});
        const Result<std::vector<ArmedItem>> found = days.armedItems(day);
        QVERIFY(found.ok());
        const std::vector<ArmedItem>& armed = found.value();
        QCOMPARE(armed.size(), size_t(2));
        QCOMPARE((std::tuple{armed[0].slot, armed[0].timeText, armed[0].content}),
                 (std::tuple{1, QStringLiteral("0700"), QStringLiteral("朝")}));
        QCOMPARE((std::tuple{armed[1].slot, armed[1].timeText, armed[1].content}),
                 (std::tuple{4, kEmptyTime, QStringLiteral("夜")}));

        QVERIFY(days.disarm(day, 1).ok());
        QCOMPARE(days.armedItems(day).value().size(), size_t(1));
        QCOMPARE(days.disarm(day, 3).code, 0); // a row, even one without an alarm
        QCOMPARE(days.disarm(QDate(2026, 3, 6), 1).code, SQLITE_ERROR);
        QCOMPARE(dayRows(path_), (QStringList{"2026/3/5|1|NULL|朝|False|0700",
                                              "2026/3/5|2|NULL|昼|False|1200", "2026/3/5|4|NULL|夜|True|####",
                                              "2026/3/5|3|NULL|later row of slot 3|False|####"}));
    }

    // A file deleted or replaced while a data control holds it open: writes must not go into the
    // unlinked file, and the next refresh reads what is at the path now.
    void deletedOrReplacedFile() {
        testrows::addDays(path_, {{"2026/3/5", 1, {}, "before"}});
        DataControl data;
        QVERIFY(openDayTable(data, path_).ok());
        data.setRecordSource(slotQuery("2026/3/5", 1));
        QVERIFY(data.refresh().ok());
        QVERIFY(data.hasCurrentRow());

        QVERIFY(QFile::remove(path_));
        QCOMPARE(data.updateRow(0, {{kContent, QStringLiteral("lost?")}}).code, SQLITE_CANTOPEN);
        QCOMPARE(data.remove().code, SQLITE_CANTOPEN);
        QCOMPARE(data.refresh().code, SQLITE_CANTOPEN);
        QVERIFY(!QFile::exists(path_)); // nothing created on the way

        // Another file put in its place is the one read from now on.
        const QString other = env_->makeScheduleFile(QStringLiteral("other.sdb"));
        testrows::addDays(other, {{"2026/3/5", 1, {}, "after"}});
        QVERIFY(QFile::rename(other, path_));
        QVERIFY(data.refresh().ok());
        QCOMPARE(data.field(kContent).value().toString(), QStringLiteral("after"));
    }

    void dateIndexOnOpen_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("indexesAfter"); // indexes of 予定表 that start with 年月日
        QTest::newRow("plain table, no index") << "plain" << 1;
        QTest::newRow("made by this program") << "created" << 1;
        QTest::newRow("an index of its own on 年月日") << "own index" << 1;
        QTest::newRow("read-only") << "read-only" << 0;
        QTest::newRow("another program writing") << "writing" << 0;
    }

    // A file opened for writing gets the index on (年月日, 項目番号) when it has none that starts with
    // 年月日, with the busy hook around the work; a file that cannot be written is read without it.
    void dateIndexOnOpen() {
        QFETCH(QString, file);
        QFETCH(int, indexesAfter);
        if (file != QLatin1String("created")) // the table as another program makes it, without the index
            QVERIFY(testsupport::execSql(
                path_,
                QStringLiteral("DROP TABLE 予定表; CREATE TABLE 予定表 (年月日 TEXT(12), 項目番号 REAL, "
                               "レベル REAL, 内容 TEXT(80), アラーム TEXT(10), 時刻 TEXT(6));")));
        QVERIFY(testsupport::execSql(
            path_, QStringLiteral("INSERT INTO 予定表 VALUES ('2026/1/5', 1, NULL, 'a', 'False', '####');")));
        if (file == QLatin1String("own index"))
            QVERIFY(testsupport::execSql(path_, QStringLiteral("CREATE INDEX mine ON 予定表 (年月日)")));
        testsupport::HeldConnection other(path_);
        if (file == QLatin1String("writing"))
            QCOMPARE(other.exec("BEGIN IMMEDIATE"), SQLITE_OK);
        std::unique_ptr<testsupport::PermissionsApply> permissions;
        if (file == QLatin1String("read-only")) {
            QVERIFY(QFile::setPermissions(path_, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            permissions = std::make_unique<testsupport::PermissionsApply>();
        }
        QStringList hookCalls;
        setLongWorkHook([&](bool started) { hookCalls << (started ? "start" : "end"); });

        DataControl data;
        data.setDatabaseName(path_);
        data.setRecordSource(slotQuery("2026/1/5", 1));
        const Error error = data.refresh();
        setLongWorkHook({});
        QVERIFY2(error.ok(), qPrintable(error.message));
        QCOMPARE(data.field(kContent).value().toString(), QStringLiteral("a"));
        other.exec("COMMIT");
        const bool tried = file == QLatin1String("plain") || file == QLatin1String("writing");
        QCOMPARE(hookCalls, tried ? QStringList({"start", "end"}) : QStringList());
        QCOMPARE(testsupport::sqlColumn(
                     path_, QStringLiteral("SELECT count(*) FROM pragma_index_list('予定表') AS l, "
                                           "pragma_index_info(l.name) AS i WHERE i.seqno = 0 AND "
                                           "i.name = '年月日'")),
                 QStringList{QString::number(indexesAfter)});
    }

  private:
    std::unique_ptr<testsupport::TestEnv> env_;
    QString path_; // a new Schedule file for each test
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
