#include "exchange/Messages.h"

#include "calendar/Holidays.h"
#include "platform/Services.h"
#include "store/Error.h"

namespace exchange::messages {

QString cannotWrite(const QString& path, const QString& reason) {
    return QStringLiteral("ファイルに書き出せません: %1 (%2)").arg(path, reason);
}

QString cannotRead(const QString& path, const QString& reason) {
    return QStringLiteral("ファイルを読み込めません: %1 (%2)").arg(path, reason);
}

QString tooLarge(const QString& path) {
    return QStringLiteral("ファイルが大きすぎます: %1").arg(path);
}

QString storeFailure(const store::Error& error) {
    return store::describe(error).replace(QLatin1Char('\n'), QLatin1String(": "));
}

QString unreadableRecord(qint64 record, const QString& reason) {
    QString detail = reason;
    detail.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("スケジュールファイルの%1件目のデータを読み込めないため、書き出しを中止しました。"
                          "ファイルは書き出していません。(%2)")
        .arg(record)
        .arg(detail);
}

QString undatedNotExported(qint64 count) {
    return QStringLiteral("日付が読めない予定%1件は書き出しませんでした。").arg(count);
}

QString holidaysExported(qint64 count, int year) {
    return QStringLiteral("%1年の祝日%2件も書き出しました。").arg(year).arg(count);
}

QString holidaysUnknown(int year) {
    return QStringLiteral("%1年の祝日は分かりません (%2年から%3年まで)。何も書き出しませんでした。")
        .arg(year)
        .arg(calendar::kFirstHolidayYear)
        .arg(calendar::kLastHolidayYear);
}

QString notUtf8() {
    return QStringLiteral("iCalendarファイルの文字コードがUTF-8ではありません。何も追加しませんでした。");
}

QString notICalendar() {
    return QStringLiteral("iCalendarファイルではありません。何も追加しませんでした。");
}

QString brokenICalendar(const QString& detail) {
    return QStringLiteral("iCalendarファイルに誤りがあります。何も追加しませんでした。(%1)").arg(detail);
}

QString tooManyOccurrences() {
    return QStringLiteral(
        "繰り返す予定の回数が多すぎるか、繰り返しの規則が複雑すぎるため、読み込みを中止しました。"
        "何も追加しませんでした。繰り返す予定の期間を短くすると読み込めることがあります。");
}

QString untitled() {
    return QStringLiteral("(件名なし)");
}

QString importSummary(int added, int todosAdded, int duplicates, const QStringList& fullDates, int shortened,
                      int timesDropped, int alarmsAtStart, int unreadable, int holidays) {
    QStringList lines;
    lines << QStringLiteral("予定を%1件、ToDoを%2件追加しました。").arg(added).arg(todosAdded);
    lines << QStringLiteral("登録済みのため追加しなかったもの: %1件").arg(duplicates);
    if (!fullDates.isEmpty()) {
        QStringList dates = fullDates;
        dates.removeDuplicates();
        constexpr int kShown = 20;
        QString list = QStringList(dates.mid(0, kShown)).join(QStringLiteral(", "));
        if (dates.size() > kShown)
            list += QStringLiteral(" ほか%1日").arg(dates.size() - kShown);
        lines << QStringLiteral("空き項目がないため追加しなかったもの: %1件 (%2)")
                     .arg(fullDates.size())
                     .arg(list);
    }
    if (shortened > 0)
        lines << QStringLiteral("80文字を超えるため末尾を「…」にしたもの: %1件").arg(shortened);
    if (timesDropped > 0)
        lines << QStringLiteral("時刻が正しくないため時刻なしで追加したもの: %1件").arg(timesDropped);
    if (alarmsAtStart > 0)
        lines << QStringLiteral("アラームの時刻を決められないため開始時刻で鳴らすもの: %1件")
                     .arg(alarmsAtStart);
    if (unreadable > 0)
        lines << QStringLiteral("%1件は読めなかったので飛ばしました。").arg(unreadable);
    if (holidays > 0)
        lines << QStringLiteral("祝日はカレンダーに表示されるため追加しなかったもの: %1件").arg(holidays);
    return lines.join(QLatin1Char('\n'));
}

void showExportOutcome(bool cancelled, const QString& failure, const QString& doneText) {
    if (cancelled)
        platform::message(QStringLiteral("書き出しを中止しました。"), platform::kAppTitle,
                          platform::Icon::Information);
    else if (!failure.isEmpty())
        platform::message(failure, platform::kAppTitle, platform::Icon::Exclamation);
    else
        platform::message(doneText, platform::kAppTitle, platform::Icon::Information);
}

} // namespace exchange::messages
