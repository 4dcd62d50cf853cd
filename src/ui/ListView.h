#pragma once

// The look every list control of the program shares: flat rows selected whole,
// one at a time, never edited in place, with 16 x 16 pictures.

#include <QAbstractItemView>
#include <QHeaderView>
#include <QTreeView>

namespace ui {

inline void ConfigureListView(QTreeView& view) {
    view.setRootIsDecorated(false);
    view.setItemsExpandable(false);
    view.setUniformRowHeights(true);
    view.setAllColumnsShowFocus(true);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setIconSize(QSize(16, 16));
    view.header()->setStretchLastSection(false);
}

}  // namespace ui
