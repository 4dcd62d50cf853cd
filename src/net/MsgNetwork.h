#pragma once

// The network-information family (primary 6): the request for a folder of the
// network's logs, and the response with the network's facts and the entries
// of that folder.

#include <cstdint>
#include <string>
#include <vector>

#include "net/MessageBuffer.h"

namespace net {

class Client;
class Connection;
class LogLine;

// One entry of a folder listing (the document store uses the same form).
struct FolderEntry {
    int32_t kind = 0;  // 0..2; 1 folder, 2 file
    int32_t size = 0;  // bytes
    int32_t flag = 0;  // 0..1; locked
    std::string name;
    std::string modified;
};

struct NetworkInformation {
    std::string name;
    int32_t accountCount = 0;
    int32_t onlineCount = 0;
    std::string serverTime;
    std::string path;  // the folder whose entries follow; "/" at the top
    std::vector<FolderEntry> entries;
};

// "%0.2f MB" from 1 048 576 bytes, "%0.2f KB" from 1024, the plain number below.
std::string FormatEntrySize(int32_t size);
// "%i; %i currently online".
std::string FormatAccounts(int32_t accountCount, int32_t onlineCount);

// Decodes the fields of response 16 after the code. Returns -1 when every
// fixed field was read (the entries then run until the first that fails), or
// the step of the fixed field that failed.
int DecodeNetworkInformation(MessageReader& reader, NetworkInformation& out);

// Request 3: integer -1, the zorvic number, the folder path.
bool SendNetworkInformationRequest(Connection& connection, const std::string& number,
                                   const std::string& path);

class MsgNetwork {
  public:
    explicit MsgNetwork(Client& client) : client_(client) {}
    void HandleMsg(Connection& connection, const bufHeader& header, LogLine& log);

  private:
    Client& client_;
};

}  // namespace net
