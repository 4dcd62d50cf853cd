#include "polls/model/PollSchedule.h"

#include <cstdio>

namespace polls {

std::time_t LocalTimeValue(const PollTime& t, int isdst) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = isdst;
    return std::mktime(&tm);
}

namespace {

// The local calendar time of `t` as the zone reads it at `now`, with the
// daylight flag in force then: the same value mktime gives for that flag,
// without mktime's reading of the zone files at every call (a long poll list
// makes hundreds of thousands of them).
struct ZoneAt {
    long gmtoff = 0;
    explicit ZoneAt(std::time_t now) {
        std::tm tm{};
        localtime_r(&now, &tm);
        gmtoff = tm.tm_gmtoff;
    }
    std::time_t ValueOf(const PollTime& t) const {
        std::tm tm{};
        tm.tm_year = t.year - 1900;
        tm.tm_mon = t.month - 1;
        tm.tm_mday = t.day;
        tm.tm_hour = t.hour;
        tm.tm_min = t.minute;
        tm.tm_sec = t.second;
        return std::time_t(int64_t(timegm(&tm)) - gmtoff);
    }
};

PollTime MovedAndSnapped(const ZoneAt& zone, const PollTime& serverTime, int64_t offset) {
    const std::time_t moved = std::time_t(int64_t(zone.ValueOf(serverTime)) + offset);
    PollTime t = ToPollTime(moved);
    t.second = SnapSeconds(t.second);
    return t;
}

std::string StateAt(const CPollEntry& e, std::time_t now, const ZoneAt& zone) {
    if (e.status == 0) return kInTransfer;
    if (e.status == 2) return kSuspended;
    if (e.status != 1) return kUnknownStatus;
    if (e.votes >= e.maxVotes) return kFinished;
    const int64_t start = zone.ValueOf(e.start);
    const int64_t end = zone.ValueOf(e.end);
    const int64_t since = int64_t(now) - start;
    // A recurrence of no positive length is no recurrence; 64 bits so that
    // a large interval cannot overflow.
    const int64_t interval =
        e.recurring && e.recurrenceHours > 0 ? int64_t(e.recurrenceHours) * 3600 : 0;
    if (since < 0) return kNotStarted;
    const int64_t into = interval > 0 ? since % interval : since;
    return into < end - start ? kInProgress : kFinished;
}

void Texts(CPollEntry& e, std::time_t now, const ZoneAt& zone) {
    char text[96];
    e.idText = e.owner + " (" + std::to_string(e.pollId) + ")";
    e.statusText = StateAt(e, now, zone);
    e.startText = TimeText(e.start);
    e.endText = TimeText(e.end);
    std::snprintf(text, sizeof text, "%i/%i", e.votes, e.maxVotes);
    e.votesText = text;
    if (!e.recurring)
        e.recurrenceText.clear();
    else if (e.recurrenceHours == 1)
        e.recurrenceText = "Recurs every hour";
    else
        e.recurrenceText = "Recurs every " + std::to_string(e.recurrenceHours) + " hours";
    e.questionsText = std::to_string(e.questionCount);
}

}  // namespace

int DaylightFlagAt(std::time_t now) {
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm.tm_isdst > 0 ? 1 : 0;
}

PollTime ToPollTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

int64_t ClockOffset(std::time_t clientNow, std::time_t serverReference) {
    return int64_t(clientNow) - int64_t(serverReference);
}

std::time_t ServerReference(const PollTime& serverNow, int isdst) {
    return LocalTimeValue(serverNow, isdst);
}

int32_t SnapSeconds(int32_t seconds) {
    if (seconds < 8) return 0;
    if (seconds <= 22) return 15;
    if (seconds <= 37) return 30;
    return 45;
}

std::string TimeText(const PollTime& t) {
    int hour = t.hour % 12;
    if (hour == 0) hour = 12;
    char text[96];
    std::snprintf(text, sizeof text, "%i:%02i %s on %02i/%02i/%i", hour, t.minute,
                  t.hour < 12 ? "AM" : "PM", t.month, t.day, t.year);
    return text;
}

std::string PollState(const CPollEntry& e, std::time_t now) {
    return StateAt(e, now, ZoneAt(now));
}

void MakeDisplayTexts(CPollEntry& e, std::time_t now) {
    Texts(e, now, ZoneAt(now));
}

PollListView ReadPollListAt(std::string_view text, std::time_t serverReference, std::time_t now) {
    PollListRead read = ParsePollList(text);
    const int64_t offset = ClockOffset(now, serverReference);
    const ZoneAt zone(now);
    for (CPollEntry& e : read.entries) {
        e.start = MovedAndSnapped(zone, e.start, offset);
        e.end = MovedAndSnapped(zone, e.end, offset);
        Texts(e, now, zone);
    }
    return {std::move(read.entries), read.failed};
}

}  // namespace polls
