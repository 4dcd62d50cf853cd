#include "mailbox/ListMessage.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

#include "ui/SessionHeaderCtrl.h"
#include "ui/Skin.h"

namespace mailbox {

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int kColumnWidths[] = {100, 300, 180};

}  // namespace

CMessageListModel::CMessageListModel(const ui::Skin& skin, QObject* parent)
    : QAbstractTableModel(parent), clip_(skin.Bitmap(QStringLiteral("IDB_ATTACHMENT"))) {
    bold_.setBold(true);
}

void CMessageListModel::SetMessages(const std::vector<CMailboxMessage>* messages) {
    beginResetModel();
    messages_ = messages;
    endResetModel();
}

void CMessageListModel::RowChanged(int row) {
    if (At(row) == nullptr) return;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

const CMailboxMessage* CMessageListModel::At(int row) const {
    if (messages_ == nullptr || row < 0 || static_cast<size_t>(row) >= messages_->size()) {
        return nullptr;
    }
    return &(*messages_)[static_cast<size_t>(row)];
}

int CMessageListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || messages_ == nullptr) return 0;
    return static_cast<int>(messages_->size());
}

int CMessageListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CMessageListModel::data(const QModelIndex& index, int role) const {
    const CMailboxMessage* m = At(index.row());
    if (m == nullptr) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            if (role == Qt::ToolTipRole && index.column() != kSubject) return {};
            switch (index.column()) {
                case kFrom:
                    return FromUtf8(m->fromText);
                case kSubject:
                    return FromUtf8(m->subjectText);
                case kDate:
                    return QString::fromLatin1(m->dateText.c_str());
                default:
                    return {};
            }
        case Qt::DecorationRole:
            if (index.column() == kFrom && m->HasAttachment()) return clip_;
            return {};
        case Qt::FontRole:
            if (m->IsUnread()) return bold_;
            return {};
        case Qt::AccessibleDescriptionRole:
            if (index.column() != kFrom) return {};
            return QStringLiteral("%1%2")
                .arg(m->IsUnread() ? QStringLiteral("unread") : QStringLiteral("read"),
                     m->HasAttachment() ? QStringLiteral(", with attachment") : QString());
        default:
            return {};
    }
}

QVariant CMessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case kFrom:
            return QStringLiteral("From");
        case kSubject:
            return QStringLiteral("Subject");
        case kDate:
            return QStringLiteral("Date");
        default:
            return {};
    }
}

CListMessage::CListMessage(const ui::Skin& skin, QWidget* parent)
    : QTreeView(parent), model_(skin, this) {
    header_ = new ui::CSessionHeaderCtrl(this);
    setHeader(header_);
    setModel(&model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setTextElideMode(Qt::ElideRight);
    header_->setStretchLastSection(false);
    for (int c = 0; c < CMessageListModel::kColumnCount; ++c) setColumnWidth(c, kColumnWidths[c]);
    // At start the list is by date, newest first; the first click ascends.
    header_->Reset(CMessageListModel::kDate, false);
    setAccessibleName(QStringLiteral("Messages"));
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit OpenRequested(index.row()); });
}

std::vector<int> CListMessage::SelectedRows() const {
    std::vector<int> rows;
    if (selectionModel() == nullptr) return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        if (model_.At(index.row()) != nullptr) rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CListMessage::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        event->accept();
        emit DeletePressed();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentIndex().isValid()) {
        // The keyboard's double click: open the message under the cursor.
        event->accept();
        emit OpenRequested(currentIndex().row());
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CListMessage::keyReleaseEvent(QKeyEvent* event) {
    QTreeView::keyReleaseEvent(event);
    emit SelectionTouched();
}

void CListMessage::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    emit SelectionTouched();
}

void CListMessage::contextMenuEvent(QContextMenuEvent* event) {
    // The menu is for a selection: a right click on a row not yet selected
    // selects it first; one on empty space opens nothing.
    const QModelIndex index = indexAt(event->pos());
    if (event->reason() == QContextMenuEvent::Mouse) {
        if (!index.isValid()) return;
        if (!selectionModel()->isRowSelected(index.row(), QModelIndex())) {
            selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                                QItemSelectionModel::Rows);
            setCurrentIndex(index);
        }
    }
    emit SelectionTouched();
    if (SelectedRows().empty()) return;
    emit MenuRequested(event->globalPos());
}

}  // namespace mailbox
