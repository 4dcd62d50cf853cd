#include <gtest/gtest.h>

#include <QHeaderView>
#include <cstring>

#include "net/Protocol.h"
#include "sessions/ListSessionsZorvic.h"
#include "sessions/SessionPageLogic.h"
#include "sessions/SessionsModule.h"
#include "ui/Skin.h"

namespace sessions {
namespace {

TEST(SessionPageLogic, PageCountTextAndPagingButtons) {
    EXPECT_EQ(SessionPageCount(0, 20), 1);
    EXPECT_EQ(SessionPageCount(40, 20), 2);
    EXPECT_EQ(SessionPageCount(41, 20), 3);
    EXPECT_EQ(SessionPageCount(5, 0), 1);  // a nonsense page size must not divide by zero
    EXPECT_EQ(PageText(0, 1, 0), "Page 1 of 1; total sessions: 0");
    EXPECT_EQ(PageText(1, 3, 41), "Page 2 of 3; total sessions: 41");
    EXPECT_FALSE(CanGoToPreviousPage(0));
    EXPECT_FALSE(CanGoToNextPage(0, 1));
    EXPECT_TRUE(CanGoToPreviousPage(1));
    EXPECT_TRUE(CanGoToNextPage(1, 3));
    EXPECT_FALSE(CanGoToNextPage(2, 3));
}

TEST(SessionPageLogic, PageIsAskedForAgainOnlyOnceTheListIsLeftAlone) {
    EXPECT_FALSE(SessionPageRefreshDue(109, 100));
    EXPECT_TRUE(SessionPageRefreshDue(110, 100));
    EXPECT_TRUE(SessionPageRefreshDue(500, 100));
}

TEST(SessionPageLogic, HeaderColumnsSortByTheirKeys) {
    EXPECT_EQ(SortKeyOfColumn(CSessionsZorvicModel::kName), 0);
    EXPECT_EQ(SortKeyOfColumn(CSessionsZorvicModel::kCreated), 1);
    EXPECT_EQ(SortKeyOfColumn(CSessionsZorvicModel::kParticipants), 3);
    EXPECT_EQ(SortKeyOfColumn(CSessionsZorvicModel::kBy), 4);
    EXPECT_EQ(SortKeyOfColumn(9), -1);
}

// Reads a finished outgoing message back as a server would.
struct Received {
    net::MessageBuffer buffer;
    net::bufHeader header;
};
std::unique_ptr<Received> Receive(const net::MessageBuffer& sent) {
    auto r = std::make_unique<Received>();
    std::memcpy(r->buffer.data, sent.data, static_cast<size_t>(sent.remaining));
    r->buffer.done = sent.remaining;
    if (r->buffer.ParseHeader(r->header) != net::kParseComplete) return nullptr;
    return r;
}

TEST(SessionPageLogic, PageRequestOnTheWire) {
    int32_t value = 0;
    std::unique_ptr<Received> got;
    auto page = BuildSessionListRequest(kInitialSortCode, 2, kMainPageSize, kMainListSelector, 1);
    ASSERT_NE(page, nullptr);
    got = Receive(*page);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->header.nDescPrimary, +net::Primary::Session);
    EXPECT_EQ(got->header.nMsgLength, 60);  // always 60 bytes
    net::MessageReader pageReader(got->buffer, got->header);
    EXPECT_EQ(pageReader.Code(), 3);
    const int32_t expected[] = {3, 2, 20, 0, 1};
    for (int32_t want : expected) {
        ASSERT_TRUE(pageReader.Int(-1, -1, value));
        EXPECT_EQ(value, want);
    }
}

TEST(SessionList, ColumnsArrowAndOccupiedRows) {
    ui::Skin skin(1.0);
    SessionsModule().RegisterPictures(skin);
    CListSessionsZorvic list(skin);
    const int widths[] = {150, 82, 81, 75};
    const char* titles[] = {"Name", "Created", "By", "Participants"};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(list.columnWidth(c), widths[c]);
        EXPECT_EQ(list.model()->headerData(c, Qt::Horizontal).toString(), titles[c]);
    }
    EXPECT_EQ(list.SortArrowColumn(), CSessionsZorvicModel::kCreated);
    EXPECT_FALSE(list.SortArrowUp());
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);

    list.Model().SetRows({{"abc123", "Lobby", "1:00:00pm", "alice", 3, false},
                          {"xyz789", "Quiet", "3/7/2008", "bob", 0, true}});
    const QAbstractItemModel* m = list.model();
    EXPECT_EQ(m->index(0, 3).data().toString(), "3");
    EXPECT_EQ(m->index(0, 3).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    EXPECT_EQ(m->index(0, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(215, 229, 253));
    EXPECT_EQ(m->index(1, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::white));

    QStringList joins;
    QObject::connect(&list, &CListSessionsZorvic::JoinRequested,
                     [&](const QString& id) { joins << id; });
    emit list.doubleClicked(m->index(1, 2));
    EXPECT_EQ(joins, QStringList{"xyz789"});
}

}  // namespace
}  // namespace sessions
