#include "net/MsgControl.h"

#include "net/Client.h"
#include "net/Connection.h"
#include "net/MessageBuffer.h"
#include "net/Protocol.h"
#include "net/Router.h"

namespace net {

bool SendKeepAlive(Connection& connection) {
    return connection.Send(MessageWriter(control::kKeepAlive), Primary::Control);
}

bool SendCancelTransfer(Connection& connection, int32_t slot) {
    return connection.Send(MessageWriter(control::kCancelTransfer).Int(slot), Primary::Control);
}

int DecodeDisconnectNotice(MessageReader& reader, DisconnectNotice& out) {
    DisconnectNotice notice;
    if (!reader.Int(-1, -1, notice.primary)) return 0;
    if (!reader.Int(-1, -1, notice.secondary)) return 1;
    if (!reader.Int(-1, -1, notice.responseCode)) return 2;
    if (!reader.Str(1, 512, notice.response)) notice.response.clear();
    out = std::move(notice);
    return -1;
}

void MsgControl::HandleMsg(Connection& connection, const bufHeader& header, LogLine& log) {
    MessageReader reader(connection.ReceiveBuffer(), header);
    if (reader.Code() == control::kNotifyDisconnect) {
        HandleNotificationDisconnect(reader, log);
        return;
    }
    log.Write("MsgControl.HandleNotification(1): Unknown notification '%i' received from server",
              reader.Code());
}

void MsgControl::HandleNotificationDisconnect(MessageReader& reader, LogLine& log) {
    DisconnectNotice notice;
    switch (DecodeDisconnectNotice(reader, notice)) {
        case 0:
            // clang-format off
            log.Write("MsgControl.HandleNotificationDisconnect(0): Unable to decode original primary descriptor from server");
            // clang-format on
            return;
        case 1:
            // clang-format off
            log.Write("MsgControl.HandleNotificationDisconnect(1): Unable to decode original secondary descriptor from server");
            // clang-format on
            return;
        case 2:
            // clang-format off
            log.Write("MsgControl.HandleNotificationDisconnect(2): Unable to decode response code from server");
            // clang-format on
            return;
        default:
            break;
    }
    switch (notice.responseCode) {
        case disconnect::kUpdateRequired:
            client_.SetUpdateRequired();
            break;
        case disconnect::kRefused:
        case disconnect::kBanned:
            client_.SetServerRefused();
            break;
        case disconnect::kSilentClose:
        case disconnect::kSilentCloseAlt:
            break;
        default:
            // The server's text may hold NUL bytes; it ends at the first one.
            // clang-format off
            log.Write("Received disconnect notification from the server\r\nnDescPrimary = %i nDescSecondary = %i nResponseCode = %i szResponse = %s",
                      notice.primary, notice.secondary, notice.responseCode, notice.response.c_str());
            // clang-format on
            client_.Listener().ShowMessage(MessagePhase::Any, "", log.Text(), MessageIcon::None);
            break;
    }
}

}  // namespace net
