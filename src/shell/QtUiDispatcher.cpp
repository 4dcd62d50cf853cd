#include "shell/QtUiDispatcher.h"

#include <QThread>
#include <memory>

namespace shell {

QtUiDispatcher::QtUiDispatcher() = default;

QtUiDispatcher::~QtUiDispatcher() {
    Stop();
}

bool QtUiDispatcher::OnUiThread() const {
    return QThread::currentThread() == context_.thread();
}

bool QtUiDispatcher::Stopped() const {
    std::lock_guard lock(mutex_);
    return stopped_;
}

void QtUiDispatcher::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    done_.notify_all();
}

bool QtUiDispatcher::RunIfLive(const std::function<void()>& work) {
    if (Stopped()) return false;
    work();
    return true;
}

void QtUiDispatcher::Dispatch(std::function<void()> work) {
    if (OnUiThread()) {
        RunIfLive(work);
        return;
    }
    // Shared with the queued call, which may run after this thread was
    // released by Stop().
    auto finished = std::make_shared<bool>(false);
    {
        std::lock_guard lock(mutex_);
        if (stopped_) return;
    }
    QMetaObject::invokeMethod(
        &context_,
        [this, finished, work = std::move(work)] {
            RunIfLive(work);
            {
                std::lock_guard lock(mutex_);
                *finished = true;
            }
            done_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return *finished || stopped_; });
}

void QtUiDispatcher::Post(std::function<void()> work) {
    // Always queued, also from the user-interface thread: posted work never
    // runs inside the caller.
    if (Stopped()) return;
    QMetaObject::invokeMethod(
        &context_, [this, work = std::move(work)] { RunIfLive(work); }, Qt::QueuedConnection);
}

}  // namespace shell
