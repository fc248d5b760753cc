#include "controls/DataGrid.h"

#include "controls/Fonts.h"
#include "controls/TextLimit.h"
#include "platform/Services.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QStyledItemDelegate>

namespace controls {

// The floating editor: a line edit over the cell, in the grid's font. It remembers the editor it
// made, so that the grid can take its text before the recordset changes under it.
class CellDelegate : public QStyledItemDelegate {
  public:
    CellDelegate(const store::DataControl& data, QObject* parent)
        : QStyledItemDelegate(parent), data_(data) {}

    QHash<QString, int> widths; // by field name

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* editor = new QLineEdit(parent);
        editor->setObjectName(QStringLiteral("cellEditor"));
        editor->setFrame(true);
        // A text field takes no more characters than the file holds.
        const int width = widths.value(data_.fieldNames().value(index.column()));
        if (width > 0)
            limitCodePoints(editor, width);
        editor_ = editor;
        return editor;
    }

    QWidget* openEditor() const { return editor_.data(); }

  private:
    const store::DataControl& data_;
    mutable QPointer<QWidget> editor_;
};

DataGrid::DataGrid(store::DataControl& data, QWidget* parent)
    : QTableView(parent), model_(new RecordsetModel(data, this)), delegate_(new CellDelegate(data, this)) {
    setModel(model_);
    setItemDelegate(delegate_);

    const QFont font = gothicFont(9);
    setFont(font);
    horizontalHeader()->setFont(font);
    verticalHeader()->setFont(font);

    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWordWrap(false);
    setSortingEnabled(false);

    // Rows: one line of the grid font high, resizable by the user; the record selector is a
    // narrow column of marks.
    const QFontMetrics metrics(font);
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Interactive);
    rows->setMinimumSectionSize(metrics.height() / 2);
    rows->setDefaultSectionSize(metrics.height() + 6);
    rows->setDefaultAlignment(Qt::AlignCenter);
    rows->setFixedWidth(metrics.height() + 6);

    // Column headers: one line high.
    QHeaderView* columns = horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setFixedHeight(metrics.height() + 8);
    columns->setHighlightSections(false);
    rows->setHighlightSections(false);
}

void DataGrid::setNewRowEnabled(bool enabled) {
    model_->setNewRowEnabled(enabled);
}

void DataGrid::setFieldWidths(const QHash<QString, int>& widths) {
    delegate_->widths = widths;
}

void DataGrid::setFieldRule(const QString& field, RecordsetModel::FieldRule rule) {
    model_->setFieldRule(field, std::move(rule));
}

void DataGrid::setColumnWidth(int pixels) {
    columnWidth_ = pixels;
    horizontalHeader()->setDefaultSectionSize(pixels);
    applyColumnWidth();
}

void DataGrid::applyColumnWidth() {
    if (columnWidth_ < 0)
        return;
    for (int c = 0; c < model_->columnCount(); ++c)
        QTableView::setColumnWidth(c, columnWidth_);
}

void DataGrid::rebind() {
    moving_ = true;
    model_->reload();
    moving_ = false;
    applyColumnWidth();
    showCurrentRecord();
}

void DataGrid::showCurrentRecord() {
    const store::DataControl& data = dataControl();
    moving_ = true;
    if (data.hasCurrentRow() && model_->columnCount() > 0) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        const QModelIndex index = model_->index(data.absolutePosition(), column);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
    } else {
        selectionModel()->clearCurrentIndex();
        selectionModel()->clearSelection();
    }
    moving_ = false;
    viewport()->update();
    verticalHeader()->viewport()->update();
}

bool DataGrid::commitEdits() {
    // An open editor first hands its text to the row.
    if (QWidget* editor = static_cast<CellDelegate*>(itemDelegate())->openEditor()) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    int column = -1;
    const int row = writePendingRow(&column);
    if (row < 0)
        return true;
    returnToRefusedCell(row, column);
    return false;
}

int DataGrid::writePendingRow(int* column) {
    if (!model_->hasPendingEdits())
        return -1;
    const int row = model_->pendingRow();
    *column = model_->lastEditedColumn();
    QString refusal = model_->checkPending(column);
    if (refusal.isEmpty()) {
        const store::Error error = model_->commitRow();
        if (error.ok())
            return -1;
        refusal = store::describe(error);
    }
    platform::message(refusal + QStringLiteral("\n\nEsc キーを押すと元の値に戻ります。"), platform::kAppTitle,
                      platform::Icon::Exclamation);
    return row;
}

void DataGrid::returnToRefusedCell(int row, int column) {
    if (!model_->hasPendingEdits() || model_->pendingRow() != row)
        return; // dropped meanwhile
    const QModelIndex index = model_->index(row, std::max(column, 0));
    setCurrentIndex(index);
    scrollTo(index);
    edit(index);
}

void DataGrid::deleteCurrent() {
    store::DataControl& data = dataControl();
    // Without a current record nothing happens, not even to an entry being typed.
    if (data.absolutePosition() < 0 || data.absolutePosition() >= data.recordCount())
        return;
    if (QWidget* editor = static_cast<CellDelegate*>(itemDelegate())->openEditor())
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    // Edits of another row than the current record are written first; those of the record
    // itself go with it.
    if (model_->hasPendingEdits() && model_->pendingRow() != data.absolutePosition() && !commitEdits())
        return;
    const int position = data.absolutePosition();
    if (position < 0 || position >= data.recordCount())
        return;
    moving_ = true;
    const store::Error error = model_->removeCurrent();
    moving_ = false;
    if (error.failed())
        report(error);
    showCurrentRecord();
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The base class hands an open editor's text to the row it leaves.
    QTableView::currentChanged(current, previous);
    if (moving_)
        return;
    const int from = previous.isValid() ? previous.row() : -1;
    const int to = current.isValid() ? current.row() : -1;
    if (from == to)
        return;
    if (model_->hasPendingEdits() && model_->pendingRow() == from) {
        // A refused row keeps its edits: once this move is over, the cursor goes back to it with
        // the editor open on the text to change.
        int column = -1;
        if (writePendingRow(&column) >= 0)
            QMetaObject::invokeMethod(
                this, [this, from, column] { returnToRefusedCell(from, column); }, Qt::QueuedConnection);
    }
    store::DataControl& data = dataControl();
    const int before = data.hasCurrentRow() ? data.absolutePosition() : -1;
    // The empty last row is no record: the data control then has no current record.
    data.moveTo(to >= 0 && to < data.recordCount() ? to : -1);
    model_->currentRecordChanged(before, data.hasCurrentRow() ? data.absolutePosition() : -1);
}

bool DataGrid::leavesByTab(const QKeyEvent* event) const {
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (!tab || (event->modifiers() & Qt::AltModifier))
        return false;
    // Ctrl+Tab leaves from any cell; so does Tab in a grid of one column, whose rows are the
    // arrows' to move between (Tab would move the current record away from the row chosen).
    if ((event->modifiers() & Qt::ControlModifier) || model_->columnCount() <= 1)
        return true;
    const bool back = event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return true;
    const int lastRow = model_->rowCount() - 1;
    const int lastColumn = model_->columnCount() - 1;
    return back ? current.row() == 0 && current.column() == 0
                : current.row() == lastRow && current.column() == lastColumn;
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
    // Tab moves from cell to cell, and out of the grid from the last cell (Shift+Tab from the
    // first); Ctrl+Tab leaves from any cell.
    if (leavesByTab(event)) {
        const bool back = event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
        if (event->modifiers() & Qt::ControlModifier) {
            QAbstractScrollArea::focusNextPrevChild(!back);
            event->accept();
        } else {
            event->ignore(); // the focus chain goes on past the grid
        }
        return;
    }
    // Down or Enter on a filled-in new row leaves it: the record is added and the cursor goes on
    // to the next empty row.
    const int newRow = model_->newRowIndex();
    const bool leaves =
        event->key() == Qt::Key_Down || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (leaves && state() != EditingState && newRow >= 0 && currentIndex().row() == newRow &&
        model_->pendingRow() == newRow) {
        const int column = currentIndex().column();
        commitEdits();
        moving_ = true;
        setCurrentIndex(model_->index(model_->newRowIndex(), column));
        moving_ = false;
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void DataGrid::inputMethodEvent(QInputMethodEvent* event) {
    // Text from an input method starts the editor like a typed key, and goes into it (the view
    // alone would open the editor empty and drop the text).
    const bool text = !event->commitString().isEmpty() || !event->preeditString().isEmpty();
    if (text && state() != EditingState && edit(currentIndex(), AnyKeyPressed, event)) {
        if (QWidget* editor = static_cast<CellDelegate*>(itemDelegate())->openEditor()) {
            QCoreApplication::sendEvent(editor, event);
            event->accept();
            return;
        }
    }
    QTableView::inputMethodEvent(event);
}

void DataGrid::report(const store::Error& error) {
    platform::message(store::describe(error), platform::kAppTitle, platform::Icon::Exclamation);
}

} // namespace controls
