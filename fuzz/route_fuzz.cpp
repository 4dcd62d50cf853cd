// Routes arbitrary complete messages through a client's router, as if they
// had arrived on one of its three connections: every family's decoder and
// the transfer handlers see hostile fields. Nothing may crash, hang or write
// outside the data directory.

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>

#include "net/Client.h"
#include "net/Families.h"
#include "RouteInput.h"

namespace {

class QuietListener : public net::ClientListener {
public:
    void ShowMessage(net::MessagePhase, const std::string&, const std::string&, net::MessageIcon) override {}
    void ShowServerResponse(const std::string&, const std::string&) override {}
    void LookupAnswered(const std::string&) override {}
    void LookupRefused() override {}
    void LoginCouldNotConnect() override {}
    void LoginCancelled() override {}
    void LoginEnded(net::LoginEnd) override {}
    void CreationCouldNotConnect() override {}
    void CreationCancelled() override {}
    void LoginCompleted() override {}
    void ConnectionDropped() override {}
    void NetworkInformationReceived(const net::NetworkInformation&) override {}
};

constexpr char kRootPrefix[] = "palindor-fuzz-";

struct Harness {
    Harness() {
        const auto temp = std::filesystem::temp_directory_path();
        fuzzing::RemoveStaleRoots(temp, kRootPrefix);
        root = temp / (kRootPrefix + std::to_string(::getpid()));
        std::filesystem::create_directories(root);
        net::Client::Options options;
        options.environment.home = root.string();
        options.environment.xdgDataHome = (root / "data").string();
        options.environment.xdgConfigHome = (root / "config").string();
        options.timings = net::Timings::Fast();
        client = std::make_unique<net::Client>(ui, listener, options);
    }
    ~Harness() {
        client.reset();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::filesystem::path root;
    net::InlineUiDispatcher ui;
    QuietListener listener;
    std::unique_ptr<net::Client> client;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static Harness harness;
    if (fuzzing::RouteInput(*harness.client, bytes, size)) fuzzing::DropReplies(*harness.client);
    return 0;
}
