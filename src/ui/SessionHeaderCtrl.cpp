#include "ui/SessionHeaderCtrl.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionHeader>
#include <QTreeView>
#include <algorithm>

namespace ui {

namespace {

// The arrow: a small filled triangle at the right of its section, with room
// kept free for it so that a centred or long title never runs under it.
constexpr int kArrowWidth = 7;
constexpr int kArrowHeight = 4;
constexpr int kArrowRoom = kArrowWidth + 8;
const QColor kArrowColour(90, 96, 110);

}  // namespace

CSessionHeaderCtrl::CSessionHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    // The arrow is ours: the view's own indicator would flip on every click
    // and disagree with the list's toggle.
    setSortIndicatorShown(false);
    setSectionsClickable(true);
    setSectionsMovable(false);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(this, &QHeaderView::sectionClicked, this, &CSessionHeaderCtrl::Click);
}

CSessionHeaderCtrl* CSessionHeaderCtrl::InstallOn(QTreeView& view) {
    auto* header = new CSessionHeaderCtrl(&view);
    view.setSortingEnabled(false);  // the list's owner sorts; the header only shows how
    view.setHeader(header);
    header->setSectionsClickable(true);
    return header;
}

void CSessionHeaderCtrl::SetSortableColumns(const QSet<int>& columns) {
    sortable_ = columns;
    allSortable_ = false;
}

bool CSessionHeaderCtrl::IsSortable(int column) const {
    if (column < 0) return false;
    return allSortable_ || sortable_.contains(column);
}

void CSessionHeaderCtrl::SetArrow(int column, bool up) {
    const int old = arrowColumn_;
    arrowColumn_ = column;
    arrowUp_ = up;
    if (old >= 0) updateSection(old);
    if (column >= 0) updateSection(column);
}

void CSessionHeaderCtrl::ClearArrow() {
    SetArrow(-1, false);
}

void CSessionHeaderCtrl::Reset(int column, bool up) {
    SetArrow(column, up);
    nextAscending_ = true;
}

void CSessionHeaderCtrl::Click(int column) {
    emit ColumnClicked(column);
    if (!IsSortable(column)) return;
    const bool ascending = nextAscending_;
    SetArrow(column, ascending);
    nextAscending_ = !nextAscending_;
    emit SortRequested(column, ascending);
}

QSize CSessionHeaderCtrl::sectionSizeFromContents(int logicalIndex) const {
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    size.rwidth() += kArrowRoom;
    return size;
}

void CSessionHeaderCtrl::paintSection(QPainter* painter, const QRect& rect,
                                      int logicalIndex) const {
    if (!rect.isValid()) return;
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.rect = rect;
    opt.section = logicalIndex;
    opt.sortIndicator = QStyleOptionHeader::None;
    opt.state |= QStyle::State_Enabled;
    if (window()->isActiveWindow()) opt.state |= QStyle::State_Active;
    if (model() != nullptr) {
        opt.text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
        const QVariant align =
            model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole);
        opt.textAlignment = align.isValid() ? Qt::Alignment(align.toInt()) : defaultAlignment();
    }
    const int visual = visualIndex(logicalIndex);
    if (count() == 1) {
        opt.position = QStyleOptionHeader::OnlyOneSection;
    } else if (visual == 0) {
        opt.position = QStyleOptionHeader::Beginning;
    } else if (visual == count() - 1) {
        opt.position = QStyleOptionHeader::End;
    } else {
        opt.position = QStyleOptionHeader::Middle;
    }

    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
    QStyleOptionHeader label = opt;
    label.rect = style()->subElementRect(QStyle::SE_HeaderLabel, &opt, this);
    const bool arrowHere = logicalIndex == arrowColumn_;
    if (arrowHere) label.rect.setRight(std::max(label.rect.left(), rect.right() - kArrowRoom));
    style()->drawControl(QStyle::CE_HeaderLabel, &label, painter, this);

    if (arrowHere) {
        const int x = rect.right() - kArrowRoom + 5;
        const int y = rect.center().y() - kArrowHeight / 2;
        QPainterPath triangle;
        if (arrowUp_) {
            triangle.moveTo(x, y + kArrowHeight);
            triangle.lineTo(x + kArrowWidth, y + kArrowHeight);
            triangle.lineTo(x + kArrowWidth / 2.0, y);
        } else {
            triangle.moveTo(x, y);
            triangle.lineTo(x + kArrowWidth, y);
            triangle.lineTo(x + kArrowWidth / 2.0, y + kArrowHeight);
        }
        triangle.closeSubpath();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->fillPath(triangle, kArrowColour);
    }
    painter->restore();
}

}  // namespace ui
