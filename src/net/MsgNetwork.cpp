#include "net/MsgNetwork.h"

#include <cstdio>

#include "net/Client.h"
#include "net/Connection.h"
#include "net/Protocol.h"
#include "net/Router.h"

namespace net {

std::string FormatEntrySize(int32_t size) {
    char text[64];
    if (size >= 1048576) {
        std::snprintf(text, sizeof text, "%0.2f MB", size / 1048576.0);
    } else if (size >= 1024) {
        std::snprintf(text, sizeof text, "%0.2f KB", size / 1024.0);
    } else {
        std::snprintf(text, sizeof text, "%i", size);
    }
    return text;
}

std::string FormatAccounts(int32_t accountCount, int32_t onlineCount) {
    char text[64];
    std::snprintf(text, sizeof text, "%i; %i currently online", accountCount, onlineCount);
    return text;
}

int DecodeNetworkInformation(MessageReader& reader, NetworkInformation& out) {
    NetworkInformation info;
    if (!reader.Str(1, 50, info.name)) return 0;
    if (!reader.Int(0, 50000, info.accountCount)) return 1;
    if (!reader.Int(0, 50000, info.onlineCount)) return 2;
    if (!reader.Str(1, 50, info.serverTime)) return 3;
    if (!reader.Str(1, 200, info.path)) return 4;
    while (!reader.AtEnd()) {
        FolderEntry entry;
        if (!reader.Int(0, 2, entry.kind)) break;
        // The size has no bound of its own; -1 as both bounds means none.
        if (!reader.Int(-1, -1, entry.size)) break;
        if (!reader.Int(0, 1, entry.flag)) break;
        if (!reader.Str(1, 50, entry.name)) break;
        if (!reader.Str(1, 100, entry.modified)) break;
        info.entries.push_back(std::move(entry));
    }
    out = std::move(info);
    return -1;
}

bool SendNetworkInformationRequest(Connection& connection, const std::string& number,
                                   const std::string& path) {
    return connection.Send(MessageWriter(network::kInformation).Int(-1).Str(number).Str(path),
                           Primary::Network);
}

void MsgNetwork::HandleMsg(Connection& connection, const bufHeader& header, LogLine& log) {
    MessageReader reader(connection.ReceiveBuffer(), header);
    switch (reader.Code()) {
        case network::kInformationResponse: {
            NetworkInformation info;
            switch (DecodeNetworkInformation(reader, info)) {
                case -1:
                    client_.Listener().NetworkInformationReceived(info);
                    break;
                case 0:
                    log.Write(
                        "MsgNetwork.HandleResponseNetworkInformation(0): Unable to decode "
                        "network name");
                    break;
                case 1:
                    log.Write(
                        "MsgNetwork.HandleResponseNetworkInformation(1): Unable to decode "
                        "account count");
                    break;
                case 2:
                    log.Write(
                        "MsgNetwork.HandleResponseNetworkInformation(2): Unable to decode "
                        "accounts online");
                    break;
                case 3:
                    log.Write(
                        "MsgNetwork.HandleResponseNetworkInformation(3): Unable to decode "
                        "server time");
                    break;
                default:
                    log.Write(
                        "MsgNetwork.HandleResponseNetworkInformation(4): Unable to decode "
                        "folder path");
                    break;
            }
            break;
        }
        case network::kIgnoredResponse:
            break;
        default:
            log.Write("MsgNetwork.HandleResponse(1): Unknown response '%i' received from server",
                      reader.Code());
            break;
    }
}

}  // namespace net
