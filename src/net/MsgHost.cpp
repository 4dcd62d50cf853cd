#include "net/MsgHost.h"

#include "net/Client.h"
#include "net/Connection.h"
#include "net/Protocol.h"
#include "net/Router.h"

namespace net {

int DecodeHostLookup(MessageReader& reader, HostLookupResult& out) {
    HostLookupResult result;
    if (!reader.Str(1, 3, result.flagsText)) return 0;
    if (!reader.Str(1, 255, result.host)) return 1;
    for (const char c : result.flagsText) {
        if (c < '0' || c > '9') break;
        result.flags = result.flags * 10 + (c - '0');
    }
    out = std::move(result);
    return -1;
}

bool SendHostLookup(Connection& connection, const std::string& number) {
    return connection.Send(MessageWriter(host::kLookup).Str(number), Primary::Host);
}

void MsgHost::HandleMsg(Connection& connection, const bufHeader& header, LogLine& log) {
    MessageReader reader(connection.ReceiveBuffer(), header);
    switch (reader.Code()) {
        case host::kLookupRefused:
            log.Write("MsgHost.HandleResponseErrorLookup(0): Unknown zorvic number");
            client_.Listener().ShowMessage(MessagePhase::Lookup, "Error",
                                           "Unknown zorvic number", MessageIcon::Warning);
            connection.SetState(kStateLookupRefused);
            client_.Listener().LookupRefused();
            break;
        case host::kLookupOK: {
            HostLookupResult result;
            const int failed = DecodeHostLookup(reader, result);
            if (failed == 0) {
                log.Write("MsgHost.HandleResponseOKLookup(0): Unable to decode network parameters");
                return;
            }
            if (failed == 1) {
                log.Write("MsgHost.HandleResponseOKLookup(1): Unable to decode host address");
                return;
            }
            log.Write("Host lookup returned '%s' '%s'", result.flagsText.c_str(),
                      result.host.c_str());
            client_.SetNetwork(result.host, result.flags);
            connection.SetState(kStateLookupAnswered);
            client_.Listener().LookupAnswered(client_.Number());
            break;
        }
        default:
            log.Write("MsgHost.HandleResponse(1): Unknown response '%i' received from server",
                      reader.Code());
            break;
    }
}

}  // namespace net
