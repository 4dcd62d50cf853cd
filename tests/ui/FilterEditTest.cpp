#include <gtest/gtest.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QStandardItemModel>
#include <QTreeView>

#include "ui/FilterEdit.h"

namespace {

// A two-column list like the program's: a name and a second visible text.
struct FilteredList {
    QStandardItemModel model{0, 2};
    QTreeView view;
    ui::CFilterEdit edit;

    explicit FilteredList(const QList<QPair<QString, QString>>& rows) {
        Fill(rows);
        view.setModel(&model);
        edit.Attach(&view);
    }
    void Fill(const QList<QPair<QString, QString>>& rows) {
        model.removeRows(0, model.rowCount());
        for (const auto& [a, b] : rows) {
            model.appendRow({new QStandardItem(a), new QStandardItem(b)});
        }
    }
    QStringList Shown() const {
        QStringList names;
        for (int r = 0; r < model.rowCount(); ++r) {
            if (!view.isRowHidden(r, {})) names << model.item(r, 0)->text();
        }
        return names;
    }
};

const QList<QPair<QString, QString>> kRows = {
    {"alice", "Alice Archer"}, {"bob", "Bob Baker"}, {"carol", "Carol Cooper"}};

TEST(FilterEdit, NarrowsOnAnyVisibleColumnIgnoringCase) {
    FilteredList list(kRows);
    EXPECT_EQ(list.edit.placeholderText(), "Filter");
    EXPECT_TRUE(list.edit.isClearButtonEnabled());
    list.edit.setText("BAK");
    EXPECT_EQ(list.Shown(), QStringList{"bob"});
    EXPECT_EQ(list.edit.ShownRows(), 1);
    list.edit.setText("o");
    EXPECT_EQ(list.Shown(), (QStringList{"bob", "carol"}));
    // A hidden column no longer makes a row match.
    list.view.setColumnHidden(1, true);
    list.edit.setText("archer");
    EXPECT_TRUE(list.Shown().isEmpty());
    list.edit.clear();
    EXPECT_EQ(list.Shown(), (QStringList{"alice", "bob", "carol"}));
}

TEST(FilterEdit, EscapeClearsAndARefillStaysFiltered) {
    FilteredList list(kRows);
    list.edit.setText("car");
    list.Fill({{"carl", "x"}, {"dave", "y"}, {"oscar", "z"}});
    EXPECT_EQ(list.Shown(), (QStringList{"carl", "oscar"}));
    // A row appended later and a row whose text changes follow the filter.
    list.model.appendRow({new QStandardItem("erin"), new QStandardItem("Carter")});
    list.model.item(1, 0)->setText("dave carson");
    EXPECT_EQ(list.Shown(), (QStringList{"carl", "dave carson", "oscar", "erin"}));
    // A new order moves the hidden rows along with their rows.
    list.model.item(0, 0)->setText("zed");
    list.model.sort(0);
    EXPECT_EQ(list.Shown(), (QStringList{"dave carson", "erin", "oscar"}));

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&list.edit, &escape);
    EXPECT_TRUE(list.edit.text().isEmpty());
    EXPECT_EQ(list.Shown().size(), 4);
}

TEST(FilterEdit, AHiddenRowLosesTheSelection) {
    FilteredList list(kRows);
    list.view.selectionModel()->select(list.model.index(2, 0), QItemSelectionModel::ClearAndSelect |
                                                                   QItemSelectionModel::Rows);
    list.edit.setText("car");
    // The selected row still shows: it keeps its selection, on its own row.
    ASSERT_EQ(list.view.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(list.view.selectionModel()->selectedRows().first().row(), 2);
    list.edit.setText("bob");
    EXPECT_TRUE(list.view.selectionModel()->selectedRows().isEmpty());
}

TEST(FilterEdit, OnlyShownRowsCanBeSelected) {
    FilteredList list(kRows);
    list.view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    list.edit.setText("o");
    list.view.selectAll();
    QList<int> rows;
    for (const QModelIndex& index : list.view.selectionModel()->selectedRows()) {
        rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (QList<int>{1, 2}));
    // A window's own code selecting a hidden row does not select it either.
    list.view.selectionModel()->select(list.model.index(0, 0), QItemSelectionModel::Select |
                                                                   QItemSelectionModel::Rows);
    EXPECT_FALSE(list.view.selectionModel()->isRowSelected(0, {}));
    EXPECT_EQ(list.view.selectionModel()->selectedRows().size(), 2);
    // With the filter cleared, everything can be selected again.
    list.edit.clear();
    list.view.selectAll();
    EXPECT_EQ(list.view.selectionModel()->selectedRows().size(), 3);
}

}  // namespace
