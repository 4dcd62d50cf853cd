#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/MsgControl.h"
#include "net/MsgHost.h"
#include "net/MsgLogin.h"
#include "net/MsgNetwork.h"
#include "net/MsgZorvic.h"
#include "net/Protocol.h"
#include "tests/net/RoutingTestSupport.h"

namespace {

using net::MessageIcon;
using net::MessageWriter;
using net::Primary;
using net::MessagePhase;
using routingtest::ClientFixture;
using routingtest::Decode;
using routingtest::Drain;
using routingtest::MessageEvent;

constexpr int32_t kNotification = +net::Secondary::Notification;
constexpr int32_t kResponse = +net::Secondary::Response;

class FamiliesTest : public ::testing::Test {
  protected:
    net::Client& client() { return *fx.client; }
    net::Connection& directory() { return client().Directory(); }
    net::Connection& networkServer() { return client().NetworkServer(); }
    net::Connection& fileServer() { return client().FileServer(); }
    std::string Log(Primary p) { return client().router().FamilyLog(p).Text(); }
    std::vector<std::string> Events() { return fx.listener.Events(); }

    void Notify(net::Connection& c, MessageWriter& w) {
        fx.Deliver(c, w, Primary::Control, kNotification);
    }
    void Notify(net::Connection& c, MessageWriter&& w) { Notify(c, w); }
    void LoginOK(net::Connection& c, MessageWriter& w) {
        fx.Deliver(c, w, Primary::Login, kResponse);
    }
    void LoginOK(net::Connection& c, MessageWriter&& w) { LoginOK(c, w); }

    ClientFixture fx;
};

// --- Disconnect notification ---

TEST_F(FamiliesTest, DisconnectNotificationMarksTheLoginsEnd) {
    Notify(networkServer(), MessageWriter(0).Int(1).Int(1).Int(0).Str("old"));
    EXPECT_TRUE(client().UpdateRequired());
    EXPECT_FALSE(client().ServerRefused());
    Notify(networkServer(), MessageWriter(0).Int(1).Int(1).Int(6).Str("bad password"));
    EXPECT_TRUE(client().ServerRefused());
    Notify(networkServer(), MessageWriter(0).Int(1).Int(1).Int(7).Str("banned"));
    EXPECT_TRUE(client().ServerRefused());
    EXPECT_TRUE(Events().empty());
}

TEST_F(FamiliesTest, QuietDisconnectCodesShowAndSetNothing) {
    Notify(networkServer(), MessageWriter(0).Int(1).Int(1).Int(3).Str("x"));
    Notify(networkServer(), MessageWriter(0).Int(1).Int(1).Int(2).Str("x"));
    EXPECT_FALSE(client().UpdateRequired());
    EXPECT_FALSE(client().ServerRefused());
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(Log(Primary::Control), "");
}

TEST_F(FamiliesTest, UnexpectedDisconnectCodeShowsAllFourValues) {
    const std::string text =
        "Received disconnect notification from the server\r\nnDescPrimary = 1 nDescSecondary = 1 "
        "nResponseCode = 5 szResponse = Server shutting down";
    Notify(networkServer(), MessageWriter(0).Int(1).Int(1).Int(5).Str("Server shutting down"));
    EXPECT_EQ(Log(Primary::Control), text);
    EXPECT_EQ(Events(),
              std::vector<std::string>{MessageEvent(MessagePhase::Any, "", text, MessageIcon::None)});
}

TEST_F(FamiliesTest, DisconnectResponseTextOutsideItsRangeIsEmpty) {
    const std::string head =
        "Received disconnect notification from the server\r\nnDescPrimary = 5 nDescSecondary = 1 "
        "nResponseCode = 9 szResponse = ";
    Notify(networkServer(), MessageWriter(0).Int(5).Int(1).Int(9).Str(""));
    EXPECT_EQ(Log(Primary::Control), head);
    Notify(networkServer(), MessageWriter(0).Int(5).Int(1).Int(9).Str(std::string(513, 'a')));
    EXPECT_EQ(Log(Primary::Control), head);
    // The longest text is kept whole in the line.
    Notify(networkServer(), MessageWriter(0).Int(5).Int(1).Int(9).Str(std::string(512, 'a')));
    EXPECT_EQ(Log(Primary::Control), head + std::string(512, 'a'));
    // A text whose count runs past the message end.
    Notify(networkServer(), MessageWriter(0).Int(5).Int(1).Int(9).Int(20).Raw("abc", 3));
    EXPECT_EQ(Log(Primary::Control), head);
}

TEST_F(FamiliesTest, TruncatedDisconnectNotificationStopsAtTheMissingField) {
    Notify(networkServer(), MessageWriter(0));
    EXPECT_EQ(Log(Primary::Control),
              "MsgControl.HandleNotificationDisconnect(0): Unable to decode original primary "
              "descriptor from server");
    Notify(networkServer(), MessageWriter(0).Int(1));
    EXPECT_EQ(Log(Primary::Control),
              "MsgControl.HandleNotificationDisconnect(1): Unable to decode original secondary "
              "descriptor from server");
    Notify(networkServer(), MessageWriter(0).Int(1).Int(1));
    EXPECT_EQ(Log(Primary::Control),
              "MsgControl.HandleNotificationDisconnect(2): Unable to decode response code from "
              "server");
    Notify(networkServer(), MessageWriter(4));
    EXPECT_EQ(Log(Primary::Control),
              "MsgControl.HandleNotification(1): Unknown notification '4' received from server");
    EXPECT_TRUE(Events().empty());
    EXPECT_FALSE(client().UpdateRequired());
}

TEST_F(FamiliesTest, FieldsAreNeverReadFromAnEarlierLongerMessage) {
    // A long message leaves its bytes in the receive buffer...
    Notify(networkServer(), MessageWriter(0).Int(1).Int(1).Int(5).Str(std::string(300, 'q')));
    // ...and a short one must not pick them up as its own fields.
    Notify(networkServer(), MessageWriter(0).Int(1).Int(1));
    EXPECT_EQ(Log(Primary::Control),
              "MsgControl.HandleNotificationDisconnect(2): Unable to decode response code from "
              "server");
    // The notification's first two integers sit where login rights would.
    LoginOK(networkServer(), MessageWriter(net::login::kLoginOK));
    EXPECT_EQ(client().Rank(), 2);
}

// --- Host lookup ---

TEST_F(FamiliesTest, LookupAnsweredStoresTheNetworkAndOpensLogin) {
    client().SetNumber("1234567");
    fx.Deliver(directory(), MessageWriter(net::host::kLookupOK).Str("3").Str("zorvic.example"),
               Primary::Host, kResponse);
    EXPECT_EQ(Log(Primary::Host), "Host lookup returned '3' 'zorvic.example'");
    EXPECT_EQ(client().Host(), "zorvic.example");
    EXPECT_EQ(client().NetworkFlags(), 3);
    EXPECT_TRUE(client().RequiresCreationCode());
    EXPECT_EQ(directory().State(), net::kStateLookupAnswered);
    EXPECT_EQ(Events(), std::vector<std::string>{"lookup answered 1234567"});
}

TEST_F(FamiliesTest, LookupRefusedWarnsOverNetworkSelection) {
    fx.Deliver(directory(), MessageWriter(net::host::kLookupRefused), Primary::Host, kResponse);
    EXPECT_EQ(Log(Primary::Host), "MsgHost.HandleResponseErrorLookup(0): Unknown zorvic number");
    EXPECT_EQ(directory().State(), net::kStateLookupRefused);
    EXPECT_EQ(Events(),
              (std::vector<std::string>{MessageEvent(MessagePhase::Lookup, "Error",
                                                     "Unknown zorvic number", MessageIcon::Warning),
                                        "lookup refused"}));
}

TEST_F(FamiliesTest, BadLookupAnswersChangeNothing) {
    const int32_t before = directory().State();
    fx.Deliver(directory(), MessageWriter(net::host::kLookupOK).Str("1234").Str("h"), Primary::Host,
               kResponse);
    EXPECT_EQ(Log(Primary::Host),
              "MsgHost.HandleResponseOKLookup(0): Unable to decode network parameters");
    fx.Deliver(directory(), MessageWriter(net::host::kLookupOK).Str("2").Str(std::string(256, 'h')),
               Primary::Host, kResponse);
    EXPECT_EQ(Log(Primary::Host),
              "MsgHost.HandleResponseOKLookup(1): Unable to decode host address");
    fx.Deliver(directory(), MessageWriter(6), Primary::Host, kResponse);
    EXPECT_EQ(Log(Primary::Host),
              "MsgHost.HandleResponse(1): Unknown response '6' received from server");
    EXPECT_EQ(directory().State(), before);
    EXPECT_EQ(client().Host(), "");
    EXPECT_TRUE(Events().empty());
}

TEST_F(FamiliesTest, LookupRequestCarriesTheNumber) {
    ASSERT_TRUE(net::SendHostLookup(directory(), "7654321"));
    auto sent = Drain(directory());
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].header.nDescPrimary, +Primary::Host);
    EXPECT_EQ(sent[0].header.nDescSecondary, +net::Secondary::Message);
    auto r = sent[0].Reader();
    std::string number;
    EXPECT_EQ(r.Code(), net::host::kLookup);
    EXPECT_TRUE(r.Str(-1, -1, number));
    EXPECT_EQ(number, "7654321");
    EXPECT_TRUE(r.AtEnd());
}

// --- Login ---

TEST_F(FamiliesTest, LoginRequestFieldsInOrder) {
    auto msg = net::BuildLogin({"1234567", "ann", "pw-1", "guid-text"});
    ASSERT_TRUE(msg);
    auto sent = Decode(*msg);
    EXPECT_EQ(sent.header.nDescPrimary, +Primary::Login);
    auto r = sent.Reader();
    int32_t a = -9, b = -9;
    std::string number, user, pass, id;
    EXPECT_EQ(r.Code(), net::login::kLogin);
    ASSERT_TRUE(r.Int(-1, -1, a) && r.Str(-1, -1, number) && r.Int(-1, -1, b) &&
                r.Str(-1, -1, user) && r.Str(-1, -1, pass) && r.Str(-1, -1, id));
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(number + "|" + user + "|" + pass + "|" + id, "1234567|ann|pw-1|guid-text");
    EXPECT_TRUE(r.AtEnd());
}

TEST_F(FamiliesTest, LoginCompletesOnTheSecondResponseWhicheverComesFirst) {
    // The file server answers first, with flags that must be ignored.
    LoginOK(fileServer(), MessageWriter(net::login::kLoginOK).Int(1).Int(1));
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(client().Rank(), 2);
    EXPECT_EQ(client().LoginResponses(), 1);

    LoginOK(networkServer(), MessageWriter(net::login::kLoginOK).Int(1).Int(0));
    EXPECT_EQ(Events(), std::vector<std::string>{"login completed"});
    EXPECT_EQ(client().LoginResponses(), 0);
    EXPECT_EQ(networkServer().State(), net::kStateLoggedIn);
    EXPECT_EQ(fileServer().State(), net::kStateLoggedIn);
    EXPECT_EQ(client().Rank(), 1);
    EXPECT_TRUE(client().Administrator());
    EXPECT_FALSE(client().Root());

    // The protocol core adds no opening request of its own.
    EXPECT_TRUE(Drain(networkServer()).empty());
    EXPECT_TRUE(Drain(fileServer()).empty());
}

TEST_F(FamiliesTest, OpeningRequestsGoInTheOrderTheyWereAdded) {
    client().AddOpeningRequest(
        [](net::Client& c) { return c.NetworkServer().Send(MessageWriter(7), Primary::Contact); });
    client().AddOpeningRequest(nullptr);  // ignored
    client().AddOpeningRequest(
        [](net::Client& c) { return c.FileServer().Send(MessageWriter(3), Primary::Mailbox); });
    client().AddOpeningRequest(
        [](net::Client& c) { return c.NetworkServer().Send(MessageWriter(8), Primary::Session); });
    LoginOK(networkServer(), MessageWriter(net::login::kLoginOK).Int(0).Int(0));
    LoginOK(fileServer(), MessageWriter(net::login::kLoginOK));
    auto onNetwork = Drain(networkServer());
    ASSERT_EQ(onNetwork.size(), 2u);
    EXPECT_EQ(onNetwork[0].header.nDescPrimary, +Primary::Contact);
    EXPECT_EQ(onNetwork[1].header.nDescPrimary, +Primary::Session);
    EXPECT_EQ(Drain(fileServer()).size(), 1u);
}

TEST(ConnectionSendTest, QueuesWhatFitsAndRefusesWhatDoesNot) {
    routingtest::ClientFixture fx;
    net::Connection& c = fx.client->NetworkServer();
    EXPECT_TRUE(c.Send(MessageWriter(net::contact::kSetStatus).Int(2), Primary::Contact));
    MessageWriter tooLong(0);
    tooLong.Str(std::string(net::kMaxMessageLength, 'x'));
    EXPECT_FALSE(c.Send(tooLong, Primary::Session));
    EXPECT_FALSE(c.Send(std::unique_ptr<net::MessageBuffer>()));
    auto sent = Drain(c);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].header.nDescPrimary, +Primary::Contact);
    EXPECT_EQ(sent[0].header.nDescSecondary, +net::Secondary::Message);
    EXPECT_EQ(sent[0].Reader().Code(), net::contact::kSetStatus);
}

TEST_F(FamiliesTest, LoginMessagesThatDoNotCount) {
    fx.Deliver(networkServer(), MessageWriter(net::login::kLoginOK), Primary::Login, kNotification);
    EXPECT_EQ(Log(Primary::Login),
              "MsgLogin.HandleMsg(0): Unknown secondary message '0' received from server");
    LoginOK(networkServer(), MessageWriter(3));
    EXPECT_EQ(Log(Primary::Login),
              "MsgLogin.HandleResponse(1): Unknown response '3' received from server");
    EXPECT_EQ(client().LoginResponses(), 0);
    // Rights out of range are not applied; the response still counts.
    LoginOK(networkServer(), MessageWriter(net::login::kLoginOK).Int(2).Int(1));
    EXPECT_EQ(client().LoginResponses(), 1);
    EXPECT_EQ(client().Rank(), 2);
}

// --- Network information ---

MessageWriter InformationHead(const std::string& path = "/") {
    MessageWriter w(net::network::kInformationResponse);
    w.Str("Demo Net").Int(120).Int(7).Str("2024-05-01 10:00").Str(path);
    return w;
}

TEST_F(FamiliesTest, NetworkInformationWithEntriesUntilTheFirstBadOne) {
    MessageWriter w = InformationHead("/logs");
    w.Int(1).Int(0).Int(0).Str("2024").Str("May 1");
    w.Int(2).Int(2048).Int(1).Str("today.log").Str("May 2");
    w.Int(3).Int(5).Int(0).Str("bad kind").Str("x");  // ends the list
    w.Int(2).Int(1).Int(0).Str("after").Str("x");
    fx.Deliver(networkServer(), w, Primary::Network, kResponse);

    ASSERT_EQ(Events(), std::vector<std::string>{"network information"});
    const auto info = fx.listener.LastInformation();
    EXPECT_EQ(info.name, "Demo Net");
    EXPECT_EQ(net::FormatAccounts(info.accountCount, info.onlineCount), "120; 7 currently online");
    EXPECT_EQ(info.serverTime, "2024-05-01 10:00");
    EXPECT_EQ(info.path, "/logs");
    ASSERT_EQ(info.entries.size(), 2u);
    EXPECT_EQ(info.entries[1].name, "today.log");
    EXPECT_EQ(info.entries[1].kind, 2);
    EXPECT_EQ(info.entries[1].flag, 1);
    EXPECT_EQ(net::FormatEntrySize(info.entries[1].size), "2.00 KB");
}

TEST_F(FamiliesTest, NetworkInformationFailingBeforeItsEntriesChangesNothing) {
    MessageWriter w(net::network::kInformationResponse);
    w.Str("Demo").Int(50001);
    fx.Deliver(networkServer(), w, Primary::Network, kResponse);
    EXPECT_EQ(Log(Primary::Network),
              "MsgNetwork.HandleResponseNetworkInformation(1): Unable to decode account count");
    fx.Deliver(networkServer(), MessageWriter(net::network::kIgnoredResponse), Primary::Network,
               kResponse);
    fx.Deliver(networkServer(), MessageWriter(18), Primary::Network, kResponse);
    EXPECT_EQ(Log(Primary::Network),
              "MsgNetwork.HandleResponse(1): Unknown response '18' received from server");
    EXPECT_TRUE(Events().empty());
}

TEST(NetworkFormatTest, SizeThresholds) {
    EXPECT_EQ(net::FormatEntrySize(0), "0");
    EXPECT_EQ(net::FormatEntrySize(1023), "1023");
    EXPECT_EQ(net::FormatEntrySize(1024), "1.00 KB");
    EXPECT_EQ(net::FormatEntrySize(1048575), "1024.00 KB");
    EXPECT_EQ(net::FormatEntrySize(1048576), "1.00 MB");
    EXPECT_EQ(net::FormatEntrySize(3 * 1048576 + 524288), "3.50 MB");
}

TEST_F(FamiliesTest, NetworkInformationRequestFields) {
    ASSERT_TRUE(net::SendNetworkInformationRequest(networkServer(), "1234567", "/logs/2024"));
    auto sent = Drain(networkServer());
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].header.nDescPrimary, +Primary::Network);
    auto r = sent[0].Reader();
    int32_t first = 0;
    std::string number, path;
    EXPECT_EQ(r.Code(), net::network::kInformation);
    ASSERT_TRUE(r.Int(-1, -1, first) && r.Str(-1, -1, number) && r.Str(-1, -1, path));
    EXPECT_EQ(first, -1);
    EXPECT_EQ(number + " " + path, "1234567 /logs/2024");
}

// --- Envelope ---

TEST(EnvelopeTest, WrapsTheInnerPayloadAfterSixIntegers) {
    MessageWriter w(5);
    std::string filler(56, '\0');
    for (size_t i = 0; i < filler.size(); ++i) filler[i] = static_cast<char>(i * 7 + 1);
    w.Raw(filler.data(), static_cast<int>(filler.size()));
    ASSERT_EQ(w.length(), 96);
    w.Int(0x01020304);
    auto inner = w.Finish(Primary::Account);
    ASSERT_TRUE(inner);
    const auto plainInner = Decode(*inner);
    ASSERT_EQ(plainInner.header.nMsgLength, 100);

    auto env = net::Envelope(std::move(inner), +Primary::Account, +net::Secondary::Message);
    ASSERT_TRUE(env);
    const auto out = Decode(*env);
    EXPECT_EQ(out.header.nDescPrimary, +Primary::Zorvic);
    EXPECT_EQ(out.header.nDescSecondary, +net::Secondary::Message);
    EXPECT_EQ(out.header.nMsgLength, 124);
    auto r = out.Reader();
    EXPECT_EQ(r.Code(), net::zorvic::kEnvelope);
    int32_t v[5];
    for (auto& x : v) ASSERT_TRUE(r.Int(-1, -1, x));
    EXPECT_EQ(std::vector<int32_t>(v, v + 5), (std::vector<int32_t>{0, 0, 0, 5, 1}));
    EXPECT_EQ(0, std::memcmp(out.buffer->data + 60, plainInner.buffer->data + 36, 64));
}

TEST(EnvelopeTest, RefusesWhatWouldNotFit) {
    MessageWriter w(0);
    const std::string big(net::kMaxMessageLength - 40 - 24 + 1, 'x');
    w.Raw(big.data(), static_cast<int>(big.size()));
    auto inner = w.Finish(Primary::Account);
    ASSERT_TRUE(inner);
    EXPECT_EQ(net::Envelope(std::move(inner), 5, 1), nullptr);
    EXPECT_EQ(net::Envelope(nullptr, 5, 1), nullptr);
}

TEST(EnvelopeTest, AccountCreationTravelsInside) {
    net::AccountCreationRecord rec{"1234567", "Ann Example", "ann", "secret", "none"};
    auto msg = net::BuildAccountCreation(rec, "guid");
    ASSERT_TRUE(msg);
    auto out = Decode(*msg);
    EXPECT_EQ(out.header.nDescPrimary, +Primary::Zorvic);
    auto r = out.Reader();
    int32_t v[5];
    for (auto& x : v) ASSERT_TRUE(r.Int(-1, -1, x));
    EXPECT_EQ(v[3], +Primary::Account);
    EXPECT_EQ(v[4], +net::Secondary::Message);
    int32_t code = -1;
    ASSERT_TRUE(r.Int(-1, -1, code));
    EXPECT_EQ(code, net::account::kCreate);
    std::string s, all;
    while (r.Str(-1, -1, s)) all += s + "|";
    EXPECT_EQ(all, "1234567|Ann Example|ann|secret|guid|none|");
}

}  // namespace
