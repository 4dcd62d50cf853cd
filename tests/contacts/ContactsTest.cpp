#include <gtest/gtest.h>

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <cstring>

#include "contacts/ContactsModule.h"
#include "contacts/ListContacts.h"
#include "contacts/MsgContact.h"
#include "net/Protocol.h"
#include "ui/Skin.h"

namespace contacts {
namespace {

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

TEST(ContactRequests, StatusOnTheWire) {
    auto status = BuildStatusMessage(2);
    ASSERT_NE(status, nullptr);
    auto got = Receive(*status);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->header.nDescPrimary, +net::Primary::Contact);
    EXPECT_EQ(got->header.nDescSecondary, +net::Secondary::Message);
    EXPECT_EQ(got->header.nMsgLength, 44);
    net::MessageReader statusReader(got->buffer, got->header);
    EXPECT_EQ(statusReader.Code(), 5);
    int32_t value = 0;
    ASSERT_TRUE(statusReader.Int(1, 2, value));
    EXPECT_EQ(value, 2);

    // The status choice has two items: anything else goes out as online.
    got = Receive(*BuildStatusMessage(7));
    ASSERT_NE(got, nullptr);
    net::MessageReader other(got->buffer, got->header);
    EXPECT_EQ(other.Code(), 5);
    ASSERT_TRUE(other.Int(1, 2, value));
    EXPECT_EQ(value, 1);
}

TEST(ContactList, PicturesStylesAndTooltips) {
    const ContactRow mutedOnline{"bob", true, 1};
    EXPECT_EQ(ContactPicture(mutedOnline), 3);
    EXPECT_EQ(ContactTooltip(mutedOnline), "bob is online, currently ignored");
    EXPECT_EQ(ContactPicture({"al", false, 2}), 2);
    EXPECT_EQ(ContactTooltip({"al", false, 2}), "al is away");
    EXPECT_EQ(ContactTooltip({"al", false, 0}), "al is offline");
    EXPECT_EQ(ContactPicture({"x", false, 9}), 0);
    EXPECT_EQ(ContactTooltip({"x", false, 9}), "x is <unknown status>");

    ui::Skin skin(1.0);
    ContactsModule().RegisterPictures(skin);
    CListContacts list(skin);
    list.Model().SetRows({{"alice", false, 1}, {"carol", true, 1}});
    // The pane's heading is the column's, and the column fills the list.
    EXPECT_FALSE(list.isHeaderHidden());
    EXPECT_EQ(list.model()->headerData(0, Qt::Horizontal).toString(), "Contacts");
    list.resize(210, 246);
    list.show();
    EXPECT_EQ(list.columnWidth(0), list.viewport()->width());
    const QModelIndex online = list.model()->index(0, 0);
    const QModelIndex muted = list.model()->index(1, 0);
    EXPECT_TRUE(online.data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(online.data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
    EXPECT_FALSE(muted.data(Qt::FontRole).value<QFont>().bold());
    // Grey, dark enough to read on white.
    const QColor grey = muted.data(Qt::ForegroundRole).value<QColor>();
    EXPECT_EQ(grey.red(), grey.green());
    EXPECT_GE(ui::Skin::ContrastRatio(grey, Qt::white), 4.5);
    EXPECT_FALSE(online.data(Qt::DecorationRole).value<QPixmap>().isNull());
}

}  // namespace
}  // namespace contacts
