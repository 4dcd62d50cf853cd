#include "Link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "net/Transfers.h"

namespace loadgen {

namespace {
int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}
}  // namespace

bool Link::Open(const std::string& host, int port, Notify notify) {
    notify_ = std::move(notify);
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1) return false;
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    lastSendMs_ = NowMs();
    reader_ = std::thread([this] { Read(); });
    return true;
}

void Link::StartKeepAlive(std::chrono::milliseconds every) {
    if (fd_ < 0 || keepAlive_.joinable() || every.count() <= 0) return;
    {
        std::lock_guard<std::mutex> lock(keepAliveMutex_);
        stopping_ = false;
    }
    keepAlive_ = std::thread([this, every] { KeepAlive(every); });
}

void Link::KeepAlive(std::chrono::milliseconds every) {
    std::unique_lock<std::mutex> lock(keepAliveMutex_);
    while (!keepAliveCv_.wait_for(lock, every, [this] { return stopping_; })) {
        net::MessageWriter w(net::control::kKeepAlive);
        auto m = w.Finish(net::Primary::Control, net::Secondary::Message);
        // Not under the lock: a send blocked on a full socket must not keep
        // Close from shutting the socket down. A lost connection shows in
        // the user's own next operation.
        lock.unlock();
        const bool sent = m && SendBuffer(*m);
        lock.lock();
        if (!sent) return;
    }
}

void Link::Close() {
    {
        std::lock_guard<std::mutex> lock(keepAliveMutex_);
        stopping_ = true;
    }
    keepAliveCv_.notify_all();
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
    if (keepAlive_.joinable()) keepAlive_.join();
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool Link::Send(net::MessageWriter& w, net::Primary p, net::Secondary s) {
    auto m = w.Finish(p, s);
    if (!m || fd_ < 0) {
        SetFailure("message not built, or no connection");
        return false;
    }
    if (SendBuffer(*m)) return true;
    std::lock_guard<std::mutex> state(mutex_);
    failure_ = closed_ ? Lost() : "send failed";
    return false;
}

bool Link::SendBuffer(const net::MessageBuffer& m) {
    std::lock_guard<std::mutex> lock(sendMutex_);
    const char* at = reinterpret_cast<const char*>(m.data);
    size_t left = static_cast<size_t>(m.remaining);
    while (left > 0) {
        const ssize_t n = ::send(fd_, at, left, MSG_NOSIGNAL);
        if (n <= 0) return false;
        at += n;
        left -= static_cast<size_t>(n);
    }
    lastSendMs_ = NowMs();
    return true;
}

std::optional<Incoming> Link::Wait(std::initializer_list<net::Primary> primaries,
                                   std::chrono::milliseconds deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto until = Clock::now() + deadline;
    for (;;) {
        for (auto it = responses_.begin(); it != responses_.end(); ++it) {
            const bool wanted = std::any_of(primaries.begin(), primaries.end(), [&](net::Primary p) {
                return it->header.nDescPrimary == +p;
            });
            if (wanted) {
                Incoming m = std::move(*it);
                responses_.erase(it);
                return m;
            }
        }
        if (closed_) {
            failure_ = Lost();
            return std::nullopt;
        }
        if (cv_.wait_until(lock, until) == std::cv_status::timeout && Clock::now() >= until) {
            failure_ = "no answer within " + std::to_string(deadline.count()) + " ms";
            return std::nullopt;
        }
    }
}

std::string Link::Failure() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

void Link::SetFailure(std::string why) {
    std::lock_guard<std::mutex> lock(mutex_);
    failure_ = std::move(why);
}

void Link::Drop(net::Primary primary) {
    std::lock_guard<std::mutex> lock(mutex_);
    responses_.erase(std::remove_if(responses_.begin(), responses_.end(),
                                    [&](const Incoming& m) {
                                        return m.header.nDescPrimary == +primary;
                                    }),
                     responses_.end());
}

bool Link::ReadAll(uint8_t* into, int n) {
    while (n > 0) {
        const ssize_t got = ::recv(fd_, into, static_cast<size_t>(n), 0);
        if (got <= 0) return false;
        into += got;
        n -= static_cast<int>(got);
    }
    return true;
}

void Link::Read() {
    for (;;) {
        auto b = std::make_unique<net::MessageBuffer>();
        if (!ReadAll(b->data, net::kHeaderSize)) break;
        b->done = net::kHeaderSize;
        net::bufHeader h;
        int status = b->ParseHeader(h);
        if (status == net::kParseMore) {
            if (!ReadAll(b->data + net::kHeaderSize, h.nMsgLength - net::kHeaderSize)) break;
            b->done = h.nMsgLength;
            status = b->ParseHeader(h);
        }
        if (status != net::kParseComplete) {
            std::lock_guard<std::mutex> lock(mutex_);
            ended_ = "a message loadgen could not read";
            break;
        }
        Incoming m;
        m.header = h;
        m.buffer = std::move(b);
        m.code = m.Reader().Code();
        if (h.nDescSecondary == +net::Secondary::Notification) {
            if (h.nDescPrimary == +net::Primary::Control && m.code == net::control::kNotifyDisconnect) {
                // The server says why before it closes.
                auto f = m.Reader();
                int32_t v = 0, reason = 0;
                std::string text;
                if (f.Int(-1, -1, v) && f.Int(-1, -1, v) && f.Int(-1, -1, reason) &&
                    f.Str(0, 512, text)) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    ended_ = "connection closed by the server (" + std::to_string(reason) + ": " +
                             text + ")";
                }
            }
            if (notify_) notify_(m);
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        responses_.push_back(std::move(m));
        // A user that never waits for some answers must not grow without bound.
        if (responses_.size() > 256) responses_.pop_front();
        cv_.notify_all();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    quietAtCloseMs_ = NowMs() - lastSendMs_.load();
    cv_.notify_all();
}

// Under mutex_, once closed. Whole tens of seconds keep the reasons few.
std::string Link::Lost() const {
    return ended_ + " " + std::to_string(quietAtCloseMs_ / 10000 * 10) +
           "-" + std::to_string(quietAtCloseMs_ / 10000 * 10 + 10) +
           " s after loadgen last sent on it";
}

bool Upload(Link& file, int32_t code, const std::function<void(net::MessageWriter&)>& fields,
            const std::string& content, std::chrono::milliseconds deadline, int32_t* refusal,
            std::optional<net::Primary> alsoAccept) {
    const int32_t slot = net::transferslot::ForUpload(code);
    if (slot < 0) {
        file.SetFailure("no upload slot for code " + std::to_string(code));
        return false;
    }
    net::MessageWriter w(code);
    w.Int(static_cast<int32_t>(content.size()));
    if (fields) fields(w);
    if (!file.Send(w, net::Primary::Upload)) return false;
    auto go = alsoAccept ? file.Wait({net::Primary::Upload, *alsoAccept}, deadline)
                         : file.Wait(net::Primary::Upload, deadline);
    if (!go) return false;
    if (go->header.nDescPrimary != +net::Primary::Upload || go->code != net::upload::kGoAhead) {
        if (refusal) *refusal = go->code;
        file.SetFailure("upload refused (primary " + std::to_string(go->header.nDescPrimary) +
                        ", answer " + std::to_string(go->code) + ")");
        return false;
    }
    for (size_t at = 0; at < content.size(); at += net::kChunkSize) {
        const size_t n = std::min<size_t>(net::kChunkSize, content.size() - at);
        net::MessageWriter c(net::upload::kChunk);
        c.Int(slot).Raw(content.data() + at, static_cast<int>(n));
        if (!file.Send(c, net::Primary::Upload, net::Secondary::Response)) return false;
    }
    return true;
}

DownloadEnd Download(Link& file, int32_t code,
                     const std::function<void(net::MessageWriter&)>& fields, std::string& out,
                     std::chrono::milliseconds deadline, std::optional<net::Primary> alsoAccept,
                     std::optional<Incoming>* other) {
    out.clear();
    net::MessageWriter w(code);
    if (fields) fields(w);
    if (!file.Send(w, net::Primary::Download)) return DownloadEnd::Failed;
    int32_t total = -1;
    while (total < 0 || static_cast<int32_t>(out.size()) < total) {
        auto m = alsoAccept ? file.Wait({net::Primary::Download, *alsoAccept}, deadline)
                            : file.Wait(net::Primary::Download, deadline);
        if (!m) return DownloadEnd::Failed;
        if (alsoAccept && m->header.nDescPrimary == +*alsoAccept) {
            if (other) *other = std::move(m);
            return DownloadEnd::OtherAnswer;
        }
        if (m->code == net::download::kRefused || m->code == net::download::kAccountNotFound) {
            file.SetFailure("download refused (answer " + std::to_string(m->code) + ")");
            return DownloadEnd::Refused;
        }
        file.SetFailure("a broken download message (answer " + std::to_string(m->code) + ")");
        if (m->code != net::download::kStart && m->code != net::download::kData)
            return DownloadEnd::Failed;
        auto f = m->Reader();
        int32_t slot = 0;
        if (!f.Int(0, -1, slot)) return DownloadEnd::Failed;
        if (m->code == net::download::kStart) {
            if (!f.Int(0, -1, total)) return DownloadEnd::Failed;
            // The poll list's start carries the server's clock.
            if (slot == net::transferslot::kPollListSlot) {
                int32_t v = 0;
                for (int i = 0; i < 7; ++i)
                    if (!f.Int(-1, -1, v)) return DownloadEnd::Failed;
            }
        }
        out.append(reinterpret_cast<const char*>(f.Rest()), static_cast<size_t>(f.RestSize()));
        if (total >= 0 && static_cast<int32_t>(out.size()) > total) {
            file.SetFailure("more bytes downloaded than announced");
            return DownloadEnd::Failed;
        }
    }
    return DownloadEnd::Complete;
}

}  // namespace loadgen
