#include "net/DisconnectTable.h"

#include <gtest/gtest.h>

#include "net/Connection.h"

namespace {

using namespace net;
using E = DisconnectEffect;

TEST(DisconnectTableTest, DirectoryConnectionOnlyReportsAFailedConnect) {
    EXPECT_EQ(DisconnectEffectFor(kKindDirectory, kStateConnecting, false), E::LookupConnectFailed);
    for (int32_t state : {1, 2, 3, 4, 6, 7}) {
        EXPECT_EQ(DisconnectEffectFor(kKindDirectory, state, false), E::None) << state;
    }
}

TEST(DisconnectTableTest, ServerConnectionsFollowTheirEndState) {
    struct Row {
        int32_t kind, state;
        bool creation;
        E effect;
    };
    const Row rows[] = {
        {1, kStateConnecting, true, E::CreationConnectFailed},
        {1, kStateConnecting, false, E::LoginConnectFailed},
        {1, kStateCancelled, true, E::CreationCancelled},
        {1, kStateCancelled, false, E::LoginCancelled},
        {1, kStateConnected, true, E::LoginEnded},
        {1, kStateConnected, false, E::LoginEnded},
        // The file server is never opened to create an account.
        {2, kStateConnecting, true, E::LoginConnectFailed},
        {2, kStateCancelled, true, E::LoginCancelled},
        {2, kStateConnected, false, E::LoginEnded},
        {1, kStateLoggedIn, false, E::ConnectionDropped},
        {2, kStateLoggedIn, false, E::ConnectionDropped},
        {1, kStateStopped, false, E::None},
        {2, kStateStopped, true, E::None},
        {1, kStateIdle, false, E::None},
        {1, kStateLookupAnswered, false, E::None},
        {3, kStateConnecting, false, E::None},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DisconnectEffectFor(row.kind, row.state, row.creation), row.effect)
            << "kind " << row.kind << " state " << row.state << " creation " << row.creation;
    }
}

TEST(DisconnectTableTest, LoginRowsStopBothServerConnections) {
    EXPECT_TRUE(StopsBothServerConnections(E::LoginEnded));
    EXPECT_TRUE(StopsBothServerConnections(E::CreationCancelled));
    EXPECT_FALSE(StopsBothServerConnections(E::ConnectionDropped));
    EXPECT_FALSE(StopsBothServerConnections(E::LookupConnectFailed));
    EXPECT_FALSE(StopsBothServerConnections(E::None));
}

}  // namespace
