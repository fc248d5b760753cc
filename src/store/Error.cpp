#include "store/Error.h"

#include "store/ScheduleLayout.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace store {

static_assert(SQLITE_BUSY == 5 && SQLITE_LOCKED == 6, "Error::locked() names the engine's lock codes");

namespace {

// A value the Schedule file refused, named by field and limit from the engine's text
// ("CHECK constraint failed: 内容 IS NULL OR length(内容) BETWEEN 1 AND 80"), so the user learns
// which box to change and how.
QString refusedValue(const QString& engineText) {
    const QString opening = QStringLiteral("入力された値が長すぎるか空です。");
    static const QRegularExpression length(QStringLiteral("length\\((\\S+?)\\) BETWEEN (\\d+) AND (\\d+)"));
    static const QRegularExpression number(QStringLiteral("typeof\\((\\S+?)\\)\\s*=\\s*'real'"));
    if (const QRegularExpressionMatch m = length.match(engineText); m.hasMatch())
        return opening + QStringLiteral("「%1」は%2～%3文字で入力してください。")
                             .arg(m.captured(1), m.captured(2), m.captured(3));
    if (const QRegularExpressionMatch m = number.match(engineText); m.hasMatch())
        return QStringLiteral("入力された値は数値ではありません。「%1」には数値を入力してください。")
            .arg(m.captured(1));
    // "NOT NULL constraint failed: 予定表.備考": a field of the file's own that this program never
    // fills, or one of its fields left empty.
    static const QRegularExpression notNull(QStringLiteral("NOT NULL constraint failed: [^.]+\\.(\\S+)"));
    if (const QRegularExpressionMatch m = notNull.match(engineText); m.hasMatch()) {
        const QString field = m.captured(1);
        if (dayFields().contains(field) || todoFields().contains(field))
            return QStringLiteral("入力された値が空です。「%1」に入力してください。").arg(field);
        return QStringLiteral("スケジュールファイルの「%"
                              "1」欄は空にできませんが、このプログラムはこの欄に書き込みません。"
                              "スケジュールファイルの形式が正しくありません。")
            .arg(field);
    }
    return opening + QStringLiteral("内容を短くするか、空の欄に入力してからもう一度書き込んでください。");
}

QString sentence(const Error& error) {
    switch (error.code) {
    case SQLITE_CORRUPT:
        return QStringLiteral(
            "スケジュールファイルが壊れています（バックアップがあれば、そこから戻してください）");
    case SQLITE_NOTADB:
        return QStringLiteral("スケジュールファイルがデータベースではありません");
    case SQLITE_ERROR:
        if (error.message.contains(QLatin1String("no such table")) ||
            error.message.contains(QLatin1String("no such column")) ||
            error.message.contains(QLatin1String("has no column named")))
            return QStringLiteral("スケジュールファイルの形式が正しくありません");
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("スケジュールファイルは他のプログラムが使用中です");
    case SQLITE_READONLY:
        return QStringLiteral("スケジュールファイルに書き込めません（読み取り専用です）");
    case SQLITE_CANTOPEN:
        return QStringLiteral("スケジュールファイルを開けません");
    case SQLITE_CONSTRAINT:
        return refusedValue(error.message);
    case SQLITE_FULL:
        return QStringLiteral("ディスクがいっぱいです");
    case SQLITE_AUTH:
        return QStringLiteral(
            "スケジュールファイルに後から処理（トリガー）が仕込まれたため、読み取り専用に切り替えました");
    case SQLITE_INTERRUPT:
        return QStringLiteral(
            "処理に時間がかかりすぎるため中止しました（スケジュールファイルの内容を確認してください）");
    case SQLITE_TOOBIG:
        return QStringLiteral("スケジュールファイルの値が大きすぎるか行が多すぎるため、読み込みを中止しました"
                              "（スケジュールファイルの内容を確認してください）");
    case kChangedElsewhere:
        return QStringLiteral("他のプログラムがこのデータを変更したため、書き込みませんでした。"
                              "表示し直してから入力してください");
    default:
        break;
    }
    return QStringLiteral("スケジュールファイルでエラーが発生しました");
}

} // namespace

Error cannotOpen(const QString& message) {
    return {SQLITE_CANTOPEN, message};
}

bool Error::fileUnusable() const {
    switch (code) {
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return true;
    case SQLITE_ERROR:
        return message.contains(QLatin1String("no such table")) ||
               message.contains(QLatin1String("no such column"));
    default:
        return false;
    }
}

QString describe(const Error& error) {
    if (error.ok())
        return QString();
    const QString text = sentence(error);
    if (error.message.isEmpty())
        return text;
    return text + QLatin1Char('\n') + error.message;
}

} // namespace store
