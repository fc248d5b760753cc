// The list window driven through its widgets, over a real Schedule file.

#define QTEST_QPA_MOUSE_HANDLING
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "controls/SpinButton.h"
#include "list/ListWindow.h"
#include "list/ListWindows.h"
#include "platform/QtServices.h"
#include "support/StoreSentences.h"
#include "support/WindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPointer>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <functional>

using list::ListWindow;
using testsupport::child;

class TestListWindow : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { controls::registerFontSubstitutions(); }
    void init();
    void cleanup();

    void load();
    void emptyScheduleFileClosesAtOnce();
    void engineErrorsOnOpen_data();
    void engineErrorsOnOpen();
    void filters_data();
    void filters();
    void sortByDateIsChronological();
    void comboChoices_data();
    void comboChoices();
    void pickingTheShownItemFiltersAgain();
    void searchTextIsCapped();
    void clearingFiltersResetsTheBoxes_data();
    void clearingFiltersResetsTheBoxes();
    void uncheckingLeavesTheGrid();
    void yearSpinAndDoubleClick_data();
    void yearSpinAndDoubleClick();
    void deleteButton();
    void resizeKeepsWidthAndGrowsTheGrid();
    void refusedEditInRealMessageBox();
    void dateCellTakesOnlyADate_data();
    void dateCellTakesOnlyADate();
    void closeEnablesMainWindow();
    void reloadAfterAnotherWriterKeepsTyping();

  private:
    ListWindow* open();
    QStringList shownColumn(int column) const;
    void pick(const char* box, const QString& text);
    QComboBox* box(const char* name) const { return child<QComboBox>(window_, name); }
    QLineEdit* lineEdit(const char* name) const { return child<QLineEdit>(window_, name); }
    QAbstractButton* button(const char* name) const { return child<QAbstractButton>(window_, name); }
    QCheckBox* dateFilter() const { return child<QCheckBox>(window_, "Check1"); }
    controls::SpinButton* yearSpin() const { return child<controls::SpinButton>(window_, "SpinButton1"); }
    QRadioButton* sortOption(int index) const;
    const store::DataControl& data() const { return window_->grid()->dataControl(); }
    QStringList fileColumn(int column) const {
        return testrows::column(fx_->file, QStringLiteral("予定表"), column);
    }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    QList<testsupport::ShownMessage>& messages() { return fx_->platform.messages; }

    std::unique_ptr<testsupport::WindowFixture> fx_;
    QPointer<ListWindow> window_;
};

void TestListWindow::init() {
    fx_ = std::make_unique<testsupport::WindowFixture>();
    testrows::addDays(fx_->file, {{QStringLiteral("2024/1/5"), 1, 3.0, QStringLiteral("会議"),
                                   QStringLiteral("True"), QStringLiteral("0930")},
                                  {QStringLiteral("2024/11/1"), 3, QVariant(), QStringLiteral("歯医者 3時")},
                                  {QStringLiteral("2024/3/1"), 3, 5.0, QStringLiteral("O'Brien と昼食")},
                                  {QStringLiteral("2024/10/1"), 2, 1.0, QStringLiteral("運動会")},
                                  {QStringLiteral("2024/2/1"), 3, 2.0, QStringLiteral("歯医者")},
                                  {QStringLiteral("2025/11/3"), 3, QVariant(), QStringLiteral("歯医者")},
                                  {QStringLiteral("2026/3/5"), 4, 4.0, QStringLiteral("今日の予定")}});
}

void TestListWindow::cleanup() {
    delete window_;
    fx_.reset();
}

ListWindow* TestListWindow::open() {
    fx_->host.setMainEnabled(false);
    fx_->host.window.show();
    list::showListWindow(fx_->host);
    window_ = fx_->host.window.findChild<ListWindow*>();
    return window_;
}

QStringList TestListWindow::shownColumn(int column) const {
    QStringList values;
    const QAbstractItemModel* model = window_->grid()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        values << model->index(row, column).data().toString();
    return values;
}

void TestListWindow::pick(const char* name, const QString& text) {
    // As the user picks from the list: the text changes and the box reports the pick.
    QComboBox* combo = box(name);
    const int index = combo->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

QRadioButton* TestListWindow::sortOption(int index) const {
    for (QRadioButton* option : window_->findChildren<QRadioButton*>(QStringLiteral("Option1")))
        if (option->property("index").toInt() == index)
            return option;
    return nullptr;
}

void TestListWindow::load() {
    ListWindow* w = open();
    QVERIFY(w && w->isVisible());
    QVERIFY(!fx_->host.window.isEnabled()); // stays disabled while the list is open
    QCOMPARE(lineEdit("Text2")->text(), QStringLiteral("2026"));
    QCOMPARE(yearSpin()->value(), 2026);
    QVERIFY(!dateFilter()->isChecked());

    // Each box shows "すべて" (no condition) and offers only choices its condition knows.
    const struct {
        const char* name;
        std::function<QString(const QString&)> condition;
        int choices;
    } boxes[] = {{"Combo1", list::slotPart, 4},
                 {"Combo4", list::levelPart, 5},
                 {"Combo5", list::alarmPart, 2},
                 {"Combo2", list::monthMarker, 12}};
    for (const auto& choice : boxes) {
        QComboBox* combo = box(choice.name);
        QCOMPARE(combo->currentText(), list::FilterState().slot);
        QSet<QString> conditions;
        for (int i = 1; i < combo->count(); ++i)
            conditions << choice.condition(combo->itemText(i));
        QVERIFY2(!conditions.contains(QString()) && conditions.size() == choice.choices, choice.name);
    }
    // Each sort option is captioned with the field it sorts by.
    for (QRadioButton* option : w->findChildren<QRadioButton*>(QStringLiteral("Option1")))
        QVERIFY2(option->text().startsWith(list::sortField(option->property("index").toInt())),
                 qPrintable(option->text()));
    QVERIFY(sortOption(list::kDefaultSortIndex)->isChecked());

    QCOMPARE(shownColumn(0), fileColumn(0)); // the whole table in its own order
    QCOMPARE(data().absolutePosition(), 0);
    QVERIFY(messages().isEmpty());
    QCOMPARE(w->frameGeometry().center(), QRect(QPoint(0, 0), fx_->platform.screen).center());
}

void TestListWindow::emptyScheduleFileClosesAtOnce() {
    fx_->host.settingsRecord.scheduleFile.clear();
    ListWindow* w = open();
    QVERIFY(fx_->host.window.isEnabled());
    QVERIFY(!w || !w->isVisible());
    QTRY_VERIFY(!fx_->host.window.findChild<ListWindow*>());
    QVERIFY(messages().isEmpty());
}

void TestListWindow::engineErrorsOnOpen_data() {
    QTest::addColumn<QByteArray>("contents"); // empty: no file at all
    QTest::addColumn<QString>("sentence");
    QTest::newRow("not a database") << QByteArray(4096, 'x') << testsupport::storeSentence(SQLITE_NOTADB);
    QTest::newRow("missing file") << QByteArray() << testsupport::storeSentence(SQLITE_CANTOPEN);
}

void TestListWindow::engineErrorsOnOpen() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, sentence);
    const QString path = fx_->env.path(QStringLiteral("other.sdb"));
    if (!contents.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
    fx_->host.settingsRecord.scheduleFile = path;
    ListWindow* w = open();
    QVERIFY(w && w->isVisible());
    QCOMPARE(messages().size(), 1);
    QVERIFY2(messages().first().text.startsWith(sentence), qPrintable(messages().first().text));
    QCOMPARE(messages().first().icon, platform::Icon::Exclamation);
    QCOMPARE(w->grid()->model()->rowCount(), 0);
    // Still usable: a filter reports again, the close button closes.
    pick("Combo1", QStringLiteral("項目1"));
    QCOMPARE(messages().size(), 2);
    click("Command1");
    QVERIFY(fx_->host.window.isEnabled());
}

// The controls set in the order of the columns (an empty text leaves a control alone), then 検索
// when a search text is given; the dates the grid shows.
void TestListWindow::filters_data() {
    for (const char* column : {"year", "month", "slot", "level", "search"})
        QTest::addColumn<QString>(column);
    QTest::addColumn<bool>("dateFilter");
    QTest::addColumn<QStringList>("dates");
    const QString none;
    QTest::newRow("year") << "2024" << none << none << none << none << true
                          << QStringList{"2024/1/5", "2024/11/1", "2024/3/1", "2024/10/1", "2024/2/1"};
    QTest::newRow("year and month") << "2024"
                                    << "1月" << none << none << none << true << QStringList{"2024/1/5"};
    QTest::newRow("year that is not a number")
        << "abc'" << none << none << none << none << true << QStringList{};
    QTest::newRow("slot and level") << none << none << "項目3"
                                    << "ﾚﾍﾞﾙ2" << none << false << QStringList{"2024/2/1"};
    QTest::newRow("search in date filter and slot")
        << "2024"
        << "11月"
        << "項目3" << none << "歯医者" << true << QStringList{"2024/11/1"};
    QTest::newRow("typed wildcards") << none << none << none << none << "歯*時" << false
                                     << QStringList{"2024/11/1"};
    QTest::newRow("apostrophe") << none << none << none << none << "O'Brien" << false
                                << QStringList{"2024/3/1"};
    // Text that tries to end the literal early only searches for itself.
    QTest::newRow("literal ended early")
        << none << none << none << none << "' OR 内容 LIKE '*" << false << QStringList{};
}

void TestListWindow::filters() {
    QFETCH(QString, year);
    QFETCH(QString, month);
    QFETCH(QString, slot);
    QFETCH(QString, level);
    QFETCH(QString, search);
    QFETCH(bool, dateFilter);
    QFETCH(QStringList, dates);
    QVERIFY(open());
    if (!year.isEmpty())
        lineEdit("Text2")->setText(year);
    this->dateFilter()->setChecked(dateFilter);
    if (!month.isEmpty())
        pick("Combo2", month);
    if (!slot.isEmpty())
        pick("Combo1", slot);
    if (!level.isEmpty())
        pick("Combo4", level);
    if (!search.isEmpty()) {
        lineEdit("Text1")->setText(search);
        click("Command2");
    }
    QCOMPARE(shownColumn(0), dates);
    QVERIFY(messages().isEmpty());
    QCOMPARE(fileColumn(0).size(), 7);
}

void TestListWindow::sortByDateIsChronological() {
    QVERIFY(open());
    sortOption(0)->click();
    click("Command5");
    QCOMPARE(shownColumn(0),
             (QStringList{QStringLiteral("2024/1/5"), QStringLiteral("2024/2/1"), QStringLiteral("2024/3/1"),
                          QStringLiteral("2024/10/1"), QStringLiteral("2024/11/1"),
                          QStringLiteral("2025/11/3"), QStringLiteral("2026/3/5")}));
    // Descending by level keeps the slot filter; rows without a level come last.
    pick("Combo1", QStringLiteral("項目3"));
    sortOption(4)->click();
    click("Command6");
    QCOMPARE(shownColumn(2), (QStringList{QStringLiteral("5"), QStringLiteral("2"), QString(), QString()}));
}

void TestListWindow::comboChoices_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("picked"); // before the typing; empty: none
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("rows"); // of the 6 in 2024
    // The start of an item is no choice (no completion to "True" or "1月").
    QTest::newRow("T in Combo5") << "Combo5" << QString() << "T" << 6;
    QTest::newRow("1 in Combo2") << "Combo2" << QString() << "1" << 6;
    // An exact item is; "True" also finds a stored "true".
    QTest::newRow("True in Combo5") << "Combo5" << QString() << "True" << 2;
    // Text typed over a picked item drops its condition.
    QTest::newRow("x over ﾚﾍﾞﾙ1") << "Combo4"
                                  << "ﾚﾍﾞﾙ1"
                                  << "x" << 6;
}

void TestListWindow::comboChoices() {
    QFETCH(QString, box);
    QFETCH(QString, picked);
    QFETCH(QString, typed);
    QFETCH(int, rows);
    testrows::addDays(fx_->file,
                      {{QStringLiteral("2024/5/5"), 2, 1.0, QStringLiteral("運動"), QStringLiteral("true")}});
    ListWindow* w = open();
    lineEdit("Text2")->setText(QStringLiteral("2024"));
    dateFilter()->setChecked(true);
    if (!picked.isEmpty()) {
        pick(qPrintable(box), picked);
        QCOMPARE(shownColumn(0).size(), 2);
    }
    auto* combo = w->findChild<QComboBox*>(box);
    // Completion only acts in a focused box.
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    combo->setFocus();
    QTRY_VERIFY(combo->lineEdit()->hasFocus());
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), typed);
    QCOMPARE(combo->currentText(), typed);
    QCOMPARE(shownColumn(0).size(), rows);
}

void TestListWindow::pickingTheShownItemFiltersAgain() {
    QVERIFY(open());
    pick("Combo1", QStringLiteral("項目3"));
    QCOMPARE(shownColumn(0).size(), 4);
    // A row edited out of the filter leaves when the shown item is picked again.
    store::DataControl other;
    other.setDatabaseName(fx_->file);
    other.setRecordSource(QStringLiteral("SELECT * FROM 予定表 WHERE 年月日='2024/3/1' ;"));
    QVERIFY(other.refresh().ok());
    QVERIFY(other.updateRow(0, {{QStringLiteral("項目番号"), 2.0}}).ok());
    QCoreApplication::processEvents();
    pick("Combo1", QStringLiteral("項目3"));
    QCOMPARE(shownColumn(0).size(), 3);
}

void TestListWindow::searchTextIsCapped() {
    QVERIFY(open());
    lineEdit("Text1")->setText(QString(ListWindow::kMaxSearchLength + 1, QChar(0x3042)));
    click("Command2");
    QCOMPARE(messages().size(), 1);
    QVERIFY(messages().first().text.contains(QString::number(ListWindow::kMaxSearchLength)));
    QCOMPARE(shownColumn(0).size(), 7); // no search ran
    lineEdit("Text1")->setText(QString(ListWindow::kMaxSearchLength, QChar(0x3042)));
    click("Command2");
    QCOMPARE(messages().size(), 1);
    QCOMPARE(shownColumn(0), QStringList());
}

void TestListWindow::clearingFiltersResetsTheBoxes_data() {
    QTest::addColumn<bool>("filterOn");
    QTest::addColumn<int>("rows");
    QTest::newRow("date filter off") << false << 7;
    QTest::newRow("date filter on") << true << 1; // 2024/3/1
}

void TestListWindow::clearingFiltersResetsTheBoxes() {
    QFETCH(bool, filterOn);
    QFETCH(int, rows);
    QVERIFY(open());
    lineEdit("Text2")->setText(QStringLiteral("2024"));
    pick("Combo2", QStringLiteral("3月"));
    dateFilter()->setChecked(filterOn);
    pick("Combo1", QStringLiteral("項目2"));
    pick("Combo4", QStringLiteral("ﾚﾍﾞﾙ1"));
    pick("Combo5", QStringLiteral("False"));
    click("Command4");
    for (const char* name : {"Combo1", "Combo4", "Combo5"})
        QCOMPARE(box(name)->currentText(), list::FilterState().slot);
    QCOMPARE(shownColumn(0).size(), rows);
}

void TestListWindow::uncheckingLeavesTheGrid() {
    QVERIFY(open());
    lineEdit("Text2")->setText(QStringLiteral("2025"));
    click("Check1");
    QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2025/11/3")});
    click("Check1");
    QVERIFY(!dateFilter()->isChecked());
    QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2025/11/3")});
    // With the box unchecked the month choice runs nothing either.
    pick("Combo2", QStringLiteral("5月"));
    QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2025/11/3")});
}

void TestListWindow::yearSpinAndDoubleClick_data() {
    QTest::addColumn<bool>("filterOn");
    QTest::newRow("unchecked") << false;
    QTest::newRow("checked") << true;
}

// The spin button steps from its own value, not from a typed year; a double click on the year
// goes back to this year. Each filters again when the date filter is on.
void TestListWindow::yearSpinAndDoubleClick() {
    QFETCH(bool, filterOn);
    QVERIFY(open());
    lineEdit("Text2")->setText(QStringLiteral("2024"));
    dateFilter()->setChecked(filterOn);
    QTest::mouseClick(yearSpin()->downButton(), Qt::LeftButton);
    QCOMPARE(lineEdit("Text2")->text(), QStringLiteral("2025"));
    QCOMPARE(shownColumn(0), filterOn ? QStringList{QStringLiteral("2025/11/3")} : fileColumn(0));
    QTest::mouseDClick(lineEdit("Text2"), Qt::LeftButton);
    QCOMPARE(lineEdit("Text2")->text(), QStringLiteral("2026"));
    QCOMPARE(yearSpin()->value(), 2026);
    QCOMPARE(shownColumn(0), filterOn ? QStringList{QStringLiteral("2026/3/5")} : fileColumn(0));
}

void TestListWindow::deleteButton() {
    ListWindow* w = open();
    // Nothing shown: nothing is deleted.
    lineEdit("Text1")->setText(QStringLiteral("no such text"));
    click("Command2");
    click("Command3");
    QCOMPARE(fileColumn(0).size(), 7);
    // The current record goes, and only that one.
    click("Command4");
    QStringList left = fileColumn(3);
    left.removeAt(2);
    testsupport::clickCell(w->grid(), 2, 3);
    click("Command3");
    QCOMPARE(fileColumn(3), left);
    QVERIFY(messages().isEmpty());
}

// The width is held, the height has a floor, and the grid takes what the height gains.
void TestListWindow::resizeKeepsWidthAndGrowsTheGrid() {
    ListWindow* w = open();
    const QSize start = w->size();
    const QRect grid = w->grid()->geometry();
    w->resize(start + QSize(200, 150));
    QTRY_COMPARE(w->size(), start + QSize(0, 150));
    QCOMPARE(w->grid()->geometry(), grid.adjusted(0, 0, 0, 150));
    w->resize(start.width(), 20);
    QTRY_VERIFY(w->height() > 20);
    QVERIFY(w->grid()->height() > 0);
    QCOMPARE(w->grid()->pos(), grid.topLeft());
}

// A refused value is told in a real message box; the editor opens again on the typed text and
// Escape gives the stored value back. Closing is refused as well while the row waits.
void TestListWindow::refusedEditInRealMessageBox() {
    ListWindow* w = open();
    controls::DataGrid* grid = w->grid();
    auto openEditor = [grid] { return testsupport::openCellEditor(grid); };
    auto edit = [grid, openEditor](int row, int column, const QString& text) {
        testsupport::clickCell(grid, row, column);
        QTest::keyClick(grid, Qt::Key_F2);
        QVERIFY(openEditor());
        openEditor()->setText(text);
    };
    platform::QtPlatform real;
    platform::services().messages = &real;
    QString told;
    QTimer closer;
    connect(&closer, &QTimer::timeout, [&told] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            told = box->text();
            box->accept();
        }
    });
    closer.start(10);
    edit(1, 1, QStringLiteral("二"));
    testsupport::clickCell(grid, 2, 1);
    QVERIFY2(told.startsWith(QStringLiteral("「項目番号」には数値を入力してください")), qPrintable(told));
    QTRY_VERIFY(openEditor());
    QCOMPARE(openEditor()->text(), QStringLiteral("二"));
    QCOMPARE(grid->currentIndex(), grid->model()->index(1, 1));
    told.clear();
    QVERIFY(!w->close());
    QVERIFY(!told.isEmpty());
    QTRY_VERIFY(openEditor());
    QTest::keyClick(openEditor(), Qt::Key_Escape);
    QCOMPARE(grid->model()->index(1, 1).data().toString(), QStringLiteral("3"));
    QCOMPARE(fileColumn(1).at(1), QStringLiteral("3"));
    closer.stop();
    platform::services().messages = &fx_->platform;

    // An edit pending when a filter runs is written first.
    edit(2, 3, QStringLiteral("Lunch"));
    pick("Combo5", QStringLiteral("False"));
    QCOMPARE(fileColumn(3).at(2), QStringLiteral("Lunch"));
    QVERIFY(messages().isEmpty());
}

void TestListWindow::dateCellTakesOnlyADate_data() {
    QTest::addColumn<QString>("typed"); // a lone space is typed with the Space key on the cell
    QTest::addColumn<bool>("taken");
    QTest::newRow("space key") << QStringLiteral(" ") << false;
    QTest::newRow("emptied") << QString() << false;
    QTest::newRow("month 13") << QStringLiteral("2026/13/01") << false;
    QTest::newRow("leading zeros") << QStringLiteral("2026/01/05") << false;
    QTest::newRow("no date") << QStringLiteral("abc") << false;
    QTest::newRow("beyond the calendar") << QStringLiteral("3001/1/1") << false;
    QTest::newRow("a date") << QStringLiteral("2026/12/7") << true;
}

// A 年月日 the calendar cannot show is refused when the window closes: told why, the typed text
// kept in the editor, the window open, and Escape gives the stored date back. A date is written.
void TestListWindow::dateCellTakesOnlyADate() {
    QFETCH(QString, typed);
    QFETCH(bool, taken);
    ListWindow* w = open();
    controls::DataGrid* grid = w->grid();
    const QString before = grid->model()->index(1, 0).data().toString();
    const QStringList stored = fileColumn(0);
    testsupport::clickCell(grid, 1, 0);
    if (typed == QStringLiteral(" ")) {
        QTest::keyClick(grid, Qt::Key_Space);
    } else {
        QTest::keyClick(grid, Qt::Key_F2);
        QVERIFY(testsupport::openCellEditor(grid));
        testsupport::openCellEditor(grid)->setText(typed);
    }
    QTRY_VERIFY(testsupport::openCellEditor(grid));
    QCOMPARE(testsupport::openCellEditor(grid)->text(), typed);

    if (taken) {
        QVERIFY(w->close());
        QVERIFY(messages().isEmpty());
        QVERIFY(fileColumn(0).contains(typed));
        QVERIFY(!fileColumn(0).contains(before));
        return;
    }
    QVERIFY(!w->close());
    QCOMPARE(messages().size(), 1);
    QVERIFY2(messages().first().text.startsWith(QStringLiteral("「年月日」")),
             qPrintable(messages().first().text));
    QCOMPARE(fileColumn(0), stored);
    QTRY_VERIFY(testsupport::openCellEditor(grid));
    QCOMPARE(testsupport::openCellEditor(grid)->text(), typed);
    QTest::keyClick(testsupport::openCellEditor(grid), Qt::Key_Escape);
    QCOMPARE(grid->model()->index(1, 0).data().toString(), before);
    QVERIFY(w->close());
    QCOMPARE(fileColumn(0), stored);
    QCOMPARE(messages().size(), 1);
}

void TestListWindow::closeEnablesMainWindow() {
    ListWindow* w = open();
    click("Command1");
    QVERIFY(fx_->host.window.isEnabled());
    QTRY_VERIFY(!window_);
    // The file is let go: it can be replaced at once.
    QVERIFY(QFile::remove(fx_->file));
    // The close box does the same.
    fx_->file = fx_->env.makeScheduleFile(QStringLiteral("second.sdb"));
    fx_->host.settingsRecord.scheduleFile = fx_->file;
    w = open();
    QVERIFY(w);
    w->close();
    QVERIFY(fx_->host.window.isEnabled());
    QVERIFY(!w->grid()->dataControl().isOpen());
}

// A sync (or another program) added a row: the open list shows it, unless a row is being edited,
// whose typing must survive.
void TestListWindow::reloadAfterAnotherWriterKeepsTyping() {
    ListWindow* w = open();
    const int rows = w->grid()->model()->rowCount();
    testrows::addDays(fx_->file, {{QStringLiteral("2026/3/6"), 1, 1.0, QStringLiteral("同期で来た")}});
    w->reloadUnlessEditing();
    QTRY_COMPARE(w->grid()->model()->rowCount(), rows + 1);
    QVERIFY(shownColumn(3).contains(QStringLiteral("同期で来た")));
    QVERIFY(w->grid()->model()->setData(w->grid()->model()->index(0, 3), QStringLiteral("入力中")));
    testrows::addDays(fx_->file, {{QStringLiteral("2026/3/7"), 1, 1.0, QStringLiteral("もう一つ")}});
    w->reloadUnlessEditing();
    QCOMPARE(w->grid()->model()->rowCount(), rows + 1);
    QCOMPARE(w->grid()->model()->index(0, 3).data().toString(), QStringLiteral("入力中"));
}

QTEST_MAIN(TestListWindow)
#include "test_list_window.moc"
