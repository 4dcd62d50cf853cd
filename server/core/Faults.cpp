#include "server/core/Faults.h"

#include <QStringList>
#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include "net/MessageBuffer.h"
#include "net/Protocol.h"

namespace localnet {

namespace {

constexpr long long kMaxCount = 1000000;
constexpr long long kMaxMillis = 600000;

bool Number(const QString& text, long long min, long long max, long long& out) {
    bool ok = false;
    out = text.toLongLong(&ok);
    return ok && out >= min && out <= max;
}

// The primary descriptor of a finished message, or -1.
int32_t PrimaryOf(const QByteArray& message) {
    if (message.size() < net::kHeaderSize) return -1;
    auto buffer = std::make_unique<net::MessageBuffer>();
    std::memcpy(buffer->data, message.constData(), net::kHeaderSize);
    buffer->done = net::kHeaderSize;
    net::bufHeader header;
    return buffer->ParseHeader(header) == net::kParseBad ? -1 : header.nDescPrimary;
}

bool Servers(const QString& text, unsigned& out) {
    if (text == "all") {
        out = 0b111;
        return true;
    }
    out = 0;
    for (const QString& name : text.split('+')) {
        if (name == "directory")
            out |= 1u << static_cast<int>(ServerKind::Directory);
        else if (name == "network")
            out |= 1u << static_cast<int>(ServerKind::Network);
        else if (name == "file")
            out |= 1u << static_cast<int>(ServerKind::File);
        else
            return false;
    }
    return out != 0;
}

}  // namespace

QString FaultGrammar() {
    return "Comma-separated KEY=VALUE items; counts are messages the server has written on "
           "one connection:\n"
           "  server=NAMES          connections faulted: directory, network, file joined by '+', "
           "or all (default)\n"
           "  only=P                count and fault only messages of primary descriptor P\n"
           "  drop-after=N          close without a word after N messages (0: at once, or with "
           "only=P instead of the first message of P)\n"
           "  cut-after=N           write half of message N+1, then close\n"
           "  garbage-after=N       replace message N+1 by bytes that are no message\n"
           "  disconnect=CODE       replace a message by a disconnect notification with this "
           "response code, then close\n"
           "  disconnect-after=N    ... the message after N (default 0: the first)\n"
           "  stall=MS              hold all output for MS milliseconds ...\n"
           "  stall-after=N         ... once N messages are out (default 0)\n"
           "  delay=MS              hold every message MS milliseconds\n"
           "  crash-in=P:K          SIGKILL at the K-th durable step (file written, file in "
           "place, before commit, after commit) while handling a message of primary P";
}

bool ParseFaults(const QString& text, FaultSet& out, QString* error) {
    FaultSet set;
    std::set<QString> seen;
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (text.trimmed().isEmpty()) return fail("the fault set is empty");
    for (const QString& raw : text.split(',')) {
        const QString item = raw.trimmed();
        const qsizetype eq = item.indexOf('=');
        if (eq <= 0) return fail(QString("'%1' is not KEY=VALUE").arg(item));
        const QString key = item.left(eq);
        const QString value = item.mid(eq + 1);
        if (!seen.insert(key).second) return fail(QString("'%1' is given twice").arg(key));
        long long n = 0;
        auto count = [&](int& target) {
            if (!Number(value, 0, kMaxCount, n))
                return fail(QString("%1 needs a count from 0 to %2").arg(key).arg(kMaxCount));
            target = static_cast<int>(n);
            return true;
        };
        auto millis = [&](std::chrono::milliseconds& target) {
            if (!Number(value, 1, kMaxMillis, n))
                return fail(
                    QString("%1 needs milliseconds from 1 to %2").arg(key).arg(kMaxMillis));
            target = std::chrono::milliseconds(n);
            return true;
        };
        if (key == "server") {
            if (!Servers(value, set.servers))
                return fail("server needs directory, network, file (joined by '+') or all");
        } else if (key == "only") {
            if (!Number(value, 0, 255, n)) return fail("only needs a primary descriptor, 0 to 255");
            set.onlyPrimary = static_cast<int32_t>(n);
        } else if (key == "drop-after") {
            if (!count(set.dropAfter)) return false;
        } else if (key == "cut-after") {
            if (!count(set.cutAfter)) return false;
        } else if (key == "garbage-after") {
            if (!count(set.garbageAfter)) return false;
        } else if (key == "disconnect") {
            if (!Number(value, INT32_MIN, INT32_MAX, n))
                return fail("disconnect needs a response code (a 32-bit integer)");
            set.disconnect = true;
            set.disconnectCode = static_cast<int32_t>(n);
        } else if (key == "disconnect-after") {
            if (!count(set.disconnectAfter)) return false;
        } else if (key == "stall") {
            if (!millis(set.stall)) return false;
        } else if (key == "stall-after") {
            if (!count(set.stallAfter)) return false;
        } else if (key == "delay") {
            if (!millis(set.delay)) return false;
        } else if (key == "crash-in") {
            const QStringList parts = value.split(':');
            long long primary = 0, step = 0;
            if (parts.size() != 2 || !Number(parts[0], 0, 255, primary) ||
                !Number(parts[1], 1, kMaxCount, step))
                return fail("crash-in needs PRIMARY:STEP, e.g. 14:2");
            set.crashPrimary = static_cast<int32_t>(primary);
            set.crashStep = static_cast<int>(step);
        } else {
            return fail(QString("unknown fault '%1'").arg(key));
        }
    }
    if (seen.count("disconnect-after") && !set.disconnect)
        return fail("disconnect-after needs disconnect=CODE");
    if (seen.count("stall-after") && set.stall.count() == 0)
        return fail("stall-after needs stall=MS");
    out = set;
    return true;
}

ConnectionFaults::ConnectionFaults(const FaultSet& set, Io io, QObject* parent)
    : QObject(parent), set_(set), io_(std::move(io)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ConnectionFaults::Pump);
    // With `only`, no message counts yet: the drop waits for the first that does.
    if (set_.dropAfter == 0 && set_.onlyPrimary < 0) EndSoon(true, "injected fault: dropped at once");
}

void ConnectionFaults::Received(int32_t primary, int32_t secondary) {
    lastPrimary_ = primary;
    lastSecondary_ = secondary;
}

bool ConnectionFaults::Send(QByteArray message) {
    if (ended_) return false;
    const auto now = std::chrono::steady_clock::now();
    const bool counted = set_.onlyPrimary < 0 || PrimaryOf(message) == set_.onlyPrimary;
    heldBytes_ += message.size();
    held_.push_back({std::move(message), counted, now + set_.delay});
    Pump();
    return true;
}

void ConnectionFaults::Pump() {
    while (!ended_ && !held_.empty()) {
        const auto now = std::chrono::steady_clock::now();
        if (!stalled_ && set_.stall.count() > 0 && written_ >= set_.stallAfter) {
            stalled_ = true;
            stallUntil_ = now + set_.stall;
        }
        auto due = held_.front().due;
        if (stalled_) due = std::max(due, stallUntil_);
        if (due > now) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - now);
            timer_.start(std::max<qint64>(1, wait.count()));
            return;
        }
        QByteArray bytes = std::move(held_.front().bytes);
        const bool counted = held_.front().counted;
        held_.pop_front();
        heldBytes_ -= bytes.size();
        WriteOne(std::move(bytes), counted);
    }
}

void ConnectionFaults::WriteOne(QByteArray message, bool counted) {
    if (!counted) {
        io_.write(message.constData(), message.size());
        return;
    }
    const int index = written_;
    if (set_.dropAfter >= 0 && index >= set_.dropAfter) {
        EndSoon(true, "injected fault: dropped");
        return;
    }
    if (set_.disconnect && index == set_.disconnectAfter) {
        net::MessageWriter w(net::control::kNotifyDisconnect);
        w.Int(lastPrimary_).Int(lastSecondary_).Int(set_.disconnectCode).Str(kFaultDisconnectText);
        auto note = w.Finish(net::Primary::Control, net::Secondary::Notification);
        if (note) io_.write(reinterpret_cast<const char*>(note->data), note->remaining);
        ++written_;
        EndSoon(false, "injected fault: disconnect notification");
        return;
    }
    if (set_.cutAfter >= 0 && index == set_.cutAfter) {
        io_.write(message.constData(), message.size() / 2);
        ++written_;
        EndSoon(true, "injected fault: message cut");
        return;
    }
    if (set_.garbageAfter >= 0 && index == set_.garbageAfter) {
        // Same length, but never the token every message starts with.
        const char first = message.isEmpty() ? 0 : message[0];
        for (qsizetype i = 0; i < message.size(); ++i)
            message[i] = static_cast<char>((i * 131 + 17) ^ 0xA5);
        if (!message.isEmpty()) message[0] = static_cast<char>(~first);
    }
    io_.write(message.constData(), message.size());
    ++written_;
    if (set_.dropAfter >= 0 && written_ >= set_.dropAfter)
        EndSoon(true, "injected fault: dropped");
}

void ConnectionFaults::EndSoon(bool abort, const QString& why) {
    ended_ = true;
    timer_.stop();
    held_.clear();
    heldBytes_ = 0;
    QTimer::singleShot(0, this, [this, abort, why] {
        if (abort) {
            io_.flush();
            io_.abort(why);
        } else {
            io_.closeAfterFlush();
        }
    });
}

}  // namespace localnet
