#pragma once

// One TCP connection to a server of the network: the directory server (kind
// 0), the network server (kind 1) or the file server (kind 2). A connection
// lives for the whole run; each start runs a network thread that connects,
// sends the first request, then loops: upload chunks, flush the send queue,
// wait for input, receive. The thread sleeps until something needs it (input,
// a queued message, a stop, the connect time limit); it never wakes on a timer.
// A complete incoming message is handed to the owner, which routes it on the
// user-interface thread while the network thread waits. The end of the
// connection is handed to the owner too.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/Endpoints.h"
#include "net/MessageBuffer.h"
#include "net/Timings.h"
#include "net/TransferSlot.h"

namespace net {

enum ConnectionKind : int32_t {
    kKindDirectory = 0,
    kKindNetwork = 1,
    kKindFile = 2,
};

enum ConnectionState : int32_t {
    kStateConnecting = 0,
    kStateCancelled = 1,      // by the user
    kStateConnected = 2,      // first request sent
    kStateLookupAnswered = 3,
    kStateLookupRefused = 4,
    kStateIdle = 5,
    kStateStopped = 6,        // by the program
    kStateLoggedIn = 7,
};

inline constexpr int kSlotCount = 25;

class Connection;
class TransferHooks;

// What a connection needs from the application that owns it.
class ConnectionOwner {
public:
    virtual ~ConnectionOwner() = default;
    // Network thread, right after connecting: queue the first request of the
    // connection's kind (host lookup, or login unless creating an account).
    virtual void QueueFirstRequest(Connection& connection) = 0;
    // Network thread: route one complete message (it is in the connection's
    // receive buffer) on the user-interface thread and return once handled.
    virtual void Dispatch(Connection& connection, const bufHeader& header) = 0;
    // Network thread, last act of disconnect handling: act on the kind, the
    // state the connection ended in and whether it was opened to create an
    // account. User-visible effects are posted to the user-interface thread.
    virtual void Disconnected(Connection& connection, int32_t endState, bool accountCreation) = 0;
    // Network thread: an upload chunk could not be read from its file (the
    // owner posts kFailedToReadText, see Transfers.h, to the user-interface
    // thread; the connection then ends).
    virtual void TransferReadFailed(Connection& connection, int slot) = 0;
};

// First-in first-out list of finished outgoing messages, with its own mutex.
class SendQueue {
public:
    void Append(std::unique_ptr<MessageBuffer> buffer);
    void Clear();
    size_t Size() const;
    // The network thread's flush: `send` is called with each buffer from the
    // head until it reports done (true) or failure (false). Sent buffers are
    // freed; on failure the rest stay queued, in order. The buffer being sent
    // is taken off the queue and the mutex released meanwhile, so that a
    // sender never blocks behind a peer that has stopped reading; a Clear in
    // that time also discards the buffer in flight.
    template <typename SendFn>
    bool Flush(SendFn&& send);

    // The network thread's batched flush: takes up to `max` buffers off the
    // head (with the Clear count at that moment), and puts the unsent rest
    // back at the head, in order, unless the queue was cleared meanwhile.
    using Batch = std::deque<std::unique_ptr<MessageBuffer>>;
    uint64_t TakeBatch(Batch& into, size_t max);
    void ReturnUnsent(Batch& unsent, uint64_t generation);

private:
    friend class Connection;
    mutable std::mutex mutex_;
    std::deque<std::unique_ptr<MessageBuffer>> queue_;
    uint64_t generation_ = 0;  // counts Clears
};

template <typename SendFn>
bool SendQueue::Flush(SendFn&& send) {
    for (;;) {
        std::unique_ptr<MessageBuffer> head;
        uint64_t generation = 0;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return true;
            head = std::move(queue_.front());
            queue_.pop_front();
            generation = generation_;
        }
        if (!send(*head)) {
            std::lock_guard lock(mutex_);
            if (generation == generation_) queue_.push_front(std::move(head));
            return false;
        }
    }
}

class Connection {
public:
    Connection(int32_t kind, ConnectionOwner& owner, const Endpoints& endpoints, const Timings& timings);
    ~Connection();  // ends the threads of the connection
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Kind 0: look the number up on the directory server (discarding anything
    // left queued from an earlier lookup).
    void StartLookup(const std::string& number);
    // Kinds 1 and 2: connect to the network's host (discarding anything left
    // queued from an earlier run, and closing the transfer slots whose
    // requests went with it) and start the keep-alive thread once. `attempt`
    // names the sign-in attempt this run belongs to (0: none in particular).
    void StartServer(const std::string& host, uint64_t attempt = 0);
    // The user cancelled (state 1) / the program stopped it (state 6).
    void Cancel();
    void Stop();
    // Asks the network thread to end at its next pass.
    void RequestStop();

    void Enqueue(std::unique_ptr<MessageBuffer> buffer);
    // Finishes `writer` as a message of `primary` and queues it. False, with
    // nothing queued, when the message did not fit.
    bool Send(MessageWriter& writer, Primary primary, Secondary secondary = Secondary::Message);
    bool Send(MessageWriter&& writer, Primary primary, Secondary secondary = Secondary::Message) {
        return Send(writer, primary, secondary);
    }
    // Queues a message built elsewhere; false for none (it did not fit).
    bool Send(std::unique_ptr<MessageBuffer> message);
    int32_t State() const;
    void SetState(int32_t state);

    // The attempt given to the start of the run that is calling: valid on the
    // network thread (QueueFirstRequest, Dispatch, Disconnected, chunk reads),
    // where it tells the owner which sign-in attempt a connection's end
    // belongs to. 0 before any run.
    uint64_t RunAttempt() const;

    int32_t Kind() const { return kind_; }
    const std::string& HostName() const { return host_; }
    uint16_t Port() const { return port_; }
    bool AccountCreation() const;
    void SetAccountCreation(bool on);
    std::string LookupNumber() const;

    // Valid during Dispatch only (the network thread waits meanwhile).
    MessageBuffer& ReceiveBuffer() { return receive_; }
    TransferSlot& Slot(int number) { return slots_[static_cast<size_t>(number)]; }
    SendQueue& Queue() { return queue_; }
    ConnectionOwner& Owner() { return owner_; }

    // The per-slot registrations that the transfer family runs on go-ahead,
    // progress, completion and refusal. Set once, before the first start, by
    // whoever owns the connections; may stay null (slots then only close).
    void SetTransferHooks(TransferHooks* hooks) { hooks_ = hooks; }
    TransferHooks* Hooks() const { return hooks_; }

    // Wakes the network thread at once (a message was queued, a slot started
    // sending), instead of waiting out its poll interval.
    void Wake();

    // Ends every thread of the connection and waits for them; for the end of
    // the program and for tests. Must not be called from the network thread
    // nor while the user-interface thread is inside Dispatch of this connection.
    void Shutdown();

private:
    // Implementation details are the connection engine's own.
    struct Impl;
    std::unique_ptr<Impl> impl_;

    const int32_t kind_;
    ConnectionOwner& owner_;
    Endpoints endpoints_;
    Timings timings_;
    std::string host_;
    uint16_t port_ = 0;
    std::array<TransferSlot, kSlotCount> slots_;
    SendQueue queue_;
    MessageBuffer receive_;
    TransferHooks* hooks_ = nullptr;
};

}  // namespace net
