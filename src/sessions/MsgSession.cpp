#include "sessions/MsgSession.h"

#include "net/Connection.h"
#include "net/Protocol.h"
#include "net/Router.h"

namespace sessions {

namespace code = net::session;

std::unique_ptr<net::MessageBuffer> BuildCreateSession(const std::string& name,
                                                       const std::string& description,
                                                       const std::string& password,
                                                       int32_t isPrivate, int32_t maxParticipants) {
    net::MessageWriter w(code::kCreateSession);
    w.Str(name).Str(description).Str(password).Int(isPrivate).Int(maxParticipants);
    return w.Finish(net::Primary::Session);
}

std::unique_ptr<net::MessageBuffer> BuildModifySession(const std::string& id,
                                                       const std::string& description,
                                                       const std::string& password,
                                                       int32_t isPrivate, int32_t maxParticipants) {
    net::MessageWriter w(code::kModifySession);
    w.Str(id).Str(description).Str(password).Int(isPrivate).Int(maxParticipants);
    return w.Finish(net::Primary::Session);
}

std::unique_ptr<net::MessageBuffer> BuildDeleteSession(const std::string& id) {
    net::MessageWriter w(code::kDeleteSession);
    w.Str(id);
    return w.Finish(net::Primary::Session);
}

std::unique_ptr<net::MessageBuffer> BuildAskToCreate() {
    net::MessageWriter w(code::kAskToCreate);
    return w.Finish(net::Primary::Session);
}

std::unique_ptr<net::MessageBuffer> BuildGetSessionForModify(const std::string& id) {
    net::MessageWriter w(code::kGetSessionForModify);
    w.Str(id);
    return w.Finish(net::Primary::Session);
}

std::unique_ptr<net::MessageBuffer> BuildJoinSession(const std::string& id,
                                                     const std::string& password) {
    net::MessageWriter w(code::kJoinSession);
    w.Str(id).Str(password);
    return w.Finish(net::Primary::Session);
}

MsgSession::MsgSession(SessionEvents events, std::function<LocalDate()> today)
    : events_(std::move(events)), today_(std::move(today)) {
    pages_[0].selector = 0;
    pages_[1].selector = 1;
}

void MsgSession::SetNotificationHandler(int32_t c, SessionDirectory::Handler handler) {
    notifications_[c] = std::move(handler);
}

void MsgSession::SetResponseHandler(int32_t c, SessionDirectory::Handler handler) {
    responses_[c] = std::move(handler);
}

void MsgSession::HandleMsg(net::Connection& connection, const net::bufHeader& header,
                           net::LogLine& log) {
    net::MessageReader reader(connection.ReceiveBuffer(), header);
    if (header.nDescSecondary == +net::Secondary::Notification) {
        HandleNotification(reader, log);
    } else if (header.nDescSecondary == +net::Secondary::Response) {
        HandleResponse(reader, log);
    } else {
        log.Write("MsgSession.HandleMsg(0): Unknown secondary message '%i' received from server",
                  header.nDescSecondary);
    }
}

void MsgSession::HandleNotification(net::MessageReader& reader, net::LogLine& log) {
    if (!reader.HasCode()) return;
    switch (reader.Code()) {
        case code::kRoomState:
        case code::kClosed:
        case code::kChatLine:
        case code::kClosedAlt:
        case code::kInvitation: {
            const auto it = notifications_.find(reader.Code());
            if (it != notifications_.end() && it->second) it->second(reader.Code(), reader, log);
            break;
        }
        default:
            break;  // a code outside the table is ignored
    }
}

void MsgSession::HandleListSessions(net::MessageReader& reader, net::LogLine& log) {
    int32_t selector = -1;
    const char* field = nullptr;
    const int step = DecodeListPage(reader, pages_, today_(), selector, field);
    if (step >= 0) {
        log.Write("MsgSession.HandleResponseListSessions(%i): Unable to decode %s", step, field);
    }
    if (step == 0 || step == 1) return;
    // The page's numbers were read once the decode went past them.
    const bool numbersRead = step == -1 || step == 3;
    if (events_.pageArrived) events_.pageArrived(selector, step == -1, numbersRead);
}

void MsgSession::HandleResponse(net::MessageReader& reader, net::LogLine& log) {
    if (!reader.HasCode()) return;
    const int32_t c = reader.Code();
    switch (c) {
        case code::kNameTaken:
        case code::kAdminOnly:
        case code::kSessionLimit:
        case code::kNotFound:
        case code::kSessionFull:
        case code::kAlreadyIn:
        case code::kWrongPassword:
        case code::kBanned:
        case code::kNotOnline: {
            const auto details = DecodeExplanation(reader);
            if (!details) {
                log.Write("MsgSession.HandleResponseError(%i): Unable to decode explanation", c);
                return;
            }
            if (events_.error) events_.error(ErrorHeading(c), *details);
            return;
        }
        case code::kListPage:
            HandleListSessions(reader, log);
            return;
        case code::kCreateAnswer: {
            int32_t adminOnly = 0;
            if (!reader.Int(0, 1, adminOnly)) {
                log.Write(
                    "MsgSession.HandleResponseCreateAnswer(0): Unable to decode admin-only flag");
                return;
            }
            if (events_.createAnswer) events_.createAnswer(adminOnly == 1);
            return;
        }
        case code::kDeleteFailed:
            if (events_.deleteFailed) events_.deleteFailed();
            return;
        case code::kCreated:
        case code::kModified:
        case code::kDeleted:
            if (events_.changed) events_.changed(c);
            return;
        case code::kForModify: {
            SessionForModify data;
            const char* field = nullptr;
            const int step = DecodeSessionForModify(reader, data, field);
            if (step >= 0) {
                log.Write("MsgSession.HandleResponseSessionForModify(%i): Unable to decode %s",
                          step, field);
                return;
            }
            if (events_.forModify) events_.forModify(data);
            return;
        }
        case code::kPasswordRequired: {
            std::string id;
            if (!reader.Str(kIdLength, kIdLength, id)) {
                log.Write(
                    "MsgSession.HandleResponsePasswordRequired(0): Unable to decode session id");
                return;
            }
            if (events_.passwordRequired) events_.passwordRequired(id);
            return;
        }
        case code::kHistoryReady:
        case code::kSessionInfo: {
            const auto it = responses_.find(c);
            if (it != responses_.end() && it->second) it->second(c, reader, log);
            return;
        }
        default:
            return;  // a code outside the table is ignored
    }
}

}  // namespace sessions
