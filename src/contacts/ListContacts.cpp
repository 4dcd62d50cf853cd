#include "contacts/ListContacts.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextDocument>

#include "ui/ListView.h"
#include "ui/Skin.h"

namespace contacts {

int ContactPicture(const ContactRow& row) {
    if (row.muted) return 3;
    return row.status == 1 || row.status == 2 ? row.status : 0;
}

QString ContactTooltip(const ContactRow& row) {
    const QByteArray name = row.username.toUtf8();
    const char* format = nullptr;
    switch (row.status) {
        case 0:
            format = row.muted ? "%s is offline, currently ignored" : "%s is offline";
            break;
        case 1:
            format = row.muted ? "%s is online, currently ignored" : "%s is online";
            break;
        case 2:
            format = row.muted ? "%s is away, currently ignored" : "%s is away";
            break;
        default:
            format = "%s is <unknown status>";
            break;
    }
    return QString::asprintf(format, name.constData());
}

CContactsModel::CContactsModel(const ui::Skin& skin, QObject* parent) : QAbstractListModel(parent) {
    const char* names[] = {"IDB_PRESENCEOFFLINE", "IDB_PRESENCEONLINE", "IDB_PRESENCEAWAY",
                           "IDB_PRESENCEMUTED"};
    for (size_t i = 0; i < pictures_.size(); ++i) {
        pictures_[i] = skin.Bitmap(QString::fromLatin1(names[i]));
    }
    // The three styles come from the system font's description.
    const QFont base = QApplication::font();
    bold_ = base;
    bold_.setWeight(QFont::Bold);
    normal_ = base;
    normal_.setWeight(QFont::Normal);
    italic_ = normal_;
    italic_.setItalic(true);
}

void CContactsModel::SetRows(QVector<ContactRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

QVariant CContactsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return QStringLiteral("Contacts");
    }
    return QAbstractListModel::headerData(section, orientation, role);
}

int CContactsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant CContactsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size() || index.column() != 0) return {};
    const ContactRow& row = rows_[index.row()];
    const int picture = ContactPicture(row);
    switch (role) {
        case Qt::DisplayRole:
            return row.username;
        case Qt::DecorationRole:
            return pictures_[static_cast<size_t>(picture)];
        case Qt::ToolTipRole: {
            // A name that looks like markup is shown as it is written.
            const QString tip = ContactTooltip(row);
            return Qt::mightBeRichText(tip) ? Qt::convertFromPlainText(tip, Qt::WhiteSpaceNormal)
                                            : tip;
        }
        case Qt::FontRole:
            if (picture == 1) return bold_;
            if (picture == 2) return italic_;
            return normal_;
        case Qt::ForegroundRole:
            if (picture == 1) return QColor(0, 0, 255);
            if (picture == 2) return QColor(0, 0, 0);
            return QColor(kGreyText);
        default:
            return {};
    }
}

CListContacts::CListContacts(const ui::Skin& skin, QWidget* parent)
    : QTreeView(parent), model_(skin, this) {
    setModel(&model_);
    ui::ConfigureListView(*this);
    // The pane's heading is the column's: it lines up with the sessions
    // list's header beside it. The one column fills the list.
    header()->setSectionsClickable(false);
    header()->setSectionResizeMode(QHeaderView::Stretch);
    header()->setStretchLastSection(true);
    setAccessibleName(QStringLiteral("Contacts"));
}

int CListContacts::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CListContacts::contextMenuEvent(QContextMenuEvent* event) {
    const int row = SelectedRow();
    if (row < 0) return;
    // From the keyboard the menu opens at the selected row.
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        at = viewport()->mapToGlobal(visualRect(model_.index(row, 0)).bottomLeft());
    }
    emit menuRequested(row, at);
}

void CListContacts::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        const int row = SelectedRow();
        if (row >= 0) emit deleteRequested(row);
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CListContacts::mousePressEvent(QMouseEvent* event) {
    // A click beside the rows clears the selection, as in the other lists.
    if (!indexAt(event->position().toPoint()).isValid()) clearSelection();
    QTreeView::mousePressEvent(event);
    if (SelectedRow() < 0) emit clickedAway();
}

}  // namespace contacts
