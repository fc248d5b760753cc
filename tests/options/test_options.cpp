// The options dialog driven through its widgets, with the fake platform answering its dialogs.

#define QTEST_QPA_MOUSE_HANDLING
#include <QtTest>

#include "controls/Fonts.h"
#include "options/OptionsDialog.h"
#include "options/OptionsWindows.h"
#include "settings/ConfigFile.h"
#include "support/WindowFixture.h"

#include <QTabWidget>
#include <memory>

namespace {

constexpr qint32 kRed = 0x0000FF;
constexpr qint32 kGreen = 0x00FF00;

const char* const kLevelLabels[] = {"Label10", "Label5", "Label6", "Label7", "Label8", "Label9"};

} // namespace

Q_DECLARE_METATYPE(std::optional<qint32>)

class TestOptions : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { controls::registerFontSubstitutions(); }
    void init();
    void cleanup() { fx.reset(); } // the host takes a dialog still open with it

    void formLoad_data();
    void formLoad();
    void okCopiesEveryControl();
    void defaultButtons();
    void colourPicking_data();
    void colourPicking();
    void cancelledDialogsLeaveTheirControl();
    void closing_data();
    void closing();
    void secondCallBringsSameDialogForward();

  private:
    options::OptionsDialog* open();
    template <typename T> T* child(const char* name) {
        T* w = dialog->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    // Clicks a control as the user would: first the tab of the page it is on.
    void click(const char* name) {
        QWidget* w = child<QWidget>(name);
        auto* tab = child<QTabWidget>("SSTab1");
        for (int i = 0; i < tab->count(); ++i) {
            if (tab->widget(i)->isAncestorOf(w))
                tab->setCurrentIndex(i);
        }
        QVERIFY2(w->isVisible(), name);
        QTest::mouseClick(w, Qt::LeftButton);
    }

    std::unique_ptr<testsupport::WindowFixture> fx;
    testsupport::FakePlatform* fake = nullptr;
    testsupport::FakeHost* host = nullptr;
    QPointer<options::OptionsDialog> dialog;
    options::OptionsWindows dialogs;
};

void TestOptions::init() {
    fx = std::make_unique<testsupport::WindowFixture>();
    fake = &fx->platform;
    host = &fx->host;
    host->settingsRecord.setColorDefaults();
    host->settingsRecord.alarmSoundFile = QStringLiteral("/sounds/bell.wav");
    host->window.show();
}

options::OptionsDialog* TestOptions::open() {
    dialogs.show(*host);
    dialog = host->window.findChild<options::OptionsDialog*>(QStringLiteral("frmOptions"));
    if (!dialog)
        qFatal("the options dialog did not open");
    if (!QTest::qWaitForWindowExposed(dialog))
        qWarning("options dialog not exposed");
    return dialog;
}

void TestOptions::formLoad_data() {
    QTest::addColumn<QStringList>("koumoku");
    QTest::addColumn<QString>("almFile");
    QTest::addColumn<QStringList>("shownLabels");
    QTest::addColumn<QString>("shownFile");

    const auto unnamed = [](int slot) { return settings::itemLabel(settings::Settings(), slot); };
    QTest::newRow("all empty") << QStringList{"", "", "", ""} << QString()
                               << QStringList{unnamed(1), unnamed(2), unnamed(3), unnamed(4)}
                               << settings::kDefaultSoundName;
    QTest::newRow("some named") << QStringList{"仕事", "", "趣味", ""} << "/x/a.wav"
                                << QStringList{"仕事", unnamed(2), "趣味", unnamed(4)} << "/x/a.wav";
}

// Opening fills the boxes by the item label rule and the bare default sound name; OK stores
// exactly what the boxes show.
void TestOptions::formLoad() {
    QFETCH(QStringList, koumoku);
    QFETCH(QString, almFile);
    QFETCH(QStringList, shownLabels);
    QFETCH(QString, shownFile);
    settings::Settings& s = host->settingsRecord;
    for (int n = 1; n <= 4; ++n)
        s.slotLabel(n) = koumoku[n - 1];
    s.alarmSoundFile = almFile;

    open();
    for (int n = 1; n <= 4; ++n)
        QCOMPARE(child<QLineEdit>(qPrintable(QStringLiteral("Text%1").arg(n)))->text(), shownLabels[n - 1]);
    QCOMPARE(child<QLineEdit>("Text5")->text(), shownFile);
    QVERIFY(host->window.isEnabled());

    click("cmdOK");
    QVERIFY(!dialog);
    for (int n = 1; n <= 4; ++n)
        QCOMPARE(s.slotLabel(n), shownLabels[n - 1]);
    QCOMPARE(s.alarmSoundFile, shownFile);
}

// Every box both ways: two start checked, two unchecked, and each is clicked once.
void TestOptions::okCopiesEveryControl() {
    host->settingsRecord.startInTray = true;
    host->settingsRecord.markDaysWithItems = true;
    open();
    child<QLineEdit>("Text3")->setText(QStringLiteral("会議"));
    click("Check1");
    click("Check2");
    click("Check3");
    click("Check4");
    fake->colors << kRed;
    click("Label7");
    fake->colors << kGreen;
    click("Command4");
    fake->filePaths << QStringLiteral("/home/u/chime.wav");
    click("Command1");
    QCOMPARE(host->settingsRecord.levelColor(3), settings::kButtonTextColor); // nothing copied yet

    click("cmdOK");
    QVERIFY(!dialog);
    const settings::Settings& s = host->settingsRecord;
    QCOMPARE(s.slotLabel(3), QStringLiteral("会議"));
    QCOMPARE(s.slotLabel(1), settings::itemLabel(settings::Settings(), 1));
    QVERIFY(s.showTodayAtStart);
    QVERIFY(!s.startInTray);
    QVERIFY(!s.markDaysWithItems);
    QVERIFY(s.openTodoAtStart);
    QCOMPARE(s.levelColor(3), kRed);
    QCOMPARE(s.levelColor(2), settings::kButtonTextColor); // untouched system colour survives
    QCOMPARE(s.markedDayColor, kGreen);
    QCOMPARE(s.alarmSoundFile, QStringLiteral("/home/u/chime.wav"));
    QCOMPARE(host->rebuilds, 1);
}

// 初期値 buttons; after OK the Settings file holds colour 0, not the start-up default.
void TestOptions::defaultButtons() {
    host->settingsRecord.slotLabel(2) = QStringLiteral("私用");
    open();
    child<QLineEdit>("Text1")->setText(QStringLiteral("x"));
    click("Command2");
    for (int n = 1; n <= 4; ++n)
        QCOMPARE(child<QLineEdit>(qPrintable(QStringLiteral("Text%1").arg(n)))->text(),
                 settings::itemLabel(settings::Settings(), n));
    click("Command3");
    for (const char* name : kLevelLabels)
        QCOMPARE(child<options::LevelLabel>(name)->palette().color(QPalette::WindowText), QColor(Qt::black));
    click("cmdOK");
    const QStringList lines = settings::configLines(host->settingsRecord, 0, 0);
    for (int level = 0; level <= 5; ++level) {
        QCOMPARE(host->settingsRecord.levelColor(level), 0);
        QVERIFY2(lines.contains(QStringLiteral("CRL%1=0").arg(level)), qPrintable(lines.join(u'|')));
    }
}

void TestOptions::colourPicking_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<std::optional<qint32>>("answer");
    QTest::addColumn<bool>("changes");

    const std::optional<qint32> cancel;
    for (const char* name : {"Label10", "Label5", "Label9", "Command4"}) {
        QTest::addRow("%s colour", name) << name << std::optional<qint32>(kRed) << true;
        QTest::addRow("%s cancel", name) << name << cancel << false;
        QTest::addRow("%s black", name) << name << std::optional<qint32>(0) << false;
    }
}

// The colour dialog starts from the control's colour; a cancel or a confirmed black changes nothing.
void TestOptions::colourPicking() {
    QFETCH(QString, control);
    QFETCH(std::optional<qint32>, answer);
    QFETCH(bool, changes);
    host->settingsRecord.markedDayColor = kGreen;
    const settings::Settings before = host->settingsRecord;

    open();
    fake->colors << answer;
    click(qPrintable(control));
    QCOMPARE(fake->colorDialogs, 1);
    click("cmdOK");

    settings::Settings expected = before;
    if (changes) {
        if (control == QLatin1String("Command4"))
            expected.markedDayColor = kRed;
        else
            expected.levelColor(control == QLatin1String("Label10") ? 0 : control.mid(5).toInt() - 4) = kRed;
    }
    for (int slot = 1; slot <= 4; ++slot)
        expected.slotLabel(slot) = settings::itemLabel(before, slot);
    QCOMPARE(host->settingsRecord, expected);
}

// A cancelled colour or sound dialog leaves its control as it was.
void TestOptions::cancelledDialogsLeaveTheirControl() {
    open();
    fake->colors << kRed << std::nullopt;
    click("Label5");
    click("Label6");
    fake->filePaths << QString();
    click("Command1");
    QCOMPARE(child<QLineEdit>("Text5")->text(), QStringLiteral("/sounds/bell.wav"));
    QCOMPARE(child<options::LevelLabel>("Label5")->colorValue(), kRed);
    QCOMPARE(child<options::LevelLabel>("Label5")->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(child<options::LevelLabel>("Label6")->colorValue(), settings::kButtonTextColor);
    // The border stays black whatever the level colour is.
    const QImage image = child<options::LevelLabel>("Label5")->grab().toImage();
    for (const QPoint& p : {QPoint(0, 0), QPoint(image.width() - 1, image.height() - 1)})
        QCOMPARE(image.pixelColor(p), QColor(Qt::black));
}

void TestOptions::closing_data() {
    QTest::addColumn<bool>("applyFirst");
    QTest::addColumn<QString>("closeBy");

    QTest::newRow("cancel") << false << "cmdCancel";
    QTest::newRow("apply, then cancel") << true << "cmdCancel";
    QTest::newRow("close box") << false << "";
    QTest::newRow("apply, then close box") << true << "";
}

// Every close rebuilds the month grid; only 更新 (or OK) copies the controls.
void TestOptions::closing() {
    QFETCH(bool, applyFirst);
    QFETCH(QString, closeBy);
    const settings::Settings before = host->settingsRecord;

    open();
    child<QLineEdit>("Text2")->setText(QStringLiteral("変更"));
    click("Check1");
    if (applyFirst) {
        click("cmdApply");
        QVERIFY(dialog);
        QCOMPARE(host->settingsRecord.slotLabel(2), QStringLiteral("変更"));
        QCOMPARE(host->rebuilds, 0);
    }
    child<QLineEdit>("Text4")->setText(QStringLiteral("後から"));
    if (closeBy.isEmpty())
        dialog->close();
    else
        click(qPrintable(closeBy));
    QTRY_VERIFY(!dialog);
    QCOMPARE(host->rebuilds, 1);
    QVERIFY(host->window.isEnabled());
    if (applyFirst) {
        QCOMPARE(host->settingsRecord.slotLabel(2), QStringLiteral("変更"));
        QVERIFY(host->settingsRecord.showTodayAtStart);
        QCOMPARE(host->settingsRecord.slotLabel(4), settings::itemLabel(before, 4));
    } else {
        QCOMPARE(host->settingsRecord, before);
    }
}

void TestOptions::secondCallBringsSameDialogForward() {
    options::OptionsDialog* first = open();
    child<QLineEdit>("Text1")->setText(QStringLiteral("未保存"));
    first->showMinimized();
    dialogs.show(*host);
    QCOMPARE(host->window.findChildren<options::OptionsDialog*>().size(), 1);
    QCOMPARE(host->window.findChild<options::OptionsDialog*>(), first);
    QVERIFY(first->isVisible());
    QVERIFY(!first->isMinimized());
    QCOMPARE(child<QLineEdit>("Text1")->text(), QStringLiteral("未保存")); // not reloaded
    QVERIFY(host->window.isEnabled());
    QCOMPARE(host->rebuilds, 0);
}

QTEST_MAIN(TestOptions)
#include "test_options.moc"
