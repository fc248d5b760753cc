#include "controls/RecordsetModel.h"

#include <QMetaType>

namespace controls {

RecordsetModel::RecordsetModel(store::DataControl& data, QObject* parent)
    : QAbstractTableModel(parent), data_(data) {
    records_ = data_.recordCount();
    fields_ = data_.fieldNames();
    // Rows that found the file locked are read again once the lock may be gone, without waiting
    // for the user to click them.
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryAfterLockMs);
    connect(&retry_, &QTimer::timeout, this, [this] {
        if (rowCount() > 0 && columnCount() > 0)
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                               {Qt::DisplayRole, Qt::EditRole, Qt::ToolTipRole});
    });
}

void RecordsetModel::setNewRowEnabled(bool enabled) {
    if (enabled == newRow_)
        return;
    beginResetModel();
    newRow_ = enabled;
    pendingRow_ = -1;
    pending_.clear();
    endResetModel();
}

void RecordsetModel::setFieldRule(const QString& field, FieldRule rule) {
    rules_.insert(field, std::move(rule));
}

void RecordsetModel::reload() {
    beginResetModel();
    records_ = data_.recordCount();
    fields_ = data_.fieldNames();
    pendingRow_ = -1;
    pending_.clear();
    lastEditedColumn_ = -1;
    removedRow_ = -1;
    endResetModel();
}

int RecordsetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return records_ + (newRow_ && !fields_.isEmpty() ? 1 : 0);
}

int RecordsetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(fields_.size());
}

QString RecordsetModel::displayText(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return QString();
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

QVariant RecordsetModel::storedText(int row, int column, int role) const {
    if (row >= records_)
        return role == Qt::ToolTipRole ? QVariant() : QVariant(QString()); // the new row
    if (removedRow_ >= 0) {
        // Between the removal from the file and the views' update the views still count the
        // removed row: show it empty and shift the rows after it.
        if (row == removedRow_)
            return QString();
        if (row > removedRow_)
            --row;
    }
    const store::Result<QVariant> value = data_.value(row, column);
    if (value.ok())
        return role == Qt::ToolTipRole ? QVariant() : QVariant(displayText(value.value()));
    // A row that cannot be read says so, and why on the tooltip; it is never shown empty.
    if (value.error().locked())
        retry_.start();
    return role == Qt::ToolTipRole ? store::describe(value.error()) : kUnreadable;
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();
    // The empty cell of the new row is spoken as what it is.
    if (role == Qt::AccessibleTextRole && index.row() == newRowIndex() && index.row() != pendingRow_)
        return QStringLiteral("新しい行 ") + fields_.at(index.column());
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole)
        return QVariant();
    if (index.row() == pendingRow_ && role != Qt::ToolTipRole) {
        const auto it = pending_.constFind(index.column());
        if (it != pending_.constEnd())
            return *it;
    }
    return storedText(index.row(), index.column(), role);
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= columnCount())
        return false;
    const QString text = value.toString();
    if (text == data(index, Qt::EditRole).toString())
        return true; // unchanged: the row does not become dirty
    if (pendingRow_ >= 0 && pendingRow_ != index.row())
        return false; // the grid commits a row before another one is edited
    const bool startsEditing = pendingRow_ < 0;
    pendingRow_ = index.row();
    pending_.insert(index.column(), text);
    lastEditedColumn_ = index.column();
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    if (startsEditing)
        Q_EMIT headerDataChanged(Qt::Vertical, index.row(), index.row());
    return true;
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    // A file open read-only shows its rows without offering an editor that could only fail; so
    // does a row that cannot be read, whose stored values an edit would replace unseen.
    if (data_.readOnly() ||
        (index.row() < records_ && removedRow_ < 0 && data_.rowError(index.row()).failed()))
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < fields_.size() ? QVariant(fields_.at(section)) : QVariant();
    if (section < 0 || section >= rowCount())
        return QVariant();
    if (section == pendingRow_)
        return kEditingMark;
    if (section == newRowIndex())
        return kNewRowMark;
    if (data_.hasCurrentRow() && section == data_.absolutePosition() && removedRow_ < 0)
        return kCurrentMark;
    return QString();
}

bool RecordsetModel::numericColumn(int column) const {
    return data_.numericField(column);
}

void RecordsetModel::rowChanged(int row) {
    if (row < 0 || row >= rowCount() || fields_.isEmpty())
        return;
    Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::DisplayRole, Qt::EditRole});
    Q_EMIT headerDataChanged(Qt::Vertical, row, row);
}

void RecordsetModel::discardPending() {
    const int row = pendingRow_;
    pendingRow_ = -1;
    pending_.clear();
    lastEditedColumn_ = -1;
    rowChanged(row);
}

void RecordsetModel::revert() {
    discardPending();
}

QString RecordsetModel::checkPending(int* column) const {
    for (auto it = pending_.cbegin(); it != pending_.cend(); ++it) {
        const QString text = it.value().trimmed();
        const QString field = QStringLiteral("「") + fields_.at(it.key()) + QStringLiteral("」");
        QString problem;
        if (numericColumn(it.key())) {
            bool ok = text.isEmpty();
            if (!ok)
                text.toDouble(&ok);
            if (!ok)
                problem = field + QStringLiteral("には数値を入力してください。");
        } else if (it.value().isEmpty()) {
            problem = field + QStringLiteral("を空にすることはできません。文字を入力してください。");
        } else if (const auto rule = rules_.constFind(fields_.at(it.key())); rule != rules_.cend()) {
            problem = (*rule)(it.value());
        }
        if (!problem.isEmpty()) {
            if (column)
                *column = it.key();
            return problem;
        }
    }
    return QString();
}

store::Error RecordsetModel::commitRow() {
    if (pendingRow_ < 0)
        return {};
    QHash<QString, QVariant> values;
    for (auto it = pending_.cbegin(); it != pending_.cend(); ++it) {
        const QString& text = it.value();
        QVariant value = text;
        if (numericColumn(it.key())) {
            // A number field takes a number or no value; anything else goes to the engine as
            // text, which refuses it.
            bool ok = false;
            const double number = text.trimmed().toDouble(&ok);
            if (text.trimmed().isEmpty())
                value = QVariant(QMetaType::fromType<double>());
            else if (ok)
                value = number;
        }
        values.insert(fields_.at(it.key()), value);
    }

    const int row = pendingRow_;
    if (row < records_) {
        const store::Error error = data_.updateRow(row, values);
        if (error.ok())
            discardPending();
        return error;
    }

    // The new row.
    const store::Error error = data_.appendRow(values);
    if (error.failed())
        return error;
    if (data_.recordCount() == records_) {
        discardPending();
        return {};
    }
    beginInsertRows(QModelIndex(), row + 1, row + 1);
    pendingRow_ = -1;
    pending_.clear();
    lastEditedColumn_ = -1;
    records_ = data_.recordCount();
    endInsertRows();
    rowChanged(row);
    return {};
}

store::Error RecordsetModel::removeCurrent() {
    if (!data_.hasCurrentRow())
        return {};
    const int row = data_.absolutePosition();
    // Edits of the deleted record go with it.
    if (hasPendingEdits())
        discardPending();
    const store::Error error = data_.remove();
    if (error.failed() || data_.recordCount() == records_)
        return error;
    removedRow_ = row;
    beginRemoveRows(QModelIndex(), row, row);
    removedRow_ = -1;
    records_ = data_.recordCount();
    endRemoveRows();
    data_.moveNext();
    if (data_.hasCurrentRow())
        Q_EMIT headerDataChanged(Qt::Vertical, data_.absolutePosition(), data_.absolutePosition());
    return {};
}

void RecordsetModel::currentRecordChanged(int previousRow, int row) {
    for (int r : {previousRow, row})
        if (r >= 0 && r < rowCount())
            Q_EMIT headerDataChanged(Qt::Vertical, r, r);
}

} // namespace controls
