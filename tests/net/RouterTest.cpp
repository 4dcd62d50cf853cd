#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/Families.h"
#include "net/Protocol.h"
#include "net/Router.h"
#include "tests/net/RoutingTestSupport.h"

namespace {

using net::Primary;
using net::Router;
using routingtest::ClientFixture;
using routingtest::Receive;

class RouterTest : public ::testing::Test {
  protected:
    // Routes a message with the given descriptors (code 0, no fields).
    void Route(int32_t primary, int32_t secondary) {
        net::MessageWriter w(0);
        auto msg = w.Finish(primary, secondary);
        ASSERT_TRUE(msg);
        router.RouteMsg(connection(), Receive(connection(), *msg));
    }
    net::Connection& connection() { return fx.client->NetworkServer(); }
    // Registers a handler on every primary that records what reached it.
    void RecordAll() {
        for (int p = 0; p < Router::kPrimaryCount; ++p) {
            router.Register(
                static_cast<Primary>(p),
                [this, p](net::Connection&, const net::bufHeader& h, net::LogLine&) {
                    seen.push_back(std::to_string(p) + "/" + std::to_string(h.nDescSecondary));
                });
        }
    }
    std::string Log(Primary p) const { return router.FamilyLog(p).Text(); }

    ClientFixture fx;
    Router router;
    std::vector<std::string> seen;
};

TEST_F(RouterTest, UnusedAndOutOfRangePrimariesAreUnrecognised) {
    RecordAll();
    Route(7, 2);
    EXPECT_EQ(router.Log().Text(), "Msg.RouteMsg(0): Unrecognized primary message '7' received");
    Route(15, 2);
    EXPECT_EQ(router.Log().Text(), "Msg.RouteMsg(0): Unrecognized primary message '15' received");
    Route(1024, 0);
    EXPECT_EQ(router.Log().Text(), "Msg.RouteMsg(0): Unrecognized primary message '1024' received");
    EXPECT_TRUE(seen.empty());
    EXPECT_FALSE(router.Register(static_cast<Primary>(7), [](auto&, auto&, auto&) {}));
    EXPECT_FALSE(router.Register(static_cast<Primary>(15), [](auto&, auto&, auto&) {}));
}

TEST_F(RouterTest, FamiliesGetOnlyTheSecondariesTheyAccept) {
    RecordAll();
    for (int p = 0; p < Router::kPrimaryCount; ++p) {
        for (int s = 0; s <= 3; ++s) Route(p, s);
    }
    const std::vector<std::string> expected = {
        "0/0",                           // control: notifications
        "1/2",  "2/2",  "3/2",  "4/2",   // login, upload, download, document store
        "5/2",  "6/2",                   // account, network
        "9/2",  "10/2",                  // host, notepad (envelope: nothing)
        "11/0", "11/1", "11/2", "11/3",  // contacts, sessions, mailbox decide for themselves
        "12/0", "12/1", "12/2", "12/3", "13/2", "14/0", "14/1", "14/2", "14/3",
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(RouterTest, RejectedSecondariesWriteTheFamilysText) {
    RecordAll();
    Route(+Primary::Control, 2);
    EXPECT_EQ(Log(Primary::Control),
              "MsgControl.HandleMsg(0): Unknown secondary message '2' received from server");
    Route(+Primary::Login, 0);
    EXPECT_EQ(Log(Primary::Login),
              "MsgLogin.HandleMsg(0): Unknown secondary message '0' received from server");
    Route(+Primary::Network, 1);
    EXPECT_EQ(Log(Primary::Network),
              "MsgNetwork.HandleMsg(0): Unknown secondary message '1' received from server");
    Route(+Primary::Zorvic, 2);
    EXPECT_EQ(Log(Primary::Zorvic),
              "MsgZorvic.HandleMsg(0): Unknown secondary message '2' received from server");
    Route(+Primary::Host, 0);
    EXPECT_EQ(Log(Primary::Host),
              "MsgHost.HandleMsg(0): Unknown secondary message '0' received from server");
    Route(+Primary::Notepad, 3);
    EXPECT_EQ(Log(Primary::Notepad),
              "MsgNotepad.HandleMsg(0): Unknown secondary message '3' received from server");
    Route(+Primary::Poll, 0);
    EXPECT_EQ(Log(Primary::Poll),
              "MsgPoll.HandleMsg(0): Unknown secondary message '0' received from server");
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(router.Log().Text(), "");
}

TEST_F(RouterTest, TransferDocumentAndAccountFamiliesDropOthersSilently) {
    for (Primary p :
         {Primary::Upload, Primary::Download, Primary::DocumentStore, Primary::Account}) {
        Route(+p, 0);
        Route(+p, 1);
        EXPECT_EQ(Log(p), "");
    }
    EXPECT_EQ(router.Log().Text(), "");
}

TEST_F(RouterTest, UnregisteredSelfCheckingFamiliesStillLogTheirText) {
    Route(+Primary::Contact, 1);
    EXPECT_EQ(Log(Primary::Contact),
              "MsgContact.HandleMsg(0): Unknown secondary message '1' received from server");
    Route(+Primary::Session, 3);
    EXPECT_EQ(Log(Primary::Session),
              "MsgSession.HandleMsg(0): Unknown secondary message '3' received from server");
    Route(+Primary::Mailbox, 1);
    EXPECT_EQ(Log(Primary::Mailbox),
              "MsgMailbox.HandleMsg(0): Unknown secondary message '1' received from server");
    // Accepted but nobody to handle it yet: consumed without a trace.
    Route(+Primary::Mailbox, 0);
    EXPECT_EQ(Log(Primary::Mailbox),
              "MsgMailbox.HandleMsg(0): Unknown secondary message '1' received from server");
}

TEST_F(RouterTest, HandlersWriteIntoTheirOwnFamilysLine) {
    std::vector<std::string> sunk;
    router.SetLogSink([&](const std::string& text) { sunk.push_back(text); });
    router.Register(Primary::Poll, [](net::Connection&, const net::bufHeader&, net::LogLine& log) {
        log.Write("MsgPoll.HandleResponse(1): Unknown response '%i' received from server", 99);
    });
    Route(+Primary::Poll, 2);
    EXPECT_EQ(Log(Primary::Poll),
              "MsgPoll.HandleResponse(1): Unknown response '99' received from server");
    EXPECT_EQ(Log(Primary::Notepad), "");
    EXPECT_EQ(sunk.size(), 1u);
}

TEST(FamilyListTest, EachPrimaryOnceSevenUnusedAndOneNumberPerText) {
    std::vector<int32_t> primaries;
    for (const net::FamilyInfo& f : net::kFamilies) {
        primaries.push_back(+f.primary);
        EXPECT_EQ(net::FamilyOf(+f.primary), &f);
        if (f.unknownSecondaryText == nullptr) {
            // Only the silent families keep no text.
            EXPECT_EQ(f.accepts, net::Accepts::ResponseOnlySilent) << +f.primary;
            continue;
        }
        // The text is a format with exactly one number in it.
        const std::string text = f.unknownSecondaryText;
        EXPECT_EQ(text.find('%'), text.rfind('%')) << text;
        EXPECT_NE(text.find("'%i'"), std::string::npos) << text;
    }
    EXPECT_EQ(primaries, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(net::kPrimaryCount, 15);
    EXPECT_EQ(net::FamilyOf(7), nullptr);
    EXPECT_EQ(net::FamilyOf(-1), nullptr);
    EXPECT_EQ(net::FamilyOf(15), nullptr);
}

TEST(LogLineTest, KeepsLongTextsWholeAndOverwrites) {
    net::LogLine line;
    const std::string big(2000, 'z');
    line.Write("head %s tail", big.c_str());
    EXPECT_EQ(line.Text(), "head " + big + " tail");
    line.Write("short %i", 5);
    EXPECT_EQ(line.Text(), "short 5");
}

}  // namespace
