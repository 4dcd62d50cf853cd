#include "contacts/MsgContact.h"

#include "net/Connection.h"
#include "net/Protocol.h"

namespace contacts {

namespace {

// The status choice has only two items: anything but away counts as online.
constexpr int32_t kOnline = 1;
constexpr int32_t kAway = 2;

}  // namespace

bool SendContactListRequest(net::Connection& connection) {
    return connection.Send(net::MessageWriter(net::contact::kListRequest), net::Primary::Contact);
}

std::unique_ptr<net::MessageBuffer> BuildStatusMessage(int32_t status) {
    net::MessageWriter writer(net::contact::kSetStatus);
    writer.Int(status == kAway ? kAway : kOnline);
    return writer.Finish(net::Primary::Contact);
}

bool SendStatus(net::Connection& connection, int32_t status) {
    return connection.Send(BuildStatusMessage(status));
}

}  // namespace contacts
