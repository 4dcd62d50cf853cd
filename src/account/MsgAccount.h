#pragma once

// The account family on the file-server connection (primary 5): the
// information request and the two changes, and the responses 11 to 15
// decoded into plain values. Responses 0 to 10 belong to account creation.

#include <QString>
#include <cstdint>
#include <string>

namespace net {
class Connection;
class MessageReader;
}  // namespace net

namespace account {

// What the last account information response delivered (UTF-8 texts).
struct AccountInfo {
    std::string line4;
    std::string fullName;
    std::string username;
    std::string password;
    int32_t line5 = 0;
    int32_t line6Count = 0;
    std::string line6Text;
};

// Field ranges of response 11, in bytes.
inline constexpr int32_t kMaxLine4 = 50;
inline constexpr int32_t kMaxFullName = 50;
inline constexpr int32_t kMaxUsername = 12;
inline constexpr int32_t kMaxPassword = 20;
inline constexpr int32_t kMaxLine6Text = 50;
inline constexpr int32_t kMaxReason = 512;

// The connection-history download: its slot and where the file lands.
inline constexpr int kConnectionHistorySlot = 11;
inline constexpr char kConnectionHistoryFolder[] = "files/remote/connhistory";
inline constexpr char kConnectionHistoryFile[] = "files/remote/connhistory/connhistory";

// Decodes response 11 from the first field; false (and `out` untouched) at
// the first field out of its range.
bool DecodeAccountInfo(net::MessageReader& fields, AccountInfo& out);
// Decodes the reason of response 13 or 15; false when out of 1..512 bytes.
bool DecodeReason(net::MessageReader& fields, std::string& reason);

// The sixth line: "0" for a count below 1, else the count, a blank and the
// text in parentheses.
QString Line6Text(int32_t count, const QString& text);

// The change-name check: 1 to 20 characters, else its message.
QString CheckFullName(const QString& name);
// The change-password checks in order: the old password against the one
// the last response delivered, the two new ones equal, 1 to 20 characters.
// An empty text when they pass.
QString CheckNewPassword(const std::string& keptPassword, const QString& oldPassword,
                         const QString& newPassword, const QString& again);

// The requests; false when nothing could be queued.
bool SendInformationRequest(net::Connection& fileServer);
bool SendChangeFullName(net::Connection& fileServer, const std::string& name);
bool SendChangePassword(net::Connection& fileServer, const std::string& password);
// Asks for `username`'s connection history on its slot, after making the
// folders of the local copy; false when that or the request failed.
bool RequestConnectionHistory(net::Connection& fileServer, const std::string& dataDir,
                              const std::string& username);

}  // namespace account
