// A read that fails is never taken for one that found nothing. A stored value larger than a read
// may make, another program's lock and a row deleted under a recordset each reach the import, both
// exports and an edit in the list grid: every one ends in an error, and the Schedule file and the
// export target are left as they were.

#include "controls/RecordsetModel.h"
#include "exchange/Csv.h"
#include "exchange/IcalExport.h"
#include "exchange/IcalImport.h"
#include "store/DataControl.h"
#include "store/ScheduleLayout.h"
#include "support/Files.h"
#include "support/TestEnv.h"

#include <QtTest>
#include <memory>

namespace {

enum class Fault { TooBig, Locked, Vanished };
enum class Action { Import, IcsExport, CsvExport, GridEdit };

// The rows of the file: one on 1/5 in slot 1 (the one made too big), one on 1/6.
constexpr int kBigRow = 0;
constexpr int kOtherRow = 1;

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Action)

class TestReadFailures : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void readFailure_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<Action>("action");
        const std::pair<const char*, Action> actions[] = {{"import", Action::Import},
                                                          {"iCalendar export", Action::IcsExport},
                                                          {"CSV export", Action::CsvExport},
                                                          {"grid edit", Action::GridEdit}};
        for (const auto& [name, action] : actions) {
            QTest::addRow("value too big: %s", name) << Fault::TooBig << action;
            QTest::addRow("file locked: %s", name) << Fault::Locked << action;
        }
        // Import and the iCalendar export read the file with one statement each: a row cannot go
        // between two of their reads.
        QTest::newRow("row gone: CSV export") << Fault::Vanished << Action::CsvExport;
        QTest::newRow("row gone: grid edit") << Fault::Vanished << Action::GridEdit;
    }

    void readFailure() {
        QFETCH(Fault, fault);
        QFETCH(Action, action);
        testsupport::TestEnv env;
        // A file from elsewhere: plain tables, so the engine stores a text of any length.
        const QString file = env.path(QStringLiteral("other.sdb"));
        QVERIFY(testsupport::writeBytes(file, {}));
        QVERIFY(testsupport::execSql(
            file, QStringLiteral("CREATE TABLE 予定表 (年月日 TEXT, 項目番号 REAL, レベル REAL, 内容 TEXT, "
                                 "アラーム TEXT, 時刻 TEXT); CREATE TABLE ToDoリスト (やるべき事 TEXT);"
                                 "INSERT INTO 予定表 VALUES ('2026/1/5', 1, NULL, '会議', 'False', '1000'),"
                                 "('2026/1/6', 1, NULL, '二行目', 'False', '####');")));
        if (fault == Fault::TooBig)
            QVERIFY(testsupport::execSql(
                file,
                QStringLiteral("UPDATE 予定表 SET 内容 = hex(zeroblob(1048576)) WHERE 年月日 = '2026/1/5'")));

        // The list grid and the CSV export read a recordset that was opened before the fault.
        store::DataControl data;
        data.setDatabaseName(file);
        data.setRecordSource(store::kDayTable);
        QVERIFY(data.refresh().ok());
        QCOMPARE(data.recordCount(), 2);
        data.connection()->setBusyTimeout(100);
        controls::RecordsetModel model(data);
        const int row = fault == Fault::TooBig ? kBigRow : kOtherRow;
        const QModelIndex content =
            model.index(row, static_cast<int>(data.fieldNames().indexOf(store::kContentField)));

        testsupport::HeldConnection other(file);
        if (fault == Fault::Locked)
            QCOMPARE(other.exec("BEGIN EXCLUSIVE"), SQLITE_OK);
        else if (fault == Fault::Vanished)
            QCOMPARE(other.exec("DELETE FROM 予定表 WHERE 年月日 = '2026/1/6'"), SQLITE_OK);
        const QByteArray before = testsupport::fileBytes(file);
        const QString target = env.path(QStringLiteral("out"));

        QString failure;
        switch (action) {
        case Action::Import: {
            // Slot 1 of 1/5 is taken, whatever its content: the event must not replace it.
            const exchange::ImportReport report = exchange::importCalendar(
                exchange::Calendar::parse(
                    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//t//EN\r\n"
                    "BEGIN:VEVENT\r\nUID:a\r\nDTSTAMP:20260101T000000Z\r\n"
                    "DTSTART;VALUE=DATE:20260105\r\nSUMMARY:取込\r\nX-DADUVOV-SLOT:1\r\n"
                    "END:VEVENT\r\nEND:VCALENDAR\r\n"),
                file, {QDate(2026, 1, 1), QDate(2026, 12, 31)});
            QCOMPARE(report.added, 0);
            failure = report.failure;
            break;
        }
        case Action::IcsExport:
            failure = exchange::exportIcs(file, target).failure;
            break;
        case Action::CsvExport:
            failure = exchange::exportCsv(data, target).failure;
            break;
        case Action::GridEdit: {
            QCOMPARE(model.data(content).toString(), controls::RecordsetModel::kUnreadable);
            QVERIFY(!model.data(content, Qt::ToolTipRole).toString().isEmpty());
            QVERIFY(!(model.flags(content) & Qt::ItemIsEditable));
            // Even typed into, the row is never written over unseen.
            QVERIFY(model.setData(content, QStringLiteral("上書き")));
            const store::Error error = model.commitRow();
            QVERIFY(error.failed());
            failure = store::describe(error);
            break;
        }
        }
        QVERIFY2(!failure.isEmpty(), "a failed read was reported as success");
        QCOMPARE(testsupport::fileBytes(file), before);
        QVERIFY(!QFile::exists(target));

        if (fault == Fault::Locked && action == Action::GridEdit) {
            // Once the other program lets go, the grid shows the row again without a click.
            model.discardPending();
            QCOMPARE(other.exec("COMMIT"), SQLITE_OK);
            QTRY_COMPARE(model.data(content).toString(), QStringLiteral("二行目"));
            QVERIFY(model.flags(content) & Qt::ItemIsEditable);
        }
    }
};

QTEST_MAIN(TestReadFailures)
#include "test_read_failures.moc"
