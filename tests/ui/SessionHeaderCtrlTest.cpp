#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTreeView>

#include "ui/SessionHeaderCtrl.h"

namespace {

using ui::CSessionHeaderCtrl;

// A four-column list with the header installed, as the lists use it.
struct HeaderedList {
    HeaderedList() : model(0, 4) {
        model.setHorizontalHeaderLabels({"Name", "Created", "Type", "Participants"});
        view.setModel(&model);
        header = CSessionHeaderCtrl::InstallOn(view);
        for (int c = 0; c < 4; ++c) header->resizeSection(c, 90);
        view.resize(400, 120);
    }
    QStandardItemModel model;
    QTreeView view;
    CSessionHeaderCtrl* header = nullptr;
};

QPoint SectionCentre(const CSessionHeaderCtrl& header, int column) {
    return QPoint(header.sectionViewportPosition(column) + header.sectionSize(column) / 2,
                  header.height() / 2);
}

TEST(SessionHeaderCtrl, OneToggleAlternatesWhateverColumnIsClicked) {
    HeaderedList list;
    list.header->Reset(1, false);
    EXPECT_EQ(list.header->ArrowColumn(), 1);
    EXPECT_FALSE(list.header->ArrowUp());
    EXPECT_TRUE(list.header->NextAscending());

    QSignalSpy sorts(list.header, &CSessionHeaderCtrl::SortRequested);
    list.header->Click(0);
    EXPECT_EQ(list.header->ArrowColumn(), 0);
    EXPECT_TRUE(list.header->ArrowUp());
    list.header->Click(0);
    EXPECT_FALSE(list.header->ArrowUp());
    list.header->Click(1);  // another column: the toggle is shared, so up again
    EXPECT_EQ(list.header->ArrowColumn(), 1);
    EXPECT_TRUE(list.header->ArrowUp());
    list.header->Click(3);
    ASSERT_EQ(sorts.size(), 4);
    const std::vector<std::pair<int, bool>> expected{{0, true}, {0, false}, {1, true}, {3, false}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sorts[i][0].toInt(), expected[i].first) << i;
        EXPECT_EQ(sorts[i][1].toBool(), expected[i].second) << i;
    }

    // A new start puts the arrow back and the toggle to ascending.
    list.header->Reset(1, false);
    list.header->Click(0);
    EXPECT_TRUE(list.header->ArrowUp());
}

TEST(SessionHeaderCtrl, ColumnWithoutSortReportsTheClickAndLeavesArrowAndToggle) {
    HeaderedList list;
    list.header->SetSortableColumns({0, 1, 3});
    list.header->Reset(1, false);
    QSignalSpy clicks(list.header, &CSessionHeaderCtrl::ColumnClicked);
    QSignalSpy sorts(list.header, &CSessionHeaderCtrl::SortRequested);
    list.header->Click(2);
    EXPECT_EQ(clicks.size(), 1);
    EXPECT_EQ(sorts.size(), 0);
    EXPECT_EQ(list.header->ArrowColumn(), 1);
    EXPECT_FALSE(list.header->ArrowUp());
    EXPECT_TRUE(list.header->NextAscending());
    EXPECT_FALSE(list.header->IsSortable(-1));
}

TEST(SessionHeaderCtrl, MouseClickOnTheHeaderSortsWithoutSortingTheView) {
    HeaderedList list;
    list.model.appendRow({new QStandardItem("b"), new QStandardItem("1"), new QStandardItem(""),
                          new QStandardItem("")});
    list.model.appendRow({new QStandardItem("a"), new QStandardItem("2"), new QStandardItem(""),
                          new QStandardItem("")});
    list.header->Reset(1, false);
    list.view.show();
    QSignalSpy sorts(list.header, &CSessionHeaderCtrl::SortRequested);
    const QPoint at = SectionCentre(*list.header, 0);
    QWidget* target = list.header->viewport();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    ASSERT_EQ(sorts.size(), 1);
    EXPECT_EQ(sorts[0][0].toInt(), 0);
    EXPECT_TRUE(sorts[0][1].toBool());
    EXPECT_EQ(list.header->ArrowColumn(), 0);
    // The rows stay in the order they were given: the list's owner sorts.
    EXPECT_EQ(list.model.item(0, 0)->text(), "b");
    EXPECT_FALSE(list.header->isSortIndicatorShown());
}

// Dark pixels in one row band of a section's arrow area.
int DarkPixels(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 160) ++n;
        }
    }
    return n;
}

TEST(SessionHeaderCtrl, ArrowIsDrawnOnItsColumnOnlyAndPointsItsWay) {
    HeaderedList list;
    list.view.show();
    const auto render = [&](int column, bool up) {
        list.header->SetArrow(column, up);
        return list.header->grab().toImage();
    };
    const int h = list.header->height();
    const auto arrowArea = [&](int column, int top, int bottom) {
        const int right =
            list.header->sectionViewportPosition(column) + list.header->sectionSize(column) - 1;
        return QRect(QPoint(right - 14, top), QPoint(right - 2, bottom));
    };
    const QImage none = render(-1, false);
    const QImage down = render(1, false);
    const QImage up = render(1, true);
    EXPECT_EQ(DarkPixels(none, arrowArea(1, 0, h - 1)), 0);
    EXPECT_GT(DarkPixels(down, arrowArea(1, 0, h - 1)), 4);
    EXPECT_EQ(DarkPixels(down, arrowArea(0, 0, h - 1)), 0);
    // Down is widest at its top row, up at its bottom row.
    const auto widths = [&](const QImage& image) {
        std::vector<int> rows;
        for (int y = 0; y < h; ++y) {
            const int n = DarkPixels(image, arrowArea(1, y, y));
            if (n > 0) rows.push_back(n);
        }
        return rows;
    };
    const std::vector<int> downRows = widths(down);
    const std::vector<int> upRows = widths(up);
    ASSERT_GE(downRows.size(), 2u);
    ASSERT_GE(upRows.size(), 2u);
    EXPECT_GT(downRows.front(), downRows.back());
    EXPECT_GT(upRows.back(), upRows.front());
}

}  // namespace
