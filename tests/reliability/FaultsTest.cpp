// The fault set's grammar, and what each fault does to a connection as a
// raw client sees it on the wire.

#include <gtest/gtest.h>

#include "server/TestClient.h"
#include "server/core/Faults.h"
#include "support/qt/LocalNetworkFixture.h"

using localnet::FaultSet;
using localnet::ParseFaults;
using servertest::TestClient;

namespace {

TEST(FaultGrammar, ReadsEveryKey) {
    FaultSet f;
    QString error;
    ASSERT_TRUE(ParseFaults("server=network+file, only=3,drop-after=4,cut-after=2,garbage-after=1,"
                            "disconnect=-7,disconnect-after=5,stall=250,stall-after=3,delay=15,"
                            "crash-in=14:2",
                            f, &error))
        << error.toStdString();
    EXPECT_EQ(f.servers, 0b110u);
    EXPECT_EQ(f.onlyPrimary, 3);
    EXPECT_EQ(f.dropAfter, 4);
    EXPECT_EQ(f.cutAfter, 2);
    EXPECT_EQ(f.garbageAfter, 1);
    EXPECT_TRUE(f.disconnect);
    EXPECT_EQ(f.disconnectCode, -7);
    EXPECT_EQ(f.disconnectAfter, 5);
    EXPECT_EQ(f.stall.count(), 250);
    EXPECT_EQ(f.stallAfter, 3);
    EXPECT_EQ(f.delay.count(), 15);
    EXPECT_EQ(f.crashPrimary, 14);
    EXPECT_EQ(f.crashStep, 2);
    EXPECT_TRUE(f.AppliesTo(localnet::ServerKind::File));
    EXPECT_FALSE(f.AppliesTo(localnet::ServerKind::Directory));

    // A crash point alone leaves the connections alone.
    FaultSet crash;
    ASSERT_TRUE(ParseFaults("crash-in=5:1", crash, &error));
    EXPECT_FALSE(crash.ConnectionFaults());
    EXPECT_FALSE(crash.AppliesTo(localnet::ServerKind::Network));
}

TEST(FaultGrammar, RefusesWhatItDoesNotKnowAndKeepsTheOldSet) {
    const char* bad[] = {
        "",
        "drop",
        "=3",
        "drop-after=",
        "drop-after=-1",
        "drop-after=x",
        "drop-after=1,drop-after=2",
        "explode=1",
        "server=moon",
        "server=",
        "only=256",
        "stall=0",
        "delay=600001",
        "disconnect=99999999999",
        "disconnect-after=2",
        "stall-after=1",
        "crash-in=14",
        "crash-in=14:0",
        "crash-in=a:1",
        "drop-after=1,,cut-after=2",
    };
    for (const char* text : bad) {
        FaultSet f;
        f.dropAfter = 9;
        QString error;
        EXPECT_FALSE(ParseFaults(text, f, &error)) << text;
        EXPECT_FALSE(error.isEmpty()) << text;
        EXPECT_EQ(f.dropAfter, 9) << text;
    }
}

// Raw clients against the in-process network with a fault set.
class FaultsOnTheWire : public ::testing::Test {
  protected:
    void StartWith(const char* spec) {
        QString error;
        ASSERT_TRUE(ParseFaults(spec, server.Options().faults, &error)) << error.toStdString();
        ASSERT_TRUE(server.Start());
    }
    bool LogIn(TestClient& c) {
        return c.Connect(server.NetworkPort()) && c.SendLogin("1234567", "alice", "alicepass");
    }
    bool AskNetworkInfo(TestClient& c) {
        net::MessageWriter w(net::network::kInformation);
        w.Int(-1).Str("1234567").Str("/");
        return c.Send(w, net::Primary::Network);
    }
    testsupport::LocalNetworkFixture server;
};

TEST_F(FaultsOnTheWire, DropAfterClosesOnceThatManyAreOut) {
    StartWith("server=network,drop-after=1");
    TestClient c;
    ASSERT_TRUE(LogIn(c));
    auto reply = c.Receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->header.nDescPrimary, +net::Primary::Login);
    EXPECT_TRUE(c.WaitClosed());

    // The file server is not named: it answers and stays.
    TestClient file;
    ASSERT_TRUE(file.Login(server.FilePort(), "1234567", "alice", "alicepass"));
    EXPECT_FALSE(file.WaitClosed(std::chrono::milliseconds(100)));
}

TEST_F(FaultsOnTheWire, DropAtOnceNeverAnswers) {
    StartWith("drop-after=0");
    TestClient c;
    ASSERT_TRUE(LogIn(c));
    EXPECT_TRUE(c.WaitClosed());
    EXPECT_FALSE(c.Receive(std::chrono::milliseconds(10)));
}

TEST_F(FaultsOnTheWire, CutMessageNeverCompletes) {
    StartWith("cut-after=0");
    TestClient c;
    ASSERT_TRUE(LogIn(c));
    EXPECT_FALSE(c.Receive(std::chrono::milliseconds(500)));
    EXPECT_TRUE(c.WaitClosed());
}

TEST_F(FaultsOnTheWire, GarbageIsNoMessageButTheNextOneIs) {
    StartWith("server=network,garbage-after=0");
    TestClient c;
    ASSERT_TRUE(LogIn(c));
    // The garbled login answer cannot be framed: the raw client gives up on
    // its stream, as the real client drops the connection.
    EXPECT_FALSE(c.Receive(std::chrono::milliseconds(300)));
    EXPECT_FALSE(c.WaitClosed(std::chrono::milliseconds(50)));
}

TEST_F(FaultsOnTheWire, DisconnectNotificationAnswersTheLastMessage) {
    StartWith("server=network,disconnect=6");
    TestClient c;
    ASSERT_TRUE(LogIn(c));
    auto note = c.Receive();
    ASSERT_TRUE(note);
    ASSERT_TRUE(note->Is(net::Primary::Control, net::Secondary::Notification,
                         net::control::kNotifyDisconnect));
    auto f = note->Reader();
    int32_t primary = 0, secondary = 0, code = 0;
    std::string text;
    ASSERT_TRUE(f.Int(-1, -1, primary) && f.Int(-1, -1, secondary) && f.Int(-1, -1, code) &&
                f.Str(1, 512, text));
    EXPECT_EQ(primary, +net::Primary::Login);
    EXPECT_EQ(secondary, +net::Secondary::Message);
    EXPECT_EQ(code, 6);
    EXPECT_EQ(text, localnet::kFaultDisconnectText);
    EXPECT_TRUE(c.WaitClosed());
}

TEST_F(FaultsOnTheWire, DelayAndStallHoldOutputBackInOrder) {
    StartWith("server=network,delay=150,stall=300,stall-after=1");
    TestClient c;
    ASSERT_TRUE(LogIn(c));
    // Nothing can be out before the delay has passed.
    EXPECT_FALSE(c.Receive(std::chrono::milliseconds(40)));
    auto login = c.Receive();
    ASSERT_TRUE(login);
    EXPECT_EQ(login->header.nDescPrimary, +net::Primary::Login);
    ASSERT_TRUE(AskNetworkInfo(c));
    // One message is out: the stall holds the rest for a good while more.
    EXPECT_FALSE(c.Receive(std::chrono::milliseconds(100)));
    auto info = c.Receive();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->header.nDescPrimary, +net::Primary::Network);
    EXPECT_FALSE(c.WaitClosed(std::chrono::milliseconds(20)));
}

TEST_F(FaultsOnTheWire, OnlyNamedPrimaryIsCountedAndNewSetsApplyToNewConnections) {
    StartWith("server=network,only=6,drop-after=1");
    TestClient c;
    ASSERT_TRUE(LogIn(c));
    ASSERT_TRUE(c.Receive());  // the login answer is not counted
    EXPECT_FALSE(c.WaitClosed(std::chrono::milliseconds(50)));
    ASSERT_TRUE(AskNetworkInfo(c));
    auto info = c.Receive();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->header.nDescPrimary, +net::Primary::Network);
    EXPECT_TRUE(c.WaitClosed());

    server.Network().SetFaults({});
    TestClient clean;
    ASSERT_TRUE(LogIn(clean));
    ASSERT_TRUE(clean.Receive());
    ASSERT_TRUE(AskNetworkInfo(clean));
    ASSERT_TRUE(clean.Receive());
    EXPECT_FALSE(clean.WaitClosed(std::chrono::milliseconds(50)));
}

TEST_F(FaultsOnTheWire, DropAtOnceWithOnlyWaitsForTheFirstCountedMessage) {
    // The login answer goes out; the first answer of the named primary never does.
    StartWith("server=network,only=6,drop-after=0");
    TestClient c;
    ASSERT_TRUE(LogIn(c));
    ASSERT_TRUE(c.Receive());
    EXPECT_FALSE(c.WaitClosed(std::chrono::milliseconds(50)));
    ASSERT_TRUE(AskNetworkInfo(c));
    EXPECT_TRUE(c.WaitClosed());
    EXPECT_FALSE(c.Receive(std::chrono::milliseconds(10)));
}

}  // namespace
