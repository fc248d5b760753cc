#include "store/Error.h"

#include <sqlite3.h>

namespace store {

namespace {

QString sentence(const Error& error) {
    switch (error.code) {
    case SQLITE_NOTADB:
        return QStringLiteral("スケジュールファイルがデータベースではありません");
    case SQLITE_ERROR:
        if (error.message.contains(QLatin1String("no such table")) ||
            error.message.contains(QLatin1String("no such column")))
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
        return QStringLiteral("入力された値が長すぎるか空です");
    case SQLITE_FULL:
        return QStringLiteral("ディスクがいっぱいです");
    case SQLITE_INTERRUPT:
        return QStringLiteral(
            "処理に時間がかかりすぎるため中止しました（スケジュールファイルの内容を確認してください）");
    case kChangedElsewhere:
        return QStringLiteral("他のプログラムがこのデータを変更したため、書き込みませんでした。"
                              "表示し直してから入力してください");
    default:
        break;
    }
    return QStringLiteral("スケジュールファイルでエラーが発生しました");
}

} // namespace

QString describe(const Error& error) {
    if (!error.failed())
        return QString();
    const QString text = sentence(error);
    if (error.message.isEmpty())
        return text;
    return text + QLatin1Char('\n') + error.message;
}

} // namespace store
