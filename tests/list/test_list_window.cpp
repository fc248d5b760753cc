// The list window driven through its widgets, over a real Schedule file.

#define QTEST_QPA_MOUSE_HANDLING
#include "ScheduleRows.h"
#include "controls/DataGrid.h"
#include "controls/Fonts.h"
#include "controls/Geometry.h"
#include "controls/SpinButton.h"
#include "list/ListWindow.h"
#include "list/ListWindows.h"
#include "platform/QtServices.h"
#include "support/FakeHost.h"
#include "support/FakePlatform.h"
#include "support/TestEnv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using list::ListWindow;
using testrows::DayRow;

class TestListWindow : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { controls::registerFontSubstitutions(); }
    void init();
    void cleanup();

    void controls_data();
    void controls();
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
    void command4ResetsTheBoxes_data();
    void command4ResetsTheBoxes();
    void uncheckingLeavesTheGrid();
    void text2DoubleClick_data();
    void text2DoubleClick();
    void deleteOnEmptyGrid();
    void deleteMovesToNextRecord();
    void resizeRules_data();
    void resizeRules();
    void gridEditAndRefusal();
    void closeEnablesMainWindow();

  private:
    ListWindow* open();
    QStringList shownColumn(int column) const;
    void pick(QComboBox* box, const QString& text);

    std::unique_ptr<testsupport::TestEnv> env_;
    std::unique_ptr<testsupport::FakePlatform> fake_;
    std::unique_ptr<testsupport::FakeHost> host_;
    QPointer<ListWindow> window_;
    QString file_;
};

void TestListWindow::init() {
    env_ = std::make_unique<testsupport::TestEnv>();
    fake_ = std::make_unique<testsupport::FakePlatform>();
    fake_->install();
    host_ = std::make_unique<testsupport::FakeHost>();
    file_ = env_->makeScheduleFile();
    host_->settingsRecord.START_FILE = file_;
    testrows::addDays(file_, {{QStringLiteral("2024/1/5"), 1, 3.0, QStringLiteral("会議"),
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
    host_.reset();
    fake_.reset();
    env_.reset();
}

ListWindow* TestListWindow::open() {
    host_->setMainEnabled(false);
    host_->window.show();
    list::showListWindow(*host_);
    window_ = host_->window.findChild<ListWindow*>();
    return window_;
}

QStringList TestListWindow::shownColumn(int column) const {
    QStringList values;
    const QAbstractItemModel* model = window_->DBGrid1->model();
    for (int row = 0; row < model->rowCount(); ++row)
        values << model->index(row, column).data().toString();
    return values;
}

void TestListWindow::pick(QComboBox* box, const QString& text) {
    // As the user picks from the list: the text changes and the box reports the pick.
    const int index = box->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}

void TestListWindow::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tip");
    auto row = [](const char* name, const char* parent, QRect twips, const QString& text,
                  const QString& tip) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(parent) << twips << text
                            << tip;
    };
    row("Frame5", "D_list", {120, 120, 3615, 735}, QStringLiteral("年月日フィルター"),
        QStringLiteral("年月日によるフィルター設定"));
    row("Check1", "Frame5", {240, 240, 735, 300}, QStringLiteral("適用"),
        QStringLiteral("設定を有効にします"));
    row("Text2", "Frame5", {1200, 240, 615, 315}, QStringLiteral("2026"),
        QStringLiteral("抽出する年を設定します"));
    row("SpinButton1", "Frame5", {1800, 240, 255, 375}, QString(), QString());
    row("Label5", "Frame5", {2040, 360, 255, 255}, QStringLiteral("年"), QString());
    row("Combo2", "Frame5", {2280, 240, 975, 300}, QStringLiteral("すべて"),
        QStringLiteral("抽出する月を設定します"));
    row("Label6", "Frame5", {3240, 360, 255, 255}, QStringLiteral("月"), QString());
    row("frame1", "D_list", {120, 960, 3615, 1695}, QStringLiteral("フィルター"),
        QStringLiteral("予定項目により選択表示します"));
    row("Label1", "frame1", {240, 360, 975, 255}, QStringLiteral("項目番号"), QString());
    row("Combo1", "frame1", {240, 600, 975, 300}, QStringLiteral("すべて"),
        QStringLiteral("抽出する項目番号を設定します"));
    row("Label2", "frame1", {1320, 360, 975, 255}, QStringLiteral("レベル番号"), QString());
    row("Combo4", "frame1", {1320, 600, 975, 300}, QStringLiteral("すべて"),
        QStringLiteral("抽出するレベル番号を設定します"));
    row("Label3", "frame1", {2400, 360, 1095, 255}, QStringLiteral("アラーム設定"), QString());
    row("Combo5", "frame1", {2400, 600, 975, 300}, QStringLiteral("すべて"),
        QStringLiteral("抽出するアラーム状態を設定します"));
    row("Command4", "frame1", {240, 1080, 3135, 495}, QStringLiteral("すべてのフィルター解除"),
        QStringLiteral("すべてのフィルター解除スイッチ"));
    row("Frame2", "D_list", {3840, 960, 1815, 1695}, QStringLiteral("予定検索"),
        QStringLiteral("内容の検索ができます"));
    row("Label4", "Frame2", {120, 360, 1215, 255}, QStringLiteral("検索文字列"), QString());
    row("Text1", "Frame2", {120, 600, 1575, 270}, QString(), QStringLiteral("検索する文字列を入力します"));
    row("Command2", "Frame2", {120, 1080, 1575, 465}, QStringLiteral("検索"),
        QStringLiteral("検索実行スイッチ"));
    row("Frame3", "D_list", {5760, 840, 2895, 1815}, QStringLiteral("ソート"),
        QStringLiteral("設定条件により並び替えできます"));
    row("Frame4", "Frame3", {120, 240, 1575, 1455}, QStringLiteral("比較項目"),
        QStringLiteral("基準項目を選択します"));
    row("Command5", "Frame3", {1800, 480, 975, 495}, QStringLiteral("昇順"),
        QStringLiteral("昇順ソート実行スイッチ"));
    row("Command6", "Frame3", {1800, 1200, 975, 495}, QStringLiteral("降順"),
        QStringLiteral("降順ソート実行スイッチ"));
    row("Command3", "D_list", {4080, 120, 615, 615}, QString(), QStringLiteral("選択項目の削除"));
    row("Command1", "D_list", {7920, 120, 615, 615}, QString(),
        QStringLiteral("スケジュールリスト表示の終了"));
    row("DBGrid1", "D_list", {0, 2775, 8775, 3135}, QString(),
        QStringLiteral("設定されているスケジュールのリスト"));
}

void TestListWindow::controls() {
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    QFETCH(QString, tip);
    ListWindow* w = open();
    QVERIFY(w);
    auto* widget = w->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget()->objectName(), parent);
    const QRect expected = controls::twipsRect(twips.x(), twips.y(), twips.width(), twips.height());
    QCOMPARE(widget->pos(), expected.topLeft());
    QCOMPARE(widget->width(), expected.width());
    if (name != QLatin1String("DBGrid1")) // the grid's height follows the window
        QCOMPARE(widget->height(), expected.height());
    QCOMPARE(widget->toolTip(), tip);
    QString shown;
    if (auto* box = qobject_cast<QGroupBox*>(widget))
        shown = box->title();
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        shown = button->text();
    else if (auto* label = qobject_cast<QLabel*>(widget))
        shown = label->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        shown = edit->text();
    else if (auto* box = qobject_cast<QComboBox*>(widget))
        shown = box->currentText();
    QCOMPARE(shown, text);
    if (name == QLatin1String("Command3") || name == QLatin1String("Command1")) {
        auto* button = qobject_cast<QPushButton*>(widget);
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->iconSize(), QSize(32, 32));
    }
}

void TestListWindow::load() {
    ListWindow* w = open();
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Daduvov-スケジュールリスト"));
    QVERIFY(!host_->window.isEnabled()); // stays disabled while the list is open
    QVERIFY(w->isEnabled());

    QCOMPARE(w->Text2->text(), QStringLiteral("2026"));
    QCOMPARE(w->SpinButton1->value(), 2026);
    QCOMPARE(w->SpinButton1->minimum(), 1900);
    QCOMPARE(w->SpinButton1->maximum(), 2100);
    QVERIFY(!w->Check1->isChecked());
    QVERIFY(w->Text1->text().isEmpty());
    auto items = [](QComboBox* box) {
        QStringList list;
        for (int i = 0; i < box->count(); ++i)
            list << box->itemText(i);
        return list;
    };
    QCOMPARE(items(w->Combo1),
             (QStringList{QStringLiteral("すべて"), QStringLiteral("項目1"), QStringLiteral("項目2"),
                          QStringLiteral("項目3"), QStringLiteral("項目4")}));
    QCOMPARE(items(w->Combo4),
             (QStringList{QStringLiteral("すべて"), QStringLiteral("ﾚﾍﾞﾙ1"), QStringLiteral("ﾚﾍﾞﾙ2"),
                          QStringLiteral("ﾚﾍﾞﾙ3"), QStringLiteral("ﾚﾍﾞﾙ4"), QStringLiteral("ﾚﾍﾞﾙ5")}));
    QCOMPARE(items(w->Combo5),
             (QStringList{QStringLiteral("すべて"), QStringLiteral("False"), QStringLiteral("True")}));
    QCOMPARE(items(w->Combo2).size(), 13);
    QCOMPARE(items(w->Combo2).at(10), QStringLiteral("10月"));
    for (QComboBox* box : {w->Combo1, w->Combo4, w->Combo5, w->Combo2}) {
        QVERIFY(box->isEditable());
        QCOMPARE(box->currentText(), QStringLiteral("すべて"));
    }

    // Option1: index 3 chosen; the captions in their places, in the small font.
    QVERIFY(w->Option1[3]->isChecked());
    const QStringList captions{QStringLiteral("年月日"), QStringLiteral("項目番号"),
                               QStringLiteral("アラーム設定"), QStringLiteral("内容"),
                               QStringLiteral("レベル")};
    const int tops[] = {240, 480, 960, 1200, 720};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(w->Option1[i]->text(), captions.at(i));
        QCOMPARE(w->Option1[i]->parentWidget(), w->Frame4);
        QCOMPARE(w->Option1[i]->y(), controls::px(tops[i]));
        QCOMPARE(w->Option1[i]->font().pointSizeF(), 8.25);
    }
    QCOMPARE(w->Check1->font().pointSizeF(), 9.0);

    // The whole table in its own order; the early filters left nothing behind.
    QCOMPARE(w->Data1.recordSource(), QStringLiteral("予定表"));
    QCOMPARE(shownColumn(0),
             (QStringList{QStringLiteral("2024/1/5"), QStringLiteral("2024/11/1"), QStringLiteral("2024/3/1"),
                          QStringLiteral("2024/10/1"), QStringLiteral("2024/2/1"),
                          QStringLiteral("2025/11/3"), QStringLiteral("2026/3/5")}));
    QCOMPARE(w->Data1.absolutePosition(), 0);
    QVERIFY(fake_->messages.isEmpty());

    // Centred on the 1280 x 1024 screen.
    const QRect outer = w->frameGeometry();
    QCOMPARE(outer.left(), (1280 - outer.width()) / 2);
    QCOMPARE(outer.top(), (1024 - outer.height()) / 2);
}

void TestListWindow::emptyScheduleFileClosesAtOnce() {
    host_->settingsRecord.START_FILE.clear();
    ListWindow* w = open();
    QVERIFY(host_->window.isEnabled());
    QVERIFY(!w || !w->isVisible());
    QTRY_VERIFY(!host_->window.findChild<ListWindow*>());
    QVERIFY(fake_->messages.isEmpty());
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
    const QString path = env_->path(QStringLiteral("other.sdb"));
    if (!contents.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
    host_->settingsRecord.START_FILE = path;
    ListWindow* w = open();
    QVERIFY(w && w->isVisible());
    QCOMPARE(fake_->messages.size(), 1);
    QVERIFY2(fake_->messages.first().text.startsWith(sentence), qPrintable(fake_->messages.first().text));
    QCOMPARE(fake_->messages.first().icon, platform::Icon::Exclamation);
    QCOMPARE(w->DBGrid1->model()->rowCount(), 0);
    // Still usable: a filter reports again, the close button closes.
    pick(w->Combo1, QStringLiteral("項目1"));
    QCOMPARE(fake_->messages.size(), 2);
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QVERIFY(host_->window.isEnabled());
}

void TestListWindow::monthFilterMatchesOnlyThatMonth() {
    ListWindow* w = open();
    w->Text2->setText(QStringLiteral("2024"));
    QTest::mouseClick(w->Check1, Qt::LeftButton);
    QCOMPARE(w->Data1.recordSource(), QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' ;"));
    QCOMPARE(shownColumn(0).size(), 5);
    pick(w->Combo2, QStringLiteral("1月"));
    QCOMPARE(w->Data1.recordSource(),
             QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' AND 年月日 LIKE '*/1/*' ;"));
    QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2024/1/5")});
    // The spin button steps the year and filters again.
    QTest::mouseClick(w->SpinButton1->downButton(), Qt::LeftButton); // 2024 is not the spin value: 2025
    QCOMPARE(w->Text2->text(), QStringLiteral("2025"));
    QCOMPARE(shownColumn(0), QStringList());
    pick(w->Combo2, QStringLiteral("11月"));
    QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2025/11/3")});
    QVERIFY(fake_->messages.isEmpty());
}

void TestListWindow::sortByDateIsChronological() {
    ListWindow* w = open();
    w->Option1[0]->click();
    QTest::mouseClick(w->Command5, Qt::LeftButton);
    QCOMPARE(w->Data1.recordSource(), QStringLiteral("SELECT * FROM 予定表 ORDER BY 年月日 ASC;"));
    QCOMPARE(shownColumn(0),
             (QStringList{QStringLiteral("2024/1/5"), QStringLiteral("2024/2/1"), QStringLiteral("2024/3/1"),
                          QStringLiteral("2024/10/1"), QStringLiteral("2024/11/1"),
                          QStringLiteral("2025/11/3"), QStringLiteral("2026/3/5")}));
    // Descending by level keeps the slot filter; rows without a level come last.
    pick(w->Combo1, QStringLiteral("項目3"));
    w->Option1[4]->click();
    QTest::mouseClick(w->Command6, Qt::LeftButton);
    QCOMPARE(w->Data1.recordSource(),
             QStringLiteral("SELECT * FROM 予定表 WHERE 項目番号 = 3 ORDER BY レベル DESC;"));
    QCOMPARE(shownColumn(2).mid(0, 2), (QStringList{QStringLiteral("5"), QStringLiteral("2")}));
    QCOMPARE(shownColumn(2).size(), 4);
}

void TestListWindow::searchWithDateFilterAndSlot() {
    ListWindow* w = open();
    w->Text2->setText(QStringLiteral("2024"));
    w->Check1->setChecked(true);
    pick(w->Combo2, QStringLiteral("11月"));
    pick(w->Combo1, QStringLiteral("項目3"));
    w->Text1->setText(QStringLiteral("歯医者"));
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(w->Data1.recordSource(),
             QStringLiteral(
                 "SELECT * FROM 予定表 WHERE 項目番号 = 3 AND 年月日 LIKE '2024/*'  AND 年月日 LIKE '*/11/*' "
                 "AND 内容 LIKE '*歯医者*' ;"));
    QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2024/11/1")});
    // Wildcards typed by the user stay wildcards.
    w->Check1->setChecked(false);
    QTest::mouseClick(w->Command4, Qt::LeftButton);
    w->Text1->setText(QStringLiteral("歯*時"));
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(shownColumn(3), QStringList{QStringLiteral("歯医者 3時")});
    QVERIFY(fake_->messages.isEmpty());
}

void TestListWindow::searchTextWithApostrophe() {
    ListWindow* w = open();
    w->Text1->setText(QStringLiteral("O'Brien"));
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(w->Data1.recordSource(), QStringLiteral("SELECT * FROM 予定表 WHERE 内容 LIKE '*O''Brien*' ;"));
    QCOMPARE(shownColumn(3), QStringList{QStringLiteral("O'Brien と昼食")});
    // Text that tries to end the literal early only searches for itself.
    w->Text1->setText(QStringLiteral("' OR 内容 LIKE '*"));
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(shownColumn(3), QStringList());
    QVERIFY(fake_->messages.isEmpty());
    QCOMPARE(testrows::column(file_, QStringLiteral("予定表"), 0).size(), 7);
}

void TestListWindow::yearThatIsNotANumber() {
    ListWindow* w = open();
    w->Text2->setText(QStringLiteral("abc'"));
    w->Check1->setChecked(true);
    QCOMPARE(shownColumn(0), QStringList());
    QVERIFY(fake_->messages.isEmpty());
}

void TestListWindow::typedComboTextDropsItsCondition() {
    ListWindow* w = open();
    pick(w->Combo1, QStringLiteral("項目3"));
    pick(w->Combo4, QStringLiteral("ﾚﾍﾞﾙ2"));
    QCOMPARE(shownColumn(3), QStringList{QStringLiteral("歯医者")});
    // Typing into the box: every keystroke is a change.
    w->Combo4->lineEdit()->selectAll();
    QTest::keyClicks(w->Combo4->lineEdit(), QStringLiteral("x"));
    QCOMPARE(w->Combo4->currentText(), QStringLiteral("x"));
    QCOMPARE(w->Data1.recordSource(), QStringLiteral("SELECT * FROM 予定表 WHERE 項目番号 = 3;"));
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
    testrows::addDays(file_,
                      {{QStringLiteral("2024/5/5"), 2, 1.0, QStringLiteral("運動"), QStringLiteral("true")}});
    ListWindow* w = open();
    w->Text2->setText(QStringLiteral("2024"));
    w->Check1->setChecked(true);
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
    ListWindow* w = open();
    pick(w->Combo1, QStringLiteral("項目3"));
    QCOMPARE(shownColumn(0).size(), 4);
    // A row edited out of the filter leaves when the shown item is picked again.
    store::DataControl other;
    other.setDatabaseName(file_);
    other.setRecordSource(QStringLiteral("SELECT * FROM 予定表 WHERE 年月日='2024/3/1' ;"));
    QVERIFY(!other.refresh());
    QVERIFY(!other.updateRow(0, {{QStringLiteral("項目番号"), 2.0}}));
    QCoreApplication::processEvents();
    pick(w->Combo1, QStringLiteral("項目3"));
    QCOMPARE(shownColumn(0).size(), 3);
}

void TestListWindow::searchTextIsCapped() {
    ListWindow* w = open();
    const QString before = w->Data1.recordSource();
    w->Text1->setText(QString(ListWindow::kMaxSearchLength + 1, QChar(0x3042)));
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(fake_->messages.size(), 1);
    QVERIFY(fake_->messages.first().text.contains(QString::number(ListWindow::kMaxSearchLength)));
    QCOMPARE(w->Data1.recordSource(), before);
    w->Text1->setText(QString(ListWindow::kMaxSearchLength, QChar(0x3042)));
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(fake_->messages.size(), 1);
    QCOMPARE(shownColumn(0), QStringList());
}

void TestListWindow::command4ResetsTheBoxes_data() {
    QTest::addColumn<bool>("dateFilter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("date filter off") << false << QStringLiteral("SELECT * FROM 予定表 ;");
    QTest::newRow("date filter on") << true
                                    << QStringLiteral(
                                           "SELECT * FROM 予定表 WHERE 年月日 LIKE '2024/*' AND 年月日 "
                                           "LIKE '*/3/*' ;");
}

void TestListWindow::command4ResetsTheBoxes() {
    QFETCH(bool, dateFilter);
    QFETCH(QString, expected);
    ListWindow* w = open();
    w->Text2->setText(QStringLiteral("2024"));
    pick(w->Combo2, QStringLiteral("3月"));
    w->Check1->setChecked(dateFilter);
    pick(w->Combo1, QStringLiteral("項目2"));
    pick(w->Combo4, QStringLiteral("ﾚﾍﾞﾙ1"));
    pick(w->Combo5, QStringLiteral("False"));
    QTest::mouseClick(w->Command4, Qt::LeftButton);
    for (QComboBox* box : {w->Combo1, w->Combo4, w->Combo5})
        QCOMPARE(box->currentText(), QStringLiteral("すべて"));
    QCOMPARE(w->Data1.recordSource(), expected);
    QCOMPARE(shownColumn(0).size(), dateFilter ? 1 : 7);
}

void TestListWindow::uncheckingLeavesTheGrid() {
    ListWindow* w = open();
    w->Text2->setText(QStringLiteral("2025"));
    QTest::mouseClick(w->Check1, Qt::LeftButton);
    QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2025/11/3")});
    QTest::mouseClick(w->Check1, Qt::LeftButton);
    QVERIFY(!w->Check1->isChecked());
    QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2025/11/3")});
    // With the box unchecked the month choice runs nothing either.
    pick(w->Combo2, QStringLiteral("5月"));
    QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2025/11/3")});
}

void TestListWindow::text2DoubleClick_data() {
    QTest::addColumn<bool>("dateFilter");
    QTest::newRow("unchecked") << false;
    QTest::newRow("checked") << true;
}

void TestListWindow::text2DoubleClick() {
    QFETCH(bool, dateFilter);
    ListWindow* w = open();
    QTest::mouseClick(w->SpinButton1->downButton(), Qt::LeftButton);
    QTest::mouseClick(w->SpinButton1->downButton(), Qt::LeftButton);
    QCOMPARE(w->Text2->text(), QStringLiteral("2024"));
    w->Check1->setChecked(dateFilter);
    const QString before = w->Data1.recordSource();
    QTest::mouseDClick(w->Text2, Qt::LeftButton);
    QCOMPARE(w->Text2->text(), QStringLiteral("2026"));
    QCOMPARE(w->SpinButton1->value(), 2026);
    if (dateFilter) {
        QCOMPARE(w->Data1.recordSource(),
                 QStringLiteral("SELECT * FROM 予定表 WHERE 年月日 LIKE '2026/*' ;"));
        QCOMPARE(shownColumn(0), QStringList{QStringLiteral("2026/3/5")});
    } else {
        QCOMPARE(w->Data1.recordSource(), before);
        QCOMPARE(shownColumn(0).size(), 7);
    }
}

void TestListWindow::deleteOnEmptyGrid() {
    ListWindow* w = open();
    w->Text1->setText(QStringLiteral("no such text"));
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(w->DBGrid1->model()->rowCount(), 0);
    QCOMPARE(w->Data1.absolutePosition(), -1);
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QCOMPARE(testrows::column(file_, QStringLiteral("予定表"), 0).size(), 7);
    QVERIFY(fake_->messages.isEmpty());
    QVERIFY(w->isVisible());
}

void TestListWindow::deleteMovesToNextRecord() {
    ListWindow* w = open();
    const QModelIndex third = w->DBGrid1->model()->index(2, 3);
    QTest::mouseClick(w->DBGrid1->viewport(), Qt::LeftButton, {}, w->DBGrid1->visualRect(third).center());
    QCOMPARE(w->Data1.absolutePosition(), 2);
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QCOMPARE(testrows::column(file_, QStringLiteral("予定表"), 3),
             (QStringList{QStringLiteral("会議"), QStringLiteral("歯医者 3時"), QStringLiteral("運動会"),
                          QStringLiteral("歯医者"), QStringLiteral("歯医者"), QStringLiteral("今日の予定")}));
    QCOMPARE(w->Data1.absolutePosition(), 2);
    QCOMPARE(w->Data1.field(QStringLiteral("内容")).toString(), QStringLiteral("運動会"));
    QCOMPARE(w->DBGrid1->currentIndex().row(), 2);
    QCOMPARE(w->DBGrid1->model()->headerData(2, Qt::Vertical).toString(), QStringLiteral("▶"));
    QVERIFY(fake_->messages.isEmpty());
}

void TestListWindow::resizeRules_data() {
    QTest::addColumn<QSize>("asked");
    QTest::addColumn<QSize>("result");
    // Outer sizes: width 8900 twips = 593 px; height at least 5000 twips = 333 px.
    QTest::newRow("wider and lower") << QSize(800, 200) << QSize(593, 333);
    QTest::newRow("narrower") << QSize(400, 400) << QSize(593, 400);
    QTest::newRow("higher") << QSize(593, 600) << QSize(593, 600);
}

void TestListWindow::resizeRules() {
    QFETCH(QSize, asked);
    QFETCH(QSize, result);
    ListWindow* w = open();
    const QSize frame = w->frameGeometry().size() - w->size();
    QCOMPARE(w->frameGeometry().width(), 593);
    w->resize(asked - frame);
    QTRY_COMPARE(w->frameGeometry().size(), result);
    // Grid height = outer height − 3200 twips.
    QCOMPARE(w->DBGrid1->height(), (result.height() * 15 - 3200) / 15);
    QCOMPARE(w->DBGrid1->pos(), controls::twipsRect(0, 2775, 1, 1).topLeft());
}

void TestListWindow::gridEditAndRefusal() {
    ListWindow* w = open();
    controls::DataGrid* grid = w->DBGrid1;
    auto click = [grid](int row, int column) {
        const QModelIndex index = grid->model()->index(row, column);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    };
    auto openEditor = [grid]() -> QLineEdit* {
        for (QLineEdit* e : grid->findChildren<QLineEdit*>(QStringLiteral("cellEditor")))
            if (e->isVisible())
                return e;
        return nullptr;
    };
    auto edit = [grid, openEditor](const QString& text) {
        QTest::keyClick(grid, Qt::Key_F2);
        QVERIFY(openEditor());
        openEditor()->setText(text);
    };
    click(0, 3);
    edit(QStringLiteral("会議（変更）"));
    click(0, 5);
    QCOMPARE(testrows::column(file_, QStringLiteral("予定表"), 3).first(), QStringLiteral("会議"));
    click(1, 5);
    QCOMPARE(testrows::column(file_, QStringLiteral("予定表"), 3).first(), QStringLiteral("会議（変更）"));

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
    click(1, 1);
    edit(QStringLiteral("二"));
    click(2, 1);
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
    QCOMPARE(testrows::column(file_, QStringLiteral("予定表"), 1).at(1), QStringLiteral("3"));
    closer.stop();
    platform::services().messages = fake_.get();

    // An edit pending when a filter runs is written first.
    click(2, 3);
    edit(QStringLiteral("Lunch"));
    pick(w->Combo5, QStringLiteral("False"));
    QCOMPARE(testrows::column(file_, QStringLiteral("予定表"), 3).at(2), QStringLiteral("Lunch"));
    QVERIFY(fake_->messages.isEmpty());
}

void TestListWindow::closeEnablesMainWindow() {
    ListWindow* w = open();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QVERIFY(host_->window.isEnabled());
    QTRY_VERIFY(!window_);
    // The file is let go: it can be replaced at once.
    QVERIFY(QFile::remove(file_));
    // The close box does the same.
    file_ = env_->makeScheduleFile(QStringLiteral("second.sdb"));
    host_->settingsRecord.START_FILE = file_;
    w = open();
    QVERIFY(w);
    w->close();
    QVERIFY(host_->window.isEnabled());
    QVERIFY(!w->Data1.isOpen());
}

QTEST_MAIN(TestListWindow)
#include "test_list_window.moc"
