#include "exchange/CommandLine.h"

#include "exchange/Csv.h"
#include "exchange/IcalExport.h"
#include "exchange/IcalImport.h"
#include "exchange/Messages.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "settings/ConfigFile.h"
#include "store/DayRecords.h"

#include <QCommandLineParser>
#include <QDate>

#include <cstdio>

namespace exchange {

namespace {

const QString kExportIcs = QStringLiteral("export-ics");
const QString kImportIcs = QStringLiteral("import-ics");
const QString kExportCsv = QStringLiteral("export-csv");
const QString kSchedule = QStringLiteral("schedule");
const QString kFrom = QStringLiteral("recurrences-from");
const QString kTo = QStringLiteral("recurrences-to");
const QString kWithHolidays = QStringLiteral("with-holidays");

// Reading the Settings file here only looks up START_FILE: nothing is chosen or created.
class QuietConfigHost : public settings::ConfigHost {
  public:
    void firstRunFlow() override {}
    void missingFileFlow() override {}
    void setMainTop(float) override {}
    void setMainLeft(float) override {}
};

} // namespace

QString startFile(const QString& programFolder) {
    const std::optional<QString> text =
        platform::readTextFile(platform::joinPath(programFolder, settings::kSettingsFileName));
    if (!text)
        return QString();
    settings::Settings s;
    QuietConfigHost host;
    settings::applyConfigText(s, *text, host);
    return s.scheduleFile;
}

namespace {

int fail(const QString& reason) {
    QString line = reason;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fputs(("daduvov: " + line + "\n").toUtf8().constData(), stderr);
    return 1;
}

int succeed(const QString& text) {
    std::fputs((text + "\n").toUtf8().constData(), stdout);
    return 0;
}

// With --with-holidays the holidays of the current year are added, there being no displayed year.
int exportIcsCommand(const QString& schedule, const QString& target, bool withHolidays) {
    const std::optional<int> holidayYear =
        withHolidays ? std::optional<int>(QDate::currentDate().year()) : std::nullopt;
    const IcsExport result = exportIcs(schedule, target, {}, holidayYear);
    if (!result.failure.isEmpty())
        return fail(result.failure);
    QString said = QStringLiteral("予定%1件、ToDo%2件を書き出しました: %3")
                       .arg(result.events)
                       .arg(result.todos)
                       .arg(target);
    if (holidayYear)
        said += QLatin1Char('\n') + messages::holidaysExported(result.holidays, *holidayYear);
    if (result.undated > 0)
        said += QLatin1Char('\n') + messages::undatedNotExported(result.undated);
    return succeed(said);
}

int exportCsvCommand(const QString& schedule, const QString& target) {
    store::DataControl data;
    store::Error error = store::openDayTable(data, schedule);
    if (error.ok())
        error = data.refresh();
    if (error.failed())
        return fail(store::describe(error));
    const CsvExport result = exportCsv(data, target);
    if (!result.failure.isEmpty())
        return fail(result.failure);
    return succeed(QStringLiteral("%1行を書き出しました: %2").arg(result.rows).arg(target));
}

int importIcsCommand(const QCommandLineParser& parser, const QString& schedule) {
    const QStringList names = parser.optionNames();
    QDate first = QDate::currentDate();
    QDate last;
    for (const auto& [name, date] : {std::pair{kFrom, &first}, std::pair{kTo, &last}}) {
        if (!names.contains(name))
            continue;
        *date = QDate::fromString(parser.value(name), Qt::ISODate);
        if (!date->isValid())
            return fail(QStringLiteral("--%1 の日付が正しくありません: %2").arg(name, parser.value(name)));
    }
    // Without --recurrences-to the range runs 12 months from its first day.
    DateRange range = defaultRecurrenceRange(first);
    if (last.isValid())
        range.last = last;
    // A reversed range would import no occurrence at all; the window does not accept one either.
    if (range.last < range.first)
        return fail(
            QStringLiteral("--%1 (%2) が --%3 (%4) より前です。何も追加しませんでした。")
                .arg(kTo, range.last.toString(Qt::ISODate), kFrom, range.first.toString(Qt::ISODate)));
    const Calendar calendar = readCalendarFile(parser.value(kImportIcs));
    const ImportReport report = importCalendar(calendar, schedule, range);
    if (!report.failure.isEmpty())
        return fail(report.failure);
    return succeed(importSummary(report));
}

} // namespace

void addExchangeOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {kExportIcs, QStringLiteral("スケジュールファイルの予定とToDoをiCalendarファイルに書き出します。"),
         QStringLiteral("FILE")},
        {kWithHolidays,
         QStringLiteral("--%1 で、今年 (今日の日付の年) の祝日も終日の予定として書き出します。")
             .arg(kExportIcs)},
        {kImportIcs, QStringLiteral("iCalendarファイルの予定とToDoをスケジュールファイルに追加します。"),
         QStringLiteral("FILE")},
        {kExportCsv, QStringLiteral("スケジュールファイルの予定をCSVファイルに書き出します。"),
         QStringLiteral("FILE")},
        {kSchedule, QStringLiteral("使うスケジュールファイル (既定: 設定ファイルの START_FILE)。"),
         QStringLiteral("SDB")},
        {kFrom, QStringLiteral("繰り返す予定を取り込む最初の日 (既定: 今日)。"),
         QStringLiteral("YYYY-MM-DD")},
        {kTo, QStringLiteral("繰り返す予定を取り込む最後の日 (既定: 最初の日から12か月)。"),
         QStringLiteral("YYYY-MM-DD")},
    });
}

std::optional<int> runExchangeCommand(const QCommandLineParser& parser, const QString& programFolder) {
    const QStringList names = parser.optionNames();
    const int commands = static_cast<int>(names.contains(kExportIcs)) +
                         static_cast<int>(names.contains(kImportIcs)) +
                         static_cast<int>(names.contains(kExportCsv));
    if (commands == 0) {
        if (names.contains(kSchedule) || names.contains(kFrom) || names.contains(kTo))
            return fail(QStringLiteral("--%1 / --%2 / --%3 のどれかと一緒に指定してください")
                            .arg(kExportIcs, kImportIcs, kExportCsv));
        if (names.contains(kWithHolidays))
            return fail(
                QStringLiteral("--%1 は --%2 と一緒に指定してください").arg(kWithHolidays, kExportIcs));
        return std::nullopt;
    }
    if (commands > 1)
        return fail(QStringLiteral("--%1 / --%2 / --%3 は一度に一つだけ指定できます")
                        .arg(kExportIcs, kImportIcs, kExportCsv));
    if (names.contains(kWithHolidays) && !names.contains(kExportIcs))
        return fail(QStringLiteral("--%1 は --%2 と一緒に指定してください").arg(kWithHolidays, kExportIcs));

    const QString schedule = names.contains(kSchedule) ? parser.value(kSchedule) : startFile(programFolder);
    if (schedule.isEmpty())
        return fail(QStringLiteral("スケジュールファイルが決まっていません (--%1 で指定してください)")
                        .arg(kSchedule));
    if (!platform::fileExists(schedule))
        return fail(QStringLiteral("スケジュールファイルがありません: %1").arg(schedule));

    if (names.contains(kExportIcs))
        return exportIcsCommand(schedule, parser.value(kExportIcs), names.contains(kWithHolidays));
    if (names.contains(kExportCsv))
        return exportCsvCommand(schedule, parser.value(kExportCsv));
    return importIcsCommand(parser, schedule);
}

} // namespace exchange
