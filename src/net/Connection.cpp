#include "net/Connection.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

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

// One start of the network thread.
struct Run {
    Run(std::string h, uint16_t p) : host(std::move(h)), port(p) {}
    const std::string host;
    const uint16_t port;
    std::atomic<bool> superseded{false};
    std::atomic<bool> finished{false};
};

bool WouldBlock(int err) {
    return err == EAGAIN || err == EWOULDBLOCK || err == EINTR;
}

}  // namespace

struct Connection::Impl {
    explicit Impl(Connection& s) : self(s) { wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }
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

    // Waits, with no time limit, until `fd` reports one of `events`; a wake
    // that finds the run asked to end gives up. Returns the reported events,
    // or 0 when the wait was given up or failed.
    short WaitUnbounded(int fd, short events, const Run& r) {
        for (;;) {
            if (ShouldEnd(r)) return 0;
            pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
            const int rc = ::poll(fds, 2, -1);
            if (rc < 0) {
                if (errno == EINTR) continue;
                return 0;
            }
            if (fds[1].revents) DrainWake();
            if (fds[0].revents) return fds[0].revents;
        }
    }

    bool Connect(const Run& r, int& fd);
    bool SendBuffer(MessageBuffer& buffer, int fd, const Run& r);
    bool Receive(int fd, const Run& r);
    void ThreadMain(const std::shared_ptr<Run>& r, std::thread previous);
    void EndRun(Run& r);
    void Start(const std::string& host, uint16_t port, bool server);
    void KeepAliveMain();
};

bool Connection::Impl::Connect(const Run& r, int& fd) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(r.port);
    if (::getaddrinfo(r.host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
        return false;
    }
    fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        ::freeaddrinfo(found);
        return false;
    }
    {
        std::lock_guard lock(socketMutex);
        sock = fd;
    }
    // Non-blocking from the start, so that Cancel and Stop can end the attempt.
    const int rc = ::connect(fd, found->ai_addr, found->ai_addrlen);
    const int err = errno;
    ::freeaddrinfo(found);
    if (rc == 0) return !ShouldEnd(r);
    if (err != EINPROGRESS) return false;
    const short ready = WaitUnbounded(fd, POLLOUT, r);
    if (!(ready & POLLOUT)) return false;
    int soError = 0;
    socklen_t len = sizeof soError;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0) return false;
    return !ShouldEnd(r);
}

// One outgoing buffer, to the end: waits for the socket to take more and
// sends, until everything is out or the connection fails.
bool Connection::Impl::SendBuffer(MessageBuffer& buffer, int fd, const Run& r) {
    // A buffer whose counters do not describe a message inside its data area
    // is dropped rather than sent from beyond it.
    if (buffer.remaining <= 0) return true;
    if (buffer.done < 0 || buffer.done + buffer.remaining > kMaxMessageLength) return true;
    while (buffer.remaining > 0) {
        const short ready = WaitUnbounded(fd, POLLOUT, r);
        if (!(ready & POLLOUT)) return false;
        const ssize_t n =
            ::send(fd, buffer.data + buffer.done, static_cast<size_t>(buffer.remaining),
                   MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0) {
            if (n < 0 && WouldBlock(errno)) continue;
            return false;
        }
        buffer.done += static_cast<int32_t>(n);
        buffer.remaining -= static_cast<int32_t>(n);
    }
    buffer.Reset();
    return true;
}

// One receive per readable event: never more than the rest of the header, or
// the rest of the current message, so the next message stays in the socket.
bool Connection::Impl::Receive(int fd, const Run& r) {
    MessageBuffer& rb = self.receive_;
    const int want = rb.done < kHeaderSize ? kHeaderSize - rb.done : rb.remaining;
    if (want <= 0 || rb.done + want > kMaxMessageLength) return false;
    const ssize_t n = ::recv(fd, rb.data + rb.done, static_cast<size_t>(want), MSG_DONTWAIT);
    if (n == 0) return false;
    if (n < 0) return WouldBlock(errno);
    rb.done += static_cast<int32_t>(n);
    bufHeader header;
    const int status = rb.ParseHeader(header);
    if (status == kParseBad) return false;
    if (status == kParseMore) {
        if (rb.done >= kHeaderSize && header.nMsgLength > 0) {
            rb.remaining = header.nMsgLength - rb.done;
        }
        return true;
    }
    if (!shuttingDown && !r.superseded) self.owner_.Dispatch(self, header);
    rb.Reset();
    return true;
}

void Connection::Impl::ThreadMain(const std::shared_ptr<Run>& r, std::thread previous) {
    if (previous.joinable()) previous.join();
    self.receive_.Reset();

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
        for (int n = 0; n < kSlotCount; ++n) {
            TransferSlot& slot = self.slots_[static_cast<size_t>(n)];
            if (!slot.sending) continue;
            if (!SendNextChunk(self, n)) {
                if (!shuttingDown && !r->superseded) self.owner_.TransferReadFailed(self, n);
                failed = true;
                break;
            }
            if (slot.sending) anySending = true;
        }
        if (failed) break;

        if (!self.queue_.Flush([&](MessageBuffer& b) { return SendBuffer(b, fd, *r); })) break;

        // While an upload runs, a writable socket ends the wait too, so that
        // chunks go as fast as the peer takes them; reads still get their turn
        // on every pass.
        const short events = static_cast<short>(POLLIN | (anySending ? POLLOUT : 0));
        pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
        const auto wait = std::clamp<int64_t>(self.timings_.pollInterval.count(), 0, INT32_MAX);
        const int rc = ::poll(fds, 2, static_cast<int>(wait));
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

void Connection::Impl::Start(const std::string& host, uint16_t port, bool server) {
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
    current = std::make_shared<Run>(host, port);
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
    impl_->Start(endpoints_.directoryHost, endpoints_.directoryPort, false);
}

void Connection::StartServer(const std::string& host) {
    const uint16_t port = kind_ == kKindFile ? endpoints_.filePort : endpoints_.networkPort;
    impl_->Start(host, port, true);
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
