#pragma once

// Dispatch of complete client messages to the handlers that services
// register, by server, primary descriptor, secondary descriptor and code. A
// message nobody registered for is dropped: clients newer than this server
// may send families it does not serve yet.

#include <cstdint>
#include <functional>
#include <map>
#include <tuple>

#include "net/MessageBuffer.h"
#include "net/Protocol.h"

namespace localnet {

class ClientSession;

enum class ServerKind : int { Directory = 0, Network = 1, File = 2 };

const char* ServerName(ServerKind kind);

// What a handler gets: the session, the decoded header, and a reader that is
// positioned on the first field after the message code.
using Handler = std::function<void(ClientSession&, const net::bufHeader&, net::MessageReader&)>;

enum class Access { Anyone, LoggedIn };

class Router {
  public:
    void Register(ServerKind server, net::Primary primary, int32_t code, Handler handler,
                  Access access = Access::LoggedIn,
                  net::Secondary secondary = net::Secondary::Message);

    // Returns whether a handler ran.
    bool Dispatch(ClientSession& session, const net::bufHeader& header,
                  const net::MessageBuffer& message) const;

  private:
    struct Route {
        Handler handler;
        Access access;
    };
    using Key = std::tuple<int, int32_t, int32_t, int32_t>;
    std::map<Key, Route> routes_;
};

}  // namespace localnet
