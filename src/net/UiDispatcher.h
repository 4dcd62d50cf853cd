#pragma once

// The seam through which network threads reach the user-interface thread.
// Dispatch runs a piece of work there and returns once it has run (a complete
// incoming message is handled while its network thread waits); Post queues it
// and returns at once (what the end of a connection must show).

#include <functional>
#include <mutex>

namespace net {

class UiDispatcher {
  public:
    virtual ~UiDispatcher() = default;
    virtual void Dispatch(std::function<void()> work) = 0;
    virtual void Post(std::function<void()> work) = 0;
};

// Runs every piece of work at once on the calling thread, one at a time, so
// that work coming from several network threads never overlaps. For tests and
// programs without an event loop.
class InlineUiDispatcher : public UiDispatcher {
  public:
    void Dispatch(std::function<void()> work) override {
        std::lock_guard lock(mutex_);
        work();
    }
    void Post(std::function<void()> work) override {
        std::lock_guard lock(mutex_);
        work();
    }

  private:
    std::recursive_mutex mutex_;
};

}  // namespace net
