#include "server/core/MemoryGiveBack.h"

#include <gtest/gtest.h>

namespace localnet {
namespace {

using namespace std::chrono_literals;
using Clock = MemoryGiveBack::Clock;

class MemoryGiveBackTest : public ::testing::Test {
  protected:
    MemoryGiveBack::Rules rules_{0.5, 32, 2000ms};
    MemoryGiveBack giveBack_{rules_};
    Clock::time_point t_ = Clock::time_point{} + 1h;

    bool At(int connections, std::chrono::milliseconds after) {
        t_ += after;
        return giveBack_.Observe(connections, t_);
    }
};

TEST_F(MemoryGiveBackTest, GivesBackOnceAfterABurstHasEbbedAndSettled) {
    EXPECT_FALSE(At(0, 0ms));
    EXPECT_FALSE(At(1000, 1s));
    EXPECT_FALSE(At(600, 1s));  // falling, not yet half
    EXPECT_FALSE(At(10, 1s));   // fallen: the settling starts
    EXPECT_FALSE(At(8, 1s));
    EXPECT_TRUE(At(8, 1s));
    // The burst is spent: staying low gives nothing back again.
    EXPECT_EQ(giveBack_.Peak(), 8);
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(At(8, 1s));
}

TEST_F(MemoryGiveBackTest, ARiseDuringTheSettlingStartsItAgain) {
    At(600, 0ms);
    EXPECT_FALSE(At(100, 1s));
    EXPECT_FALSE(At(500, 1500ms));  // back up before the settle time
    EXPECT_FALSE(At(100, 1s));      // a new wait from here
    EXPECT_FALSE(At(100, 1500ms));
    EXPECT_TRUE(At(100, 500ms));
}

TEST_F(MemoryGiveBackTest, SmallCrowdsComingAndGoingAreNoBurst) {
    // 40 -> 10 is three quarters down but only 30 connections.
    At(40, 0ms);
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(At(10, 1s));
    // 1000 -> 600 is 400 down but not to half.
    At(1000, 1s);
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(At(600, 1s));
}

TEST_F(MemoryGiveBackTest, EachNewBurstGivesBackAgain) {
    At(300, 0ms);
    At(0, 1s);
    EXPECT_TRUE(At(0, 2s));
    EXPECT_FALSE(At(200, 1s));
    EXPECT_FALSE(At(0, 1s));
    EXPECT_TRUE(At(0, 2s));
}

}  // namespace
}  // namespace localnet
