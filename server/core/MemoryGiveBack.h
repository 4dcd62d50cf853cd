#pragma once

// When to hand memory back to the system after a burst of connections. A
// burst leaves the allocator holding the freed sessions' memory, which a
// long-running server would otherwise keep for good. The decision is plain
// arithmetic on the connection count and a clock, so it can be checked
// without a server; the owner does the giving back (GiveBackMemory()).

#include <chrono>

namespace localnet {

class MemoryGiveBack {
  public:
    using Clock = std::chrono::steady_clock;

    struct Rules {
        // The count must fall to this share of its peak or below ...
        double fallenTo = 0.5;
        // ... and by at least this many connections, so that a handful of
        // users coming and going never counts as a burst ...
        int minimumDrop = 32;
        // ... and stay there this long, so that one trim serves the whole
        // ebb of a burst rather than each connection that leaves.
        std::chrono::milliseconds settle{2000};
    };

    MemoryGiveBack() = default;
    explicit MemoryGiveBack(Rules rules) : rules_(rules) {}

    // Called with the current connection count, now and then. True when
    // memory should be given back now; the count is then taken as the new
    // peak, so the next give-back needs a new burst.
    bool Observe(int connections, Clock::time_point now);

    int Peak() const { return peak_; }

  private:
    bool Fallen(int connections) const;

    Rules rules_;
    int peak_ = 0;
    bool waiting_ = false;
    Clock::time_point since_{};
};

// Returns the allocator's free memory to the system where the C library
// can; false where it cannot (nothing is done).
bool GiveBackMemory();

}  // namespace localnet
