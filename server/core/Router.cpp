#include "server/core/Router.h"

#include "server/core/ClientSession.h"

namespace localnet {

const char* ServerName(ServerKind kind) {
    switch (kind) {
        case ServerKind::Directory:
            return "directory";
        case ServerKind::Network:
            return "network";
        case ServerKind::File:
            return "file";
    }
    return "?";
}

void Router::Register(ServerKind server, net::Primary primary, int32_t code, Handler handler,
                      Access access, net::Secondary secondary) {
    routes_[Key{static_cast<int>(server), +primary, +secondary, code}] =
        Route{std::move(handler), access};
}

bool Router::Dispatch(ClientSession& session, const net::bufHeader& header,
                      const net::MessageBuffer& message) const {
    net::MessageReader reader(message, header);
    if (!reader.HasCode()) return false;
    const auto it = routes_.find(Key{static_cast<int>(session.Kind()), header.nDescPrimary,
                                     header.nDescSecondary, reader.Code()});
    if (it == routes_.end()) return false;
    if (it->second.access == Access::LoggedIn && !session.LoggedIn()) return false;
    it->second.handler(session, header, reader);
    return true;
}

}  // namespace localnet
