#include "list/QueryBuilder.h"

#include "store/ScheduleLayout.h"

#include <QStringList>

namespace list {

namespace {

const QString kSelectAll = QStringLiteral("SELECT * FROM ") + store::kDayTable + QLatin1Char(' ');

// The index of `choice` among "<prefix>1" .. "<prefix><last>", or 0 when it is none of them.
int choiceNumber(const QString& choice, const QString& prefix, const QString& suffix, int last) {
    for (int n = 1; n <= last; ++n)
        if (choice == prefix + QString::number(n) + suffix)
            return n;
    return 0;
}

// "年月日 LIKE '<year>/*' " (the literal is followed by a blank).
QString yearPart(const QString& year) {
    return store::kDateField + QStringLiteral(" LIKE '") + literalText(year) + QStringLiteral("/*' ");
}

QString monthPart(const QString& marker) {
    return store::kDateField + QStringLiteral(" LIKE '*") + marker + QStringLiteral("*'");
}

} // namespace

QString slotPart(const QString& slotChoice) {
    const int n = choiceNumber(slotChoice, QStringLiteral("項目"), QString(), store::kSlotCount);
    return n ? store::kSlotField + QStringLiteral(" = ") + QString::number(n) : QString();
}

QString levelPart(const QString& levelChoice) {
    const int n = store::levelNumber(levelChoice);
    return n ? store::kLevelField + QStringLiteral(" = ") + QString::number(n) : QString();
}

QString alarmPart(const QString& alarmChoice) {
    if (alarmChoice == store::kAlarmOff || alarmChoice == store::kAlarmOn)
        return store::kAlarmField + QStringLiteral(" = '") + alarmChoice + QLatin1Char('\'');
    return QString();
}

QString monthMarker(const QString& monthChoice) {
    const int n = choiceNumber(monthChoice, QString(), QStringLiteral("月"), 12);
    return n ? QLatin1Char('/') + QString::number(n) + QLatin1Char('/') : QString();
}

QString sortField(int optionIndex) {
    switch (optionIndex) {
    case 0:
        return store::kDateField;
    case 1:
        return store::kSlotField;
    case 2:
        return store::kAlarmField;
    case 4:
        return store::kLevelField;
    default:
        return store::kContentField;
    }
}

QString literalText(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

QString dateFilterQuery(const FilterState& state) {
    QString query = kSelectAll + QStringLiteral("WHERE ") + yearPart(state.year);
    const QString marker = monthMarker(state.month);
    if (marker.isEmpty())
        return query + QLatin1Char(';');
    return query + QStringLiteral("AND ") + monthPart(marker) + QStringLiteral(" ;");
}

QString combinedFilterQuery(const FilterState& state) {
    QStringList parts;
    for (const QString& part : {slotPart(state.slot), levelPart(state.level), alarmPart(state.alarm)})
        if (!part.isEmpty())
            parts << part;
    QString condition = parts.join(QStringLiteral(" And "));
    if (state.dateFilter) {
        if (!condition.isEmpty())
            condition += QStringLiteral(" AND ") + yearPart(state.year);
        else
            condition = yearPart(state.year);
        const QString marker = monthMarker(state.month);
        if (!marker.isEmpty())
            condition += QStringLiteral("AND ") + monthPart(marker) + QLatin1Char(' ');
    }
    if (condition.isEmpty())
        return kSelectAll + QLatin1Char(';');
    return kSelectAll + QStringLiteral("WHERE ") + condition + QLatin1Char(';');
}

QString activeCondition(const FilterState& state) {
    QStringList parts;
    for (const QString& part : {slotPart(state.slot), levelPart(state.level), alarmPart(state.alarm)})
        if (!part.isEmpty())
            parts << part;
    if (state.dateFilter) {
        parts << yearPart(state.year);
        const QString marker = monthMarker(state.month);
        if (!marker.isEmpty())
            parts << monthPart(marker);
    }
    return parts.join(QStringLiteral(" AND "));
}

QString searchQuery(const FilterState& state) {
    const QString condition = activeCondition(state);
    const QString pattern = store::kContentField + QStringLiteral(" LIKE '*") + literalText(state.search) +
                            QStringLiteral("*' ;");
    if (condition.isEmpty())
        return kSelectAll + QStringLiteral("WHERE ") + pattern;
    return kSelectAll + QStringLiteral("WHERE ") + condition + QStringLiteral(" AND ") + pattern;
}

QString sortQuery(const FilterState& state, SortOrder order) {
    const QString condition = activeCondition(state);
    const QString tail = QStringLiteral("ORDER BY ") + sortField(state.sortIndex) +
                         (order == SortOrder::Ascending ? QStringLiteral(" ASC;") : QStringLiteral(" DESC;"));
    if (condition.isEmpty())
        return kSelectAll + tail;
    return kSelectAll + QStringLiteral("WHERE ") + condition + QLatin1Char(' ') + tail;
}

} // namespace list
