#include "net/Router.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace net {

void LogLine::Write(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    char small[512];
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string text;
    if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
        text.assign(small, static_cast<size_t>(n));
    } else if (n >= 0) {
        std::vector<char> big(static_cast<size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, again);
        text.assign(big.data(), static_cast<size_t>(n));
    }
    va_end(again);
    Set(std::move(text));
}

void LogLine::Set(std::string text) {
    text_ = std::move(text);
    if (sink_) sink_(text_);
}

namespace {

// Which secondary descriptors reach a family's handler.
enum class Accepts {
    kNotificationOnly,
    kResponseOnly,
    kResponseOnlySilent,     // others are dropped without a log line
    kNothing,                // every secondary is unknown
    kNotificationOrResponse  // the family checks for itself once registered
};

Accepts PolicyOf(Primary primary) {
    switch (primary) {
        case Primary::Control:
            return Accepts::kNotificationOnly;
        case Primary::Upload:
        case Primary::Download:
        case Primary::DocumentStore:
        case Primary::Account:
            return Accepts::kResponseOnlySilent;
        case Primary::Zorvic:
            return Accepts::kNothing;
        case Primary::Contact:
        case Primary::Session:
        case Primary::Mailbox:
            return Accepts::kNotificationOrResponse;
        default:
            return Accepts::kResponseOnly;
    }
}

void LogUnknownSecondary(Primary primary, LogLine& log, int32_t secondary) {
    switch (primary) {
        case Primary::Control:
            log.Write(
                "MsgControl.HandleMsg(0): Unknown secondary message '%i' received from server",
                secondary);
            break;
        case Primary::Login:
            log.Write("MsgLogin.HandleMsg(0): Unknown secondary message '%i' received from server",
                      secondary);
            break;
        case Primary::Network:
            log.Write(
                "MsgNetwork.HandleMsg(0): Unknown secondary message '%i' received from server",
                secondary);
            break;
        case Primary::Zorvic:
            log.Write("MsgZorvic.HandleMsg(0): Unknown secondary message '%i' received from server",
                      secondary);
            break;
        case Primary::Host:
            log.Write("MsgHost.HandleMsg(0): Unknown secondary message '%i' received from server",
                      secondary);
            break;
        case Primary::Notepad:
            log.Write(
                "MsgNotepad.HandleMsg(0): Unknown secondary message '%i' received from server",
                secondary);
            break;
        case Primary::Poll:
            log.Write("MsgPoll.HandleMsg(0): Unknown secondary message '%i' received from server",
                      secondary);
            break;
        case Primary::Contact:
            log.Write(
                "MsgContact.HandleMsg(0): Unknown secondary message '%i' received from server",
                secondary);
            break;
        case Primary::Session:
            log.Write(
                "MsgSession.HandleMsg(0): Unknown secondary message '%i' received from server",
                secondary);
            break;
        case Primary::Mailbox:
            log.Write(
                "MsgMailbox.HandleMsg(0): Unknown secondary message '%i' received from server",
                secondary);
            break;
        default:
            break;  // the transfer, document-store and account families keep no log text
    }
}

bool Routable(int32_t primary) {
    return primary >= 0 && primary < Router::kPrimaryCount && primary != 7;
}

}  // namespace

Router::Router() = default;

bool Router::Register(Primary primary, FamilyHandler handler) {
    if (!Routable(+primary)) return false;
    families_[static_cast<size_t>(+primary)].handler = std::move(handler);
    return true;
}

bool Router::Registered(Primary primary) const {
    return Routable(+primary) &&
           static_cast<bool>(families_[static_cast<size_t>(+primary)].handler);
}

LogLine& Router::FamilyLog(Primary primary) {
    // Primary 7 and out-of-range values have no family; the router's own line
    // stands in so that callers never index outside the table.
    if (!Routable(+primary)) return log_;
    return families_[static_cast<size_t>(+primary)].log;
}

const LogLine& Router::FamilyLog(Primary primary) const {
    if (!Routable(+primary)) return log_;
    return families_[static_cast<size_t>(+primary)].log;
}

void Router::SetLogSink(const std::function<void(const std::string&)>& sink) {
    log_.SetSink(sink);
    for (auto& family : families_) family.log.SetSink(sink);
}

void Router::RouteMsg(Connection& connection, const bufHeader& header) {
    const int32_t p = header.nDescPrimary;
    if (!Routable(p)) {
        log_.Write("Msg.RouteMsg(0): Unrecognized primary message '%i' received", p);
        return;
    }
    const auto primary = static_cast<Primary>(p);
    Family& family = families_[static_cast<size_t>(p)];
    const int32_t secondary = header.nDescSecondary;

    bool accepted = false;
    switch (PolicyOf(primary)) {
        case Accepts::kNotificationOnly:
            accepted = secondary == +Secondary::Notification;
            break;
        case Accepts::kResponseOnly:
        case Accepts::kResponseOnlySilent:
            accepted = secondary == +Secondary::Response;
            break;
        case Accepts::kNothing:
            accepted = false;
            break;
        case Accepts::kNotificationOrResponse:
            // A registered family makes this check itself.
            accepted = family.handler || secondary == +Secondary::Notification ||
                       secondary == +Secondary::Response;
            break;
    }
    if (!accepted) {
        if (PolicyOf(primary) != Accepts::kResponseOnlySilent) {
            LogUnknownSecondary(primary, family.log, secondary);
        }
        return;
    }
    // A family that has not registered yet consumes its messages unread.
    if (family.handler) family.handler(connection, header, family.log);
}

}  // namespace net
