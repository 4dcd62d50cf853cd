#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <fstream>
#include <iterator>

#include "ProbeModule.h"
#include "app/AppHarness.h"
#include "app/Modules.h"
#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"
#include "server/core/Router.h"
#include "server/core/TransferEngine.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

namespace probe {
namespace {

using testsupport::SpinUntil;

// The program's module list with the probe and its consumer added, against
// the local network, whose file server gets the probe's service as a new
// subsystem's server side would.
class ProbeModuleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(network_.Start());
        localnet::LocalNetwork& server = network_.Network();
        server.GetRouter().Register(
            localnet::ServerKind::File, kFamily, kAsk,
            [](localnet::ClientSession& s, const net::bufHeader&, net::MessageReader& fields) {
                int32_t value = 0;
                if (!fields.Int(-1, -1, value)) return;
                net::MessageWriter answer(kAnswer);
                answer.Int(value + 1);
                s.Send(answer, kFamily, net::Secondary::Response);
            });
        server.Transfers().RegisterDownload(
            kDownloadCode, [](localnet::ClientSession&, net::MessageReader&) {
                return localnet::DownloadDecision::ServeBytes(QByteArray("probe bytes"));
            });

        h_ = std::make_unique<apptest::AppHarness>(network_.Endpoints(), [](app::AppState::Options& o) {
            o.makeModules = [] {
                auto modules = app::MakeModules();
                modules.push_back(std::make_unique<ProbeModule>());
                modules.push_back(std::make_unique<ProbeConsumer>());
                return modules;
            };
        });
        probe_ = h_->state->FindModule<ProbeModule>();
        ASSERT_NE(probe_, nullptr);
    }
    void TearDown() override {
        h_.reset();
        network_.Stop();
    }

    bool LogIn() {
        h_->state->Client().StartLookup("1234567");
        if (!SpinUntil([&] { return h_->state->LoginWindow().isVisible(); })) return false;
        h_->state->LoginWindow().UsernameField()->setText("alice");
        h_->state->LoginWindow().PasswordField()->setText("alicepass");
        h_->state->LoginWindow().OkButton()->click();
        return SpinUntil([&] { return h_->state->MainWindow().isVisible(); });
    }

    testsupport::LocalNetworkFixture network_;
    std::unique_ptr<apptest::AppHarness> h_;
    ProbeModule* probe_ = nullptr;
};

TEST_F(ProbeModuleTest, EveryHookRegisteredThroughTheContextFires) {
    shell::CzorvicDlg& main = h_->state->MainWindow();
    // Registered before any login: its picture, its service, its tool.
    EXPECT_TRUE(h_->state->Skin().Has("IDB_PROBE"));
    EXPECT_EQ(h_->state->FindModule<ProbeConsumer>()->found, probe_);
    EXPECT_TRUE(main.ToolButton(shell::Tool::Whiteboard)->isEnabled());
    // The documents module sets its tool.
    EXPECT_TRUE(main.ToolButton(shell::Tool::Documents)->isEnabled());

    // The opening request goes out at the end of the login; the server's
    // answer is routed to the probe's family.
    ASSERT_TRUE(LogIn());
    EXPECT_TRUE(probe_->events.contains("logged in"));
    ASSERT_TRUE(SpinUntil([&] { return probe_->Answers() == 1; }));
    EXPECT_TRUE(probe_->events.contains("answer 8"));

    // The tool button starts a download on the probe's slot; its completion
    // hook fires with the file in place.
    main.ToolButton(shell::Tool::Whiteboard)->click();
    ASSERT_TRUE(SpinUntil([&] { return probe_->events.contains("download complete 5"); }));
    std::ifstream in(probe_->DownloadPath(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "probe bytes");

    // Timer 4 runs its refresh while logged in.
    main.PeriodicRefresh();
    EXPECT_TRUE(probe_->events.contains("refresh"));

    // A drop hides its window and tells it.
    probe_->Window()->show();
    for (localnet::ClientSession* s : network_.Network().Sessions()) {
        if (s->Kind() == localnet::ServerKind::Network && s->LoggedIn()) {
            s->Abort(QStringLiteral("dropped by the test"));
        }
    }
    ASSERT_TRUE(SpinUntil([&] { return probe_->events.contains("logged out"); }));
    EXPECT_FALSE(probe_->Window()->isVisible());
    EXPECT_TRUE(SpinUntil([&] { return h_->state->LoginWindow().isVisible(); }));
}

TEST_F(ProbeModuleTest, OpeningRequestsKeepTheOrderOfTheModuleList) {
    // Without running connections the requests stay queued: contacts and the
    // session page on the network server, then the unread mail and the
    // probe's on the file server.
    h_->state->Client().LoginResponseReceived();
    h_->state->Client().LoginResponseReceived();
    std::vector<int32_t> onNetwork;
    h_->state->Client().NetworkServer().Queue().Flush([&](net::MessageBuffer& b) {
        net::bufHeader header;
        b.done = b.remaining;
        if (b.ParseHeader(header) == net::kParseComplete) onNetwork.push_back(header.nDescPrimary);
        return true;
    });
    std::vector<int32_t> onFile;
    h_->state->Client().FileServer().Queue().Flush([&](net::MessageBuffer& b) {
        net::bufHeader header;
        b.done = b.remaining;
        if (b.ParseHeader(header) == net::kParseComplete) onFile.push_back(header.nDescPrimary);
        return true;
    });
    EXPECT_EQ(onNetwork, (std::vector<int32_t>{+net::Primary::Contact, +net::Primary::Session}));
    EXPECT_EQ(onFile, (std::vector<int32_t>{+net::Primary::Mailbox, +kFamily}));
}

}  // namespace
}  // namespace probe
