#include "net/MsgZorvic.h"

#include <cstring>

#include "net/Connection.h"
#include "net/Protocol.h"

namespace net {

std::unique_ptr<MessageBuffer> Envelope(std::unique_ptr<MessageBuffer> inner, int32_t innerPrimary,
                                        int32_t innerSecondary) {
    if (!inner) return nullptr;
    // A finished, unsent message still has its whole length to go.
    const int32_t length = inner->remaining;
    if (inner->done != 0 || length < kFirstField ||
        length > kMaxMessageLength - kEnvelopeOverhead) {
        return nullptr;
    }
    inner->Unscramble(length);
    std::memmove(inner->data + kHeaderSize + kEnvelopeOverhead, inner->data + kHeaderSize,
                 static_cast<size_t>(length - kHeaderSize));
    int offset = kHeaderSize;
    const int32_t fields[] = {zorvic::kEnvelope, 0, 0, 0, innerPrimary, innerSecondary};
    for (const int32_t value : fields) inner->PutInt(offset, value);
    inner->Finish(+Primary::Zorvic, length + kEnvelopeOverhead);
    return inner;
}

std::unique_ptr<MessageBuffer> BuildAccountCreation(const AccountCreationRecord& record,
                                                    const std::string& identity) {
    auto inner = MessageWriter(account::kCreate)
                     .Str(record.number)
                     .Str(record.fullName)
                     .Str(record.username)
                     .Str(record.password)
                     .Str(identity)
                     .Str(record.code)
                     .Finish(Primary::Account, Secondary::Message);
    return Envelope(std::move(inner), +Primary::Account, +Secondary::Message);
}

bool SendAccountCreation(Connection& connection, const AccountCreationRecord& record,
                         const std::string& identity) {
    return connection.Send(BuildAccountCreation(record, identity));
}

}  // namespace net
