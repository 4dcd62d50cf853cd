#pragma once

// The server's event loop: Qt's own loop on this platform asks the system
// about every descriptor at each turn (poll), so with a thousand connections
// open most of the server's time went into asking about the quiet ones. This
// dispatcher keeps the descriptors in an epoll set, which hands back only
// the ones that are ready; timers sit in a queue ordered by when they are
// due. It is set for the server's thread before the application is made.

#include <QAbstractEventDispatcher>
#include <atomic>
#include <chrono>
#include <map>
#include <unordered_map>

class QSocketNotifier;
struct epoll_event;

namespace localnet {

class EpollDispatcher final : public QAbstractEventDispatcher {
    Q_OBJECT
  public:
    explicit EpollDispatcher(QObject* parent = nullptr);
    ~EpollDispatcher() override;

    // False when the system refused the epoll set or the wake-up descriptor;
    // the caller then keeps Qt's own loop.
    bool Valid() const { return epoll_ >= 0 && wake_ >= 0; }

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;

    void registerSocketNotifier(QSocketNotifier* notifier) override;
    void unregisterSocketNotifier(QSocketNotifier* notifier) override;

    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                       QObject* object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject* object) override;
    QList<TimerInfo> registeredTimers(QObject* object) const override;
    int remainingTime(int timerId) override;

    void wakeUp() override;
    void interrupt() override;

  private:
    using Clock = std::chrono::steady_clock;

    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
        QSocketNotifier* exception = nullptr;
        uint32_t events = 0;  // what the epoll set watches for
    };
    struct Timer {
        qint64 interval = 0;  // milliseconds
        Qt::TimerType type = Qt::CoarseTimer;
        QObject* object = nullptr;
        std::multimap<Clock::time_point, int>::iterator queued;
        bool running = false;  // its event is being delivered
    };

    // Brings the epoll set in line with the notifiers of `fd`.
    void Update(int fd, Watch& watch);
    void Queue(int timerId, Timer& timer, Clock::time_point due);
    // Milliseconds until the next timer is due (0 when one is), -1 for none.
    int NextTimeout() const;
    int ActivateTimers();
    int ActivateSockets(const epoll_event* events, int count);
    bool Deliver(int fd, QSocketNotifier* notifier);

    int epoll_ = -1;
    int wake_ = -1;  // an eventfd, written by wakeUp() from any thread
    std::atomic<bool> wakePending_{false};
    std::atomic<bool> interrupted_{false};
    std::unordered_map<int, Watch> watches_;
    std::unordered_map<int, Timer> timers_;
    std::multimap<Clock::time_point, int> due_;
};

}  // namespace localnet
