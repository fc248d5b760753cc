// The exchange commands as the user reaches them: the ﾌｧｲﾙ menu, the list window's CSV button,
// and the real progress and date-range dialogs.

#include "app/ExchangeMenu.h"
#include "app/MainWindow.h"
#include "controls/WorkProgress.h"
#include "list/ListWindow.h"
#include "support/FakeHost.h"
#include "support/FakePlatform.h"
#include "support/ScheduleRows.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

template <typename T> T* topLevel(const QString& objectName) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(w); found && w->objectName() == objectName)
            return found;
    }
    return nullptr;
}

QByteArray eventsFile(int count) {
    QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//test//EN\r\n";
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("BEGIN:VEVENT\r\nUID:%1@test\r\nDTSTAMP:20260101T000000Z\r\n"
                               "DTSTART;VALUE=DATE:%2\r\nSUMMARY:予定%1\r\nEND:VEVENT\r\n")
                    .arg(i)
                    .arg(QDate(2026, 1, 1).addDays(i / 4).toString(QStringLiteral("yyyyMMdd")))
                    .toUtf8();
    return text + "END:VCALENDAR\r\n";
}

} // namespace

class TestExchangeWindow : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        env_ = std::make_unique<testsupport::TestEnv>();
        fake_ = std::make_unique<testsupport::FakePlatform>();
        fake_->install();
        file_ = env_->makeScheduleFile();
    }
    void cleanup() {
        fake_.reset();
        env_.reset();
    }

    void fileMenu() {
        app::MainWindow window(env_->programFolder());
        window.settings().scheduleFile = file_;
        auto* menu = window.findChild<QMenu*>(QStringLiteral("M_file"));
        QStringList names;
        for (QAction* action : menu->actions())
            names << action->objectName();
        QCOMPARE(names,
                 (QStringList{"read_D", "bar", "kakunin", "exchangeBar", "exportIcs", "importIcs", "owari"}));
        QVERIFY(window.menuAction(QStringLiteral("exchangeBar"))->isSeparator());

        const QString ics = env_->path(QStringLiteral("in.ics"));
        QFile in(ics);
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write(eventsFile(6));
        in.close();
        fake_->filePaths << ics;
        window.menuAction(QStringLiteral("importIcs"))->trigger();
        QCOMPARE(testrows::column(file_, QStringLiteral("SELECT * FROM 予定表"), 3).size(), 6);
        QCOMPARE(fake_->messages.last().icon, platform::Icon::Information);
        QVERIFY(fake_->messages.last().text.contains(QLatin1String("6")));

        const QString out = env_->path(QStringLiteral("out.ics"));
        fake_->filePaths << out;
        window.menuAction(QStringLiteral("exportIcs"))->trigger();
        QCOMPARE(exchange::Calendar::read(out).failure(), QString());
        QCOMPARE(fake_->messages.last().icon, platform::Icon::Information);
    }

    // A cancel in the real progress dialog stops the import, and nothing is added.
    void cancelledImport() {
        testrows::addDays(file_, {{QStringLiteral("2026/1/1"), 1, {}, QStringLiteral("元日")}});
        const exchange::Calendar calendar = exchange::Calendar::parse(eventsFile(4000));
        controls::WorkProgress progress(nullptr, QStringLiteral("..."));
        progress.dialog()->setMinimumDuration(0);
        bool pressed = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = topLevel<QProgressDialog>(QStringLiteral("workProgress"));
            QVERIFY(dialog && dialog->isVisible());
            QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
            pressed = true;
        });
        const exchange::ImportReport report = exchange::importCalendar(
            calendar, file_, {QDate(2026, 1, 1), QDate(2026, 12, 31)}, progress.callback());
        QVERIFY(pressed);
        QVERIFY(report.cancelled);
        QCOMPARE(testrows::column(file_, QStringLiteral("SELECT * FROM 予定表"), 3), QStringList{"元日"});
    }

    void recurrenceRangeDialog() {
        const exchange::DateRange suggested = exchange::defaultRecurrenceRange(QDate(2026, 3, 5));
        QTimer::singleShot(0, [] {
            auto* dialog = topLevel<QDialog>(QStringLiteral("recurrenceRange"));
            QVERIFY(dialog);
            dialog->findChild<QDateEdit*>(QStringLiteral("lastDate"))->setDate(QDate(2026, 6, 30));
            QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        });
        const std::optional<exchange::DateRange> range = app::askRecurrenceRange(nullptr, suggested);
        QVERIFY(range);
        QCOMPARE(range->first, QDate(2026, 3, 5));
        QCOMPARE(range->last, QDate(2026, 6, 30));
    }

    // The button sits in free space, and writes the rows the filters leave.
    void listCsvButton() {
        testrows::addDays(file_, {{QStringLiteral("2026/1/5"), 1, {}, QStringLiteral("一")},
                                  {QStringLiteral("2026/1/5"), 2, {}, QStringLiteral("二")},
                                  {QStringLiteral("2026/1/6"), 1, {}, QStringLiteral("三")}});
        testsupport::FakeHost host;
        host.settingsRecord.scheduleFile = file_;
        auto* window = new list::ListWindow(host);
        QVERIFY(window->load());
        auto* button = window->findChild<QPushButton*>(QStringLiteral("csvExportButton"));
        QVERIFY(button);
        for (QWidget* other : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other != button && !other->isWindow())
                QVERIFY2(!other->geometry().intersects(button->geometry()), qPrintable(other->objectName()));
        }
        window->findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("項目1"));
        const QString csv = env_->path(QStringLiteral("list.csv"));
        fake_->filePaths << csv;
        QTest::mouseClick(button, Qt::LeftButton);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("\r\n"), 3); // the header and the two rows of slot 1
        window->close();
    }

  private:
    std::unique_ptr<testsupport::TestEnv> env_;
    std::unique_ptr<testsupport::FakePlatform> fake_;
    QString file_;
};

QTEST_MAIN(TestExchangeWindow)
#include "test_exchange_window.moc"
