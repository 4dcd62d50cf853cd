#include "account/MsgAccount.h"

#include <limits>

#include "net/Connection.h"
#include "net/DataDirectory.h"
#include "net/MessageBuffer.h"
#include "net/Protocol.h"
#include "net/Transfers.h"

namespace account {

namespace {

constexpr int kNameLimit = 20;
constexpr int kPasswordLimit = 20;
constexpr int32_t kMaxCount = std::numeric_limits<int32_t>::max();

}  // namespace

bool DecodeAccountInfo(net::MessageReader& f, AccountInfo& out) {
    AccountInfo v;
    if (!f.Str(1, kMaxLine4, v.line4) || !f.Str(1, kMaxFullName, v.fullName) ||
        !f.Str(1, kMaxUsername, v.username) || !f.Str(1, kMaxPassword, v.password) ||
        !f.Int(0, kMaxCount, v.line5) || !f.Int(0, kMaxCount, v.line6Count) ||
        !f.Str(1, kMaxLine6Text, v.line6Text))
        return false;
    out = std::move(v);
    return true;
}

bool DecodeReason(net::MessageReader& f, std::string& reason) {
    return f.Str(1, kMaxReason, reason);
}

QString Line6Text(int32_t count, const QString& text) {
    if (count < 1) return QStringLiteral("0");
    return QString::asprintf("%i (%s)", count, text.toUtf8().constData());
}

QString CheckFullName(const QString& name) {
    if (name.isEmpty() || name.size() > kNameLimit)
        return QStringLiteral("Full name must be between 1 and 20 characters");
    return {};
}

QString CheckNewPassword(const std::string& keptPassword, const QString& oldPassword,
                         const QString& newPassword, const QString& again) {
    const QByteArray old = oldPassword.toUtf8();
    if (std::string(old.constData(), size_t(old.size())) != keptPassword)
        return QStringLiteral("Old password is incorrect");
    if (newPassword != again) return QStringLiteral("Passwords do not match; try again");
    if (newPassword.isEmpty() || newPassword.size() > kPasswordLimit)
        return QStringLiteral("New password must be between 1 and 20 characters, inclusive");
    return {};
}

bool SendInformationRequest(net::Connection& fileServer) {
    return fileServer.Send(net::MessageWriter(net::account::kInformationRequest),
                           net::Primary::Account);
}

bool SendChangeFullName(net::Connection& fileServer, const std::string& name) {
    net::MessageWriter w(net::account::kChangeFullName);
    w.Str(name);
    return fileServer.Send(w, net::Primary::Account);
}

bool SendChangePassword(net::Connection& fileServer, const std::string& password) {
    net::MessageWriter w(net::account::kChangePassword);
    w.Str(password);
    return fileServer.Send(w, net::Primary::Account);
}

bool RequestConnectionHistory(net::Connection& fileServer, const std::string& dataDir,
                              const std::string& username) {
    const std::string path = net::PrepareTransferFile(dataDir, kConnectionHistoryFile);
    if (path.empty()) return false;
    return net::StartDownload(fileServer, kConnectionHistorySlot, path, 0, {username});
}

}  // namespace account
