#pragma once

// What the end of a connection means, by its kind, the state it ended in and
// whether it was opened to create an account. A pure function: the owner of
// the connections carries the effect out.

#include <cstdint>

namespace net {

inline constexpr char kFailedToConnectText[] = "Failed to connect to VNS server";
inline constexpr char kConnectionDroppedText[] = "No longer connected to %s";
inline constexpr char kConnectionDroppedTitle[] = "Connection Dropped";

enum class DisconnectEffect {
    None,
    // Directory connection never connected: "Failed to connect to VNS server".
    LookupConnectFailed,
    // Server connections (each: Stop both server connections first).
    CreationConnectFailed,  // creating-account window: could-not-connect, button OK
    LoginConnectFailed,     // authenticating window: could-not-connect, button OK
    CreationCancelled,      // close the creating-account window, back to the form
    LoginCancelled,         // reset and close the authenticating window, back to login
    LoginEnded,             // authenticating window: refused or failed, as the
                            // server's disconnect notification marked it
    // A logged-in connection ended: the connection-dropped routine.
    ConnectionDropped,
};

// `accountCreation` counts for the network-server connection only; a
// connection that ended after connecting has already cleared it.
DisconnectEffect DisconnectEffectFor(int32_t kind, int32_t endState, bool accountCreation);

// Whether the effect stops both server connections before anything else.
bool StopsBothServerConnections(DisconnectEffect effect);

}  // namespace net
