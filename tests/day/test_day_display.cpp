// The day display: the "no items" box, the four boxes with their level colours, closing; and
// both day windows over a Schedule file that cannot be read.

#define QTEST_QPA_MOUSE_HANDLING
#include <QtTest>

#include "DayTestData.h"
#include "controls/Fonts.h"
#include "day/DayWindows.h"
#include "day/DisplayWindow.h"
#include "day/EntryWindow.h"

#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <memory>

using daytest::crl;
using daytest::putSlot;
using store::SlotItem;

namespace {

const QDate kDay(2026, 3, 5);

// Stores slot `slot` with a raw レベル value (the entry window only writes 1..5 or nothing).
bool putRawLevel(const QString& file, int slot, const QVariant& level) {
    if (!putSlot(file, kDay, slot, SlotItem{QStringLiteral("生"), QString(), false, QString()}))
        return false;
    store::DataControl data;
    data.setDatabaseName(file);
    data.setRecordSource(store::slotQuery(store::dateString(kDay), slot));
    return data.refresh().ok() && data.edit().ok() && data.setField(QStringLiteral("レベル"), level).ok() &&
           data.update().ok();
}

} // namespace

class TestDayDisplay : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { controls::registerFontSubstitutions(); }
    void init() { f_ = std::make_unique<daytest::Fixture>(kDay); }
    void cleanup() {
        delete window_.data();
        f_.reset();
    }

    void noItemsShowsBox();
    void slotThreeOnly();
    void holidayInHeading();
    void levelColours_data();
    void levelColours();
    void closing_data();
    void closing();
    void nothingToRead_data();
    void nothingToRead();

  private:
    bool show() {
        f_->windows.showDayDisplay(f_->host);
        window_ = f_->host.window.findChild<day::DisplayWindow*>();
        return window_;
    }
    QLabel* label(int n) const { return window_->findChild<QLabel*>(QStringLiteral("Label%1").arg(n)); }
    QColor colour(int n) const { return label(n)->palette().color(QPalette::WindowText); }

    std::unique_ptr<daytest::Fixture> f_;
    QPointer<day::DisplayWindow> window_;
};

void TestDayDisplay::noItemsShowsBox() {
    QVERIFY(
        putSlot(f_->file, kDay.addDays(1), 1, SlotItem{QStringLiteral("明日"), QString(), false, QString()}));
    f_->host.setMainEnabled(false); // as the menu item does
    QVERIFY(!show());
    QCOMPARE(f_->platform.messages.size(), 1);
    QCOMPARE(f_->platform.messages.first().text, QStringLiteral("予定はありません"));
    QVERIFY(f_->host.window.isEnabled());
}

void TestDayDisplay::slotThreeOnly() {
    QVERIFY(putSlot(f_->file, kDay, 3,
                    SlotItem{QStringLiteral("<b>歯医者</b>"), QStringLiteral("ﾚﾍﾞﾙ4"), true, "1500"}));
    QVERIFY(show());
    QVERIFY(f_->platform.messages.isEmpty());
    QVERIFY(!f_->host.window.isEnabled());
    QVERIFY(window_->isVisible() && window_->isEnabled());
    QCOMPARE(label(5)->text(), QLocale::system().toString(kDay, QLocale::ShortFormat));
    QCOMPARE(label(3)->text(), QStringLiteral("<b>歯医者</b>"));
    QCOMPARE(label(3)->textFormat(), Qt::PlainText); // the user's text, never markup
    QCOMPARE(colour(3), crl(4));
    for (int n : {1, 2, 4}) {
        QCOMPARE(label(n)->text(), QString());
        QCOMPARE(colour(n), crl(0));
    }
    daytest::verifyHeadingRow(window_, QStringLiteral("Label5"), QStringLiteral("Label6"), QString());
}

// The narrow window makes room for the longest holiday name after the date and its text.
void TestDayDisplay::holidayInHeading() {
    const QDate day(2019, 10, 22);
    QVERIFY(putSlot(f_->file, day, 1, SlotItem{QStringLiteral("式典"), QString(), false, QString()}));
    f_->host.selected = day;
    QVERIFY(show());
    QCOMPARE(label(5)->text(), QLocale::system().toString(day, QLocale::ShortFormat));
    daytest::verifyHeadingRow(window_, QStringLiteral("Label5"), QStringLiteral("Label6"),
                              QStringLiteral("即位礼正殿の儀"));
}

void TestDayDisplay::levelColours_data() {
    QTest::addColumn<QVariant>("level1");
    QTest::addColumn<QVariant>("level2");
    QTest::addColumn<QColor>("colour1");
    QTest::addColumn<QColor>("colour2");
    const QColor buttonText = platform::toQColor(settings::kButtonTextColor);
    QTest::newRow("levels 1 and 5") << QVariant(1.0) << QVariant(5.0) << crl(1) << crl(5);
    QTest::newRow("none and 0") << QVariant() << QVariant(0.0) << crl(0) << crl(0);
    QTest::newRow("2.5 and 3.5 to even") << QVariant(2.5) << QVariant(3.5) << crl(2) << crl(4);
    QTest::newRow("outside 0 to 5") << QVariant(7.0) << QVariant(255.0) << buttonText << buttonText;
    QTest::newRow("not a byte") << QVariant(-3.0) << QVariant(300.0) << crl(0) << crl(0);
}

void TestDayDisplay::levelColours() {
    QFETCH(QVariant, level1);
    QFETCH(QVariant, level2);
    QFETCH(QColor, colour1);
    QFETCH(QColor, colour2);
    QVERIFY(putRawLevel(f_->file, 1, level1));
    QVERIFY(putRawLevel(f_->file, 2, level2));
    QVERIFY(show());
    QCOMPARE(label(1)->text(), QStringLiteral("生"));
    QCOMPARE(colour(1), colour1);
    QCOMPARE(colour(2), colour2);
}

void TestDayDisplay::closing_data() {
    QTest::addColumn<int>("key"); // 0: click OK, -1: closed by the window system
    QTest::newRow("OK clicked") << 0;
    QTest::newRow("Enter") << int(Qt::Key_Enter);
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("window system") << -1;
}

void TestDayDisplay::closing() {
    QFETCH(int, key);
    QVERIFY(putSlot(f_->file, kDay, 1, SlotItem{QStringLiteral("予定"), QString(), false, QString()}));
    QVERIFY(show());
    QVERIFY(QTest::qWaitForWindowActive(window_));
    auto* ok = window_->findChild<QPushButton*>(QStringLiteral("Command1"));
    QCOMPARE(QApplication::focusWidget(), ok);
    if (key == 0)
        QTest::mouseClick(ok, Qt::LeftButton);
    else if (key > 0)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    else
        window_->close();
    QTRY_VERIFY(window_.isNull());
    QVERIFY(f_->host.window.isEnabled());
}

void TestDayDisplay::nothingToRead_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("entry"); // the entry window, else the day display
    for (const bool entry : {false, true}) {
        const char* window = entry ? "entry window" : "day display";
        QTest::addRow("%s, no file set", window) << QStringLiteral("unset") << entry;
        QTest::addRow("%s, missing file", window) << QStringLiteral("missing") << entry;
        QTest::addRow("%s, not a database", window) << QStringLiteral("garbage") << entry;
        QTest::addRow("%s, no day table", window) << QStringLiteral("other database") << entry;
    }
}

// Without a readable file no window opens (the entry window's empty slots would overwrite the
// stored items), the day is never claimed to be empty, and the calendar stays usable; only a file
// that is set but unreadable is worth a message.
void TestDayDisplay::nothingToRead() {
    QFETCH(QString, kind);
    QFETCH(bool, entry);
    const QString path = f_->env.path(QStringLiteral("bad.sdb"));
    f_->host.settingsRecord.scheduleFile = kind == QLatin1String("unset") ? QString() : path;
    QVERIFY(daytest::makeUnreadable(path, kind));
    f_->host.setMainEnabled(false);
    if (entry)
        f_->windows.showEntryWindow(f_->host);
    else
        f_->windows.showDayDisplay(f_->host);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!f_->host.window.findChild<day::EntryWindow*>());
    QVERIFY(!f_->host.window.findChild<day::DisplayWindow*>());
    QVERIFY(f_->host.window.isEnabled());
    QCOMPARE(f_->platform.messages.size(), kind == QLatin1String("unset") ? 0 : 1);
    for (const auto& m : f_->platform.messages) {
        QCOMPARE(m.icon, platform::Icon::Exclamation);
        QVERIFY(m.text.contains(QStringLiteral("スケジュールファイル")));
    }
    QCOMPARE(QFile::exists(path), kind != QLatin1String("unset") && kind != QLatin1String("missing"));
}

QTEST_MAIN(TestDayDisplay)
#include "test_day_display.moc"
