#include "store/ScheduleLayout.h"

#include <span>

namespace store {

namespace {

struct FieldWidth {
    const QString& name;
    int width; // 0 for a number
};

const FieldWidth kDayWidths[] = {{kDateField, kDateWidth},   {kSlotField, 0},
                                 {kLevelField, 0},           {kContentField, kContentWidth},
                                 {kAlarmField, kAlarmWidth}, {kTimeField, kTimeWidth}};
const FieldWidth kTodoWidths[] = {{kDateField, kDateWidth},       {kSlotField, 0},
                                  {kKeywordField, kKeywordWidth}, {kTodoField, kTodoWidth},
                                  {kCheckField, kCheckWidth},     {kTimeField, kTimeWidth}};

QStringList names(std::span<const FieldWidth> fields) {
    QStringList list;
    for (const FieldWidth& field : fields)
        list << field.name;
    return list;
}

QHash<QString, int> textWidths(std::span<const FieldWidth> fields) {
    QHash<QString, int> widths;
    for (const FieldWidth& field : fields) {
        if (field.width > 0)
            widths.insert(field.name, field.width);
    }
    return widths;
}

} // namespace

QHash<QString, int> dayTextWidths() {
    return textWidths(kDayWidths);
}

QHash<QString, int> todoTextWidths() {
    return textWidths(kTodoWidths);
}

QStringList dayFields() {
    return names(kDayWidths);
}

QStringList todoFields() {
    return names(kTodoWidths);
}

int textFieldWidth(const QString& field) {
    for (const auto fields :
         {std::span<const FieldWidth>(kDayWidths), std::span<const FieldWidth>(kTodoWidths)}) {
        for (const FieldWidth& def : fields) {
            if (field == def.name)
                return def.width;
        }
    }
    return 0;
}

QString todoListSource() {
    return QStringLiteral("SELECT ") + kTodoField + QStringLiteral(" FROM ") + kTodoTable + QLatin1Char(';');
}

QString dateString(const QDate& date) {
    if (!date.isValid())
        return QString();
    return dateString(date.year(), date.month(), date.day());
}

QString dateString(int year, int month, int day) {
    return QString::number(year) + QLatin1Char('/') + QString::number(month) + QLatin1Char('/') +
           QString::number(day);
}

QString levelText(int level) {
    if (level < 1 || level > kLevelCount)
        return QString();
    return QStringLiteral("ﾚﾍﾞﾙ") + QString::number(level);
}

QStringList levelTexts() {
    QStringList texts;
    for (int level = 1; level <= kLevelCount; ++level)
        texts << levelText(level);
    return texts;
}

int levelNumber(const QString& text) {
    for (int level = 1; level <= kLevelCount; ++level) {
        if (text == levelText(level))
            return level;
    }
    return 0;
}

} // namespace store
