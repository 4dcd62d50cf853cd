#pragma once

// Every delay and period the program uses, in one place, so that tests can
// shrink them instead of sleeping for seconds.

#include <chrono>

namespace net {

struct Timings {
    using ms = std::chrono::milliseconds;
    ms pollInterval{10};        // upper bound of a network thread's read wait
    ms keepAliveInterval{10000};
    ms loginDelay{3000};        // the pause before login and account creation start
    ms showDelay{100};          // the pause before a window is shown in front
    ms blinkInterval{500};      // the tray icon's blink
    ms refreshInterval{30000};  // the main window's periodic refresh
    ms idleTimeout{60000};      // the servers drop a client silent this long

    // Everything scaled down for tests: short, but still in the same order.
    static Timings Fast() {
        Timings t;
        t.pollInterval = ms{10};
        t.keepAliveInterval = ms{50};
        t.loginDelay = ms{20};
        t.showDelay = ms{1};
        t.blinkInterval = ms{20};
        t.refreshInterval = ms{200};
        t.idleTimeout = ms{2000};
        return t;
    }
};

}  // namespace net
