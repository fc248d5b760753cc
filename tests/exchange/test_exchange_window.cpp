// The exchange commands as the user reaches them: the ﾌｧｲﾙ menu, the list window's CSV button,
// and the real progress and date-range dialogs.

#include "app/ExchangeMenu.h"
#include "app/MainWindow.h"
#include "controls/WorkProgress.h"
#include "exchange/IcalImport.h"
#include "list/ListWindow.h"
#include "support/Files.h"
#include "support/WindowFixture.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

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
    void init() { fx_ = std::make_unique<testsupport::WindowFixture>(); }
    void cleanup() { fx_.reset(); }

    // Import then export through the file menu's commands.
    void fileMenu() {
        app::MainWindow window(fx_->env.programFolder());
        window.settings().scheduleFile = fx_->file;
        const QString ics = fx_->env.path(QStringLiteral("in.ics"));
        QFile in(ics);
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write(eventsFile(6));
        in.close();
        fx_->platform.filePaths << ics;
        window.menuAction(QStringLiteral("importIcs"))->trigger();
        QCOMPARE(testrows::column(fx_->file, QStringLiteral("SELECT * FROM 予定表"), 3).size(), 6);
        QCOMPARE(fx_->platform.messages.last().icon, platform::Icon::Information);
        QVERIFY(fx_->platform.messages.last().text.contains(QLatin1String("6")));

        const QString out = fx_->env.path(QStringLiteral("out.ics"));
        fx_->platform.filePaths << out;
        window.menuAction(QStringLiteral("exportIcs"))->trigger();
        QCOMPARE(exchange::readCalendarFile(out).failure(), QString());
        QCOMPARE(fx_->platform.messages.last().icon, platform::Icon::Information);

        // A target that is refused is told as a failure, and left as it is.
        const QByteArray fifo = QFile::encodeName(fx_->env.path(QStringLiteral("fifo")));
        QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
        fx_->platform.filePaths << QFile::decodeName(fifo);
        window.menuAction(QStringLiteral("exportIcs"))->trigger();
        QCOMPARE(fx_->platform.messages.last().icon, platform::Icon::Exclamation);
        struct stat info {};
        QVERIFY(::lstat(fifo.constData(), &info) == 0 && S_ISFIFO(info.st_mode));

        // So is the open Schedule file, reached through a link.
        const QString link = fx_->env.path(QStringLiteral("link.sdb"));
        QVERIFY(QFile::link(fx_->file, link));
        const QByteArray schedule = testsupport::fileBytes(fx_->file);
        fx_->platform.filePaths << link;
        window.menuAction(QStringLiteral("exportIcs"))->trigger();
        QCOMPARE(fx_->platform.messages.last().icon, platform::Icon::Exclamation);
        QVERIFY(fx_->platform.messages.last().text.contains(QStringLiteral("スケジュールファイル")));
        QCOMPARE(testsupport::fileBytes(fx_->file), schedule);
    }

    // A cancel in the real progress dialog stops the reading of the file or the import, and
    // nothing is added.
    void cancelledImport_data() {
        QTest::addColumn<bool>("whileReading");
        QTest::newRow("reading") << true;
        QTest::newRow("adding") << false;
    }
    void cancelledImport() {
        QFETCH(bool, whileReading);
        testrows::addDays(fx_->file, {{QStringLiteral("2026/1/1"), 1, {}, QStringLiteral("元日")}});
        const QByteArray text = eventsFile(whileReading ? 8000 : 4000);
        controls::WorkProgress progress(nullptr, QStringLiteral("..."));
        progress.dialog()->setMinimumDuration(0);
        bool pressed = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = topLevel<QProgressDialog>(QStringLiteral("workProgress"));
            QVERIFY(dialog && dialog->isVisible());
            QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
            pressed = true;
        });
        const exchange::Calendar calendar =
            exchange::Calendar::parse(text, whileReading ? progress.callback() : exchange::Progress());
        QCOMPARE(calendar.cancelled(), whileReading);
        const exchange::ImportReport report = exchange::importCalendar(
            calendar, fx_->file, {QDate(2026, 1, 1), QDate(2026, 12, 31)}, progress.callback());
        QVERIFY(pressed);
        QVERIFY(report.cancelled);
        QCOMPARE(testrows::column(fx_->file, QStringLiteral("SELECT * FROM 予定表"), 3), QStringList{"元日"});
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

        // A last date before the first is not accepted.
        bool okEnabled = true;
        bool stayed = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = topLevel<QDialog>(QStringLiteral("recurrenceRange"));
            dialog->findChild<QDateEdit*>(QStringLiteral("lastDate"))->setDate(QDate(2026, 3, 4));
            okEnabled = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
            QTest::keyClick(dialog, Qt::Key_Return);
            stayed = dialog->isVisible();
            dialog->reject();
        });
        QVERIFY(!app::askRecurrenceRange(nullptr, suggested));
        QVERIFY(!okEnabled);
        QVERIFY(stayed);
    }

    // The button writes the rows the filters leave; its file dialog opens over the list window, in
    // the Schedule file's folder.
    void listCsvButton() {
        testrows::addDays(fx_->file, {{QStringLiteral("2026/1/5"), 1, {}, QStringLiteral("一")},
                                      {QStringLiteral("2026/1/5"), 2, {}, QStringLiteral("二")},
                                      {QStringLiteral("2026/1/6"), 1, {}, QStringLiteral("三")}});
        auto* window = new list::ListWindow(fx_->host);
        QVERIFY(window->load());
        auto* button = window->findChild<QPushButton*>(QStringLiteral("csvExportButton"));
        QVERIFY(button);
        window->findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("項目1"));
        const QString csv = fx_->env.path(QStringLiteral("list.csv"));
        fx_->platform.filePaths << csv;
        QTest::mouseClick(button, Qt::LeftButton);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("\r\n"), 3); // the header and the two rows of slot 1
        QCOMPARE(fx_->platform.filePlaces.size(), 1);
        QCOMPARE(fx_->platform.filePlaces[0].owner, window);
        QCOMPARE(fx_->platform.filePlaces[0].firstFolder, QFileInfo(fx_->file).absolutePath());
        window->close();
    }

  private:
    std::unique_ptr<testsupport::WindowFixture> fx_;
};

QTEST_MAIN(TestExchangeWindow)
#include "test_exchange_window.moc"
