#include "net/Connection.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "net/MsgControl.h"
#include "net/Transfers.h"

namespace net {

// ---------------------------------------------------------------------------
// SendQueue

void SendQueue::Append(std::unique_ptr<MessageBuffer> buffer) {
    if (!buffer) return;
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(buffer));
}

void SendQueue::Clear() {
    std::deque<std::unique_ptr<MessageBuffer>> discarded;
    {
        std::lock_guard lock(mutex_);
        discarded.swap(queue_);
        ++generation_;
    }
}

size_t SendQueue::Size() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

uint64_t SendQueue::TakeBatch(Batch& into, size_t max) {
    std::lock_guard lock(mutex_);
    while (into.size() < max && !queue_.empty()) {
        into.push_back(std::move(queue_.front()));
        queue_.pop_front();
    }
    return generation_;
}

void SendQueue::ReturnUnsent(Batch& unsent, uint64_t generation) {
    std::lock_guard lock(mutex_);
    if (generation == generation_) {
        while (!unsent.empty()) {
            queue_.push_front(std::move(unsent.back()));
            unsent.pop_back();
        }
    }
    unsent.clear();
}

// ---------------------------------------------------------------------------
// Connection engine
//
// Restarting. A connection is started again while the network thread of its
// previous start may still be ending, and the user-interface thread that calls
// StartServer may be the very thread the old one waits for inside Dispatch. So
// a start never waits for the old thread: it marks the old run superseded,
// shuts its socket down and wakes it, and hands the new run to a fresh thread
// whose first act is to join the old one. Two network threads therefore never
// use the connection at once, and the start returns at once. A superseded run
// ends quietly: it closes its socket and slots but reports nothing to the
// owner and leaves the flags, which now belong to the new run, alone. The
// decisions that must not interleave with a start (the connected transition
// with its first request, and the final flag writes) are taken under the
// lifecycle mutex, which is never held while waiting for another thread.

namespace {

using Clock = std::chrono::steady_clock;

// One start of the network thread.
struct Run {
    Run(std::string h, uint16_t p, uint64_t a) : host(std::move(h)), port(p), attempt(a) {}
    const std::string host;
    const uint16_t port;
    const uint64_t attempt;
    std::atomic<bool> superseded{false};
    std::atomic<bool> finished{false};
};

bool WouldBlock(int err) {
    return err == EAGAIN || err == EWOULDBLOCK || err == EINTR;
}

// A host-name lookup that may outlive the run that asked for it. The lookup
// runs on a detached thread that shares this state with the run, so that a
// Cancel, a Stop, a restart or the end of the program never waits for a
// resolver that hangs: the run stops waiting and the late answer is dropped.
struct Resolution {
    Resolution() : fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~Resolution() {
        if (fd >= 0) ::close(fd);
    }
    Resolution(const Resolution&) = delete;
    Resolution& operator=(const Resolution&) = delete;

    std::mutex mutex;
    bool done = false;
    bool ok = false;
    sockaddr_in address{};
    const int fd;  // readable once done
};

bool SystemResolve(const std::string& host, uint16_t port, sockaddr_in& out) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) return false;
    bool ok = false;
    if (found->ai_family == AF_INET && found->ai_addrlen >= sizeof out) {
        std::memcpy(&out, found->ai_addr, sizeof out);
        ok = true;
    }
    ::freeaddrinfo(found);
    return ok;
}

// Received bytes are taken in large reads and split into messages in memory,
// instead of one read for each header and another for each body.
constexpr size_t kInboxSize = 256 * 1024;
// Messages handed to the socket in one call.
constexpr size_t kSendBatch = 64;
// Upload chunks a sending slot queues in one pass, before the queue is flushed
// and input gets its turn.
constexpr int kChunksPerPass = 32;

}  // namespace

struct Connection::Impl {
    explicit Impl(Connection& s) : self(s), inbox(kInboxSize) {
        wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    }
    ~Impl() {
        if (wakeFd >= 0) ::close(wakeFd);
    }

    Connection& self;

    // The four flags, each under its own mutex, never nested.
    mutable std::mutex stateMutex;
    int32_t state = kStateIdle;
    mutable std::mutex runMutex;
    int32_t run = 0;
    mutable std::mutex stopMutex;
    uint8_t stop = 0;
    mutable std::mutex keepAliveMutex;
    int32_t keepAlive = 0;

    mutable std::mutex accountMutex;
    bool accountCreation = false;
    mutable std::mutex lookupMutex;
    std::string lookupNumber = "<?>";

    // Cancel and Stop only shut the socket down under this mutex; the network
    // thread that owns it closes it, so a descriptor is never reused under a
    // thread that still polls it.
    std::mutex socketMutex;
    int sock = -1;

    int wakeFd = -1;

    // Network thread only: bytes received and not yet moved into the receive
    // buffer, and the attempt of the run it is serving.
    std::vector<uint8_t> inbox;
    size_t inBegin = 0;
    size_t inEnd = 0;
    std::atomic<uint64_t> runAttempt{0};

    std::mutex lifecycleMutex;
    std::thread network;
    std::shared_ptr<Run> current;
    std::atomic<bool> shuttingDown{false};

    std::thread keepAliveThread;
    std::mutex keepAliveWaitMutex;
    std::condition_variable keepAliveWake;
    bool keepAliveShutdown = false;

    int32_t GetState() const {
        std::lock_guard lock(stateMutex);
        return state;
    }
    void SetState(int32_t value) {
        std::lock_guard lock(stateMutex);
        state = value;
    }
    bool RunFlag() const {
        std::lock_guard lock(runMutex);
        return run == 1;
    }
    void SetRun(int32_t value) {
        std::lock_guard lock(runMutex);
        run = value;
    }
    bool StopFlag() const {
        std::lock_guard lock(stopMutex);
        return stop != 0;
    }
    void SetStop(uint8_t value) {
        std::lock_guard lock(stopMutex);
        stop = value;
    }

    void Wake() const {
        if (wakeFd < 0) return;
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof one);
    }
    void DrainWake() const {
        uint64_t value = 0;
        [[maybe_unused]] ssize_t n = ::read(wakeFd, &value, sizeof value);
    }

    void ShutdownSocket() {
        std::lock_guard lock(socketMutex);
        if (sock >= 0) ::shutdown(sock, SHUT_RDWR);
    }

    bool ShouldEnd(const Run& r) const {
        return shuttingDown || r.superseded || StopFlag() || !RunFlag();
    }

    // Waits until `fd` reports one of `events`; a wake that finds the run
    // asked to end, or the deadline (if any) passing, gives up. Returns the
    // reported events, or 0 when the wait was given up or failed.
    short WaitFor(int fd, short events, const Run& r,
                  std::optional<Clock::time_point> deadline = std::nullopt) {
        for (;;) {
            if (ShouldEnd(r)) return 0;
            int timeout = -1;
            if (deadline) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
                if (left.count() <= 0) return 0;
                timeout = static_cast<int>(std::min<int64_t>(left.count(), INT32_MAX));
            }
            pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
            const int rc = ::poll(fds, 2, timeout);
            if (rc < 0) {
                if (errno == EINTR) continue;
                return 0;
            }
            if (fds[1].revents) DrainWake();
            if (fds[0].revents) return fds[0].revents;
        }
    }

    bool Resolve(const Run& r, sockaddr_in& out, Clock::time_point deadline);
    bool Connect(const Run& r, int& fd);
    bool SendBatch(SendQueue::Batch& batch, int fd, const Run& r);
    bool FlushQueue(int fd, const Run& r);
    bool Receive(int fd, const Run& r);
    bool Deliver(const Run& r);
    void ThreadMain(const std::shared_ptr<Run>& r, std::thread previous);
    void EndRun(Run& r);
    void Start(const std::string& host, uint16_t port, bool server, uint64_t attempt);
    void KeepAliveMain();
};

bool Connection::Impl::Resolve(const Run& r, sockaddr_in& out, Clock::time_point deadline) {
    auto state = std::make_shared<Resolution>();
    if (state->fd < 0) return false;
    auto resolve = self.endpoints_.resolve;
    if (!resolve) resolve = SystemResolve;
    std::thread([state, resolve = std::move(resolve), host = r.host, port = r.port] {
        sockaddr_in address{};
        const bool ok = resolve(host, port, address);
        {
            std::lock_guard lock(state->mutex);
            state->done = true;
            state->ok = ok;
            state->address = address;
        }
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(state->fd, &one, sizeof one);
    }).detach();
    for (;;) {
        {
            std::lock_guard lock(state->mutex);
            if (state->done) {
                out = state->address;
                return state->ok && out.sin_family == AF_INET;
            }
        }
        if (!(WaitFor(state->fd, POLLIN, r, deadline) & POLLIN)) return false;
    }
}

bool Connection::Impl::Connect(const Run& r, int& fd) {
    // One limit for resolving and connecting together.
    const Clock::time_point deadline = Clock::now() + self.timings_.connectTimeout;
    sockaddr_in address{};
    if (!Resolve(r, address, deadline)) return false;
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    {
        std::lock_guard lock(socketMutex);
        sock = fd;
    }
    // Small messages (keep-alives, requests, acknowledgements) leave at once
    // instead of waiting for the peer's acknowledgement of the previous one.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // Non-blocking from the start, so that Cancel and Stop can end the attempt.
    const int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int err = errno;
    if (rc == 0) return !ShouldEnd(r);
    if (err != EINPROGRESS) return false;
    const short ready = WaitFor(fd, POLLOUT, r, deadline);
    if (!(ready & POLLOUT)) return false;
    int soError = 0;
    socklen_t len = sizeof soError;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0) return false;
    return !ShouldEnd(r);
}

// Sends a batch of outgoing buffers, as many as the socket takes in each
// call, waiting for it to take more until everything is out or the
// connection fails. Sent buffers are freed; the unsent stay in the batch.
bool Connection::Impl::SendBatch(SendQueue::Batch& batch, int fd, const Run& r) {
    // A buffer whose counters do not describe a message inside its data area
    // is dropped rather than sent from beyond it.
    std::erase_if(batch, [](const std::unique_ptr<MessageBuffer>& b) {
        return !b || b->remaining <= 0 || b->done < 0 ||
               b->done + b->remaining > kMaxMessageLength;
    });
    while (!batch.empty()) {
        iovec parts[kSendBatch];
        size_t count = 0;
        for (const auto& b : batch) {
            if (count == kSendBatch) break;
            parts[count].iov_base = b->data + b->done;
            parts[count].iov_len = static_cast<size_t>(b->remaining);
            ++count;
        }
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = count;
        ssize_t n = ::sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (!WouldBlock(errno)) return false;
            if (!(WaitFor(fd, POLLOUT, r) & POLLOUT)) return false;
            continue;
        }
        if (n == 0) return false;
        while (n > 0 && !batch.empty()) {
            MessageBuffer& b = *batch.front();
            const int32_t taken = static_cast<int32_t>(std::min<ssize_t>(n, b.remaining));
            b.done += taken;
            b.remaining -= taken;
            n -= taken;
            if (b.remaining == 0) {
                b.Reset();
                batch.pop_front();
            }
        }
    }
    return true;
}

bool Connection::Impl::FlushQueue(int fd, const Run& r) {
    SendQueue::Batch batch;
    for (;;) {
        const uint64_t generation = self.queue_.TakeBatch(batch, kSendBatch);
        if (batch.empty()) return true;
        if (!SendBatch(batch, fd, r)) {
            self.queue_.ReturnUnsent(batch, generation);
            return false;
        }
    }
}

// One large read per readable event; the messages in it are then taken out
// one by one.
bool Connection::Impl::Receive(int fd, const Run& r) {
    if (inBegin == inEnd) inBegin = inEnd = 0;
    if (inEnd == inbox.size()) return Deliver(r);
    const ssize_t n = ::recv(fd, inbox.data() + inEnd, inbox.size() - inEnd, MSG_DONTWAIT);
    if (n == 0) return false;
    if (n < 0) return WouldBlock(errno);
    inEnd += static_cast<size_t>(n);
    return Deliver(r);
}

// Moves received bytes into the receive buffer, never more than the rest of
// the header or of the current message, so that the codec sees each message
// alone; every complete one is dispatched before the next is touched.
bool Connection::Impl::Deliver(const Run& r) {
    MessageBuffer& rb = self.receive_;
    while (inBegin < inEnd) {
        // A stop asked for by a handler ends the run before the next message.
        if (ShouldEnd(r)) return true;
        const int want = rb.done < kHeaderSize ? kHeaderSize - rb.done : rb.remaining;
        if (want <= 0 || rb.done + want > kMaxMessageLength) return false;
        const size_t take = std::min(static_cast<size_t>(want), inEnd - inBegin);
        std::memcpy(rb.data + rb.done, inbox.data() + inBegin, take);
        inBegin += take;
        rb.done += static_cast<int32_t>(take);
        bufHeader header;
        const int status = rb.ParseHeader(header);
        if (status == kParseBad) return false;
        if (status == kParseMore) {
            if (rb.done >= kHeaderSize && header.nMsgLength > 0) {
                rb.remaining = header.nMsgLength - rb.done;
            }
            continue;
        }
        if (!shuttingDown && !r.superseded && !TakeDownloadData(self, header)) {
            self.owner_.Dispatch(self, header);
        }
        rb.Reset();
    }
    return true;
}

void Connection::Impl::ThreadMain(const std::shared_ptr<Run>& r, std::thread previous) {
    if (previous.joinable()) previous.join();
    self.receive_.Reset();
    inBegin = inEnd = 0;
    runAttempt = r->attempt;

    int fd = -1;
    bool ok = Connect(*r, fd);
    if (ok) {
        // Connected: 0 -> 2 and the first request, unless a Cancel, a Stop or
        // a newer start came first.
        std::lock_guard lock(lifecycleMutex);
        ok = !r->superseded && !shuttingDown;
        if (ok) {
            std::lock_guard stateLock(stateMutex);
            ok = state == kStateConnecting;
            if (ok) state = kStateConnected;
        }
        if (ok) self.owner_.QueueFirstRequest(self);
    }

    while (ok && RunFlag()) {
        if (StopFlag() || r->superseded || shuttingDown) break;

        bool anySending = false;
        bool failed = false;
        for (int n = 0; n < kSlotCount && !failed; ++n) {
            TransferSlot& slot = self.slots_[static_cast<size_t>(n)];
            // As many chunks as a pass allows; the flush below hands them to
            // the socket together, and a full socket holds the next pass back
            // in the wait for writability.
            for (int k = 0; k < kChunksPerPass && slot.sending; ++k) {
                if (!SendNextChunk(self, n)) {
                    if (!shuttingDown && !r->superseded) self.owner_.TransferReadFailed(self, n);
                    failed = true;
                    break;
                }
            }
            if (slot.sending) anySending = true;
        }
        if (failed) break;

        if (!FlushQueue(fd, *r)) break;

        // Sleeps until input, a wake-up (a queued message, a slot that starts
        // sending, a stop) or, while an upload runs, room in the socket for
        // more chunks. Nothing else needs the thread, so there is no timeout.
        const short events = static_cast<short>(POLLIN | (anySending ? POLLOUT : 0));
        pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
        const int rc = ::poll(fds, 2, -1);
        if (rc < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) DrainWake();
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (!Receive(fd, *r)) break;
        }
    }

    EndRun(*r);
}

// Disconnect handling, the network thread's last act.
void Connection::Impl::EndRun(Run& r) {
    {
        std::lock_guard lock(socketMutex);
        if (sock >= 0) {
            ::shutdown(sock, SHUT_WR);
            ::close(sock);
            sock = -1;
        }
    }
    for (TransferSlot& slot : self.slots_) {
        auto lock = slot.Lock();
        slot.Close();
    }

    bool report = false;
    int32_t endState = kStateIdle;
    bool creation = false;
    {
        std::lock_guard lock(lifecycleMutex);
        if (!r.superseded && !shuttingDown) {
            endState = GetState();
            creation = self.AccountCreation();
            report = endState != kStateIdle;
        }
    }
    if (report) self.owner_.Disconnected(self, endState, creation);

    std::lock_guard lock(lifecycleMutex);
    if (!r.superseded) {
        SetState(kStateIdle);
        SetRun(0);
        SetStop(0);
    }
    r.finished = true;
}

void Connection::Impl::Start(const std::string& host, uint16_t port, bool server,
                             uint64_t attempt) {
    std::lock_guard lock(lifecycleMutex);
    if (shuttingDown) return;
    std::thread previous;
    if (current && !current->finished) {
        current->superseded = true;
        ShutdownSocket();
        Wake();
        previous = std::move(network);
    } else if (network.joinable()) {
        network.join();  // its run has finished; the thread is only returning
    }
    self.host_ = host;
    self.port_ = port;
    SetState(kStateConnecting);
    SetRun(1);
    SetStop(0);
    // Whatever an earlier run left queued belongs to that run: a server
    // connection's messages were for the old login, and a lookup left behind
    // (unsent, or cut off mid-send) would reach the directory server ahead of
    // the new number's, or as the tail of a message without its header.
    self.queue_.Clear();
    // A slot opened since the last run ended had its request discarded just
    // now: it would never see an answer and would stay busy for good.
    for (TransferSlot& slot : self.slots_) {
        auto slotLock = slot.Lock();
        slot.Close();
    }
    current = std::make_shared<Run>(host, port, attempt);
    network = std::thread([this, r = current, prev = std::move(previous)]() mutable {
        ThreadMain(r, std::move(prev));
    });

    if (!server) return;
    std::lock_guard keepAliveLock(keepAliveMutex);
    if (keepAlive == 0) {
        keepAlive = 1;
        if (!keepAliveThread.joinable()) keepAliveThread = std::thread([this] { KeepAliveMain(); });
    }
}

void Connection::Impl::KeepAliveMain() {
    std::unique_lock lock(keepAliveWaitMutex);
    for (;;) {
        if (keepAliveWake.wait_for(lock, self.timings_.keepAliveInterval,
                                   [this] { return keepAliveShutdown; })) {
            return;
        }
        lock.unlock();
        {
            std::lock_guard flagLock(keepAliveMutex);
            if (keepAlive != 1) {
                keepAlive = 0;
                return;
            }
        }
        if (GetState() == kStateLoggedIn) SendKeepAlive(self);
        lock.lock();
    }
}

// ---------------------------------------------------------------------------

Connection::Connection(int32_t kind, ConnectionOwner& owner, const Endpoints& endpoints,
                       const Timings& timings)
    : impl_(std::make_unique<Impl>(*this)),
      kind_(kind),
      owner_(owner),
      endpoints_(endpoints),
      timings_(timings) {
    for (int n = 0; n < kSlotCount; ++n) slots_[static_cast<size_t>(n)].number = n;
}

Connection::~Connection() {
    Shutdown();
}

void Connection::StartLookup(const std::string& number) {
    {
        std::lock_guard lock(impl_->lookupMutex);
        impl_->lookupNumber = number;
    }
    impl_->Start(endpoints_.directoryHost, endpoints_.directoryPort, false, 0);
}

void Connection::StartServer(const std::string& host, uint64_t attempt) {
    const uint16_t port = kind_ == kKindFile ? endpoints_.filePort : endpoints_.networkPort;
    impl_->Start(host, port, true, attempt);
}

uint64_t Connection::RunAttempt() const {
    return impl_->runAttempt;
}

void Connection::Cancel() {
    // The state first: the network thread reads it as soon as the socket goes.
    impl_->SetState(kStateCancelled);
    impl_->SetStop(1);
    impl_->ShutdownSocket();
    impl_->Wake();
}

void Connection::Stop() {
    impl_->SetState(kStateStopped);
    impl_->SetStop(1);
    impl_->ShutdownSocket();
    impl_->Wake();
}

void Connection::RequestStop() {
    impl_->SetStop(1);
    impl_->Wake();
}

void Connection::Enqueue(std::unique_ptr<MessageBuffer> buffer) {
    queue_.Append(std::move(buffer));
    impl_->Wake();
}

bool Connection::Send(MessageWriter& writer, Primary primary, Secondary secondary) {
    return Send(writer.Finish(primary, secondary));
}

bool Connection::Send(std::unique_ptr<MessageBuffer> message) {
    if (!message) return false;
    Enqueue(std::move(message));
    return true;
}

int32_t Connection::State() const {
    return impl_->GetState();
}

void Connection::SetState(int32_t state) {
    impl_->SetState(state);
}

bool Connection::AccountCreation() const {
    std::lock_guard lock(impl_->accountMutex);
    return impl_->accountCreation;
}

void Connection::SetAccountCreation(bool on) {
    std::lock_guard lock(impl_->accountMutex);
    impl_->accountCreation = on;
}

std::string Connection::LookupNumber() const {
    std::lock_guard lock(impl_->lookupMutex);
    return impl_->lookupNumber;
}

void Connection::Wake() {
    impl_->Wake();
}

void Connection::Shutdown() {
    std::thread network;
    {
        std::lock_guard lock(impl_->lifecycleMutex);
        impl_->shuttingDown = true;
        network = std::move(impl_->network);
    }
    impl_->ShutdownSocket();
    impl_->Wake();
    if (network.joinable()) network.join();

    {
        std::lock_guard lock(impl_->keepAliveWaitMutex);
        impl_->keepAliveShutdown = true;
    }
    impl_->keepAliveWake.notify_all();
    std::thread keepAlive;
    {
        std::lock_guard lock(impl_->keepAliveMutex);
        keepAlive = std::move(impl_->keepAliveThread);
        impl_->keepAlive = 0;
    }
    if (keepAlive.joinable()) keepAlive.join();
}

}  // namespace net
