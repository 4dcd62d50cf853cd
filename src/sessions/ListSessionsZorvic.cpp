#include "sessions/ListSessionsZorvic.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>

#include "ui/ListView.h"
#include "ui/SessionHeaderCtrl.h"
#include "ui/Skin.h"

namespace sessions {

namespace {

// Rows of sessions that have people in them.
const QColor kOccupiedBackground(215, 229, 253);

const int kMainWidths[4] = {150, 82, 81, 75};
const int kManageWidths[4] = {110, 82, 68, 100};

}  // namespace

CSessionsZorvicModel::CSessionsZorvicModel(const ui::Skin& skin, Layout layout, QObject* parent)
    : QAbstractTableModel(parent),
      layout_(layout),
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
    const bool main = layout_ == Layout::Main;
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case kName:
                    return row.name;
                case kCreated:
                    return row.createdText;
                case kBy:
                    if (main) return row.creator;
                    return row.isPrivate ? QStringLiteral("Invite") : QStringLiteral("Open");
                case kParticipants:
                    return QString::asprintf("%i", row.participants);
                default:
                    return {};
            }
        case Qt::DecorationRole:
            if (main && index.column() == kName) return row.isPrivate ? private_ : open_;
            return {};
        case Qt::TextAlignmentRole:
            if (index.column() == kParticipants) return int(Qt::AlignCenter);
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::BackgroundRole:
            if (!main) return {};
            return row.participants > 0 ? QColor(kOccupiedBackground) : QColor(Qt::white);
        case Qt::ForegroundRole:
            return main ? QVariant(QColor(Qt::black)) : QVariant();
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
                return layout_ == Layout::Main ? QStringLiteral("By") : QStringLiteral("Type");
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

CSessionListView::CSessionListView(const ui::Skin& skin, CSessionsZorvicModel::Layout layout,
                                   const int (&widths)[4], QWidget* parent)
    : QTreeView(parent), model_(skin, layout, this) {
    setModel(&model_);
    ui::ConfigureListView(*this);
    // The server sorts; the header shows how and asks for another order.
    header_ = ui::CSessionHeaderCtrl::InstallOn(*this);
    header_->setSectionResizeMode(QHeaderView::Interactive);
    header_->setStretchLastSection(false);
    for (int c = 0; c < 4; ++c) header_->resizeSection(c, widths[c]);
    header_->Reset(CSessionsZorvicModel::kCreated, false);
    connect(header_, &ui::CSessionHeaderCtrl::SortRequested, this,
            &CSessionListView::SortRequested);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid() || index.row() >= model_.Rows().size()) return;
        emit RowActivated(index.row());
    });
}

void CSessionListView::SetSortArrow(int column, bool up) {
    header_->SetArrow(column, up);
}

int CSessionListView::SortArrowColumn() const {
    return header_->ArrowColumn();
}

bool CSessionListView::SortArrowUp() const {
    return header_->ArrowUp();
}

int CSessionListView::SelectedRow() const {
    if (!selectionModel()) return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) return -1;
    const int row = rows.first().row();
    return row < model_.Rows().size() ? row : -1;
}

CListSessionsZorvic::CListSessionsZorvic(const ui::Skin& skin, QWidget* parent)
    : CSessionListView(skin, CSessionsZorvicModel::Layout::Main, kMainWidths, parent) {
    connect(&Header(), &ui::CSessionHeaderCtrl::ColumnClicked, this, [this] { emit Used(); });
    connect(this, &CSessionListView::RowActivated, this,
            [this](int row) { emit JoinRequested(Model().Rows()[row].id); });
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

CListSessions::CListSessions(const ui::Skin& skin, QWidget* parent)
    : CSessionListView(skin, CSessionsZorvicModel::Layout::Manage, kManageWidths, parent) {}

}  // namespace sessions
