#pragma once
// Rows of a test Schedule file: written and read back through a data control of their own, so
// that a test sees what really reached the file.

#include "store/DataControl.h"
#include "store/DayRecords.h"
#include "store/ScheduleFile.h"

#include <QStringList>
#include <QtTest>

namespace testrows {

struct DayRow {
    QString date;
    double slot;
    QVariant level; // a double, or null
    QString content;
    QString alarm = QStringLiteral("False");
    QString time = QStringLiteral("####");
};

inline void addDays(const QString& file, const QList<DayRow>& rows) {
    store::DataControl data;
    data.setDatabaseName(file);
    data.setRecordSource(store::kDayTable);
    QVERIFY(data.refresh().ok());
    for (const DayRow& row : rows) {
        const store::Error error =
            data.appendRow({{QStringLiteral("年月日"), row.date},
                            {QStringLiteral("項目番号"), row.slot},
                            {QStringLiteral("レベル"),
                             row.level.isValid() ? row.level : QVariant(QMetaType::fromType<double>())},
                            {QStringLiteral("内容"), row.content},
                            {QStringLiteral("アラーム"), row.alarm},
                            {QStringLiteral("時刻"), row.time}});
        QVERIFY2(error.ok(), qPrintable(error.message));
    }
}

inline void addTodos(const QString& file, const QStringList& texts) {
    store::DataControl data;
    data.setDatabaseName(file);
    data.setRecordSource(store::kTodoTable);
    QVERIFY(data.refresh().ok());
    for (const QString& text : texts)
        QVERIFY(data.appendRow({{QStringLiteral("やるべき事"), text}}).ok());
}

// Stores one slot of a date through the store's own rules; false when the file refuses it.
inline bool putSlot(const QString& file, const QDate& date, int slot, const store::SlotItem& item) {
    store::DataControl data;
    return store::openDayTable(data, file).ok() &&
           store::saveSlot(data, store::dateString(date), slot, item).ok();
}

inline store::SlotItem storedSlot(const QString& file, const QDate& date, int slot) {
    store::DataControl data;
    if (store::openDayTable(data, file).failed())
        return {QStringLiteral("<unreadable>"), QString(), false, QString()};
    const store::Result<store::SlotItem> item = store::readSlot(data, store::dateString(date), slot);
    return item.ok() ? item.value()
                     : store::SlotItem{QStringLiteral("<unreadable>"), QString(), false, QString()};
}

// One column of a query over the file, rows in the order the query gives them.
inline QStringList column(const QString& file, const QString& query, int column) {
    store::DataControl data;
    data.setDatabaseName(file);
    data.setRecordSource(query);
    if (data.refresh().failed())
        return {QStringLiteral("<refresh failed>")};
    QStringList values;
    for (int row = 0; row < data.recordCount(); ++row)
        values << data.value(row, column).value().toString();
    return values;
}

// Every row of 予定表 in table order as "field|field|…", NULL for a field without value.
inline QStringList dayRows(const QString& file) {
    store::DataControl data;
    data.setDatabaseName(file);
    data.setRecordSource(store::kDayTable);
    if (data.refresh().failed())
        return {QStringLiteral("<refresh failed>")};
    QStringList rows;
    for (int row = 0; row < data.recordCount(); ++row) {
        QStringList values;
        for (int column = 0; column < data.fieldNames().size(); ++column) {
            const QVariant value = data.value(row, column).value();
            values << (value.isNull() ? QStringLiteral("NULL") : value.toString());
        }
        rows << values.join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace testrows
