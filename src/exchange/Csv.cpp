#include "exchange/Csv.h"

#include "exchange/Messages.h"
#include "platform/ExportTarget.h"
#include "store/DataControl.h"
#include "store/ScheduleFile.h"
#include "store/ScheduleLayout.h"

#include <QSaveFile>
#include <vector>

namespace exchange {

namespace {

// Numbers come back as doubles: 1.0 is written 1.
QString valueText(const QVariant& value) {
    if (value.isNull() || !value.isValid())
        return QString();
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

} // namespace

QByteArray csvField(const QString& text, bool keepDigits) {
    QByteArray bytes = text.toUtf8();
    const char first = bytes.isEmpty() ? '\0' : bytes.front();
    const bool formula =
        first == '=' || first == '+' || first == '-' || first == '@' || first == '\t' || first == '\r';
    if (formula || (keepDigits && first >= '0' && first <= '9'))
        bytes.prepend('\'');
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\r') && !bytes.contains('\n'))
        return bytes;
    bytes.replace("\"", "\"\"");
    return '"' + bytes + '"';
}

CsvExport exportCsv(const store::DataControl& data, const QString& path, const Progress& progress) {
    CsvExport result;
    const platform::ExportTarget target = platform::checkExportTarget(path, data.databaseName());
    if (!target.refusal.isEmpty()) {
        result.failure = messages::cannotWrite(path, target.refusal);
        return result;
    }
    QSaveFile file(target.path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.failure = messages::cannotWrite(path, file.errorString());
        return result;
    }
    const QStringList fields = store::dayFields();
    std::vector<int> columns; // the recordset's column of each field, -1 when it has none
    const qsizetype timeColumn = fields.indexOf(store::kTimeField);
    QByteArray line = QByteArrayLiteral("\xEF\xBB\xBF");
    for (const QString& field : fields) {
        columns.push_back(static_cast<int>(data.fieldNames().indexOf(field)));
        line += csvField(field) + (columns.size() < static_cast<size_t>(fields.size()) ? "," : "\r\n");
    }
    file.write(line);
    const int rows = data.recordCount();
    for (int row = 0; row < rows; ++row) {
        if (row % 1024 == 1023 && progress && !progress(row, rows)) {
            file.cancelWriting();
            result.cancelled = true;
            return result;
        }
        // A row that cannot be read stops the export: a blank line in its place would pass for
        // a record without values.
        if (const store::Error error = data.rowError(row); error.failed()) {
            file.cancelWriting();
            result.failure = messages::unreadableRecord(row + 1, store::describe(error));
            return result;
        }
        line.clear();
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i > 0)
                line += ',';
            if (columns[i] < 0)
                continue;
            const store::Result<QVariant> value = data.value(row, columns[i]);
            if (!value.ok()) {
                file.cancelWriting();
                result.failure = messages::unreadableRecord(row + 1, store::describe(value.error()));
                return result;
            }
            line += csvField(valueText(value.value()), static_cast<qsizetype>(i) == timeColumn);
        }
        line += "\r\n";
        if (file.write(line) < 0)
            break;
        ++result.rows;
    }
    if (!file.commit())
        result.failure = messages::cannotWrite(path, file.errorString());
    return result;
}

} // namespace exchange
