// The message list's filter field in a program that is not connected: list
// files are served as download messages through the client's router.

#include <gtest/gtest.h>

#include <QTest>
#include <fstream>
#include <iterator>

#include "app/AppHarness.h"
#include "mailbox/ListMessage.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxModule.h"
#include "net/RoutingTestSupport.h"
#include "ui/FilterEdit.h"
#include "ui/FixedButton.h"

namespace mailbox {
namespace {

using net::Primary;
using net::Secondary;

constexpr char kFolders[] =
    "MAILBOX_ROOTDIR_INBOX\nPrimary 2 Primary\nMAILBOX_ROOTDIR_OUTBOX\nSent 0 Sent\n";
constexpr char kMessages[] =
    "12 999999 1 alice 1700000000 Hello\n13 4 1 Bob 1700000100 Figures\n"
    "14 999999 0 carol 1600000000 old news\n";

class MailboxFilter : public ::testing::Test {
  protected:
    void SetUp() override {
        h = std::make_unique<apptest::AppHarness>();
        w = h->state->FindModule<MailboxModule>()->Window();
        ASSERT_NE(w, nullptr);
        routingtest::Drain(h->state->Client().FileServer());
    }
    void Serve(int32_t slot, const std::string& bytes) {
        net::Client& client = h->state->Client();
        net::MessageWriter m(net::download::kStart);
        m.Int(slot).Int(static_cast<int32_t>(bytes.size())).Raw(bytes.data(),
                                                                 static_cast<int>(bytes.size()));
        const net::bufHeader header = routingtest::Receive(client.FileServer(), m,
                                                           Primary::Download, +Secondary::Response);
        client.router().RouteMsg(client.FileServer(), header);
    }
    void Refresh() {
        w->OpenMailbox();
        Serve(15, kFolders);
        Serve(16, kMessages);
    }
    QStringList Shown() {
        QStringList out;
        for (int r = 0; r < w->List()->model()->rowCount(); ++r) {
            if (!w->List()->isRowHidden(r, {})) {
                out << w->List()->model()->index(r, 0).data().toString();
            }
        }
        return out;
    }
    std::string OperationFile() {
        std::ifstream in(h->DataFile("files/local/account/listmessage/listmessage"),
                         std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::unique_ptr<apptest::AppHarness> h;
    CMailboxDlg* w = nullptr;
};

TEST_F(MailboxFilter, NarrowsAsTypedAndSelectAllActsOnTheShownRowsOnly) {
    Refresh();
    ASSERT_EQ(Shown().size(), 3);
    routingtest::Drain(h->state->Client().FileServer());
    // The subject counts as much as the sender; nothing is asked of the server.
    w->Filter()->setText("FIG");
    EXPECT_EQ(Shown(), QStringList{"Bob"});
    EXPECT_TRUE(routingtest::Drain(h->state->Client().FileServer()).empty());

    // Ctrl+A then Mark Read: only the message the user sees is marked.
    QTest::keyClick(w->List(), Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(w->List()->SelectedRows().size(), 1u);
    ASSERT_TRUE(w->Button("MARKREAD")->isEnabled());
    w->Button("MARKREAD")->click();
    EXPECT_EQ(OperationFile(), "1\n0\nPrimary\n000013 000004 1 Bob\n");

    // A refresh of the folder keeps the filter; narrowing away the selected
    // row turns the buttons that act on it off.
    Refresh();
    EXPECT_EQ(Shown(), QStringList{"Bob"});
    QTest::keyClick(w->List(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(w->Button("DELETEMESSAGE")->isEnabled());
    w->Filter()->setText("carol");
    EXPECT_EQ(Shown(), QStringList{"carol"});
    EXPECT_TRUE(w->List()->SelectedRows().empty());
    EXPECT_FALSE(w->Button("DELETEMESSAGE")->isEnabled());

    w->Filter()->clear();
    EXPECT_EQ(Shown().size(), 3);
}

}  // namespace
}  // namespace mailbox
