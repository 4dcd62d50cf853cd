#include "ui/FilterEdit.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>


namespace ui {

bool RowContains(const QAbstractItemModel& model, int row, const QString& needle,
                 const QTreeView* view) {
    if (needle.isEmpty()) return true;
    const int columns = model.columnCount();
    for (int c = 0; c < columns; ++c) {
        // A column the user cannot see does not make a row match.
        if (view != nullptr && view->isColumnHidden(c)) continue;
        const QString text = model.index(row, c).data(Qt::DisplayRole).toString();
        if (text.contains(needle, Qt::CaseInsensitive)) return true;
    }
    return false;
}

CFilterEdit::CFilterEdit(QWidget* parent) : QLineEdit(parent) {
    setPlaceholderText(QStringLiteral("Filter"));
    setClearButtonEnabled(true);
    setAccessibleName(QStringLiteral("Filter"));
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        needle_ = text.trimmed();
        Apply();
    });
}

void CFilterEdit::Attach(QTreeView* view) {
    view_ = view;
    QAbstractItemModel* model = view->model();
    // A refill or a new order forgets (or moves) the hidden rows: apply the
    // filter again to what the list holds now.
    connect(model, &QAbstractItemModel::modelReset, this, &CFilterEdit::Apply);
    connect(model, &QAbstractItemModel::layoutChanged, this, &CFilterEdit::Apply);
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (!parent.isValid()) ApplyRows(first, last);
            });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (!topLeft.parent().isValid()) ApplyRows(topLeft.row(), bottomRight.row());
            });
    if (QItemSelectionModel* selection = view->selectionModel()) {
        connect(selection, &QItemSelectionModel::selectionChanged, this,
                &CFilterEdit::DropHiddenSelection);
    }
    Apply();
}

void CFilterEdit::Apply() {
    if (view_ == nullptr || view_->model() == nullptr) return;
    ApplyRows(0, view_->model()->rowCount() - 1);
}

void CFilterEdit::ApplyRows(int first, int last) {
    if (view_ == nullptr || view_->model() == nullptr) return;
    const QAbstractItemModel& model = *view_->model();
    for (int row = std::max(first, 0); row <= last && row < model.rowCount(); ++row) {
        const bool hide = !RowContains(model, row, needle_, view_);
        if (view_->isRowHidden(row, {}) != hide) view_->setRowHidden(row, {}, hide);
    }
    DropHiddenSelection();
}

void CFilterEdit::DropHiddenSelection() {
    // A selected row the filter hides would still receive the window's
    // actions (delete, move...) though the user no longer sees it: only
    // shown rows stay selected, whether the filter or a "select all" chose.
    QItemSelectionModel* selection = view_->selectionModel();
    if (selection == nullptr || needle_.isEmpty()) return;
    QItemSelection hidden;
    const QModelIndexList rows = selection->selectedRows();
    for (const QModelIndex& index : rows) {
        if (view_->isRowHidden(index.row(), index.parent())) hidden.select(index, index);
    }
    if (!hidden.isEmpty()) {
        selection->select(hidden, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    }
}

int CFilterEdit::ShownRows() const {
    if (view_ == nullptr || view_->model() == nullptr) return 0;
    int shown = 0;
    const int rows = view_->model()->rowCount();
    for (int row = 0; row < rows; ++row) {
        if (!view_->isRowHidden(row, {})) ++shown;
    }
    return shown;
}

void CFilterEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && !text().isEmpty()) {
        clear();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

}  // namespace ui
