#include "server/core/Listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

namespace localnet {

namespace {

// Connections taken per wake-up; the rest wait for the next turn of the
// event loop so that a burst of connects cannot starve everyone else.
constexpr int kAcceptsPerWake = 64;

QString ErrnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Fills `address` for `host` and `port`; false for an address we cannot bind.
bool ToSockaddr(const QHostAddress& host, quint16 port, sockaddr_storage& address,
                socklen_t& length, bool& dualStack) {
    std::memset(&address, 0, sizeof address);
    dualStack = false;
    if (host == QHostAddress::Any || host.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&address);
        a6->sin6_family = AF_INET6;
        a6->sin6_port = htons(port);
        if (host == QHostAddress::Any) {
            a6->sin6_addr = in6addr_any;
            dualStack = true;
        } else {
            const Q_IPV6ADDR bytes = host.toIPv6Address();
            std::memcpy(&a6->sin6_addr, bytes.c, sizeof bytes.c);
            a6->sin6_scope_id = host.scopeId().toUInt();
        }
        length = sizeof(sockaddr_in6);
        return true;
    }
    if (host.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* a4 = reinterpret_cast<sockaddr_in*>(&address);
        a4->sin_family = AF_INET;
        a4->sin_port = htons(port);
        a4->sin_addr.s_addr = htonl(host.toIPv4Address());
        length = sizeof(sockaddr_in);
        return true;
    }
    return false;
}

}  // namespace

Listener::Listener(AcceptFn onAccept, QObject* parent)
    : QObject(parent), onAccept_(std::move(onAccept)) {
    backoff_.setSingleShot(true);
    backoff_.setInterval(std::chrono::milliseconds(250));
    connect(&backoff_, &QTimer::timeout, this, &Listener::Resume);
}

Listener::~Listener() {
    Close();
}

bool Listener::Listen(const QHostAddress& host, quint16 port, int backlog, QString* error) {
    Close();
    const auto fail = [&](const QString& what) {
        lastError_ = what;
        if (error) *error = what;
        Close();
        return false;
    };
    sockaddr_storage address{};
    socklen_t length = 0;
    bool dualStack = false;
    if (!ToSockaddr(host, port, address, length, dualStack))
        return fail("not an address to listen on: " + host.toString());
    fd_ = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0 && dualStack && (errno == EAFNOSUPPORT || errno == EPROTONOSUPPORT)) {
        // No IPv6 here: all addresses means all IPv4 addresses.
        return Listen(QHostAddress::AnyIPv4, port, backlog, error);
    }
    if (fd_ < 0) return fail("cannot create a socket: " + ErrnoText(errno));
    const int on = 1;
    // A restart must not wait for the old connections' TIME_WAIT to pass.
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (dualStack) {
        const int off = 0;
        ::setsockopt(fd_, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    }
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0)
        return fail(ErrnoText(errno));
    if (::listen(fd_, backlog) != 0) return fail(ErrnoText(errno));
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&bound), &boundLength) != 0)
        return fail(ErrnoText(errno));
    port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                              : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &Listener::OnReadable);
    // Said once here, while descriptors are plenty: the sanitizers' type
    // check of a first call needs one, and the first pause comes when none is left.
    notifier_->setEnabled(true);
    paused_ = false;
    return true;
}

void Listener::Close() {
    backoff_.stop();
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    port_ = 0;
    paused_ = false;
}

void Listener::Resume() {
    if (!paused_ || fd_ < 0) return;
    paused_ = false;
    backoff_.stop();
    notifier_->setEnabled(true);
}

void Listener::Pause(int error) {
    lastError_ = ErrnoText(error);
    paused_ = true;
    ++pauses_;
    notifier_->setEnabled(false);
    backoff_.start();
}

void Listener::OnReadable() {
    for (int i = 0; i < kAcceptsPerWake && fd_ >= 0 && !paused_; ++i) {
        ++acceptAttempts_;
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        const int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            onAccept_(fd, QHostAddress(reinterpret_cast<const sockaddr*>(&peer)));
            continue;
        }
        switch (errno) {
            case EINTR:
            case ECONNABORTED:
            case EPROTO:
                // That one connection is gone; the next may be fine.
                continue;
            case EAGAIN:
#if EWOULDBLOCK != EAGAIN
            case EWOULDBLOCK:
#endif
                return;
            default:
                // Out of descriptors or memory, or something stranger: a
                // retry now would fail the same way, so wait.
                Pause(errno);
                return;
        }
    }
}

}  // namespace localnet
