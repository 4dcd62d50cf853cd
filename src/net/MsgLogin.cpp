#include "net/MsgLogin.h"

#include "net/Client.h"
#include "net/Connection.h"
#include "net/Protocol.h"
#include "net/Router.h"

namespace net {

std::unique_ptr<MessageBuffer> BuildLogin(const LoginFields& fields) {
    return MessageWriter(login::kLogin)
        .Int(2)
        .Str(fields.number)
        .Int(0)
        .Str(fields.username)
        .Str(fields.password)
        .Str(fields.identity)
        .Finish(Primary::Login);
}

bool SendLogin(Connection& connection, const LoginFields& fields) {
    return connection.Send(BuildLogin(fields));
}

bool DecodeLoginRights(MessageReader& reader, LoginRights& out) {
    LoginRights rights;
    if (!reader.Int(0, 1, rights.administrator)) return false;
    if (!reader.Int(0, 1, rights.root)) return false;
    out = rights;
    return true;
}

void MsgLogin::HandleMsg(Connection& connection, const bufHeader& header, LogLine& log) {
    MessageReader reader(connection.ReceiveBuffer(), header);
    if (reader.Code() != login::kLoginOK) {
        log.Write("MsgLogin.HandleResponse(1): Unknown response '%i' received from server",
                  reader.Code());
        return;
    }
    // Only the network server speaks for the account's rights; the file
    // server's answer carries nothing we use. They are stored before the
    // response is counted, so that the main window and the opening requests
    // of a completed login already see this account's rights.
    LoginRights rights;
    if (connection.Kind() == kKindNetwork && DecodeLoginRights(reader, rights)) {
        client_.SetRights(rights.administrator, rights.root);
    }
    client_.LoginResponseReceived();
}

}  // namespace net
