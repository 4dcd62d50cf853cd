// The poll list's times, texts and states, and the Polling Center's rules.
// The time zone is pinned so that calendar arithmetic is the same anywhere.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "polls/model/PollRules.h"
#include "polls/model/PollSchedule.h"

namespace polls {
namespace {

class PollTimes : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz ? tz : "";
        hadTz_ = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz_)
            setenv("TZ", savedTz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static std::time_t At(int y, int mo, int d, int h, int mi, int s = 0) {
        return LocalTimeValue({y, mo, d, h, mi, s}, 0);
    }
    static CPollEntry Entry(PollTime start, PollTime end, int recurHours = 0) {
        CPollEntry e;
        e.owner = "alice";
        e.pollId = 4;
        e.status = 1;
        e.maxVotes = 20;
        e.start = start;
        e.end = end;
        e.recurring = recurHours != 0;
        e.recurrenceHours = recurHours;
        return e;
    }

  private:
    std::string savedTz_;
    bool hadTz_ = false;
};

TEST_F(PollTimes, RecurringPollIsInProgressInEachWindowAndNeverFinishesForGood) {
    const CPollEntry e = Entry({2025, 3, 4, 10, 0, 0}, {2025, 3, 4, 11, 0, 0}, 24);
    EXPECT_EQ(PollState(e, At(2025, 3, 4, 9, 59)), kNotStarted);
    EXPECT_EQ(PollState(e, At(2025, 3, 4, 10, 30)), kInProgress);
    EXPECT_EQ(PollState(e, At(2025, 3, 4, 12, 0)), kFinished);
    for (int day : {5, 9, 28}) {
        EXPECT_EQ(PollState(e, At(2025, 3, day, 10, 30)), kInProgress) << day;
        EXPECT_EQ(PollState(e, At(2025, 3, day, 12, 0)), kFinished) << day;
    }
    // Not recurring: finished for good; a non-positive interval is no
    // recurrence, and a huge one does not overflow.
    EXPECT_EQ(PollState(Entry(e.start, e.end), At(2025, 3, 5, 10, 30)), kFinished);
    CPollEntry zero = Entry(e.start, e.end, 0);
    zero.recurring = 1;
    EXPECT_EQ(PollState(zero, At(2025, 3, 5, 10, 30)), kFinished);
    CPollEntry negative = Entry(e.start, e.end, -24);
    EXPECT_EQ(PollState(negative, At(2025, 3, 5, 10, 30)), kFinished);
    CPollEntry huge = Entry(e.start, e.end, INT32_MAX);
    EXPECT_EQ(PollState(huge, At(2025, 3, 4, 10, 30)), kInProgress);
    EXPECT_EQ(PollState(huge, At(2025, 3, 5, 10, 30)), kFinished);
}

TEST_F(PollTimes, StatusAndVotesComeBeforeTheDates) {
    CPollEntry e = Entry({2025, 3, 4, 10, 0, 0}, {2025, 3, 4, 11, 0, 0});
    const std::time_t during = At(2025, 3, 4, 10, 30);
    e.votes = 20;
    EXPECT_EQ(PollState(e, during), kFinished) << "votes at max finish it whatever the dates";
    e.votes = 0;
    e.status = 0;
    EXPECT_EQ(PollState(e, during), kInTransfer);
    e.status = 2;
    EXPECT_EQ(PollState(e, during), kSuspended);
    e.status = 7;
    EXPECT_EQ(PollState(e, during), kUnknownStatus);
}

TEST_F(PollTimes, SecondsSnapToQuartersAndTheServerClockMovesToOurs) {
    const std::pair<int, int> snaps[] = {{0, 0},   {7, 0},   {8, 15},  {22, 15},
                                         {23, 30}, {37, 30}, {38, 45}, {59, 45}};
    for (auto [in, out] : snaps) EXPECT_EQ(SnapSeconds(in), out) << in;

    // The server runs 90 minutes and 3 seconds behind us.
    const std::time_t now = At(2025, 3, 4, 12, 0, 0);
    const std::time_t server = At(2025, 3, 4, 10, 29, 57);
    const std::string list =
        "4\talice\t1\t1\t2025\t3\t4\t9\t0\t20\t2025\t3\t4\t10\t45\t0\t0\t20\t0\t0\t1\t3\n";
    const PollListView view = ReadPollListAt(list, server, now);
    ASSERT_EQ(view.entries.size(), 1u);
    const CPollEntry& e = view.entries[0];
    EXPECT_EQ(e.start, (PollTime{2025, 3, 4, 10, 30, 30})) << "09:00:20 + 1:30:03, snapped";
    EXPECT_EQ(e.end, (PollTime{2025, 3, 4, 12, 15, 0}));
    EXPECT_EQ(e.statusText, kInProgress);
    EXPECT_EQ(e.idText, "alice (4)");
    EXPECT_EQ(e.startText, "10:30 AM on 03/04/2025");
    EXPECT_EQ(e.endText, "12:15 PM on 03/04/2025");
    EXPECT_EQ(e.votesText, "0/20");
    EXPECT_EQ(e.recurrenceText, "");
    EXPECT_EQ(e.questionsText, "3");
}

TEST_F(PollTimes, TwelveHourTextsAndRecurrenceTexts) {
    EXPECT_EQ(TimeText({2025, 1, 2, 0, 5, 0}), "12:05 AM on 01/02/2025");
    EXPECT_EQ(TimeText({2025, 1, 2, 12, 0, 0}), "12:00 PM on 01/02/2025");
    EXPECT_EQ(TimeText({2025, 11, 22, 13, 7, 0}), "1:07 PM on 11/22/2025");
    CPollEntry e = Entry({2025, 3, 4, 10, 0, 0}, {2025, 3, 4, 11, 0, 0}, 1);
    MakeDisplayTexts(e, At(2025, 3, 4, 10, 0));
    EXPECT_EQ(e.recurrenceText, "Recurs every hour");
    e.recurrenceHours = 24;
    MakeDisplayTexts(e, At(2025, 3, 4, 10, 0));
    EXPECT_EQ(e.recurrenceText, "Recurs every 24 hours");
}

TEST_F(PollTimes, UnreadableLineKeepsTheRowsBefore) {
    const std::string good =
        "4\talice\t1\t1\t2025\t3\t4\t9\t0\t0\t2025\t3\t4\t10\t0\t0\t0\t20\t0\t0\t1\t3\n";
    const PollListView view = ReadPollListAt(good + good.substr(0, 20), 0, 0);
    EXPECT_TRUE(view.failed);
    EXPECT_EQ(view.entries.size(), 1u);
}

TEST(PollButtonsRules, SelectionRolesAndStatesDecideEachButton) {
    CPollEntry mine;
    mine.owner = "alice";
    mine.status = 1;
    mine.maxVotes = 5;
    CPollEntry hers = mine;
    hers.owner = "bob";
    const SessionRoles member{}, moderator{false, false, true}, creator{false, true, false};

    PollButtons none = ComputeButtons({}, "alice", member);
    EXPECT_EQ(none, PollButtons{});
    EXPECT_TRUE(ComputeButtons({}, "alice", moderator).create);

    PollButtons own = ComputeButtons({{&mine, kInProgress}}, "alice", member);
    EXPECT_TRUE(own.reset && own.remove && own.modify && own.take);
    EXPECT_TRUE(own.resume == false && own.suspend == true) << "available: suspend, not resume";
    EXPECT_FALSE(own.viewResults);

    // Someone else's poll: a moderator may not change it, the creator may.
    PollButtons other = ComputeButtons({{&hers, kFinished}}, "alice", moderator);
    EXPECT_FALSE(other.reset || other.remove || other.suspend || other.resume || other.modify);
    EXPECT_TRUE(other.viewResults);
    EXPECT_TRUE(ComputeButtons({{&hers, kFinished}}, "alice", creator).remove);

    // Two rows: no Modify, Take Poll or View Results.
    PollButtons two = ComputeButtons({{&mine, kInProgress}, {&mine, kFinished}}, "alice", member);
    EXPECT_TRUE(two.reset && two.remove && two.suspend);
    EXPECT_FALSE(two.modify || two.take || two.viewResults);

    // In transfer: no Modify; votes at max: no Take, View Results.
    CPollEntry transfer = mine;
    transfer.status = 0;
    EXPECT_FALSE(ComputeButtons({{&transfer, kInTransfer}}, "alice", member).modify);
    CPollEntry full = mine;
    full.votes = 5;
    PollButtons f = ComputeButtons({{&full, kFinished}}, "alice", member);
    EXPECT_FALSE(f.take);
    EXPECT_TRUE(f.viewResults);
    // A row without an entry disables what depends on the selection.
    PollButtons broken = ComputeButtons({{nullptr, ""}}, "alice", moderator);
    EXPECT_EQ(broken, (PollButtons{.create = true}));
}

TEST(PollButtonsRules, NinetyPollsStillAllowCreateNinetyOneRefuse) {
    EXPECT_TRUE(MayCreateAnother(0));
    EXPECT_TRUE(MayCreateAnother(90));
    EXPECT_FALSE(MayCreateAnother(91));
    EXPECT_EQ(std::string(kTooManyPolls),
              "More than 90 polls have been created for this session.\r\n\r\nBefore a new poll "
              "can be created, you must first delete at least one poll from the list.");
}

TEST(PollResponses, EveryRowAndUnknownCodes) {
    EXPECT_EQ(PollResponseText(3, 1).response, "The requested poll does not currently exist");
    EXPECT_EQ(PollResponseText(3, 5).details, "The requested poll is finished.");
    EXPECT_EQ(PollResponseText(3, 6).response, "Wrong ballot version");
    EXPECT_EQ(PollResponseText(3, 9).details,
              "MsgPoll.HandleResponseUnavailable(1): Unknown error code, '9'");
    EXPECT_EQ(PollResponseText(4, 0).response, "Unable to submit ballot");
    EXPECT_EQ(PollResponseText(5, 4).response, "This poll is currently in progress");
    EXPECT_EQ(PollResponseText(5, 0).details,
              "MsgPoll.HandleResponseErrViewResults(1): Unknown error code, '0'");
    EXPECT_EQ(PollResponseText(6, 2).response, "No ballots were submitted");
    EXPECT_EQ(PollResponseText(6, 6).response, "Failed to append ballots file to the results file");
    EXPECT_EQ(PollResponseText(6, -3).details,
              "MsgPoll.HandleResponseErrGenResults(1): Unknown error code, '-3'");
    for (int code = 1; code <= 6; ++code) {
        EXPECT_FALSE(PollResponseText(3, code).response.empty());
        EXPECT_FALSE(PollResponseText(6, code).details.empty());
    }
}

}  // namespace
}  // namespace polls
