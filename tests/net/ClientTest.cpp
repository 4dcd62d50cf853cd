#include <gtest/gtest.h>

#include <string>

#include "net/Client.h"
#include "net/Protocol.h"
#include "support/Wait.h"
#include "tests/net/FakeServer.h"
#include "tests/net/RoutingTestSupport.h"

namespace {

using net::MessageIcon;
using net::MessageWriter;
using net::Primary;
using net::MessagePhase;
using nettest::FakeServer;
using nettest::Received;
using routingtest::ClientFixture;
using routingtest::MessageEvent;
using testsupport::WaitUntil;

const std::string kDropped = MessageEvent(MessagePhase::Session, "Connection Dropped",
                                          "No longer connected to 1234567", MessageIcon::Error);
const std::string kVnsFailed = MessageEvent(MessagePhase::Lookup, "Error",
                                            "Failed to connect to VNS server", MessageIcon::Error);

// --- The disconnect table, driven directly ---

class DisconnectTableEffects : public ::testing::Test {
  protected:
    net::Client& client() { return *fx.client; }
    void End(net::Connection& c, int32_t state, bool creation = false) {
        client().Disconnected(c, state, creation);
    }
    std::vector<std::string> Events() { return fx.listener.Events(); }
    ClientFixture fx;
};

TEST_F(DisconnectTableEffects, DirectoryShowsOnlyAFailureToConnect) {
    End(client().Directory(), net::kStateLookupAnswered);
    End(client().Directory(), net::kStateLookupRefused);
    EXPECT_TRUE(Events().empty());
    End(client().Directory(), net::kStateConnecting);
    EXPECT_EQ(Events(), std::vector<std::string>{kVnsFailed});
}

TEST_F(DisconnectTableEffects, LoginEndedAsTheServerMarkedIt) {
    client().SetServerRefused();
    client().SetUpdateRequired();
    End(client().NetworkServer(), net::kStateConnected);
    EXPECT_EQ(Events(), std::vector<std::string>{"login ended 0"});
    EXPECT_FALSE(client().ServerRefused());
    EXPECT_EQ(client().NetworkServer().State(), net::kStateStopped);
    EXPECT_EQ(client().FileServer().State(), net::kStateStopped);
    // The other connection ending the same way does not show the end again.
    End(client().FileServer(), net::kStateConnected);
    EXPECT_EQ(Events().size(), 1u);
}

TEST_F(DisconnectTableEffects, UpdateRequiredAndPlainFailure) {
    ClientFixture other;
    client().SetUpdateRequired();
    End(client().FileServer(), net::kStateConnected);
    EXPECT_EQ(Events(), std::vector<std::string>{"login ended 2"});
    EXPECT_FALSE(client().UpdateRequired());
    other.client->Disconnected(other.client->NetworkServer(), net::kStateConnected, false);
    EXPECT_EQ(other.listener.Events(), std::vector<std::string>{"login ended 1"});
}

TEST_F(DisconnectTableEffects, CreationRowsApplyToTheNetworkServerOnly) {
    ClientFixture other, third;
    End(client().NetworkServer(), net::kStateConnecting, true);
    EXPECT_EQ(Events(), std::vector<std::string>{"creation could not connect"});
    other.client->Disconnected(other.client->FileServer(), net::kStateConnecting, true);
    EXPECT_EQ(other.listener.Events(), std::vector<std::string>{"login could not connect"});
    third.client->Disconnected(third.client->NetworkServer(), net::kStateCancelled, true);
    EXPECT_EQ(third.listener.Events(), std::vector<std::string>{"creation cancelled"});
}

TEST_F(DisconnectTableEffects, CancelReturnsToLoginWithoutADropMessage) {
    End(client().NetworkServer(), net::kStateCancelled);
    End(client().FileServer(), net::kStateCancelled);
    EXPECT_EQ(Events(), std::vector<std::string>{"login cancelled"});
    End(client().FileServer(), net::kStateStopped);
    EXPECT_EQ(Events().size(), 1u);
}

TEST_F(DisconnectTableEffects, ADropIsShownOncePerLogin) {
    client().SetNumber("1234567");
    End(client().NetworkServer(), net::kStateLoggedIn);
    End(client().FileServer(), net::kStateLoggedIn);
    EXPECT_EQ(Events(), (std::vector<std::string>{kDropped, "dropped"}));
    EXPECT_EQ(client().Drops(), 2);
    client().BeginLogin();
    EXPECT_EQ(client().Drops(), 0);
    End(client().FileServer(), net::kStateLoggedIn);
    EXPECT_EQ(fx.listener.Count(kDropped), 2u);
}

TEST(ClientSetupTest, SettlesDataDirectoryIdentityAndLoginFields) {
    ClientFixture fx;
    net::Client& c = *fx.client;
    EXPECT_EQ(c.DataDirectory(), fx.tmp.path() + "/.local/share/Palindor");
    EXPECT_EQ(c.DataPath("m.dat"), fx.tmp.path() + "/.local/share/Palindor/m.dat");
    EXPECT_EQ(c.Identity().size(), 36u);
    EXPECT_EQ(c.Rank(), 2);
    c.SetRights(1, 1);
    EXPECT_EQ(c.Rank(), 0);
    // The login fields hold 31 and 39 bytes; a character is never split.
    std::string euro;
    for (int i = 0; i < 11; ++i) euro += "\xE2\x82\xAC";  // 33 bytes
    c.SetLogin(euro, std::string(50, 'p'));
    EXPECT_EQ(c.Username().size(), 30u);
    EXPECT_EQ(c.Password().size(), 39u);
    // Two clients live side by side.
    ClientFixture second;
    EXPECT_NE(second.client->Identity(), c.Identity());
}

// --- Against scripted servers ---

std::string StrField(net::MessageReader& r) {
    std::string s;
    EXPECT_TRUE(r.Str(-1, -1, s));
    return s;
}

class ClientOverSockets : public ::testing::Test {
  protected:
    void SetUp() override {
        net::Endpoints e;
        e.directoryHost = "127.0.0.1";
        e.directoryPort = directory.Port();
        e.networkPort = networkServer.Port();
        e.filePort = fileServer.Port();
        fx = std::make_unique<ClientFixture>(e);
        client().SetNumber("1234567");
        client().SetNetwork("127.0.0.1", 0);
        client().SetLogin("ann", "pw");
    }
    void TearDown() override { client().Shutdown(); }
    net::Client& client() { return *fx->client; }
    ::testing::AssertionResult Saw(const std::string& event, size_t times = 1) {
        if (WaitUntil([&] { return fx->listener.Count(event) >= times; })) {
            return ::testing::AssertionSuccess();
        }
        auto failure = ::testing::AssertionFailure() << "waited for '" << event << "'; saw:";
        for (const auto& e : fx->listener.Events()) failure << " '" << e << "'";
        return failure;
    }
    // Runs on the "user-interface thread": serialised with the routing.
    template <typename F>
    void OnUi(F f) {
        fx->ui.Dispatch(f);
    }
    void StartLogin() {
        OnUi([&] {
            client().BeginLogin();
            client().StartLoginConnections();
        });
        ASSERT_TRUE(networkServer.Accept());
        ASSERT_TRUE(fileServer.Accept());
    }
    void Send(FakeServer& s, Primary p, int32_t secondary, MessageWriter& w) {
        auto msg = w.Finish(+p, secondary);
        ASSERT_TRUE(msg);
        ASSERT_TRUE(s.Send(*msg));
    }
    void Send(FakeServer& s, Primary p, int32_t secondary, MessageWriter&& w) {
        Send(s, p, secondary, w);
    }

    FakeServer directory, networkServer, fileServer;
    std::unique_ptr<ClientFixture> fx;
};

TEST_F(ClientOverSockets, LookupAnsweredThenClosedShowsNothingMore) {
    OnUi([&] { client().StartLookup("7654321"); });
    ASSERT_TRUE(directory.Accept());
    Received req;
    ASSERT_TRUE(directory.ReadPrimary(Primary::Host, req));
    auto r = req.Reader();
    EXPECT_EQ(r.Code(), net::host::kLookup);
    EXPECT_EQ(StrField(r), "7654321");

    Send(directory, Primary::Host, 2,
         MessageWriter(net::host::kLookupOK).Str("2").Str("127.0.0.1"));
    ASSERT_TRUE(Saw("lookup answered 7654321"));
    directory.CloseClient();
    ASSERT_TRUE(WaitUntil([&] { return client().Directory().State() == net::kStateIdle; }));
    EXPECT_EQ(fx->listener.Events(), std::vector<std::string>{"lookup answered 7654321"});
    OnUi([&] { EXPECT_TRUE(client().RequiresCreationCode()); });
}

TEST(ClientLookupTest, UnreachableDirectoryIsReportedOnce) {
    net::Endpoints e;
    e.directoryHost = "127.0.0.1";
    e.directoryPort = nettest::ClosedPort();
    ClientFixture fx(e);
    fx.client->StartLookup("1234567");
    ASSERT_TRUE(WaitUntil([&] { return fx.listener.Count(kVnsFailed) == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return fx.client->Directory().State() == net::kStateIdle; }));
    fx.client->Shutdown();
    EXPECT_EQ(fx.listener.Events(), std::vector<std::string>{kVnsFailed});
}

TEST_F(ClientOverSockets, LoginOpensTheMainWindowAndADropReturnsOnce) {
    // Opening requests as the application adds them (contacts, then mail).
    OnUi([&] {
        client().AddOpeningRequest([](net::Client& c) {
            return c.NetworkServer().Send(MessageWriter(net::contact::kListRequest),
                                          Primary::Contact);
        });
        client().AddOpeningRequest([](net::Client& c) {
            return c.FileServer().Send(MessageWriter(net::mailbox::kUnreadRequest),
                                       Primary::Mailbox);
        });
    });
    StartLogin();
    Received login;
    ASSERT_TRUE(networkServer.ReadPrimary(Primary::Login, login));
    auto r = login.Reader();
    int32_t two = 0, zero = -1;
    EXPECT_EQ(r.Code(), net::login::kLogin);
    ASSERT_TRUE(r.Int(-1, -1, two));
    EXPECT_EQ(StrField(r), "1234567");
    ASSERT_TRUE(r.Int(-1, -1, zero));
    EXPECT_EQ(StrField(r), "ann");
    EXPECT_EQ(StrField(r), "pw");
    EXPECT_EQ(StrField(r), client().Identity());
    ASSERT_TRUE(fileServer.ReadPrimary(Primary::Login, login));

    Send(fileServer, Primary::Login, 2, MessageWriter(net::login::kLoginOK).Int(1).Int(1));
    Send(networkServer, Primary::Login, 2, MessageWriter(net::login::kLoginOK).Int(1).Int(0));
    ASSERT_TRUE(Saw("login completed"));
    OnUi([&] { EXPECT_EQ(client().Rank(), 1); });
    EXPECT_EQ(client().NetworkServer().State(), net::kStateLoggedIn);

    Received opening;
    ASSERT_TRUE(networkServer.ReadPrimary(Primary::Contact, opening));
    EXPECT_EQ(opening.Code(), net::contact::kListRequest);
    ASSERT_TRUE(fileServer.ReadPrimary(Primary::Mailbox, opening));
    EXPECT_EQ(opening.Code(), net::mailbox::kUnreadRequest);

    networkServer.CloseClient();
    ASSERT_TRUE(Saw("dropped"));
    ASSERT_TRUE(WaitUntil([&] { return client().Drops() == 2; }));
    ASSERT_TRUE(WaitUntil([&] { return client().FileServer().State() == net::kStateIdle; }));
    EXPECT_EQ(fx->listener.Count(kDropped), 1u);
    EXPECT_EQ(fx->listener.Count("dropped"), 1u);
}

TEST_F(ClientOverSockets, RightsAtCompletionAreThoseOfTheLoginThatCompleted) {
    std::vector<int32_t> ranksAtCompletion;  // touched on the user-interface side only
    OnUi([&] {
        client().AddOpeningRequest([&](net::Client& c) {
            ranksAtCompletion.push_back(c.Rank());
            return true;
        });
    });
    auto loginResponses = [&] {
        int n = 0;
        OnUi([&] { n = client().LoginResponses(); });
        return n;
    };
    // The network server answers last, so its rights arrive with the completion.
    auto logIn = [&](auto&& networkAnswer) {
        StartLogin();
        Send(fileServer, Primary::Login, 2, MessageWriter(net::login::kLoginOK));
        ASSERT_TRUE(WaitUntil([&] { return loginResponses() == 1; }));
        Send(networkServer, Primary::Login, 2, networkAnswer);
    };
    logIn(MessageWriter(net::login::kLoginOK).Int(0).Int(1));
    ASSERT_TRUE(Saw("login completed"));

    networkServer.CloseClient();
    ASSERT_TRUE(WaitUntil([&] {
        return client().Drops() == 2 && client().NetworkServer().State() == net::kStateIdle &&
               client().FileServer().State() == net::kStateIdle;
    }));
    // Another account whose answer carries no rights is not left with the first one's.
    logIn(MessageWriter(net::login::kLoginOK));
    ASSERT_TRUE(Saw("login completed", 2));
    OnUi([&] {
        EXPECT_EQ(ranksAtCompletion, (std::vector<int32_t>{0, 2}));
        EXPECT_EQ(client().Rank(), 2);
    });
}

TEST_F(ClientOverSockets, RefusalOnBothConnectionsEndsTheLoginOnce) {
    StartLogin();
    for (FakeServer* s : {&networkServer, &fileServer}) {
        Send(*s, Primary::Control, 0,
             MessageWriter(net::control::kNotifyDisconnect)
                 .Int(1)
                 .Int(1)
                 .Int(6)
                 .Str("Wrong password"));
        s->CloseClient();
    }
    ASSERT_TRUE(Saw("login ended 0"));
    client().Shutdown();  // every network thread has ended and reported
    EXPECT_EQ(fx->listener.Events(), std::vector<std::string>{"login ended 0"});
}

TEST_F(ClientOverSockets, CancelDuringLoginReturnsToLogin) {
    StartLogin();
    Received login;
    ASSERT_TRUE(networkServer.ReadPrimary(Primary::Login, login));
    OnUi([&] { client().CancelLogin(); });
    ASSERT_TRUE(Saw("login cancelled"));
    client().Shutdown();  // every network thread has ended and reported
    EXPECT_EQ(fx->listener.Events(), std::vector<std::string>{"login cancelled"});
}

TEST_F(ClientOverSockets, AccountCreationSendsTheEnvelopeInsteadOfALogin) {
    OnUi([&] {
        client().SetAccountCreationRecord({"1234567", "Ann", "ann", "pw", "none"});
        EXPECT_TRUE(client().StartAccountCreation());
    });
    ASSERT_TRUE(networkServer.Accept());
    Received first;
    ASSERT_TRUE(networkServer.Read(first));
    EXPECT_EQ(first.header.nDescPrimary, +Primary::Zorvic);
    EXPECT_FALSE(client().NetworkServer().AccountCreation());
    // The file server is not contacted for a creation.
    EXPECT_FALSE(fileServer.Accept(std::chrono::milliseconds(100)));
}

// The server may keep an account-creation connection open after its answer.
// The login that follows stops it; that end belongs to the creation, and
// must neither stop the login's connections nor end the login.
TEST_F(ClientOverSockets, CreationConnectionStoppedByTheNextLoginIsNotItsFailure) {
    OnUi([&] {
        client().SetAccountCreationRecord({"1234567", "Ann", "ann", "pw", "none"});
        EXPECT_TRUE(client().StartAccountCreation());
    });
    ASSERT_TRUE(networkServer.Accept());
    Received envelope;
    ASSERT_TRUE(networkServer.ReadPrimary(Primary::Zorvic, envelope));

    OnUi([&] { client().BeginLogin(); });
    ASSERT_TRUE(networkServer.WaitClientClosed());
    ASSERT_TRUE(WaitUntil([&] { return client().NetworkServer().State() == net::kStateIdle; }));
    EXPECT_NE(client().FileServer().State(), net::kStateStopped);
    EXPECT_TRUE(fx->listener.Events().empty());

    OnUi([&] { client().StartLoginConnections(); });
    ASSERT_TRUE(networkServer.Accept());
    ASSERT_TRUE(fileServer.Accept());
    Received login;
    ASSERT_TRUE(networkServer.ReadPrimary(Primary::Login, login));
    ASSERT_TRUE(fileServer.ReadPrimary(Primary::Login, login));
    Send(fileServer, Primary::Login, 2, MessageWriter(net::login::kLoginOK));
    Send(networkServer, Primary::Login, 2, MessageWriter(net::login::kLoginOK));
    ASSERT_TRUE(Saw("login completed"));
    EXPECT_EQ(fx->listener.Events(), std::vector<std::string>{"login completed"});
}

}  // namespace
