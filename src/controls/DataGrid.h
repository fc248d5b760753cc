#pragma once
// A data grid bound to a data control: one column per field of the record source, headed by the
// field name, a record selector that marks the current record (▶) and a row being edited (✎), a
// floating editor over the cell, and optionally an empty last row where typing adds a record.
//
// Edits of a row are written to the file when the user leaves the row (or when the window asks
// for it before the recordset changes), not cell by cell. The editor takes no more characters than
// the window allows the field (setFieldWidths()). A row the file refuses (no number in a number field, an
// emptied text, a text breaking the window's rule for its field, a locked file) is reported in a message box
// and keeps its edits: the cursor returns to it with the editor open on the typed text, and Escape gives the
// stored values back. Rows cannot be deleted from the grid itself.

#include "controls/RecordsetModel.h"

#include <QHash>
#include <QTableView>

namespace controls {

class CellDelegate;

class DataGrid : public QTableView {
    Q_OBJECT
  public:
    explicit DataGrid(store::DataControl& data, QWidget* parent = nullptr);

    RecordsetModel* recordsetModel() const { return model_; }
    store::DataControl& dataControl() const { return model_->dataControl(); }

    void setNewRowEnabled(bool enabled);

    // Shows the data control's recordset afresh, positioned on its current record. Call after
    // every refresh of the data control.
    void rebind();
    // Writes a row with pending edits now (before a refresh, a delete or a close); a refusal is
    // reported and the editor opens again on the refused cell. Returns false when the row was
    // refused: the caller then leaves the recordset as it is.
    bool commitEdits();
    // Whether the user is in the middle of an edit: an editor is open or a row holds edits not
    // yet written. A refresh then would throw the typing away.
    bool editing() const { return state() == EditingState || model_->hasPendingEdits(); }
    // Deletes the current record and makes the next one current; nothing without a current
    // record. A failure is reported.
    void deleteCurrent();

    // The most characters the editor takes in each field, by field name; a field not named takes
    // any number. Set by the window that knows the table behind its record source.
    void setFieldWidths(const QHash<QString, int>& widths);
    // A rule the edited text of a field must meet (RecordsetModel::setFieldRule()); a row breaking
    // it is refused like one with no number in a number field.
    void setFieldRule(const QString& field, RecordsetModel::FieldRule rule);

    // Every column this wide (in pixels).
    void setColumnWidth(int pixels);

  protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

  private:
    void report(const store::Error& error);
    // Whether Tab takes the focus out of the grid: Ctrl+Tab always, Tab on the last cell,
    // Shift+Tab on the first, and any Tab in a grid of one column.
    bool leavesByTab(const QKeyEvent* event) const;
    // Writes the pending row; a refusal is reported. Returns the refused row (-1 when written or
    // nothing was pending) and in *column the cell to change.
    int writePendingRow(int* column);
    void returnToRefusedCell(int row, int column);
    void showCurrentRecord();
    void applyColumnWidth();

    RecordsetModel* model_;
    CellDelegate* delegate_;
    int columnWidth_ = -1;
    bool moving_ = false;
};

} // namespace controls
