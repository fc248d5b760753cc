#pragma once
// An item model over the recordset of a data control: one column per field of the record source,
// headed by the field name, one row per record, and optionally an empty last row for a new
// record.
//
// Values are read from the data control when a view asks for them; the model copies nothing but
// the record count, so a recordset of a million rows costs no more than one of ten. Edits collect
// in one pending row and reach the file only through commitRow(), the whole row at once.

#include "store/DataControl.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QTimer>
#include <functional>

namespace controls {

class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit RecordsetModel(store::DataControl& data, QObject* parent = nullptr);

    store::DataControl& dataControl() const { return data_; }

    // An empty last row where typing adds a record.
    void setNewRowEnabled(bool enabled);
    bool newRowEnabled() const { return newRow_; }
    // The index of the empty last row, or -1 without one.
    int newRowIndex() const { return newRow_ ? records_ : -1; }

    // What an edited text of a field must meet beyond being text: the sentence that tells the user
    // what to change, or empty when the text is taken.
    using FieldRule = std::function<QString(const QString& text)>;
    // Sets the rule of a field, by field name; checkPending() refuses a text that breaks it.
    void setFieldRule(const QString& field, FieldRule rule);

    // Takes the data control's recordset afresh (after a refresh or a close); pending edits are
    // dropped.
    void reload();

    // The row that holds edits not yet written, or -1.
    int pendingRow() const { return pendingRow_; }
    bool hasPendingEdits() const { return pendingRow_ >= 0; }
    // Why the pending row cannot be written as it is, as a sentence for the user (a number field
    // holding no number, a text field emptied); empty when nothing is wrong. *column gets the
    // cell to change.
    QString checkPending(int* column) const;
    // The column edited last in the pending row, or -1.
    int lastEditedColumn() const { return lastEditedColumn_; }
    // Writes the pending row: updateRow for a record, appendRow for the new row. On failure the
    // edits stay pending, so the user can correct them or drop them. Without pending edits:
    // success.
    store::Error commitRow();
    void discardPending();
    // Drops the pending edits (Escape in the editor): the row shows its stored values again.
    void revert() override;

    // Deletes the data control's current record (after any pending edits of it are dropped) and
    // moves on to the next one. Without a current record nothing happens.
    store::Error removeCurrent();

    // Tells the record selector that the current record moved.
    void currentRecordChanged(int previousRow, int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Record selector marks.
    static inline const QString kCurrentMark = QStringLiteral("▶");
    static inline const QString kEditingMark = QStringLiteral("✎");
    static inline const QString kNewRowMark = QStringLiteral("*");
    // What a cell of a row that cannot be read shows.
    static inline const QString kUnreadable = QStringLiteral("（読み込めません）");
    // How soon rows that found the file locked are read again.
    static constexpr int kRetryAfterLockMs = 1500;

  private:
    // The text a stored value shows: numbers without a trailing ".0", null as empty.
    static QString displayText(const QVariant& value);
    // The stored value's text for `role` (display, edit or tooltip).
    QVariant storedText(int row, int column, int role) const;
    bool numericColumn(int column) const;
    void rowChanged(int row);

    store::DataControl& data_;
    bool newRow_ = false;
    int records_ = 0; // the record count the views know about
    QStringList fields_;
    int pendingRow_ = -1;
    QHash<int, QString> pending_;     // column → edited text
    QHash<QString, FieldRule> rules_; // by field name
    int lastEditedColumn_ = -1;
    int removedRow_ = -1; // while rows are being removed: the row already gone from the file
    mutable QTimer retry_;
};

} // namespace controls
