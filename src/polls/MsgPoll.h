#pragma once

// The poll family (primary 13): its requests, the transfers of polls,
// ballots, results and the poll list, and every response decoded into plain
// values before anything acts on it.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "net/MessageBuffer.h"
#include "net/Router.h"

namespace net {
class Client;
class Connection;
}  // namespace net

namespace polls {

struct PollResponse {
    enum class Kind { None, ListChanged, Unavailable, BallotFailed, ResultsRefused, ResultsFailed };
    Kind kind = Kind::None;
    int32_t errorCode = 0;
};

// Decodes one poll message; unknown codes, other secondaries and fields that
// do not decode write the log text and give Kind::None.
PollResponse DecodePollResponse(const net::MessageBuffer& buffer, const net::bufHeader& header,
                                net::LogLine& log);

// Request 0: the uploaded poll is complete.
bool SendConfirmPoll(net::Connection& fileServer, const std::string& sessionId, int32_t pollId);
// Request 1: an operation on the (owner, poll id) pairs, in list order.
bool SendPollOperation(net::Connection& fileServer, int32_t operation, const std::string& sessionId,
                       const std::vector<std::pair<std::string, int32_t>>& polls);

// The poll list download (slot 8): 0 asked by the user or the server, 1 an
// automatic refresh. Creates "files/remote/poll" a level at a time.
bool RequestPollList(net::Client& client, const std::string& sessionId, int32_t refreshFlag);

// The poll file download (slot 7): purpose 0 to take the poll, 1 to modify
// it; the file lands in "files/remote/poll/take" or ".../modify".
bool RequestPollFile(net::Client& client, const std::string& sessionId, const std::string& owner,
                     int32_t pollId, int32_t purpose);
// The results download (slot 10).
bool RequestResults(net::Client& client, const std::string& sessionId, const std::string& owner,
                    int32_t pollId);

}  // namespace polls
