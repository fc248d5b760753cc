#include "syncview/SyncReportText.h"

namespace syncview {

namespace {

constexpr int kCaptionFailureChars = 24;

QString dateText(const QDate& date) {
    return date.isValid() ? date.toString(QStringLiteral("yyyy/M/d")) : QStringLiteral("（日付なし）");
}

QString firstLine(const QString& text) {
    return text.section(QLatin1Char('\n'), 0, 0).trimmed();
}

} // namespace

QString syncActionCaption(const QString& plain, const QTime& at, const calsync::SyncReport& report) {
    if (report.massDeleteStopped)
        return plain + QStringLiteral("（中止: 削除が多すぎます）");
    if (!report.failure.isEmpty()) {
        QString reason = firstLine(report.failure);
        if (reason.endsWith(QStringLiteral("。")))
            reason.chop(1);
        if (reason.size() > kCaptionFailureChars)
            reason = reason.left(kCaptionFailureChars - 1) + QStringLiteral("…");
        return plain + QStringLiteral("（失敗: %1）").arg(reason);
    }
    return plain + QStringLiteral("（%1 完了）").arg(at.toString(QStringLiteral("HH:mm")));
}

QString syncRunningCaption(const QString& plain) {
    return plain + QStringLiteral("（同期中…）");
}

QStringList newReportLines(const calsync::SyncReport& report, QSet<QString>& told) {
    QStringList lines;
    const auto add = [&](const QString& line) {
        if (!told.contains(line)) {
            told.insert(line);
            lines << line;
        }
    };
    for (const calsync::ReportLine& conflict : report.conflicts)
        // Both texts begin with their date and time.
        add(QStringLiteral("変更が重なりました: サーバー「%1」／このファイル「%2」")
                .arg(conflict.text, conflict.other));
    for (const calsync::ReportLine& hidden : report.notShown)
        add(QStringLiteral("%1 表示できない予定「%2」: %3（サーバーに残してあります）")
                .arg(dateText(hidden.date), hidden.text, hidden.other));
    return lines;
}

} // namespace syncview
