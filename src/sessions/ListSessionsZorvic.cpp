#include "sessions/ListSessionsZorvic.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>

#include "ui/ListView.h"
#include "ui/Skin.h"

namespace sessions {

namespace {

// Rows of sessions that have people in them.
const QColor kOccupiedBackground(215, 229, 253);

// Qt's header draws its "descending" look for an ascending order (the
// convention of list views elsewhere), so the arrow's direction is chosen
// here once.
Qt::SortOrder OrderForArrow(bool up) {
    return up ? Qt::DescendingOrder : Qt::AscendingOrder;
}

}  // namespace

CSessionsZorvicModel::CSessionsZorvicModel(const ui::Skin& skin, QObject* parent)
    : QAbstractTableModel(parent),
      open_(skin.Bitmap(QStringLiteral("IDB_SESSIONOPEN"))),
      private_(skin.Bitmap(QStringLiteral("IDB_SESSIONPRIVATE"))) {}

void CSessionsZorvicModel::SetRows(QVector<SessionRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int CSessionsZorvicModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CSessionsZorvicModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CSessionsZorvicModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size()) return {};
    const SessionRow& row = rows_[index.row()];
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case kName:
                    return row.name;
                case kCreated:
                    return row.createdText;
                case kBy:
                    return row.creator;
                case kParticipants:
                    return QString::asprintf("%i", row.participants);
                default:
                    return {};
            }
        case Qt::DecorationRole:
            if (index.column() == kName) return row.isPrivate ? private_ : open_;
            return {};
        case Qt::TextAlignmentRole:
            if (index.column() == kParticipants) return int(Qt::AlignCenter);
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::BackgroundRole:
            return row.participants > 0 ? QColor(kOccupiedBackground) : QColor(Qt::white);
        case Qt::ForegroundRole:
            return QColor(Qt::black);
        default:
            return {};
    }
}

QVariant CSessionsZorvicModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
            case kName:
                return QStringLiteral("Name");
            case kCreated:
                return QStringLiteral("Created");
            case kBy:
                return QStringLiteral("By");
            case kParticipants:
                return QStringLiteral("Participants");
            default:
                return {};
        }
    }
    if (role == Qt::TextAlignmentRole) {
        if (section == kParticipants) return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

CListSessionsZorvic::CListSessionsZorvic(const ui::Skin& skin, QWidget* parent)
    : QTreeView(parent), model_(skin, this) {
    setModel(&model_);
    ui::ConfigureListView(*this);
    setSortingEnabled(false);  // the server sorts; the header only shows the arrow

    QHeaderView* head = header();
    head->setSectionsMovable(false);
    head->setSectionsClickable(true);
    head->setSectionResizeMode(QHeaderView::Interactive);
    head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    head->resizeSection(CSessionsZorvicModel::kName, 150);
    head->resizeSection(CSessionsZorvicModel::kCreated, 82);
    head->resizeSection(CSessionsZorvicModel::kBy, 81);
    head->resizeSection(CSessionsZorvicModel::kParticipants, 75);
    head->setSortIndicatorShown(true);
    SetSortArrow(CSessionsZorvicModel::kCreated, false);
    connect(head, &QHeaderView::sectionClicked, this, [this](int column) {
        emit Used();
        emit HeaderClicked(column);
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid() || index.row() >= model_.Rows().size()) return;
        emit JoinRequested(model_.Rows()[index.row()].id);
    });
}

void CListSessionsZorvic::SetSortArrow(int column, bool up) {
    // The header flips its own indicator on a click; the directory decides
    // the direction, so it is set again after every click.
    header()->setSortIndicator(column, OrderForArrow(up));
}

int CListSessionsZorvic::SortArrowColumn() const {
    return header()->sortIndicatorSection();
}

bool CListSessionsZorvic::SortArrowUp() const {
    return header()->sortIndicatorOrder() == OrderForArrow(true);
}

bool CListSessionsZorvic::viewportEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            emit Used();
            break;
        default:
            break;
    }
    return QTreeView::viewportEvent(event);
}

void CListSessionsZorvic::keyPressEvent(QKeyEvent* event) {
    emit Used();
    QTreeView::keyPressEvent(event);
}

void CListSessionsZorvic::scrollContentsBy(int dx, int dy) {
    emit Used();
    QTreeView::scrollContentsBy(dx, dy);
}

}  // namespace sessions
