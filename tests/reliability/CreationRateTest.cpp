// Account creations are limited per peer address: the identity a client
// names is its own to choose, the address it comes from is not.

#include <gtest/gtest.h>

#include "app/AppHarness.h"
#include "server/TestClient.h"
#include "server/account/AccountService.h"
#include "signin/CreateAccountDlg.h"
#include "signin/CreatingAccountDlg.h"
#include "signin/LoginDlg.h"
#include "support/qt/LocalNetworkFixture.h"

using localnet::CreationRateLimit;
using servertest::TestClient;
using testsupport::SpinUntil;

namespace {

TEST(CreationRateLimit, CountsPerAddressWithinTheWindow) {
    CreationRateLimit limit(2, std::chrono::seconds(10));
    const auto t0 = CreationRateLimit::Clock::time_point{} + std::chrono::hours(1);
    EXPECT_TRUE(limit.Allows("10.0.0.1", t0));
    limit.Record("10.0.0.1", t0);
    limit.Record("10.0.0.1", t0 + std::chrono::seconds(4));
    EXPECT_FALSE(limit.Allows("10.0.0.1", t0 + std::chrono::seconds(5)));
    EXPECT_TRUE(limit.Allows("10.0.0.2", t0 + std::chrono::seconds(5)));
    // The first creation leaves the window: one more is allowed, not two.
    EXPECT_TRUE(limit.Allows("10.0.0.1", t0 + std::chrono::seconds(10)));
    limit.Record("10.0.0.1", t0 + std::chrono::seconds(10));
    EXPECT_FALSE(limit.Allows("10.0.0.1", t0 + std::chrono::seconds(11)));
    // Addresses whose creations are all old are forgotten.
    EXPECT_TRUE(limit.Allows("10.0.0.3", t0 + std::chrono::seconds(60)));
    EXPECT_EQ(limit.Tracked(), 0u);
}

class CreationRate : public ::testing::Test {
  protected:
    void SetUp() override {
        server.Options().creationsPerAddress = 2;
        ASSERT_TRUE(server.Start());
    }
    int32_t Create(const std::string& username, const char* from, const std::string& identity) {
        TestClient client;
        if (!client.Connect(server.NetworkPort(), QHostAddress(QString(from)))) return -1;
        auto message = servertest::CreationEnvelope("1234567", "Flood " + username, username,
                                                    "floodpass", identity, "none");
        client.SendRaw(
            QByteArray(reinterpret_cast<const char*>(message->data), message->remaining));
        auto reply = client.Receive();
        return reply && reply->header.nDescPrimary == +net::Primary::Account ? reply->code : -1;
    }
    std::string Identity(int i) {
        return QString("6a1b9c3e-0000-4000-8000-%1").arg(i, 12, 10, QChar('0')).toStdString();
    }
    testsupport::LocalNetworkFixture server;
};

TEST_F(CreationRate, ThirdCreationFromOneAddressIsRefusedWhateverTheIdentity) {
    EXPECT_EQ(Create("flood1", "127.0.0.2", Identity(1)), net::account::kCreated);
    // A refusal for another cause is no creation and does not count.
    EXPECT_EQ(Create("flood1", "127.0.0.2", Identity(2)), net::account::kUsernameTaken);
    EXPECT_EQ(Create("flood2", "127.0.0.2", Identity(3)), net::account::kCreated);
    EXPECT_EQ(Create("flood3", "127.0.0.2", Identity(4)), net::account::kIdentityLimit);
    EXPECT_EQ(server.Network().GetStore().FindNetwork("1234567")->FindAccount("flood3"), nullptr);
    // Another address is not held back.
    EXPECT_EQ(Create("flood3", "127.0.0.3", Identity(5)), net::account::kCreated);
}

TEST_F(CreationRate, ClientShowsTheLocationRefusal) {
    ASSERT_EQ(Create("early1", "127.0.0.1", Identity(1)), net::account::kCreated);
    ASSERT_EQ(Create("early2", "127.0.0.1", Identity(2)), net::account::kCreated);
    apptest::AppHarness h(server.Endpoints());
    h.state->Client().SetNumber("1234567");
    h.state->Client().SetNetwork("127.0.0.1", 0);
    h.state->LoginWindow().ShowLogin();
    ASSERT_TRUE(SpinUntil([&] { return h.state->LoginWindow().isVisible(); }));
    h.state->LoginWindow().CreateAccountButton()->click();
    auto& form = h.state->CreateAccountWindow();
    ASSERT_TRUE(SpinUntil([&] { return form.isVisible(); }));
    form.FullNameField()->setText("Late Comer");
    form.UsernameField()->setText("late");
    form.PasswordField()->setText("latepass");
    form.PasswordAgainField()->setText("latepass");
    form.OkButton()->click();
    auto& creating = h.state->CreatingAccountWindow();
    ASSERT_TRUE(SpinUntil([&] { return creating.isVisible() && !creating.InProgress(); }));
    EXPECT_EQ(creating.Picture(), 12);
    EXPECT_FALSE(creating.Succeeded());
    EXPECT_EQ(server.Network().GetStore().FindNetwork("1234567")->FindAccount("late"), nullptr);
}

}  // namespace
