#include "net/DisconnectTable.h"

#include "net/Connection.h"

namespace net {

DisconnectEffect DisconnectEffectFor(int32_t kind, int32_t endState, bool accountCreation) {
    if (kind == kKindDirectory) {
        return endState == kStateConnecting ? DisconnectEffect::LookupConnectFailed
                                            : DisconnectEffect::None;
    }
    if (kind != kKindNetwork && kind != kKindFile) return DisconnectEffect::None;
    // The file server is never opened to create an account.
    const bool creation = kind == kKindNetwork && accountCreation;
    switch (endState) {
        case kStateConnecting:
            return creation ? DisconnectEffect::CreationConnectFailed
                            : DisconnectEffect::LoginConnectFailed;
        case kStateCancelled:
            return creation ? DisconnectEffect::CreationCancelled
                            : DisconnectEffect::LoginCancelled;
        case kStateConnected:
            return DisconnectEffect::LoginEnded;
        case kStateLoggedIn:
            return DisconnectEffect::ConnectionDropped;
        default:
            return DisconnectEffect::None;
    }
}

bool StopsBothServerConnections(DisconnectEffect effect) {
    switch (effect) {
        case DisconnectEffect::CreationConnectFailed:
        case DisconnectEffect::LoginConnectFailed:
        case DisconnectEffect::CreationCancelled:
        case DisconnectEffect::LoginCancelled:
        case DisconnectEffect::LoginEnded:
            return true;
        default:
            return false;
    }
}

}  // namespace net
