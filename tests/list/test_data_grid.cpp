// The data grid over a data control: the model under Qt's model tester, the record selector,
// edits written when the row is left, refused values, the new row and deleting.

#define QTEST_QPA_MOUSE_HANDLING
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "store/Error.h"
#include "support/WindowFixture.h"

#include <QAbstractItemModelTester>
#include <QtTest>

using controls::DataGrid;
using controls::RecordsetModel;
using testsupport::clickCell;
using testsupport::openCellEditor;

namespace {

const QString kDays = QStringLiteral("予定表");
const QString kTodoQuery = store::todoListSource();

QString content(const QString& file) {
    return testrows::column(file, QStringLiteral("予定表"), 3).join(QLatin1Char('|'));
}

// A data grid over a data control of its own, opened on a record source of the test file.
struct GridOnFile {
    GridOnFile(const QString& file, const QString& source) {
        grid.setFieldWidths(store::dayTextWidths());
        data.setDatabaseName(file);
        data.setRecordSource(source);
        opened = data.refresh().ok();
        grid.rebind();
    }
    // Shows the grid as a window of `size`; false when it did not appear.
    bool show(QSize size = QSize(600, 300), bool newRow = false) {
        grid.setNewRowEnabled(newRow);
        grid.resize(size);
        grid.show();
        const bool exposed = QTest::qWaitForWindowExposed(&grid);
        grid.rebind();
        return exposed;
    }

    store::DataControl data;
    bool opened = false;
    DataGrid grid{data};
};

} // namespace

class TestDataGrid : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { controls::registerFontSubstitutions(); }
    void init();
    void cleanup() { fx_.reset(); }

    void modelUnderTester();
    void columnsAndValues();
    void recordSelector();
    void editWrittenWhenLeavingTheRow();
    void numberField_data();
    void numberField();
    void refusedValue_data();
    void refusedValue();
    void newRowAddsRecord();
    void deleteMovesToNextRecord();

  private:
    // Starts the floating editor on a cell and types `text` over its content.
    QLineEdit* typeInto(DataGrid& grid, int row, int column, const QString& text);

    std::unique_ptr<testsupport::WindowFixture> fx_;
    QString file_;
};

void TestDataGrid::init() {
    fx_ = std::make_unique<testsupport::WindowFixture>();
    file_ = fx_->file;
    testrows::addDays(file_, {{QStringLiteral("2024/1/5"), 1, 3.0, QStringLiteral("会議")},
                              {QStringLiteral("2024/2/1"), 2, QVariant(), QStringLiteral("歯医者"),
                               QStringLiteral("True"), QStringLiteral("0930")},
                              {QStringLiteral("2024/3/1"), 4, 5.0, QStringLiteral("旅行")}});
}

QLineEdit* TestDataGrid::typeInto(DataGrid& grid, int row, int column, const QString& text) {
    // A click on the current cell would start the editor only after the double-click interval.
    if (grid.currentIndex() != grid.model()->index(row, column))
        clickCell(&grid, row, column);
    QTest::keyClick(&grid, Qt::Key_F2);
    QLineEdit* editor = openCellEditor(&grid);
    if (!editor)
        return nullptr;
    editor->selectAll();
    if (text.isEmpty())
        QTest::keyClick(editor, Qt::Key_Delete);
    else
        QTest::keyClicks(editor, text);
    return editor;
}

void TestDataGrid::modelUnderTester() {
    GridOnFile on(file_, kDays);
    QVERIFY(on.opened);
    store::DataControl& data = on.data;
    RecordsetModel model(data);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    model.setNewRowEnabled(true);
    model.reload();
    QCOMPARE(model.rowCount(), 4);
    // An edit of a record, then one of the new row, each written on its own.
    QVERIFY(model.setData(model.index(1, 3), QStringLiteral("歯医者（予約済）")));
    QVERIFY(model.commitRow().ok());
    QVERIFY(model.setData(model.index(3, 3), QStringLiteral("新しい予定")));
    QVERIFY(model.setData(model.index(3, 0), QStringLiteral("2024/4/1")));
    QVERIFY(model.commitRow().ok());
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.index(3, 3).data().toString(), QStringLiteral("新しい予定"));
    // A refused row, then deletes at the front and the end.
    QVERIFY(model.setData(model.index(0, 3), QString(81, QLatin1Char('x'))));
    QVERIFY(model.commitRow().failed());
    data.moveTo(0);
    QVERIFY(model.removeCurrent().ok());
    data.moveTo(data.recordCount() - 1);
    QVERIFY(model.removeCurrent().ok());
    QCOMPARE(model.rowCount(), 3);
    data.setRecordSource(QStringLiteral("SELECT * FROM 予定表 WHERE 項目番号 = 9;"));
    QVERIFY(data.refresh().ok());
    model.reload();
    QCOMPARE(model.rowCount(), 1);
}

void TestDataGrid::columnsAndValues() {
    GridOnFile on(file_, kDays);
    QVERIFY(on.opened);
    DataGrid& grid = on.grid;
    QCOMPARE(grid.model()->columnCount(), 6);
    QCOMPARE(grid.model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("内容"));
    QCOMPARE(grid.model()->index(0, 1).data().toString(), QStringLiteral("1"));
    QCOMPARE(grid.model()->index(0, 2).data().toString(), QStringLiteral("3"));
    QCOMPARE(grid.model()->index(1, 2).data().toString(), QString()); // no level
    QCOMPARE(grid.model()->index(1, 5).data().toString(), QStringLiteral("0930"));
    QCOMPARE(grid.model()->rowCount(), 3); // no new row unless asked for
}

void TestDataGrid::recordSelector() {
    GridOnFile on(file_, kDays);
    QVERIFY(on.opened && on.show(QSize(500, 300), true));
    store::DataControl& data = on.data;
    DataGrid& grid = on.grid;
    auto mark = [&](int row) { return grid.model()->headerData(row, Qt::Vertical).toString(); };
    QCOMPARE(mark(0), RecordsetModel::kCurrentMark);
    QCOMPARE(mark(3), RecordsetModel::kNewRowMark);

    clickCell(&grid, 2, 3);
    QCOMPARE(data.absolutePosition(), 2);
    QCOMPARE(mark(0), QString());
    QCOMPARE(mark(2), RecordsetModel::kCurrentMark);
    QVERIFY(typeInto(grid, 2, 3, QStringLiteral("x")));
    QTest::keyClick(openCellEditor(&grid), Qt::Key_Return);
    QTRY_COMPARE(mark(2), RecordsetModel::kEditingMark);
    // The new row is no record.
    clickCell(&grid, 3, 0);
    QVERIFY(!data.hasCurrentRow());
    QCOMPARE(mark(2), QString());
}

void TestDataGrid::editWrittenWhenLeavingTheRow() {
    GridOnFile on(file_, kDays);
    QVERIFY(on.opened && on.show());
    DataGrid& grid = on.grid;

    QLineEdit* editor = typeInto(grid, 0, 3, QStringLiteral("Meeting"));
    QVERIFY(editor);
    // Another cell of the same row: nothing is written yet.
    clickCell(&grid, 0, 5);
    QVERIFY(typeInto(grid, 0, 5, QStringLiteral("1000")));
    clickCell(&grid, 0, 0);
    QCOMPARE(content(file_), QStringLiteral("会議|歯医者|旅行"));
    QCOMPARE(grid.model()->index(0, 3).data().toString(), QStringLiteral("Meeting"));
    // Leaving the row writes both cells at once.
    clickCell(&grid, 1, 0);
    QCOMPARE(content(file_), QStringLiteral("Meeting|歯医者|旅行"));
    QCOMPARE(testrows::column(file_, kDays, 5).first(), QStringLiteral("1000"));
    QVERIFY(fx_->platform.messages.isEmpty());

    // commitEdits() writes a row the user has not left yet (before a refresh or a close).
    QVERIFY(typeInto(grid, 2, 3, QStringLiteral("Trip")));
    QVERIFY(grid.commitEdits());
    QCOMPARE(content(file_), QStringLiteral("Meeting|歯医者|Trip"));
}

void TestDataGrid::numberField_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("condition"); // what the level of the edited record then meets
    QTest::addColumn<QString>("meeting");   // the contents of the records that meet it
    QTest::newRow("number") << QStringLiteral("4") << QStringLiteral("= 4") << QStringLiteral("旅行");
    QTest::newRow("cleared") << QString() << QStringLiteral("IS NULL") << QStringLiteral("歯医者|旅行");
}

// A number typed into a number field is stored as a number; cleared, it has no value.
void TestDataGrid::numberField() {
    QFETCH(QString, typed);
    QFETCH(QString, condition);
    QFETCH(QString, meeting);
    GridOnFile on(file_, kDays);
    QVERIFY(on.opened && on.show());
    QVERIFY(typeInto(on.grid, 2, 2, typed));
    clickCell(&on.grid, 0, 0);
    const QString query = QStringLiteral("SELECT * FROM 予定表 WHERE レベル %1;").arg(condition);
    QCOMPARE(testrows::column(file_, query, 3).join(QLatin1Char('|')), meeting);
    QVERIFY(fx_->platform.messages.isEmpty());
}

void TestDataGrid::refusedValue_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored"); // what reaches the file; empty when the row is refused
    // The editor takes no more characters than the field holds.
    QTest::newRow("81 characters") << 3 << QString(81, QChar(0x3042)) << QString(80, QChar(0x3042));
    QTest::newRow("date too long") << 0 << QStringLiteral("2024/12/31xyz") << QStringLiteral("2024/12/31xy");
    QTest::newRow("empty content") << 3 << QString() << QString();
    QTest::newRow("not a number") << 1 << QStringLiteral("abc") << QString();
}

void TestDataGrid::refusedValue() {
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, stored);
    GridOnFile on(file_, kDays);
    QVERIFY(on.opened && on.show());
    DataGrid& grid = on.grid;
    const QString before = grid.model()->index(1, column).data().toString();

    QLineEdit* editor = typeInto(grid, 1, column, QString());
    QVERIFY(editor);
    editor->setText(text); // typing 81 kana is what an input method commits at once
    clickCell(&grid, 0, 0);
    if (!stored.isEmpty()) {
        QCOMPARE(testrows::column(file_, kDays, column).at(1), stored);
        QVERIFY(fx_->platform.messages.isEmpty());
        return;
    }

    // Refused: told what to change, the editor open again on the typed text, nothing written.
    QCOMPARE(fx_->platform.messages.size(), 1);
    QCOMPARE(fx_->platform.messages.first().icon, platform::Icon::Exclamation);
    QVERIFY2(fx_->platform.messages.first().text.contains(
                 grid.model()->headerData(column, Qt::Horizontal).toString()),
             qPrintable(fx_->platform.messages.first().text));
    QTRY_VERIFY(openCellEditor(&grid));
    QCOMPARE(openCellEditor(&grid)->text(), text);
    QCOMPARE(grid.currentIndex(), grid.model()->index(1, column));
    QCOMPARE(content(file_), QStringLiteral("会議|歯医者|旅行"));
    // Escape gives the stored value back; the grid goes on working.
    QTest::keyClick(openCellEditor(&grid), Qt::Key_Escape);
    QCOMPARE(grid.model()->index(1, column).data().toString(), before);
    QVERIFY(!grid.recordsetModel()->hasPendingEdits());
    QVERIFY(typeInto(grid, 2, 3, QStringLiteral("ok")));
    clickCell(&grid, 0, 0);
    QCOMPARE(content(file_), QStringLiteral("会議|歯医者|ok"));
    QCOMPARE(fx_->platform.messages.size(), 1);
}

void TestDataGrid::newRowAddsRecord() {
    GridOnFile on(file_, kTodoQuery);
    QVERIFY(on.opened && on.show(QSize(300, 200), true));
    DataGrid& grid = on.grid;
    QCOMPARE(grid.model()->columnCount(), 1); // a projection shows its one field
    QCOMPARE(grid.model()->rowCount(), 1);

    // Typing into the empty last row and moving on adds the record.
    QLineEdit* editor = typeInto(grid, 0, 0, QStringLiteral("buy milk"));
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(grid.recordsetModel()->pendingRow(), 0); // the delegate commits queued
    QCOMPARE(testrows::column(file_, kTodoQuery, 0), QStringList());
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(testrows::column(file_, kTodoQuery, 0), QStringList{QStringLiteral("buy milk")});
    QCOMPARE(grid.model()->rowCount(), 2);
    QCOMPARE(grid.currentIndex().row(), 1); // the next empty row

    // Leaving it by moving up adds the second one before the first's row.
    QVERIFY(typeInto(grid, 1, 0, QStringLiteral("call home")));
    clickCell(&grid, 0, 0);
    QCOMPARE(testrows::column(file_, kTodoQuery, 0),
             (QStringList{QStringLiteral("buy milk"), QStringLiteral("call home")}));
    QCOMPARE(grid.model()->rowCount(), 3);

    // Opening the editor on the new row and leaving without text adds nothing.
    QVERIFY(typeInto(grid, 2, 0, QString()));
    clickCell(&grid, 0, 0);
    QCOMPARE(grid.model()->rowCount(), 3);
    QVERIFY(fx_->platform.messages.isEmpty());
}

void TestDataGrid::deleteMovesToNextRecord() {
    GridOnFile on(file_, kDays);
    QVERIFY(on.opened && on.show());
    store::DataControl& data = on.data;
    DataGrid& grid = on.grid;

    clickCell(&grid, 1, 2);
    grid.deleteCurrent();
    QCOMPARE(content(file_), QStringLiteral("会議|旅行"));
    QCOMPARE(data.absolutePosition(), 1);
    QCOMPARE(grid.currentIndex().row(), 1);
    QCOMPARE(grid.currentIndex().data().toString(), QStringLiteral("5"));
    // The last record: nothing follows, no record is current.
    grid.deleteCurrent();
    QCOMPARE(content(file_), QStringLiteral("会議"));
    QVERIFY(!data.hasCurrentRow());
    QVERIFY(!grid.currentIndex().isValid());
    grid.deleteCurrent(); // nothing current: nothing happens
    QCOMPARE(content(file_), QStringLiteral("会議"));
    QVERIFY(fx_->platform.messages.isEmpty());
}

QTEST_MAIN(TestDataGrid)
#include "test_data_grid.moc"
