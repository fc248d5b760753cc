// The list window driven through its widgets, over a real Schedule file.

#define QTEST_QPA_MOUSE_HANDLING
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "controls/SpinButton.h"
#include "list/ListWindow.h"
#include "list/ListWindows.h"
#include "platform/QtServices.h"
#include "support/WindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
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

    void layout();
    void load();
    void emptyScheduleFileClosesAtOnce();
    void engineErrorsOnOpen_data();
    void engineErrorsOnOpen();
    void monthFilterMatchesOnlyThatMonth();
    void sortByDateIsChronological();
    void searchWithDateFilterAndSlot();
    void searchTextWithApostrophe();
    void yearThatIsNotANumber();
    void typedComboTextDropsItsCondition();
    void comboChoices_data();
    void comboChoices();
    void pickingTheShownItemFiltersAgain();
    void searchTextIsCapped();
    void clearingFiltersResetsTheBoxes_data();
    void clearingFiltersResetsTheBoxes();
    void uncheckingLeavesTheGrid();
    void yearDoubleClick_data();
    void yearDoubleClick();
    void deleteOnEmptyGrid();
    void deleteMovesToNextRecord();
    void resizeRules_data();
    void resizeRules();
    void gridEditAndRefusal();
    void closeEnablesMainWindow();

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
    QString source() const { return data().recordSource(); }
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

// Every control lies inside its frame, no two controls cover each other (edges of the design may
// touch by a pixel), the grid runs below the frames, and the sort options name their fields.
void TestListWindow::layout() {
    ListWindow* w = open();
    QVERIFY(w);
    QList<QWidget*> placed;
    for (QWidget* widget : w->findChildren<QWidget*>())
        if (widget->parentWidget() == w || qobject_cast<QGroupBox*>(widget->parentWidget()))
            placed << widget;
    QCOMPARE(placed.size(), 32);
    for (QWidget* widget : placed) {
        const QString name = widget->objectName();
        QVERIFY2(widget->parentWidget()->rect().contains(widget->geometry()), qPrintable(name));
        for (QWidget* other : placed) {
            const QRect shared = widget->geometry() & other->geometry();
            if (other != widget && other->parentWidget() == widget->parentWidget())
                QVERIFY2(shared.width() <= 1 || shared.height() <= 1, qPrintable(name + other->objectName()));
        }
        // Every frame, box and push button explains itself.
        if (qobject_cast<QGroupBox*>(widget) || qobject_cast<QComboBox*>(widget) ||
            qobject_cast<QLineEdit*>(widget) || qobject_cast<QPushButton*>(widget))
            QVERIFY2(!widget->toolTip().isEmpty(), qPrintable(name));
        if (widget != w->grid() && widget->parentWidget() == w)
            QVERIFY2(widget->geometry().bottom() < w->grid()->y(), qPrintable(name));
        const double points = qobject_cast<QRadioButton*>(widget) ? 8.25 : 9.0;
        QCOMPARE(widget->font().pointSizeF(), points);
    }
    QCOMPARE(w->grid()->x(), 0);

    // The options from top to bottom, each captioned with the field it sorts by.
    QList<QRadioButton*> options = w->findChildren<QRadioButton*>(QStringLiteral("Option1"));
    std::sort(options.begin(), options.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
    QList<int> ids;
    for (QRadioButton* option : options) {
        ids << option->property("index").toInt();
        QVERIFY2(option->text().startsWith(list::sortField(ids.last())), qPrintable(option->text()));
    }
    QCOMPARE(ids, (QList<int>{0, 1, 4, 2, 3}));
    for (const char* name : {"Command3", "Command1"}) {
        QVERIFY(button(name)->text().isEmpty());
        QVERIFY(!button(name)->icon().isNull());
        QCOMPARE(button(name)->iconSize(), QSize(32, 32));
    }
}

void TestListWindow::load() {
    ListWindow* w = open();
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QVERIFY(!fx_->host.window.isEnabled()); // stays disabled while the list is open
    QVERIFY(w->isEnabled());

    QCOMPARE(lineEdit("Text2")->text(), QStringLiteral("2026"));
    QCOMPARE(yearSpin()->value(), 2026);
    QCOMPARE(yearSpin()->minimum(), 1900);
    QCOMPARE(yearSpin()->maximum(), 2100);
    QVERIFY(!dateFilter()->isChecked());
    QVERIFY(lineEdit("Text1")->text().isEmpty());

    // Each box shows "すべて" (no condition) and offers every choice its condition knows.
    const struct {
        const char* name;
        std::function<QString(const QString&)> condition;
        int choices;
    } boxes[] = {{"Combo1", list::slotPart, 4},
                 {"Combo4", list::levelPart, 5},
                 {"Combo5", list::alarmPart, 2},
                 {"Combo2", list::monthMarker, 12}};
    const QString all = list::FilterState().slot;
    for (const auto& choice : boxes) {
        QComboBox* combo = box(choice.name);
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->currentText(), all);
        QCOMPARE(combo->count(), choice.choices + 1);
        QSet<QString> conditions;
        for (int i = 1; i < combo->count(); ++i)
            conditions << choice.condition(combo->itemText(i));
        QVERIFY2(!conditions.contains(QString()) && conditions.size() == choice.choices, choice.name);
    }
    QVERIFY(sortOption(list::kDefaultSortIndex)->isChecked());

    // The whole table in its own order; the early filters left nothing behind.
    QCOMPARE(source(), QStringLiteral("予定表"));
    QCOMPARE(shownColumn(0),
             (QStringList{QStringLiteral("2024/1/5"), QStringLiteral("2024/11/1"), QStringLiteral("2024/3/1"),
                          QStringLiteral("2024/10/1"), QStringLiteral("2024/2/1"),
                          QStringLiteral("2025/11/3"), QStringLiteral("2026/3/5")}));
    QCOMPARE(data().absolutePosition(), 0);
    QVERIFY(messages().isEmpty());

    // Centred on the screen.
    const QRect outer = w->frameGeometry();
    QCOMPARE(outer.center(), QRect(QPoint(0, 0), fx_->platform.screen).center());
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
    QTest::newRow("not a database") << QByteArray(4096, 'x')
                                    << QStringLiteral("スケジュールファイルがデータベースではありません");
    QTest::newRow("missing file") << QByteArray() << QStringLiteral("スケジュールファイルを開けません");
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

void TestListWindow::monthFilterMatchesOnlyThatMonth() {
    QVERIFY(open());
    lineEdit("Text2")->setText(QStringLiteral("2024"));
    click("Check1");
    QCOMPARE(source(), QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' ;"));
    QCOMPARE(shownColumn(0).size(), 5);
    pick("Combo2", QStringLiteral("1月"));
    QCOMPARE(source(),
             QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' AND 年月日 LIKE '*/1/*' ;"));
    QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2024/1/5")});
    // The spin button steps the year and filters again.
    QTest::mouseClick(yearSpin()->downButton(), Qt::LeftButton); // 2024 is not the spin value: 2025
    QCOMPARE(lineEdit("Text2")->text(), QStringLiteral("2025"));
    QCOMPARE(shownColumn(0), QStringList());
    pick("Combo2", QStringLiteral("11月"));
    QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2025/11/3")});
    QVERIFY(messages().isEmpty());
}

void TestListWindow::sortByDateIsChronological() {
    QVERIFY(open());
    sortOption(0)->click();
    click("Command5");
    QCOMPARE(source(), QStringLiteral("SELECT * FROM 予定表 ORDER BY 年月日 ASC;"));
    QCOMPARE(shownColumn(0),
             (QStringList{QStringLiteral("2024/1/5"), QStringLiteral("2024/2/1"), QStringLiteral("2024/3/1"),
                          QStringLiteral("2024/10/1"), QStringLiteral("2024/11/1"),
                          QStringLiteral("2025/11/3"), QStringLiteral("2026/3/5")}));
    // Descending by level keeps the slot filter; rows without a level come last.
    pick("Combo1", QStringLiteral("項目3"));
    sortOption(4)->click();
    click("Command6");
    QCOMPARE(source(), QStringLiteral("SELECT * FROM 予定表 WHERE 項目番号 = 3 ORDER BY レベル DESC;"));
    QCOMPARE(shownColumn(2).mid(0, 2), (QStringList{QStringLiteral("5"), QStringLiteral("2")}));
    QCOMPARE(shownColumn(2).size(), 4);
}

void TestListWindow::searchWithDateFilterAndSlot() {
    QVERIFY(open());
    lineEdit("Text2")->setText(QStringLiteral("2024"));
    dateFilter()->setChecked(true);
    pick("Combo2", QStringLiteral("11月"));
    pick("Combo1", QStringLiteral("項目3"));
    lineEdit("Text1")->setText(QStringLiteral("歯医者"));
    click("Command2");
    QCOMPARE(source(),
             QStringLiteral(
                 "SELECT * FROM 予定表 WHERE 項目番号 = 3 AND 年月日 LIKE '2024/*'  AND 年月日 LIKE '*/11/*' "
                 "AND 内容 LIKE '*歯医者*' ;"));
    QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2024/11/1")});
    // Wildcards typed by the user stay wildcards.
    dateFilter()->setChecked(false);
    click("Command4");
    lineEdit("Text1")->setText(QStringLiteral("歯*時"));
    click("Command2");
    QCOMPARE(shownColumn(3), QStringList{QStringLiteral("歯医者 3時")});
    QVERIFY(messages().isEmpty());
}

void TestListWindow::searchTextWithApostrophe() {
    QVERIFY(open());
    lineEdit("Text1")->setText(QStringLiteral("O'Brien"));
    click("Command2");
    QCOMPARE(source(), QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '*O''Brien*' ;"));
    QCOMPARE(shownColumn(3), QStringList{QStringLiteral("O'Brien と昼食")});
    // Text that tries to end the literal early only searches for itself.
    lineEdit("Text1")->setText(QStringLiteral("' OR 内容 LIKE '*"));
    click("Command2");
    QCOMPARE(shownColumn(3), QStringList());
    QVERIFY(messages().isEmpty());
    QCOMPARE(testrows::column(fx_->file, QStringLiteral("予定表"), 0).size(), 7);
}

void TestListWindow::yearThatIsNotANumber() {
    QVERIFY(open());
    lineEdit("Text2")->setText(QStringLiteral("abc'"));
    dateFilter()->setChecked(true);
    QCOMPARE(shownColumn(0), QStringList());
    QVERIFY(messages().isEmpty());
}

void TestListWindow::typedComboTextDropsItsCondition() {
    QVERIFY(open());
    pick("Combo1", QStringLiteral("項目3"));
    pick("Combo4", QStringLiteral("ﾚﾍﾞﾙ2"));
    QCOMPARE(shownColumn(3), QStringList{QStringLiteral("歯医者")});
    // Typing into the box: every keystroke is a change.
    box("Combo4")->lineEdit()->selectAll();
    QTest::keyClicks(box("Combo4")->lineEdit(), QStringLiteral("x"));
    QCOMPARE(box("Combo4")->currentText(), QStringLiteral("x"));
    QCOMPARE(source(), QStringLiteral("SELECT * FROM 予定表 WHERE 項目番号 = 3;"));
    QCOMPARE(shownColumn(0).size(), 4);
}

void TestListWindow::comboChoices_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("rows"); // of the 6 in 2024
    // The start of an item is no choice (no completion to "True" or "1月").
    QTest::newRow("T in Combo5") << "Combo5"
                                 << "T" << 6;
    QTest::newRow("1 in Combo2") << "Combo2"
                                 << "1" << 6;
    // An exact item is; "True" also finds a stored "true".
    QTest::newRow("True in Combo5") << "Combo5"
                                    << "True" << 2;
}

void TestListWindow::comboChoices() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(int, rows);
    testrows::addDays(fx_->file,
                      {{QStringLiteral("2024/5/5"), 2, 1.0, QStringLiteral("運動"), QStringLiteral("true")}});
    ListWindow* w = open();
    lineEdit("Text2")->setText(QStringLiteral("2024"));
    dateFilter()->setChecked(true);
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
    QVERIFY(!other.refresh());
    QVERIFY(!other.updateRow(0, {{QStringLiteral("項目番号"), 2.0}}));
    QCoreApplication::processEvents();
    pick("Combo1", QStringLiteral("項目3"));
    QCOMPARE(shownColumn(0).size(), 3);
}

void TestListWindow::searchTextIsCapped() {
    QVERIFY(open());
    const QString before = source();
    lineEdit("Text1")->setText(QString(ListWindow::kMaxSearchLength + 1, QChar(0x3042)));
    click("Command2");
    QCOMPARE(messages().size(), 1);
    QVERIFY(messages().first().text.contains(QString::number(ListWindow::kMaxSearchLength)));
    QCOMPARE(source(), before);
    lineEdit("Text1")->setText(QString(ListWindow::kMaxSearchLength, QChar(0x3042)));
    click("Command2");
    QCOMPARE(messages().size(), 1);
    QCOMPARE(shownColumn(0), QStringList());
}

void TestListWindow::clearingFiltersResetsTheBoxes_data() {
    QTest::addColumn<bool>("filterOn");
    QTest::addColumn<QString>("expected");
    QTest::newRow("date filter off") << false << QStringLiteral("SELECT * FROM 予定表 ;");
    QTest::newRow("date filter on") << true
                                    << QStringLiteral(
                                           "SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' AND 年月日 "
                                           "LIKE '*/3/*' ;");
}

void TestListWindow::clearingFiltersResetsTheBoxes() {
    QFETCH(bool, filterOn);
    QFETCH(QString, expected);
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
    QCOMPARE(source(), expected);
    QCOMPARE(shownColumn(0).size(), filterOn ? 1 : 7);
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

void TestListWindow::yearDoubleClick_data() {
    QTest::addColumn<bool>("filterOn");
    QTest::newRow("unchecked") << false;
    QTest::newRow("checked") << true;
}

void TestListWindow::yearDoubleClick() {
    QFETCH(bool, filterOn);
    QVERIFY(open());
    QTest::mouseClick(yearSpin()->downButton(), Qt::LeftButton);
    QTest::mouseClick(yearSpin()->downButton(), Qt::LeftButton);
    QCOMPARE(lineEdit("Text2")->text(), QStringLiteral("2024"));
    dateFilter()->setChecked(filterOn);
    const QString before = source();
    QTest::mouseDClick(lineEdit("Text2"), Qt::LeftButton);
    QCOMPARE(lineEdit("Text2")->text(), QStringLiteral("2026"));
    QCOMPARE(yearSpin()->value(), 2026);
    if (filterOn) {
        QCOMPARE(source(), QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2026/*' ;"));
        QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2026/3/5")});
    } else {
        QCOMPARE(source(), before);
        QCOMPARE(shownColumn(0).size(), 7);
    }
}

void TestListWindow::deleteOnEmptyGrid() {
    ListWindow* w = open();
    lineEdit("Text1")->setText(QStringLiteral("no such text"));
    click("Command2");
    QCOMPARE(w->grid()->model()->rowCount(), 0);
    QCOMPARE(data().absolutePosition(), -1);
    click("Command3");
    QCOMPARE(testrows::column(fx_->file, QStringLiteral("予定表"), 0).size(), 7);
    QVERIFY(messages().isEmpty());
    QVERIFY(w->isVisible());
}

void TestListWindow::deleteMovesToNextRecord() {
    ListWindow* w = open();
    testsupport::clickCell(w->grid(), 2, 3);
    QCOMPARE(data().absolutePosition(), 2);
    click("Command3");
    QCOMPARE(testrows::column(fx_->file, QStringLiteral("予定表"), 3),
             (QStringList{QStringLiteral("会議"), QStringLiteral("歯医者 3時"), QStringLiteral("運動会"),
                          QStringLiteral("歯医者"), QStringLiteral("歯医者"), QStringLiteral("今日の予定")}));
    QCOMPARE(data().absolutePosition(), 2);
    QCOMPARE(data().field(QStringLiteral("内容")).toString(), QStringLiteral("運動会"));
    QCOMPARE(w->grid()->currentIndex().row(), 2);
    QCOMPARE(w->grid()->model()->headerData(2, Qt::Vertical).toString(), QStringLiteral("▶"));
    QVERIFY(messages().isEmpty());
}

// The outer width is held at 8900 twips, the outer height at no less than 5000 twips.
const int kOuterWidth = controls::px(8900);
const int kMinOuterHeight = controls::px(5000);

void TestListWindow::resizeRules_data() {
    QTest::addColumn<QSize>("asked"); // outer sizes in pixels
    QTest::addColumn<QSize>("result");
    QTest::newRow("wider and lower") << QSize(800, 200) << QSize(kOuterWidth, kMinOuterHeight);
    QTest::newRow("narrower") << QSize(400, 400) << QSize(kOuterWidth, 400);
    QTest::newRow("higher") << QSize(kOuterWidth, 600) << QSize(kOuterWidth, 600);
}

void TestListWindow::resizeRules() {
    QFETCH(QSize, asked);
    QFETCH(QSize, result);
    ListWindow* w = open();
    const QSize frame = w->frameGeometry().size() - w->size();
    const QPoint gridTop = w->grid()->pos();
    QCOMPARE(w->frameGeometry().width(), kOuterWidth);
    w->resize(asked - frame);
    QTRY_COMPARE(w->frameGeometry().size(), result);
    // The grid keeps its top and is as high as the outer height less 3200 twips.
    QCOMPARE(w->grid()->height(), controls::px(controls::twips(result.height()) - 3200));
    QCOMPARE(w->grid()->pos(), gridTop);
}

void TestListWindow::gridEditAndRefusal() {
    ListWindow* w = open();
    controls::DataGrid* grid = w->grid();
    auto cell = [grid](int row, int column) { testsupport::clickCell(grid, row, column); };
    auto openEditor = [grid] { return testsupport::openCellEditor(grid); };
    auto edit = [grid, openEditor](const QString& text) {
        QTest::keyClick(grid, Qt::Key_F2);
        QVERIFY(openEditor());
        openEditor()->setText(text);
    };
    cell(0, 3);
    edit(QStringLiteral("会議（変更）"));
    cell(0, 5);
    QCOMPARE(testrows::column(fx_->file, QStringLiteral("予定表"), 3).first(), QStringLiteral("会議"));
    cell(1, 5);
    QCOMPARE(testrows::column(fx_->file, QStringLiteral("予定表"), 3).first(),
             QStringLiteral("会議（変更）"));

    // Refused: an item number that is no number, told in a real message box. The editor opens
    // again on the typed text; Escape gives the stored value back.
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
    cell(1, 1);
    edit(QStringLiteral("二"));
    cell(2, 1);
    QVERIFY2(told.startsWith(QStringLiteral("「項目番号」には数値を入力してください")), qPrintable(told));
    QTRY_VERIFY(openEditor());
    QCOMPARE(openEditor()->text(), QStringLiteral("二"));
    QCOMPARE(grid->currentIndex(), grid->model()->index(1, 1));
    // Closing the window is refused too while the row waits.
    told.clear();
    QVERIFY(!w->close());
    QVERIFY(!told.isEmpty());
    QTRY_VERIFY(openEditor());
    QTest::keyClick(openEditor(), Qt::Key_Escape);
    QCOMPARE(grid->model()->index(1, 1).data().toString(), QStringLiteral("3"));
    QVERIFY(!grid->recordsetModel()->hasPendingEdits());
    QCOMPARE(testrows::column(fx_->file, QStringLiteral("予定表"), 1).at(1), QStringLiteral("3"));
    closer.stop();
    platform::services().messages = &fx_->platform;

    // An edit pending when a filter runs is written first.
    cell(2, 3);
    edit(QStringLiteral("Lunch"));
    pick("Combo5", QStringLiteral("False"));
    QCOMPARE(testrows::column(fx_->file, QStringLiteral("予定表"), 3).at(2), QStringLiteral("Lunch"));
    QVERIFY(messages().isEmpty());
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

QTEST_MAIN(TestListWindow)
#include "test_list_window.moc"
