// The ToDo window driven through its widgets, over a real Schedule file.

#define QTEST_QPA_MOUSE_HANDLING
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "support/WindowFixture.h"
#include "todo/TodoWindow.h"
#include "todo/TodoWindows.h"

#include <QInputMethodEvent>
#include <QPointer>

using todo::TodoWindow;

namespace {

const QString kTodoQuery = QStringLiteral("SELECT やるべき事 FROM ToDoリスト;");

} // namespace

class TestTodoWindow : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { controls::registerFontSubstitutions(); }
    void init();
    void cleanup();

    void opensOnEntriesInTableOrder();
    void placement_data();
    void placement();
    void resizeStoresGeometryAtOnce();
    void closeStoresPositionAndClearsTheMark();
    void typedEntrySurvivesReopening();
    void longEntryIsCutToTheField();
    void deleteEntries();
    void noScheduleFile();

  private:
    TodoWindow* open(int height = 0);
    QStringList shown() const;

    void clickDelete() { QTest::mouseClick(testsupport::child(window_, "Command1"), Qt::LeftButton); }
    QList<testsupport::ShownMessage>& messages() { return fx_->platform.messages; }
    settings::Settings& settings() { return fx_->host.settingsRecord; }
    // Opens the window on one entry and types `text` into the empty row below it, as an input
    // method commits it.
    controls::DataGrid* typeIntoNewRow(const QString& text);

    std::unique_ptr<testsupport::WindowFixture> fx_;
    QPointer<TodoWindow> window_;
    todo::TodoWindows todos_;
};

void TestTodoWindow::init() {
    fx_ = std::make_unique<testsupport::WindowFixture>();
    fx_->host.window.show();
}

void TestTodoWindow::cleanup() {
    delete window_; // as the program's quit does: no close handler
    fx_.reset();
}

TodoWindow* TestTodoWindow::open(int height) {
    if (height)
        settings().todoHeight = static_cast<qint16>(height);
    fx_->host.setTodoChecked(true); // the menu item sets its mark before opening
    window_ = qobject_cast<TodoWindow*>(todos_.show(fx_->host));
    return window_;
}

QStringList TestTodoWindow::shown() const {
    QStringList values;
    const auto* model = window_->grid()->recordsetModel();
    for (int row = 0; row < model->rowCount(); ++row)
        if (row != model->newRowIndex())
            values << model->index(row, 0).data().toString();
    return values;
}

void TestTodoWindow::opensOnEntriesInTableOrder() {
    testrows::addTodos(
        fx_->file, {QStringLiteral("牛乳を買う"), QStringLiteral("レポート提出"), QStringLiteral("電話")});
    TodoWindow* w = open();
    QVERIFY(w && w->isVisible());
    QVERIFY(fx_->host.window.isEnabled());
    QCOMPARE(shown(), (QStringList{QStringLiteral("牛乳を買う"), QStringLiteral("レポート提出"),
                                   QStringLiteral("電話")}));
    QCOMPARE(w->grid()->model()->rowCount(), 4); // and the empty last row
    QVERIFY(messages().isEmpty());
    // A second call brings the same window forward.
    QCOMPARE(todos_.show(fx_->host), w);
}

void TestTodoWindow::placement_data() {
    QTest::addColumn<int>("wid");
    QTest::addColumn<int>("hei");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("left");
    QTest::addColumn<QRect>("outer"); // pixels
    QTest::newRow("first opening") << 0 << 0 << 0 << 0 << QRect(0, 0, 250, 100);
    QTest::newRow("too wide, too low") << 5000 << 1000 << 0 << 0 << QRect(0, 0, 250, 100);
    QTest::newRow("narrow, tall, placed") << 2000 << 4500 << 1500 << 3000 << QRect(200, 100, 250, 300);
}

void TestTodoWindow::placement() {
    QFETCH(int, wid);
    QFETCH(int, hei);
    QFETCH(int, top);
    QFETCH(int, left);
    QFETCH(QRect, outer);
    settings::Settings& s = settings();
    s.todoWidth = static_cast<qint16>(wid);
    s.todoHeight = static_cast<qint16>(hei);
    s.todoTop = top;
    s.todoLeft = left;
    TodoWindow* w = open();
    QCOMPARE(w->frameGeometry(), outer);
    // The geometry after the rules is stored at once.
    QCOMPARE(int(s.todoWidth), 3750);
    QCOMPARE(int(s.todoHeight), outer.height() * 15);
    QCOMPARE(s.todoTop, outer.top() * 15);
    QCOMPARE(s.todoLeft, outer.left() * 15);
}

// Every resize stores the geometry at once; a quit (no close handler) keeps the last one stored.
void TestTodoWindow::resizeStoresGeometryAtOnce() {
    TodoWindow* w = open();
    const QSize frame = w->frameGeometry().size() - w->size();
    w->move(30, 40);
    w->resize(QSize(400, 260) - frame);
    QTRY_COMPARE(w->frameGeometry().size(), QSize(250, 260));
    QCOMPARE(int(settings().todoHeight), 3900);
    QCOMPARE(settings().todoTop, 600);
    QCOMPARE(settings().todoLeft, 450);
    w->resize(QSize(250, 50) - frame);
    QTRY_COMPARE(w->frameGeometry().size(), QSize(250, 100));
    QCOMPARE(int(settings().todoHeight), 1500);
    // Past the 16-bit field the height is held at its limit rather than overflowing.
    w->resize(QSize(250, 2300) - frame);
    QTRY_COMPARE(w->frameGeometry().height(), 2300);
    QCOMPARE(int(settings().todoHeight), 32767);
    w->move(90, 120); // moved after the resize: not remembered at quit
    delete w;
    QCOMPARE(settings().todoTop, 600);
    QVERIFY(fx_->host.todoChecked);
    QCOMPARE(open()->frameGeometry().topLeft(), QPoint(30, 40)); // a new window
}

void TestTodoWindow::closeStoresPositionAndClearsTheMark() {
    TodoWindow* w = open();
    QVERIFY(fx_->host.todoChecked);
    w->move(60, 45);
    QTRY_COMPARE(w->frameGeometry().topLeft(), QPoint(60, 45));
    todos_.close();
    QCOMPARE(settings().todoLeft, 900);
    QCOMPARE(settings().todoTop, 675);
    QVERIFY(!fx_->host.todoChecked);
    QVERIFY(fx_->host.window.isEnabled());
    QTRY_VERIFY(!window_);
    todos_.close(); // none open: nothing

    // The close box does the same.
    w = open();
    w->close();
    QVERIFY(!fx_->host.todoChecked);
    QVERIFY(!w->grid()->dataControl().isOpen());
}

controls::DataGrid* TestTodoWindow::typeIntoNewRow(const QString& text) {
    testrows::addTodos(fx_->file, {QStringLiteral("既存")});
    controls::DataGrid* grid = open(3000)->grid();
    testsupport::clickCell(grid, 1, 0);
    QInputMethodEvent typed;
    typed.setCommitString(text);
    QApplication::sendEvent(grid, &typed);
    return grid;
}

void TestTodoWindow::typedEntrySurvivesReopening() {
    controls::DataGrid* grid = typeIntoNewRow(QStringLiteral("歯医者の予約"));
    QVERIFY(!grid->dataControl().hasCurrentRow());
    // The grid opens its editor for the committed text.
    QLineEdit* editor = testsupport::openCellEditor(grid);
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("歯医者の予約"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(grid->recordsetModel()->pendingRow(), 1);
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(testrows::column(fx_->file, kTodoQuery, 0),
             (QStringList{QStringLiteral("既存"), QStringLiteral("歯医者の予約")}));

    window_->close();
    QTRY_VERIFY(!window_);
    open();
    QCOMPARE(shown(), (QStringList{QStringLiteral("既存"), QStringLiteral("歯医者の予約")}));
    QVERIFY(messages().isEmpty());
}

void TestTodoWindow::longEntryIsCutToTheField() {
    controls::DataGrid* grid = typeIntoNewRow(QString(85, QChar(0x3042)));
    // Leaving the row upwards adds the entry as far as the field holds it.
    testsupport::clickCell(grid, 0, 0);
    QCOMPARE(testrows::column(fx_->file, kTodoQuery, 0),
             (QStringList{QStringLiteral("既存"), QString(80, QChar(0x3042))}));
    QVERIFY(messages().isEmpty());
}

void TestTodoWindow::deleteEntries() {
    testrows::addTodos(fx_->file, {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")});
    controls::DataGrid* grid = open(3000)->grid();
    // On the empty last row there is no current entry: nothing is deleted.
    testsupport::clickCell(grid, 3, 0);
    clickDelete();
    QCOMPARE(testrows::column(fx_->file, kTodoQuery, 0).size(), 3);
    testsupport::clickCell(grid, 0, 0);
    clickDelete();
    QCOMPARE(testrows::column(fx_->file, kTodoQuery, 0),
             (QStringList{QStringLiteral("二"), QStringLiteral("三")}));
    QCOMPARE(shown(), (QStringList{QStringLiteral("二"), QStringLiteral("三")}));
    QVERIFY(messages().isEmpty());
}

void TestTodoWindow::noScheduleFile() {
    settings().scheduleFile.clear();
    TodoWindow* w = open();
    QVERIFY(w && w->isVisible());
    QCOMPARE(messages().size(), 1);
    w->close();
    QVERIFY(!fx_->host.todoChecked);
}

QTEST_MAIN(TestTodoWindow)
#include "test_todo_window.moc"
