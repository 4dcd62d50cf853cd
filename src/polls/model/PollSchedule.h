#pragma once

// Times of the poll list: the server's clock moved to the client's, the
// seconds snapped to quarters of a minute, the texts of a row and the state
// of a poll at a given moment. Calendar work uses the local time zone.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "polls/model/PollFiles.h"

namespace polls {

// The local calendar time of `t` (a field "isdst" < 0 lets the calendar
// decide; the Polling Center passes the flag in force now).
std::time_t LocalTimeValue(const PollTime& t, int isdst);
// The daylight flag in force at `now`.
int DaylightFlagAt(std::time_t now);
PollTime ToPollTime(std::time_t t);

// The client's clock minus the server's, in seconds.
int64_t ClockOffset(std::time_t clientNow, std::time_t serverReference);
// The server's reference time, as the list download carries it (its daylight
// flag included).
std::time_t ServerReference(const PollTime& serverNow, int isdst);

// Seconds snapped: below 8 to 0, 8-22 to 15, 23-37 to 30, above to 45.
int32_t SnapSeconds(int32_t seconds);

// "1:05 PM on 03/04/2025"
std::string TimeText(const PollTime& t);

inline constexpr char kInTransfer[] = "In Transfer";
inline constexpr char kSuspended[] = "Suspended";
inline constexpr char kUnknownStatus[] = "Unknown.1";
inline constexpr char kFinished[] = "Finished";
inline constexpr char kNotStarted[] = "Not Started";
inline constexpr char kInProgress[] = "In Progress";

// The state of an entry (already in the client's clock) at `now`.
std::string PollState(const CPollEntry& entry, std::time_t now);

// Fills the entry's display texts, its status from PollState at `now`.
void MakeDisplayTexts(CPollEntry& entry, std::time_t now);

struct PollListView {
    std::vector<CPollEntry> entries;
    bool failed = false;  // "Unable to read list of polls"
};
// Reads the poll list text received with the server's clock `serverReference`:
// every row moved into the client's clock at `now`, snapped and given its
// texts and state.
PollListView ReadPollListAt(std::string_view text, std::time_t serverReference, std::time_t now);

}  // namespace polls
