// The ToDo window driven through its widgets, over a real Schedule file.

#define QTEST_QPA_MOUSE_HANDLING
#include "../list/ScheduleRows.h"
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "support/FakeHost.h"
#include "support/FakePlatform.h"
#include "support/TestEnv.h"
#include "todo/TodoWindow.h"
#include "todo/TodoWindows.h"

#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

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

    void controls();
    void entriesInTableOrder();
    void placement_data();
    void placement();
    void resizeStoresGeometryAtOnce();
    void quittingKeepsTheLastResize();
    void closeStoresPositionAndClearsTheMark();
    void typedEntrySurvivesReopening();
    void longEntryIsCutToTheField();
    void deleteEntries();
    void noScheduleFile();

  private:
    TodoWindow* open(int height = 0);
    QStringList shown() const;

    std::unique_ptr<testsupport::TestEnv> env_;
    std::unique_ptr<testsupport::FakePlatform> fake_;
    std::unique_ptr<testsupport::FakeHost> host_;
    QPointer<TodoWindow> window_;
    QString file_;
};

void TestTodoWindow::init() {
    env_ = std::make_unique<testsupport::TestEnv>();
    fake_ = std::make_unique<testsupport::FakePlatform>();
    fake_->install();
    host_ = std::make_unique<testsupport::FakeHost>();
    file_ = env_->makeScheduleFile();
    host_->settingsRecord.START_FILE = file_;
    host_->window.show();
}

void TestTodoWindow::cleanup() {
    delete window_; // as the program's quit does: no close handler
    host_.reset();
    fake_.reset();
    env_.reset();
}

TodoWindow* TestTodoWindow::open(int height) {
    if (height)
        host_->settingsRecord.ToDo_HEI = static_cast<qint16>(height);
    host_->setTodoChecked(true); // the menu item sets its mark before opening
    window_ = qobject_cast<TodoWindow*>(todo::showTodoWindow(*host_));
    return window_;
}

QStringList TestTodoWindow::shown() const {
    QStringList values;
    const auto* model = window_->DBGrid1->recordsetModel();
    for (int row = 0; row < model->rowCount(); ++row)
        if (row != model->newRowIndex())
            values << model->index(row, 0).data().toString();
    return values;
}

void TestTodoWindow::controls() {
    TodoWindow* w = open();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->objectName(), QStringLiteral("ToDo_list"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Daduvov-ToDo List"));
    QVERIFY(host_->window.isEnabled());

    QCOMPARE(w->Label1->text(), QStringLiteral("ToDo List"));
    QCOMPARE(w->Label1->geometry(), controls::twipsRect(120, 0, 1815, 375));
    const QFont font = w->Label1->font();
    QCOMPARE(font.pointSizeF(), 14.25);
    QVERIFY(font.bold());
    QVERIFY(font.italic());
    QCOMPARE(w->Label1->palette().color(QPalette::WindowText), QColor(0, 0, 0x80));
    // Drawn in Rockwell, or in a present serif face where it is missing.
    const QString drawn = QFontInfo(font).family();
    QVERIFY2(drawn == controls::kRockwell || QFontInfo(QFont(controls::kRockwell)).family() == drawn,
             qPrintable(drawn));
    QVERIFY(!QFontInfo(font).family().isEmpty());

    QCOMPARE(w->Command1->text(), QStringLiteral("削除"));
    QCOMPARE(w->Command1->toolTip(), QStringLiteral("選択項目削除"));
    QCOMPARE(w->Command1->geometry(), controls::twipsRect(2160, 120, 735, 255));

    controls::DataGrid* grid = w->DBGrid1;
    QCOMPARE(grid->pos(), controls::twipsRect(120, 480, 1, 1).topLeft());
    QCOMPARE(grid->width(), controls::px(3375));
    QCOMPARE(grid->frameShape(), QFrame::NoFrame);
    QCOMPARE(grid->model()->columnCount(), 1);
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("やるべき事"));
    QCOMPARE(grid->columnWidth(0), controls::px(3000));
    QCOMPARE(grid->model()->rowCount(), 1); // the empty last row
    QCOMPARE(w->Data1.recordSource(), kTodoQuery);
    QVERIFY(fake_->messages.isEmpty());
    // A second call brings the same window forward.
    QCOMPARE(todo::showTodoWindow(*host_), w);
}

void TestTodoWindow::entriesInTableOrder() {
    testrows::addTodos(
        file_, {QStringLiteral("牛乳を買う"), QStringLiteral("レポート提出"), QStringLiteral("電話")});
    open();
    QCOMPARE(shown(), (QStringList{QStringLiteral("牛乳を買う"), QStringLiteral("レポート提出"),
                                   QStringLiteral("電話")}));
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
    settings::Settings& s = host_->settingsRecord;
    s.ToDo_WID = static_cast<qint16>(wid);
    s.ToDo_HEI = static_cast<qint16>(hei);
    s.ToDo_Top = top;
    s.ToDo_Left = left;
    TodoWindow* w = open();
    QCOMPARE(w->frameGeometry(), outer);
    QCOMPARE(w->DBGrid1->height(), (outer.height() * 15 - 900) / 15);
    // The geometry after the rules is stored at once.
    QCOMPARE(int(s.ToDo_WID), 3750);
    QCOMPARE(int(s.ToDo_HEI), outer.height() * 15);
    QCOMPARE(s.ToDo_Top, outer.top() * 15);
    QCOMPARE(s.ToDo_Left, outer.left() * 15);
}

void TestTodoWindow::resizeStoresGeometryAtOnce() {
    TodoWindow* w = open();
    const QSize frame = w->frameGeometry().size() - w->size();
    w->resize(QSize(400, 260) - frame);
    QTRY_COMPARE(w->frameGeometry().size(), QSize(250, 260));
    QCOMPARE(int(host_->settingsRecord.ToDo_WID), 3750);
    QCOMPARE(int(host_->settingsRecord.ToDo_HEI), 3900);
    QCOMPARE(w->DBGrid1->height(), 200);
    w->resize(QSize(250, 50) - frame);
    QTRY_COMPARE(w->frameGeometry().size(), QSize(250, 100));
    QCOMPARE(int(host_->settingsRecord.ToDo_HEI), 1500);
    // Past the 16-bit field the height is held at its limit rather than overflowing.
    w->resize(QSize(250, 2300) - frame);
    QTRY_COMPARE(w->frameGeometry().height(), 2300);
    QCOMPARE(int(host_->settingsRecord.ToDo_HEI), 32767);
}

void TestTodoWindow::quittingKeepsTheLastResize() {
    TodoWindow* w = open();
    const QSize frame = w->frameGeometry().size() - w->size();
    w->move(30, 40);
    w->resize(QSize(250, 150) - frame);
    QTRY_COMPARE(int(host_->settingsRecord.ToDo_HEI), 2250);
    QCOMPARE(host_->settingsRecord.ToDo_Top, 600);
    w->move(90, 120); // moved after the resize: not remembered at quit
    delete w;
    QCOMPARE(host_->settingsRecord.ToDo_Top, 600);
    QCOMPARE(host_->settingsRecord.ToDo_Left, 450);
    QVERIFY(host_->todoChecked); // no close handler ran
    // The next opening is a new window.
    QVERIFY(open());
    QCOMPARE(window_->frameGeometry().topLeft(), QPoint(30, 40));
}

void TestTodoWindow::closeStoresPositionAndClearsTheMark() {
    TodoWindow* w = open();
    QVERIFY(host_->todoChecked);
    w->move(60, 45);
    QTRY_COMPARE(w->frameGeometry().topLeft(), QPoint(60, 45));
    todo::closeTodoWindow();
    QCOMPARE(host_->settingsRecord.ToDo_Left, 900);
    QCOMPARE(host_->settingsRecord.ToDo_Top, 675);
    QVERIFY(!host_->todoChecked);
    QVERIFY(host_->window.isEnabled());
    QTRY_VERIFY(!window_);
    todo::closeTodoWindow(); // none open: nothing

    // The close box does the same.
    w = open();
    w->close();
    QVERIFY(!host_->todoChecked);
    QVERIFY(!w->Data1.isOpen());
}

void TestTodoWindow::typedEntrySurvivesReopening() {
    testrows::addTodos(file_, {QStringLiteral("既存")});
    TodoWindow* w = open(3000);
    controls::DataGrid* grid = w->DBGrid1;
    const QModelIndex newRow = grid->model()->index(1, 0);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(newRow).center());
    QVERIFY(!w->Data1.hasCurrentRow());
    // An input method commits the text; the grid opens its editor for it.
    QInputMethodEvent typed;
    typed.setCommitString(QStringLiteral("歯医者の予約"));
    QApplication::sendEvent(grid, &typed);
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : grid->findChildren<QLineEdit*>(QStringLiteral("cellEditor")))
        if (e->isVisible())
            editor = e;
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("歯医者の予約"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(grid->recordsetModel()->pendingRow(), 1);
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(testrows::column(file_, kTodoQuery, 0),
             (QStringList{QStringLiteral("既存"), QStringLiteral("歯医者の予約")}));

    w->close();
    QTRY_VERIFY(!window_);
    open();
    QCOMPARE(shown(), (QStringList{QStringLiteral("既存"), QStringLiteral("歯医者の予約")}));
    QVERIFY(fake_->messages.isEmpty());
}

void TestTodoWindow::longEntryIsCutToTheField() {
    testrows::addTodos(file_, {QStringLiteral("既存")});
    TodoWindow* w = open(3000);
    controls::DataGrid* grid = w->DBGrid1;
    const QModelIndex newRow = grid->model()->index(1, 0);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(newRow).center());
    QInputMethodEvent typed;
    typed.setCommitString(QString(85, QChar(0x3042)));
    QApplication::sendEvent(grid, &typed);
    // Leaving the row upwards adds the entry as far as the field holds it.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(0, 0)).center());
    QCOMPARE(testrows::column(file_, kTodoQuery, 0),
             (QStringList{QStringLiteral("既存"), QString(80, QChar(0x3042))}));
    QVERIFY(fake_->messages.isEmpty());
}

void TestTodoWindow::deleteEntries() {
    TodoWindow* w = open();
    QTest::mouseClick(w->Command1, Qt::LeftButton); // empty list
    QCOMPARE(w->DBGrid1->model()->rowCount(), 1);
    QVERIFY(fake_->messages.isEmpty());
    w->close();
    QTRY_VERIFY(!window_);

    testrows::addTodos(file_, {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")});
    w = open(3000);
    controls::DataGrid* grid = w->DBGrid1;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(0, 0)).center());
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QCOMPARE(testrows::column(file_, kTodoQuery, 0),
             (QStringList{QStringLiteral("二"), QStringLiteral("三")}));
    QCOMPARE(w->Data1.field(QStringLiteral("やるべき事")).toString(), QStringLiteral("二"));
    QCOMPARE(grid->currentIndex().row(), 0);
    // On the empty last row there is no current entry: nothing is deleted.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(2, 0)).center());
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QCOMPARE(testrows::column(file_, kTodoQuery, 0).size(), 2);
}

void TestTodoWindow::noScheduleFile() {
    host_->settingsRecord.START_FILE.clear();
    TodoWindow* w = open();
    QVERIFY(w && w->isVisible());
    QCOMPARE(fake_->messages.size(), 1);
    QCOMPARE(fake_->messages.first().text, QStringLiteral("スケジュールファイルが設定されていません"));
    w->close();
    QVERIFY(!host_->todoChecked);
}

QTEST_MAIN(TestTodoWindow)
#include "test_todo_window.moc"
