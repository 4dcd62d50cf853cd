#include "net/TransferSlot.h"

namespace net {

void TransferSlot::Close() {
    if (file) std::fclose(file);
    file = nullptr;
    sending = false;
    started = false;
    uploadSent = downloadReceived = uploadTotal = downloadTotal = 0;
    openMode = kFree;
}

}  // namespace net
