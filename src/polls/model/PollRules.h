#pragma once

// The Polling Center's rules: which buttons a selection allows, who may
// change which poll, and the texts of the server's poll refusals.

#include <cstdint>
#include <string>
#include <vector>

#include "polls/model/PollFiles.h"

namespace polls {

// The user's roles in the session, from the own participant record.
struct SessionRoles {
    bool administrator = false;
    bool creator = false;
    bool moderator = false;
};

// One selected row: its entry (null for a row without one) and its state.
struct SelectedPoll {
    const CPollEntry* entry = nullptr;
    std::string state;
};

struct PollButtons {
    bool reset = false, remove = false, suspend = false, resume = false;
    bool modify = false, create = false, take = false, viewResults = false;
    bool operator==(const PollButtons&) const = default;
};

PollButtons ComputeButtons(const std::vector<SelectedPoll>& selected, const std::string& username,
                           const SessionRoles& roles);

// Create refuses past this many polls in the list.
inline constexpr size_t kMaxPollsBeforeCreate = 90;
// Whether Create may make another poll with `listed` polls in the list;
// otherwise it shows kTooManyPolls.
inline bool MayCreateAnother(size_t listed) {
    return listed <= kMaxPollsBeforeCreate;
}
inline constexpr char kTooManyPolls[] =
    "More than 90 polls have been created for this session.\r\n\r\nBefore a new poll can be "
    "created, you must first delete at least one poll from the list.";
inline constexpr char kAlreadyCreating[] =
    "You are already creating a poll.\r\nIf you proceed to create a new poll, the existing poll "
    "will be discarded.\r\nProceed?";
inline constexpr char kModifyingWhenCreating[] =
    "You are currently modifying a poll.\r\nIf you proceed to create a new poll, changes you "
    "made will be lost.\r\nProceed?";
inline constexpr char kCreatingWhenModifying[] =
    "You are currently creating a poll.\r\nIf you proceed to modify the selected poll, the new "
    "poll will be discarded.\r\nProceed?";
inline constexpr char kAlreadyModifying[] =
    "You are already modifying a poll.\r\nIf you proceed to open the selected poll for "
    "modification, changes you made will be lost.\r\nProceed?";
inline constexpr char kAlreadyTaking[] =
    "You are already taking a poll.\r\nIf you proceed to take the selected poll, your current "
    "ballot will be lost.\r\nProceed?";
inline constexpr char kUnableToReadList[] = "Unable to read list of polls";
inline constexpr char kDeleteQuestion[] = "Are you sure you wish to delete the selected poll(s)?";

// Tooltips, in the order Reset, Delete, Suspend, Resume, Modify, Create,
// Take Poll, View Results.
extern const char* const kButtonTooltips[8];

// Request 1's operations.
enum class PollOperation : int32_t { Reset = 0, Delete = 1, Suspend = 2, Resume = 3 };

struct ResponseText {
    std::string response;
    std::string details;
};
// The texts of responses 3, 4, 5 and 6 with their error code.
ResponseText PollResponseText(int32_t responseCode, int32_t errorCode);

}  // namespace polls
