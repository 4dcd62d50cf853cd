#pragma once

// One blocking client connection of a simulated user, with a reader thread:
// responses are queued for the user's own thread, notifications go to a
// handler on the reader thread. Protocol core only, no Qt.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "net/MessageBuffer.h"
#include "net/Protocol.h"

namespace loadgen {

using Clock = std::chrono::steady_clock;

struct Incoming {
    net::bufHeader header;
    std::unique_ptr<net::MessageBuffer> buffer;
    int32_t code = -1;
    net::MessageReader Reader() const { return net::MessageReader(*buffer, header); }
};

class Link {
  public:
    using Notify = std::function<void(const Incoming&)>;
    ~Link() { Close(); }

    bool Open(const std::string& host, int port, Notify notify = {});
    void Close();
    // Once logged in: a keep-alive every `every`, as the client sends on each
    // server connection, so that a user busy only on the other connection
    // is not dropped as idle by this one's server. Ends with Close.
    void StartKeepAlive(std::chrono::milliseconds every);
    bool Send(net::MessageWriter& w, net::Primary p, net::Secondary s = net::Secondary::Message);
    // The next response of one of the families, skipping others.
    std::optional<Incoming> Wait(std::initializer_list<net::Primary> primaries,
                                 std::chrono::milliseconds deadline);
    std::optional<Incoming> Wait(net::Primary primary, std::chrono::milliseconds deadline) {
        return Wait({primary}, deadline);
    }
    // Forgets the queued responses of a family nobody waits for.
    void Drop(net::Primary primary);
    // What went wrong last on this link (a send, a wait, a transfer), for
    // the failure list: a silence, a refusal, or the server closing it.
    std::string Failure();
    void SetFailure(std::string why);

  private:
    std::string Lost() const;
    bool SendBuffer(const net::MessageBuffer& m);
    void KeepAlive(std::chrono::milliseconds every);
    bool ReadAll(uint8_t* into, int n);
    void Read();

    int fd_ = -1;
    std::thread reader_;
    std::thread keepAlive_;
    std::mutex keepAliveMutex_;
    std::condition_variable keepAliveCv_;
    bool stopping_ = false;  // under keepAliveMutex_
    Notify notify_;
    std::mutex sendMutex_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Incoming> responses_;
    bool closed_ = false;
    // How long nothing had been sent when the connection ended: a server
    // dropping a quiet peer shows here.
    std::atomic<int64_t> lastSendMs_{0};
    int64_t quietAtCloseMs_ = -1;
    std::string ended_ = "connection closed by the server";  // under mutex_
    std::string failure_;  // under mutex_
};

// Uploads `content` through the transfer family: the request (code, size,
// then what `fields` adds), the go-ahead, the chunks. False on a refusal,
// a silence or a lost connection; `refusal` receives a refusal's code. An
// answer of `alsoAccept` instead of the go-ahead is a refusal too (polls
// refuse a ballot in their own family).
bool Upload(Link& file, int32_t code, const std::function<void(net::MessageWriter&)>& fields,
            const std::string& content, std::chrono::milliseconds deadline,
            int32_t* refusal = nullptr, std::optional<net::Primary> alsoAccept = std::nullopt);

// Downloads into `out`: the request (code, then `fields`), the start and
// data messages. A response of `alsoAccept` (another family answering
// instead, as polls do) ends it too and is handed back in `other`.
enum class DownloadEnd { Complete, Refused, OtherAnswer, Failed };
DownloadEnd Download(Link& file, int32_t code,
                     const std::function<void(net::MessageWriter&)>& fields, std::string& out,
                     std::chrono::milliseconds deadline,
                     std::optional<net::Primary> alsoAccept = std::nullopt,
                     std::optional<Incoming>* other = nullptr);

}  // namespace loadgen
