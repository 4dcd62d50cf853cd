// The instant-message relay: a checked request 3 reaches every network
// connection of its recipient with the sender's stored name, an unknown name
// answers response 1, an offline one response 2 with the name as sent, and
// anything outside the receiver's ranges goes nowhere.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "TestClient.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using net::Primary;
using net::Secondary;
namespace contact = net::contact;

struct Relayed {
    std::string sender;
    int32_t format[7] = {};
    int32_t kind = -1;
    std::string text;
};

struct Im {
    std::string recipient = "bob";
    int32_t format[7] = {2, 255, 0, 0, 1, 0, 0};
    int32_t kind = 1;
    std::string text = "hello";
};

class InstantMessageServiceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    std::unique_ptr<TestClient> LogIn(const std::string& user) {
        auto c = std::make_unique<TestClient>();
        EXPECT_TRUE(c->Login(server.NetworkPort(), "1234567", user, user + "pass")) << user;
        return c;
    }

    static void Send(TestClient& c, const Im& im) {
        net::MessageWriter w(contact::kInstantMessage);
        w.Str(im.recipient);
        for (int32_t v : im.format) w.Int(v);
        w.Int(im.kind).Str(im.text);
        ASSERT_TRUE(c.Send(w, Primary::Contact));
    }

    // The next message that is not a presence change.
    static std::optional<Received> Next(TestClient& c) {
        for (;;) {
            auto m = c.Receive();
            if (!m || !m->Is(Primary::Contact, Secondary::Notification, contact::kStatusChanged))
                return m;
        }
    }

    static std::optional<Relayed> NextMessage(TestClient& c) {
        auto m = Next(c);
        if (!m || !m->Is(Primary::Contact, Secondary::Notification, contact::kIncomingMessage))
            return std::nullopt;
        auto f = m->Reader();
        Relayed r;
        const int32_t max[7] = {99, 255, 255, 255, 1, 1, 1};
        if (!f.Str(1, 12, r.sender)) return std::nullopt;
        for (int i = 0; i < 7; ++i)
            if (!f.Int(0, max[i], r.format[i])) return std::nullopt;
        if (!f.Int(0, 2, r.kind) || !f.Str(1, 600, r.text)) return std::nullopt;
        EXPECT_TRUE(f.AtEnd());
        return r;
    }

    // True when nothing but presence arrived before the answer to a list
    // request sent now: the server handles a connection's messages in order.
    static bool NothingPending(TestClient& c) {
        net::MessageWriter w(contact::kListRequest);
        if (!c.Send(w, Primary::Contact)) return false;
        auto m = Next(c);
        return m && m->Is(Primary::Contact, Secondary::Response, contact::kContactList);
    }

    testsupport::LocalNetworkFixture server;
};

TEST_F(InstantMessageServiceTest, RelaysToEveryConnectionOfTheRecipientWithStoredSender) {
    auto alice = LogIn("alice");
    auto bob1 = LogIn("bob");
    auto bob2 = LogIn("bob");
    Im im;
    im.recipient = "BOB";  // names are found without regard to case
    im.text = "caf\xC3\xA9\r\nline two";
    Send(*alice, im);
    for (TestClient* bob : {bob1.get(), bob2.get()}) {
        auto r = NextMessage(*bob);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->sender, "alice");
        for (int i = 0; i < 7; ++i) EXPECT_EQ(r->format[i], im.format[i]) << i;
        EXPECT_EQ(r->kind, 1);
        EXPECT_EQ(r->text, im.text);
    }
    EXPECT_TRUE(NothingPending(*alice)) << "nothing is echoed to the sender";
}

TEST_F(InstantMessageServiceTest, UnknownAndOfflineRecipients) {
    auto alice = LogIn("alice");
    Im im;
    im.recipient = "nobody";
    Send(*alice, im);
    auto m = Next(*alice);
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->Is(Primary::Contact, Secondary::Response, contact::kUnknownUser));

    im.recipient = "CaRoL";
    Send(*alice, im);
    m = Next(*alice);
    ASSERT_TRUE(m);
    ASSERT_TRUE(m->Is(Primary::Contact, Secondary::Response, contact::kRecipientOffline));
    auto f = m->Reader();
    std::string name;
    ASSERT_TRUE(f.Str(1, 12, name));
    EXPECT_EQ(name, "CaRoL") << "the name exactly as sent";
}

TEST_F(InstantMessageServiceTest, FieldsAtBothEndsOfTheirRangesPass) {
    auto alice = LogIn("alice");
    auto bob = LogIn("bob");
    Im low;
    low.format[0] = 0;
    for (int i = 1; i < 7; ++i) low.format[i] = 0;
    low.kind = 0;
    low.text = "x";
    Im high;
    high.format[0] = 99;
    for (int i = 1; i < 4; ++i) high.format[i] = 255;
    for (int i = 4; i < 7; ++i) high.format[i] = 1;
    high.kind = 2;
    high.text = std::string(600, 'y');
    for (const Im* im : {&low, &high}) {
        Send(*alice, *im);
        auto r = NextMessage(*bob);
        ASSERT_TRUE(r);
        for (int i = 0; i < 7; ++i) EXPECT_EQ(r->format[i], im->format[i]) << i;
        EXPECT_EQ(r->kind, im->kind);
        EXPECT_EQ(r->text, im->text);
    }
    // A kind outside 0-2 goes on as 1.
    for (int32_t kind : {-1, 3, 77}) {
        Im odd;
        odd.kind = kind;
        Send(*alice, odd);
        auto r = NextMessage(*bob);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->kind, 1) << kind;
    }
}

TEST_F(InstantMessageServiceTest, FieldsOutOfRangeAreDropped) {
    auto alice = LogIn("alice");
    auto bob = LogIn("bob");
    std::vector<Im> bad;
    const auto with = [&](auto change) {
        Im im;
        change(im);
        bad.push_back(im);
    };
    with([](Im& im) { im.recipient = ""; });
    with([](Im& im) { im.recipient = "thirteenchars"; });
    with([](Im& im) { im.format[0] = -1; });
    with([](Im& im) { im.format[0] = 100; });
    for (int i = 1; i < 4; ++i) {
        with([i](Im& im) { im.format[i] = -1; });
        with([i](Im& im) { im.format[i] = 256; });
    }
    for (int i = 4; i < 7; ++i) {
        with([i](Im& im) { im.format[i] = -1; });
        with([i](Im& im) { im.format[i] = 2; });
    }
    with([](Im& im) { im.text = ""; });
    with([](Im& im) { im.text = std::string(601, 'z'); });
    for (const Im& im : bad) Send(*alice, im);
    EXPECT_TRUE(NothingPending(*alice)) << "no answer to a dropped message";
    EXPECT_TRUE(NothingPending(*bob)) << "nothing relayed";
}

TEST_F(InstantMessageServiceTest, NotLoggedInConnectionIsIgnored) {
    auto bob = LogIn("bob");
    TestClient anonymous;
    ASSERT_TRUE(anonymous.Connect(server.NetworkPort()));
    Send(anonymous, Im{});
    auto alice = LogIn("alice");
    Send(*alice, Im{.text = "after"});
    auto r = NextMessage(*bob);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->text, "after") << "the message of no account was never relayed";
}

}  // namespace
}  // namespace servertest
