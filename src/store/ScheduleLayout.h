#pragma once
// The layout of the Schedule file, written once: its two tables, their fields in order with the
// width of each text field, the stored level and alarm texts, and the Date string that keys a day.
// Every other module takes these names from here.

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

namespace store {

inline const QString kDayTable = QStringLiteral("予定表");
inline const QString kTodoTable = QStringLiteral("ToDoリスト");

// Fields of 予定表.
inline const QString kDateField = QStringLiteral("年月日");
inline const QString kSlotField = QStringLiteral("項目番号");
inline const QString kLevelField = QStringLiteral("レベル");
inline const QString kContentField = QStringLiteral("内容");
inline const QString kAlarmField = QStringLiteral("アラーム");
inline const QString kTimeField = QStringLiteral("時刻");
// Fields of ToDoリスト besides 年月日, 項目番号 and 時刻.
inline const QString kKeywordField = QStringLiteral("キーワード");
inline const QString kTodoField = QStringLiteral("やるべき事");
inline const QString kCheckField = QStringLiteral("チェック");

// The most characters each text field holds.
constexpr int kDateWidth = 12;
constexpr int kContentWidth = 80;
constexpr int kAlarmWidth = 10;
constexpr int kTimeWidth = 6;
constexpr int kKeywordWidth = 20;
constexpr int kTodoWidth = 80;
constexpr int kCheckWidth = 10;

// Item slots of a day, and levels an item can carry.
constexpr int kSlotCount = 4;
constexpr int kLevelCount = 5;

// The stored alarm switch of an armed and of a disarmed item.
inline const QString kAlarmOn = QStringLiteral("True");
inline const QString kAlarmOff = QStringLiteral("False");
// Marker stored in 時刻 for an item without an alarm time.
inline const QString kEmptyTime = QStringLiteral("####");

// The record source of the ToDo list: the texts to do alone, in table order.
QString todoListSource();

// Field names in table order.
QStringList dayFields();  // 年月日 項目番号 レベル 内容 アラーム 時刻
QStringList todoFields(); // 年月日 項目番号 キーワード やるべき事 チェック 時刻
// The most characters each text field of a table holds, by field name (number fields are left out).
QHash<QString, int> dayTextWidths();
QHash<QString, int> todoTextWidths();
// The most characters a text field of either table holds (a field of the same name has the same
// width in both); 0 for a number field and for a name that is no field.
int textFieldWidth(const QString& field);

// year/month/day in decimal without leading zeros: 2026/1/5 (read back by dateOfString()).
QString dateString(const QDate& date);
QString dateString(int year, int month, int day);

// "ﾚﾍﾞﾙn" for 1..5, empty otherwise.
QString levelText(int level);
// The five level texts in order.
QStringList levelTexts();
// 1..5 for the five level texts, 0 for any other text.
int levelNumber(const QString& levelText);

} // namespace store
