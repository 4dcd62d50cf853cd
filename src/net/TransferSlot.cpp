#include "net/TransferSlot.h"

namespace net {

void TransferSlot::Close() {
    if (file) std::fclose(file);
    file = nullptr;
    if (!partialPath.empty()) std::remove(partialPath.c_str());
    partialPath.clear();
    finalPath.clear();
    sending = false;
    started = false;
    uploadSent = downloadReceived = uploadTotal = downloadTotal = 0;
    lastPercent = -1;
    openMode = kFree;
}

void TransferSlot::CloseCompleted() {
    bool written = true;
    if (file) written = std::fclose(file) == 0;
    file = nullptr;
    if (written && !partialPath.empty() && !finalPath.empty() &&
        std::rename(partialPath.c_str(), finalPath.c_str()) == 0) {
        partialPath.clear();
    }
    Close();
}

bool TransferSlot::ProgressDue(int percent, std::chrono::milliseconds interval) {
    const auto now = std::chrono::steady_clock::now();
    if (percent == lastPercent && now - lastProgress < interval) return false;
    lastPercent = percent;
    lastProgress = now;
    return true;
}

}  // namespace net
