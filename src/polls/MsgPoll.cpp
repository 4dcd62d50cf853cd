#include "polls/MsgPoll.h"

#include "net/Client.h"
#include "net/Connection.h"
#include "net/Protocol.h"
#include "net/Transfers.h"
#include "polls/model/PollFiles.h"

namespace polls {

PollResponse DecodePollResponse(const net::MessageBuffer& buffer, const net::bufHeader& header,
                                net::LogLine& log) {
    using Kind = PollResponse::Kind;
    if (header.nDescSecondary != +net::Secondary::Response) {
        log.Write("MsgPoll.HandleMessage(1): Unknown secondary descriptor '%i' received from server",
                  header.nDescSecondary);
        return {};
    }
    net::MessageReader reader(buffer, header);
    if (!reader.HasCode()) {
        log.Write("MsgPoll.HandleResponse(0): Unable to decode response code");
        return {};
    }
    PollResponse r;
    const auto withCode = [&](Kind kind, const char* handler) {
        if (!reader.Int(-1, -1, r.errorCode)) {
            log.Write("MsgPoll.%s(0): Unable to decode error code", handler);
            return PollResponse{};
        }
        r.kind = kind;
        return r;
    };
    switch (reader.Code()) {
        case net::poll::kListChanged:
            r.kind = Kind::ListChanged;
            return r;
        case net::poll::kUnavailable:
            return withCode(Kind::Unavailable, "HandleResponseUnavailable");
        case net::poll::kBallotFailed:
            r.kind = Kind::BallotFailed;
            return r;
        case net::poll::kResultsRefused:
            return withCode(Kind::ResultsRefused, "HandleResponseErrViewResults");
        case net::poll::kResultsFailed:
            return withCode(Kind::ResultsFailed, "HandleResponseErrGenResults");
        default:
            log.Write("MsgPoll.HandleResponse(1): Unknown response '%i' received from server",
                      reader.Code());
            return {};
    }
}

bool SendConfirmPoll(net::Connection& fileServer, const std::string& sessionId, int32_t pollId) {
    net::MessageWriter w(net::poll::kConfirm);
    w.Str(sessionId).Int(pollId).Int(1);
    return fileServer.Send(w, net::Primary::Poll, net::Secondary::Message);
}

bool SendPollOperation(net::Connection& fileServer, int32_t operation, const std::string& sessionId,
                       const std::vector<std::pair<std::string, int32_t>>& polls) {
    net::MessageWriter w(net::poll::kOperate);
    w.Int(operation).Str(sessionId).Int(int32_t(polls.size()));
    for (const auto& [owner, id] : polls) w.Str(owner).Int(id);
    return fileServer.Send(w, net::Primary::Poll, net::Secondary::Message);
}

bool RequestPollList(net::Client& client, const std::string& sessionId, int32_t refreshFlag) {
    const std::string path = net::PrepareTransferFile(client.DataDirectory(), kPollListFile);
    if (path.empty()) return false;
    return net::StartDownload(client.FileServer(), net::poll::kPollListSlot, path, 0,
                              {net::TransferField(sessionId), net::TransferField(refreshFlag)});
}

bool RequestPollFile(net::Client& client, const std::string& sessionId, const std::string& owner,
                     int32_t pollId, int32_t purpose) {
    const std::string path = net::PrepareTransferFile(
        client.DataDirectory(), purpose == 1 ? kModifyPollFile : kTakePollFile);
    if (path.empty()) return false;
    return net::StartDownload(client.FileServer(), net::poll::kPollFileSlot, path,
                              uint32_t(purpose),
                              {net::TransferField(sessionId), net::TransferField(owner),
                               net::TransferField(pollId), net::TransferField(purpose == 1 ? 1 : 0)});
}

bool RequestResults(net::Client& client, const std::string& sessionId, const std::string& owner,
                    int32_t pollId) {
    const std::string path = net::PrepareTransferFile(client.DataDirectory(), kResultsFile);
    if (path.empty()) return false;
    return net::StartDownload(client.FileServer(), net::poll::kResultsSlot, path, 0,
                              {net::TransferField(sessionId), net::TransferField(owner),
                               net::TransferField(pollId)});
}

}  // namespace polls
