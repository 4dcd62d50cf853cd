#include "server/core/MemoryGiveBack.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace localnet {

bool MemoryGiveBack::Fallen(int connections) const {
    return peak_ - connections >= rules_.minimumDrop &&
           connections <= static_cast<double>(peak_) * rules_.fallenTo;
}

bool MemoryGiveBack::Observe(int connections, Clock::time_point now) {
    if (connections > peak_) peak_ = connections;
    if (!Fallen(connections)) {
        waiting_ = false;
        return false;
    }
    if (!waiting_) {
        waiting_ = true;
        since_ = now;
        return false;
    }
    if (now - since_ < rules_.settle) return false;
    waiting_ = false;
    peak_ = connections;
    return true;
}

bool GiveBackMemory() {
#if defined(__GLIBC__)
    ::malloc_trim(0);
    return true;
#else
    return false;
#endif
}

}  // namespace localnet
