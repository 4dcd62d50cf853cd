#include "whiteboard/PageRequests.h"

#include <algorithm>

#include "net/Client.h"
#include "net/Transfers.h"

namespace whiteboard {

bool CPageRequests::SlotBusy() const {
    net::TransferSlot& slot = client_.FileServer().Slot(kSlot);
    auto lock = slot.Lock();
    return slot.Busy();
}

bool CPageRequests::Ask(uint32_t purpose, const std::string& account, int page) {
    const std::string name = net::RemoteNotepadPageName(account, page);
    if (name.empty()) return false;
    const std::string path = net::PrepareTransferFile(client_.DataDirectory(), name);
    if (path.empty()) return false;
    Request r{purpose, account, page, path};
    // One waiting request per purpose: the newest.
    waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(),
                                  [purpose](const Request& w) { return w.purpose == purpose; }),
                   waiting_.end());
    if (!SlotBusy() && waiting_.empty() && Send(r)) return true;
    waiting_.push_back(std::move(r));
    SendWaiting();
    return true;
}

bool CPageRequests::Send(const Request& r) {
    if (!net::StartDownload(client_.FileServer(), kSlot, r.path, r.purpose,
                            {r.account, static_cast<int32_t>(r.page), int32_t{0}})) {
        return false;
    }
    running_ = r;
    return true;
}

std::optional<CPageRequests::Finished> CPageRequests::TakeFinished(uint32_t purpose) {
    std::optional<Finished> out;
    if (running_ && running_->purpose == purpose) {
        out = Finished{*running_, true};
    } else {
        // Not ours (or from before a reset): take what the purpose names.
        out = Finished{Request{purpose, {}, 0, {}}, false};
    }
    running_.reset();
    for (const Request& w : waiting_) {
        if (w.purpose == purpose) out->current = false;
    }
    return out;
}

void CPageRequests::SendWaiting() {
    while (!waiting_.empty() && !SlotBusy()) {
        Request next = std::move(waiting_.front());
        waiting_.pop_front();
        // A request that cannot start (its file cannot be made) is dropped.
        if (Send(next)) return;
    }
}

void CPageRequests::Reset() {
    running_.reset();
    waiting_.clear();
}

bool CPageRequests::Waiting(uint32_t purpose) const {
    return std::any_of(waiting_.begin(), waiting_.end(),
                       [purpose](const Request& w) { return w.purpose == purpose; });
}

}  // namespace whiteboard
