#pragma once
// The Schedule file: its two tables and the creation of a new, empty file (`CREATE_SDB`).

#include "store/Error.h"

#include <QString>
#include <QStringList>

namespace store {

inline const QString kDayTable = QStringLiteral("予定表");
inline const QString kTodoTable = QStringLiteral("ToDoリスト");

// Field names in table order.
QStringList dayFields();  // 年月日 項目番号 レベル 内容 アラーム 時刻
QStringList todoFields(); // 年月日 項目番号 キーワード やるべき事 チェック 時刻
// The most characters a text field of either table holds (a field of the same name has the same
// width in both); 0 for a number field and for a name that is no field.
int textFieldWidth(const QString& field);

// Creates the file at `path` with both tables and no rows, then closes it. Fails when a file is
// already there, the folder is missing or not writable; nothing is left behind on failure.
Error createScheduleFile(const QString& path);

} // namespace store
