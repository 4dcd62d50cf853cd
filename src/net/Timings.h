#pragma once

// Every delay and period the program uses, in one place, so that tests can
// shrink them instead of sleeping for seconds.

#include <chrono>

namespace net {

struct Timings {
    using ms = std::chrono::milliseconds;
    // Resolving the host and connecting together may take this long; then the
    // attempt ends as one that could not connect (a host that drops packets
    // would otherwise hold it for the kernel's minutes).
    ms connectTimeout{20000};
    ms keepAliveInterval{10000};
    ms loginDelay{3000};        // the pause before login and account creation start
    ms showDelay{100};          // the pause before a window is shown in front
    ms blinkInterval{500};      // the tray icon's blink
    ms refreshInterval{30000};  // the main window's periodic refresh
    ms idleTimeout{60000};      // the servers drop a client silent this long
    ms mailSendLock{3000};      // the message composer stays locked this long before a send

    // Everything scaled down for tests: short, but still in the same order.
    static Timings Fast() {
        Timings t;
        t.connectTimeout = ms{2000};
        t.keepAliveInterval = ms{50};
        t.loginDelay = ms{20};
        t.showDelay = ms{1};
        t.blinkInterval = ms{20};
        t.refreshInterval = ms{200};
        t.idleTimeout = ms{2000};
        t.mailSendLock = ms{30};
        return t;
    }
};

}  // namespace net
