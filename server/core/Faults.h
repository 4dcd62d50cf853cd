#pragma once

// Fault injection for testing clients against a misbehaving network. A fault
// set is written as comma-separated KEY=VALUE items (see FaultGrammar());
// connection faults act on what the server writes, counted per connection,
// and the crash point ends the whole process with SIGKILL half-way through a
// state change, so that what survives a crash can be checked. An empty set
// changes nothing and costs nothing: sessions then write straight to their
// sockets.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>

#include "server/core/Router.h"

namespace localnet {

struct FaultSet {
    // Servers whose connections get the connection faults: bit 1 << kind.
    unsigned servers = 0b111;
    // Counts are of messages the server has written on that connection; -1 = off.
    // When set, only messages of this primary descriptor are counted and
    // faulted; the others pass untouched (a transfer's data, say).
    int32_t onlyPrimary = -1;
    // Closes the connection without a word once it has written this many.
    int dropAfter = -1;
    // Writes the first half of the message after this many, then closes.
    int cutAfter = -1;
    // Replaces the message after this many by bytes that are no message.
    int garbageAfter = -1;
    // Replaces the message after `disconnectAfter` by a disconnect
    // notification with this response code, then closes.
    bool disconnect = false;
    int32_t disconnectCode = 0;
    int disconnectAfter = 0;
    // Holds back all output for this long once `stallAfter` messages are out.
    std::chrono::milliseconds stall{0};
    int stallAfter = 0;
    // Holds back each message this long (order kept).
    std::chrono::milliseconds delay{0};
    // The process kills itself at the `crashStep`-th durable step (a body
    // file written but not yet in place, in place; a transaction about to
    // commit, committed) taken while handling a message of this primary
    // descriptor; -1 = off.
    int32_t crashPrimary = -1;
    int crashStep = 0;

    bool ConnectionFaults() const {
        return dropAfter >= 0 || cutAfter >= 0 || garbageAfter >= 0 || disconnect ||
               stall.count() > 0 || delay.count() > 0;
    }
    bool AppliesTo(ServerKind kind) const {
        return ConnectionFaults() && (servers & (1u << static_cast<int>(kind))) != 0;
    }
};

// Parses a fault set; false with a one-line reason for anything not in the
// grammar (unknown key, missing or out-of-range value, repeated key).
bool ParseFaults(const QString& text, FaultSet& out, QString* error);

// The grammar, for the command line's help.
QString FaultGrammar();

// The text of the disconnect notifications the faults send.
inline constexpr char kFaultDisconnectText[] = "Disconnected by an injected fault";

// The faults of one connection: takes every finished message the session
// would write and writes it, held back, cut, garbled, replaced or followed
// by the end of the connection as the set says.
class ConnectionFaults : public QObject {
    Q_OBJECT
  public:
    struct Io {
        // Hands bytes to the socket.
        std::function<void(const char*, qint64)> write;
        // Pushes what was handed to the system now.
        std::function<void()> flush;
        // Ends the connection at once, or after what is written went out.
        std::function<void(const QString& why)> abort;
        std::function<void()> closeAfterFlush;
    };
    ConnectionFaults(const FaultSet& set, Io io, QObject* parent = nullptr);

    // Takes a whole message; false once the connection is being ended.
    bool Send(QByteArray message);
    // The descriptors of the last message received, for the notification.
    void Received(int32_t primary, int32_t secondary);
    // Bytes taken but not written yet.
    qint64 HeldBytes() const { return heldBytes_; }
    int Written() const { return written_; }
    bool Ended() const { return ended_; }

  private:
    void Pump();
    void WriteOne(QByteArray message, bool counted);
    // Ends the connection from the event loop, not from inside a handler that
    // may still be walking its lists.
    void EndSoon(bool abort, const QString& why);

    FaultSet set_;
    Io io_;
    struct Held {
        QByteArray bytes;
        bool counted;
        std::chrono::steady_clock::time_point due;
    };
    std::deque<Held> held_;
    qint64 heldBytes_ = 0;
    int written_ = 0;
    bool ended_ = false;
    bool stalled_ = false;
    std::chrono::steady_clock::time_point stallUntil_{};
    int32_t lastPrimary_ = 0;
    int32_t lastSecondary_ = 0;
    QTimer timer_;
};

}  // namespace localnet
