#include "server/core/EpollDispatcher.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimerEvent>
#include <cerrno>
#include <vector>

namespace localnet {

namespace {
constexpr int kMaxEvents = 512;
}

EpollDispatcher::EpollDispatcher(QObject* parent) : QAbstractEventDispatcher(parent) {
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (epoll_ >= 0 && wake_ >= 0) {
        epoll_event e{};
        e.events = EPOLLIN;
        e.data.fd = wake_;
        if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &e) != 0) {
            ::close(wake_);
            wake_ = -1;
        }
    }
}

EpollDispatcher::~EpollDispatcher() {
    if (wake_ >= 0) ::close(wake_);
    if (epoll_ >= 0) ::close(epoll_);
}

void EpollDispatcher::Update(int fd, Watch& watch) {
    uint32_t events = 0;
    if (watch.read) events |= EPOLLIN;
    if (watch.write) events |= EPOLLOUT;
    if (watch.exception) events |= EPOLLPRI;
    if (events == watch.events) return;
    epoll_event e{};
    e.events = events;
    e.data.fd = fd;
    if (events == 0) {
        // A descriptor closed already left the set on its own.
        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, &e);
    } else if (watch.events == 0) {
        if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &e) != 0 && errno == EEXIST)
            ::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &e);
    } else if (::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &e) != 0 && errno == ENOENT) {
        // The number was closed and opened again since it was added.
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &e);
    }
    watch.events = events;
}

void EpollDispatcher::registerSocketNotifier(QSocketNotifier* notifier) {
    const int fd = static_cast<int>(notifier->socket());
    if (fd < 0) return;
    Watch& watch = watches_[fd];
    switch (notifier->type()) {
        case QSocketNotifier::Read: watch.read = notifier; break;
        case QSocketNotifier::Write: watch.write = notifier; break;
        case QSocketNotifier::Exception: watch.exception = notifier; break;
    }
    Update(fd, watch);
}

void EpollDispatcher::unregisterSocketNotifier(QSocketNotifier* notifier) {
    const int fd = static_cast<int>(notifier->socket());
    const auto it = watches_.find(fd);
    if (it == watches_.end()) return;
    Watch& watch = it->second;
    if (watch.read == notifier) watch.read = nullptr;
    if (watch.write == notifier) watch.write = nullptr;
    if (watch.exception == notifier) watch.exception = nullptr;
    Update(fd, watch);
    if (watch.events == 0) watches_.erase(it);
}

void EpollDispatcher::Queue(int timerId, Timer& timer, Clock::time_point due) {
    timer.queued = due_.emplace(due, timerId);
}

void EpollDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                                    QObject* object) {
    if (timerId <= 0 || interval < 0 || !object) return;
    unregisterTimer(timerId);
    Timer& timer = timers_[timerId];
    timer.interval = interval;
    timer.type = timerType;
    timer.object = object;
    Queue(timerId, timer, Clock::now() + std::chrono::milliseconds(interval));
}

bool EpollDispatcher::unregisterTimer(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) return false;
    due_.erase(it->second.queued);
    timers_.erase(it);
    return true;
}

bool EpollDispatcher::unregisterTimers(QObject* object) {
    bool any = false;
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->second.object == object) {
            due_.erase(it->second.queued);
            it = timers_.erase(it);
            any = true;
        } else {
            ++it;
        }
    }
    return any;
}

QList<QAbstractEventDispatcher::TimerInfo> EpollDispatcher::registeredTimers(
    QObject* object) const {
    QList<TimerInfo> list;
    for (const auto& [id, timer] : timers_)
        if (timer.object == object) list.append(TimerInfo(id, static_cast<int>(timer.interval), timer.type));
    return list;
}

int EpollDispatcher::remainingTime(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        it->second.queued->first - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void EpollDispatcher::wakeUp() {
    // Posting events wakes the loop each time; one write serves them all.
    if (wakePending_.exchange(true)) return;
    const uint64_t one = 1;
    while (::write(wake_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void EpollDispatcher::interrupt() {
    interrupted_.store(true);
    wakeUp();
}

int EpollDispatcher::NextTimeout() const {
    if (due_.empty()) return -1;
    const auto left = due_.begin()->first - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    // Rounded up: waking a little early would only mean another wait.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 1000000 ? 1000000 : static_cast<int>(ms);
}

int EpollDispatcher::ActivateTimers() {
    const auto now = Clock::now();
    // The timers due now, taken first: one started by a handler below waits
    // for the next turn, so a zero timer cannot starve the sockets.
    std::vector<int> due;
    for (auto it = due_.begin(); it != due_.end() && it->first <= now; ++it)
        due.push_back(it->second);
    int fired = 0;
    for (int id : due) {
        auto it = timers_.find(id);
        if (it == timers_.end() || it->second.running) continue;
        Timer& timer = it->second;
        // A handler above may have stopped this timer and started another
        // that was given the same number: that one is not due yet.
        if (timer.queued->first > now) continue;
        // Due again one interval after it was due, or after now when the
        // loop has fallen that far behind.
        auto next = timer.queued->first + std::chrono::milliseconds(timer.interval);
        if (next <= now) next = now + std::chrono::milliseconds(timer.interval);
        due_.erase(timer.queued);
        Queue(id, timer, next);
        timer.running = true;
        QObject* object = timer.object;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(object, &event);
        ++fired;
        // The handler may have stopped the timer, or deleted its object.
        it = timers_.find(id);
        if (it != timers_.end()) it->second.running = false;
    }
    return fired;
}

bool EpollDispatcher::Deliver(int fd, QSocketNotifier* notifier) {
    // An earlier delivery of this turn may have disabled or deleted it.
    const auto it = watches_.find(fd);
    if (it == watches_.end()) return false;
    const Watch& watch = it->second;
    if (notifier != watch.read && notifier != watch.write && notifier != watch.exception)
        return false;
    QEvent event(QEvent::SockAct);
    QCoreApplication::sendEvent(notifier, &event);
    return true;
}

int EpollDispatcher::ActivateSockets(const epoll_event* events, int count) {
    // Which notifier each ready descriptor wakes is read before any is
    // delivered; Deliver() checks each is still registered.
    struct Ready {
        int fd;
        QSocketNotifier* notifier;
    };
    std::vector<Ready> ready;
    ready.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int fd = events[i].data.fd;
        if (fd == wake_) continue;
        const auto it = watches_.find(fd);
        if (it == watches_.end()) continue;
        const uint32_t e = events[i].events;
        const Watch& w = it->second;
        const bool broken = (e & (EPOLLERR | EPOLLHUP)) != 0;
        if (w.read && ((e & EPOLLIN) || broken)) ready.push_back({fd, w.read});
        if (w.write && ((e & EPOLLOUT) || broken)) ready.push_back({fd, w.write});
        if (w.exception && (e & EPOLLPRI)) ready.push_back({fd, w.exception});
    }
    int delivered = 0;
    for (const Ready& r : ready) delivered += Deliver(r.fd, r.notifier) ? 1 : 0;
    return delivered;
}

bool EpollDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags) {
    interrupted_.store(false);
    emit awake();
    QCoreApplication::sendPostedEvents();

    const bool canWait = (flags & QEventLoop::WaitForMoreEvents) && !interrupted_.load();
    const bool timersToo = !(flags & QEventLoop::X11ExcludeTimers);
    int timeout = 0;
    if (canWait) {
        timeout = timersToo ? NextTimeout() : -1;
        if (timeout != 0) emit aboutToBlock();
    }
    epoll_event events[kMaxEvents];
    int count = ::epoll_wait(epoll_, events, kMaxEvents, timeout);
    if (count < 0) count = 0;  // a signal; the caller comes round again
    bool woken = false;
    for (int i = 0; i < count; ++i)
        if (events[i].data.fd == wake_) woken = true;
    if (woken) {
        // Drained before the flag is cleared: a post between the two finds
        // the flag still set and writes nothing, and is delivered by the
        // next turn's sendPostedEvents; one after them writes again. The
        // other order could swallow a write and leave the flag set for good.
        uint64_t n = 0;
        while (::read(wake_, &n, sizeof n) < 0 && errno == EINTR) {
        }
        wakePending_.store(false);
    }
    if (interrupted_.load()) return woken;

    int handled = 0;
    if (!(flags & QEventLoop::ExcludeSocketNotifiers)) handled += ActivateSockets(events, count);
    if (timersToo) handled += ActivateTimers();
    return handled > 0 || woken;
}

}  // namespace localnet
