// The mailbox's list readers, its family decoder and the reader's body on
// arbitrary bytes: the first byte chooses which. Nothing may crash or read
// past the input; a message list that is read is never longer than its lines;
// a recipient list keeps its bounds; the body shown is valid UTF-8.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "mailbox/ComposeFormats.h"
#include "mailbox/MailboxFormats.h"
#include "mailbox/MsgMailbox.h"
#include "net/MessageBuffer.h"
#include "net/Router.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 5) {
        case 0: {
            const mailbox::FolderList list = mailbox::ParseFolderList(rest);
            int64_t sum = 0;
            for (const auto& root : list.roots) {
                for (const auto& f : root) {
                    if (f.Key().size() > mailbox::kMaxFolderKey || f.Unread() < 0) std::abort();
                    sum += f.Unread();
                }
            }
            if (sum != list.unreadTotal) std::abort();
            break;
        }
        case 1: {
            std::vector<mailbox::CMailboxMessage> out;
            mailbox::ParseMessageList(rest, out);
            for (const auto& m : out) {
                if (m.sender.empty() || m.sender.size() > mailbox::kMaxSender ||
                    m.subject.size() > mailbox::kMaxSubject)
                    std::abort();
            }
            mailbox::SortMessages(out, data[size - 1] % 3, data[size - 1] % 2);
            break;
        }
        case 3: {
            const auto list = mailbox::ParseIncomingRecipients(rest, 64);
            if (list.size() > 64) std::abort();
            for (const auto& r : list) {
                if (r.name.empty() || r.name.size() > mailbox::kRecipientLineLength) std::abort();
            }
            // The composer's split of the same bytes: every name it gives is non-empty.
            for (const auto& r : mailbox::SplitRecipients(rest)) {
                if (r.name.empty() && r.type == mailbox::kRecipientIndividual) std::abort();
            }
            break;
        }
        case 4: {
            const std::string shown = mailbox::ReaderBodyText(rest);
            // Shown text is valid UTF-8, so reading it again changes nothing.
            if (mailbox::ReaderBodyText(shown, shown.size()) != shown) std::abort();
            (void)mailbox::AttachmentNameFromPath(rest);
            break;
        }
        default: {
            if (rest.size() < 1) return 0;
            net::MessageBuffer buffer;
            net::bufHeader header;
            header.nDescPrimary = +net::Primary::Mailbox;
            header.nDescSecondary = static_cast<uint8_t>(rest[0]) % 3;
            const size_t payload =
                std::min<size_t>(rest.size() - 1, net::kMaxMessageLength - net::kHeaderSize);
            header.nMsgLength = static_cast<int32_t>(net::kHeaderSize + payload);
            std::memcpy(buffer.data + net::kHeaderSize, rest.data() + 1, payload);
            buffer.SetReadEnd(header.nMsgLength);
            net::LogLine log;
            const mailbox::MailboxEvent e = mailbox::DecodeMailbox(buffer, header, log);
            if (e.kind == mailbox::MailboxEvent::Kind::None && log.Text().empty()) std::abort();
            break;
        }
    }
    return 0;
}
