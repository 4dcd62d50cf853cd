#pragma once

// Hands work from network threads to the Qt user-interface thread. Dispatch
// waits until the work has run there (a complete incoming message is handled
// while its network thread waits), or runs it at once when called on the
// user-interface thread itself; Post always queues it.
//
// At the end of the program Stop() comes first: it releases every network
// thread waiting in Dispatch and makes all later work a no-op, so that the
// connections' threads can then be joined from the user-interface thread
// without either side waiting for the other.

#include <QObject>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "net/UiDispatcher.h"

namespace shell {

class QtUiDispatcher final : public net::UiDispatcher {
  public:
    // Binds to the calling thread, which must be the user-interface thread.
    QtUiDispatcher();
    ~QtUiDispatcher() override;
    QtUiDispatcher(const QtUiDispatcher&) = delete;
    QtUiDispatcher& operator=(const QtUiDispatcher&) = delete;

    void Dispatch(std::function<void()> work) override;
    void Post(std::function<void()> work) override;

    void Stop();
    bool Stopped() const;

  private:
    bool OnUiThread() const;
    bool RunIfLive(const std::function<void()>& work);

    QObject context_;  // queued work is delivered to this object's thread
    mutable std::mutex mutex_;
    std::condition_variable done_;
    bool stopped_ = false;
};

}  // namespace shell
