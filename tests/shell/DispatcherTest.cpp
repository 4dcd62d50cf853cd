// Network threads reaching the user-interface thread.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "shell/QtUiDispatcher.h"
#include "support/qt/LocalNetworkFixture.h"

using testsupport::SpinUntil;

TEST(QtUiDispatcher, DispatchWaitsForTheUiThreadAndStopReleasesWaiters) {
    shell::QtUiDispatcher dispatcher;
    std::atomic<bool> returned{false};
    std::thread::id ranOn;
    std::thread worker([&] {
        dispatcher.Dispatch([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
    });
    ASSERT_TRUE(SpinUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());

    // Posted work runs later on this thread, never inside the caller.
    int posted = 0;
    dispatcher.Post([&] { ++posted; });
    EXPECT_EQ(posted, 0);
    ASSERT_TRUE(SpinUntil([&] { return posted == 1; }));

    // A thread waiting while this thread does not run its loop is released
    // by Stop, and its work never runs.
    std::atomic<bool> ran{false};
    returned = false;
    std::thread blocked([&] {
        dispatcher.Dispatch([&] { ran = true; });
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(returned.load());
    dispatcher.Stop();
    blocked.join();
    EXPECT_TRUE(returned.load());
    SpinUntil([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_FALSE(ran.load());
}
