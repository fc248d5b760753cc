// The entry window driven through its widgets: loading, the Changed flag and the save question,
// the four buttons, level colours, input limits and a Schedule file that cannot be used.

#define QTEST_QPA_MOUSE_HANDLING
#include <QtTest>

#include "DayTestData.h"
#include "controls/Fonts.h"
#include "day/DayWindows.h"
#include "day/EntryWindow.h"
#include "platform/Colors.h"
#include "support/RealDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <memory>

using daytest::crl;
using daytest::putSlot;
using daytest::storedSlot;
using platform::Answer;
using store::SlotItem;

namespace {

const QDate kDay(2026, 1, 5);
const QString kQuestion = QStringLiteral("内容が変更されています。保存しますか？");

void typeText(QWidget* box, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

QColor colour(QLineEdit* box) {
    return box->palette().color(QPalette::Text);
}

} // namespace

class TestEntryWindow : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { controls::registerFontSubstitutions(); }
    void init() { f_ = std::make_unique<daytest::Fixture>(kDay); }
    void cleanup() {
        delete window_.data();
        f_.reset();
    }

    void emptyDateOpensClean();
    void editThenClose_data();
    void editThenClose();
    void writeThenCloseAsksNothing();
    void discardDeletesAllWithoutQuestion();
    void todaySavesUnderShownDateThenShowsToday();
    void frameCaptions();
    void levelColour_data();
    void levelColour();
    void emptyTimeAndClearedSlot();
    void longDateAndTimeShowWhole();
    void noScheduleFile();
    void lengthLimits_data();
    void lengthLimits();
    void failedWriteKeepsWindowAndRows_data();
    void failedWriteKeepsWindowAndRows();
    void otherProgramSavedMeanwhile_data();
    void otherProgramSavedMeanwhile();
    void untouchedSlotNeverConflicts_data();
    void untouchedSlotNeverConflicts();

  private:
    bool open();
    template <typename T> T* child(const QString& name) const {
        T* w = window_ ? window_->findChild<T*>(name) : nullptr;
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    QLineEdit* text(int n) const { return child<QLineEdit>(QStringLiteral("Text%1").arg(n)); }
    QComboBox* combo(int n) const { return child<QComboBox>(QStringLiteral("Combo%1").arg(n)); }
    QCheckBox* check(int n) const { return child<QCheckBox>(QStringLiteral("Check%1").arg(n)); }
    void click(const char* button) {
        QTest::mouseClick(child<QPushButton>(QLatin1String(button)), Qt::LeftButton);
    }
    SlotItem shown(int slot) const {
        return {text(slot)->text(), combo(slot)->currentText(), check(slot)->isChecked(),
                text(slot + 4)->text()};
    }
    // The window went away, gave the calendar back and had it rebuilt once.
    bool closedAndCalendarRebuilt() const {
        return QTest::qWaitFor([this] { return window_.isNull(); }) && f_->host.window.isEnabled() &&
               f_->host.rebuilds == 1;
    }
    int questions() const {
        return int(std::count_if(f_->platform.messages.cbegin(), f_->platform.messages.cend(),
                                 [](const auto& m) { return m.text == kQuestion; }));
    }

    std::unique_ptr<daytest::Fixture> f_;
    QPointer<day::EntryWindow> window_;
};

// Opens the window the way the main window does: disable itself, then call the entry point.
bool TestEntryWindow::open() {
    f_->host.setMainEnabled(false);
    f_->windows.showEntryWindow(f_->host);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    window_ = f_->host.window.findChild<day::EntryWindow*>();
    return window_ && window_->isVisible() && window_->isEnabled();
}

void TestEntryWindow::emptyDateOpensClean() {
    QVERIFY(open());
    QCOMPARE(child<QLabel>(QStringLiteral("Label1"))->text(), QStringLiteral("2026/1/5"));
    for (int n = 1; n <= 4; ++n) {
        QCOMPARE(shown(n), SlotItem{});
        QCOMPARE(colour(text(n)), crl(0));
    }
    QVERIFY(!window_->isChanged());
    click("Command2");
    QVERIFY(f_->platform.messages.isEmpty());
    QVERIFY(closedAndCalendarRebuilt());
}

void TestEntryWindow::editThenClose_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<bool>("yes");
    for (const char* edit : {"content", "time", "alarm", "pick level", "type level"}) {
        QTest::addRow("%s, yes", edit) << QString::fromLatin1(edit) << true;
        QTest::addRow("%s, no", edit) << QString::fromLatin1(edit) << false;
    }
}

void TestEntryWindow::editThenClose() {
    QFETCH(QString, edit);
    QFETCH(bool, yes);
    const SlotItem before{QStringLiteral("会議"), QString(), false, QStringLiteral("0930")};
    QVERIFY(putSlot(f_->file, kDay, 2, before));
    QVERIFY(open());
    if (edit == QLatin1String("content"))
        typeText(text(2), QStringLiteral("追記"));
    else if (edit == QLatin1String("time"))
        QTest::keyClicks(text(6), QStringLiteral("1"));
    else if (edit == QLatin1String("alarm"))
        QTest::mouseClick(check(2), Qt::LeftButton);
    else if (edit == QLatin1String("pick level"))
        QTest::keyClick(combo(2), Qt::Key_Down);
    else
        typeText(combo(2)->lineEdit(), QStringLiteral("ﾚﾍﾞﾙ4"));
    QVERIFY(window_->isChanged());
    const SlotItem edited = shown(2);
    QVERIFY(edited != before);

    f_->platform.answers.enqueue(yes ? Answer::Yes : Answer::No);
    window_->close();
    QCOMPARE(f_->platform.messages.size(), 1);
    const auto& asked = f_->platform.messages.first();
    QCOMPARE(asked.text, kQuestion);
    QCOMPARE(asked.buttons, platform::Buttons::YesNo);
    QVERIFY(closedAndCalendarRebuilt());
    QCOMPARE(storedSlot(f_->file, kDay, 2), yes ? edited : before);
}

void TestEntryWindow::writeThenCloseAsksNothing() {
    QVERIFY(open());
    typeText(text(1), QStringLiteral("歯医者"));
    click("Command4");
    QVERIFY(window_->isVisible());
    QCOMPARE(storedSlot(f_->file, kDay, 1).content, QStringLiteral("歯医者"));
    QCOMPARE(f_->host.rebuilds, 0); // the calendar is rebuilt only when the window closes
    click("Command2");
    QVERIFY(f_->platform.messages.isEmpty());
    QVERIFY(closedAndCalendarRebuilt());
}

void TestEntryWindow::discardDeletesAllWithoutQuestion() {
    for (int slot = 1; slot <= 4; ++slot)
        QVERIFY(putSlot(f_->file, kDay, slot,
                        SlotItem{QStringLiteral("予定"), store::levelText(slot), true, "1200"}));
    QVERIFY(
        putSlot(f_->file, kDay.addDays(1), 1, SlotItem{QStringLiteral("翌日"), QString(), false, QString()}));
    QVERIFY(open());
    click("Command3");
    QVERIFY(f_->platform.messages.isEmpty());
    QCOMPARE(daytest::rowCount(f_->file, kDay), 0);
    QCOMPARE(daytest::rowCount(f_->file, kDay.addDays(1)), 1);
    QVERIFY(window_->isVisible());
    QVERIFY(!window_->isChanged());
    for (int n = 1; n <= 4; ++n)
        QCOMPARE(shown(n), SlotItem{});
}

void TestEntryWindow::todaySavesUnderShownDateThenShowsToday() {
    const QDate today(2026, 3, 20);
    f_->platform.clock = QDateTime(today, QTime(9, 0));
    QVERIFY(putSlot(f_->file, today, 3,
                    SlotItem{QStringLiteral("今日の予定"), QStringLiteral("ﾚﾍﾞﾙ2"), true, QString()}));
    QVERIFY(open());
    typeText(text(1), QStringLiteral("五日の予定"));
    f_->platform.answers.enqueue(Answer::Yes);
    click("Command1");

    QCOMPARE(questions(), 1);
    QCOMPARE(storedSlot(f_->file, kDay, 1).content, QStringLiteral("五日の予定"));
    QCOMPARE(daytest::rowCount(f_->file, today), 1);
    QCOMPARE(f_->host.selected, today);
    QCOMPARE(child<QLabel>(QStringLiteral("Label1"))->text(), QStringLiteral("2026/3/20"));
    QCOMPARE(shown(1), SlotItem{});
    QCOMPARE(shown(3), (SlotItem{QStringLiteral("今日の予定"), QStringLiteral("ﾚﾍﾞﾙ2"), true, "####"}));
    QCOMPARE(colour(text(3)), crl(2));
    window_->close();
    QCOMPARE(questions(), 1);
}

void TestEntryWindow::frameCaptions() {
    f_->host.settingsRecord.slotLabel(2) = QStringLiteral("仕事");
    f_->host.settingsRecord.slotLabel(4) = QStringLiteral("R&D");
    QVERIFY(open());
    QCOMPARE(child<QGroupBox>(QStringLiteral("Frame1"))->title(), QStringLiteral("項目1"));
    QCOMPARE(child<QGroupBox>(QStringLiteral("Frame2"))->title(), QStringLiteral("仕事"));
    QCOMPARE(child<QGroupBox>(QStringLiteral("Frame4"))->title(), QStringLiteral("R&&D")); // shows "R&D"
}

void TestEntryWindow::levelColour_data() {
    QTest::addColumn<QString>("typed"); // "" clears the combo; "<down>" picks the next item
    QTest::addColumn<int>("level");     // the CRL the content box ends in
    QTest::newRow("typed level 3") << QStringLiteral("ﾚﾍﾞﾙ3") << 3;
    QTest::newRow("picked next") << QStringLiteral("<down>") << 2;
    QTest::newRow("cleared") << QString() << 0;
    QTest::newRow("a blank keeps") << QStringLiteral(" ") << 1;
    QTest::newRow("full-width keeps") << QStringLiteral("レベル3") << 1;
    QTest::newRow("level 6 keeps") << QStringLiteral("ﾚﾍﾞﾙ6") << 1;
}

// A level change recolours the content box at once, before any save; a text outside the five
// leaves the colour of the loaded level 1 and never becomes a list item.
void TestEntryWindow::levelColour() {
    QFETCH(QString, typed);
    QFETCH(int, level);
    QVERIFY(
        putSlot(f_->file, kDay, 2, SlotItem{QStringLiteral("x"), QStringLiteral("ﾚﾍﾞﾙ1"), false, QString()}));
    QVERIFY(open());
    QCOMPARE(colour(text(2)), crl(1));
    if (typed == QLatin1String("<down>")) {
        QTest::keyClick(combo(2), Qt::Key_Down);
    } else if (typed.isEmpty()) {
        combo(2)->lineEdit()->clear();
    } else {
        combo(2)->lineEdit()->selectAll();
        typeText(combo(2)->lineEdit(), typed);
        QCOMPARE(combo(2)->currentText(), typed);
    }
    QCOMPARE(combo(2)->count(), 5);
    QCOMPARE(colour(text(2)), crl(level));
    QCOMPARE(colour(text(1)), crl(0));
    QVERIFY(window_->isChanged());
}

void TestEntryWindow::emptyTimeAndClearedSlot() {
    QVERIFY(
        putSlot(f_->file, kDay, 3, SlotItem{QStringLiteral("消す"), QStringLiteral("ﾚﾍﾞﾙ2"), true, "0800"}));
    QVERIFY(
        putSlot(f_->file, kDay, 4, SlotItem{QStringLiteral("残す"), QStringLiteral("ﾚﾍﾞﾙ4"), false, "0900"}));
    QVERIFY(open());
    typeText(text(1), QStringLiteral("時刻なし"));
    text(3)->clear();
    click("Command4");
    QCOMPARE(storedSlot(f_->file, kDay, 1), (SlotItem{QStringLiteral("時刻なし"), QString(), false, "####"}));
    QCOMPARE(storedSlot(f_->file, kDay, 3), SlotItem{});
    QCOMPARE(storedSlot(f_->file, kDay, 4),
             (SlotItem{QStringLiteral("残す"), QStringLiteral("ﾚﾍﾞﾙ4"), false, "0900"}));
    QCOMPARE(daytest::rowCount(f_->file, kDay), 2);
    window_->close();
    QTRY_VERIFY(window_.isNull());
    QVERIFY(open());
    QCOMPARE(text(5)->text(), QStringLiteral("####"));
}

// A ten-character date ends before the text after it, and neither a four-digit time nor a level
// text is scrolled in its narrow box.
void TestEntryWindow::longDateAndTimeShowWhole() {
    const QDate date(2026, 12, 28);
    f_->host.selected = date;
    QVERIFY(putSlot(f_->file, date, 1, SlotItem{QStringLiteral("会議"), QString(), true, "0930"}));
    QVERIFY(putSlot(f_->file, date, 2, SlotItem{QStringLiteral("電話"), QStringLiteral("ﾚﾍﾞﾙ2"), false, {}}));
    QVERIFY(open());
    auto* heading = child<QLabel>(QStringLiteral("Label1"));
    QCOMPARE(heading->text(), QStringLiteral("2026/12/28"));
    QVERIFY(QFontMetrics(heading->font()).horizontalAdvance(heading->text()) <=
            child<QLabel>(QStringLiteral("Label2"))->x() - heading->x());
    daytest::verifyHeadingRow(window_, QStringLiteral("Label1"), QStringLiteral("Label2"), QString());
    QCOMPARE(text(5)->text(), QStringLiteral("0930"));
    QCOMPARE(combo(2)->currentText(), QStringLiteral("ﾚﾍﾞﾙ2"));
    for (QLineEdit* box : {text(5), combo(2)->lineEdit()}) {
        // Not scrolled: the cursor after the last character stands the text's full width from
        // the start. (A line edit settles its scrolling when it paints.)
        const auto cursorX = [box] {
            box->grab();
            return box->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
        };
        box->home(false);
        const int start = cursorX();
        box->end(false);
        QCOMPARE(cursorX() - start, QFontMetrics(box->font()).horizontalAdvance(box->text()));
    }
    // The longest holiday name behind a ten-character date.
    f_->host.selected = QDate(2019, 10, 22);
    window_->close();
    QTRY_VERIFY(window_.isNull());
    QVERIFY(open());
    QCOMPARE(child<QLabel>(QStringLiteral("Label1"))->text(), QStringLiteral("2019/10/22"));
    daytest::verifyHeadingRow(window_, QStringLiteral("Label1"), QStringLiteral("Label2"),
                              QStringLiteral("即位礼正殿の儀"));
}

// The setting vanishes while the window is open: writing says so and writes nothing.
void TestEntryWindow::noScheduleFile() {
    QVERIFY(open());
    f_->host.settingsRecord.scheduleFile.clear();
    typeText(text(1), QStringLiteral("書けない"));
    click("Command4");
    QCOMPARE(f_->platform.messages.size(), 1);
    QCOMPARE(f_->platform.messages.first().text, QStringLiteral("先にデータファイルを設定してください"));
    QCOMPARE(daytest::rowCount(f_->file, kDay), 0);
    QCOMPARE(text(1)->text(), QStringLiteral("書けない"));
    QVERIFY(window_->isChanged());
}

void TestEntryWindow::lengthLimits_data() {
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    const QString kanji80(80, QChar(0x4E88)); // 予
    const QString emoji = QStringLiteral("\U0001F600");
    QTest::newRow("80 kanji") << 1 << kanji80 << kanji80;
    QTest::newRow("81 kanji") << 2 << kanji80 + QStringLiteral("定") << kanji80;
    QTest::newRow("80 emoji") << 3 << emoji.repeated(80) << emoji.repeated(80);
    QTest::newRow("81 emoji") << 4 << emoji.repeated(81) << emoji.repeated(80);
    QTest::newRow("79 kanji, emoji") << 1 << kanji80.left(79) + emoji << kanji80.left(79) + emoji;
    QTest::newRow("7-digit time") << 5 << QStringLiteral("1234567") << QStringLiteral("123456");
}

// The boxes stop at the field widths counted in characters, so the engine takes every text.
void TestEntryWindow::lengthLimits() {
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QVERIFY(open());
    typeText(text(box), typed);
    QCOMPARE(text(box)->text(), kept);
    typeText(text(box), QStringLiteral("x")); // every row fills its box: one more is refused
    QCOMPARE(text(box)->text(), kept);
    const int slot = box > 4 ? box - 4 : box;
    if (box > 4)
        typeText(text(slot), QStringLiteral("内容"));
    click("Command4");
    QVERIFY(f_->platform.messages.isEmpty());
    const SlotItem stored = storedSlot(f_->file, kDay, slot);
    QCOMPARE(box > 4 ? stored.timeText : stored.content, kept);
}

void TestEntryWindow::failedWriteKeepsWindowAndRows_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("file no longer a database") << QStringLiteral("garbage");
    QTest::newRow("journal cannot be created") << QStringLiteral("journal");
    // Slot 1 is written, then removing slot 2 is refused: slot 1 must not stay written alone.
    QTest::newRow("refused part-way") << QStringLiteral("refused");
}

namespace {

// Sets up (on) or takes away (off) the fault that makes writing fail.
bool setFault(const QString& fault, const QString& file, const QByteArray& original, bool on) {
    const QString journal = file + QStringLiteral("-journal");
    if (fault == QLatin1String("garbage"))
        return testsupport::writeBytes(file, on ? QByteArray(original.size(), 'x') : original);
    if (fault == QLatin1String("journal"))
        return on ? QDir().mkdir(journal) : QDir().rmdir(journal);
    // Through the engine directly: the program opens a file with a trigger read-only.
    return testsupport::execSql(file, on ? "CREATE TRIGGER refuse BEFORE DELETE ON 予定表 "
                                           "BEGIN SELECT RAISE(ABORT, 'refused'); END"
                                         : "DROP TRIGGER refuse");
}

} // namespace

// A write the engine refuses: the message names the cause, the window and its typed items stay,
// the stored rows are those of before, and closing asks again.
void TestEntryWindow::failedWriteKeepsWindowAndRows() {
    QFETCH(QString, fault);
    QVERIFY(putSlot(f_->file, kDay, 2,
                    SlotItem{QStringLiteral("前から"), QStringLiteral("ﾚﾍﾞﾙ3"), false, QString()}));
    QVERIFY(open());
    const QByteArray original = testsupport::fileBytes(f_->file);
    QVERIFY(setFault(fault, f_->file, original, true));
    typeText(text(1), QStringLiteral("新しい予定"));
    text(2)->clear();
    click("Command4");

    QCOMPARE(f_->platform.messages.size(), 1);
    QCOMPARE(f_->platform.messages.first().icon, platform::Icon::Exclamation);
    // A trigger planted meanwhile is named as the reason the file turned read-only.
    QVERIFY(f_->platform.messages.first().text.contains(fault == QLatin1String("refused")
                                                            ? QStringLiteral("「refuse」")
                                                            : QStringLiteral("スケジュールファイル")));
    QVERIFY(window_->isVisible());
    QVERIFY(window_->isChanged());
    QCOMPARE(text(1)->text(), QStringLiteral("新しい予定"));

    // Yes to the question on closing: the save fails again and the window stays open.
    f_->platform.answers.enqueue(Answer::Yes);
    QVERIFY(!window_->close());
    QCOMPARE(questions(), 1);
    QVERIFY(window_ && window_->isVisible());
    QVERIFY(!f_->host.window.isEnabled());

    // With the file back as it was, no stored row was lost or changed.
    QVERIFY(setFault(fault, f_->file, original, false));
    QCOMPARE(daytest::rowCount(f_->file, kDay), 1);
    QCOMPARE(storedSlot(f_->file, kDay, 2).content, QStringLiteral("前から"));

    f_->platform.answers.enqueue(Answer::No);
    QVERIFY(window_->close());
    QCOMPARE(questions(), 2);
    QVERIFY(closedAndCalendarRebuilt());
}

void TestEntryWindow::otherProgramSavedMeanwhile_data() {
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("inWindow");
    QTest::newRow("取消, keep mine") << QStringList{"取消", "いいえ"} << "他のプログラム"
                                     << "この画面";
    QTest::newRow("取消, take the file's") << QStringList{"取消", "はい"} << "他のプログラム"
                                           << "他のプログラム";
    QTest::newRow("上書き") << QStringList{"上書き"} << "この画面"
                            << "この画面";
}

// Another program saved slot 1 while the window was open: a real message box shows both versions
// and the stored item is replaced only on 上書き; after 取消 the file's version can be taken into
// the window.
void TestEntryWindow::otherProgramSavedMeanwhile() {
    QFETCH(QStringList, buttons);
    QFETCH(QString, stored);
    QFETCH(QString, inWindow);
    QVERIFY(open());
    QVERIFY(
        putSlot(f_->file, kDay, 1, SlotItem{QStringLiteral("他のプログラム"), QString(), false, QString()}));
    typeText(text(1), QStringLiteral("この画面"));

    QStringList shown;
    {
        testsupport::RealDialogs real;
        testsupport::BoxAnswerer answerer(buttons);
        click("Command4");
        shown = answerer.texts;
    }

    QCOMPARE(shown.size(), buttons.size());
    QVERIFY(shown[0].contains(QStringLiteral("他のプログラム")) &&
            shown[0].contains(QStringLiteral("この画面")));
    QCOMPARE(storedSlot(f_->file, kDay, 1).content, stored);
    QCOMPARE(text(1)->text(), inWindow);
    QCOMPARE(window_->isChanged(), buttons[0] == QStringLiteral("取消"));
}

void TestEntryWindow::untouchedSlotNeverConflicts_data() {
    QTest::addColumn<QString>("time");
    QTest::newRow("time box left empty") << QString();
    QTest::newRow("time typed") << QStringLiteral("0900");
}

// After a save, another program changes a slot this window saved but did not touch since: saving
// another slot writes that one only, without a conflict box and without writing the stale item back.
void TestEntryWindow::untouchedSlotNeverConflicts() {
    QFETCH(QString, time);
    QVERIFY(open());
    typeText(text(1), QStringLiteral("朝"));
    typeText(text(5), time);
    click("Command4");
    QVERIFY(f_->platform.messages.isEmpty());
    QVERIFY(
        putSlot(f_->file, kDay, 1, SlotItem{QStringLiteral("他のプログラム"), QString(), false, QString()}));

    typeText(text(2), QStringLiteral("昼"));
    click("Command4");
    QVERIFY(f_->platform.messages.isEmpty());
    QCOMPARE(storedSlot(f_->file, kDay, 1).content, QStringLiteral("他のプログラム"));
    QCOMPARE(storedSlot(f_->file, kDay, 2).content, QStringLiteral("昼"));
}

QTEST_MAIN(TestEntryWindow)
#include "test_entry_window.moc"
