#pragma once

// One listening TCP socket and its accept loop. We accept ourselves rather
// than through QTcpServer for two reasons: the backlog is ours to choose,
// and running out of file descriptors is seen as such. When accept fails for
// want of descriptors (or memory) the listener stops watching its socket
// instead of retrying in a tight loop; it watches again when the owner says a
// descriptor was freed, or after a short back-off. Waiting connections stay
// in the kernel's backlog meanwhile and are taken in order once it resumes.

#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace localnet {

class Listener : public QObject {
    Q_OBJECT
  public:
    // Receives each accepted descriptor (non-blocking, close-on-exec) and the
    // peer's address; it owns the descriptor from then on.
    using AcceptFn = std::function<void(int descriptor, const QHostAddress& peer)>;

    explicit Listener(AcceptFn onAccept, QObject* parent = nullptr);
    ~Listener() override;

    // Binds and listens. Port 0 picks a free port. QHostAddress::Any listens
    // on IPv6 and IPv4 alike where the system allows it.
    bool Listen(const QHostAddress& address, quint16 port, int backlog, QString* error);
    void Close();

    quint16 Port() const { return port_; }
    bool Listening() const { return fd_ >= 0; }
    QString ErrorText() const { return lastError_; }

    // How long to wait before trying again after running out of descriptors.
    void SetBackoff(std::chrono::milliseconds backoff) { backoff_.setInterval(backoff); }
    // Watches the socket again if accepting was paused; harmless otherwise.
    void Resume();
    bool Paused() const { return paused_; }

    // Counters for tests: every accept() call, and every pause.
    quint64 AcceptAttempts() const { return acceptAttempts_; }
    quint64 Pauses() const { return pauses_; }

  private:
    void OnReadable();
    void Pause(int error);

    AcceptFn onAccept_;
    int fd_ = -1;
    quint16 port_ = 0;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer backoff_;
    bool paused_ = false;
    quint64 acceptAttempts_ = 0;
    quint64 pauses_ = 0;
    QString lastError_;
};

}  // namespace localnet
