// What a screen reader hears in each window: every control that takes the focus has a name of its
// own (no two alike in one window) and a role, and the windows are dialogs or frames; the day
// buttons' names and states follow the month, the marked days and the Selected date.

#define QTEST_QPA_MOUSE_HANDLING

#include "alarm/MissedAlarmsWindow.h"
#include "app/MainWindow.h"
#include "calendar/CalendarPanel.h"
#include "controls/Fonts.h"
#include "controls/SpinButton.h"
#include "platform/HelpViewer.h"
#include "settings/Settings.h"
#include "support/ProgramFixture.h"
#include "support/ScheduleRows.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

using calendar::CalendarPanel;
using testrows::putSlot;

namespace {

const QDate kToday(2026, 3, 5); // the fake clock's date

QAccessibleInterface* accessible(QWidget* w) {
    return QAccessible::queryAccessibleInterface(w);
}

// Every control of `window` that Tab can reach, as a screen reader meets it; an edit that is the
// focus proxy of its box (a combo's edit part) is spoken as that box.
QList<QWidget*> focusableControls(QWidget* window) {
    QList<QWidget*> found;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window || !(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() ||
            !w->isVisibleTo(window))
            continue;
        const QWidget* owner = w->parentWidget();
        if (w->focusProxy() || (owner && !owner->isWindow() && owner->focusProxy() == w))
            continue;
        found << w;
    }
    return found;
}

} // namespace

class TestAccessibleNames : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::ProgramFixture> fx;
    std::unique_ptr<app::MainWindow> main;

    CalendarPanel* panel() const { return main->calendarPanel(); }

    QAccessibleInterface* day(int n) const { return accessible(panel()->dayButton(n)); }

    std::unique_ptr<QWidget> built; // a window the test made itself

    // Opens the window by its menu action, or makes it; the calendar is the main window.
    QWidget* open(const QString& menuAction, const QString& window) {
        if (window == QLatin1String("MissedAlarms")) {
            const std::vector<store::ArmedItem> missed{
                {QStringLiteral("2026/3/4"), 1, 2, QStringLiteral("0900"), QStringLiteral("会議")}};
            built = std::make_unique<alarms::MissedAlarmsWindow>(missed, 0, main->settings());
        } else if (window == QLatin1String("HelpViewer")) {
            built = std::make_unique<platform::HelpViewer>();
        } else if (menuAction.isEmpty()) {
            return main.get();
        } else {
            main->menuAction(menuAction)->trigger();
            return main->findChild<QWidget*>(window);
        }
        return built.get();
    }

  private Q_SLOTS:
    void initTestCase() { controls::registerFontSubstitutions(); }

    void init() {
        fx = std::make_unique<testsupport::ProgramFixture>();
        QVERIFY(
            putSlot(fx->schedule, kToday, 1, {QStringLiteral("会議"), QStringLiteral("ﾚﾍﾞﾙ2"), false, {}}));
        QVERIFY(putSlot(fx->schedule, QDate(2026, 3, 10), 2, {QStringLiteral("歯医者"), {}, false, {}}));
        fx->writeSettings({QStringLiteral("KARE_ON=True")});
        main = fx->startProgram();
    }

    void cleanup() {
        built.reset();
        testsupport::closeOtherWindows();
        main.reset();
        fx.reset();
    }

    void everyFocusableControlIsNamed_data() {
        QTest::addColumn<QString>("menuAction"); // opens the window; empty for the calendar
        QTest::addColumn<QString>("window");     // its object name, or a window the test builds
        QTest::newRow("calendar") << QString() << QStringLiteral("M_calendar2");
        QTest::newRow("entry") << QStringLiteral("input") << QStringLiteral("D_input");
        QTest::newRow("day display") << QStringLiteral("disp") << QStringLiteral("D_output");
        QTest::newRow("list") << QStringLiteral("list") << QStringLiteral("D_list");
        QTest::newRow("ToDo") << QStringLiteral("todo") << QStringLiteral("ToDo_list");
        QTest::newRow("options") << QStringLiteral("settei") << QStringLiteral("frmOptions");
        QTest::newRow("version") << QStringLiteral("ver") << QStringLiteral("VerWindow");
        QTest::newRow("missed alarms") << QString() << QStringLiteral("MissedAlarms");
        QTest::newRow("help") << QString() << QStringLiteral("HelpViewer");
    }

    void everyFocusableControlIsNamed() {
        QFETCH(QString, menuAction);
        QFETCH(QString, window);
        QWidget* w = open(menuAction, window);
        QVERIFY2(w, qPrintable(window));
        w->show();

        // A day window's name says its date, which its fixed title does not.
        if (window == QLatin1String("D_input") || window == QLatin1String("D_output"))
            QVERIFY2(accessible(w)->text(QAccessible::Name).endsWith(QStringLiteral(" 2026年3月5日 木曜日")),
                     qPrintable(accessible(w)->text(QAccessible::Name)));
        const QAccessible::Role windowRole = accessible(w)->role();
        QVERIFY2(windowRole == QAccessible::Dialog || windowRole == QAccessible::Window,
                 qPrintable(QStringLiteral("window role %1").arg(windowRole)));
        const QList<QWidget*> controls = focusableControls(w);
        QVERIFY(!controls.isEmpty());
        QHash<QString, QWidget*> names;
        for (QWidget* control : controls) {
            const QString what = QString::fromLatin1(control->metaObject()->className()) + QLatin1Char(' ') +
                                 control->objectName();
            QAccessibleInterface* a = accessible(control);
            QVERIFY2(a, qPrintable(what));
            // Qt on Linux reports a combo box's value as its name; its own name reaches the
            // reader through the label relation and the accessible name.
            const QString name =
                qobject_cast<QComboBox*>(control) ? control->accessibleName() : a->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(what + QStringLiteral(" has no name")));
            QVERIFY2(!names.contains(name),
                     qPrintable(what + QStringLiteral(" has the name of another: ") + name));
            names.insert(name, control);
            QVERIFY2(a->role() != QAccessible::NoRole && a->role() != QAccessible::Client,
                     qPrintable(what + QStringLiteral(" has no role")));
        }
    }

    // Run again with QT_FONT_DPI=144 and no scaling: the windows laid out in fixed places keep
    // every caption, the year, the clock and a time whole.
    void captionsFitTheirBoxes_data() {
        QTest::addColumn<QString>("menuAction");
        QTest::addColumn<QString>("window");
        QTest::newRow("calendar") << QString() << QStringLiteral("M_calendar2");
        QTest::newRow("entry") << QStringLiteral("input") << QStringLiteral("D_input");
        QTest::newRow("day display") << QStringLiteral("disp") << QStringLiteral("D_output");
        QTest::newRow("list") << QStringLiteral("list") << QStringLiteral("D_list");
        QTest::newRow("ToDo") << QStringLiteral("todo") << QStringLiteral("ToDo_list");
        QTest::newRow("options") << QStringLiteral("settei") << QStringLiteral("frmOptions");
        QTest::newRow("version") << QStringLiteral("ver") << QStringLiteral("VerWindow");
    }

    void captionsFitTheirBoxes() {
        QFETCH(QString, menuAction);
        QFETCH(QString, window);
        QWidget* w = open(menuAction, window);
        QVERIFY2(w, qPrintable(window));
        for (QLineEdit* box : w->findChildren<QLineEdit*>(QRegularExpression(QStringLiteral("^Text"))))
            if (box->text().isEmpty() && box->maxLength() >= 4 && box->width() < 60)
                box->setText(QStringLiteral("0855")); // a time
        w->show();
        for (QLabel* label : w->findChildren<QLabel*>()) {
            if (!label->isVisibleTo(w) || label->text().contains(QLatin1Char('\n')) || label->wordWrap())
                continue;
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
                     qPrintable(label->objectName() + QStringLiteral(": ") + label->text()));
        }
        for (QLineEdit* box : w->findChildren<QLineEdit*>()) {
            if (!box->isVisibleTo(w) || box->text().isEmpty() ||
                qobject_cast<QComboBox*>(box->parentWidget()))
                continue;
            QVERIFY2(box->fontMetrics().horizontalAdvance(box->text()) <= box->width() - 8,
                     qPrintable(box->objectName() + QStringLiteral(": ") + box->text()));
        }
    }

    // Each level colour of the options is also told as text: a basic colour by its Japanese name,
    // any other as #RRGGBB, the theme's own text colour as 標準.
    void levelColoursReadAsText() {
        main.reset();
        fx->writeSettings(
            {QStringLiteral("CRL1=16711680"), QStringLiteral("CRL2=1193046")}); // 0xFF0000, 0x123456
        main = fx->startProgram();
        QWidget* options = open(QStringLiteral("settei"), QStringLiteral("frmOptions"));
        QVERIFY(options);
        QCOMPARE(options->findChild<QWidget*>(QStringLiteral("Label10"))->accessibleName(),
                 QStringLiteral("未設定の色: 標準"));
        QCOMPARE(options->findChild<QWidget*>(QStringLiteral("Label5"))->accessibleName(),
                 QStringLiteral("レベル1の色: 青"));
        QCOMPARE(options->findChild<QWidget*>(QStringLiteral("Label6"))->accessibleName(),
                 QStringLiteral("レベル2の色: #563412"));
    }

    // A marked day drawn in the theme's button colour follows a theme changed while running.
    void themeChangeRecoloursTheMonth() {
        main.reset();
        fx->writeSettings(
            {QStringLiteral("KARE_ON=True"), QStringLiteral("kareCRL=-2147483633")}); // 0x8000000F
        main = fx->startProgram();
        const QPalette before = QApplication::palette();
        QCOMPARE(panel()->dayButton(10)->faceColor(), before.color(QPalette::Button));
        QPalette dark = before;
        dark.setColor(QPalette::Button, QColor(0x30, 0x30, 0x38));
        QApplication::setPalette(dark);
        QCoreApplication::processEvents();
        const QColor face = panel()->dayButton(10)->faceColor();
        QApplication::setPalette(before);
        QCOMPARE(face, QColor(0x30, 0x30, 0x38));
    }

    void dayButtonsFollowMonthMarksAndSelection() {
        // March 2026 starts on a Sunday: button 1 is the 1st; 10 is marked; 5 is today and selected;
        // 20 is 春分の日.
        QCOMPARE(day(5)->text(QAccessible::Name), QStringLiteral("3月5日 木曜日 予定あり 選択中"));
        QVERIFY(day(5)->state().selected);
        QCOMPARE(day(10)->text(QAccessible::Name), QStringLiteral("3月10日 火曜日 予定あり"));
        QVERIFY(!day(10)->state().selected);
        QCOMPARE(day(20)->text(QAccessible::Name), QStringLiteral("3月20日 金曜日 春分の日"));
        QCOMPARE(day(31)->text(QAccessible::Name), QStringLiteral("3月31日 火曜日"));
        QCOMPARE(day(32)->text(QAccessible::Name), QString());
        QCOMPARE(panel()->dayButton(32)->focusPolicy(), Qt::NoFocus);
        QVERIFY(day(32)->state().invisible);
        QVERIFY(!day(31)->state().invisible);

        // A click moves the selection.
        QTest::mouseClick(panel()->dayButton(10), Qt::LeftButton);
        testsupport::closeOtherWindows();
        QVERIFY(day(10)->state().selected);
        QVERIFY(!day(5)->state().selected);
        QCOMPARE(day(5)->text(QAccessible::Name), QStringLiteral("3月5日 木曜日 予定あり"));

        // The next month by the spin: names follow, the new month is told as a value, the
        // selected day is not on show, and the blank leading cells say nothing and take no focus.
        panel()->monthSpin()->setValue(4);
        QCOMPARE(accessible(panel()->monthSpin())->valueInterface()->currentValue().toInt(), 4);
        QCOMPARE(panel()->monthSpin()->accessibleDescription(), QStringLiteral("2026年4月"));
        QCOMPARE(day(1)->text(QAccessible::Name), QString());
        QCOMPARE(panel()->dayButton(1)->focusPolicy(), Qt::NoFocus);
        QCOMPARE(day(4)->text(QAccessible::Name), QStringLiteral("4月1日 水曜日"));
        QCOMPARE(panel()->dayButton(4)->focusPolicy(), Qt::StrongFocus);
        for (int n = 1; n <= calendar::kDayButtons; ++n)
            QVERIFY2(!day(n)->state().selected, qPrintable(QString::number(n)));
        QCOMPARE(day(32)->text(QAccessible::Name), QStringLiteral("4月29日 水曜日 昭和の日"));
    }
};

QTEST_MAIN(TestAccessibleNames)
#include "test_accessible_names.moc"
