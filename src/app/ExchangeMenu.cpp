#include "app/ExchangeMenu.h"

#include "calendar/Holidays.h"
#include "controls/WorkProgress.h"
#include "exchange/IcalExport.h"
#include "exchange/IcalImport.h"
#include "exchange/Messages.h"
#include "platform/Paths.h"
#include "platform/Services.h"
#include "shell/Host.h"

#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

namespace {

const QString kIcsFilter = QStringLiteral("iCalendar (*.ics)|*.ics|すべてのファイル (*.*)|*.*");
const QString kImportCancelled = QStringLiteral("読み込みを中止しました。何も追加しませんでした。");

// The Schedule file in use, or empty after telling the user there is none.
QString scheduleFile(shell::Host& host) {
    const QString file = host.settings().scheduleFile;
    if (platform::fileExists(file))
        return file;
    platform::message(QStringLiteral("スケジュールファイルがありません。\n") + file, platform::kAppTitle,
                      platform::Icon::Exclamation);
    return QString();
}

// The file dialogs of the exchange open over the calendar, in the Schedule file's folder until
// the user has chosen a file somewhere else.
platform::DialogPlace dialogPlace(shell::Host& host, const QString& schedule) {
    return {host.mainWindow(), QFileInfo(schedule).absolutePath()};
}

} // namespace

void exportICalendar(shell::Host& host) {
    const QString schedule = scheduleFile(host);
    if (schedule.isEmpty())
        return;
    // The holidays of the year on show may go with the items, as all-day events; off unless
    // ticked, and not offered for a year the holiday rules do not cover.
    const int year = host.displayedYear();
    platform::SaveChoice withHolidays{QStringLiteral("%1年の祝日を含める").arg(year)};
    const QString path = platform::services().files->saveFile(
        kIcsFilter, QStringLiteral("daduvov.ics"), dialogPlace(host, schedule),
        calendar::holidaysKnown(year) ? &withHolidays : nullptr);
    if (path.isEmpty())
        return;
    const std::optional<int> holidayYear = withHolidays.checked ? std::optional<int>(year) : std::nullopt;
    exchange::IcsExport result;
    {
        controls::WorkProgress progress(host.mainWindow(), QStringLiteral("iCalendarに書き出しています..."));
        result = exchange::exportIcs(schedule, path, progress.callback(), holidayYear);
    }
    QString done = QStringLiteral("予定%1件、ToDo%2件を書き出しました。\n%3")
                       .arg(result.events)
                       .arg(result.todos)
                       .arg(path);
    if (holidayYear)
        done += QLatin1Char('\n') + exchange::messages::holidaysExported(result.holidays, *holidayYear);
    if (result.undated > 0)
        done += QLatin1Char('\n') + exchange::messages::undatedNotExported(result.undated);
    exchange::messages::showExportOutcome(result.cancelled, result.failure, done);
}

void importICalendar(shell::Host& host) {
    const QString schedule = scheduleFile(host);
    if (schedule.isEmpty())
        return;
    const QString path = platform::services().files->openFile(kIcsFilter, dialogPlace(host, schedule));
    if (path.isEmpty())
        return;
    const exchange::Calendar calendar = [&] {
        controls::WorkProgress progress(host.mainWindow(),
                                        QStringLiteral("iCalendarファイルを読んでいます..."));
        return exchange::readCalendarFile(path, progress.callback());
    }();
    if (calendar.cancelled()) {
        platform::message(kImportCancelled, platform::kAppTitle, platform::Icon::Information);
        return;
    }
    if (!calendar.failure().isEmpty()) {
        platform::message(calendar.failure(), platform::kAppTitle, platform::Icon::Exclamation);
        return;
    }
    exchange::DateRange range = exchange::defaultRecurrenceRange(platform::today());
    if (calendar.hasRecurrences()) {
        const std::optional<exchange::DateRange> chosen = askRecurrenceRange(host.mainWindow(), range);
        if (!chosen)
            return;
        range = *chosen;
    }
    exchange::ImportReport report;
    {
        controls::WorkProgress progress(host.mainWindow(),
                                        QStringLiteral("iCalendarから読み込んでいます..."));
        report = exchange::importCalendar(calendar, schedule, range, progress.callback());
    }
    if (report.cancelled) {
        platform::message(kImportCancelled, platform::kAppTitle, platform::Icon::Information);
        return;
    }
    if (!report.failure.isEmpty()) {
        platform::message(report.failure, platform::kAppTitle, platform::Icon::Exclamation);
        return;
    }
    host.rebuildMonthGrid();
    platform::message(exchange::importSummary(report), platform::kAppTitle, platform::Icon::Information);
}

std::optional<exchange::DateRange> askRecurrenceRange(QWidget* parent, const exchange::DateRange& suggested) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("recurrenceRange"));
    dialog.setWindowTitle(QStringLiteral("繰り返す予定の期間"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QLabel(QStringLiteral("繰り返す予定は、次の期間の分だけ読み込みます。"), &dialog);
    text->setTextFormat(Qt::PlainText);
    layout->addWidget(text);
    auto* form = new QFormLayout;
    auto dateBox = [&dialog](const char* name, const QDate& date) {
        auto* box = new QDateEdit(date, &dialog);
        box->setObjectName(QString::fromLatin1(name));
        box->setDisplayFormat(QStringLiteral("yyyy/M/d"));
        box->setCalendarPopup(true);
        return box;
    };
    QDateEdit* first = dateBox("firstDate", suggested.first);
    QDateEdit* last = dateBox("lastDate", suggested.last);
    form->addRow(QStringLiteral("開始日"), first);
    form->addRow(QStringLiteral("終了日"), last);
    layout->addLayout(form);
    // A reversed range would import no occurrence: it is not accepted, as on the command line.
    auto* reversed = new QLabel(QStringLiteral("終了日が開始日より前です。"), &dialog);
    reversed->setObjectName(QStringLiteral("reversedRange"));
    reversed->setTextFormat(Qt::PlainText);
    layout->addWidget(reversed);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    const auto checkRange = [=] {
        const bool ok = first->date() <= last->date();
        reversed->setVisible(!ok);
        buttons->button(QDialogButtonBox::Ok)->setEnabled(ok);
    };
    QObject::connect(first, &QDateEdit::dateChanged, &dialog, checkRange);
    QObject::connect(last, &QDateEdit::dateChanged, &dialog, checkRange);
    checkRange();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return exchange::DateRange{first->date(), last->date()};
}

} // namespace app
