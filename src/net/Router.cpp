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

// The text comes from the list of families, so it is not a literal here;
// each has exactly one %i (checked by the router's tests).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
void LogUnknownSecondary(LogLine& log, const char* format, int32_t secondary) {
    log.Write(format, secondary);
}
#pragma GCC diagnostic pop

bool Routable(int32_t primary) {
    return primary >= 0 && primary < Router::kPrimaryCount && FamilyOf(primary) != nullptr;
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
    Family& family = families_[static_cast<size_t>(p)];
    const int32_t secondary = header.nDescSecondary;

    const FamilyInfo& info = *FamilyOf(p);
    bool accepted = false;
    switch (info.accepts) {
        case Accepts::NotificationOnly:
            accepted = secondary == +Secondary::Notification;
            break;
        case Accepts::ResponseOnly:
        case Accepts::ResponseOnlySilent:
            accepted = secondary == +Secondary::Response;
            break;
        case Accepts::Nothing:
            accepted = false;
            break;
        case Accepts::NotificationOrResponse:
            // A registered family makes this check itself.
            accepted = family.handler || secondary == +Secondary::Notification ||
                       secondary == +Secondary::Response;
            break;
    }
    if (!accepted) {
        // The transfer, document-store and account families keep no log text.
        if (info.accepts != Accepts::ResponseOnlySilent && info.unknownSecondaryText != nullptr) {
            LogUnknownSecondary(family.log, info.unknownSecondaryText, secondary);
        }
        return;
    }
    // A family that has not registered yet consumes its messages unread.
    if (family.handler) family.handler(connection, header, family.log);
}

}  // namespace net
