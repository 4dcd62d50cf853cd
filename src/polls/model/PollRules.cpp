#include "polls/model/PollRules.h"

#include <algorithm>

#include "polls/model/PollSchedule.h"

namespace polls {

const char* const kButtonTooltips[8] = {
    "Deletes all submitted ballots for the selected poll",
    "Deletes the selected poll",
    "Prevents anyone from taking the selected poll or viewing its results",
    "Resumes normal operation of the selected poll",
    "Modify the selected poll",
    "Creates a new poll",
    "Take the selected poll",
    "View the results of the selected poll",
};

PollButtons ComputeButtons(const std::vector<SelectedPoll>& selected, const std::string& username,
                           const SessionRoles& roles) {
    PollButtons b;
    b.create = roles.administrator || roles.creator || roles.moderator;
    if (selected.empty()) return b;
    // A selected row without an entry disables everything that needs one.
    if (std::any_of(selected.begin(), selected.end(),
                    [](const SelectedPoll& s) { return s.entry == nullptr; })) {
        return b;
    }
    const bool ownsAll = std::all_of(selected.begin(), selected.end(), [&](const SelectedPoll& s) {
        return s.entry->owner == username;
    });
    const bool mayChange = ownsAll || roles.administrator || roles.creator;
    const auto anyStatus = [&](int32_t status) {
        return std::any_of(selected.begin(), selected.end(),
                           [&](const SelectedPoll& s) { return s.entry->status == status; });
    };
    b.reset = b.remove = mayChange;
    b.suspend = mayChange && !anyStatus(2);
    b.resume = mayChange && !anyStatus(1);
    if (selected.size() == 1) {
        const CPollEntry& e = *selected.front().entry;
        const std::string& state = selected.front().state;
        b.modify = e.owner == username && e.status != 0;
        b.take = e.status == 1 && e.votes < e.maxVotes && state == kInProgress;
        b.viewResults = e.status == 1 && (e.votes >= e.maxVotes || state == kFinished);
    }
    return b;
}

ResponseText PollResponseText(int32_t responseCode, int32_t errorCode) {
    const std::string code = std::to_string(errorCode);
    static const char kMissingForResults[] =
        "Results cannot be viewed for the requested poll because it does not currently exist on "
        "the server";
    static const char kUnavailable[] =
        "The requested poll is either in transfer, or has been suspended, or otherwise marked as "
        "not available";
    switch (responseCode) {
        case 3:
            switch (errorCode) {
                case 1:
                    return {"The requested poll does not currently exist",
                            "The poll you requested to take or submit does not currently exist on "
                            "the server"};
                case 2: return {"The requested poll is currently unavailable", kUnavailable};
                case 3:
                    return {"You have already taken this poll",
                            "You have already taken the requested poll"};
                case 4:
                    return {"The requested poll has not yet started",
                            "The requested poll has not yet started"};
                case 5: return {"This poll is currently finished", "The requested poll is finished."};
                case 6:
                    return {"Wrong ballot version",
                            "Ballot version differs from poll version; this is usually caused by "
                            "the poll owner modifying the poll while you are taking it"};
                default:
                    return {"Unknown error occurred",
                            "MsgPoll.HandleResponseUnavailable(1): Unknown error code, '" + code +
                                "'"};
            }
        case 4:
            return {"Unable to submit ballot",
                    "An error occurred while trying to append the ballot to the poll's ballots "
                    "file"};
        case 5:
            switch (errorCode) {
                case 1: return {"The requested poll does not currently exist", kMissingForResults};
                case 2: return {"The requested poll is currently unavailable", kUnavailable};
                case 3:
                    return {"The requested poll has not yet started",
                            "The requested poll has not yet started"};
                case 4:
                    return {"This poll is currently in progress",
                            "The requested poll is in progress and its results may not be seen "
                            "until it is finished"};
                default:
                    return {"Unknown error occurred",
                            "MsgPoll.HandleResponseErrViewResults(1): Unknown error code, '" +
                                code + "'"};
            }
        case 6:
            switch (errorCode) {
                case 1: return {"The requested poll does not currently exist", kMissingForResults};
                case 2:
                    return {"No ballots were submitted",
                            "The ballots file associated with the requested poll does not exist, "
                            "so results cannot be shown"};
                case 3:
                    return {"The size of the poll file is less than one byte",
                            "The size of the file associated with the requested poll is less than "
                            "one byte in size"};
                case 4:
                    return {"Failed to create results file",
                            "Unable to create new results file for the requested poll"};
                case 5:
                    return {"Failed to append poll file to the results file",
                            "Failed to append poll file to the results file"};
                case 6:
                    return {"Failed to append ballots file to the results file",
                            "Failed to append ballots file to the results file"};
                default:
                    return {"Unknown error occurred",
                            "MsgPoll.HandleResponseErrGenResults(1): Unknown error code, '" +
                                code + "'"};
            }
        default: return {};
    }
}

}  // namespace polls
